// The true-peak meter's cost per sample on 48 kHz stereo: our interpolator on its AVX2
// and on its baseline code, and libebur128's true-peak mode for comparison.
#include "DemoSignal.h"
#include "TruePeak.h"

#include <benchmark/benchmark.h>
#include <ebur128.h>

#include <vector>

namespace {
constexpr double kSampleRate = 48000.0;
constexpr std::size_t kFrames = 4096;

std::vector<double> Interleaved() {
    const StereoSignal drums = MakeDemoSignal(kSampleRate, 1.0);
    std::vector<double> frames;
    for (std::size_t i = 0; i < kFrames; ++i)
        frames.insert(frames.end(), {drums.left[i], drums.right[i]});
    return frames;
}

void PerSample(benchmark::State& state) {
    state.counters["per_sample"] = benchmark::Counter(
        2 * kFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_TruePeak(benchmark::State& state, TruePeakMeter::Path path) {
    const std::vector<double> frames = Interleaved();
    TruePeakMeter meter(2, kSampleRate, path);
    for (auto _ : state) {
        meter.Add(frames.data(), kFrames);
        benchmark::DoNotOptimize(meter.Peak());
    }
    PerSample(state);
}
BENCHMARK_CAPTURE(BM_TruePeak, avx2, TruePeakMeter::Path::Wide);
BENCHMARK_CAPTURE(BM_TruePeak, baseline, TruePeakMeter::Path::Narrow);

void BM_LibEbur128TruePeak(benchmark::State& state) {
    const std::vector<double> frames = Interleaved();
    ebur128_state* meter =
        ebur128_init(2, static_cast<unsigned long>(kSampleRate), EBUR128_MODE_TRUE_PEAK);
    for (auto _ : state) {
        ebur128_add_frames_double(meter, frames.data(), kFrames);
        double peak = 0.0;
        ebur128_true_peak(meter, 0, &peak);
        benchmark::DoNotOptimize(peak);
    }
    ebur128_destroy(&meter);
    PerSample(state);
}
BENCHMARK(BM_LibEbur128TruePeak);
} // namespace
