#include "GainStage.h"
#include "DenormalMode.h"
#include "FastPow.h"
#include "GainStageProbe.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

TEST(FastPow, WithinATenthOfAPicoOfPowOverTheCompressorsRange) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double worst = 0.0;
    auto check = [&](double x, double e) {
        const double want = std::pow(x, e);
        worst = std::max(worst, std::fabs(FastPow(x, e) - want) / want);
    };
    for (int i = 0; i < 200000; ++i)
        check(std::pow(10.0, 6.0 * unit(random)), -unit(random));
    for (double x : {std::nextafter(1.0, 2.0), 1.4142135623730951, 2.0, 1e6})
        for (double e : {-1.0, -0.5, -1.0 / 3.0, -1e-9})
            check(x, e);
    EXPECT_LT(worst, 1e-13);
    EXPECT_EQ(FastPow(4.0, -0.5), 0.5) << "exact powers stay exact";
}

TEST(GainStage, EverySampleGetsTheSameGainInAnyLaneOrTail) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> level(0.0, 3.0);
    std::vector<double> block(1037);
    for (double& x : block)
        x = level(random);
    std::vector<double> together = block;
    GainStage::CompressorGains(together.data(), static_cast<int>(together.size()), 0.5, 2.0, -0.75);
    for (std::size_t i = 0; i < block.size(); ++i) {
        double alone = block[i];
        GainStage::CompressorGains(&alone, 1, 0.5, 2.0, -0.75);
        ASSERT_EQ(together[i], alone) << i;
        ASSERT_EQ(together[i], block[i] > 0.5 ? FastPow(block[i] * 2.0, -0.75) : 1.0) << i;
    }
}

namespace {
// NaNs of either sign, with payloads and signalling; infinities; denormals and
// zeros of either sign; the ends of a double; values whose squares overflow or
// become denormal; levels at and around the thresholds the probe uses.
std::vector<double> HostileValues() {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    std::vector<double> values{kInf,     -kInf, kTiny,  -kTiny, DBL_MIN, -0.0, 0.0, DBL_MAX,
                               -DBL_MAX, 1e300, 1e-300, 1e-160, 1e155,   0.98, 1.0, -1.5};
    for (uint64_t bits : {0x7FF8000000000000ULL, 0xFFF8000000000000ULL, 0x7FF8000000000123ULL,
                          0x7FF0000000000001ULL, 0x000FFFFFFFFFFFFFULL, 0x800FFFFFFFFFFFFFULL})
        values.push_back(std::bit_cast<double>(bits));
    return values;
}

// Which NaN a multiplication of two NaNs gives depends on the order of its
// operands in the instruction, which the compiler chooses: any NaN is one.
bool SameBits(double x, double y) {
    return std::bit_cast<uint64_t>(x) == std::bit_cast<uint64_t>(y) ||
           (std::isnan(x) && std::isnan(y));
}
} // namespace

TEST(GainStage, BaselineAndWidePathsGiveTheSameBitsForHostileBlocks) {
    __builtin_cpu_init();
    EXPECT_EQ(GainStage::WidePath(), __builtin_cpu_supports("avx2") != 0);
    EXPECT_FALSE(BaselineGainStage::WidePath());
    std::mt19937_64 random(41);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const std::vector<double> hostile = HostileValues();
    const auto sample = [&] {
        return random() % 3 ? hostile[random() % hostile.size()] : 4.0 * unit(random) - 2.0;
    };
    std::vector<std::vector<double>> channels(4);
    long compared = 0;
    for (int round = 0; round < 300; ++round) {
        // Lengths around the vector widths and their tails, at unaligned starts.
        const int n = std::array{1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 33, 100, 1037}[random() % 13];
        const std::size_t offset = random() % 4;
        const double* starts[4];
        for (std::size_t ch = 0; ch < 4; ++ch) {
            channels[ch].resize(offset + static_cast<std::size_t>(n));
            for (double& x : channels[ch])
                x = sample();
            starts[ch] = channels[ch].data() + offset;
        }
        ProbeSettings settings{};
        settings.threshold = 0.001 + unit(random);
        settings.exponent = -unit(random);
        settings.mix = unit(random);
        settings.makeup = 1.0 + 30.0 * unit(random);
        settings.attenuation = 0.03 + unit(random);
        // A glide that ends before, inside or after the block.
        settings.target = 0.5 * unit(random);
        settings.length = 441.0;
        settings.done = std::floor(441.0 * unit(random));
        for (bool flush : {false, true}) {
            std::optional<ScopedFlushDenormals> flushing;
            if (flush)
                flushing.emplace();
            const ProbeResults wide = GainStage::RunEveryPass(starts, n, settings);
            const ProbeResults baseline = BaselineGainStage::RunEveryPass(starts, n, settings);
            ASSERT_EQ(wide.size(), baseline.size());
            for (std::size_t pass = 0; pass < wide.size(); ++pass)
                for (std::size_t i = 0; i < wide[pass].second.size(); ++i, ++compared)
                    ASSERT_TRUE(SameBits(wide[pass].second[i], baseline[pass].second[i]))
                        << wide[pass].first << " sample " << i << " of " << n << " in round "
                        << round << (flush ? ", denormals flushed" : "") << ": "
                        << wide[pass].second[i] << " against " << baseline[pass].second[i];
        }
    }
    EXPECT_GT(compared, 500000);
}
