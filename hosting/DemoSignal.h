#pragma once

#include <vector>

// A deterministic drum-like stereo signal with a sustained tone under it: the
// material the demo and the benchmarks push through the compressor.
struct StereoSignal {
    std::vector<double> left;
    std::vector<double> right;
};

StereoSignal MakeDemoSignal(double sampleRate, double seconds);
