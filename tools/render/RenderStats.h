#pragma once

#include "TruePeak.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Measures of a render that work for any plug-in, fed block by block with
// interleaved frames: running sums and short windows only, so that their
// memory does not grow with the length of the audio.

struct Levels {
    double peakDb;
    double rmsDb;
};

struct GainChange {
    int windows = 0;        // short-term windows loud enough to compare
    double largestDb = 0.0; // the change of largest size, with its sign
    double averageDb = 0.0;
};

// EBU R 128 figures; -inf where the audio is too quiet or short to measure. The range
// is libebur128's histogram mode's, which is good to about 0.1 LU: RoundedRange gives it
// to what it means, for showing.
struct Loudness {
    double integratedLufs;
    double rangeLu;
    double truePeakDb;
};

double RoundedRange(double rangeLu);

double ToDecibels(double amplitude);

// Sums of squares and peaks in four lanes, each sample in the lane of its place in the
// whole run: the figures do not depend on how the run is cut into blocks, and the
// compiler can keep the lanes in vector registers.
struct SampleLanes {
    static constexpr std::size_t kLanes = 4;
    double squares[kLanes] = {};
    uint64_t peaks[kLanes] = {}; // |x| as bits, whose order is the order of the magnitudes

    // n samples, the first of them at `position` in the run.
    void Add(const double* samples, std::size_t n, uint64_t position);
    double Squares() const;
    double Peak() const;
};

class LevelMeter {
public:
    void Add(const double* frames, std::size_t count, int channels);
    Levels Result() const;

private:
    SampleLanes lanes;
    uint64_t samples = 0;
};

// The change of short-term (50 ms) level from input to output.
class GainChangeMeter {
public:
    GainChangeMeter(int channels, double sampleRate);
    void Add(const double* in, const double* out, std::size_t count);
    GainChange Result() const;

private:
    int channels;
    std::size_t window;
    std::size_t filled = 0;
    SampleLanes inWindow, outWindow;
    double total = 0.0;
    GainChange result;
};

// Integrated loudness and loudness range through libebur128, true peak through our own
// oversampler (libebur128's costs several times as much for the same figure).
class LoudnessMeter {
public:
    // false from Valid() when libebur128 refuses the layout or the rate.
    LoudnessMeter(int channels, double sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool Valid() const { return state != nullptr; }
    // Why libebur128 refused to measure, or "" when it measures.
    std::string Refusal() const;
    void Add(const double* frames, std::size_t count);
    Loudness Result() const;

private:
    void* state = nullptr; // ebur128_state
    int channels;
    double rate;
    TruePeakMeter truePeak;
};

// Levels over time for a picture: at most kColumns columns of equal span, in and
// out mean square and peak each; when the columns run out, neighbours merge and the
// span doubles, so any length fits in the same memory.
class LevelTrace {
public:
    static constexpr std::size_t kColumns = 2048;
    struct Column {
        double inSquares = 0.0;
        double outSquares = 0.0;
        double inPeak = 0.0;
        double outPeak = 0.0;
        uint64_t samples = 0; // per side, all channels
    };

    LevelTrace(int channels, double sampleRate);
    void Add(const double* in, const double* out, std::size_t count);
    const std::vector<Column>& Columns() const { return columns; }
    // Frames each column covers (the last one possibly fewer).
    uint64_t Span() const { return span; }
    uint64_t Frames() const { return frames; }
    double SampleRate() const { return sampleRate; }

private:
    void Merge();

    int channels;
    double sampleRate;
    uint64_t span = 64;
    uint64_t frames = 0;
    std::vector<Column> columns;
};
