// Offline demo: a synthetic drum track through a Quelor set to compress hard,
// printing what went in, what came out and the deepest gain reduction.
#include "DemoSignal.h"
#include "Quelor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr double kSampleRate = 48000.0;
constexpr int kBlock = 512;

double Decibels(double amplitude) {
    return 20.0 * std::log10(std::max(amplitude, 1e-12));
}

void SetParameter(Quelor& effect, int index, double value) {
    IParameter* parameter = effect.ParameterAt(index);
    effect.SetParameterFromGUI(index, parameter->Normalize(value));
}
} // namespace

int main() {
    Quelor effect;
    effect.ChangeSampleRate(kSampleRate);
    effect.SetMaxBlockSize(kBlock);
    effect.MarkInputsConnected(0, 2, true);
    effect.MarkOutputsConnected(0, 2, true);
    for (int i = 0; i < effect.ParameterCount(); ++i)
        effect.ParameterChanged(i);
    SetParameter(effect, Quelor::kThreshold, -24.0);
    SetParameter(effect, Quelor::kRatio, 6.0);
    SetParameter(effect, Quelor::kAttack, 2.0);
    SetParameter(effect, Quelor::kRelease, 120.0);
    SetParameter(effect, Quelor::kGain, 9.0);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    effect.ResetProcessing();

    StereoSignal in = MakeDemoSignal(kSampleRate, 4.0);
    std::vector<double> outLeft(in.left.size()), outRight(in.left.size());
    double peakIn = 0.0, peakOut = 0.0, lowestGain = 1.0;
    const auto frames = static_cast<int>(in.left.size());
    for (int done = 0; done < frames; done += kBlock) {
        const int n = std::min(kBlock, frames - done);
        const auto at = static_cast<std::size_t>(done);
        effect.BindInputBuffers(0, 2, std::vector<double*>{&in.left[at], &in.right[at]}.data());
        effect.BindOutputBuffers(0, 2, std::vector<double*>{&outLeft[at], &outRight[at]}.data());
        effect.RunBlockDouble(n);
        lowestGain = std::min(lowestGain, effect.GrDisplay());
    }
    for (std::size_t i = 0; i < in.left.size(); ++i) {
        peakIn = std::max({peakIn, std::fabs(in.left[i]), std::fabs(in.right[i])});
        peakOut = std::max({peakOut, std::fabs(outLeft[i]), std::fabs(outRight[i])});
    }
    std::printf("Quelor demo: %.1f s of drums at %.0f Hz, threshold -24 dB, ratio 6, "
                "make-up +9 dB, brickwall on\n",
                static_cast<double>(frames) / kSampleRate, kSampleRate);
    std::printf("peak in:            %7.2f dBFS\n", Decibels(peakIn));
    std::printf("peak out:           %7.2f dBFS\n", Decibels(peakOut));
    std::printf("max gain reduction: %7.2f dB\n", -Decibels(lowestGain));
    return 0;
}
