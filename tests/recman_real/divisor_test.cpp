// Splitting record addresses by multiplication must give what division gives, for every
// page and slot size a file can have and for addresses up to the largest.
#include <gtest/gtest.h>

#include <cstdint>

#include "recman/real/divisor.h"

namespace {

TEST(Divisor, QuotientAndRemainderAreThoseOfDivision) {
    const uint32_t divisors[] = {1,     2,     3,     7,          10,         100,
                                 512,   1024,  1536,  2560,       3584,       4096,
                                 16384, 65535, 65536, 0x7FFFFFFF, 0xFFFFFFFE, 0xFFFFFFFF};
    const uint32_t numerators[] = {0,          1,          2,          5,         6,    511,
                                   512,        513,        4095,       4096,      4097, 123456789,
                                   0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
    for (const uint32_t d : divisors) {
        const recman::real::TDivisor divisor(d);
        EXPECT_EQ(divisor.Divisor(), d);
        for (const uint32_t n : numerators) {
            ASSERT_EQ(divisor.Quotient(n), n / d) << n << " / " << d;
            ASSERT_EQ(divisor.Remainder(n), n % d) << n << " % " << d;
        }
        // Each multiple of d and its neighbours, where a rounding error would show first.
        for (uint64_t q = 1; q * d <= 0xFFFFFFFFu && q < 5000; q = q * 3 + 1) {
            const auto n = static_cast<uint32_t>(q * d);
            ASSERT_EQ(divisor.Quotient(n), n / d) << n << " / " << d;
            ASSERT_EQ(divisor.Remainder(n - 1), (n - 1) % d) << n - 1 << " % " << d;
            if (n < 0xFFFFFFFFu) {
                ASSERT_EQ(divisor.Remainder(n + 1), (n + 1) % d) << n + 1 << " % " << d;
            }
        }
    }
}

}  // namespace
