#include "app/plan_appenders.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "dataset/field_codec.h"
#include "platform/decimal_digits.h"

namespace plan {

namespace {

bool IsNull(const uint8_t* record, const TPlanColumn& column) {
    return column.NullOffset >= 0 && record[column.NullOffset] != 0;
}

template <typename T>
T Read(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
char* AppendInteger(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    return dec::PutSigned(at, Read<T>(record + column.Offset));
}

char* AppendDouble(char* at, double value, const TPlanColumn& column) {
    if (column.PlainFloatOnly && (!std::isfinite(value) || (value == 0 && std::signbit(value))))
        return nullptr;
    return column.Float(at, value);
}

// Two digits of 0..99.
inline char* PutTwo(char* p, int value) {
    return dec::PutTwo(p, static_cast<uint32_t>(value));
}

// The text's bytes through the column's table, between apostrophes when quoted; before is how
// many bytes of the record lie before the text, so that its last bytes can be read as one
// word. Each byte's entry and each word are copied whole: the column's room has space for
// every byte at its widest and eight bytes more.
char* AppendTextBytes(char* at, const uint8_t* text, size_t length, size_t before,
                      const TPlanColumn& column) {
    const TTextTable& table = *column.Text;
    char* p = at;
    if (column.Quoted) *p++ = '\'';
    const auto put = [&p](uint8_t byte, const TTextTable& table) {
        const uint64_t entry = table.Entry(byte);
        const uint8_t n = TTextTable::LengthOf(entry);
        if (n == TTextTable::kFieldPath) return false;
        std::memcpy(p, &entry, sizeof entry);
        p += n;
        return true;
    };
    size_t i = 0;
    if (table.AsciiRuns()) {
        // Eight bytes at a time: those before the first byte the table changes are copied
        // whole, that one goes through the table, and the next word starts after it. A word
        // that starts with such a byte (most likely text in another script) goes through the
        // table whole when each of its bytes is written as one byte, else byte by byte.
        while (length - i >= 8) {
            uint64_t word;
            std::memcpy(&word, text + i, sizeof word);
            const uint64_t odd = table.OddBytes(word);
            std::memcpy(p, &word, sizeof word);
            // A branch, not a computed length: where the output goes next must not wait for
            // the word's test.
            if (odd == 0) {
                p += 8;
                i += 8;
                continue;
            }
            const size_t kept = static_cast<size_t>(std::countr_zero(odd)) / 8;
            p += kept;
            i += kept;
            uint64_t letters;
            if (kept == 0 && table.OneByteEach(word, 8, letters)) {
                std::memcpy(p, &letters, sizeof letters);
                p += 8;
                i += 8;
                continue;
            }
            for (const size_t end = kept == 0 ? i + 8 : i + 1; i < end; ++i)
                if (!put(text[i], table)) return nullptr;
        }
        // The last bytes: the word that ends with them, when the record holds all of it.
        const size_t rest = length - i;
        if (rest > 0 && length + before >= 8) {
            uint64_t word;
            std::memcpy(&word, text + length - 8, sizeof word);
            word >>= 8 * (8 - rest);
            const uint64_t odd = table.OddBytes(word) & ((uint64_t{1} << (8 * rest)) - 1);
            std::memcpy(p, &word, sizeof word);
            const size_t kept = odd == 0 ? rest : static_cast<size_t>(std::countr_zero(odd)) / 8;
            if (kept > 0) {
                p += kept;
                i += kept;
            }
            // The bytes after those, when each is written as one byte.
            uint64_t letters;
            if (kept < rest && table.OneByteEach(word >> (8 * kept), rest - kept, letters)) {
                std::memcpy(p, &letters, sizeof letters);
                p += rest - kept;
                i += rest - kept;
            }
        }
    }
    for (; i < length; ++i)
        if (!put(text[i], table)) return nullptr;
    if (column.Quoted) *p++ = '\'';
    return p;
}

}  // namespace

char* AppendInt16(char* at, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<int16_t>(at, record, column);
}

char* AppendUInt16(char* at, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<uint16_t>(at, record, column);
}

char* AppendUInt8(char* at, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<uint8_t>(at, record, column);
}

char* AppendInt32(char* at, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<int32_t>(at, record, column);
}

char* AppendFloat32(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    return AppendDouble(at, static_cast<double>(Read<float>(record + column.Offset)), column);
}

char* AppendFloat64(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    return AppendDouble(at, Read<double>(record + column.Offset), column);
}

char* AppendDate(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    const uint8_t* value = record + column.Offset;
    const int day = value[0], month = value[1], year = value[2] | (value[3] << 8);
    if (!IsValidDate(year, month, day)) return nullptr;  // null, or no date: told by the field
    char* p = at;
    if (column.Quoted) *p++ = '\'';
    p = PutTwo(PutTwo(p, year / 100), year % 100);
    *p++ = column.DateSeparator;
    p = PutTwo(p, month);
    *p++ = column.DateSeparator;
    p = PutTwo(p, day);
    if (column.Quoted) *p++ = '\'';
    return p;
}

char* AppendTime(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    const uint8_t* value = record + column.Offset;
    const int hundredths = value[0], second = value[1], minute = value[2], hour = value[3];
    if (hour > 23 || minute > 59 || second > 59 || hundredths > 99) return nullptr;
    if ((hour | minute | second | hundredths) == 0) return nullptr;  // midnight: no time
    char* p = at;
    if (column.Quoted) *p++ = '\'';
    if (column.HourLeadingZero || hour >= 10)
        p = PutTwo(p, hour);
    else
        *p++ = static_cast<char>('0' + hour);
    *p++ = ':';
    p = PutTwo(p, minute);
    *p++ = ':';
    p = PutTwo(p, second);
    if (column.IsoTime && hundredths != 0) {
        *p++ = '.';
        *p++ = static_cast<char>('0' + hundredths / 10);
        if (hundredths % 10 != 0) *p++ = static_cast<char>('0' + hundredths % 10);
    }
    if (column.Quoted) *p++ = '\'';
    return p;
}

char* AppendZText(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    const uint8_t* text = record + column.Offset;
    const size_t length = strnlen(reinterpret_cast<const char*>(text), column.Limit);
    return AppendTextBytes(at, text, length, static_cast<size_t>(column.Offset), column);
}

char* AppendLText(char* at, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return nullptr;
    const uint8_t* text = record + column.Offset;
    const size_t stated = text[0] < column.Limit ? text[0] : column.Limit;
    const size_t length = strnlen(reinterpret_cast<const char*>(text + 1), stated);
    return AppendTextBytes(at, text + 1, length, static_cast<size_t>(column.Offset) + 1, column);
}

}  // namespace plan
