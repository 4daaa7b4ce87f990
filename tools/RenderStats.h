#pragma once

#include <vector>

// Measures of a render that work for any plug-in: levels of the whole signal,
// and the change of short-term level from input to output.
using Channels = std::vector<std::vector<double>>;

struct Levels {
    double peakDb;
    double rmsDb;
};

struct GainChange {
    int windows = 0;        // short-term windows loud enough to compare
    double largestDb = 0.0; // the change of largest size, with its sign
    double averageDb = 0.0;
};

double ToDecibels(double amplitude);
Levels MeasureLevels(const Channels& audio);
GainChange MeasureGainChange(const Channels& in, const Channels& out, double sampleRate);
