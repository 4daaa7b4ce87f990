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

// Each place is stamped as a sequence lock is: odd while its point is written, twice the
// point's number plus two once it is whole. The values are released after the odd stamp,
// so that a reader that sees any of them sees the stamp move.
void LevelHistory::Push() {
    const uint64_t n = written.load(std::memory_order_relaxed);
    Slot& slot = slots[static_cast<std::size_t>(n % kCapacity)];
    slot.stamp.store(2 * n + 1, std::memory_order_relaxed);
    slot.input.store(static_cast<float>(peaks.input), std::memory_order_release);
    slot.output.store(static_cast<float>(peaks.output), std::memory_order_release);
    slot.gain.store(static_cast<float>(peaks.gain), std::memory_order_release);
    slot.limiter.store(static_cast<float>(peaks.limiter), std::memory_order_release);
    slot.stamp.store(2 * n + 2, std::memory_order_release);
    written.store(n + 1, std::memory_order_release);
    left = interval;
    peaks = {};
}

bool LevelHistory::Read(uint64_t n, LevelPoint* point) const {
    const Slot& slot = slots[static_cast<std::size_t>(n % kCapacity)];
    const uint64_t whole = 2 * n + 2;
    if (slot.stamp.load(std::memory_order_acquire) != whole)
        return false;
    point->input = slot.input.load(std::memory_order_acquire);
    point->output = slot.output.load(std::memory_order_acquire);
    point->gain = slot.gain.load(std::memory_order_acquire);
    point->limiter = slot.limiter.load(std::memory_order_acquire);
    // Still the same point: the writer has not begun to replace it meanwhile.
    return slot.stamp.load(std::memory_order_relaxed) == whole;
}
