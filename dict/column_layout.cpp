#include "dict/column_layout.h"

#include <algorithm>
#include <memory>

#include "btrieve/aliases.h"
#include "dict/dict_warnings.h"
#include "dict/dictionary.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

constexpr uint16_t kFieldSignedTinyint = 0x0008, kFieldBinary = 0x1000;

void Warn(const std::string& table, const std::string& column, const std::string& what) {
    DictWarning(
        Format("Warning: table %s, column %s: %s", table.c_str(), column.c_str(), what.c_str()));
}

bool IsTail(int32_t typeCode) {
    return typeCode == btTailText || typeCode == btTailBytes;
}

TBField FieldOf(const TColumn& c) {
    TBField f;
    f.Name = c.Name;
    f.Utf8Name = c.Utf8Name;
    f.Offset = c.Offset;
    f.TypeCode = c.TypeCode;
    f.Size = c.Size;
    f.Scale = c.Scale;
    f.NullOffset = c.NullOffset;
    return f;
}

}  // namespace

TDataFileHeader ReadDataFileHeader(const std::string& baseName) {
    TBtrieveFile file;
    file.SetFileName(ExpandAliases(baseName));
    file.SetReadOnly(true);
    file.SetActive(true);
    if (!file.Active())
        throw EBtrieve(file.Status(), recman::kOpOpen, file.FileName(), file.ErrorDetail());
    return HeaderOfFile(file);
}

TDataFileHeader HeaderOfFile(const TBtrieveFile& file) {
    TDataFileHeader header;
    header.RecordLength = file.RecordLength();
    header.Variable = file.VariableLength();
    for (int k = 0; k < file.KeyCount(); ++k) {
        std::vector<TSegmentSpec> segments;
        for (size_t s = file.KeyFirstSegment()[k]; s <= btr::kMaxSegments; ++s) {
            segments.push_back(file.SegmentTable()[s]);
            if (!(file.SegmentTable()[s].Flags & recman::kKeySegmented)) break;
        }
        header.Keys.push_back(std::move(segments));
    }
    return header;
}

int32_t StorageOfTypeCode(int code, int size, uint16_t flags, std::string& problem) {
    auto sized = [&](std::initializer_list<std::pair<int, int32_t>> bySize) -> int32_t {
        for (const auto& [s, storage] : bySize)
            if (s == size) return storage;
        problem = Format("type code %d with size %d; exported as raw bytes", code, size);
        return btBytes;
    };
    switch (code) {
        case recman::kString:
            return (flags & kFieldBinary) ? btBytes : btTrimmedString;
        case recman::kInteger:
            return sized({{1, (flags & kFieldSignedTinyint) ? btShortInt : btByte},
                          {2, btSmallint},
                          {4, btInteger},
                          {8, btLargeint}});
        case recman::kFloat:
            return sized({{4, btSingle}, {8, btFloat}});
        case recman::kDate:
            return sized({{4, btDate}});
        case recman::kTime:
            return sized({{4, btTime}});
        case recman::kDecimal:
        case recman::kMoney:
            return size >= 1 ? btPackedDecimal : sized({});
        case recman::kLogical:
            return size >= 1 ? btLogical : sized({});
        case recman::kNumeric:
            return size >= 1 ? btNumeric : sized({});
        case recman::kBfloat:
            return sized({{4, btBFloat4}, {8, btBFloat8}});
        case recman::kLstring:
            return size >= 2 ? btOemLString : sized({});
        case recman::kZstring:
            return size >= 2 ? btOemString : sized({});
        case recman::kNote:
            return btTailText;
        case recman::kLvar:
            return btTailBytes;
        case recman::kUnsignedBinary:
            return sized({{1, btByte}, {2, btWord}, {4, btUInt32}, {8, btUInt64}});
        case recman::kAutoincrement:
            return sized({{2, btSmallint}, {4, btAutoInc}, {8, btLargeint}});
        case recman::kBit:
            return sized({{1, btBit}});
        case recman::kNumericSts:
            return size >= 2 ? btNumericSTS : sized({});
        case recman::kNumericSa:
            return size >= 1 ? btNumericSA : sized({});
        case recman::kCurrency:
            return sized({{8, btCurrency}});
        case recman::kTimestamp:
            return sized({{8, btTimestamp}});
        case recman::kBlob:
            return sized({{8, (flags & kFieldBinary) ? btBinaryBlob : btMemoBlob}});
        case recman::kWString:
        case recman::kWZString:
            if (size >= 2 && size % 2 == 0)
                return code == recman::kWString ? btWString : btWZString;
            return sized({});
        case recman::kGuid:
            return sized({{16, btGuid}});
        default:
            problem = Format("unknown type code %d; exported as raw bytes", code);
            return btBytes;
    }
}

int32_t StorageOfSegment(const TSegmentSpec& segment, std::string& problem) {
    if (segment.Flags & recman::kKeyExtended) {
        // Key types 12 and 13 are no column types of the variable part here.
        if (segment.ExtendedType == recman::kNote || segment.ExtendedType == recman::kLvar) {
            problem = Format("unknown type code %d; exported as raw bytes", segment.ExtendedType);
            return btBytes;
        }
        return StorageOfTypeCode(segment.ExtendedType, segment.Length, kFieldSignedTinyint,
                                 problem);
    }
    return (segment.Flags & recman::kKeyBinary)
               ? StorageOfTypeCode(recman::kUnsignedBinary, segment.Length, 0, problem)
               : btTrimmedString;
}

std::vector<TKeyShape> KeyShapesOf(const TDataFileHeader& header) {
    std::vector<TKeyShape> keys;
    for (size_t k = 0; k < header.Keys.size(); ++k) {
        TKeyShape& key = keys.emplace_back();
        key.KeyNumber = static_cast<int32_t>(k);
        const auto& segments = header.Keys[k];
        if (!segments.empty()) key.Unique = !(segments.front().Flags & recman::kKeyDuplicates);
        for (const TSegmentSpec& seg : segments) {
            TKeySegmentShape& shape = key.Segments.emplace_back();
            shape.Offset = seg.Position - 1;
            shape.Size = seg.Length;
            std::string ignored;
            shape.TypeCode = StorageOfSegment(seg, ignored);
            shape.Descending = (seg.Flags & recman::kKeyDescending) != 0;
            shape.CaseInsensitive = (seg.Flags & recman::kKeyCaseInsensitive) != 0;
            shape.NullValue = (seg.Flags & (recman::kKeyNullAll | recman::kKeyNullAny)) != 0;
            shape.NullIndicator = seg.ExtendedType == recman::kNullIndicator;
            if (shape.NullValue || shape.NullIndicator) key.NullSegments = true;
        }
    }
    return keys;
}

TBFieldList LayColumns(const std::string& table, std::vector<TColumn> columns,
                       const TDataFileHeader& header) {
    const int32_t length = header.RecordLength;
    std::vector<TColumn> fixed;
    const TColumn* tail = nullptr;
    int32_t described = 0;
    for (const TColumn& c : columns) {
        if (!IsTail(c.TypeCode) && c.Size > 0)
            described = std::max(described, std::max(c.Offset, 0) + c.Size);
        if (IsTail(c.TypeCode)) {
            if (!header.Variable)
                Warn(table, c.Name, "held in the variable part, but the file has none; left out");
            else if (tail)
                Warn(table, c.Name,
                     "a second column for the variable part; the whole part goes to " + tail->Name +
                         ", this one is left out");
            else
                tail = &c;
            continue;
        }
        const int32_t first = c.NullOffset >= 0 ? c.NullOffset : c.Offset;
        if (first < 0 || c.Size <= 0 || c.Offset + c.Size > length) {
            Warn(table, c.Name,
                 Format("bytes %d..%d lie past the record length %d; left out", c.Offset,
                        c.Offset + c.Size - 1, length));
            continue;
        }
        fixed.push_back(c);
    }
    std::stable_sort(fixed.begin(), fixed.end(), [](const TColumn& a, const TColumn& b) {
        return a.Offset != b.Offset ? a.Offset < b.Offset : a.Bit && b.Bit && a.Scale < b.Scale;
    });

    // Who covers each byte, to find overlaps and the bytes no column covers.
    std::vector<int> owner(static_cast<size_t>(length), -1);
    for (size_t i = 0; i < fixed.size(); ++i) {
        const TColumn& c = fixed[i];
        int other = -1;
        for (int32_t b = c.Offset; b < c.Offset + c.Size; ++b) {
            int o = owner[b];
            if (o >= 0 && !(c.Bit && fixed[o].Bit && fixed[o].Offset == c.Offset)) other = o;
            owner[b] = static_cast<int>(i);
        }
        if (c.NullOffset >= 0) {
            if (owner[c.NullOffset] >= 0) other = owner[c.NullOffset];
            owner[c.NullOffset] = static_cast<int>(i);
        }
        if (other >= 0) Warn(table, c.Name, "overlaps column " + fixed[other].Name);
    }
    for (int32_t b = 0; b < length;) {
        if (owner[b] >= 0) {
            ++b;
            continue;
        }
        int32_t end = b;
        while (end < length && owner[end] < 0) ++end;
        TColumn filler;
        filler.Name = Format("FILLER_%d", b);
        filler.Offset = b;
        filler.Size = end - b;
        filler.TypeCode = btBytes;
        fixed.push_back(filler);
        b = end;
    }
    std::stable_sort(fixed.begin(), fixed.end(), [](const TColumn& a, const TColumn& b) {
        int32_t pa = a.NullOffset >= 0 ? std::min(a.NullOffset, a.Offset) : a.Offset;
        int32_t pb = b.NullOffset >= 0 ? std::min(b.NullOffset, b.Offset) : b.Offset;
        return pa < pb;
    });

    TBFieldList list;
    for (const TColumn& c : fixed) list.Items.push_back(FieldOf(c));
    // BLOB columns hold references into the variable part: it needs no column of its own.
    const bool referenced = std::any_of(fixed.begin(), fixed.end(), [](const TColumn& c) {
        return c.TypeCode == btBinaryBlob || c.TypeCode == btMemoBlob;
    });
    if (header.Variable && (tail || !referenced)) {
        TColumn rest;
        if (tail) {
            rest = *tail;
        } else {
            rest.Name = "VARIABLE_PART";
            rest.TypeCode = btTailBytes;
            Warn(table, rest.Name, "the variable part of the records has no column; exported raw");
        }
        rest.Offset = length;
        rest.Size = 0;
        list.Items.push_back(FieldOf(rest));
    }
    list.RecordSize = length;
    list.DescribedSize = described;
    return list;
}

TBKeyList FileKeys(const TBFieldList& fields, const TDataFileHeader& header) {
    TBKeyList keys;
    for (const TKeyShape& shape : KeyShapesOf(header)) {
        for (size_t s = 0; s < shape.Segments.size(); ++s) {
            const TKeySegmentShape& seg = shape.Segments[s];
            TBKey key;
            key.KeyNumber = shape.KeyNumber;
            key.CaseInsensitive = seg.CaseInsensitive ? 1 : 0;
            key.Segmented = s + 1 < shape.Segments.size() ? 1 : 0;
            auto named =
                std::find_if(fields.Items.begin(), fields.Items.end(), [&](const TBField& f) {
                    return f.Offset == seg.Offset && f.Size == seg.Size && !IsTail(f.TypeCode);
                });
            if (named != fields.Items.end()) {
                key.FieldName = named->Name;
            } else {
                key.Offset = seg.Offset;
                key.Size = seg.Size;
                key.TypeCode = seg.TypeCode;
            }
            keys.Items.push_back(key);
        }
    }
    keys.KeyCount = static_cast<int32_t>(header.Keys.size());
    return keys;
}

void LoadKeysOnlyFileData(const std::string& baseName, TFileData& fileData,
                          const TDataFileHeader* given) {
    const TDataFileHeader header = given ? *given : ReadDataFileHeader(baseName);
    const std::string table = DictionaryLookupName(baseName);
    std::vector<TColumn> columns;
    for (size_t k = 0; k < header.Keys.size(); ++k) {
        for (size_t s = 0; s < header.Keys[k].size(); ++s) {
            const TSegmentSpec& seg = header.Keys[k][s];
            const int32_t offset = seg.Position - 1;
            // A place an earlier segment already gave a column (keys sharing segments) or
            // partly covers keeps that column.
            bool taken = std::any_of(columns.begin(), columns.end(), [&](const TColumn& c) {
                return offset < c.Offset + c.Size && c.Offset < offset + seg.Length;
            });
            if (taken) continue;
            TColumn c;
            c.Name = Format("KEY%d_%d", static_cast<int>(k), static_cast<int>(s + 1));
            c.Offset = offset;
            c.Size = seg.Length;
            std::string problem;
            c.TypeCode = StorageOfSegment(seg, problem);
            if (!problem.empty()) Warn(table, c.Name, problem);
            columns.push_back(c);
        }
    }
    if (header.Variable) {
        TColumn rest;
        rest.Name = "VARIABLE_PART";
        rest.TypeCode = btTailBytes;
        columns.push_back(rest);
    }
    fileData.Fields = std::make_unique<TBFieldList>(LayColumns(table, columns, header));
    fileData.Fields->DescribedSize = -1;  // the keys describe no record: nothing to check
    fileData.Keys = std::make_unique<TBKeyList>(FileKeys(*fileData.Fields, header));
    fileData.OwnerName.clear();
}
