#include "RenderStats.h"

#include "WideCode.h"

#include <ebur128.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace {
constexpr double kWindowSeconds = 0.05;
// Windows quieter than this on the input say nothing about a gain.
constexpr double kQuietestWindowDb = -60.0;

ebur128_state* Ebur(void* state) {
    return static_cast<ebur128_state*>(state);
}
} // namespace

double ToDecibels(double amplitude) {
    return 20.0 * std::log10(amplitude);
}

namespace {
constexpr std::size_t kLanes = SampleLanes::kLanes;
constexpr uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull;
constexpr uint64_t kInfinity = 0x7FF0000000000000ull;

// NaN is no peak: a mask rather than a choice, which the compiler would not vectorise.
[[gnu::always_inline]] inline uint64_t MagnitudeBits(double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v) & kMagnitude;
    return bits & (0u - static_cast<uint64_t>(bits <= kInfinity));
}

// Whole groups of kLanes samples; local lanes, which the samples cannot alias.
struct LaneSums {
    template <class Sample>
    [[gnu::always_inline]] static int Run(const Sample* x, std::size_t n, double* squares,
                                          uint64_t* peaks) {
        double sums[kLanes];
        uint64_t highs[kLanes];
        std::copy(squares, squares + kLanes, sums);
        std::copy(peaks, peaks + kLanes, highs);
        for (std::size_t i = 0; i + kLanes <= n; i += kLanes)
            for (std::size_t lane = 0; lane < kLanes; ++lane) {
                const auto v = static_cast<double>(x[i + lane]);
                sums[lane] += v * v;
                highs[lane] = std::max(highs[lane], MagnitudeBits(v));
            }
        std::copy(sums, sums + kLanes, squares);
        std::copy(highs, highs + kLanes, peaks);
        return 0;
    }
};

double Db(double squares, uint64_t samples) {
    return 10.0 * std::log10(std::max(squares / static_cast<double>(samples), 1e-30));
}
} // namespace

template <class Sample> void SampleLanes::Add(const Sample* x, std::size_t n, uint64_t position) {
    const auto one = [&](double v, std::size_t lane) {
        squares[lane] += v * v;
        peaks[lane] = std::max(peaks[lane], MagnitudeBits(v));
    };
    std::size_t i = 0;
    for (; i < n && (position + i) % kLanes != 0; ++i)
        one(static_cast<double>(x[i]), (position + i) % kLanes);
    const std::size_t whole = (n - i) / kLanes * kLanes;
    WideCode::Run<LaneSums>(WideCode::ProcessorHasAvx2(), x + i, whole, squares, peaks);
    for (i += whole; i < n; ++i)
        one(static_cast<double>(x[i]), (position + i) % kLanes);
}

void SampleLanes::Merge(const SampleLanes& other) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        squares[lane] += other.squares[lane];
        peaks[lane] = std::max(peaks[lane], other.peaks[lane]);
    }
}

double SampleLanes::Squares() const {
    return (squares[0] + squares[1]) + (squares[2] + squares[3]);
}

double SampleLanes::Peak() const {
    return std::bit_cast<double>(
        std::max(std::max(peaks[0], peaks[1]), std::max(peaks[2], peaks[3])));
}

InOutMeter::InOutMeter(int channelCount, double sampleRate)
    : channels(channelCount),
      window(std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate * kWindowSeconds))) {}

template <class Sample>
void InOutMeter::Add(const Sample* inFrames, const Sample* outFrames, std::size_t count) {
    const auto width = static_cast<std::size_t>(channels);
    while (count > 0) {
        // As far as the end of the window, in one stretch.
        const std::size_t n = std::min(count, window - filled);
        in.window.Add(inFrames, n * width, filled * width);
        out.window.Add(outFrames, n * width, filled * width);
        inFrames += n * width;
        outFrames += n * width;
        count -= n;
        filled += n;
        samples += n * width;
        if (filled == window)
            CloseWindow();
    }
}

void InOutMeter::CloseWindow() {
    const uint64_t windowSamples = window * static_cast<std::size_t>(channels);
    const double inDb = Db(in.window.Squares(), windowSamples);
    if (inDb >= kQuietestWindowDb) {
        const double change = Db(out.window.Squares(), windowSamples) - inDb;
        if (result.windows == 0 || std::fabs(change) > std::fabs(result.largestDb))
            result.largestDb = change;
        result.cutDb = std::min(result.cutDb, change);
        result.boostDb = std::max(result.boostDb, change);
        total += change;
        ++result.windows;
    }
    for (Side* side : {&in, &out}) {
        side->whole.Merge(side->window);
        side->window = SampleLanes{};
    }
    filled = 0;
}

Levels InOutMeter::Side::Result(uint64_t sampleCount) const {
    SampleLanes all = whole;
    all.Merge(window);
    const double meanSquare = sampleCount ? all.Squares() / static_cast<double>(sampleCount) : 0.0;
    return {ToDecibels(all.Peak()), ToDecibels(std::sqrt(meanSquare))};
}

Levels InOutMeter::In() const {
    return in.Result(samples);
}

Levels InOutMeter::Out() const {
    return out.Result(samples);
}

GainChange InOutMeter::Gain() const {
    GainChange r = result;
    if (r.windows)
        r.averageDb = total / r.windows;
    return r;
}

LoudnessMeter::LoudnessMeter(int channelCount, double sampleRate, bool dualMono)
    : channels(channelCount), rate(sampleRate), truePeak(channelCount, sampleRate) {
    ebur128_state* s =
        ebur128_init(static_cast<unsigned>(channelCount), static_cast<unsigned long>(sampleRate),
                     EBUR128_MODE_I | EBUR128_MODE_LRA);
    if (s && channelCount == 1 && dualMono)
        ebur128_set_channel(s, 0, EBUR128_DUAL_MONO);
    state = s;
}

LoudnessMeter::~LoudnessMeter() {
    ebur128_state* s = Ebur(state);
    if (s)
        ebur128_destroy(&s);
}

std::string LoudnessMeter::Refusal() const {
    if (state)
        return "";
    char text[96];
    std::snprintf(text, sizeof text, "libebur128 does not measure %d channel%s at %.0f Hz",
                  channels, channels == 1 ? "" : "s", rate);
    return text;
}

template <class Sample> void LoudnessMeter::Add(const Sample* frames, std::size_t count) {
    if (state) {
        if constexpr (std::is_same_v<Sample, float>)
            ebur128_add_frames_float(Ebur(state), frames, count);
        else
            ebur128_add_frames_double(Ebur(state), frames, count);
    }
    truePeak.Add(frames, count);
}

Loudness LoudnessMeter::Result() const {
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    Loudness result{kNone, kNone, kNone};
    if (const double peak = truePeak.Peak(); peak > 0.0)
        result.truePeakDb = 20.0 * std::log10(peak);
    if (!state)
        return result;
    double value = 0.0;
    if (ebur128_loudness_global(Ebur(state), &value) == EBUR128_SUCCESS && std::isfinite(value))
        result.integratedLufs = value;
    if (ebur128_loudness_range(Ebur(state), &value) == EBUR128_SUCCESS && std::isfinite(value))
        result.rangeLu = value;
    return result;
}

LevelTrace::LevelTrace(int channelCount, double rate) : channels(channelCount), sampleRate(rate) {
    columns.reserve(kColumns);
}

template <class Sample>
void LevelTrace::Add(const Sample* in, const Sample* out, std::size_t count) {
    const auto width = static_cast<std::size_t>(channels);
    for (std::size_t frame = 0; frame < count; ++frame, ++frames) {
        if (frames % span == 0) {
            // A full trace ends on a boundary of the doubled span too.
            if (columns.size() == kColumns)
                Merge();
            columns.emplace_back();
        }
        Column& c = columns.back();
        for (std::size_t ch = 0; ch < width; ++ch) {
            const auto a = static_cast<double>(in[frame * width + ch]);
            const auto b = static_cast<double>(out[frame * width + ch]);
            c.inSquares += a * a;
            c.outSquares += b * b;
            c.inPeak = std::max(c.inPeak, std::fabs(a));
            c.outPeak = std::max(c.outPeak, std::fabs(b));
        }
        c.samples += width;
    }
}

void LevelTrace::Merge() {
    for (std::size_t i = 0; i < columns.size() / 2; ++i) {
        const Column& a = columns[2 * i];
        const Column& b = columns[2 * i + 1];
        columns[i] = {a.inSquares + b.inSquares, a.outSquares + b.outSquares,
                      std::max(a.inPeak, b.inPeak), std::max(a.outPeak, b.outPeak),
                      a.samples + b.samples};
    }
    columns.resize(columns.size() / 2);
    span *= 2;
}

template void SampleLanes::Add(const float*, std::size_t, uint64_t);
template void SampleLanes::Add(const double*, std::size_t, uint64_t);
template void InOutMeter::Add(const float*, const float*, std::size_t);
template void InOutMeter::Add(const double*, const double*, std::size_t);
template void LoudnessMeter::Add(const float*, std::size_t);
template void LoudnessMeter::Add(const double*, std::size_t);
template void LevelTrace::Add(const float*, const float*, std::size_t);
template void LevelTrace::Add(const double*, const double*, std::size_t);
