// The render's running measures: the same figures whatever the block size, fixed
// memory at any length, and the loudness of known signals.
#include "RenderStats.h"
#include "DemoSignal.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {
constexpr double kRate = 48000.0;

// Interleaved stereo: noise under a 1 kHz tone, and the output at half the level
// for the second half.
struct Pair {
    std::vector<double> in, out;
    std::size_t Frames() const { return in.size() / 2; }
};

Pair Material(double seconds) {
    Pair p;
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    uint32_t seed = 1;
    for (std::size_t i = 0; i < frames; ++i)
        for (int ch = 0; ch < 2; ++ch) {
            seed = seed * 1664525u + 1013904223u;
            const double v =
                0.3 * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 48.0) +
                0.1 * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
            p.in.push_back(v);
            p.out.push_back(i < frames / 2 ? v : 0.5 * v);
        }
    return p;
}

struct Figures {
    Levels in, out;
    GainChange gain;
    Loudness loudness;
};

Figures Measure(const Pair& p, std::size_t block) {
    InOutMeter levels(2, kRate);
    LoudnessMeter loudness(2, kRate);
    for (std::size_t at = 0; at < p.Frames(); at += block) {
        const std::size_t n = std::min(block, p.Frames() - at);
        levels.Add(&p.in[at * 2], &p.out[at * 2], n);
        loudness.Add(&p.in[at * 2], n);
    }
    return {levels.In(), levels.Out(), levels.Gain(), loudness.Result()};
}

TEST(RenderStats, BlockSizeChangesNoFigure) {
    const Pair p = Material(4.0);
    const Figures whole = Measure(p, p.Frames());
    for (const std::size_t block : {1u, 7u, 512u, 4099u}) {
        SCOPED_TRACE(block);
        const Figures f = Measure(p, block);
        EXPECT_EQ(f.in.peakDb, whole.in.peakDb);
        EXPECT_EQ(f.out.rmsDb, whole.out.rmsDb);
        EXPECT_EQ(f.gain.windows, whole.gain.windows);
        EXPECT_DOUBLE_EQ(f.gain.averageDb, whole.gain.averageDb);
        EXPECT_EQ(f.gain.largestDb, whole.gain.largestDb);
        EXPECT_DOUBLE_EQ(f.loudness.integratedLufs, whole.loudness.integratedLufs);
        EXPECT_DOUBLE_EQ(f.loudness.truePeakDb, whole.loudness.truePeakDb);
    }
    // 80 whole 50 ms windows; half of them unchanged, half 6.02 dB down.
    EXPECT_EQ(whole.gain.windows, 80);
    EXPECT_NEAR(whole.gain.averageDb, -20.0 * std::log10(2.0) / 2.0, 1e-9);
    EXPECT_NEAR(whole.gain.largestDb, -20.0 * std::log10(2.0), 1e-9);
}

// 50 ms windows of a square wave at a level, and the gain the output has over each.
TEST(RenderStats, GainChangeIgnoresQuietWindowsAndKeepsCutsAndBoostsApart) {
    const std::size_t window = 2400;
    const double quiet = std::pow(10.0, -70.0 / 20.0);
    const double six = 20.0 * std::log10(2.0), twelve = 20.0 * std::log10(4.0);
    const double both = (six - twelve) / 2.0;
    const struct {
        const char* name;
        std::vector<std::pair<double, double>> windows; // level, gain
        int compared;
        double largest, cut, boost, average;
    } cases[] = {
        {"both ways", {{quiet, 10.0}, {0.5, 2.0}, {0.5, 0.25}}, 2, -twelve, -twelve, six, both},
        {"boosted only", {{0.5, 2.0}, {quiet, 0.1}, {0.5, 2.0}}, 2, six, 0.0, six, six},
        {"cut only", {{0.5, 0.25}, {0.5, 1.0}}, 2, -twelve, -twelve, 0.0, -twelve / 2.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> in, out;
        for (const auto& [level, gain] : c.windows)
            for (std::size_t i = 0; i < window; ++i) {
                const double v = level * (i % 2 ? 1.0 : -1.0);
                in.push_back(v);
                out.push_back(v * gain);
            }
        InOutMeter meter(1, kRate);
        meter.Add(in.data(), out.data(), in.size() - 1);
        EXPECT_EQ(meter.Gain().windows, c.compared - 1) << "the last window is not complete yet";
        meter.Add(&in.back(), &out.back(), 1);
        const GainChange r = meter.Gain();
        EXPECT_EQ(r.windows, c.compared);
        EXPECT_NEAR(r.largestDb, c.largest, 1e-9);
        EXPECT_NEAR(r.cutDb, c.cut, 1e-9);
        EXPECT_NEAR(r.boostDb, c.boost, 1e-9);
        EXPECT_NEAR(r.averageDb, c.average, 1e-9);
    }
}

TEST(RenderStats, LoudnessOfSilenceMonoAndStereoSines) {
    LoudnessMeter silent(2, kRate);
    const std::vector<double> zeros(96000 * 2);
    silent.Add(zeros.data(), 96000);
    EXPECT_TRUE(std::isinf(silent.Result().integratedLufs));
    EXPECT_TRUE(std::isinf(silent.Result().truePeakDb));

    // A mono programme counts once (ITU-R BS.1770), 3 dB below the stereo sine, or as dual
    // mono on both loudspeakers, as loud as the stereo sine.
    const double peak = std::pow(10.0, -23.0 / 20.0);
    std::vector<double> mono, stereo;
    for (int i = 0; i < 48000 * 10; ++i) {
        const double v = peak * std::sin(2.0 * std::numbers::pi * i / 48.0);
        mono.push_back(v);
        stereo.insert(stereo.end(), {v, v});
    }
    LoudnessMeter one(1, kRate), dual(1, kRate, true), two(2, kRate);
    one.Add(mono.data(), mono.size());
    dual.Add(mono.data(), mono.size());
    two.Add(stereo.data(), mono.size());
    EXPECT_NEAR(two.Result().integratedLufs, -23.0, 0.1);
    EXPECT_NEAR(dual.Result().integratedLufs, two.Result().integratedLufs, 1e-9);
    EXPECT_NEAR(one.Result().integratedLufs, two.Result().integratedLufs - 10.0 * std::log10(2.0),
                1e-9);
    EXPECT_NEAR(two.Result().truePeakDb, -23.0, 0.05);
    EXPECT_NEAR(two.Result().rangeLu, 0.0, 0.1);
}

TEST(RenderStats, LevelTraceKeepsAnyLengthInItsColumns) {
    // Long enough to merge four times, with a ragged end and one spike.
    const std::size_t frames = LevelTrace::kColumns * 64 * 12 + 123;
    const std::size_t spikeAt = frames / 3;
    LevelTrace a(1, kRate), b(1, kRate);
    std::vector<double> in(frames, 0.5), out(frames, 0.25);
    in[spikeAt] = 0.9;
    a.Add(in.data(), out.data(), frames);
    for (std::size_t at = 0; at < frames; at += 1000)
        b.Add(&in[at], &out[at], std::min<std::size_t>(1000, frames - at));

    ASSERT_LE(a.Columns().size(), LevelTrace::kColumns);
    EXPECT_EQ(a.Span(), 64u * 16u);
    EXPECT_EQ(a.Columns().size(), (frames + a.Span() - 1) / a.Span());
    EXPECT_EQ(b.Span(), a.Span());
    ASSERT_EQ(b.Columns().size(), a.Columns().size());
    uint64_t samples = 0;
    for (std::size_t c = 0; c < a.Columns().size(); ++c) {
        const LevelTrace::Column& col = a.Columns()[c];
        samples += col.samples;
        EXPECT_EQ(col.samples, b.Columns()[c].samples);
        EXPECT_EQ(col.inPeak, c == spikeAt / a.Span() ? 0.9 : 0.5) << c;
        EXPECT_EQ(col.outPeak, 0.25);
        EXPECT_NEAR(col.outSquares / static_cast<double>(col.samples), 0.0625, 1e-12);
    }
    EXPECT_EQ(samples, frames);
    EXPECT_EQ(a.Frames(), frames);
}

// A wandering level, whose range (18.41 LU) falls between a histogram's 0.1 LU steps:
// both figures are the exact mode's, to the last bit.
TEST(RenderStats, IntegratedLoudnessAndRangeAreTheExactModes) {
    std::vector<double> frames;
    for (int i = 0; i < 48000 * 40; ++i) {
        const double t = i / kRate;
        const double db = -26.0 + 7.0 * std::sin(t / 4.7) + 0.37 * t;
        const double v = std::pow(10.0, db / 20.0) * std::sin(2.0 * std::numbers::pi * i / 48.0);
        frames.insert(frames.end(), {v, v});
    }
    LoudnessMeter meter(2, kRate);
    meter.Add(frames.data(), frames.size() / 2);
    ebur128_state* exact = ebur128_init(2, 48000, EBUR128_MODE_I | EBUR128_MODE_LRA);
    ASSERT_NE(exact, nullptr);
    ebur128_add_frames_double(exact, frames.data(), frames.size() / 2);
    double integrated = 0.0, range = 0.0;
    ASSERT_EQ(ebur128_loudness_global(exact, &integrated), EBUR128_SUCCESS);
    ASSERT_EQ(ebur128_loudness_range(exact, &range), EBUR128_SUCCESS);
    ebur128_destroy(&exact);
    EXPECT_EQ(meter.Result().integratedLufs, integrated);
    EXPECT_EQ(meter.Result().rangeLu, range);
}

// libebur128's exact mode: no histogram, and its own true peak.
Loudness Exact(const std::vector<double>& frames, unsigned long rate) {
    ebur128_state* s =
        ebur128_init(2, rate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    EXPECT_NE(s, nullptr);
    ebur128_add_frames_double(s, frames.data(), frames.size() / 2);
    Loudness l{};
    EXPECT_EQ(ebur128_loudness_global(s, &l.integratedLufs), EBUR128_SUCCESS);
    EXPECT_EQ(ebur128_loudness_range(s, &l.rangeLu), EBUR128_SUCCESS);
    double left = 0.0, right = 0.0;
    ebur128_true_peak(s, 0, &left);
    ebur128_true_peak(s, 1, &right);
    l.truePeakDb = 20.0 * std::log10(std::max(left, right));
    ebur128_destroy(&s);
    return l;
}

// A sine of amplitude 1 (0 dBTP) at rate / divisor, its samples `degrees` into its cycle,
// on both channels: the true-peak cases of EBU Tech 3341, where the crest falls between
// the samples. It fades in and out over 50 ms, so that no step rings.
std::vector<double> Sine(double rate, double divisor, double degrees) {
    std::vector<double> frames;
    const int count = static_cast<int>(rate) * 5;
    const double fade = 0.05 * rate;
    for (int i = 0; i < count; ++i) {
        const double edge = std::min({1.0, i / fade, (count - 1 - i) / fade});
        const double v = edge * std::sin(2.0 * std::numbers::pi * i / divisor +
                                         degrees * std::numbers::pi / 180.0);
        frames.insert(frames.end(), {v, v});
    }
    return frames;
}

TEST(RenderStats, TruePeakLoudnessAndRangeAgreeWithTheExactMode) {
    const StereoSignal drums = MakeDemoSignal(kRate, 12.0);
    std::vector<double> loop;
    for (std::size_t i = 0; i < drums.left.size(); ++i)
        loop.insert(loop.end(), {drums.left[i], drums.right[i]});
    const struct {
        const char* name;
        double rate;
        std::vector<double> frames;
    } cases[] = {{"fs/4 at 0 degrees", 48000, Sine(48000, 4, 0)},
                 {"fs/4 at 45 degrees", 48000, Sine(48000, 4, 45)},
                 {"fs/6 at 60 degrees", 48000, Sine(48000, 6, 60)},
                 {"fs/8 at 67.5 degrees", 48000, Sine(48000, 8, 67.5)},
                 {"fs/4 at 45 degrees, 44.1 kHz", 44100, Sine(44100, 4, 45)},
                 {"fs/4 at 45 degrees, 96 kHz", 96000, Sine(96000, 4, 45)},
                 {"the demo loop", kRate, loop}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoudnessMeter meter(2, c.rate);
        meter.Add(c.frames.data(), c.frames.size() / 2);
        const Loudness ours = meter.Result();
        const Loudness exact = Exact(c.frames, static_cast<unsigned long>(c.rate));
        EXPECT_NEAR(ours.truePeakDb, exact.truePeakDb, 0.05);
        EXPECT_NEAR(ours.integratedLufs, exact.integratedLufs, 0.1);
        EXPECT_NEAR(ours.rangeLu, exact.rangeLu, 0.1);
        // The AVX2 and the baseline code give the same figure, bit for bit.
        TruePeakMeter wide(2, c.rate, TruePeakMeter::Path::Wide),
            narrow(2, c.rate, TruePeakMeter::Path::Narrow);
        wide.Add(c.frames.data(), c.frames.size() / 2);
        narrow.Add(c.frames.data(), c.frames.size() / 2);
        EXPECT_EQ(wide.Peak(), narrow.Peak());
    }
}

// A NaN in a file is no peak, on either code path; the samples themselves count.
TEST(RenderStats, NanIsNoPeakAndBothCodePathsAgree) {
    std::vector<double> frames(4096 * 2, 0.0);
    frames[2000] = 0.5;
    frames[2001] = std::nan("");
    frames[3001] = -std::nan("");
    InOutMeter levels(2, kRate);
    levels.Add(frames.data(), frames.data(), 4096);
    EXPECT_EQ(levels.In().peakDb, ToDecibels(0.5));
    TruePeakMeter wide(2, kRate, TruePeakMeter::Path::Wide);
    TruePeakMeter narrow(2, kRate, TruePeakMeter::Path::Narrow);
    wide.Add(frames.data(), 4096);
    narrow.Add(frames.data(), 4096);
    EXPECT_GE(wide.Peak(), 0.5);
    EXPECT_LT(wide.Peak(), 1.0);
    EXPECT_EQ(wide.Peak(), narrow.Peak());
}

} // namespace
