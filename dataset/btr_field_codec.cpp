// Field values of a Btrieve record by dictionary type code: the record's bytes as the dataset
// field's native value and back.
#include "dataset/btr_field_codec.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "dataset/db_error.h"
#include "dataset/extra_codec.h"
#include "dataset/field_codec.h"
#include "dataset/text_table.h"
#include "platform/format.h"

namespace {

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

std::string TranslateBtrText(const TTranslateEvent& onTranslate, const std::string& text,
                             bool toOem, TField* field) {
    std::string result = text;
    if (onTranslate) {
        onTranslate(result, toOem, field);
        return result;
    }
    TranslateInPlace(result.data(), result.size(), toOem);
    return result;
}

bool ReadBtrField(const TBField& d, const char* record, const TField& field, void* dest,
                  const TTranslateEvent& onTranslate) {
    const int32_t dataSize = field.DataSize();
    const uint8_t* at = reinterpret_cast<const uint8_t*>(record) + d.Offset;
    const int32_t n = d.Size;
    char* out = static_cast<char*>(dest);
    if (d.NullOffset >= 0 && record[d.NullOffset] != 0) return false;
    if (d.TypeCode >= kFirstExtraStorage) return ReadExtraStorage(d, at, field, out, dataSize);
    switch (d.TypeCode) {
        case btOemString: {
            if (!dest) return true;
            int32_t size = field.Size();
            // At most Size characters, and never past the field's own bytes.
            size_t limit = static_cast<size_t>(std::max(0, std::min(size, n)));
            size_t len = strnlen(reinterpret_cast<const char*>(at), limit);
            if (n < 1 || at[0] == 0) return true;
            if (onTranslate) {
                std::string text = TranslateBtrText(
                    onTranslate, std::string(reinterpret_cast<const char*>(at), len), false,
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
            if (d.TypeCode == btOemLString && onTranslate) {
                std::string text = TranslateBtrText(
                    onTranslate, std::string(reinterpret_cast<const char*>(at + 1), len), false,
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

void WriteBtrField(const TBField& d, char* record, TField& field, const void* src,
                   const TTranslateEvent& onTranslate, const TComponent* owner) {
    uint8_t* at = reinterpret_cast<uint8_t*>(record) + d.Offset;
    const int32_t n = d.Size > 0 ? d.Size : 0;
    const int32_t dataSize = field.DataSize();
    const char* in = static_cast<const char*>(src);
    if (src && d.TypeCode == btByte) {
        uint16_t word;
        std::memcpy(&word, in, 2);
        if (word > 255)
            DatabaseError(Format("%u is not a valid value for field '%s'. The allowed range "
                                 "is 0 to 255",
                                 word, field.FieldName().c_str()),
                          owner);
    }
    std::memset(at, 0, n);
    if (src) {
        switch (d.TypeCode) {
            case btOemString:
            case btString:
            case btString2: {
                size_t len = strnlen(in, field.Size() > 0 ? field.Size() : 0);
                std::string text(in, len);
                if (d.TypeCode == btOemString)
                    text = TranslateBtrText(onTranslate, text, true, &field);
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
                if (d.TypeCode == btOemLString)
                    text = TranslateBtrText(onTranslate, text, true, &field);
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

const char* BtrFieldValueLost(const TBField& d, const char* record) {
    if (d.NullOffset >= 0 && record[d.NullOffset] != 0) return nullptr;
    const auto* at = reinterpret_cast<const uint8_t*>(record) + d.Offset;
    const int32_t n = d.Size > 0 ? d.Size : 0;
    if (d.TypeCode == btTime && n > 0 && AllBytesEqual(at, static_cast<size_t>(n), 0))
        return "00:00:00, midnight, which a TIME of the file cannot tell from no time";
    int32_t day = 0;
    if (d.TypeCode == btDate && n > 0 && !AllBytesEqual(at, static_cast<size_t>(n), 0) &&
        !DecodeBtrDate(FixedBytes<4>(at, n).data(), day))
        return "the stored bytes hold no valid date";
    return nullptr;
}

bool BtrFieldValueMissing(const TBField& d, const char* record) {
    if (d.NullOffset >= 0 && record[d.NullOffset] != 0) return false;
    return NoStoredNumber(d.TypeCode, reinterpret_cast<const uint8_t*>(record) + d.Offset, d.Size);
}
