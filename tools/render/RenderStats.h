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

// Output level minus input level over short-term windows, make-up gain included.
struct GainChange {
    int windows = 0;        // short-term windows loud enough to compare
    double largestDb = 0.0; // the change of largest size, with its sign
    double cutDb = 0.0;     // the lowest change, where a window was cut; else 0
    double boostDb = 0.0;   // the highest change, where a window was boosted; else 0
    double averageDb = 0.0;
};

// EBU R 128 figures; -inf where the audio is too quiet or short to measure.
struct Loudness {
    double integratedLufs;
    double rangeLu;
    double truePeakDb;
};

// -inf for silence.
double ToDecibels(double amplitude);

// Sums of squares and peaks in four lanes, each sample in the lane of its place in the
// whole run: the figures do not depend on how the run is cut into blocks, and the
// compiler can keep the lanes in vector registers. Float samples are summed as doubles.
struct SampleLanes {
    static constexpr std::size_t kLanes = 4;
    double squares[kLanes] = {};
    uint64_t peaks[kLanes] = {}; // |x| as bits, whose order is the order of the magnitudes

    // n samples, the first of them at `position` in the run.
    template <class Sample> void Add(const Sample* samples, std::size_t n, uint64_t position);
    // Another run's lanes, lane by lane.
    void Merge(const SampleLanes& other);
    double Squares() const;
    double Peak() const;
};

// The levels of the input and the output, and the change of short-term (50 ms) level from
// one to the other: one pass over each side. Each window's sums go into the whole run's.
class InOutMeter {
public:
    InOutMeter(int channels, double sampleRate);
    template <class Sample> void Add(const Sample* in, const Sample* out, std::size_t count);
    Levels In() const;
    Levels Out() const;
    GainChange Gain() const;

private:
    struct Side {
        SampleLanes window, whole; // whole: the windows completed
        Levels Result(uint64_t sampleCount) const;
    };
    void CloseWindow();

    int channels;
    std::size_t window;
    std::size_t filled = 0;
    uint64_t samples = 0; // per side, all channels
    Side in, out;
    double total = 0.0;
    GainChange result;
};

// Integrated loudness and loudness range through libebur128 in its exact mode, true peak
// through our own oversampler (libebur128's costs several times as much for the same
// figure). The exact mode keeps every gating block, about 1.5 MiB an hour: the histogram
// would keep memory flat but is good to 0.1 LU only.
class LoudnessMeter {
public:
    // false from Valid() when libebur128 refuses the layout or the rate. A mono channel
    // counts once (ITU-R BS.1770), or twice where dualMono (the EBU's reading, +3 dB).
    LoudnessMeter(int channels, double sampleRate, bool dualMono = false);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool Valid() const { return state != nullptr; }
    // Why libebur128 refused to measure, or "" when it measures.
    std::string Refusal() const;
    template <class Sample> void Add(const Sample* frames, std::size_t count);
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
    template <class Sample> void Add(const Sample* in, const Sample* out, std::size_t count);
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
