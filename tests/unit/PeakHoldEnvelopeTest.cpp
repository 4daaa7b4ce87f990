#include "PeakHoldEnvelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
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

namespace {
// The peak hold as first written: it rescans the whole window whenever the held
// maximum leaves it. The envelope must hold the same numbers, bit for bit.
class RescanHold {
public:
    void SetHoldLength(uint32_t n) {
        n = std::clamp<uint32_t>(n, 1, PeakHoldEnvelope::kWindowCapacity);
        if (n > length) {
            std::fill(slots.begin() + length, slots.begin() + n, 0.0);
            length = n;
        } else {
            length = n;
            Rescan();
        }
    }
    void Clear() {
        std::fill(slots.begin(), slots.end(), 0.0);
        held = 0.0;
        position = 0;
    }
    double Next(double x) {
        const uint32_t slot = position++ % length;
        if (x >= held || length == 1) {
            held = x;
            slots[slot] = x;
        } else {
            const double old = slots[slot];
            slots[slot] = x;
            if (old >= held)
                Rescan();
        }
        return held;
    }
    void EndBlock() { position %= length; }
    double held = 0.0;
    uint32_t position = 0;

private:
    void Rescan() {
        held = 0.0;
        for (uint32_t i = 0; i < length; ++i)
            if (slots[i] > held)
                held = slots[i];
    }
    uint32_t length = 1;
    std::vector<double> slots = std::vector<double>(PeakHoldEnvelope::kWindowCapacity, 0.0);
};
} // namespace

TEST(PeakHoldEnvelope, HoldsWhatTheRescanningWindowHeldBitForBitThroughChangesAndClears) {
    std::mt19937_64 random(20261208);
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    // Instant attack and release: the output is the held maximum itself.
    PeakHoldEnvelope envelope;
    RescanHold reference;
    Samples in, out;
    long compared = 0;
    for (int round = 0; round < 400; ++round) {
        // Lengths from a single slot to beyond the capacity, long stretches of
        // falling levels (the rescan's worst case) and plateaus of equal values.
        const uint32_t choice = below(8);
        const uint32_t hold = choice == 0 ? 1 : choice == 1 ? 6000 : 1 + below(choice < 5 ? 64 : 5760);
        envelope.SetHoldLength(hold);
        reference.SetHoldLength(hold);
        if (below(25) == 0) {
            envelope.ClearEnvelope();
            reference.Clear();
        }
        ASSERT_EQ(envelope.HeldMaximum(), reference.held) << "round " << round;
        for (int block = 0, blocks = 1 + static_cast<int>(below(4)); block < blocks; ++block) {
            in.resize(below(3000));
            double level = 0.0;
            for (double& x : in) {
                const uint32_t kind = below(16);
                level = kind == 0 ? std::ldexp(static_cast<double>(below(1000)), -9)
                        : kind < 8 ? level * 0.999
                                   : level;
                x = kind == 15 ? 0.0 : level;
            }
            out.resize(in.size());
            envelope.ProcessEnvelope(in.data(), out.data(), static_cast<int>(in.size()));
            for (std::size_t i = 0; i < in.size(); ++i, ++compared)
                ASSERT_EQ(out[i], reference.Next(in[i])) << "round " << round << " sample " << i;
            reference.EndBlock();
            ASSERT_EQ(envelope.WritePosition(), reference.position);
            ASSERT_EQ(envelope.HeldMaximum(), reference.held);
        }
    }
    EXPECT_GT(compared, 1000000);
}

TEST(PeakHoldEnvelope, RisesWithTheAttackAndFallsWithTheRelease) {
    PeakHoldEnvelope envelope;
    envelope.SetAttack(1, 1000); // one sample: coefficient 1 - 1/e
    envelope.SetRelease(2, 1000);
    const double a = PeakHoldEnvelope::Coefficient(1, 1000);
    const double r = PeakHoldEnvelope::Coefficient(2, 1000);
    const Samples out = Feed(envelope, {1.0, 1.0, 0.0});
    EXPECT_NEAR(out[0], a, 1e-15);
    EXPECT_NEAR(out[1], a + a * (1 - a), 1e-15);
    EXPECT_NEAR(out[2], out[1] * (1 - r), 1e-15);
}

TEST(PeakHoldEnvelope, WithoutWindowMemoryItFollowsTheDetectorWithoutHold) {
    PeakHoldEnvelope envelope(SIZE_MAX);
    EXPECT_EQ(envelope.Capacity(), 1u);
    envelope.SetHoldLength(240);
    EXPECT_EQ(envelope.WindowLength(), 1u);
    EXPECT_EQ(Feed(envelope, {0.5, 0.25, 0.0, 0.75}), (Samples{0.5, 0.25, 0.0, 0.75}));
    EXPECT_EQ(PeakHoldEnvelope().Capacity(), PeakHoldEnvelope::kWindowCapacity);

    // Taking over a longer window's history keeps its output and its held maximum.
    PeakHoldEnvelope full;
    full.SetHoldLength(4);
    Feed(full, {0.9, 0.1});
    envelope.TakeHistoryFrom(full);
    EXPECT_EQ(envelope.Output(), full.Output());
    EXPECT_EQ(envelope.HeldMaximum(), 0.9);
    full.ClearEnvelope();
    full.TakeHistoryFrom(envelope);
    EXPECT_EQ(Feed(full, {0.0, 0.0, 0.0, 0.0}), (Samples{0.9, 0.9, 0.9, 0.0})) << "for a window";
}
