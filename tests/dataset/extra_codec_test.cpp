// The byte forms of the DDF storage types as pure functions: decimal text placement, packed
// and ASCII decimals with every sign form and the bytes they refuse, Microsoft Binary floats,
// timestamps, GUID text and UTF-16.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "dataset/extra_codec.h"
#include "platform/datetime.h"

namespace {

std::string Packed(std::initializer_list<int> bytes, int scale) {
    std::vector<uint8_t> b(bytes.begin(), bytes.end());
    std::string out;
    return DecodePackedDecimal(b.data(), b.size(), scale, out) ? out : "refused";
}

std::string Numeric(const std::string& text, int scale, TNumericSign sign) {
    std::string out;
    return DecodeNumericText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), scale,
                             sign, out)
               ? out
               : "refused";
}

TEST(ExtraCodec, DecimalText) {
    const struct {
        bool negative;
        const char* digits;
        int scale;
        const char* text;
    } cases[] = {{false, "000123", 2, "1.23"}, {true, "000123", 2, "-1.23"},
                 {false, "5", 3, "0.005"},     {true, "0000", 2, "0.00"},
                 {false, "0700", 0, "700"},    {true, "12", 2, "-0.12"}};
    for (const auto& c : cases) {
        std::string out;
        AppendDecimalText(out, c.negative, c.digits, c.scale);
        EXPECT_EQ(out, c.text) << c.digits;
    }
}

TEST(ExtraCodec, PackedDecimals) {
    EXPECT_EQ(Packed({0x12, 0x34, 0x5C}, 2), "123.45");
    EXPECT_EQ(Packed({0x12, 0x34, 0x5D}, 2), "-123.45");
    EXPECT_EQ(Packed({0x12, 0x34, 0x5B}, 0), "-12345");  // the other negative sign nibble
    EXPECT_EQ(Packed({0x00, 0x0F}, 1), "0.0");
    EXPECT_EQ(Packed({0x1A, 0x0C}, 0), "refused");  // a digit nibble above 9
    EXPECT_EQ(Packed({0x12, 0x34}, 0), "refused");  // no sign nibble
}

TEST(ExtraCodec, NumericSignForms) {
    EXPECT_EQ(Numeric("0012{", 1, TNumericSign::Ebcdic), "12.0");
    EXPECT_EQ(Numeric("0012I", 0, TNumericSign::Ebcdic), "129");
    EXPECT_EQ(Numeric("0012R", 0, TNumericSign::Ebcdic), "-129");
    EXPECT_EQ(Numeric("  125", 2, TNumericSign::Ebcdic), "1.25");
    EXPECT_EQ(Numeric("0012y", 0, TNumericSign::Ascii), "-129");
    EXPECT_EQ(Numeric("0012p", 0, TNumericSign::Ascii), "-120");
    EXPECT_EQ(Numeric("0012+", 0, TNumericSign::TrailingSeparate), "12");
    EXPECT_EQ(Numeric("0012", 0, TNumericSign::TrailingSeparate), "refused");
    EXPECT_EQ(Numeric("0012J", 0, TNumericSign::Ascii), "refused");
    EXPECT_EQ(Numeric("1 2", 0, TNumericSign::Ebcdic), "refused");  // a blank among digits
}

TEST(ExtraCodec, MicrosoftBinaryFloats) {
    const uint8_t one[4] = {0, 0, 0, 0x81}, minusHalf[4] = {0, 0, 0x80, 0x80},
                  tenth[8] = {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0x4C, 0x7D};
    EXPECT_EQ(MsBinary4ToDouble(one), 1.0);
    EXPECT_EQ(MsBinary4ToDouble(minusHalf), -0.5);
    EXPECT_NEAR(MsBinary8ToDouble(tenth), 0.1, 1e-16);
    const uint8_t zero[8] = {1, 2, 3, 4, 5, 6, 7, 0};  // exponent 0 is zero whatever follows
    EXPECT_EQ(MsBinary8ToDouble(zero), 0.0);
}

TEST(ExtraCodec, TimestampsGuidsAndUtf16) {
    const uint64_t day = 864000000000ULL;
    EXPECT_EQ(TicksToDateTime(693593 * day), 0.0);
    EXPECT_EQ(TicksToDateTime(693594 * day + day / 2), 1.5);
    EXPECT_EQ(TicksToDateTime(693592 * day + day / 4), -1.25);
    // The last tick of a day stays in that day, however far from the epoch.
    struct TLastTick {
        uint64_t Day;  // days since 1 January of year 1
        const char* Text;
    };
    for (const TLastTick& c :
         {TLastTick{3652058, "9999-12-31 23:59:59.999"},
          TLastTick{739000, "2024-04-25 23:59:59.999"}, TLastTick{0, "0001-01-01 23:59:59.999"}}) {
        const TDateTime v = TicksToDateTime(c.Day * day + day - 1);
        int y, mo, d, h, mi, sec, ms;
        DecodeDate(v, y, mo, d);
        DecodeTime(v, h, mi, sec, ms);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, sec,
                      ms);
        EXPECT_STREQ(text, c.Text);
    }
    const uint8_t g[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                           0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(GuidText(g), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
    const uint16_t units[] = {0x41, 0x416, 0xD83D, 0xDE00, 0xDC00};
    std::string utf8;
    AppendUtf16AsUtf8(utf8, units, 5);
    EXPECT_EQ(utf8, "AЖ😀\xEF\xBF\xBD");
    uint8_t max[8];
    std::fill(std::begin(max), std::end(max), 0xFF);
    EXPECT_EQ(UInt64Text(max), "18446744073709551615");
}

}  // namespace
