// The ordered key encoding: every key type sorts in its true order, descending segments
// reverse it, case-insensitive and null keys behave as the key flags say.
#include "recman/key_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "btr_helpers.h"

namespace {

using namespace recman;

KeyDef OneSegment(uint8_t type, uint16_t length, uint16_t flags = 0) {
    KeyDef key;
    KeySegment s;
    s.position = 1;
    s.length = length;
    s.flags = flags;
    s.type = type;
    key.segments.push_back(s);
    return key;
}

std::string Encode(const KeyDef& key, const std::string& image) {
    FileDef file;
    std::string out;
    EncodeKey(key, file, image, out);
    return out;
}

std::string Le(uint64_t v, int n) {
    std::string s(n, '\0');
    for (int i = 0; i < n; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string Float4(float f) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &f, 4);
    return s;
}

std::string Double8(double f) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &f, 8);
    return s;
}

// Asserts that the images, given in ascending order, encode strictly ascending, and strictly
// descending under the descending flag.
void ExpectAscending(uint8_t type, uint16_t length, const std::vector<std::string>& images) {
    KeyDef up = OneSegment(type, length);
    KeyDef down = OneSegment(type, length, kKeyDescending);
    for (size_t i = 1; i < images.size(); ++i) {
        SCOPED_TRACE("type " + std::to_string(type) + ", value " + std::to_string(i));
        EXPECT_LT(Encode(up, images[i - 1]), Encode(up, images[i]));
        EXPECT_GT(Encode(down, images[i - 1]), Encode(down, images[i]));
    }
}

TEST(KeyOrder, SignedAndUnsignedIntegers) {
    ExpectAscending(kInteger, 2,
                    {Le(0x8000, 2), Le(0xFF00, 2), Le(0xFFFF, 2), Le(0, 2), Le(1, 2), Le(0x00FF, 2),
                     Le(0x0100, 2), Le(0x7FFF, 2)});
    ExpectAscending(kInteger, 4,
                    {recman_test::Int32(-2000000000), recman_test::Int32(-256),
                     recman_test::Int32(-1), recman_test::Int32(0), recman_test::Int32(255),
                     recman_test::Int32(256), recman_test::Int32(2000000000)});
    ExpectAscending(kInteger, 8,
                    {Le(0x8000000000000000ull, 8), Le(~0ull, 8), Le(0, 8), Le(0x100000000ull, 8)});
    ExpectAscending(kInteger, 1, {Le(0x80, 1), Le(0xFF, 1), Le(0, 1), Le(0x7F, 1)});
    ExpectAscending(kUnsignedBinary, 4,
                    {Le(0, 4), Le(0xFF, 4), Le(0x100, 4), Le(0x80000000, 4), Le(0xFFFFFFFF, 4)});
    ExpectAscending(kAutoincrement, 4,
                    {recman_test::Int32(-5), recman_test::Int32(1), recman_test::Int32(2),
                     recman_test::Int32(300)});
    ExpectAscending(kCurrency, 8, {Le(static_cast<uint64_t>(-10000ll), 8), Le(0, 8), Le(10000, 8)});
}

TEST(KeyOrder, FloatsBfloatsDatesAndTimes) {
    ExpectAscending(kFloat, 4,
                    {Float4(-1e30f), Float4(-2.5f), Float4(-0.001f), Float4(0.0f), Float4(0.001f),
                     Float4(1.0f), Float4(3e20f)});
    ExpectAscending(kFloat, 8,
                    {Double8(-1e300), Double8(-1.0), Double8(0.0), Double8(1e-300), Double8(2.0)});
    // Microsoft binary format, 4 bytes: mantissa (sign in the top bit of byte 2), exponent.
    ExpectAscending(kBfloat, 4,
                    {std::string("\x00\x00\xC0\x82", 4),    // -3
                     std::string("\x00\x00\x80\x81", 4),    // -1
                     std::string("\x00\x00\x00\x00", 4),    // 0
                     std::string("\x00\x00\x00\x80", 4),    // 0.5
                     std::string("\x00\x00\x00\x81", 4),    // 1
                     std::string("\x00\x00\x40\x82", 4)});  // 3
    // Day, month, year: the year weighs most.
    ExpectAscending(kDate, 4,
                    {std::string("\x1F\x0C\xCF\x07", 4),    // 31.12.1999
                     std::string("\x01\x01\xD0\x07", 4),    // 01.01.2000
                     std::string("\x02\x01\xD0\x07", 4),    // 02.01.2000
                     std::string("\x01\x02\xD0\x07", 4)});  // 01.02.2000
    // Hundredths, seconds, minutes, hours: the hour weighs most.
    ExpectAscending(kTime, 4,
                    {std::string("\x63\x3B\x3B\x00", 4), std::string("\x00\x00\x00\x01", 4),
                     std::string("\x00\x00\x01\x01", 4), std::string("\x01\x00\x01\x01", 4)});
}

TEST(KeyOrder, PackedAndTextNumbers) {
    // Packed BCD with the sign in the last nibble: -123, -5, 0, 5, 123.
    ExpectAscending(kDecimal, 3,
                    {std::string("\x00\x12\x3D", 3), std::string("\x00\x00\x5D", 3),
                     std::string("\x00\x00\x0C", 3), std::string("\x00\x00\x5F", 3),
                     std::string("\x00\x12\x3C", 3)});
    ExpectAscending(kMoney, 2,
                    {std::string("\x99\x9D", 2), std::string("\x00\x1D", 2),
                     std::string("\x00\x1C", 2), std::string("\x99\x9C", 2)});
    // Over-punched sign: "12}" is -120, "00J" is -1, "000" zero, "00A" 1, "12{" 120.
    ExpectAscending(kNumeric, 3, {"12}", "00J", "000", "00A", "002", "12{", "99I"});
    ExpectAscending(kNumericSts, 4, {"123-", "005-", "000+", "005+", "123+"});
}

TEST(KeyOrder, Strings) {
    ExpectAscending(kString, 3, {std::string("\0\0\0", 3), "ABC", "ABD", "abc", "\xC0\xC1\xC2"});
    // The length byte says how much text counts; a prefix sorts first.
    ExpectAscending(kLstring, 5,
                    {std::string("\x00zzzz", 5),
                     std::string("\x01"
                                 "azzz",
                                 5),
                     std::string("\x02"
                                 "a\0zz",
                                 5),
                     std::string("\x02"
                                 "abzz",
                                 5),
                     std::string("\x01"
                                 "bzzz",
                                 5)});
    ExpectAscending(kZstring, 4,
                    {std::string("\0zzz", 4), std::string("a\0zz", 4), std::string("ab\0z", 4),
                     "abc", std::string("b\0\0\0", 4)});
    // Bytes after the terminator or beyond the stated length do not count.
    KeyDef z = OneSegment(kZstring, 4);
    EXPECT_EQ(Encode(z, std::string("ab\0x", 4)), Encode(z, std::string("ab\0y", 4)));
    KeyDef l = OneSegment(kLstring, 4);
    EXPECT_EQ(Encode(l, std::string("\x01"
                                    "axy",
                                    4)),
              Encode(l, std::string("\x01"
                                    "a\0\0",
                                    4)));
}

TEST(KeyOrder, CaseInsensitiveAndAlternateSequence) {
    KeyDef ci = OneSegment(kString, 3, kKeyCaseInsensitive);
    EXPECT_EQ(Encode(ci, "abc"), Encode(ci, "ABC"));
    EXPECT_LT(Encode(ci, "abc"), Encode(ci, "ABD"));
    EXPECT_LT(Encode(ci, "ZZZ"), Encode(ci, "\xE0\xE0\xE0"));  // only a to z fold
    KeyDef cs = OneSegment(kString, 3);
    EXPECT_LT(Encode(cs, "ABD"), Encode(cs, "abc"));

    // A user-defined collating sequence that sorts the byte 'b' before 'a'.
    FileDef file;
    std::array<uint8_t, kAcsSize> acs{};
    acs[0] = 0xAC;
    for (int i = 0; i < 256; ++i) acs[9 + i] = static_cast<uint8_t>(i);
    acs[9 + 'a'] = 'b';
    acs[9 + 'b'] = 'a';
    file.acs.push_back(acs);
    KeyDef alt = OneSegment(kString, 1, kKeyAcs);
    std::string a, b;
    EncodeKey(alt, file, "a", a);
    EncodeKey(alt, file, "b", b);
    EXPECT_GT(a, b);
}

TEST(KeyOrder, SegmentsCompareLeftToRightEachInItsOwnDirection) {
    // Key: integer ascending, then string descending.
    KeyDef key;
    KeySegment first;
    first.position = 1;
    first.length = 2;
    first.type = kInteger;
    first.flags = kKeySegmented;
    KeySegment second;
    second.position = 3;
    second.length = 2;
    second.type = kString;
    second.flags = kKeyDescending;
    key.segments = {first, second};
    std::vector<std::string> ascending = {Le(0xFFFF, 2) + "zz", Le(0xFFFF, 2) + "aa",
                                          Le(1, 2) + "zz", Le(1, 2) + "ab", Le(1, 2) + "aa"};
    for (size_t i = 1; i < ascending.size(); ++i)
        EXPECT_LT(Encode(key, ascending[i - 1]), Encode(key, ascending[i])) << i;
}

TEST(NullKeys, AllSegmentsAndAnySegment) {
    KeyDef key;
    KeySegment s1;
    s1.position = 1;
    s1.length = 2;
    s1.flags = kKeySegmented | kKeyNullAll;
    s1.nullValue = ' ';
    KeySegment s2 = s1;
    s2.position = 3;
    s2.flags = kKeyNullAll;
    key.segments = {s1, s2};
    EXPECT_TRUE(IsNullKey(key, "    "));
    EXPECT_FALSE(IsNullKey(key, "  x "));
    EXPECT_FALSE(IsNullKey(key, std::string(4, '\0')));
    key.segments[0].flags = kKeySegmented | kKeyNullAny;
    key.segments[1].flags = kKeyNullAny;
    EXPECT_TRUE(IsNullKey(key, "  xy"));
    EXPECT_TRUE(IsNullKey(key, "xy  "));
    EXPECT_FALSE(IsNullKey(key, "x y "));
    key.segments[0].flags = kKeySegmented;
    key.segments[1].flags = 0;
    EXPECT_FALSE(IsNullKey(key, "    "));
}

}  // namespace
