// Key collation by segment type, case folding, ACS, descending segments and null keys.
#include <gtest/gtest.h>

#include <cstring>

#include "recman/real/key_compare.h"

namespace {

using recman::real::CompareKeys;
using recman::real::IsNullKey;
using recman::real::TRealKey;
using recman::real::TRealLayout;
using recman::real::TRealSegment;
using TBytes = std::vector<uint8_t>;

constexpr uint16_t kExtended = 0x100;

TRealKey OneSegment(uint8_t type, uint16_t length, uint16_t flags = kExtended) {
    TRealKey key;
    TRealSegment seg;
    seg.length = length;
    seg.type = type;
    seg.flags = flags;
    key.segments.push_back(seg);
    key.flags = flags;
    key.length = length;
    return key;
}

int Order(const TRealLayout& layout, const TRealKey& key, const TBytes& a, const TBytes& b) {
    const int c = CompareKeys(layout, key, a.data(), b.data());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

struct TCase {
    const char* what;
    uint8_t type;
    uint16_t flags;
    TBytes a, b;
    int order;  // of a against b
};

TEST(RealCollation, EachTypeOrdersAsTheEngine) {
    const TRealLayout layout;
    const TCase cases[] = {
        {"signed 2-byte", 1, kExtended, {0xFF, 0xFF}, {0x00, 0x00}, -1},
        {"signed 2-byte extremes", 1, kExtended, {0x00, 0x80}, {0xFF, 0x7F}, -1},
        {"signed 4-byte high word", 1, kExtended, {0xFF, 0, 0, 0}, {0, 1, 0, 0}, -1},
        {"1-byte integer is unsigned", 1, kExtended, {0x80}, {0x7F}, 1},
        {"unsigned binary from the right", 14, kExtended, {0x00, 0x01}, {0xFF, 0x00}, 1},
        {"old-style binary", 0, 0x0004, {0x00, 0x01}, {0xFF, 0x00}, 1},
        {"old-style string is bytewise", 0, 0, {0x00, 0x01}, {0xFF, 0x00}, -1},
        {"autoincrement signed", 15, kExtended, {0xFE, 0xFF, 0xFF, 0xFF}, {1, 0, 0, 0}, -1},
        {"string bytewise", 0, kExtended, {'a', 'x'}, {'B', 'x'}, 1},
        {"string without case", 0, kExtended | 0x400, {'a', 'x'}, {'A', 'X'}, 0},
        {"string without case, not letters", 0, kExtended | 0x400, {0xE0}, {0xC0}, 1},
        {"zstring stops at the terminator",
         11,
         kExtended,
         {'a', 'b', 0, 'x'},
         {'a', 'b', 0, 'y'},
         0},
        {"zstring shorter first", 11, kExtended, {'a', 'b', 0, 0}, {'a', 'b', 'c', 0}, -1},
        {"lstring by its length", 10, kExtended, {2, 'a', 'b', 'z'}, {2, 'a', 'b', 'q'}, 0},
        {"lstring text first", 10, kExtended, {1, 'b', 0, 0}, {2, 'a', 'z', 0}, 1},
        {"lstring length past the segment",
         10,
         kExtended,
         {9, 'a', 'b', 'c'},
         {3, 'a', 'b', 'c'},
         0},
        {"date by year, month, day", 3, kExtended, {1, 4, 0xCB, 0x07}, {31, 12, 0xCA, 0x07}, 1},
        {"date by month", 3, kExtended, {31, 1, 0xCB, 0x07}, {1, 2, 0xCB, 0x07}, -1},
        {"time", 4, kExtended, {99, 59, 59, 10}, {0, 0, 0, 11}, -1},
        {"decimal negative first", 5, kExtended, {0x12, 0x3D}, {0x00, 0x1C}, -1},
        {"decimal larger negative smaller", 5, kExtended, {0x00, 0x5D}, {0x00, 0x3D}, -1},
        {"decimal zero signs equal", 5, kExtended, {0x00, 0x0D}, {0x00, 0x0F}, 0},
        {"decimal positive", 5, kExtended, {0x01, 0x0F}, {0x00, 0x9C}, 1},
        {"bfloat one and two", 9, kExtended, {0, 0, 0, 0x81}, {0, 0, 0, 0x82}, -1},
        {"bfloat minus one and a half", 9, kExtended, {0, 0, 0x80, 0x81}, {0, 0, 0, 0x80}, -1},
        {"bfloat zero", 9, kExtended, {0x55, 0x55, 0x55, 0}, {0, 0, 0, 0x80}, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TRealKey key = OneSegment(c.type, uint16_t(c.a.size()), c.flags);
        EXPECT_EQ(Order(layout, key, c.a, c.b), c.order);
        EXPECT_EQ(Order(layout, key, c.b, c.a), -c.order);
    }
}

TEST(RealCollation, FloatsByValue) {
    const TRealLayout layout;
    auto f8 = [](double d) {
        TBytes b(8);
        std::memcpy(b.data(), &d, 8);
        return b;
    };
    auto f4 = [](float d) {
        TBytes b(4);
        std::memcpy(b.data(), &d, 4);
        return b;
    };
    EXPECT_EQ(Order(layout, OneSegment(2, 8), f8(-1.5), f8(0.25)), -1);
    EXPECT_EQ(Order(layout, OneSegment(2, 8), f8(-1.5), f8(-2.5)), 1);
    EXPECT_EQ(Order(layout, OneSegment(2, 4), f4(3.0f), f4(-0.0f)), 1);
    EXPECT_EQ(Order(layout, OneSegment(2, 4), f4(0.0f), f4(-0.0f)), 0);
}

TEST(RealCollation, AcsDescendingAndSegments) {
    TRealLayout layout;
    recman::real::TRealAcs upper;
    for (int i = 0; i < 256; ++i) upper.table[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
    layout.acs.push_back(upper);
    TRealKey acsKey = OneSegment(11, 3, kExtended | 0x20);
    acsKey.segments[0].acs = 0;
    EXPECT_EQ(Order(layout, acsKey, {'a', 'b', 0}, {'A', 'B', 0}), 0);
    EXPECT_EQ(Order(layout, acsKey, {'a', 'b', 0}, {'A', 'C', 0}), -1);
    EXPECT_EQ(Order(layout, acsKey, {'_', 0, 0}, {'a', 0, 0}), 1);  // '_' above 'A'

    TRealKey two;
    TRealSegment first;
    first.length = 2;
    first.type = 1;
    first.flags = kExtended | 0x10 | 0x40;  // descending integer
    TRealSegment second;
    second.length = 1;
    second.type = 0;
    second.flags = kExtended;
    two.segments = {first, second};
    two.length = 3;
    EXPECT_EQ(Order(layout, two, {5, 0, 'a'}, {3, 0, 'a'}), -1);
    EXPECT_EQ(Order(layout, two, {3, 0, 'b'}, {3, 0, 'a'}), 1);
    EXPECT_EQ(Order(layout, two, {3, 0, 'a'}, {3, 0, 'a'}), 0);
}

TEST(RealCollation, NullKeysAllOrAnySegment) {
    TRealKey key;
    TRealSegment a, b;
    a.length = 2;
    a.nullValue = ' ';
    b.length = 1;
    b.nullValue = ' ';
    key.segments = {a, b};
    key.length = 3;
    const TBytes blank = {' ', ' ', ' '}, half = {' ', ' ', 'x'}, none = {'x', ' ', 'x'};
    key.flags = 0;
    EXPECT_FALSE(IsNullKey(key, blank.data()));
    key.flags = 0x0008;
    EXPECT_TRUE(IsNullKey(key, blank.data()));
    EXPECT_FALSE(IsNullKey(key, half.data()));
    key.flags = 0x0200;
    EXPECT_TRUE(IsNullKey(key, blank.data()));
    EXPECT_TRUE(IsNullKey(key, half.data()));
    EXPECT_FALSE(IsNullKey(key, none.data()));
}

}  // namespace

namespace {

// Keys a plain comparison serves compare as the engine's order does, on every pair of a few
// thousand values with equal, neighbouring and extreme bytes.
TEST(RealCollation, PlainOrderAgreesWithTheEngine) {
    using recman::real::TPlainOrder;
    const TRealLayout layout;
    struct TShape {
        const char* what;
        TRealKey key;
        TPlainOrder order;
    };
    TRealKey two = OneSegment(1, 2);
    two.segments.push_back(two.segments.front());
    two.length = 4;
    const TShape shapes[] = {
        {"signed 2-byte", OneSegment(1, 2), TPlainOrder::kSigned16},
        {"signed 4-byte", OneSegment(1, 4), TPlainOrder::kSigned32},
        {"signed 8-byte", OneSegment(1, 8), TPlainOrder::kSigned64},
        {"autoincrement", OneSegment(15, 4), TPlainOrder::kSigned32},
        {"1-byte integer", OneSegment(1, 1), TPlainOrder::kBytes},
        {"string", OneSegment(0, 5), TPlainOrder::kBytes},
        {"old-style string", OneSegment(0, 3, 0), TPlainOrder::kBytes},
        {"3-byte integer", OneSegment(1, 3), TPlainOrder::kGeneral},
        {"unsigned binary", OneSegment(14, 4), TPlainOrder::kGeneral},
        {"string without case", OneSegment(0, 4, kExtended | 0x400), TPlainOrder::kGeneral},
        {"descending integer", OneSegment(1, 4, kExtended | 0x40), TPlainOrder::kGeneral},
        {"string with an ACS", OneSegment(0, 4, kExtended | 0x20), TPlainOrder::kGeneral},
        {"two segments", two, TPlainOrder::kGeneral},
    };
    const uint8_t bytes[] = {0x00, 0x01, 0x41, 0x61, 0x7F, 0x80, 0x81, 0xFE, 0xFF};
    for (const TShape& s : shapes) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(recman::real::PlainOrderOf(s.key), s.order);
        const size_t n = s.key.length;
        // Values made of the bytes above, one changed place at a time from a few bases.
        std::vector<TBytes> values;
        for (const uint8_t base : {0x00, 0x80, 0xFF})
            for (size_t place = 0; place < n; ++place)
                for (const uint8_t b : bytes) {
                    TBytes v(n, base);
                    v[place] = b;
                    values.push_back(v);
                }
        for (const TBytes& a : values)
            for (const TBytes& b : values) {
                const int plain =
                    recman::real::CompareKeys(s.order, layout, s.key, a.data(), b.data());
                ASSERT_EQ((plain > 0) - (plain < 0), Order(layout, s.key, a, b));
            }
    }
}

}  // namespace
