// Whole numbers' decimal digits: every length's first and last value, both signs' ends.
#include "platform/decimal_digits.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Signed(int64_t value) {
    char buf[24];
    return std::string(buf, dec::PutSigned(buf, value));
}

std::string Expected(int64_t value) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

TEST(DecimalDigits, EveryLengthFromItsFirstToItsLastValue) {
    std::vector<uint64_t> values = {0, UINT32_MAX, uint64_t{UINT32_MAX} + 1, UINT64_MAX};
    for (uint64_t ten = 1; ten <= UINT64_MAX / 10; ten *= 10) {
        values.push_back(ten * 10 - 1);
        values.push_back(ten * 10);
    }
    for (const uint64_t value : values) {
        char buf[24], expected[24];
        const std::string text(buf, dec::PutUnsigned(buf, value));
        EXPECT_EQ(text, std::string(expected, std::to_chars(expected, expected + 24, value).ptr));
        EXPECT_EQ(dec::Count(value), static_cast<int>(text.size())) << value;
    }
}

TEST(DecimalDigits, SignedEnds) {
    for (const int64_t value : {int64_t{0}, int64_t{-1}, int64_t{-10}, int64_t{INT32_MIN},
                                int64_t{INT32_MAX}, INT64_MIN, INT64_MAX})
        EXPECT_EQ(Signed(value), Expected(value));
}

TEST(DecimalDigits, FixedCountKeepsLeadingZeros) {
    struct {
        int count;
        uint64_t value;
        const char* text;
    } const cases[] = {{1, 7, "7"},
                       {2, 7, "07"},
                       {3, 45, "045"},
                       {7, 1234, "0001234"},
                       {8, 99999999, "99999999"},
                       {4, 123456, "3456"}};
    for (const auto& c : cases) {
        char buf[24] = {};
        dec::PutFixed(buf, c.count, c.value);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(c.count)), c.text);
        dec::PutFixed(buf, c.count, static_cast<uint32_t>(c.value));
        EXPECT_EQ(std::string(buf, static_cast<size_t>(c.count)), c.text);
    }
}

// The word-at-a-time eight digits against the pair at a time, at every place a digit rolls
// over and at the lanes' ends.
TEST(DecimalDigits, EightAtOnceAreTheFixedEight) {
    std::vector<uint32_t> values;
    for (uint32_t ten = 1; ten <= 10000000; ten *= 10)
        for (const uint32_t v : {ten - 1, ten, ten + 1, 9 * ten, 10 * ten - 1}) values.push_back(v);
    for (uint32_t v = 0; v < 100000000; v += 9973) values.push_back(v);
    values.push_back(99999999);
    values.push_back(12345678);
    const auto eight = [](uint32_t v) {
        const uint64_t digits = dec::EightDigits(v);
        char text[8];
        std::memcpy(text, &digits, sizeof text);
        return std::string(text, sizeof text);
    };
    for (const uint32_t v : values) {
        char fixed[8];
        dec::PutFixed(fixed, 8, v);
        ASSERT_EQ(eight(v), std::string(fixed, sizeof fixed)) << v;
    }
    EXPECT_EQ(eight(1234567), "01234567");
}

}  // namespace
