// The text table's test of eight bytes at once: every byte value at every place of a word of
// plain letters, and two odd bytes together, against the byte-by-byte rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "app/decode_plan.h"

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

}  // namespace
