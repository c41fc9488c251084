// The text table's test of eight bytes at once: every byte value at every place of a word of
// plain letters, and two odd bytes together, against the byte-by-byte rule; and text through
// it at every length, place in the record and place of an odd byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "app/decode_plan.h"
#include "app/plan_appenders.h"

namespace {

// Bytes kept as they are, but the quote (doubled) and the backslash (escaped); 0x80 up goes
// the field's path, as a CP1251 target's box drawing does.
TTextTable Table(const std::string& changed) {
    TTextTable table;
    table.SetFieldPath(0);
    for (int b = 1; b < 256; ++b) {
        const char c = static_cast<char>(b);
        if (b >= 0x80)
            table.SetFieldPath(static_cast<uint8_t>(b));
        else if (changed.find(c) != std::string::npos)
            table.Set(static_cast<uint8_t>(b), std::string(2, c));
        else
            table.Set(static_cast<uint8_t>(b), std::string(1, c));
    }
    table.Seal();
    return table;
}

bool KeptAsIs(const TTextTable& table, const uint8_t (&bytes)[8]) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return table.KeptAsIs(word);
}

// The place of the first byte OddBytes marks; 8 for none.
int FirstOdd(const TTextTable& table, const uint8_t (&bytes)[8]) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    const uint64_t odd = table.OddBytes(word);
    int place = 0;
    while (place < 8 && !(odd >> (8 * place + 7) & 1)) ++place;
    return place;
}

bool Kept(int byte, const std::string& changed) {
    return byte >= 0x20 && byte < 0x80 &&
           changed.find(static_cast<char>(byte)) == std::string::npos;
}

TEST(TextTable, EveryByteAtEveryPlaceOfAWord) {
    for (const std::string changed : {"", "'", "'\\"}) {
        const TTextTable table = Table(changed);
        ASSERT_TRUE(table.AsciiRuns());
        for (int place = 0; place < 8; ++place)
            for (int byte = 0; byte < 256; ++byte) {
                uint8_t word[8];
                std::memset(word, 'a', sizeof word);
                word[place] = static_cast<uint8_t>(byte);
                EXPECT_EQ(KeptAsIs(table, word), Kept(byte, changed))
                    << "changed \"" << changed << "\", byte " << byte << " at " << place;
                EXPECT_EQ(FirstOdd(table, word), Kept(byte, changed) ? 8 : place)
                    << "changed \"" << changed << "\", byte " << byte << " at " << place;
            }
    }
}

TEST(TextTable, TwoOddBytesInOneWord) {
    const std::string changed = "'\\";
    const TTextTable table = Table(changed);
    const int odd[] = {0x00, 0x01, 0x1F, 0x20, 0x21, 0x27, 0x5C, 0x7E, 0x7F, 0x80, 0x81, 0xFF};
    for (const int first : odd)
        for (const int second : odd)
            for (int a = 0; a < 8; ++a)
                for (int b = a + 1; b < 8; ++b) {
                    uint8_t word[8];
                    std::memset(word, 'z', sizeof word);
                    word[a] = static_cast<uint8_t>(first);
                    word[b] = static_cast<uint8_t>(second);
                    EXPECT_EQ(KeptAsIs(table, word), Kept(first, changed) && Kept(second, changed))
                        << first << " at " << a << ", " << second << " at " << b;
                    const int expected = !Kept(first, changed) ? a : !Kept(second, changed) ? b : 8;
                    EXPECT_EQ(FirstOdd(table, word), expected)
                        << first << " at " << a << ", " << second << " at " << b;
                }
}

TEST(TextTable, MoreThanTwoChangedBytesGoByteByByte) {
    EXPECT_FALSE(Table("'\\\"").AsciiRuns());
    const TTextTable table = Table("'\\");
    EXPECT_EQ(TTextTable::LengthOf(table.Entry('\'')), 2);
    EXPECT_EQ(TTextTable::LengthOf(table.Entry('a')), 1);
    EXPECT_EQ(TTextTable::LengthOf(table.Entry(0xC9)), TTextTable::kFieldPath);
    EXPECT_EQ(table.Widest(), 2u);
}

// The literal the table writes for text, byte by byte; "" where a byte takes the field's path.
std::string ByteByByte(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (static_cast<uint8_t>(c) >= 0x80) return "";
        out += c;
        if (c == '\'' || c == '\\') out += c;
    }
    return out + "'";
}

// text as the plan writes it from a record with offset bytes before it and eight after (none
// of them zero), into exactly the column's room so that a write past it is caught; "" when
// the field's path has to write it (a text the plan writes has its apostrophes at least).
std::string Planned(const TTextTable& table, const std::string& text, size_t offset) {
    std::string record(offset, 'r');
    record += text + std::string(8, 's');
    TPlanColumn column;
    column.Offset = static_cast<int32_t>(offset);
    column.Size = static_cast<int32_t>(text.size());
    column.Limit = text.size();
    column.Text = &table;
    const auto out = std::make_unique<char[]>(plan::TextRoom(text.size(), table.Widest()));
    const char* const end =
        plan::AppendZText(out.get(), reinterpret_cast<const uint8_t*>(record.data()), column);
    return end ? std::string(out.get(), static_cast<size_t>(end - out.get())) : "";
}

TEST(TextTable, TextAtEveryLengthPlaceAndOddByte) {
    const TTextTable table = Table("'\\");
    const char odd[] = {'\'', '\\', '\x01', '\x1f', '\x7f', '\x80', '\xff'};
    for (const size_t offset : {0, 1, 3, 7, 8, 13})
        for (size_t length = 0; length <= 19; ++length)
            for (size_t place = 0; place <= length; ++place)  // length: no odd byte
                for (const char c : odd) {
                    std::string text;
                    for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i);
                    if (place < length) text[place] = c;
                    // A second odd byte three on, when the text has room for it.
                    if (place + 3 < length) text[place + 3] = '\'';
                    EXPECT_EQ(Planned(table, text, offset), ByteByByte(text))
                        << "offset " << offset << ", length " << length << ", "
                        << static_cast<int>(static_cast<uint8_t>(c)) << " at " << place;
                    if (place == length) break;  // the odd byte does not matter
                }
}

// A code page's letters in another's: 0x80 up each as one byte (its top bits turned), or as
// two when wide (as UTF-8 writes them); 0xFF written as two bytes and 0x98 left to the
// field's path either way, the quote doubled.
std::string Letter(uint8_t byte, bool wide) {
    if (byte == 0x98) return "";
    if (byte == 0xFF) return "\xC3\xBF";
    if (byte == '\'') return "''";
    if (byte < 0x80) return std::string(1, static_cast<char>(byte));
    if (wide) return std::string{'\xD0', static_cast<char>(byte)};
    return std::string(1, static_cast<char>(byte ^ 0x60));
}

// Words of letters go through the table eight at a time where each is one byte: at every
// length and place in the record, with a byte of another width, an apostrophe or a byte for
// the field's path at every place, the text is the byte-by-byte one; letters of two bytes
// each go byte by byte.
TEST(TextTable, LettersAtEveryLengthAndPlace) {
    for (const bool wide : {false, true}) {
        TTextTable table;
        table.SetFieldPath(0);
        for (int b = 1; b < 256; ++b) {
            const std::string text = Letter(static_cast<uint8_t>(b), wide);
            if (text.empty())
                table.SetFieldPath(static_cast<uint8_t>(b));
            else
                table.Set(static_cast<uint8_t>(b), text);
        }
        table.Seal();
        ASSERT_TRUE(table.AsciiRuns());
        const char odd[] = {'\'', '\xFF', '\x98', 'q', ' '};
        for (const size_t offset : {0, 1, 5, 8})
            for (size_t length = 0; length <= 19; ++length)
                for (size_t place = 0; place <= length; ++place)  // length: letters only
                    for (const char c : odd) {
                        std::string text;
                        for (size_t i = 0; i < length; ++i) text += static_cast<char>(0x80 + 3 * i);
                        if (place < length) text[place] = c;
                        std::string expected = "'";
                        for (const char t : text) {
                            const std::string one = Letter(static_cast<uint8_t>(t), wide);
                            if (one.empty()) {
                                expected.clear();
                                break;
                            }
                            expected += one;
                        }
                        if (!expected.empty()) expected += "'";
                        EXPECT_EQ(Planned(table, text, offset), expected)
                            << (wide ? "wide, " : "") << "offset " << offset << ", length "
                            << length << ", " << static_cast<int>(static_cast<uint8_t>(c)) << " at "
                            << place;
                        if (place == length) break;
                    }
    }
}

}  // namespace
