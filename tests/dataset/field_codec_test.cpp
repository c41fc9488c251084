// The byte forms of the type codes: type-code table, date validity and day numbers, times,
// 10-byte extended floats, and the code-page table against the platform's conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "dataset/field_codec.h"
#include "dataset/text_table.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/exception.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        s += buf;
    }
    return s;
}

TEST(TypeCodeTable, FieldTypesAndSizes) {
    struct Case {
        int code;
        TFieldType type;
        int32_t size;  // for a dictionary size of 9
    };
    const Case cases[] = {
        {0, ftUnknown, 0},  {1, ftString, 8}, {2, ftSmallint, 0}, {3, ftInteger, 0},
        {4, ftFloat, 0},    {5, ftDate, 0},   {6, ftTime, 0},     {7, ftFloat, 0},
        {8, ftString, 8},   {9, ftString, 8}, {10, ftFloat, 0},   {11, ftFloat, 0},
        {12, ftBoolean, 0}, {13, ftWord, 0},  {14, ftBytes, 9},   {15, ftString, 8},
        {16, ftString, 8},  {17, ftBlob, 0},  {18, ftMemo, 0},    {19, ftGraphic, 0},
        {20, ftFloat, 0},   {21, ftWord, 0},  {22, ftAutoInc, 0}, {23, ftUnknown, 0},
        {-1, ftUnknown, 0}};
    for (const Case& c : cases) {
        TFieldShape shape = FieldShapeOfTypeCode(c.code, 9);
        EXPECT_EQ(shape.Type, c.type) << c.code;
        EXPECT_EQ(shape.Size, c.size) << c.code;
    }
    EXPECT_EQ(FieldShapeOfTypeCode(1, 0).Size, 0);  // never negative
}

TEST(BtrDates, ValidityAndDayNumbers) {
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_TRUE(IsValidDate(2024, 2, 29));
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_FALSE(IsValidDate(2023, 4, 31));
    EXPECT_TRUE(IsValidDate(2023, 12, 31));
    EXPECT_FALSE(IsValidDate(0, 1, 1));
    EXPECT_FALSE(IsValidDate(10000, 1, 1));
    EXPECT_FALSE(IsValidDate(2023, 13, 1));
    EXPECT_FALSE(IsValidDate(2023, 1, 0));

    struct Case {
        uint8_t bytes[4];
        int32_t day;
    };
    const Case cases[] = {{{1, 1, 1, 0}, 1},
                          {{30, 12, 0x6b, 0x07}, kDateDelta},  // 30.12.1899
                          {{29, 2, 0xd0, 0x07}, kDateDelta + 36585},
                          {{31, 12, 0x0f, 0x27}, kMaxDayNumber}};
    for (const Case& c : cases) {
        int32_t day = -1;
        ASSERT_TRUE(DecodeBtrDate(c.bytes, day));
        EXPECT_EQ(day, c.day);
        uint8_t back[4] = {};
        EncodeBtrDate(c.day, back);
        EXPECT_EQ(Hex(back, 4), Hex(c.bytes, 4));
    }
    // Every day of a span round-trips and agrees with the platform's date encoding.
    for (int32_t day = kDateDelta - 800; day < kDateDelta + 50000; day += 7) {
        uint8_t bytes[4];
        EncodeBtrDate(day, bytes);
        int year = bytes[2] | (bytes[3] << 8);
        TDateTime platform = 0;
        ASSERT_TRUE(TryEncodeDate(year, bytes[1], bytes[0], platform));
        ASSERT_EQ(static_cast<int32_t>(platform) + kDateDelta, day);
    }
    const uint8_t zero[4] = {0, 0, 0, 0};
    int32_t day = 5;
    EXPECT_FALSE(DecodeBtrDate(zero, day));
    EXPECT_EQ(day, 5);
    uint8_t bytes[4] = {9, 9, 9, 9};
    try {
        EncodeBtrDate(0, bytes);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'0.0' is not a valid timestamp");
    }
    EXPECT_THROW(EncodeBtrDate(kMaxDayNumber + 1, bytes), EConvertError);
    EXPECT_EQ(Hex(bytes, 4), "09090909");
}

TEST(BtrTimes, MidnightIsNullAndHundredthsCount) {
    struct Case {
        uint8_t bytes[4];
        bool valid;
        int32_t ms;
    };
    const Case cases[] = {{{0, 0, 0, 0}, false, 0},           {{1, 0, 0, 0}, true, 10},
                          {{99, 59, 59, 23}, true, 86399990}, {{0, 0, 0, 24}, false, 0},
                          {{100, 0, 0, 1}, false, 0},         {{0, 60, 0, 1}, false, 0},
                          {{0, 0, 60, 1}, false, 0},          {{25, 30, 45, 13}, true, 49530250}};
    for (const Case& c : cases) {
        int32_t ms = -1;
        EXPECT_EQ(DecodeBtrTime(c.bytes, ms), c.valid) << Hex(c.bytes, 4);
        if (c.valid) {
            EXPECT_EQ(ms, c.ms);
        }
    }
    uint8_t bytes[4];
    EncodeBtrTime(49530259, bytes);  // milliseconds rounded down to hundredths
    EXPECT_EQ(Hex(bytes, 4), "191e2d0d");
    EncodeBtrTime(0, bytes);
    EXPECT_EQ(Hex(bytes, 4), "00000000");
    EXPECT_THROW(EncodeBtrTime(86400000, bytes), EConvertError);
    EXPECT_THROW(EncodeBtrTime(-1, bytes), EConvertError);
}

TEST(ExtendedFloats, ExactBytesBothWays) {
    struct Case {
        double value;
        const char* hex;
    };
    const Case cases[] = {{1234.5, "000000000000509a0940"},  {1.0, "0000000000000080ff3f"},
                          {-2.0, "000000000000008000c0"},    {0.0, "00000000000000000000"},
                          {-0.0, "00000000000000000080"},    {1.7e308, "00b0dbb9838916f2fe43"},
                          {HUGE_VAL, "0000000000000080ff7f"}};
    for (const Case& c : cases) {
        uint8_t bytes[10];
        DoubleToExtended(c.value, bytes);
        EXPECT_EQ(Hex(bytes, 10), c.hex) << c.value;
        double back = ExtendedToDouble(bytes);
        EXPECT_EQ(back, c.value);
        EXPECT_EQ(std::signbit(back), std::signbit(c.value));
    }
    // More precision than a double: rounded to the nearest double.
    const uint8_t tenth[10] = {0xcd, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xfb, 0x3f};
    EXPECT_EQ(ExtendedToDouble(tenth), 0.1);
    uint8_t nan[10];
    DoubleToExtended(NAN, nan);
    EXPECT_TRUE(std::isnan(ExtendedToDouble(nan)));
    // Beyond the double's range: infinity, not garbage.
    const uint8_t huge[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xff, 0x7f - 1};
    EXPECT_EQ(ExtendedToDouble(huge), HUGE_VAL);
    for (double v : {3.141592653589793, -1e-300, 5e-324, 123456789.125}) {
        uint8_t bytes[10];
        DoubleToExtended(v, bytes);
        EXPECT_EQ(ExtendedToDouble(bytes), v);
    }
}

TEST(AllBytes, EqualCountsAndEmpty) {
    const uint8_t bytes[3] = {0, 0, 1};
    EXPECT_TRUE(AllBytesEqual(bytes, 0, 7));
    EXPECT_TRUE(AllBytesEqual(bytes, 2, 0));
    EXPECT_FALSE(AllBytesEqual(bytes, 3, 0));
}

TEST(TextTable, AgreesWithThePlatformForEveryByte) {
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    std::string ansi = all, oem = all;
    TranslateInPlace(ansi.data(), ansi.size(), false);
    TranslateInPlace(oem.data(), oem.size(), true);
    EXPECT_EQ(ansi, OemToAnsiText(all));
    EXPECT_EQ(oem, AnsiToOemText(all));
    EXPECT_EQ(ansi.substr(0xf0, 2), "\xa8\xb8");  // Ё ё
}

}  // namespace
