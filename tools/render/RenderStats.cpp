#include "RenderStats.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {
constexpr double kWindowSeconds = 0.05;
// Windows quieter than this on the input say nothing about a gain.
constexpr double kQuietestWindowDb = -60.0;
constexpr double kFloorDb = -200.0;

ebur128_state* Ebur(void* state) {
    return static_cast<ebur128_state*>(state);
}
} // namespace

double ToDecibels(double amplitude) {
    return amplitude > 0.0 ? std::max(20.0 * std::log10(amplitude), kFloorDb) : kFloorDb;
}

void LevelMeter::Add(const double* frames, std::size_t count, int channels) {
    const std::size_t n = count * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < n; ++i) {
        peak = std::max(peak, std::fabs(frames[i]));
        squares += frames[i] * frames[i];
    }
    samples += n;
}

Levels LevelMeter::Result() const {
    return {ToDecibels(peak),
            ToDecibels(samples ? std::sqrt(squares / static_cast<double>(samples)) : 0.0)};
}

GainChangeMeter::GainChangeMeter(int channelCount, double sampleRate)
    : channels(channelCount),
      window(std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate * kWindowSeconds))) {}

void GainChangeMeter::Add(const double* in, const double* out, std::size_t count) {
    const auto width = static_cast<std::size_t>(channels);
    for (std::size_t frame = 0; frame < count; ++frame) {
        for (std::size_t ch = 0; ch < width; ++ch) {
            const double a = in[frame * width + ch];
            const double b = out[frame * width + ch];
            inSquares += a * a;
            outSquares += b * b;
        }
        if (++filled < window)
            continue;
        const double samples = static_cast<double>(window * width);
        const double inDb = 10.0 * std::log10(std::max(inSquares / samples, 1e-30));
        if (inDb >= kQuietestWindowDb) {
            const double change = 10.0 * std::log10(std::max(outSquares / samples, 1e-30)) - inDb;
            if (result.windows == 0 || std::fabs(change) > std::fabs(result.largestDb))
                result.largestDb = change;
            total += change;
            ++result.windows;
        }
        filled = 0;
        inSquares = outSquares = 0.0;
    }
}

GainChange GainChangeMeter::Result() const {
    GainChange r = result;
    if (r.windows)
        r.averageDb = total / r.windows;
    return r;
}

double RoundedRange(double rangeLu) {
    return std::round(rangeLu * 10.0) / 10.0;
}

LoudnessMeter::LoudnessMeter(int channelCount, double sampleRate)
    : channels(channelCount), rate(sampleRate), truePeak(channelCount, sampleRate) {
    // The histogram keeps the gating in fixed memory at any length.
    ebur128_state* s =
        ebur128_init(static_cast<unsigned>(channelCount), static_cast<unsigned long>(sampleRate),
                     EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM);
    // A mono programme is heard on both loudspeakers.
    if (s && channelCount == 1)
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

void LoudnessMeter::Add(const double* frames, std::size_t count) {
    if (state)
        ebur128_add_frames_double(Ebur(state), frames, count);
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

void LevelTrace::Add(const double* in, const double* out, std::size_t count) {
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
            const double a = in[frame * width + ch];
            const double b = out[frame * width + ch];
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
