#pragma once

#include "AudioFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A file's frames at another rate through libsoxr: its high quality (sox's `rate -h`),
// computed in double precision, with linear phase and the filter's delay taken out, so
// that the audio starts when it did and lasts as long. It streams, in fixed memory, and
// gives the same frames however many are asked for at a time.
class Resampler {
public:
    // Null with a one-line reason in error where libsoxr refuses the rates.
    static std::unique_ptr<Resampler> Open(AudioReader& source, double rate, std::string* error);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // count interleaved frames into data, fewer only at the end; 0 at the end, or from a
    // read that failed, which Error() then tells.
    template <class Sample> std::size_t Read(Sample* data, std::size_t count);
    std::string Error() const { return error.empty() ? source.Error() : error; }

    // The frames that `frames` at `from` come to at `to`, as libsoxr gives them; -1 stays.
    static int64_t Frames(int64_t frames, double from, double to);

private:
    Resampler(AudioReader& source, void* state);
    std::size_t Resample(double* out, std::size_t count);

    AudioReader& source;
    void* state; // soxr_t
    std::size_t width;
    std::vector<double> input, scratch;
    std::size_t inputAt = 0, inputLeft = 0;
    bool inputOver = false;
    bool drained = false;
    std::string error;
};
