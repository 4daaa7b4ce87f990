#include "FastPow.h"
#include "GainStage.h"

#include <gtest/gtest.h>

#include <cmath>
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
