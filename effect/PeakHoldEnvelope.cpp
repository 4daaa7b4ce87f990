#include "PeakHoldEnvelope.h"

#include <algorithm>
#include <cmath>

PeakHoldEnvelope::PeakHoldEnvelope() {
    window.Resize(kWindowCapacity);
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
    n = std::clamp<uint32_t>(n, 1, kWindowCapacity);
    if (n > windowLength) {
        std::fill(window.Data() + windowLength, window.Data() + n, 0.0);
        windowLength = n;
    } else {
        windowLength = n;
        RecomputeHoldMax();
    }
}

void PeakHoldEnvelope::RecomputeHoldMax() {
    const double* slots = window.Data();
    double largest = 0.0;
    for (uint32_t i = 0; i < windowLength; ++i)
        if (slots[i] > largest)
            largest = slots[i];
    heldMaximum = largest;
}

void PeakHoldEnvelope::ClearEnvelope() {
    std::fill_n(window.Data(), kWindowCapacity, 0.0);
    output = 0.0;
    heldMaximum = 0.0;
    writePosition = 0;
}

void PeakHoldEnvelope::ProcessEnvelope(const double* src, double* dst, int n) {
    // Work on locals so the compiler keeps the state in registers.
    double* slots = window.Data();
    const uint32_t length = windowLength;
    const double attack = attackCoefficient;
    const double release = releaseCoefficient;
    double out = output;
    double held = heldMaximum;
    uint32_t position = writePosition;
    for (int i = 0; i < n; ++i) {
        const double x = src[i];
        const uint32_t slot = position % length;
        ++position;
        if (x >= held || length == 1) {
            held = x;
            slots[slot] = x;
        } else {
            const double old = slots[slot];
            slots[slot] = x;
            if (old >= held) {
                heldMaximum = held;
                RecomputeHoldMax();
                held = heldMaximum;
            }
        }
        const double d = held - out;
        out += (d > 0.0 ? attack : release) * d;
        dst[i] = out;
    }
    output = out;
    heldMaximum = held;
    writePosition = position % length;
}
