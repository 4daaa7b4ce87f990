#include "Quelor.h"
#include "EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(QuelorHold, LengthsAreTruncatedAndSaturatedAtAnyRate) {
    const struct {
        double ms, rate;
        uint32_t length;
    } cases[] = {{5, 44100, 220}, {5, 48000, 240},  {30, 192000, 5760},  {30, 384000, 5760},
                 {0, 44100, 0},   {30, 1e30, 5760}, {5, std::nan(""), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Quelor::HoldLengthFor(c.ms, c.rate), c.length) << c.ms << " ms at " << c.rate;

    Quelor effect;
    OpenLikeHost(effect, 48000, 256);
    EXPECT_EQ(effect.Envelope2().WindowLength(), 240u);
    SetParameter(effect, Quelor::kHold, 0);
    EXPECT_EQ(effect.Envelope1().WindowLength(), 1u);
}

TEST(QuelorReset, ResizesTheWorkBuffersAndFollowsTheSampleRate) {
    Quelor effect;
    OpenLikeHost(effect, 44100, 256);
    EXPECT_EQ(effect.BufferFrames(), 256);
    EXPECT_NEAR(effect.MeterCoeff(), 1.5116e-4, 1e-8);
    effect.SetMaxBlockSize(4096);
    EXPECT_EQ(effect.BufferFrames(), 256) << "only the reset resizes the work buffers";
    effect.ResetProcessing();
    EXPECT_EQ(effect.BufferFrames(), 4096);

    effect.ChangeSampleRate(96000);
    effect.ResetProcessing();
    EXPECT_EQ(effect.MeterCoeff(), 1.0 - std::exp(-1.0 / (96000 * 0.15)));
    EXPECT_EQ(effect.Envelope1().WindowLength(), 480u);
    EXPECT_EQ(effect.Envelope1().AttackCoefficient(), PeakHoldEnvelope::Coefficient(1, 96000));
}
