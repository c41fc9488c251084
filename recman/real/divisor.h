// Division of 32-bit numbers by a divisor fixed when a file is opened, by multiplication
// instead of the processor's slow divide: a record address is split into page and slot on
// every read.
#pragma once

#include <cstdint>

namespace recman::real {

__extension__ typedef unsigned __int128 TWideProduct;

// With M = ceil(2^64 / d), n / d is the high word of M * n, and n % d the high word of the low
// word of M * n times d, for every 32-bit n and every d from 2 on (Lemire, Kaser and Kurz,
// "Faster remainder by direct computation", 2019). A divisor of 1 is kept as it is.
class TDivisor {
  public:
    TDivisor() = default;
    explicit TDivisor(uint32_t d) : d_(d), m_(d > 1 ? UINT64_MAX / d + 1 : 0) {}

    uint32_t Divisor() const { return d_; }
    uint32_t Quotient(uint32_t n) const {
        if (m_ == 0) return d_ == 1 ? n : 0;
        return uint32_t((static_cast<TWideProduct>(m_) * n) >> 64);
    }
    uint32_t Remainder(uint32_t n) const {
        if (m_ == 0) return 0;
        const uint64_t low = m_ * n;
        return uint32_t((static_cast<TWideProduct>(low) * d_) >> 64);
    }

  private:
    uint32_t d_ = 0;
    uint64_t m_ = 0;
};

}  // namespace recman::real
