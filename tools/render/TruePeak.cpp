#include "TruePeak.h"

#include "WideCode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace {
constexpr int kTaps = TruePeakMeter::kTaps;
constexpr std::size_t kHistory = kTaps - 1;
constexpr std::size_t kChunk = 2048;
constexpr int kFactor = 4;
// The window spans the 48 taps: half of it on each side, in oversampled steps.
constexpr double kHalfSpan = kFactor * kTaps / 2;
constexpr uint32_t kMagnitude = 0x7FFFFFFFu;
constexpr uint32_t kInfinity = 0x7F800000u;

// The ideal interpolator, sin(pi d) / (pi d), under a raised-cosine window over the 48
// taps: phase p of 4 weighs the sample `distance` samples from the point it gives.
double Tap(double distance) {
    if (distance == 0.0)
        return 1.0;
    const double t = kFactor * distance;
    const double window = 0.5 * (1.0 + std::cos(std::numbers::pi * t / kHalfSpan));
    return std::sin(std::numbers::pi * distance) / (std::numbers::pi * distance) * window;
}

// Window position i holds the sample i - 5 samples from the one before the point, which
// lies p quarters of the way to the next: 5 samples before it, 6 after. A rate
// oversampled less leaves the phases it does not use at zero.
TruePeakMeter::Phases FilterPhases(int factor) {
    TruePeakMeter::Phases phases{};
    for (int p = 1; p < kFactor; ++p) {
        if (p * factor % kFactor != 0)
            continue;
        for (int i = 0; i < kTaps; ++i)
            phases.taps[p - 1][i] =
                static_cast<float>(Tap(i - 5 - static_cast<double>(p) / kFactor));
    }
    return phases;
}

// NaN is no peak: it counts as silence, as in the level meter. A mask rather than a
// choice, which the compiler would not vectorise.
[[gnu::always_inline]] inline uint32_t MagnitudeBits(float v) {
    const uint32_t bits = std::bit_cast<uint32_t>(v) & kMagnitude;
    return bits & (0u - static_cast<uint32_t>(bits <= kInfinity));
}

struct Convert {
    template <class Sample>
    [[gnu::always_inline]] static uint32_t Run(const Sample* frames, std::size_t width,
                                               std::size_t n, float* line) {
        uint32_t peak = 0;
        for (std::size_t i = 0; i < n; ++i) {
            line[i] = static_cast<float>(frames[i * width]);
            peak = std::max(peak, MagnitudeBits(line[i]));
        }
        return peak;
    }
};

// The points between the samples: window k ends on sample k of the chunk. Each phase in
// a pass of its own, so that its 12 taps stay in registers across the loop.
struct Interpolate {
    [[gnu::always_inline]] static uint32_t Run(const float* line, std::size_t n,
                                               const TruePeakMeter::Phases* phases) {
        uint32_t peak = 0;
        for (const auto& taps : phases->taps) {
            float h[kTaps];
            std::copy(std::begin(taps), std::end(taps), h);
            for (std::size_t k = 0; k < n; ++k) {
                float y = 0.0f;
                for (int i = 0; i < kTaps; ++i)
                    y += h[i] * line[k + static_cast<std::size_t>(i)];
                peak = std::max(peak, MagnitudeBits(y));
            }
        }
        return peak;
    }
};

int Oversampling(double sampleRate) {
    return sampleRate >= 192000.0 ? 1 : sampleRate >= 96000.0 ? 2 : kFactor;
}
} // namespace

TruePeakMeter::TruePeakMeter(int channelCount, double sampleRate, Path path)
    : channels(channelCount),
      wide(path == Path::Wide || (path == Path::Chosen && WideCode::ProcessorHasAvx2())),
      phases(FilterPhases(Oversampling(sampleRate))),
      lines(static_cast<std::size_t>(channelCount), std::vector<float>(kHistory + kChunk)) {}

template <class Sample> void TruePeakMeter::Add(const Sample* frames, std::size_t count) {
    const auto width = static_cast<std::size_t>(channels);
    for (std::size_t at = 0; at < count; at += kChunk) {
        const std::size_t n = std::min(kChunk, count - at);
        for (std::size_t ch = 0; ch < width; ++ch) {
            float* line = lines[ch].data();
            const Sample* first = frames + at * width + ch;
            peakBits =
                std::max(peakBits, WideCode::Run<Convert>(wide, first, width, n, line + kHistory));
            peakBits = std::max(peakBits, WideCode::Run<Interpolate>(
                                              wide, static_cast<const float*>(line), n, &phases));
            std::copy(line + n, line + n + kHistory, line);
        }
    }
}

double TruePeakMeter::Peak() const {
    return static_cast<double>(std::bit_cast<float>(peakBits));
}

template void TruePeakMeter::Add(const float*, std::size_t);
template void TruePeakMeter::Add(const double*, std::size_t);
