#pragma once

#include "GrowBuffer.h"

#include <cstdint>

// A sliding-window peak hold followed by a one-pole smoother with separate
// attack and release coefficients. The window is allocated once; nothing
// allocates while processing.
class PeakHoldEnvelope {
public:
    static constexpr uint32_t kWindowCapacity = 5760;

    PeakHoldEnvelope();

    // Audio thread. src and dst may not overlap.
    void ProcessEnvelope(const double* src, double* dst, int n);

    void SetAttack(double ms, double sampleRate);
    void SetRelease(double ms, double sampleRate);
    // Clamps n to 1..kWindowCapacity; a longer window keeps its maximum and
    // gets zeroed new slots, a shorter one rescans.
    void SetHoldLength(uint32_t n);
    void RecomputeHoldMax();
    // Forgets all history; coefficients and window length stay.
    void ClearEnvelope();

    double Output() const { return output; }
    double HeldMaximum() const { return heldMaximum; }
    uint32_t WritePosition() const { return writePosition; }
    double AttackCoefficient() const { return attackCoefficient; }
    double ReleaseCoefficient() const { return releaseCoefficient; }
    uint32_t WindowLength() const { return windowLength; }

    // The one-pole coefficient of a time constant in milliseconds; 1.0 (instant) for 0.
    static double Coefficient(double ms, double sampleRate);

private:
    double output = 0.0;
    double heldMaximum = 0.0;
    uint32_t writePosition = 0;
    double attackCoefficient = 1.0;
    double releaseCoefficient = 1.0;
    uint32_t windowLength = 1;
    GrowArray<double> window;
};
