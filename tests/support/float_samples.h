// Doubles for the tests of the float texts: edges, amounts in hundredths and thirds at every
// size, any bit pattern of a finite value, and sixteen-digit ties of the fifteenth digit with
// their neighbours.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

inline std::vector<double> FloatSamples() {
    std::vector<double> values = {0.01,
                                  -0.05,
                                  0.1,
                                  0.99,
                                  9.99,
                                  10.01,
                                  1234.5,
                                  0.015,
                                  1.005,
                                  1e-3,
                                  1e-5,
                                  1.5e17,
                                  1e15,
                                  999999999999999.0,
                                  1234567890123456.0,
                                  9999999999999.99,
                                  1e13 - 0.01,
                                  1e13 + 0.5,
                                  8796093022207.99,
                                  0.30000000000000004,
                                  1.0 / 3,
                                  0.999999999999999944,
                                  5e-324,
                                  DBL_MIN,
                                  DBL_MAX,
                                  0.1234567890123455,
                                  1.000000000000005,
                                  1e-4,
                                  -1.2e-4,
                                  1.5e-5,
                                  99999999999999.9,
                                  999999999999999.9,
                                  99999999999.9999,
                                  4503599627370495.5,
                                  -7.0,
                                  100.0,
                                  1e5,
                                  1.2e5,
                                  1e6,
                                  -2.5e6,
                                  5e14};
    // Exactly on the half of the fifteenth digit: printf makes the last digit even.
    for (const double tie : {123456789012345.5, 123456789012344.5, 1234567890123455.0,
                             1234567890123445.0, 12345678901234.25, -12345678901234.75})
        values.push_back(tie);
    std::mt19937_64 random(15);
    for (int64_t scale = 1; scale <= 100000000000000000; scale *= 10)
        for (int i = 0; i < 1000; ++i) {
            const auto n = static_cast<int64_t>(random() % static_cast<uint64_t>(scale));
            values.push_back(static_cast<double>(i % 2 ? n : -n) / 100);
            values.push_back(static_cast<double>(n) / 1000);
            values.push_back(static_cast<double>(i % 2 ? -n : n) / 10000);
            values.push_back(static_cast<double>(n));
            values.push_back(1.0 / static_cast<double>(n + 3));
            // The neighbours of a few decimals read back as none.
            const double cents = static_cast<double>(n) / 100;
            values.push_back(std::nextafter(cents, 0.0));
            values.push_back(std::nextafter(cents, 1e300));
        }
    for (int i = 0; i < 200000; ++i) {
        const uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value) && value != 0) values.push_back(value);
    }
    for (int i = 0; i < 20000; ++i) {
        const double tie = std::stod("1." + std::to_string(random() % 100000000000000) + "5e" +
                                     std::to_string(static_cast<int>(random() % 40) - 20));
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 0.0));
        values.push_back(std::nextafter(tie, 1e300));
    }
    return values;
}
