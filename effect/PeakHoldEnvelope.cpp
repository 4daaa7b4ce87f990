#include "PeakHoldEnvelope.h"

#include <algorithm>
#include <cmath>

PeakHoldEnvelope::PeakHoldEnvelope(std::size_t wanted) : slots(oneSlot), candidates(twoCandidates) {
    // Slots are numbered in 32 bits: a larger window is as unobtainable as missing memory.
    if (wanted > 1 && wanted < UINT32_MAX && slotStore.Resize(wanted) &&
        candidateStore.Resize(wanted + 1)) {
        slots = slotStore.Data();
        candidates = candidateStore.Data();
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
    // Work on locals so the compiler keeps the state in registers.
    double* const window = slots;
    Candidate* const queue = candidates;
    const uint32_t length = windowLength;
    const uint32_t ring = capacity + 1;
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
        if (queue[first].slot == position && ++first == ring)
            first = 0;
        while (end != first) {
            const uint32_t last = end == 0 ? ring - 1 : end - 1;
            if (queue[last].value > x)
                break;
            end = last;
        }
        queue[end] = {x, position};
        if (++end == ring)
            end = 0;
        window[position] = x;
        if (++position == length)
            position = 0;
        const double held = queue[first].value;
        const double d = held - out;
        out += (d > 0.0 ? attack : release) * d;
        dst[i] = out;
    }
    output = out;
    head = first;
    tail = end;
    writePosition = position;
}
