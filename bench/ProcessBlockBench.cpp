// ProcessBlock cost per frame on 48 kHz stereo blocks of 512 frames.
#include "DemoSignal.h"
#include "Quelor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {
constexpr double kSampleRate = 48000.0;
constexpr int kBlock = 512;

class BenchEffect {
public:
    BenchEffect(int stereoMode, bool brickwall, double threshold = 0.0, double ratio = 3.0,
                double gain = 0.0) {
        effect.ChangeSampleRate(kSampleRate);
        effect.SetMaxBlockSize(kBlock);
        effect.MarkInputsConnected(0, 4, true);
        effect.MarkOutputsConnected(0, 2, true);
        Set(Quelor::kStereoMode, stereoMode);
        Set(Quelor::kBrickwall, brickwall ? Quelor::kBrickwallOn : Quelor::kBrickwallOff);
        Set(Quelor::kThreshold, threshold);
        Set(Quelor::kRatio, ratio);
        Set(Quelor::kGain, gain);
        for (int i = 0; i < effect.ParameterCount(); ++i)
            effect.ParameterChanged(i);
        effect.ResetProcessing();
    }

    // As a host's automation does, between blocks.
    void Change(int index, double value) {
        Set(index, value);
        effect.ParameterChanged(index);
    }

    Quelor effect;

private:
    void Set(int index, double value) {
        IParameter* parameter = effect.ParameterAt(index);
        parameter->SetFromNormalized(parameter->Normalize(value));
    }
};

// Runs the effect over the signal block by block; beforeBlock, when given, gets the
// number of each block before it runs.
void RunBlocks(benchmark::State& state, BenchEffect& bench, StereoSignal& signal,
               const std::function<void(std::size_t)>& beforeBlock = {}) {
    std::vector<double> silence(kBlock, 0.0), outLeft(kBlock), outRight(kBlock);
    const std::size_t blocks = signal.left.size() / kBlock;
    std::size_t block = 0;
    for (auto _ : state) {
        if (beforeBlock)
            beforeBlock(block);
        const std::size_t at = block * kBlock;
        double* in[4] = {&signal.left[at], &signal.right[at], silence.data(), silence.data()};
        double* out[2] = {outLeft.data(), outRight.data()};
        bench.effect.ProcessBlock(in, out, kBlock);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        block = (block + 1) % blocks;
    }
    state.counters["per_frame"] = benchmark::Counter(
        kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Drum material at the default settings: one case per stereo mode and brickwall setting.
void BM_ProcessBlock(benchmark::State& state) {
    BenchEffect bench(static_cast<int>(state.range(0)), state.range(1) != 0);
    StereoSignal signal = MakeDemoSignal(kSampleRate, 2.0);
    RunBlocks(state, bench, signal);
}
BENCHMARK(BM_ProcessBlock)
    ->ArgNames({"stereo_mode", "brickwall"})
    ->ArgsProduct({{Quelor::kStereoAverage, Quelor::kStereoMaximum, Quelor::kStereoDualMono},
                   {0, 1}});

// Every sample above the threshold and, after make-up, above the ceiling: pow on
// every sample of both stages.
void BM_ProcessBlockAlwaysAbove(benchmark::State& state) {
    BenchEffect bench(Quelor::kStereoDualMono, true, -60.0, 1.1, 3.0);
    StereoSignal signal{std::vector<double>(kBlock * 16), std::vector<double>(kBlock * 16)};
    for (std::size_t i = 0; i < signal.left.size(); ++i) {
        const double phase = 2.0 * std::numbers::pi * 100.0 * static_cast<double>(i) / kSampleRate;
        signal.left[i] = 1.5 + 0.4 * std::sin(phase);
        signal.right[i] = -1.5 - 0.4 * std::cos(phase);
    }
    RunBlocks(state, bench, signal);
}
BENCHMARK(BM_ProcessBlockAlwaysAbove);

// Dual Mono, brickwall on, threshold -20 dB; with gliding:1, Gain, Mix, Attenuation,
// Threshold and Ratio change before every block, so that every pass glides almost
// all the time: automation's cost, against gliding:0 at the same settings.
void BM_ProcessBlockAutomated(benchmark::State& state) {
    BenchEffect bench(Quelor::kStereoDualMono, true, -20.0);
    StereoSignal signal = MakeDemoSignal(kSampleRate, 2.0);
    if (state.range(0) == 0) {
        RunBlocks(state, bench, signal);
        return;
    }
    RunBlocks(state, bench, signal, [&](std::size_t block) {
        const bool odd = block % 2 != 0;
        bench.Change(Quelor::kGain, odd ? 3.0 : 0.0);
        bench.Change(Quelor::kMix, odd ? 80.0 : 100.0);
        bench.Change(Quelor::kAttenuation, odd ? -3.0 : 0.0);
        bench.Change(Quelor::kThreshold, odd ? -24.0 : -20.0);
        bench.Change(Quelor::kRatio, odd ? 4.0 : 3.0);
    });
}
BENCHMARK(BM_ProcessBlockAutomated)->ArgName("gliding")->Arg(0)->Arg(1);
} // namespace
