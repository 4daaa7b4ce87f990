#include "Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace {
// Frames read from the file at a time: the same whatever the caller asks for.
constexpr std::size_t kChunkFrames = 8192;
// Frames converted at a time for a caller that takes float.
constexpr std::size_t kScratchFrames = 4096;

soxr_t Soxr(void* state) {
    return static_cast<soxr_t>(state);
}
} // namespace

std::unique_ptr<Resampler> Resampler::Open(AudioReader& source, double rate, std::string* error) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_DOUBLE_PRECISION);
    // One thread: the pipeline's other stages have the rest.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t refused = nullptr;
    soxr_t state = soxr_create(source.SampleRate(), rate, static_cast<unsigned>(source.Channels()),
                               &refused, &io, &quality, &runtime);
    if (refused || !state) {
        char text[160];
        std::snprintf(text, sizeof text, "libsoxr cannot resample %.0f Hz to %.0f Hz: %s",
                      source.SampleRate(), rate, refused ? refused : "no resampler");
        *error = text;
        soxr_delete(state);
        return nullptr;
    }
    return std::unique_ptr<Resampler>(new Resampler(source, state));
}

Resampler::Resampler(AudioReader& from, void* soxr)
    : source(from), state(soxr), width(static_cast<std::size_t>(from.Channels())),
      input(kChunkFrames * width) {}

Resampler::~Resampler() {
    soxr_delete(Soxr(state));
}

int64_t Resampler::Frames(int64_t frames, double from, double to) {
    return frames < 0 ? frames : std::llround(static_cast<double>(frames) * to / from);
}

std::size_t Resampler::Resample(double* out, std::size_t count) {
    std::size_t given = 0;
    while (given < count && !drained) {
        if (inputLeft == 0 && !inputOver) {
            inputLeft = source.Read(input.data(), kChunkFrames);
            inputAt = 0;
            if (!source.Error().empty())
                return 0;
            inputOver = inputLeft == 0;
        }
        // Input left over stays for the next call; none, and libsoxr gives what it holds.
        std::size_t used = 0, made = 0;
        const soxr_error_t failed =
            soxr_process(Soxr(state), inputOver ? nullptr : &input[inputAt * width], inputLeft,
                         &used, &out[given * width], count - given, &made);
        if (failed) {
            error = std::string("libsoxr failed: ") + failed;
            return 0;
        }
        inputAt += used;
        inputLeft -= used;
        given += made;
        drained = inputOver && made == 0;
    }
    return given;
}

template <class Sample> std::size_t Resampler::Read(Sample* data, std::size_t count) {
    if constexpr (std::is_same_v<Sample, double>) {
        return Resample(data, count);
    } else {
        scratch.resize(kScratchFrames * width);
        std::size_t given = 0;
        while (given < count) {
            const std::size_t n = Resample(scratch.data(), std::min(kScratchFrames, count - given));
            if (!Error().empty())
                return 0;
            std::transform(scratch.begin(),
                           scratch.begin() + static_cast<std::ptrdiff_t>(n * width),
                           data + given * width, [](double v) { return static_cast<Sample>(v); });
            given += n;
            if (n == 0)
                break;
        }
        return given;
    }
}

template std::size_t Resampler::Read(float*, std::size_t);
template std::size_t Resampler::Read(double*, std::size_t);
