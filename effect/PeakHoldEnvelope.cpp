#include "PeakHoldEnvelope.h"

#include <algorithm>
#include <cmath>

namespace {
// Detector levels are never NaN and never -0, so either operand of a tie serves.
inline double Larger(double x, double y) {
    return x < y ? y : x;
}

// One step of the one-pole smoother towards target, as a weighted sum: only a
// multiplication and an addition depend on the previous output, and an instant
// coefficient (1) reaches the target exactly.
[[gnu::always_inline]] inline double Smooth(double out, double target, double attack,
                                            double keepAttack, double release,
                                            double keepRelease) {
    return target > out ? out * keepAttack + attack * target
                        : out * keepRelease + release * target;
}
} // namespace

PeakHoldEnvelope::PeakHoldEnvelope(std::size_t wanted) : slots(oneSlot), suffixMaxima(twoMaxima) {
    // Slots are counted in 32 bits: a larger window is as unobtainable as missing memory.
    if (wanted > 1 && wanted < UINT32_MAX && slotStore.Resize(wanted) &&
        suffixStore.Resize(wanted + 1)) {
        slots = slotStore.Data();
        suffixMaxima = suffixStore.Data();
        capacity = static_cast<uint32_t>(wanted);
    }
    ClearEnvelope();
}

double PeakHoldEnvelope::Coefficient(double ms, double sampleRate) {
    const double t = ms * sampleRate * 0.001;
    return t > 0.0 ? 1.0 - std::exp(-1.0 / t) : 1.0;
}

void PeakHoldEnvelope::SetAttack(double ms, double sampleRate) {
    attackCoefficient = Coefficient(ms, sampleRate);
}

void PeakHoldEnvelope::SetRelease(double ms, double sampleRate) {
    releaseCoefficient = Coefficient(ms, sampleRate);
}

void PeakHoldEnvelope::SetHoldLength(uint32_t n) {
    n = std::clamp<uint32_t>(n, 1, capacity);
    if (n > windowLength)
        std::fill(slots + windowLength, slots + n, 0.0);
    windowLength = n;
    Rebuild();
}

void PeakHoldEnvelope::ClearEnvelope() {
    std::fill_n(slots, capacity, 0.0);
    output = 0.0;
    writePosition = 0;
    Rebuild();
}

void PeakHoldEnvelope::TakeHistoryFrom(const PeakHoldEnvelope& other) {
    output = other.output;
    if (windowLength != other.windowLength) {
        std::fill_n(slots, windowLength, other.HeldMaximum());
        Rebuild();
        return;
    }
    std::copy_n(other.slots, windowLength, slots);
    std::copy_n(other.suffixMaxima, windowLength + 1, suffixMaxima);
    prefixMaximum = other.prefixMaximum;
    writePosition = other.writePosition;
}

double PeakHoldEnvelope::HeldMaximum() const {
    return Larger(prefixMaximum, suffixMaxima[writePosition]);
}

void PeakHoldEnvelope::ComputeSuffixMaxima() {
    double largest = 0.0;
    suffixMaxima[windowLength] = largest;
    for (uint32_t i = windowLength; i-- > 0;) {
        largest = Larger(largest, slots[i]);
        suffixMaxima[i] = largest;
    }
}

void PeakHoldEnvelope::Rebuild() {
    // After a shrink the write position may lie beyond the window; writing goes on
    // at its remainder.
    writePosition %= windowLength;
    ComputeSuffixMaxima();
    prefixMaximum = 0.0;
    for (uint32_t i = 0; i < writePosition; ++i)
        prefixMaximum = Larger(prefixMaximum, slots[i]);
}

// The state of one envelope in locals, so that the compiler keeps it in registers.
class PeakHoldEnvelope::Cursor {
public:
    explicit Cursor(PeakHoldEnvelope& e)
        : owner(e), window(e.slots), suffix(e.suffixMaxima), length(e.windowLength),
          attack(e.attackCoefficient), release(e.releaseCoefficient),
          keepAttack(1.0 - attack), keepRelease(1.0 - release), out(e.output),
          prefix(e.prefixMaximum), position(e.writePosition) {}

    [[gnu::always_inline]] double Next(double x) {
        window[position] = x;
        prefix = Larger(prefix, x);
        const double held = Larger(prefix, suffix[position + 1]);
        if (++position == length) {
            // A new pass: everything in the window now lies behind the write position.
            position = 0;
            prefix = 0.0;
            owner.ComputeSuffixMaxima();
        }
        out = Smooth(out, held, attack, keepAttack, release, keepRelease);
        return out;
    }

    void Store() {
        owner.output = out;
        owner.prefixMaximum = prefix;
        owner.writePosition = position;
    }

private:
    PeakHoldEnvelope& owner;
    double* const window;
    const double* const suffix;
    const uint32_t length;
    const double attack;
    const double release;
    const double keepAttack;
    const double keepRelease;
    double out;
    double prefix;
    uint32_t position;
};

void PeakHoldEnvelope::ProcessEnvelope(const double* src, double* dst, int n) {
    if (windowLength == 1) {
        FollowWithoutHold(src, dst, n);
        return;
    }
    Cursor cursor(*this);
    for (int i = 0; i < n; ++i)
        dst[i] = cursor.Next(src[i]);
    cursor.Store();
}

void PeakHoldEnvelope::ProcessPair(PeakHoldEnvelope& a, const double* srcA, double* dstA,
                                   PeakHoldEnvelope& b, const double* srcB, double* dstB, int n) {
    if (a.windowLength == 1 || b.windowLength == 1) {
        a.ProcessEnvelope(srcA, dstA, n);
        b.ProcessEnvelope(srcB, dstB, n);
        return;
    }
    Cursor first(a);
    Cursor second(b);
    for (int i = 0; i < n; ++i) {
        dstA[i] = first.Next(srcA[i]);
        dstB[i] = second.Next(srcB[i]);
    }
    first.Store();
    second.Store();
}

void PeakHoldEnvelope::FollowWithoutHold(const double* src, double* dst, int n) {
    if (n <= 0)
        return;
    const double attack = attackCoefficient;
    const double release = releaseCoefficient;
    const double keepAttack = 1.0 - attack;
    const double keepRelease = 1.0 - release;
    double out = output;
    const double last = src[n - 1];
    for (int i = 0; i < n; ++i) {
        out = Smooth(out, src[i], attack, keepAttack, release, keepRelease);
        dst[i] = out;
    }
    output = out;
    slots[0] = last;
    suffixMaxima[0] = last;
}
