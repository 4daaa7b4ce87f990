#pragma once

#include <bit>
#include <cstdint>

// x^e for the compressor's gain, x > 0 and e in [-1, 0], as exp2(e * log2(x))
// with polynomial log2 and exp2 in double. Plain IEEE operations and integer
// bit work only, no table and no branch: the compiler vectorises it, and every
// vector lane and the scalar tail give the same bits for the same x. Within
// 1e-13 relative of std::pow for x in (1, 1e6].
[[gnu::always_inline]] inline double FastPow(double x, double e) {
    constexpr double kSqrt2 = 1.4142135623730951;
    constexpr double kLog2E = 1.4426950408889634;
    constexpr double kLn2 = 0.6931471805599453;
    constexpr double kTwo52 = 0x1p52;
    constexpr double kRoundShift = 0x1.8p52;
    constexpr uint64_t kMantissa = 0x000FFFFFFFFFFFFFULL;
    constexpr uint64_t kOne = 0x3FF0000000000000ULL;

    // log2 x = k + log2 m with m in [sqrt(1/2), sqrt(2)).
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    double k = std::bit_cast<double>(bits >> 52 | std::bit_cast<uint64_t>(kTwo52)) - kTwo52 - 1023.0;
    double m = std::bit_cast<double>((bits & kMantissa) | kOne);
    const bool high = m > kSqrt2;
    m = high ? m * 0.5 : m;
    k = high ? k + 1.0 : k;
    // ln m = 2 atanh s, s = (m - 1) / (m + 1), |s| < 0.172: eight odd terms. Both
    // polynomials go by Estrin's scheme: short dependency chains, so that the
    // processor overlaps neighbouring samples.
    const double s = (m - 1.0) / (m + 1.0);
    const double t = s * s;
    const double t2 = t * t;
    const double t4 = t2 * t2;
    const double l01 = 1.0 + 1.0 / 3.0 * t;
    const double l23 = 1.0 / 5.0 + 1.0 / 7.0 * t;
    const double l45 = 1.0 / 9.0 + 1.0 / 11.0 * t;
    const double l67 = 1.0 / 13.0 + 1.0 / 15.0 * t;
    const double series = (l01 + l23 * t2) + (l45 + l67 * t2) * t4;
    double y = e * (k + 2.0 * s * series * kLog2E);
    // Within the exponents a double can scale by; only gains far below any use
    // reach the floor.
    y = y < -1022.0 ? -1022.0 : y;
    y = y > 1023.0 ? 1023.0 : y;

    // 2^y = 2^n 2^f, n = round(y), |f| <= 1/2; 2^f = e^z by Taylor to degree 11.
    const double shifted = y + kRoundShift;
    const double n = shifted - kRoundShift;
    const double z = (y - n) * kLn2;
    const double z2 = z * z;
    const double z4 = z2 * z2;
    const double z8 = z4 * z4;
    const double q01 = 1.0 + z;
    const double q23 = 1.0 / 2.0 + 1.0 / 6.0 * z;
    const double q45 = 1.0 / 24.0 + 1.0 / 120.0 * z;
    const double q67 = 1.0 / 720.0 + 1.0 / 5040.0 * z;
    const double q89 = 1.0 / 40320.0 + 1.0 / 362880.0 * z;
    const double q1011 = 1.0 / 3628800.0 + 1.0 / 39916800.0 * z;
    const double q07 = (q01 + q23 * z2) + (q45 + q67 * z2) * z4;
    const double p = q07 + (q89 + q1011 * z2) * z8;
    const uint64_t exponent =
        (std::bit_cast<uint64_t>(shifted) - std::bit_cast<uint64_t>(kRoundShift) + 1023) << 52;
    return p * std::bit_cast<double>(exponent);
}
