#include "LevelHistory.h"

#include "WideDispatch.h"

#include <algorithm>
#include <cmath>

LevelHistory::LevelHistory() : slots(std::make_unique<Slot[]>(kCapacity)) {}

void LevelHistory::Prepare(double sampleRate) {
    interval = std::max(1, static_cast<int>(std::lround(sampleRate * kIntervalSeconds)));
    left = interval;
    peaks = {};
}

namespace {
// Plain reductions the compiler turns into vector code: this file alone is built without
// the care for NaNs and signed zeros the processing takes, as these are only shown.
[[gnu::always_inline]] inline double Larger(double x, double y) {
    return x > y ? x : y;
}

[[gnu::always_inline]] inline double Smaller(double x, double y) {
    return x < y ? x : y;
}

// The largest magnitude of a and b over [begin, end), each times scale where given.
struct LargestMagnitude {
    [[gnu::always_inline]] static double Run(const double* a, const double* b,
                                             const double* scale, int begin, int end,
                                             double peak) {
        if (!scale) {
            for (int i = begin; i < end; ++i)
                peak = Larger(peak, Larger(__builtin_fabs(a[i]), __builtin_fabs(b[i])));
            return peak;
        }
        for (int i = begin; i < end; ++i)
            peak = Larger(peak, Larger(__builtin_fabs(a[i]), __builtin_fabs(b[i])) * scale[i]);
        return peak;
    }
};

struct Smallest {
    [[gnu::always_inline]] static double Run(const double* a, const double* b, int begin,
                                             int end, double least) {
        for (int i = begin; i < end; ++i)
            least = Smaller(least, Smaller(a[i], b[i]));
        return least;
    }
};

const bool kWide = WideDispatch::ProcessorHasAvx2();

template <class Pass, class... Args> double Run(Args... args) {
    return kWide ? WideDispatch::RunWide<Pass>(args...) : WideDispatch::RunNarrow<Pass>(args...);
}
} // namespace

void LevelHistory::Add(const Piece& piece, int frames) {
    for (int begin = 0; begin < frames;) {
        const int end = begin + std::min(frames - begin, left);
        peaks.input = Run<LargestMagnitude>(piece.input0, piece.input1,
                                            static_cast<const double*>(nullptr), begin, end,
                                            peaks.input);
        peaks.gain = Run<Smallest>(piece.gain0, piece.gain1, begin, end, peaks.gain);
        // The output: the compressed signal through the brickwall's gain, then its scale.
        peaks.output = Run<LargestMagnitude>(piece.compressed0, piece.compressed1, piece.limiter,
                                             begin, end, peaks.output / piece.outputScale) *
                       piece.outputScale;
        if (piece.limiter)
            peaks.limiter = Run<Smallest>(piece.limiter, piece.limiter, begin, end, peaks.limiter);
        left -= end - begin;
        begin = end;
        if (left == 0)
            Push();
    }
}

void LevelHistory::Push() {
    const uint64_t n = written.load(std::memory_order_relaxed);
    // A reader that sees any of these stores sees the count that makes the point they
    // replace stale.
    std::atomic_thread_fence(std::memory_order_release);
    Slot& slot = slots[static_cast<std::size_t>(n % kCapacity)];
    slot.input.store(static_cast<float>(peaks.input), std::memory_order_relaxed);
    slot.output.store(static_cast<float>(peaks.output), std::memory_order_relaxed);
    slot.gain.store(static_cast<float>(peaks.gain), std::memory_order_relaxed);
    slot.limiter.store(static_cast<float>(peaks.limiter), std::memory_order_relaxed);
    written.store(n + 1, std::memory_order_release);
    left = interval;
    peaks = {};
}

bool LevelHistory::Read(uint64_t n, LevelPoint* point) const {
    if (n >= Written())
        return false;
    const Slot& slot = slots[static_cast<std::size_t>(n % kCapacity)];
    point->input = slot.input.load(std::memory_order_relaxed);
    point->output = slot.output.load(std::memory_order_relaxed);
    point->gain = slot.gain.load(std::memory_order_relaxed);
    point->limiter = slot.limiter.load(std::memory_order_relaxed);
    // Read again after the copy: a writer that has come round meanwhile made it torn.
    std::atomic_thread_fence(std::memory_order_acquire);
    return Written() - n < static_cast<uint64_t>(kCapacity);
}
