#include "DemoSignal.h"
#include "DenormalMode.h"
#include "EffectTestSupport.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <numbers>
#include <tuple>

namespace {
constexpr double kRate = 44100.0;
constexpr int kMaxBlock = 512;
constexpr double kCeiling = 0.9885530946569389;

struct Settings {
    double attack, release, hold, ratio, threshold, gain, mix, release2, attenuation;
};

const Settings kTypical{1, 100, 5, 3, -20, 6, 100, 300, -3};
const Settings kExtreme{0, 0, 0, 30, -40, 20, 50, 0, 0};
const Settings kGentle{50, 800, 30, 1.5, -6, 0, 0, 1500, -30};

// The compressor written out sample by sample, straight from its definition:
// sliding-window maximum, one-pole smoothing, hard knee, mix, limiter.
class ReferenceCompressor {
public:
    ReferenceCompressor(const Settings& s, int stereoMode, bool sidechain, bool brickwall)
        : mode(stereoMode), useSidechain(sidechain), limit(brickwall),
          threshold(std::pow(10.0, s.threshold / 20.0)),
          exponent(s.ratio >= 30.0 ? -1.0 : 1.0 / s.ratio - 1.0), mix(s.mix / 100.0),
          makeup(std::pow(10.0, s.gain / 20.0)), attenuation(std::pow(10.0, s.attenuation / 20.0)),
          meter(1.0 - std::exp(-1.0 / (kRate * 0.15))), follower1(s), follower2(s),
          limiter(Coefficient(0.0), Coefficient(s.release2), 1) {}

    // One frame of the four inputs to the two outputs.
    void Step(const double* in, double* out) {
        const double a = useSidechain ? in[2] : in[0];
        const double b = useSidechain ? in[3] : in[1];
        double g1, g2;
        if (mode == 2) {
            g1 = Gain(follower1.Step(Finite(std::fabs(a))));
            g2 = Gain(follower2.Step(Finite(std::fabs(b))));
            Follow(grDisplay, std::min(g1, g2));
        } else {
            const double level = mode == 0 ? (std::fabs(a) + std::fabs(b)) / 2.0
                                           : std::max(std::fabs(a), std::fabs(b));
            g1 = g2 = Gain(follower1.Step(Finite(level)));
            Follow(grDisplay, g1);
        }
        const double y0 = in[0] * makeup * (1.0 - mix + mix * g1);
        const double y1 = in[1] * makeup * (1.0 - mix + mix * g2);
        if (!limit) {
            out[0] = y0;
            out[1] = y1;
            return;
        }
        const double peak = limiter.Step(Finite(std::max(std::fabs(y0), std::fabs(y1))));
        const double gb = peak > kCeiling ? kCeiling / peak : 1.0;
        Follow(limiterDisplay, gb);
        out[0] = y0 * attenuation * gb;
        out[1] = y1 * attenuation * gb;
    }

    double grDisplay = 1.0;
    double limiterDisplay = 1.0;

private:
    static double Coefficient(double ms) {
        const double samples = ms / 1000.0 * kRate;
        return samples > 0.0 ? 1.0 - std::exp(-1.0 / samples) : 1.0;
    }
    static double Finite(double x) { return std::isfinite(x) ? x : 0.0; }

    struct Follower {
        explicit Follower(const Settings& s)
            : Follower(Coefficient(s.attack), Coefficient(s.release),
                       std::clamp(static_cast<int>(s.hold / 1000.0 * kRate), 1, 5760)) {}
        Follower(double a, double r, int n) : attack(a), release(r), length(n) {}

        double Step(double x) {
            while (!window.empty() && window.back().second <= x)
                window.pop_back();
            window.emplace_back(count, x);
            while (window.front().first + length <= count)
                window.pop_front();
            ++count;
            const double held = std::max(0.0, window.front().second);
            const double d = held - out;
            out += (d > 0.0 ? attack : release) * d;
            return out;
        }

        double attack, release;
        long length;
        long count = 0;
        std::deque<std::pair<long, double>> window;
        double out = 0.0;
    };

    double Gain(double level) const {
        return level > threshold ? std::pow(level / threshold, exponent) : 1.0;
    }
    void Follow(double& display, double gain) const {
        display += gain > display ? meter * (gain - display) : gain - display;
    }

    int mode;
    bool useSidechain, limit;
    double threshold, exponent, mix, makeup, attenuation, meter;
    Follower follower1, follower2, limiter;
};

// Drums on the programme inputs, tone bursts on the side-chain, a silent gap.
ChannelSet TestSignal(double seconds) {
    const StereoSignal drums = MakeDemoSignal(kRate, seconds);
    ChannelSet set(drums.left.size());
    for (std::size_t i = 0; i < drums.left.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const bool gap = t > 0.6 && t < 0.75;
        set.in[0][i] = gap ? 0.0 : drums.left[i];
        set.in[1][i] = gap ? 0.0 : drums.right[i];
        const double burst = std::fmod(t, 0.5) < 0.3 ? 0.8 : 0.0;
        set.in[2][i] = burst * std::sin(2.0 * std::numbers::pi * 150.0 * t);
        set.in[3][i] = burst * 0.5 * std::cos(2.0 * std::numbers::pi * 90.0 * t);
    }
    return set;
}

void Configure(Quelor& effect, const Settings& s, int stereoMode, bool sidechain, bool brickwall) {
    OpenLikeHost(effect, kRate, kMaxBlock);
    const double values[] = {
        s.attack,    s.release, s.hold, s.ratio,    double(stereoMode), sidechain ? 1.0 : 0.0,
        s.threshold, s.gain,    s.mix,  s.release2, s.attenuation,      brickwall ? 0.0 : 1.0};
    for (int i = 0; i < 12; ++i) {
        effect.ParameterAt(i)->SetLimited(values[i]);
        effect.ParameterChanged(i);
    }
    effect.ResetProcessing();
}

// Runs the whole signal through the effect in blocks of changing sizes.
void Process(Quelor& effect, ChannelSet& set, std::initializer_list<int> blockSizes) {
    const std::size_t frames = set.in[0].size();
    std::size_t at = 0;
    for (auto size = blockSizes.begin(); at < frames; ++size) {
        if (size == blockSizes.end())
            size = blockSizes.begin();
        const int n = static_cast<int>(std::min(static_cast<std::size_t>(*size), frames - at));
        std::vector<double*> in = set.Inputs(at), out = set.Outputs(at);
        effect.ProcessBlock(in.data(), out.data(), n);
        at += static_cast<std::size_t>(n);
    }
}

void ExpectClose(double actual, double expected, std::size_t i, int channel) {
    const double tolerance = 1e-12 * std::max(1.0, std::fabs(expected));
    ASSERT_NEAR(actual, expected, tolerance) << "channel " << channel << " frame " << i;
}

using Combination = std::tuple<int, bool, bool, int>;

class ProcessingMatchesReference : public ::testing::TestWithParam<Combination> {};
} // namespace

TEST_P(ProcessingMatchesReference, SampleForSample) {
    const auto [mode, sidechain, brickwall, set] = GetParam();
    const Settings settings =
        std::array{kTypical, kExtreme, kGentle}[static_cast<std::size_t>(set)];
    Quelor effect;
    Configure(effect, settings, mode, sidechain, brickwall);
    ChannelSet signal = TestSignal(1.5);
    Process(effect, signal, {512, 1, 77, 300});

    ReferenceCompressor reference(settings, mode, sidechain, brickwall);
    for (std::size_t i = 0; i < signal.in[0].size(); ++i) {
        const double in[4] = {signal.in[0][i], signal.in[1][i], signal.in[2][i], signal.in[3][i]};
        double out[2];
        reference.Step(in, out);
        ExpectClose(signal.out[0][i], out[0], i, 0);
        ExpectClose(signal.out[1][i], out[1], i, 1);
    }
    EXPECT_NEAR(effect.GrDisplay(), reference.grDisplay, 1e-12);
    EXPECT_NEAR(effect.LimiterDisplay(), reference.limiterDisplay, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(AllModes, ProcessingMatchesReference,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Bool(),
                                            ::testing::Bool(), ::testing::Values(0, 1, 2)));

namespace {
class ProcessingTest : public ::testing::Test {
protected:
    ProcessingTest() { OpenLikeHost(effect, kRate, kMaxBlock); }

    // A constant level on the programme inputs, `frames` long.
    ChannelSet Constant(double left, double right, std::size_t frames = 4096) {
        ChannelSet set(frames);
        std::fill(set.in[0].begin(), set.in[0].end(), left);
        std::fill(set.in[1].begin(), set.in[1].end(), right);
        Process(effect, set, {kMaxBlock});
        return set;
    }

    Quelor effect;
};
} // namespace

TEST_F(ProcessingTest, TwentyDecibelsOverAThresholdAtRatioFourComesOutFiveOver) {
    SetParameter(effect, Quelor::kAttack, 0);
    SetParameter(effect, Quelor::kThreshold, -20);
    SetParameter(effect, Quelor::kRatio, 4);
    EXPECT_EQ(effect.RatioExponent(), -0.75);
    const ChannelSet out = Constant(1.0, 1.0);
    EXPECT_NEAR(out.out[0].back(), 0.1778279410038923, 1e-13);
    EXPECT_NEAR(out.out[1][0], 0.1778279410038923, 1e-13);
}

TEST_F(ProcessingTest, InfiniteRatioBringsTheLevelToTheThreshold) {
    SetParameter(effect, Quelor::kAttack, 0);
    SetParameter(effect, Quelor::kThreshold, -20);
    SetParameter(effect, Quelor::kRatio, 30);
    const ChannelSet out = Constant(0.5, -0.8, 256);
    EXPECT_NEAR(out.out[0].back(), 0.5 * effect.ThresholdGain() / 0.65, 1e-15);
    EXPECT_NEAR(out.out[1].back(), -0.8 * effect.ThresholdGain() / 0.65, 1e-15);
}

TEST_F(ProcessingTest, UnityRatioAndZeroThresholdLeaveTheSignalAlone) {
    SetParameter(effect, Quelor::kRatio, 1);
    SetParameter(effect, Quelor::kThreshold, -60);
    ChannelSet out = Constant(0.7, -0.3);
    EXPECT_EQ(out.out[0].back(), 0.7);
    EXPECT_EQ(out.out[1].back(), -0.3);

    SetParameter(effect, Quelor::kRatio, 10);
    SetParameter(effect, Quelor::kThreshold, 0);
    out = Constant(0.999, 0.999);
    EXPECT_EQ(out.out[0].back(), 0.999) << "at 0 dB only levels above 1.0 are reduced";
    EXPECT_EQ(effect.GrDisplay(), 1.0);
}

TEST_F(ProcessingTest, SilenceGivesSilenceAndTheGainDisplayRecovers) {
    SetParameter(effect, Quelor::kThreshold, -30);
    Constant(1.0, 1.0);
    EXPECT_LT(effect.GrDisplay(), 0.5);
    const double reduced = effect.GrDisplay();
    const ChannelSet out = Constant(0.0, 0.0, 44100);
    EXPECT_TRUE(std::all_of(out.out[0].begin(), out.out[0].end(), [](double v) { return v == 0; }));
    EXPECT_GT(effect.GrDisplay(), 1.0 - (1.0 - reduced) * 0.01);
}

TEST_F(ProcessingTest, DryMixKeepsTheSignalButTheDisplayShowsTheGain) {
    SetParameter(effect, Quelor::kThreshold, -20);
    SetParameter(effect, Quelor::kMix, 0);
    SetParameter(effect, Quelor::kGain, 6);
    const ChannelSet out = Constant(0.5, 0.5);
    EXPECT_EQ(out.out[0].back(), 0.5 * effect.MakeupGain());
    EXPECT_LT(effect.GrDisplay(), 0.5);
}

TEST_F(ProcessingTest, SidechainOnUnconnectedInputsReadsSilence) {
    effect.MarkInputsConnected(2, 2, false);
    SetParameter(effect, Quelor::kSidechainInput, 1);
    SetParameter(effect, Quelor::kThreshold, -40);
    SetParameter(effect, Quelor::kGain, 3);
    ChannelSet set(1024);
    std::fill(set.in[0].begin(), set.in[0].end(), 0.9);
    std::fill(set.in[1].begin(), set.in[1].end(), 0.9);
    std::vector<double*> in = set.Inputs(), out = set.Outputs();
    double* const scratch[4] = {in[0], in[1], effect.InputPointers()[2], effect.InputPointers()[3]};
    effect.ProcessBlock(const_cast<double**>(scratch), out.data(), kMaxBlock);
    EXPECT_EQ(set.out[0][kMaxBlock - 1], 0.9 * effect.MakeupGain());
    EXPECT_EQ(effect.GrDisplay(), 1.0);
}

TEST_F(ProcessingTest, MonoInputAveragesWithSilenceButMaximumDoesNot) {
    SetParameter(effect, Quelor::kAttack, 0);
    SetParameter(effect, Quelor::kThreshold, -12); // 0.251
    Constant(0.5, 0.0);
    EXPECT_EQ(effect.GrDisplay(), 1.0) << "average detector: 0.25";
    SetParameter(effect, Quelor::kStereoMode, Quelor::kStereoMaximum);
    Constant(0.5, 0.0);
    EXPECT_LT(effect.GrDisplay(), 1.0);
    SetParameter(effect, Quelor::kStereoMode, Quelor::kStereoDualMono);
    effect.ResetProcessing();
    const ChannelSet out = Constant(0.5, 0.0);
    EXPECT_LT(out.out[0].back(), 0.5);
    EXPECT_EQ(effect.Envelope2().Output(), 0.0);
}

TEST_F(ProcessingTest, BrickwallHoldsTheCeilingTimesTheAttenuation) {
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    SetParameter(effect, Quelor::kGain, 12);
    SetParameter(effect, Quelor::kAttenuation, -6);
    ChannelSet signal = TestSignal(1.0);
    Process(effect, signal, {kMaxBlock});
    const double bound = kCeiling * effect.AttenuationGain() * (1 + 1e-15);
    double loudest = 0;
    for (int ch = 0; ch < 2; ++ch)
        for (double v : signal.out[static_cast<std::size_t>(ch)])
            loudest = std::max(loudest, std::fabs(v));
    EXPECT_LE(loudest, bound);
    EXPECT_GT(loudest, bound * 0.999) << "the peaks reach the ceiling";
    EXPECT_LT(effect.LimiterDisplay(), 1.0);
}

TEST_F(ProcessingTest, BrickwallWithInstantReleaseClipsAtTheCeiling) {
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    SetParameter(effect, Quelor::kRelease2, 0);
    SetParameter(effect, Quelor::kRatio, 1);
    ChannelSet set(512);
    for (std::size_t i = 0; i < 512; ++i)
        set.in[0][i] = set.in[1][i] = 1.5 * std::sin(static_cast<double>(i) * 0.05);
    Process(effect, set, {kMaxBlock});
    for (std::size_t i = 0; i < 512; ++i) {
        const double x = set.in[0][i];
        const double expected = std::fabs(x) > kCeiling ? std::copysign(kCeiling, x) : x;
        ASSERT_NEAR(set.out[0][i], expected, 1e-15) << i;
    }
}

TEST_F(ProcessingTest, BrickwallOffIgnoresTheAttenuation) {
    SetParameter(effect, Quelor::kAttenuation, -30);
    SetParameter(effect, Quelor::kRatio, 1);
    const ChannelSet out = Constant(2.0, 2.0);
    EXPECT_EQ(out.out[0].back(), 2.0);
    EXPECT_EQ(effect.LimiterDisplay(), 1.0);
}

TEST_F(ProcessingTest, EmptyBlockChangesNothing) {
    SetParameter(effect, Quelor::kThreshold, -20);
    Constant(0.6, 0.2, 700);
    const double output = effect.Envelope1().Output();
    const uint32_t position = effect.Envelope1().WritePosition();
    const double display = effect.GrDisplay();
    ChannelSet set(1);
    std::vector<double*> in = set.Inputs(), out = set.Outputs();
    effect.ProcessBlock(in.data(), out.data(), 0);
    EXPECT_EQ(effect.Envelope1().Output(), output);
    EXPECT_EQ(effect.Envelope1().WritePosition(), position);
    EXPECT_EQ(effect.GrDisplay(), display);
}

TEST_F(ProcessingTest, LeavingDualMonoFreezesTheSecondEnvelope) {
    SetParameter(effect, Quelor::kStereoMode, Quelor::kStereoDualMono);
    Constant(0.1, 0.9, 1000);
    const double frozen = effect.Envelope2().Output();
    EXPECT_GT(frozen, 0.5);
    SetParameter(effect, Quelor::kStereoMode, Quelor::kStereoAverage);
    Constant(0.1, 0.1, 1000);
    EXPECT_EQ(effect.Envelope2().Output(), frozen);
}

TEST_F(ProcessingTest, LongBlocksGiveTheSameSamplesAsOneLargeBlock) {
    Quelor small, large;
    for (Quelor* e : {&small, &large}) {
        OpenLikeHost(*e, kRate, e == &small ? 64 : 4096);
        SetParameter(*e, Quelor::kThreshold, -24);
        SetParameter(*e, Quelor::kBrickwall, Quelor::kBrickwallOn);
        SetParameter(*e, Quelor::kGain, 12);
        SetParameter(*e, Quelor::kStereoMode, Quelor::kStereoDualMono);
    }
    ChannelSet a = TestSignal(0.5), b = TestSignal(0.5);
    Process(small, a, {4000});
    Process(large, b, {4000});
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(small.GrDisplay(), large.GrDisplay());
}

TEST_F(ProcessingTest, InPlaceBuffersGiveTheSameResult) {
    SetParameter(effect, Quelor::kThreshold, -24);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    Quelor separate;
    OpenLikeHost(separate, kRate, kMaxBlock);
    SetParameter(separate, Quelor::kThreshold, -24);
    SetParameter(separate, Quelor::kBrickwall, Quelor::kBrickwallOn);
    ChannelSet reference = TestSignal(0.5);
    ChannelSet shared = TestSignal(0.5);
    Process(separate, reference, {kMaxBlock});
    const std::size_t frames = shared.in[0].size();
    for (std::size_t at = 0; at < frames; at += kMaxBlock) {
        const int n = static_cast<int>(std::min<std::size_t>(kMaxBlock, frames - at));
        std::vector<double*> in = shared.Inputs(at);
        double* out[2] = {in[0], in[1]};
        effect.ProcessBlock(in.data(), out, n);
    }
    EXPECT_EQ(shared.in[0], reference.out[0]);
    EXPECT_EQ(shared.in[1], reference.out[1]);
}

TEST(ProcessingWithoutBlockSize, GivesSilenceInsteadOfWritingAnywhere) {
    Quelor effect;
    effect.SetMaxBlockSize(0); // a host that announces empty blocks: no work buffers
    for (int i = 0; i < 12; ++i)
        effect.ParameterChanged(i);
    effect.ResetProcessing();
    ASSERT_EQ(effect.BufferFrames(), 0);
    ChannelSet set(128);
    std::fill(set.in[0].begin(), set.in[0].end(), 0.5);
    std::fill(set.out[0].begin(), set.out[0].end(), 3.0);
    std::vector<double*> in = set.Inputs(), out = set.Outputs();
    effect.ProcessBlock(in.data(), out.data(), 128);
    EXPECT_EQ(set.out[0], std::vector<double>(128, 0.0));
}

namespace {
// Non-finite input samples, then ordinary material: the effect comes back.
void ExpectRecoveryFrom(double poison, int stereoMode) {
    Quelor clean, poisoned;
    for (Quelor* e : {&clean, &poisoned}) {
        OpenLikeHost(*e, kRate, kMaxBlock);
        SetParameter(*e, Quelor::kThreshold, -20);
        SetParameter(*e, Quelor::kBrickwall, Quelor::kBrickwallOn);
        SetParameter(*e, Quelor::kGain, 10);
        SetParameter(*e, Quelor::kStereoMode, stereoMode);
    }
    ChannelSet a = TestSignal(2.0), b = TestSignal(2.0);
    for (std::size_t i = 1000; i < 1010; ++i)
        b.in[0][i] = b.in[3][i] = poison;
    Process(clean, a, {kMaxBlock});
    Process(poisoned, b, {kMaxBlock});
    for (const PeakHoldEnvelope* envelope :
         {&poisoned.Envelope1(), &poisoned.Envelope2(), &poisoned.LimiterEnvelope()}) {
        EXPECT_TRUE(std::isfinite(envelope->Output()));
        EXPECT_TRUE(std::isfinite(envelope->HeldMaximum()));
    }
    EXPECT_TRUE(std::isfinite(poisoned.GrDisplay()));
    EXPECT_TRUE(std::isfinite(poisoned.LimiterDisplay()));
    const std::size_t last = a.out[0].size() - 1;
    EXPECT_NEAR(b.out[0][last], a.out[0][last], 1e-6);
    EXPECT_NEAR(b.out[1][last], a.out[1][last], 1e-6);
    for (std::size_t i = 1010; i <= last; ++i)
        ASSERT_TRUE(std::isfinite(b.out[0][i]) && std::isfinite(b.out[1][i])) << i;
}
} // namespace

TEST(ProcessingRobustness, RecoversFromNaNAndInfinityOnTheInputs) {
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        ExpectRecoveryFrom(std::numeric_limits<double>::quiet_NaN(), mode);
        ExpectRecoveryFrom(std::numeric_limits<double>::infinity(), mode);
        ExpectRecoveryFrom(-std::numeric_limits<double>::infinity(), mode);
    }
}

TEST(ProcessingRobustness, HugeFiniteInputsDoNotTurnIntoNaN) {
    Quelor effect;
    OpenLikeHost(effect, kRate, kMaxBlock);
    SetParameter(effect, Quelor::kThreshold, -60);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    ChannelSet set(2048);
    set.in[0][10] = std::numeric_limits<double>::max();
    set.in[1][10] = std::numeric_limits<double>::max();
    Process(effect, set, {kMaxBlock});
    for (double v : set.out[0])
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(effect.Envelope1().Output()));
}

TEST(DenormalMode, FlushesInsideTheScopeAndRestoresTheCallersMode) {
    volatile double tiny = 1e-310;
    EXPECT_NE(tiny * 0.5, 0.0);
    {
        ScopedFlushDenormals flush;
        EXPECT_EQ(tiny * 0.5, 0.0);
        { ScopedFlushDenormals nested; }
        EXPECT_EQ(tiny * 0.5, 0.0) << "a nested scope restores the flushing mode";
    }
    EXPECT_NE(tiny * 0.5, 0.0);

    Quelor effect;
    OpenLikeHost(effect, kRate, 64);
    ChannelSet set(64);
    std::vector<double*> in = set.Inputs(), out = set.Outputs();
    effect.ProcessBlock(in.data(), out.data(), 64);
    EXPECT_NE(tiny * 0.5, 0.0) << "processing leaves the caller's mode as it was";
}
