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
bool AppendInteger(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    out.SetEnd(dec::PutSigned(out.Room(20), Read<T>(record + column.Offset)));
    return true;
}

bool AppendDouble(TScriptText& out, double value, const TPlanColumn& column) {
    if (column.PlainFloatOnly && (!std::isfinite(value) || (value == 0 && std::signbit(value))))
        return false;
    column.Float(out, value);
    return true;
}

// Two digits of 0..99.
inline char* PutTwo(char* p, int value) {
    return dec::PutTwo(p, static_cast<uint32_t>(value));
}

// The source text's bytes through the column's table, between apostrophes when quoted.
// The text's bytes through the column's table; before is how many bytes of the record lie
// before the text, so that its last bytes can be read as one word.
bool AppendTextBytes(TScriptText& out, const uint8_t* text, size_t length, size_t before,
                     const TPlanColumn& column) {
    const TTextTable& table = *column.Text;
    // Room for every byte at its widest, and for the last copy's whole eight bytes.
    char* p = out.Room(2 + length * table.Widest() + 8);
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
        // that starts with such a byte (most likely text in another script) goes byte by byte.
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
            for (const size_t end = kept == 0 ? i + 8 : i + 1; i < end; ++i)
                if (!put(text[i], table)) return false;
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
        }
    }
    for (; i < length; ++i)
        if (!put(text[i], table)) return false;
    if (column.Quoted) *p++ = '\'';
    out.SetEnd(p);
    return true;
}

}  // namespace

bool AppendInt16(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<int16_t>(out, record, column);
}

bool AppendUInt16(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<uint16_t>(out, record, column);
}

bool AppendUInt8(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<uint8_t>(out, record, column);
}

bool AppendInt32(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    return AppendInteger<int32_t>(out, record, column);
}

bool AppendFloat32(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    return AppendDouble(out, static_cast<double>(Read<float>(record + column.Offset)), column);
}

bool AppendFloat64(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    return AppendDouble(out, Read<double>(record + column.Offset), column);
}

bool AppendDate(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    const uint8_t* at = record + column.Offset;
    const int day = at[0], month = at[1], year = at[2] | (at[3] << 8);
    if (!IsValidDate(year, month, day)) return false;  // null, or no date: told by the field
    char* p = out.Room(12);
    if (column.Quoted) *p++ = '\'';
    p = PutTwo(PutTwo(p, year / 100), year % 100);
    *p++ = column.DateSeparator;
    p = PutTwo(p, month);
    *p++ = column.DateSeparator;
    p = PutTwo(p, day);
    if (column.Quoted) *p++ = '\'';
    out.SetEnd(p);
    return true;
}

bool AppendTime(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    const uint8_t* at = record + column.Offset;
    const int hundredths = at[0], second = at[1], minute = at[2], hour = at[3];
    if (hour > 23 || minute > 59 || second > 59 || hundredths > 99) return false;
    if ((hour | minute | second | hundredths) == 0) return false;  // midnight: no time
    char* p = out.Room(16);
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
    out.SetEnd(p);
    return true;
}

bool AppendZText(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    const uint8_t* at = record + column.Offset;
    const size_t length = strnlen(reinterpret_cast<const char*>(at), column.Limit);
    return AppendTextBytes(out, at, length, static_cast<size_t>(column.Offset), column);
}

bool AppendLText(TScriptText& out, const uint8_t* record, const TPlanColumn& column) {
    if (IsNull(record, column)) return false;
    const uint8_t* at = record + column.Offset;
    const size_t stated = at[0] < column.Limit ? at[0] : column.Limit;
    const size_t length = strnlen(reinterpret_cast<const char*>(at + 1), stated);
    return AppendTextBytes(out, at + 1, length, static_cast<size_t>(column.Offset) + 1, column);
}

}  // namespace plan
