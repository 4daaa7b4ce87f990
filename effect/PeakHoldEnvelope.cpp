#include "PeakHoldEnvelope.h"

#include <algorithm>
#include <bit>
#include <cmath>

PeakHoldEnvelope::PeakHoldEnvelope(std::size_t wanted) : slots(oneSlot), candidates(twoCandidates) {
    // Slots and queue entries are counted in 32 bits: a larger window is as
    // unobtainable as missing memory.
    if (wanted <= 1 || wanted >= UINT32_MAX / 2) {
        ClearEnvelope();
        return;
    }
    const std::size_t ring = std::bit_ceil(wanted + 1);
    if (slotStore.Resize(wanted) && candidateStore.Resize(ring)) {
        slots = slotStore.Data();
        candidates = candidateStore.Data();
        capacity = static_cast<uint32_t>(wanted);
        ringMask = static_cast<uint32_t>(ring - 1);
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
    RebuildCandidates();
}

void PeakHoldEnvelope::ClearEnvelope() {
    std::fill_n(slots, capacity, 0.0);
    output = 0.0;
    writePosition = 0;
    RebuildCandidates();
}

void PeakHoldEnvelope::RebuildCandidates() {
    // After a shrink the write position may lie beyond the window; writing goes on
    // at its remainder.
    const uint32_t start = writePosition % windowLength;
    head = 0;
    tail = 0;
    for (uint32_t k = 0; k < windowLength; ++k) {
        const uint32_t slot = start + k < windowLength ? start + k : start + k - windowLength;
        const double x = slots[slot];
        while (tail != head && candidates[tail - 1].value <= x)
            --tail;
        candidates[tail++] = {x, slot};
    }
}

void PeakHoldEnvelope::ProcessEnvelope(const double* src, double* dst, int n) {
    if (windowLength == 1) {
        FollowWithoutHold(src, dst, n);
        return;
    }
    // Work on locals so the compiler keeps the state in registers.
    double* const window = slots;
    Candidate* const queue = candidates;
    const uint32_t mask = ringMask;
    const uint32_t length = windowLength;
    const double attack = attackCoefficient;
    const double release = releaseCoefficient;
    double out = output;
    uint32_t position = writePosition % length;
    uint32_t first = head;
    uint32_t end = tail;
    for (int i = 0; i < n; ++i) {
        const double x = src[i];
        // The slot about to be written takes its value out of the window; a newer
        // value at least as large hides every older candidate it passes.
        if (queue[first & mask].slot == position)
            ++first;
        while (end != first && queue[(end - 1) & mask].value <= x)
            --end;
        queue[end++ & mask] = {x, position};
        window[position] = x;
        if (++position == length)
            position = 0;
        const double d = queue[first & mask].value - out;
        out += (d > 0.0 ? attack : release) * d;
        dst[i] = out;
    }
    output = out;
    head = first;
    tail = end;
    writePosition = position;
}

void PeakHoldEnvelope::FollowWithoutHold(const double* src, double* dst, int n) {
    if (n <= 0)
        return;
    const double attack = attackCoefficient;
    const double release = releaseCoefficient;
    double out = output;
    const double last = src[n - 1];
    for (int i = 0; i < n; ++i) {
        const double d = src[i] - out;
        out += (d > 0.0 ? attack : release) * d;
        dst[i] = out;
    }
    output = out;
    slots[0] = last;
    candidates[0] = {last, 0};
    head = 0;
    tail = 1;
    writePosition = 0;
}
