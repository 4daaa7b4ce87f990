#include "PeakHoldEnvelope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
std::vector<double> Feed(PeakHoldEnvelope& envelope, const std::vector<double>& in) {
    std::vector<double> out(in.size());
    envelope.ProcessEnvelope(in.data(), out.data(), static_cast<int>(in.size()));
    return out;
}
} // namespace

TEST(PeakHoldEnvelope, ConstructedInstantWithAOneSampleWindow) {
    PeakHoldEnvelope envelope;
    EXPECT_EQ(envelope.AttackCoefficient(), 1.0);
    EXPECT_EQ(envelope.ReleaseCoefficient(), 1.0);
    EXPECT_EQ(envelope.WindowLength(), 1u);
    EXPECT_EQ(Feed(envelope, {0.5, 0.25, 0.0}), (std::vector<double>{0.5, 0.25, 0.0}));
}

TEST(PeakHoldEnvelope, HoldsAPeakForTheWindowLength) {
    PeakHoldEnvelope envelope;
    envelope.SetHoldLength(3);
    EXPECT_EQ(Feed(envelope, {1.0, 0, 0, 0, 0}), (std::vector<double>{1, 1, 1, 0, 0}));
    EXPECT_EQ(envelope.WritePosition(), 5u % 3u);
}

TEST(PeakHoldEnvelope, RescansWhenTheMaximumLeavesAndFindsTheNextPeak) {
    PeakHoldEnvelope envelope;
    envelope.SetHoldLength(4);
    const std::vector<double> out = Feed(envelope, {0.9, 0.5, 0.7, 0.1, 0.2, 0.1, 0.1, 0.1});
    EXPECT_EQ(out, (std::vector<double>{0.9, 0.9, 0.9, 0.9, 0.7, 0.7, 0.2, 0.2}));
}

TEST(PeakHoldEnvelope, AttackAndReleaseSmoothTowardsTheHeldMaximum) {
    PeakHoldEnvelope envelope;
    envelope.SetAttack(1.0, 1000.0); // one sample: 1 - e^-1
    envelope.SetRelease(2.0, 1000.0);
    const double a = 1.0 - std::exp(-1.0);
    const double r = 1.0 - std::exp(-0.5);
    const std::vector<double> out = Feed(envelope, {1.0, 1.0, 0.0});
    EXPECT_DOUBLE_EQ(out[0], a);
    EXPECT_DOUBLE_EQ(out[1], a + a * (1.0 - a));
    EXPECT_DOUBLE_EQ(out[2], out[1] - r * out[1]);
}

TEST(PeakHoldEnvelope, CoefficientsFromMilliseconds) {
    EXPECT_EQ(PeakHoldEnvelope::Coefficient(0.0, 44100), 1.0);
    EXPECT_EQ(PeakHoldEnvelope::Coefficient(-3.0, 44100), 1.0);
    EXPECT_NEAR(PeakHoldEnvelope::Coefficient(1.0, 44100), 0.0224205747408, 1e-13);
}

TEST(PeakHoldEnvelope, HoldLengthIsClampedToTheWindow) {
    PeakHoldEnvelope envelope;
    envelope.SetHoldLength(0);
    EXPECT_EQ(envelope.WindowLength(), 1u);
    envelope.SetHoldLength(11520);
    EXPECT_EQ(envelope.WindowLength(), 5760u);
    envelope.SetHoldLength(0xFFFFFFFFu);
    EXPECT_EQ(envelope.WindowLength(), 5760u);
}

TEST(PeakHoldEnvelope, GrowingKeepsTheMaximumShrinkingRescans) {
    PeakHoldEnvelope envelope;
    envelope.SetHoldLength(4);
    Feed(envelope, {0.2, 0.9, 0.3, 0.4}); // slots 0..3
    envelope.SetHoldLength(8);
    EXPECT_EQ(envelope.HeldMaximum(), 0.9);
    envelope.SetHoldLength(1);
    EXPECT_EQ(envelope.HeldMaximum(), 0.2) << "only slot 0 is still in use";
}

TEST(PeakHoldEnvelope, GrowingZeroesTheNewSlots) {
    PeakHoldEnvelope envelope;
    envelope.SetHoldLength(8);
    Feed(envelope, {0, 0, 0, 0, 0, 0, 0, 0.8});
    envelope.SetHoldLength(2);
    EXPECT_EQ(envelope.HeldMaximum(), 0.0);
    envelope.SetHoldLength(8); // slot 7 held 0.8: it must not come back
    envelope.SetHoldLength(7);
    EXPECT_EQ(envelope.HeldMaximum(), 0.0);
}

TEST(PeakHoldEnvelope, ClearForgetsHistoryButKeepsSettings) {
    PeakHoldEnvelope envelope;
    envelope.SetHoldLength(10);
    envelope.SetRelease(50, 48000);
    Feed(envelope, {1, 1, 1});
    envelope.ClearEnvelope();
    EXPECT_EQ(envelope.Output(), 0.0);
    EXPECT_EQ(envelope.HeldMaximum(), 0.0);
    EXPECT_EQ(envelope.WritePosition(), 0u);
    EXPECT_EQ(envelope.WindowLength(), 10u);
    EXPECT_EQ(envelope.ReleaseCoefficient(), PeakHoldEnvelope::Coefficient(50, 48000));
    envelope.SetHoldLength(3);
    EXPECT_EQ(envelope.HeldMaximum(), 0.0);
}
