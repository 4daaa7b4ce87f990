#include "PeakHoldEnvelope.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using Samples = std::vector<double>;

Samples Feed(PeakHoldEnvelope& envelope, const Samples& in) {
    Samples out(in.size());
    envelope.ProcessEnvelope(in.data(), out.data(), static_cast<int>(in.size()));
    return out;
}
} // namespace

TEST(PeakHoldEnvelope, WindowChangesClampKeepTheMaximumAndNeverResurrectOldSlots) {
    PeakHoldEnvelope envelope;
    for (const auto& [asked, length] :
         {std::pair<uint32_t, uint32_t>{0, 1}, {11520, 5760}, {0xFFFFFFFFu, 5760}}) {
        envelope.SetHoldLength(asked);
        EXPECT_EQ(envelope.WindowLength(), length) << asked;
    }

    envelope.SetHoldLength(4);
    envelope.ClearEnvelope();
    Feed(envelope, {0.2, 0.9, 0.3, 0.4}); // slots 0..3
    envelope.SetHoldLength(8);
    EXPECT_EQ(envelope.HeldMaximum(), 0.9) << "growing keeps the maximum";
    envelope.SetHoldLength(1);
    EXPECT_EQ(envelope.HeldMaximum(), 0.2) << "only slot 0 is still in use";

    envelope.SetHoldLength(8);
    envelope.ClearEnvelope();
    Feed(envelope, {0, 0, 0, 0, 0, 0, 0, 0.8});
    envelope.SetHoldLength(2);
    EXPECT_EQ(envelope.HeldMaximum(), 0.0);
    envelope.SetHoldLength(8); // slot 7 held 0.8: growing zeroes it
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
    EXPECT_EQ(envelope.WritePosition(), 0u);
    EXPECT_EQ(envelope.WindowLength(), 10u);
    EXPECT_EQ(envelope.ReleaseCoefficient(), PeakHoldEnvelope::Coefficient(50, 48000));
    envelope.SetHoldLength(3);
    EXPECT_EQ(envelope.HeldMaximum(), 0.0) << "the slots were cleared too";
    EXPECT_EQ(PeakHoldEnvelope::Coefficient(-3.0, 44100), 1.0) << "negative times are instant";
}
