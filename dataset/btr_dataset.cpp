#include "dataset/btr_dataset.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <sstream>

#include "btrieve/aliases.h"
#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/blob_iostream.h"
#include "dataset/db_error.h"
#include "dataset/extra_codec.h"
#include "dataset/field_codec.h"
#include "dataset/text_table.h"
#include "dict/column_layout.h"
#include "dict/ddf_dictionary.h"
#include "dict/dictionary.h"
#include "dict/dictionary_kind.h"
#include "dict/session.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

// Size of the record info: the 32-bit physical position, then the bookmark flag.
constexpr uint16_t kRecInfoSize = 5;

const char kMismatchText[] =
    "\xc1\xe0\xe7\xe0 \xe4\xe0\xed\xed\xfb\xf5 Btrieve \xed\xe5 \xf1\xee\xee\xf2\xe2\xe5\xf2"
    "\xf1\xf2\xe2\xf3\xe5\xf2 \xf1\xeb\xee\xe2\xe0\xf0\xfe";  // CP1251

// Rounds to the nearest integer, halves to even.
int64_t RoundHalfEven(double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (true) {
        size_t semi = text.find(';', start);
        std::string name = text.substr(start, semi == std::string::npos ? semi : semi - start);
        size_t b = name.find_first_not_of(' ');
        size_t e = name.find_last_not_of(' ');
        name = b == std::string::npos ? std::string() : name.substr(b, e - b + 1);
        if (!name.empty()) names.push_back(name);
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    return names;
}

// The fixed-size bytes of a field: the first n of its dictionary bytes, the rest zero, so a
// dictionary size smaller than the type needs never reads past the field.
template <size_t N>
std::array<uint8_t, N> FixedBytes(const uint8_t* at, int32_t dictSize) {
    std::array<uint8_t, N> bytes{};
    std::memcpy(bytes.data(), at, std::min<size_t>(N, dictSize > 0 ? dictSize : 0));
    return bytes;
}

void PutBytes(uint8_t* at, int32_t dictSize, const void* src, size_t n) {
    std::memcpy(at, src, std::min<size_t>(n, dictSize > 0 ? dictSize : 0));
}

// The position as decimal text, right-aligned in 10 characters, then a NUL.
void PutBookmark(char* bm, uint32_t position) {
    std::memset(bm, ' ', kBtrBookmarkSize - 1);
    bm[kBtrBookmarkSize - 1] = '\0';
    int i = kBtrBookmarkSize - 2;
    do {
        bm[i--] = static_cast<char>('0' + position % 10);
        position /= 10;
    } while (position != 0 && i >= 0);
}

// True for stored bytes that hold no number at all: a packed decimal of zero bytes only (its
// sign nibble is missing), a NUMERIC of zero bytes or blanks only. They read as null.
bool NoStoredNumber(int32_t typeCode, const uint8_t* at, int32_t n) {
    if (n <= 0) return false;
    if (typeCode == btPackedDecimal) return AllBytesEqual(at, static_cast<size_t>(n), 0);
    if (typeCode == btNumeric || typeCode == btNumericSA || typeCode == btNumericSTS)
        return AllBytesEqual(at, static_cast<size_t>(n), 0) ||
               AllBytesEqual(at, static_cast<size_t>(n), ' ');
    return false;
}

// Decodes the storages of codes 23 and above into the field's native value; false for a null.
// Raises EDatabaseError for bytes that hold no value of their type.
bool ReadExtraStorage(const TBField& d, const uint8_t* at, const TField& field, char* out,
                      int32_t dataSize) {
    const int32_t n = d.Size > 0 ? d.Size : 0;
    auto exact = [&](bool ok, const std::string& text) {
        if (!ok)
            DatabaseError(Format("Field '%s' holds bytes that are no value of its type",
                                 field.FieldName().c_str()));
        if (out) std::memcpy(out, text.data(), std::min<size_t>(text.size(), dataSize - 1));
        return true;
    };
    std::string text;
    if (NoStoredNumber(d.TypeCode, at, n)) return false;
    switch (d.TypeCode) {
        case btTrimmedString: {
            if (!out) return true;
            size_t limit = static_cast<size_t>(std::max(0, std::min(field.Size(), n)));
            size_t len = strnlen(reinterpret_cast<const char*>(at), limit);
            while (len > 0 && at[len - 1] == ' ') --len;
            std::memcpy(out, at, len);
            TranslateInPlace(out, len, false);
            return true;
        }
        case btShortInt:
            if (out) {
                int16_t v = n > 0 ? static_cast<int8_t>(at[0]) : 0;
                std::memcpy(out, &v, 2);
            }
            return true;
        case btLargeint:
        case btUInt32:
            if (out) {
                int64_t v = 0;
                if (d.TypeCode == btUInt32) {
                    uint32_t u = 0;
                    std::memcpy(&u, FixedBytes<4>(at, n).data(), 4);
                    v = u;
                } else {
                    std::memcpy(&v, FixedBytes<8>(at, n).data(), 8);
                }
                std::memcpy(out, &v, 8);
            }
            return true;
        case btUInt64:
            return exact(true, UInt64Text(FixedBytes<8>(at, n).data()));
        case btCurrency: {
            int64_t v = 0;
            std::memcpy(&v, FixedBytes<8>(at, n).data(), 8);
            uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            AppendDecimalText(text, v < 0, std::to_string(magnitude), 4);
            return exact(true, text);
        }
        case btPackedDecimal:
            return exact(DecodePackedDecimal(at, n, d.Scale, text), text);
        case btNumeric:
        case btNumericSA:
        case btNumericSTS: {
            const TNumericSign sign = d.TypeCode == btNumeric     ? TNumericSign::Ebcdic
                                      : d.TypeCode == btNumericSA ? TNumericSign::Ascii
                                                                  : TNumericSign::TrailingSeparate;
            return exact(DecodeNumericText(at, n, d.Scale, sign, text), text);
        }
        case btTimestamp: {
            auto bytes = FixedBytes<8>(at, n);
            if (AllBytesEqual(bytes.data(), 8, 0)) return false;
            uint64_t ticks = 0;
            std::memcpy(&ticks, bytes.data(), 8);
            if (out) std::memcpy(out, &ticks, 8);  // the field keeps every tick
            return true;
        }
        case btBFloat4:
        case btBFloat8:
            if (out) {
                double v = d.TypeCode == btBFloat4 ? MsBinary4ToDouble(FixedBytes<4>(at, n).data())
                                                   : MsBinary8ToDouble(FixedBytes<8>(at, n).data());
                std::memcpy(out, &v, 8);
            }
            return true;
        case btBit:
            if (out) {
                bool set = n > 0 && ((at[0] >> (d.Scale & 7)) & 1) != 0;
                uint16_t flag = set ? 0xffff : 0;
                std::memcpy(out, &flag, 2);
            }
            return true;
        case btWString:
        case btWZString: {
            if (!out) return true;
            size_t units = static_cast<size_t>(n / 2), len = 0;
            const auto unitAt = [&](size_t i) {
                return static_cast<uint16_t>(at[2 * i] | (at[2 * i + 1] << 8));
            };
            while (len < units && unitAt(len) != 0) ++len;
            if (d.TypeCode == btWString)
                while (len > 0 && unitAt(len - 1) == ' ') --len;
            len = std::min(len, static_cast<size_t>(field.Size()));
            for (size_t i = 0; i < len; ++i) {
                uint16_t u = unitAt(i);
                std::memcpy(out + 2 * i, &u, 2);
            }
            return true;
        }
        case btGuid:
            return exact(true, GuidText(FixedBytes<16>(at, n).data()));
        case btTailText:
        case btTailBytes:
            return true;
        default:
            return false;
    }
}

}  // namespace

TBDataSet::TBDataSet(TComponent* owner) : TDataSet(owner) {
    DefaultSession()->AddDataSet(this);
}

TBDataSet::~TBDataSet() {
    SetDictionary(nullptr);
    DefaultSession()->RemoveDataSet(this);
    try {
        Close();
    } catch (...) {
        // closing in a destructor: nothing is left to tell
    }
}

// ---------------------------------------------------------------- properties

void TBDataSet::SetBaseName(const std::string& name) {
    baseName_ = name;
    if (Active()) {
        Close();
        Open();
    }
}

void TBDataSet::SetDictName(const std::string& name) {
    if (name == dictName_) return;
    if (dictionary_)
        DatabaseError("While dictionary is assigned \"DictName\" is read only property");
    CheckInactive();
    dictName_ = name;
}

void TBDataSet::SetDictionary(TBDictionary* dictionary) {
    if (dictionary == dictionary_) return;
    if (dictionary_)
        dictionary_->RemoveDataSet(this);
    else
        DefaultSession()->RemoveDataSet(this);
    dictionary_ = dictionary;
    if (dictionary_) {
        dictionary_->AddDataSet(this);
        dictName_ = dictionary_->FileName();
    } else {
        DefaultSession()->AddDataSet(this);
    }
}

void TBDataSet::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (file_) {
        file_->SetReadOnly(readOnly);
        if (Active()) Refresh();
    }
}

void TBDataSet::SetLocking(bool locking) {
    locking_ = locking;
    if (State() == dsEdit && file_) {
        try {
            file_->BtrUnlock();
        } catch (const EBtrieve& e) {
            RaiseBtrieve(e);
        }
    }
}

void TBDataSet::SetKeyPath(int32_t keyPath) {
    if (keyPath == keyPath_) return;
    if (Active()) {
        if (keyPath == -1) {
            ChooseWalk(KeyNumberForFields(indexFields_));
        } else {
            ChooseWalk(keyPath);
            indexFields_.clear();
        }
        First();
    }
    keyPath_ = keyPath;
}

void TBDataSet::SetIndexFields(const std::string& fields) {
    if (fields == indexFields_) return;
    if (Active()) {
        if (!fields.empty()) {
            ChooseWalk(KeyNumberForFields(fields));
            keyPath_ = -1;
        } else {
            ChooseWalk(keyPath_);
        }
        First();
    }
    indexFields_ = fields;
}

void TBDataSet::ChooseWalk(int32_t key) {
    physical_ = false;
    openCount_ = -1;
    orderNotice_.clear();
    file_->BtrSetKeyNumber(0);
    // A key the user names is walked as it stands; a number that names none is ignored.
    if (key >= 0) file_->BtrSetKeyNumber(static_cast<uint16_t>(key));
    if (key >= 0 && file_->KeyNumber() == key) return;
    if (file_->KeyCount() > 0) {
        if (KeyHoldsEveryRecord(0)) return;
        orderNotice_ = "Key 0 does not hold every record: records are read in physical order";
    }
    physical_ = true;
    file_->BtrSetKeyNumber(btr::kPhysicalPath);
}

bool TBDataSet::NullKey(int32_t key) const {
    if (key < 0 || key >= file_->KeyCount()) return false;
    const auto& segments = file_->SegmentTable();
    for (int s = file_->KeyFirstSegment()[key]; s >= 1 && s <= btr::kMaxSegments; ++s) {
        if (segments[s].Flags & (recman::kKeyNullAll | recman::kKeyNullAny)) return true;
        if (!(segments[s].Flags & recman::kKeySegmented)) break;
    }
    return false;
}

bool TBDataSet::KeyHoldsEveryRecord(uint16_t key) {
    if (NullKey(key)) return false;
    const auto& segments = file_->SegmentTable();
    const int first = file_->KeyFirstSegment()[key];
    if (segments[first].Flags & recman::kKeyDuplicates) return true;
    // A key without duplicates has one value per record it holds.
    std::vector<uint8_t> stat(btr::kStatBufferSize, 0);
    file_->BtrStat(stat.data());
    uint32_t records = 0, values = 0;
    std::memcpy(&records, &stat[6], 4);
    std::memcpy(&values, &stat[16 * static_cast<size_t>(first) + 6], 4);
    openCount_ = records;
    return values == records;
}

int32_t TBDataSet::KeyNumberForFields(const std::string& fields) const {
    if (!keyList_) DatabaseError(Format("No index for fields '%s'", fields.c_str()));
    std::vector<std::string> names = SplitNames(fields);
    const auto& keys = keyList_->Items;
    if (names.empty()) {
        if (keys.empty()) DatabaseError(Format("No index for fields '%s'", fields.c_str()));
        return keys.front().KeyNumber;
    }
    size_t i = 0;
    while (i < keys.size()) {
        int32_t number = keys[i].KeyNumber;
        size_t matched = 0;
        size_t j = i;
        for (; j < keys.size() && keys[j].KeyNumber == number; ++j) {
            size_t segment = j - i;
            if (segment < names.size() && matched == segment && keys[j].FieldName == names[segment])
                ++matched;
        }
        if (matched == names.size()) return number;
        i = j;
    }
    DatabaseError(Format("No index for fields '%s'", fields.c_str()));
}

std::string TBDataSet::TranslateText(const std::string& text, bool toOem, TField* field) {
    std::string result = text;
    if (OnTranslate) {
        OnTranslate(result, toOem, field);
        return result;
    }
    TranslateInPlace(result.data(), result.size(), toOem);
    return result;
}

// ---------------------------------------------------------------- opening and closing

void TBDataSet::LoadDescription(TFileData& fileData) {
    if (dictionary_)
        dictionary_->LoadFileData(baseName_, fileData, dictTable_);
    else
        DefaultSession()->LoadFileData(baseName_, dictName_, fileData, dictTable_);
}

const std::string& DictionaryMismatchText() {
    static const std::string text = kMismatchText;
    return text;
}

void TBDataSet::CheckDescribedSize(int32_t described, int32_t length) const {
    if (described < 0 || length <= 0 || (described * 2 >= length && described <= length)) return;
    DatabaseError(
        Format("The dictionary describes %d of the %d bytes of a record of %s (%s); "
               "check the dictionary's table, or --force to export it anyway",
               described, length, baseName_.c_str(),
               described > length ? "more than the record holds" : "less than half"));
}

void TBDataSet::openCursor() {
    auto openFile = [this](const std::string& owner) {
        file_ = std::make_unique<TBtrieveFile>();
        file_->SetFileName(ExpandAliases(baseName_));
        file_->SetFileOwner(owner);
        file_->SetReadOnly(readOnly_);
        file_->SetActive(true);
        if (!file_->Active())  // an open that met a passing status
            throw EBtrieve(file_->Status(), recman::kOpOpen, file_->FileName(),
                           file_->ErrorDetail());
    };
    TFileData fileData;
    // A DDF dictionary and the keys-only layout are laid on the data file's header, and carry
    // no owner name: the file is opened first, and its Stat serves both.
    if (!dictionary_ && DescribedOverTheHeader(DictionaryKindOf(dictName_))) {
        openFile("");
        const TDataFileHeader header = HeaderOfFile(*file_);
        try {
            DefaultSession()->LoadFileData(baseName_, dictName_, fileData, dictTable_, &header);
        } catch (...) {
            file_.reset();  // closes the file
            throw;
        }
    } else {
        try {
            LoadDescription(fileData);
        } catch (const EBtrieve& e) {
            // A dictionary without the file's description, because there is no such file (or
            // a folder, or one that cannot be read): the file is what the user needs to hear of.
            static const std::string notDescribed = [] {  // the message up to the file's name
                const std::string text = DescriptionNotFoundText("\x01", "");
                return text.substr(0, text.find('\x01'));
            }();
            if (e.Status != recman::kOk || e.Message().rfind(notDescribed, 0) != 0) throw;
            try {
                openFile("");
            } catch (const EBtrieve& open) {
                if (open.Status != recman::kOk) throw open;
            }
            file_.reset();
            throw;
        }
    }
    fieldList_ = std::move(fileData.Fields);
    keyList_ = std::move(fileData.Keys);
    if (!fieldList_) fieldList_ = std::make_unique<TBFieldList>();
    if (!keyList_) keyList_ = std::make_unique<TBKeyList>();
    if (!file_) openFile(fileData.OwnerName);

    ChooseWalk(indexFields_.empty() ? keyPath_ : KeyNumberForFields(indexFields_));

    bool fieldsFit = fieldList_->RecordSize >= 0 && fieldList_->RecordSize <= 0xffff;
    for (const TBField& f : fieldList_->Items)
        if (f.Offset < 0 || f.Size < 0 ||
            int64_t{f.Offset} + f.Size > int64_t{fieldList_->RecordSize})
            fieldsFit = false;
    if (!fieldsFit || file_->RecordLength() != fieldList_->RecordSize ||
        (indexCheck_ && file_->KeyCount() != keyList_->KeyCount))
        throw EBtrieve(kMismatchText);
    if (checkLayout_) CheckDescribedSize(fieldList_->DescribedSize, fieldList_->RecordSize);
    recordSize_ = static_cast<uint16_t>(fieldList_->RecordSize);

    defineFields();
    InitFieldsFromDefs();

    size_t full = size_t{recordSize_} + CalcFieldsSize() + kRecInfoSize + kBtrBookmarkSize;
    if (full > 0xffff) DatabaseError("Record buffer too large");
    recInfoOfs_ = static_cast<uint16_t>(recordSize_ + CalcFieldsSize());
    bookmarkOfs_ = static_cast<uint16_t>(recInfoOfs_ + kRecInfoSize);
    bufferSize_ = static_cast<uint16_t>(full);
    SetBookmarkSize(kBtrBookmarkSize);

    keyBuffer_ = std::make_unique<uint8_t[]>(recordSize_ ? recordSize_ : 1);
    markBeforeFirst();
    endPending_ = false;
    cachedRecordCount_ = 0;
    cursorOpen_ = true;
}

void TBDataSet::closeCursor() {
    blobCache_.Clear();  // streams still open keep their content, cut off from the file
    keyBuffer_.reset();
    editCopy_.reset();
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    keyList_.reset();
    fieldList_.reset();
    filterBuffer_ = nullptr;
    cursorOpen_ = false;
    std::unique_ptr<TBtrieveFile> file = std::move(file_);
    file.reset();  // closes the file
}

void TBDataSet::defineFields() {
    FieldDefs().Clear();
    const TBFieldList* list = fieldList_.get();
    TFileData temporary;
    if (!list) {
        LoadDescription(temporary);
        list = temporary.Fields.get();
        if (!list) return;
    }
    for (const TBField& f : list->Items) {
        TFieldShape shape = FieldShapeOfTypeCode(f.TypeCode, f.Size);
        TFieldDef& def = FieldDefs().Add(f.Name, shape.Type, shape.Size, false);
        def.Scale = f.TypeCode == btCurrency ? 4 : f.Scale;
        def.Utf8Name = f.Utf8Name;
    }
}

// ---------------------------------------------------------------- buffers and bookmarks

std::unique_ptr<char[]> TBDataSet::newRecordBuffer() {
    return std::unique_ptr<char[]>(new char[bufferSize_]);
}

void TBDataSet::clearRecordBuffer(TRecordBuffer buffer) {
    std::memset(buffer, 0, bufferSize_);
}

void TBDataSet::clearCalculated(TRecordBuffer buffer) {
    std::memset(buffer + recordSize_, 0, CalcFieldsSize());
}

void TBDataSet::getBookmark(const char* buffer, char* dest) const {
    std::memcpy(dest, buffer + bookmarkOfs_, kBtrBookmarkSize);
}

void TBDataSet::setBookmark(TRecordBuffer buffer, const char* bookmark) {
    std::memcpy(buffer + bookmarkOfs_, bookmark, kBtrBookmarkSize);
}

TBookmarkFlag TBDataSet::getBookmarkFlag(const char* buffer) const {
    return static_cast<TBookmarkFlag>(buffer[recInfoOfs_ + 4]);
}

void TBDataSet::setBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    buffer[recInfoOfs_ + 4] = static_cast<char>(flag);
}

int TBDataSet::orderBookmarks(const char* a, const char* b) const {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    int c = std::strncmp(a, b, kBtrBookmarkSize);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TBDataSet::RaiseBtrieve(const std::exception& error) const {
    if (auto* e = dynamic_cast<const Exception*>(&error)) DatabaseError(e->Message());
    DatabaseError(error.what());
}

void TBDataSet::gotoBookmark(const char* bookmark) {
    uint32_t position = 0;
    int i = 0;
    while (i < kBtrBookmarkSize && bookmark[i] == ' ') ++i;
    for (; i < kBtrBookmarkSize && bookmark[i] >= '0' && bookmark[i] <= '9'; ++i)
        position = position * 10 + static_cast<uint32_t>(bookmark[i] - '0');
    std::vector<uint8_t> scratch(recordSize_ ? recordSize_ : 1);
    file_->BtrSetData(scratch.data(), recordSize_);
    try {
        file_->BtrGetDirect(0, position);
    } catch (const EBtrieve& e) {
        file_->BtrSetData(nullptr, 0);
        RaiseBtrieve(e);
    }
    file_->BtrSetData(nullptr, 0);
    startPending_ = endPending_ = false;
}

void TBDataSet::positionOnBuffer(TRecordBuffer buffer) {
    gotoBookmark(buffer + bookmarkOfs_);
}

// ---------------------------------------------------------------- fetching

bool TBDataSet::Accept(TRecordBuffer buffer) {
    if (!Filtered() || !OnFilterRecord) return true;
    TTempState filter(*this, dsFilter, &filterBuffer_, buffer);
    bool accept = true;
    OnFilterRecord(*this, accept);
    return accept;
}

size_t TBDataSet::FirstSegmentOfCurrentKey() const {
    uint16_t key = file_->KeyNumber();
    const auto& keys = keyList_->Items;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].KeyNumber == key) return i;
    DatabaseError(Format("Key %u of the file has no description in the dictionary", key));
}

void TBDataSet::BuildKeyFromKeyBuffer() {
    size_t first = FirstSegmentOfCurrentKey();
    const auto& keys = keyList_->Items;
    std::vector<TKeyValue> values;
    for (size_t i = first; i < keys.size() && keys[i].KeyNumber == keys[first].KeyNumber; ++i) {
        const TBField* desc = nullptr;
        if (keys[i].Offset >= 0) {
            values.emplace_back(keyBuffer_.get() + keys[i].Offset,
                                static_cast<size_t>(recordSize_ - keys[i].Offset));
            continue;
        }
        for (const TBField& f : fieldList_->Items)
            if (f.Name == keys[i].FieldName) {
                desc = &f;
                break;
            }
        if (!desc) desc = &Description(*FieldByName(keys[i].FieldName));
        values.emplace_back(keyBuffer_.get() + desc->Offset,
                            static_cast<size_t>(recordSize_ - desc->Offset));
    }
    file_->BtrSetKeyValues(values);
}

void TBDataSet::StartWalk(uint16_t operation) {
    // A key the dictionary does not describe is refused rather than walked blind.
    if (!physical_) FirstSegmentOfCurrentKey();
    file_->BtrExec(operation);
}

bool TBDataSet::Fetch(TRecordBuffer buffer, TGetMode mode) {
    file_->BtrSetData(buffer, recordSize_);
    switch (mode) {
        case gmCurrent: {
            if (startPending_ || endPending_) return false;
            try {
                uint32_t position = file_->BtrGetPosition();
                file_->BtrGetDirect(0, position);
            } catch (const EBtrieve&) {
                return false;
            }
            return file_->Status() == recman::kOk && Accept(buffer);
        }
        case gmNext: {
            if (endPending_ && !startPending_) return false;
            const uint16_t next = physical_ ? recman::kOpStepNext : recman::kOpGetNext;
            if (startPending_)
                StartWalk(physical_ ? recman::kOpStepFirst : recman::kOpGetFirst);
            else
                file_->BtrExec(next);
            while (file_->Status() == recman::kOk) {
                if (Accept(buffer)) {
                    startPending_ = false;
                    return true;
                }
                file_->BtrExec(next);
            }
            return false;
        }
        case gmPrior: {
            if (startPending_ && !endPending_) return false;
            const uint16_t prior = physical_ ? recman::kOpStepPrevious : recman::kOpGetPrevious;
            if (endPending_)
                StartWalk(physical_ ? recman::kOpStepLast : recman::kOpGetLast);
            else
                file_->BtrExec(prior);
            while (file_->Status() == recman::kOk) {
                if (Accept(buffer)) {
                    endPending_ = false;
                    return true;
                }
                file_->BtrExec(prior);
            }
            return false;
        }
    }
    return false;
}

bool TBDataSet::fetchRecord(TRecordBuffer buffer, TGetMode mode, bool report) {
    try {
        if (!Fetch(buffer, mode)) return false;
        buffer[recInfoOfs_ + 4] = static_cast<char>(bfCurrent);
        uint32_t position = file_->BtrGetPosition();
        std::memcpy(buffer + recInfoOfs_, &position, 4);
        PutBookmark(buffer + bookmarkOfs_, position);
        // After the bookmark: calculated fields may read the record's blobs.
        GetCalcFields(buffer);
        return true;
    } catch (const EBtrieve& e) {
        ShowBtrieveError(e);
        if (report && State() != dsOpening && State() != dsInactive) RaiseBtrieve(e);
        return false;
    }
}

// ---------------------------------------------------------------- field values

TRecordBuffer TBDataSet::StateBuffer() const {
    switch (State()) {
        case dsBrowse:
        case dsInternalCalc:
            return ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue:
            return EditBuffer();
        case dsSetKey:
            return reinterpret_cast<TRecordBuffer>(keyBuffer_.get());
        case dsCalcFields:
            return CalcBuffer();
        case dsFilter:
            return filterBuffer_;
        case dsOldValue:
            return editCopy_.get();
        default:
            return nullptr;
    }
}

const TBField& TBDataSet::Description(const TField& field) const {
    size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (!fieldList_ || field.FieldNo() < 1 || index >= fieldList_->Items.size())
        DatabaseError(Format("Field '%s' not found", field.FieldName().c_str()));
    return fieldList_->Items[index];
}

bool TBDataSet::readField(const TField& field, void* dest) {
    TRecordBuffer buffer = StateBuffer();
    if (!buffer) return false;
    if (field.Calculated()) {
        if (State() == dsFilter)
            DatabaseError("Calculated fields are not supported in OnFilterRecord handler");
        const char* at = buffer + recordSize_ + field.Offset();
        if (at[0] && dest) std::memcpy(dest, at + 1, field.DataSize());
        return at[0] != 0;
    }
    const int32_t dataSize = field.DataSize();
    if (dest) std::memset(dest, 0, dataSize);
    const TBField& d = Description(field);
    const uint8_t* at = reinterpret_cast<const uint8_t*>(buffer) + d.Offset;
    const int32_t n = d.Size;
    char* out = static_cast<char*>(dest);
    if (d.NullOffset >= 0 && buffer[d.NullOffset] != 0) return false;
    if (d.TypeCode >= kFirstExtraStorage) return ReadExtraStorage(d, at, field, out, dataSize);
    switch (d.TypeCode) {
        case btOemString: {
            if (!dest) return true;
            int32_t size = field.Size();
            // At most Size characters, and never past the field's own bytes.
            size_t limit = static_cast<size_t>(std::max(0, std::min(size, n)));
            size_t len = strnlen(reinterpret_cast<const char*>(at), limit);
            if (n < 1 || at[0] == 0) return true;
            if (OnTranslate) {
                std::string text =
                    TranslateText(std::string(reinterpret_cast<const char*>(at), len), false,
                                  const_cast<TField*>(&field));
                std::memcpy(out, text.data(), std::min<size_t>(text.size(), size));
            } else {
                std::memcpy(out, at, len);
                TranslateInPlace(out, len, false);
            }
            return true;
        }
        case btSmallint:
        case btInteger:
        case btFloat:
        case btFloat8:
        case btString:
        case btString2:
        case btWord:
        case btBytes:
        case btAutoInc:
            if (dest) {
                std::memcpy(out, at, std::min(n, dataSize));
                if (d.TypeCode == btString || d.TypeCode == btString2) out[dataSize - 1] = '\0';
            }
            return true;
        case btDate: {
            int32_t day = 0;
            if (!DecodeBtrDate(FixedBytes<4>(at, n).data(), day)) return false;
            if (dest) std::memcpy(out, &day, 4);
            return true;
        }
        case btTime: {
            int32_t ms = 0;
            if (!DecodeBtrTime(FixedBytes<4>(at, n).data(), ms)) return false;
            if (dest) std::memcpy(out, &ms, 4);
            return true;
        }
        case btExtended:
        case btExtended2:
            if (dest) {
                double v = ExtendedToDouble(FixedBytes<10>(at, n).data());
                std::memcpy(out, &v, 8);
            }
            return true;
        case btSingle:
            if (dest) {
                float f;
                std::memcpy(&f, FixedBytes<4>(at, n).data(), 4);
                double v = f;
                std::memcpy(out, &v, 8);
            }
            return true;
        case btLogical:
            if (dest) {
                uint16_t flag = AllBytesEqual(at, n > 0 ? n : 0, 0) ? 0 : 0xffff;
                std::memcpy(out, &flag, 2);
            }
            return true;
        case btByte:
            if (dest) {
                uint16_t word = n > 0 ? at[0] : 0;
                std::memcpy(out, &word, 2);
            }
            return true;
        case btOemLString:
        case btLString: {
            if (!dest || n < 1) return true;
            size_t limit = static_cast<size_t>(std::max(0, std::min(field.Size(), n - 1)));
            size_t len = std::min<size_t>(at[0], limit);
            if (d.TypeCode == btOemLString && OnTranslate) {
                std::string text =
                    TranslateText(std::string(reinterpret_cast<const char*>(at + 1), len), false,
                                  const_cast<TField*>(&field));
                std::memcpy(out, text.data(), std::min<size_t>(text.size(), field.Size()));
            } else {
                std::memcpy(out, at + 1, len);
                if (d.TypeCode == btOemLString) TranslateInPlace(out, len, false);
            }
            return true;
        }
        case btBinaryBlob:
        case btMemoBlob:
        case btGraphicBlob: {
            auto ref = FixedBytes<8>(at, n);
            uint32_t length = 0;
            std::memcpy(&length, ref.data() + 4, 4);
            return length != 0;
        }
        default:
            return false;
    }
}

void TBDataSet::writeField(TField& field, const void* src) {
    TRecordBuffer buffer = StateBuffer();
    if (!buffer) return;
    const TDataSetState state = State();
    if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
        state != dsFilter && state != dsNewValue && state != dsInternalCalc)
        DatabaseError("Dataset not in edit or insert mode");
    if (field.Calculated()) {
        char* at = buffer + recordSize_ + field.Offset();
        at[0] = src != nullptr;
        if (src) std::memcpy(at + 1, src, field.DataSize());
    } else {
        const TBField& d = Description(field);
        uint8_t* at = reinterpret_cast<uint8_t*>(buffer) + d.Offset;
        const int32_t n = d.Size > 0 ? d.Size : 0;
        const int32_t dataSize = field.DataSize();
        const char* in = static_cast<const char*>(src);
        if (src && d.TypeCode == btByte) {
            uint16_t word;
            std::memcpy(&word, in, 2);
            if (word > 255)
                DatabaseError(
                    Format("%u is not a valid value for field '%s'. The allowed range "
                           "is 0 to 255",
                           word, field.FieldName().c_str()));
        }
        std::memset(at, 0, n);
        if (src) {
            switch (d.TypeCode) {
                case btOemString:
                case btString:
                case btString2: {
                    size_t len = strnlen(in, field.Size() > 0 ? field.Size() : 0);
                    std::string text(in, len);
                    if (d.TypeCode == btOemString) text = TranslateText(text, true, &field);
                    // Keep the terminating NUL inside the field.
                    PutBytes(at, n > 0 ? n - 1 : 0, text.data(), text.size());
                    break;
                }
                case btSmallint:
                case btInteger:
                case btFloat:
                case btFloat8:
                case btWord:
                case btBytes:
                case btAutoInc:
                    std::memcpy(at, in, std::min(n, dataSize));
                    break;
                case btExtended:
                case btExtended2: {
                    double v;
                    std::memcpy(&v, in, 8);
                    uint8_t ext[10];
                    DoubleToExtended(v, ext);
                    PutBytes(at, n, ext, 10);
                    break;
                }
                case btSingle: {
                    double v;
                    std::memcpy(&v, in, 8);
                    float f = static_cast<float>(v);
                    PutBytes(at, n, &f, 4);
                    break;
                }
                case btLogical:
                case btByte: {
                    uint16_t word;
                    std::memcpy(&word, in, 2);
                    // A flag keeps any non-zero native value as true.
                    uint8_t byte = d.TypeCode == btLogical ? (word != 0 ? 1 : 0)
                                                           : static_cast<uint8_t>(word & 0xff);
                    if (n > 0) at[0] = byte;
                    break;
                }
                case btDate: {
                    int32_t day;
                    std::memcpy(&day, in, 4);
                    uint8_t date[4];
                    EncodeBtrDate(day, date);
                    PutBytes(at, n, date, 4);
                    break;
                }
                case btTime: {
                    int32_t ms;
                    std::memcpy(&ms, in, 4);
                    uint8_t time[4];
                    EncodeBtrTime(ms, time);
                    PutBytes(at, n, time, 4);
                    break;
                }
                case btOemLString:
                case btLString: {
                    if (n < 1) break;
                    size_t len = strnlen(in, field.Size() > 0 ? field.Size() : 0);
                    std::string text(in, len);
                    if (d.TypeCode == btOemLString) text = TranslateText(text, true, &field);
                    size_t room = std::min<size_t>(static_cast<size_t>(n - 1), 255);
                    size_t stored = std::min(len, room);
                    at[0] = static_cast<uint8_t>(stored);
                    std::memcpy(at + 1, text.data(), std::min(text.size(), stored));
                    break;
                }
                default:  // btNone, blobs (written through a blob stream) and unknown codes
                    break;
            }
        }
    }
    if (state != dsSetKey && state != dsCalcFields && state != dsFilter && state != dsNewValue)
        FieldChanged(field);
}

// ---------------------------------------------------------------- editing

bool TBDataSet::canModify() {
    return !readOnly_ && file_ && !file_->ReadOnly();
}

void TBDataSet::beginEdit() {
    blobsChanged_ = false;
    if (!editCopy_) editCopy_ = newRecordBuffer();
    try {
        file_->BtrSetData(editCopy_.get(), recordSize_);
        uint32_t position = file_->BtrGetPosition();
        file_->BtrGetDirect(locking_ ? recman::kSingleNoWaitLock : 0, position);
        std::memcpy(EditBuffer(), editCopy_.get(), recordSize_);
        // The old values are those of this record: its position and bookmark too.
        std::memcpy(editCopy_.get() + recInfoOfs_, EditBuffer() + recInfoOfs_,
                    kRecInfoSize + kBtrBookmarkSize);
    } catch (const EBtrieve& e) {
        ReleaseEditCopy();
        file_->BtrSetData(nullptr, 0);
        RaiseBtrieve(e);
    }
}

void TBDataSet::beginInsert() {
    blobsChanged_ = false;
    if (!editCopy_) editCopy_ = newRecordBuffer();
    clearRecordBuffer(editCopy_.get());
}

void TBDataSet::cancelChanges() {
    const bool editing = State() == dsEdit;
    blobCache_.FreeUnattached();
    ReleaseEditCopy();
    if (file_) file_->BtrSetData(nullptr, 0);  // never the freed edit copy
    // Only an edit holds a lock; an insert has nothing to give up.
    if (editing && locking_) {
        try {
            file_->BtrUnlock();
        } catch (const EBtrieve& e) {
            RaiseBtrieve(e);
        }
    }
}

void TBDataSet::postRecord() {
    openCount_ = -1;  // the count of the open no longer holds
    const bool editing = State() == dsEdit;
    // Refused before anything is written: blob content has no place in a fixed-length file.
    if (blobsChanged_ && !file_->VariableLength())
        DatabaseError("Blob content cannot be stored: the file has no variable-length records");
    if (!editing && blobsChanged_) {
        // Refused before the insert, so that no record is left without its blobs.
        size_t size = 0;
        for (const TBField& d : fieldList_->Items)
            if (d.TypeCode >= btBinaryBlob && d.TypeCode <= btGraphicBlob)
                if (auto filer = blobCache_.Find(d.Name); filer && filer->Content)
                    size += filer->Content->Bytes().size();
        if (size > static_cast<size_t>(std::max<int32_t>(maxVarRecSize_, 0)))
            DatabaseError(
                Format("Variable part of the record is limited to %d bytes", maxVarRecSize_));
    }
    try {
        if (editing) {
            file_->BtrSetData(editCopy_.get(), recordSize_);
            uint32_t position = file_->BtrGetPosition();
            file_->BtrGetDirect(0, position);
        }
        ReleaseEditCopy();
        file_->BtrSetData(EditBuffer(), recordSize_);
        if (editing && file_->VariableLength()) {
            WriteVariablePart(EditBuffer());
            // The fixed part over the record's start: the variable part stays as written.
            file_->BtrWriteChunks(0, EditBuffer(), recordSize_);
            if (locking_) file_->BtrUnlock();
            return;
        }
        if (editing)
            file_->BtrUpdate();
        else
            file_->BtrInsert();
        if (blobsChanged_) {
            WriteVariablePart(EditBuffer());
            if (file_->VariableLength()) file_->BtrWriteChunks(0, EditBuffer(), recordSize_);
        }
    } catch (const EBtrieve& e) {
        RaiseBtrieve(e);
    }
    startPending_ = endPending_ = false;
}

void TBDataSet::WriteVariablePart(TRecordBuffer buffer) {
    blobsChanged_ = false;
    const bool inserting = State() == dsInsert;
    const std::string bookmark = inserting ? std::string() : BookmarkText(buffer);
    std::string image;
    const auto& items = fieldList_->Items;
    for (size_t i = 0; i < items.size(); ++i) {
        const TBField& d = items[i];
        if (d.TypeCode < btBinaryBlob || d.TypeCode > btGraphicBlob) continue;
        if (d.Size < 8 || d.Offset < 0 || d.Offset + 8 > recordSize_) continue;
        std::shared_ptr<TBlobFiler> filer =
            blobCache_.Find(inserting ? d.Name : bookmark + '\x01' + d.Name);
        std::unique_ptr<TBlobStream> reader;
        if (!filer && !inserting) {
            // Not touched in this edit: its stored content, through a stream of its own.
            reader =
                std::make_unique<TBlobStream>(*this, static_cast<int>(i + 1), d.Name, kBlobRead);
        }
        const TMemoryStream* content =
            reader ? reader->Filer().Content.get() : (filer ? filer->Content.get() : nullptr);
        if (!content) continue;
        uint32_t offset = static_cast<uint32_t>(image.size());
        uint32_t length = static_cast<uint32_t>(content->Bytes().size());
        std::memcpy(buffer + d.Offset, &offset, 4);
        std::memcpy(buffer + d.Offset + 4, &length, 4);
        image += content->Bytes();
    }
    TVarStream stream(*this, maxVarRecSize_, file_->BtrGetPosition());
    stream.Write(image.data(), static_cast<int32_t>(image.size()));
    // What lay beyond the new contents belonged to the old ones.
    stream.SetSize(static_cast<int32_t>(image.size()));
    blobCache_.FreeUnattached();
}

void TBDataSet::addRecord(TRecordBuffer buffer, bool) {
    openCount_ = -1;  // the count of the open no longer holds
    // A buffer of a record that is not (or no longer) in the file is inserted as it stands:
    // the position only matters to the insert's own currency.
    try {
        positionOnBuffer(buffer);
    } catch (const EDatabaseError&) {
    }
    try {
        file_->BtrSetData(buffer, recordSize_);
        file_->BtrInsert();
    } catch (const EBtrieve& e) {
        file_->BtrSetData(nullptr, 0);
        RaiseBtrieve(e);
    }
    file_->BtrSetData(nullptr, 0);
}

void TBDataSet::deleteRecord() {
    openCount_ = -1;  // the count of the open no longer holds
    try {
        file_->BtrDelete();
    } catch (const EBtrieve& e) {
        RaiseBtrieve(e);
    }
}

std::unique_ptr<std::iostream> TBDataSet::openBlobStream(TField& field, TBlobStreamMode mode) {
    const TDataSetState state = State();
    if (mode != bmRead && state != dsEdit && state != dsInsert)
        DatabaseError("Dataset not in edit or insert mode");
    if (field.Calculated()) return std::make_unique<std::stringstream>();
    // "Field '%s' not found" for a field the file does not describe.
    const std::string& name = Description(field).Name;
    // The content is read by the record's position and written only when the record is
    // posted, so a read needs no move of the file's currency.
    if (mode != bmRead && state == dsEdit) positionOnBuffer(EditBuffer());
    const auto blobMode = mode == bmRead    ? kBlobRead
                          : mode == bmWrite ? kBlobWrite
                                            : kBlobReadWrite;
    return std::make_unique<TBlobIOStream>(
        std::make_unique<TBlobStream>(*this, field.FieldNo(), name, blobMode));
}

bool TBDataSet::BlobsOfNewRecord() const {
    switch (State()) {
        case dsInsert:
        case dsSetKey:  // the key buffer has no record behind it
            return true;
        case dsFilter:
        case dsCalcFields:
        case dsEdit:
        case dsOldValue:
            return false;  // a record of the file, even while the dataset is still empty
        default:
            return IsEmpty();
    }
}

std::string TBDataSet::BookmarkText(const char* buffer) const {
    if (State() == dsFilter && buffer == filterBuffer_ && file_) {
        // A record being filtered has no bookmark yet; it is the file's current record.
        char bm[kBtrBookmarkSize];
        try {
            PutBookmark(bm, file_->BtrGetPosition());
        } catch (const EBtrieve& e) {
            RaiseBtrieve(e);
        }
        return std::string(bm, kBtrBookmarkSize - 1);
    }
    return std::string(buffer + bookmarkOfs_, kBtrBookmarkSize - 1);
}

void TBDataSet::BlobFieldModified(int fieldNo) {
    TField* field = FieldByNumber(fieldNo);
    if (!field) return;
    const TDataSetState state = State();
    if (state == dsEdit || state == dsInsert) {
        // Until the post places the content, the reference's length tells whether there is
        // any, so the field's null-ness follows what was written.
        const TBField& d = Description(*field);
        auto filer = blobCache_.Find(TBlobCache::KeyOf(*this, EditBuffer(), d.Name));
        if (filer && filer->Content && d.Size >= 8 && d.Offset >= 0 &&
            d.Offset + 8 <= recordSize_) {
            auto length = static_cast<uint32_t>(filer->Content->Bytes().size());
            std::memcpy(EditBuffer() + d.Offset + 4, &length, 4);
        }
    }
    FieldChanged(*field);
}

const TBFieldList& TBDataSet::BlobFieldList() const {
    static const TBFieldList kNone;
    return fieldList_ ? *fieldList_ : kNone;
}

// ---------------------------------------------------------------- counting

int32_t TBDataSet::recordCount() {
    if (!evaluteScroll_) return -1;
    CheckActive();
    // The Stat of the open answers the first count asked after it: counting a large file
    // is not cheap, and the export asks right after opening.
    cachedRecordCount_ =
        static_cast<int32_t>(openCount_ >= 0 ? openCount_ : file_->BtrRecordCount());
    openCount_ = -1;
    return cachedRecordCount_;
}

int32_t TBDataSet::recordNumber() {
    if (!evaluteScroll_) return -1;
    if (!Active() || !ActiveBuffer()) return 0;
    positionOnBuffer(ActiveBuffer());
    uint32_t percentage = file_->BtrFindPercentage();
    return static_cast<int32_t>(RoundHalfEven(percentage / 10000.0 * cachedRecordCount_));
}

bool TBDataSet::moveToRecordNumber(int32_t number) {
    if (!evaluteScroll_ || !Active()) return false;
    // Without a count the percentage cannot be computed: obtain it first.
    if (cachedRecordCount_ == 0) recordCount();
    if (cachedRecordCount_ <= 0) return false;
    int64_t percentage = RoundHalfEven(static_cast<double>(number) / cachedRecordCount_ * 10000);
    percentage = std::clamp<int64_t>(percentage, 0, 10000);
    std::vector<uint8_t> scratch(recordSize_ > 4 ? recordSize_ : 4);
    file_->BtrSetData(scratch.data(), static_cast<uint16_t>(scratch.size()));
    try {
        file_->BtrGetByPercentage(static_cast<uint32_t>(percentage));
    } catch (...) {
        file_->BtrSetData(nullptr, 0);
        throw;
    }
    file_->BtrSetData(nullptr, 0);
    startPending_ = endPending_ = false;
    return true;
}

bool TBDataSet::isSequenced() {
    if (!evaluteScroll_) return true;
    return !(Filtered() || (file_ && file_->VariableLength()));
}

// ---------------------------------------------------------------- searching

bool TBDataSet::Search(const std::vector<TField*>& fields, const std::vector<TVariant>& values,
                       TLocateOptions) {
    const auto& keys = keyList_->Items;
    const size_t count = fields.size();
    // The key whose leading segments cover most of the search fields, in order.
    size_t best = 0;
    int32_t bestKey = -1;
    for (size_t i = 0; i < keys.size() && best < count;) {
        int32_t number = keys[i].KeyNumber;
        size_t j = i, covered = 0;
        for (; j < keys.size() && keys[j].KeyNumber == number; ++j) {
            size_t segment = j - i;
            if (covered == segment && segment < count &&
                keys[j].FieldName == fields[segment]->FieldName())
                ++covered;
        }
        // A null key may not hold the record looked for.
        if (covered > best && !NullKey(number)) {
            best = covered;
            bestKey = number;
        }
        i = j;
    }
    const uint16_t savedKey = file_->KeyNumber();
    if (best > 0) file_->BtrSetKeyNumber(static_cast<uint16_t>(bestKey));
    bool found = false;
    TDataSetState previous = State();
    try {
        std::memset(keyBuffer_.get(), 0, recordSize_);
        SetTempState(dsSetKey);
        for (size_t i = 0; i < count; ++i) fields[i]->SetAsVariant(values[i]);
        // Without a leading key field the records are scanned: along the walk's key from the
        // values given, or all of them as stored.
        const bool stepping = best == 0 && physical_;
        if (!stepping) BuildKeyFromKeyBuffer();
        file_->BtrSetData(keyBuffer_.get(), recordSize_);
        file_->BtrExec(stepping ? recman::kOpStepFirst : recman::kOpGetGreaterOrEqual);
        while (file_->Status() == recman::kOk) {
            bool keyDiffers = false;
            for (size_t i = 0; i < best && !keyDiffers; ++i)
                keyDiffers = !VarEquals(fields[i]->AsVariant(), values[i]);
            if (keyDiffers) break;
            bool rest = true;
            for (size_t i = best; i < count && rest; ++i)
                rest = VarEquals(fields[i]->AsVariant(), values[i]);
            if (rest) {
                found = true;
                break;
            }
            file_->BtrExec(stepping ? recman::kOpStepNext : recman::kOpGetNext);
        }
    } catch (...) {
        RestoreState(previous);
        file_->BtrSetKeyNumber(savedKey);
        throw;
    }
    RestoreState(previous);
    if (found) {
        std::memcpy(TempBuffer(), keyBuffer_.get(), recordSize_);
        startPending_ = endPending_ = false;
    }
    file_->BtrSetKeyNumber(savedKey);
    return found;
}

bool TBDataSet::locateRecord(const std::string& keyFields, const std::vector<TVariant>& values,
                             TLocateOptions options) {
    if (options != 0) DatabaseError("Partial and case insensitive compare is not supported");
    std::vector<TField*> fields = GetFieldList(keyFields);
    if (fields.empty() || fields.size() != values.size())
        DatabaseError("The number of key values does not match the number of key fields");
    return Search(fields, values, options);
}

std::vector<TVariant> TBDataSet::lookupRecord(const std::string& keyFields,
                                              const std::vector<TVariant>& values,
                                              const std::string& resultFields) {
    std::vector<TField*> results = GetFieldList(resultFields);
    if (!locateRecord(keyFields, values, 0)) return {};
    GetCalcFields(TempBuffer());
    return ReadBufferValues(TempBuffer(), results);
}

const char* TBDataSet::fieldValueLost(const TField& field) {
    if (field.Calculated() || !fieldList_) return nullptr;
    const size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (field.FieldNo() < 1 || index >= fieldList_->Items.size()) return nullptr;
    const TBField& d = fieldList_->Items[index];
    const char* buffer = StateBuffer();
    if (!buffer || (d.NullOffset >= 0 && buffer[d.NullOffset] != 0)) return nullptr;
    const auto* at = reinterpret_cast<const uint8_t*>(buffer) + d.Offset;
    const int32_t n = d.Size > 0 ? d.Size : 0;
    if (d.TypeCode == btTime && n > 0 && AllBytesEqual(at, static_cast<size_t>(n), 0))
        return "00:00:00, midnight, which a TIME of the file cannot tell from no time";
    int32_t day = 0;
    if (d.TypeCode == btDate && n > 0 && !AllBytesEqual(at, static_cast<size_t>(n), 0) &&
        !DecodeBtrDate(FixedBytes<4>(at, n).data(), day))
        return "the stored bytes hold no valid date";
    return nullptr;
}

bool TBDataSet::fieldValueMissing(const TField& field) {
    if (field.Calculated() || !fieldList_) return false;
    const size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (field.FieldNo() < 1 || index >= fieldList_->Items.size()) return false;
    const TBField& d = fieldList_->Items[index];
    const char* buffer = StateBuffer();
    if (!buffer || (d.NullOffset >= 0 && buffer[d.NullOffset] != 0)) return false;
    return NoStoredNumber(d.TypeCode, reinterpret_cast<const uint8_t*>(buffer) + d.Offset, d.Size);
}
