#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// True peak by the method of ITU-R BS.1770-4 Annex 2: the signal oversampled four times
// by a polyphase interpolator of 12 taps per phase (48 in all), and the largest magnitude
// of the result. One phase lies on the samples themselves, so that the three others give
// the points a quarter, a half and three quarters of the way to the next sample: a sine
// at a quarter of the rate is read at its crest whatever its phase. Rates of 96 kHz and
// more are oversampled twice (the half-way points), of 192 kHz and more not at all.
// Fed block by block with interleaved frames; the figure does not depend on the blocks.
class TruePeakMeter {
public:
    // Wide is the AVX2 code, Narrow the baseline (SSE2); Chosen the widest the processor runs.
    enum class Path { Chosen, Wide, Narrow };

    TruePeakMeter(int channels, double sampleRate, Path path = Path::Chosen);
    template <class Sample> void Add(const Sample* frames, std::size_t count);
    // The largest magnitude over every channel, as a linear amplitude; 0 for silence.
    double Peak() const;

    static constexpr int kTaps = 12;
    struct Phases {
        float taps[3][kTaps];
    };

private:
    int channels;
    bool wide;
    Phases phases;
    uint32_t peakBits = 0; // |x| as float bits: their order is the order of the magnitudes
    std::vector<std::vector<float>> lines; // per channel: the last kTaps - 1 samples, then a chunk
};
