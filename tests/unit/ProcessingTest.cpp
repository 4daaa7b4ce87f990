#include "DemoSignal.h"
#include "DenormalMode.h"
#include "EffectTestSupport.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// A value that glides as defined: a straight line from where it stands to the new
// target over 10 ms, except before the first sample after a reset, when it jumps.
class ReferenceGlide {
public:
    explicit ReferenceGlide(double v) : value(v), from(v), to(v) {}

    void Set(double target, bool atOnce) {
        if (target == to)
            return;
        from = value;
        to = target;
        step = 0;
        length = atOnce ? 0 : std::lround(0.010 * kRate);
        if (length == 0)
            value = to;
    }
    double Next() {
        if (step < length) {
            ++step;
            value = step == length ? to
                                   : from + (to - from) * static_cast<double>(step) /
                                                static_cast<double>(length);
        }
        return value;
    }

private:
    double value, from, to;
    long step = 0, length = 0;
};

double Linear(double dB) {
    return std::pow(10.0, dB / 20.0);
}

double Exponent(double ratio) {
    return ratio >= 30.0 ? -1.0 : 1.0 / ratio - 1.0;
}

// The compressor written sample by sample from its definition.
class ReferenceCompressor {
public:
    ReferenceCompressor(const Settings& s, int stereoMode, bool sidechain, bool brickwall)
        : mode(stereoMode), useSidechain(sidechain), limit(brickwall),
          threshold(Linear(s.threshold)), exponent(Exponent(s.ratio)), mix(s.mix / 100.0),
          makeup(Linear(s.gain)), attenuation(Linear(s.attenuation)),
          meter(1.0 - std::exp(-1.0 / (kRate * 0.15))), follower1(s), follower2(s),
          limiter(Coefficient(0.0), Coefficient(s.release2), 1) {}

    // A change of Threshold, Ratio, Gain, Mix or Attenuation before the next sample.
    void Change(int index, double value) {
        const bool atOnce = !started;
        switch (index) {
        case Quelor::kThreshold:
            return threshold.Set(Linear(value), atOnce);
        case Quelor::kRatio:
            return exponent.Set(Exponent(value), atOnce);
        case Quelor::kGain:
            return makeup.Set(Linear(value), atOnce);
        case Quelor::kMix:
            return mix.Set(value / 100.0, atOnce);
        case Quelor::kAttenuation:
            return attenuation.Set(Linear(value), atOnce);
        default:
            FAIL() << "the reference glides only";
        }
    }

    void Step(const double* in, double* out) {
        started = true;
        t = threshold.Next();
        x = exponent.Next();
        const double m = mix.Next(), k = makeup.Next(), att = attenuation.Next();
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
        const double y0 = in[0] * k * (1.0 - m + m * g1);
        const double y1 = in[1] * k * (1.0 - m + m * g2);
        if (!limit) {
            out[0] = y0;
            out[1] = y1;
            return;
        }
        const double peak = limiter.Step(Finite(std::max(std::fabs(y0), std::fabs(y1))));
        const double gb = peak > kCeiling ? kCeiling / peak : 1.0;
        Follow(limiterDisplay, gb);
        out[0] = y0 * att * gb;
        out[1] = y1 * att * gb;
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

    double Gain(double level) const { return level > t ? std::pow(level / t, x) : 1.0; }
    void Follow(double& display, double gain) const {
        display += gain > display ? meter * (gain - display) : gain - display;
    }

    int mode;
    bool useSidechain, limit;
    ReferenceGlide threshold, exponent, mix, makeup, attenuation;
    double meter;
    Follower follower1, follower2, limiter;
    bool started = false;
    double t = 0.0, x = 0.0; // this sample's threshold and exponent
};

// Drums, tone bursts on the side-chain, a silent gap.
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
        for (std::size_t ch = 0; ch < 2; ++ch)
            ASSERT_NEAR(signal.out[ch][i], out[ch], 1e-12 * std::max(1.0, std::fabs(out[ch])))
                << "channel " << ch << " frame " << i;
    }
    EXPECT_NEAR(effect.GrDisplay(), reference.grDisplay, 1e-12);
    EXPECT_NEAR(effect.LimiterDisplay(), reference.limiterDisplay, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(AllModes, ProcessingMatchesReference,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Bool(),
                                            ::testing::Bool(), ::testing::Values(0, 1, 2)));

namespace {
// Every gliding value changed, some mid-glide, Ratio to its infinite end and back.
const std::initializer_list<TimedChange> kAutomation{{0, Quelor::kGain, 9},
                                                     {3000, Quelor::kGain, 0},
                                                     {3000, Quelor::kMix, 40},
                                                     {3200, Quelor::kGain, 15},
                                                     {8000, Quelor::kThreshold, -40},
                                                     {8000, Quelor::kRatio, 30},
                                                     {8300, Quelor::kRatio, 2},
                                                     {12000, Quelor::kAttenuation, -20},
                                                     {12001, Quelor::kAttenuation, 0},
                                                     {12100, Quelor::kThreshold, -10},
                                                     {20000, Quelor::kMix, 100},
                                                     {20000, Quelor::kRatio, 30}};
} // namespace

TEST(ProcessingMatchesReferenceGliding, SampleForSample) {
    for (int mode : {0, 1, 2})
        for (bool sidechain : {false, true})
            for (bool brickwall : {false, true}) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << " side-chain " << sidechain
                                                << " brickwall " << brickwall);
                Quelor effect;
                Configure(effect, kTypical, mode, sidechain, brickwall);
                ChannelSet signal = TestSignal(0.6);
                Process(effect, signal, {512, 1, 77, 300}, false, kAutomation);

                ReferenceCompressor reference(kTypical, mode, sidechain, brickwall);
                auto change = kAutomation.begin();
                for (std::size_t i = 0; i < signal.Frames(); ++i) {
                    for (; change != kAutomation.end() && change->frame == i; ++change)
                        reference.Change(change->index, change->value);
                    const double in[4] = {signal.in[0][i], signal.in[1][i], signal.in[2][i],
                                          signal.in[3][i]};
                    double out[2];
                    reference.Step(in, out);
                    for (std::size_t ch = 0; ch < 2; ++ch)
                        ASSERT_NEAR(signal.out[ch][i], out[ch],
                                    1e-12 * std::max(1.0, std::fabs(out[ch])))
                            << "channel " << ch << " frame " << i;
                }
            }
}

namespace {
void Open(Quelor& effect, std::initializer_list<std::pair<int, double>> settings,
          int blockSize = kMaxBlock) {
    OpenLikeHost(effect, kRate, blockSize);
    for (const auto& [index, value] : settings)
        SetParameter(effect, index, value);
}
} // namespace

TEST(Processing, HoldLengthsAndWorkBuffersFollowRateAndBlockSize) {
    for (const auto& [ms, rate, length] :
         {std::tuple{5.0, 44100.0, 220u}, {30.0, 384000.0, 5760u}, {0.0, 44100.0, 0u},
          {30.0, 1e30, 5760u}, {5.0, std::nan(""), 0u}})
        EXPECT_EQ(Quelor::HoldLengthFor(ms, rate), length) << ms << " ms at " << rate;
    const std::pair<double, int> glides[] = {{44100.0, 441}, {48000.0, 480},    {22050.0, 221},
                                             {49.0, 0},      {std::nan(""), 0}, {1e30, INT32_MAX}};
    for (const auto& [rate, length] : glides)
        EXPECT_EQ(Quelor::GlideLengthFor(rate), length) << rate;
    Quelor effect;
    Open(effect, {{Quelor::kHold, 0}}, 256);
    EXPECT_EQ(effect.Envelope1().WindowLength(), 1u);
    effect.SetMaxBlockSize(4096);
    EXPECT_EQ(effect.BufferFrames(), 4096) << "made and swapped in with the scratch buffers";
    effect.ChangeSampleRate(96000);
    effect.ResetProcessing();
    EXPECT_EQ(effect.BufferFrames(), 4096);
    EXPECT_EQ(effect.MeterCoeff(), 1.0 - std::exp(-1.0 / (96000 * 0.15)));
    EXPECT_EQ(effect.Envelope1().AttackCoefficient(), PeakHoldEnvelope::Coefficient(1, 96000));
}

TEST(Processing, BlocksPastTheWorkBuffersInPlaceAndEmptyGiveTheSameSamples) {
    const std::initializer_list<std::pair<int, double>> settings{
        {Quelor::kThreshold, -24}, {Quelor::kBrickwall, Quelor::kBrickwallOn},
        {Quelor::kGain, 12}, {Quelor::kStereoMode, Quelor::kStereoDualMono}};
    Quelor reference, small, inPlace;
    Open(reference, settings, 4096);
    Open(small, settings, 64);
    Open(inPlace, settings);
    ChannelSet a = TestSignal(0.5), b = TestSignal(0.5), c = TestSignal(0.5);
    Process(reference, a, {4000});
    Process(small, b, {4000});
    Process(inPlace, c, {kMaxBlock}, true);
    EXPECT_EQ(b.out, a.out);
    EXPECT_EQ(c.in[0], a.out[0]);
    EXPECT_EQ(c.in[1], a.out[1]);

    const double output = small.Envelope1().Output(), display = small.GrDisplay();
    ChannelSet one(1);
    std::vector<double*> in = one.Inputs(), out = one.Outputs();
    small.ProcessBlock(in.data(), out.data(), 0);
    EXPECT_EQ(small.Envelope1().Output(), output);
    EXPECT_EQ(small.GrDisplay(), display);
}

TEST(Processing, EqualChannelsInGiveEqualChannelsOutInEveryMode) {
    for (int mode : {Quelor::kStereoAverage, Quelor::kStereoMaximum, Quelor::kStereoDualMono})
        for (int brickwall : {Quelor::kBrickwallOn, Quelor::kBrickwallOff}) {
            Quelor effect;
            Open(effect, {{Quelor::kThreshold, -24}, {Quelor::kGain, 12}, {Quelor::kMix, 70},
                          {Quelor::kAttenuation, -7.3}, {Quelor::kStereoMode, mode},
                          {Quelor::kBrickwall, brickwall}});
            ChannelSet set = TestSignal(1.0);
            set.in[1] = set.in[0];
            Process(effect, set, {kMaxBlock}, false, {{20000, Quelor::kAttenuation, -1}});
            EXPECT_EQ(set.out[0], set.out[1]) << "mode " << mode << " brickwall " << brickwall;
        }
}

// With equal channels Maximum and Dual Mono are the same compressor, so a switch
// from the linked mode to Dual Mono must not show, even when the channels were
// apart under Dual Mono once before.
TEST(Processing, DualMonoStartsFromTheLinkedEnvelope) {
    constexpr std::size_t kApart = 20000, kLinked = 30000;
    const std::initializer_list<std::pair<int, double>> settings{
        {Quelor::kThreshold, -30}, {Quelor::kHold, 10}, {Quelor::kRelease, 400},
        {Quelor::kStereoMode, Quelor::kStereoDualMono}};
    ChannelSet a = TestSignal(1.0);
    std::copy(a.in[0].begin() + kApart, a.in[0].end(), a.in[1].begin() + kApart);
    ChannelSet b = a;
    Quelor switching, linked;
    Open(switching, settings);
    Open(linked, settings);
    Process(switching, a, {300},  false,
            {{kApart, Quelor::kStereoMode, Quelor::kStereoMaximum},
             {kLinked, Quelor::kStereoMode, Quelor::kStereoDualMono}});
    Process(linked, b, {300}, false, {{kApart, Quelor::kStereoMode, Quelor::kStereoMaximum}});
    EXPECT_TRUE(std::equal(a.out[0].begin() + kApart, a.out[0].end(), a.out[1].begin() + kApart));
    EXPECT_EQ(a.out, b.out);
    const PeakHoldEnvelope &first = switching.Envelope1(), &second = switching.Envelope2();
    EXPECT_EQ(second.Output(), first.Output());
    EXPECT_EQ(second.HeldMaximum(), first.HeldMaximum());
    EXPECT_EQ(second.WritePosition(), first.WritePosition());
}

TEST(Processing, ChangesAtTheSameSamplesGiveTheSameOutputAtAnyBlockSize) {
    // The gliding values as in kAutomation, with switches and time constants between.
    const std::initializer_list<TimedChange> changes{
        {0, Quelor::kGain, 9},
        {3000, Quelor::kGain, 0},
        {3000, Quelor::kMix, 40},
        {3200, Quelor::kGain, 15},
        {4000, Quelor::kBrickwall, Quelor::kBrickwallOn},
        {5000, Quelor::kAttack, 20},
        {8000, Quelor::kThreshold, -40},
        {8000, Quelor::kRatio, 30},
        {8300, Quelor::kRatio, 2},
        {9000, Quelor::kStereoMode, Quelor::kStereoDualMono},
        {12000, Quelor::kAttenuation, -20},
        {12001, Quelor::kAttenuation, 0},
        {12100, Quelor::kThreshold, -10},
        {12200, Quelor::kRelease2, 20},
        {20000, Quelor::kMix, 100},
        {20000, Quelor::kRatio, 30}};
    const auto run = [&](std::initializer_list<int> blockSizes, Quelor& effect) {
        Open(effect, {{Quelor::kThreshold, -20}});
        ChannelSet set = TestSignal(0.6);
        Process(effect, set, blockSizes, false, changes);
        return set.out;
    };
    Quelor reference;
    const auto want = run({kMaxBlock}, reference);
    // The OUT meter takes the very samples written, gliding attenuation and all.
    const double coeff = reference.MeterCoeff();
    double meanSquare = 0.0;
    for (std::size_t i = 0; i < want[0].size(); ++i)
        meanSquare = meanSquare * (1.0 - coeff) +
                     std::max(want[0][i] * want[0][i], want[1][i] * want[1][i]) * coeff;
    EXPECT_NEAR(reference.OutMeanSquare(), meanSquare, 1e-13 * meanSquare);
    for (std::initializer_list<int> blockSizes :
         {std::initializer_list<int>{1}, {77, 300, 13}, {4096}, {441}, {220, 3}}) {
        Quelor effect;
        EXPECT_EQ(run(blockSizes, effect), want) << "first block size " << *blockSizes.begin();
        EXPECT_EQ(effect.GrDisplay(), reference.GrDisplay());
        EXPECT_EQ(effect.LimiterDisplay(), reference.LimiterDisplay());
        EXPECT_EQ(effect.OutMeanSquare(), reference.OutMeanSquare());
    }
}

TEST(Processing, ChangesApplyAtOnceUntilTheFirstSampleAfterAResetAndGlideFromThen) {
    Quelor effect;
    Open(effect, {});
    // Below the threshold, the output is the input times the make-up gain.
    const auto run = [&](int frames) {
        ChannelSet set(static_cast<std::size_t>(std::max(frames, 1)), 0.25, 0.25);
        std::vector<double*> in = set.Inputs(), out = set.Outputs();
        effect.ProcessBlock(in.data(), out.data(), frames);
        return set.out[0];
    };
    const int length = Quelor::GlideLengthFor(kRate);
    SetExactly(effect, Quelor::kGain, 12);
    const double loud = 0.25 * effect.MakeupGain();
    EXPECT_EQ(run(1)[0], loud) << "before the first sample";

    SetExactly(effect, Quelor::kGain, 0);
    const std::vector<double> glide = run(length + 10);
    for (int k = 1; k < length; ++k)
        ASSERT_NEAR(glide[static_cast<std::size_t>(k - 1)], loud + (0.25 - loud) * k / length,
                    1e-15)
            << k;
    EXPECT_GT(glide[static_cast<std::size_t>(length - 2)], 0.25);
    EXPECT_EQ(glide[static_cast<std::size_t>(length - 1)], 0.25) << "it arrives exactly";
    EXPECT_EQ(glide.back(), 0.25);

    SetExactly(effect, Quelor::kGain, 12);
    run(100);
    effect.ResetProcessing();
    EXPECT_EQ(run(1)[0], loud) << "a reset ends a glide";
    effect.ResetProcessing();
    run(0);
    SetExactly(effect, Quelor::kGain, 0);
    EXPECT_EQ(run(1)[0], 0.25) << "a block of no samples processes no sample";
}

TEST(Processing, ValuesSentAgainChangeNoSample) {
    const auto run = [](std::initializer_list<TimedChange> changes) {
        Quelor effect;
        Open(effect, {{Quelor::kThreshold, -24}, {Quelor::kBrickwall, Quelor::kBrickwallOn}});
        ChannelSet set = TestSignal(0.3);
        Process(effect, set, {kMaxBlock}, false, changes);
        return set.out;
    };
    const auto want = run({{2000, Quelor::kGain, 12}});
    // Mid-glide and at rest: every gliding value, as it stands.
    EXPECT_EQ(run({{2000, Quelor::kGain, 12},
                   {2100, Quelor::kGain, 12},
                   {2100, Quelor::kThreshold, -24},
                   {2100, Quelor::kRatio, 3},
                   {2100, Quelor::kMix, 100},
                   {2100, Quelor::kAttenuation, 0},
                   {6000, Quelor::kGain, 12},
                   {6000, Quelor::kThreshold, -24}}),
              want);
}

TEST(Processing, WithoutABlockSizeGivesSilenceInsteadOfWritingAnywhere) {
    Quelor effect;
    Open(effect, {}, 0);
    ASSERT_EQ(effect.BufferFrames(), 0);
    ChannelSet set(128, 0.5, 0.5);
    std::fill(set.out[0].begin(), set.out[0].end(), 3.0);
    std::vector<double*> in = set.Inputs(), out = set.Outputs();
    effect.ProcessBlock(in.data(), out.data(), 128);
    EXPECT_EQ(set.out[0], std::vector<double>(128, 0.0));
}

TEST(Processing, RecoversFromNaNInfinityAndHugeInputs) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (int mode : {0, 1, 2})
        for (double poison :
             {std::numeric_limits<double>::quiet_NaN(), kInf, -kInf}) {
            const std::initializer_list<std::pair<int, double>> settings{
                {Quelor::kThreshold, -20}, {Quelor::kBrickwall, Quelor::kBrickwallOn},
                {Quelor::kGain, 10}, {Quelor::kStereoMode, mode}};
            Quelor clean, poisoned;
            Open(clean, settings);
            Open(poisoned, settings);
            ChannelSet a = TestSignal(2.0), b = TestSignal(2.0);
            for (std::size_t i = 1000; i < 1010; ++i)
                b.in[0][i] = b.in[3][i] = poison;
            Process(clean, a, {kMaxBlock});
            Process(poisoned, b, {kMaxBlock});
            for (const PeakHoldEnvelope* envelope : {&poisoned.Envelope1(), &poisoned.Envelope2()})
                EXPECT_TRUE(std::isfinite(envelope->Output()) &&
                            std::isfinite(envelope->HeldMaximum()));
            EXPECT_TRUE(std::isfinite(poisoned.LimiterEnvelopeOutput()));
            EXPECT_TRUE(std::isfinite(poisoned.GrDisplay()) && std::isfinite(poisoned.LimiterDisplay()));
            for (std::size_t i = 1010; i < b.Frames(); ++i)
                ASSERT_TRUE(std::isfinite(b.out[0][i]) && std::isfinite(b.out[1][i]))
                    << "mode " << mode << " poison " << poison << " frame " << i;
            EXPECT_NEAR(b.out[0].back(), a.out[0].back(), 1e-6) << mode << " " << poison;
            EXPECT_NEAR(b.out[1].back(), a.out[1].back(), 1e-6) << mode << " " << poison;
        }
    Quelor effect;
    Open(effect, {{Quelor::kThreshold, -60}, {Quelor::kBrickwall, Quelor::kBrickwallOn}});
    ChannelSet set(2048);
    set.in[0][10] = set.in[1][10] = std::numeric_limits<double>::max();
    Process(effect, set, {kMaxBlock});
    for (double v : set.out[0])
        ASSERT_TRUE(std::isfinite(v)) << "huge but finite";
}

TEST(DenormalMode, FlushesInsideTheScopeAndRestoresTheCallersMode) {
    volatile double tiny = 1e-310;
    {
        ScopedFlushDenormals flush;
        { ScopedFlushDenormals nested; }
        EXPECT_EQ(tiny * 0.5, 0.0) << "a nested scope restores the flushing mode";
    }
    EXPECT_NE(tiny * 0.5, 0.0);
    Quelor effect;
    Open(effect, {}, 64);
    ChannelSet set(64);
    Process(effect, set, {64});
    EXPECT_NE(tiny * 0.5, 0.0) << "processing leaves the caller's mode as it was";
}
