#include "EffectTestSupport.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
constexpr double kZeroMark = 0.6994;

// The readings by name.
struct Shown {
    double inputDb, reductionDb, outputDb, brickwall;
};
Shown Meters(const Quelor& effect) {
    MeterReadings r;
    effect.ReadMeters(r);
    return {r.values[Quelor::kMeterInput], r.values[Quelor::kMeterReduction],
            r.values[Quelor::kMeterOutput], r.values[Quelor::kMeterBrickwall]};
}

class MeterFeedTest : public ::testing::Test {
protected:
    MeterFeedTest() { OpenLikeHost(effect, 44100, 512); }

    void Feed(double level, std::size_t frames, bool inPlace = false) {
        ChannelSet set(frames, level, level);
        Process(effect, set, {512}, inPlace);
    }

    Quelor effect;
};
} // namespace

TEST(NeedleCurve, MarksOfThePrintedScaleAndItsEnds) {
    const struct {
        double dB, value;
    } marks[] = {{2, 0.9110}, {0, kZeroMark}, {-3, 0.4267}, {-10, 0.1091}, {-20, 0.0063}};
    for (const auto& mark : marks)
        EXPECT_NEAR(Quelor::NeedleValue(std::pow(10.0, mark.dB / 20.0)), mark.value, 5e-5)
            << mark.dB << " dB";
    for (const auto& [amplitude, value] :
         {std::pair{std::pow(10.0, 3.0 / 20.0), 1.0}, {5.0, 1.0}, {-1.0, 0.0}, {0.0, 0.0}})
        EXPECT_EQ(Quelor::NeedleValue(amplitude), value) << amplitude;
}

TEST_F(MeterFeedTest, LevelsAreSmoothedOntoTheScale) {
    Feed(0.0, 1024);
    EXPECT_EQ(effect.Needles().in, 0.0);
    EXPECT_EQ(effect.Needles().out, 0.0);
    EXPECT_EQ(effect.Needles().led, 0.0);
    EXPECT_NEAR(effect.Needles().gr, kZeroMark, 5e-5) << "no reduction rests on the zero mark";

    SetParameter(effect, Quelor::kRatio, 1);
    Feed(std::pow(10.0, -0.45), 44100 * 3); // -9 dBFS
    EXPECT_NEAR(effect.InMeanSquare(), std::pow(10.0, -0.9), 1e-9);
    EXPECT_NEAR(effect.Needles().in, kZeroMark, 5e-5);
    EXPECT_NEAR(effect.Needles().out, kZeroMark, 5e-5);
    Feed(0.5, 44100 * 3);
    EXPECT_EQ(effect.Needles().in, 1.0) << "-6 dBFS pins the needle at the top";
}

TEST_F(MeterFeedTest, LedShowsBrickwallReductionOverSixDecibels) {
    SetParameter(effect, Quelor::kRatio, 1);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    Feed(Quelor::kCeiling * std::pow(10.0, 3.0 / 20.0), 1024);
    EXPECT_NEAR(effect.Needles().led, 0.5, 1e-9);
    Feed(4.0, 1024);
    EXPECT_EQ(effect.Needles().led, 1.0);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOff);
    Feed(4.0, 1024);
    EXPECT_EQ(effect.Needles().led, 0.0) << "off: dark whatever the last reduction";
}

TEST_F(MeterFeedTest, InPlaceBuffersStillMeterTheInput) {
    SetParameter(effect, Quelor::kThreshold, -30);
    Feed(0.5, 8192, true);
    EXPECT_NEAR(effect.InMeanSquare(), 0.25 * (1 - std::pow(1 - effect.MeterCoeff(), 8192)), 1e-9);
    EXPECT_LT(effect.OutMeanSquare(), effect.InMeanSquare() / 4);
}

TEST_F(MeterFeedTest, NonFiniteSamplesDoNotStickInTheMeters) {
    Feed(std::numeric_limits<double>::quiet_NaN(), 512);
    Feed(std::numeric_limits<double>::infinity(), 512);
    Feed(0.1, 44100);
    EXPECT_TRUE(std::isfinite(effect.InMeanSquare()));
    EXPECT_TRUE(std::isfinite(effect.OutMeanSquare()));
    EXPECT_GT(effect.Needles().in, 0.0);
}

// The readings a host without our panel gets, put back on the needles and the LED at the
// very positions the panel's own feed gives them.
TEST_F(MeterFeedTest, ReadingsStandForTheNeedlesTheyCameFrom) {
    SetParameter(effect, Quelor::kThreshold, -20);
    SetParameter(effect, Quelor::kGain, 12);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    Feed(0.7, 44100);
    const Shown m = Meters(effect);
    EXPECT_NEAR(m.inputDb, 20.0 * std::log10(0.7), 0.01) << "a second settles the meter";
    EXPECT_GT(m.reductionDb, 10.0);
    EXPECT_GT(m.brickwall, 0.0);
    EXPECT_NEAR(Quelor::LevelNeedle(m.inputDb), effect.Needles().in, 1e-12);
    EXPECT_NEAR(Quelor::ReductionNeedle(m.reductionDb), effect.Needles().gr, 1e-12);
    EXPECT_NEAR(Quelor::LevelNeedle(m.outputDb), effect.Needles().out, 1e-12);
    EXPECT_EQ(m.brickwall, effect.Needles().led);
}

TEST(MeterReadings, FloorForSilenceAndClearOnReset) {
    Quelor effect;
    OpenLikeHost(effect, 48000, 256);
    const Shown idle = Meters(effect);
    EXPECT_EQ(idle.inputDb, Quelor::kMeterFloorDb);
    EXPECT_EQ(idle.outputDb, Quelor::kMeterFloorDb);
    EXPECT_EQ(idle.reductionDb, 0.0);
    EXPECT_FALSE(std::signbit(idle.reductionDb)) << "no reduction reads +0, not -0";
    SetParameter(effect, Quelor::kThreshold, -30);
    ChannelSet loud(48000, 0.5, 0.5);
    Process(effect, loud, {256});
    EXPECT_NEAR(Meters(effect).inputDb, 20.0 * std::log10(0.5), 0.01);
    // 24 dB over the threshold at the default ratio of 3 keeps 8 dB of it.
    EXPECT_NEAR(Meters(effect).reductionDb, 16.0, 0.1);
    effect.ResetProcessing();
    EXPECT_EQ(Meters(effect).inputDb, Quelor::kMeterFloorDb);
    EXPECT_EQ(Meters(effect).brickwall, 0.0);
}
