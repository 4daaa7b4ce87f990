#pragma once

#include "GrowBuffer.h"

#include <cstddef>
#include <cstdint>

// A sliding-window peak hold followed by a one-pole smoother with separate
// attack and release coefficients. The window is a circular array of slots.
// Its maximum is that of the slots written since the last wrap to slot 0 (kept
// as a running maximum) and of the slots after the write position, still from
// the pass before (kept as maxima from each slot to the end, computed once per
// pass): constant work per sample and no branch on the signal. Both arrays are
// allocated once; nothing allocates while processing.
class PeakHoldEnvelope {
public:
    static constexpr uint32_t kWindowCapacity = 5760;

    // Should the window's memory not be had, the capacity is a single slot: the
    // envelope then follows the detector without hold. An envelope that never
    // holds (the brickwall's) asks for one slot.
    explicit PeakHoldEnvelope(std::size_t capacity = kWindowCapacity);
    PeakHoldEnvelope(const PeakHoldEnvelope&) = delete;
    PeakHoldEnvelope& operator=(const PeakHoldEnvelope&) = delete;

    // Audio thread. src holds detector levels (finite, >= 0); dst may be src itself.
    void ProcessEnvelope(const double* src, double* dst, int n);
    // Audio thread. Two envelopes over the same n samples, interleaved so that
    // their recursions overlap; the same results as one after the other.
    static void ProcessPair(PeakHoldEnvelope& a, const double* srcA, double* dstA,
                            PeakHoldEnvelope& b, const double* srcB, double* dstB, int n);

    void SetAttack(double ms, double sampleRate);
    void SetRelease(double ms, double sampleRate);
    // Clamps n to 1..Capacity(). A longer window keeps its slots and gets zeroed
    // new ones, a shorter one keeps its first n slots; writing goes on where it was.
    void SetHoldLength(uint32_t n);
    // Forgets all history; coefficients and window length stay.
    void ClearEnvelope();
    // Takes over other's history: output, window, held maximum and write position. Should
    // the windows differ in length (one window's memory could not be had), the output
    // carries over and the window holds other's held maximum.
    void TakeHistoryFrom(const PeakHoldEnvelope& other);

    double Output() const { return output; }
    double HeldMaximum() const;
    uint32_t WritePosition() const { return writePosition; }
    double AttackCoefficient() const { return attackCoefficient; }
    double ReleaseCoefficient() const { return releaseCoefficient; }
    uint32_t WindowLength() const { return windowLength; }
    uint32_t Capacity() const { return capacity; }

    // The one-pole coefficient of a time constant in milliseconds; 1.0 (instant) for 0.
    static double Coefficient(double ms, double sampleRate);

private:
    class Cursor;
    // A window of one slot holds each sample alone.
    void FollowWithoutHold(const double* src, double* dst, int n);
    // The maxima from each slot to the end of the window, for the pass that begins.
    void ComputeSuffixMaxima();
    // Brings both maxima in line with the slots after a change of the window.
    void Rebuild();

    double output = 0.0;
    double prefixMaximum = 0.0; // of the slots before the write position
    uint32_t writePosition = 0;
    double attackCoefficient = 1.0;
    double releaseCoefficient = 1.0;
    uint32_t windowLength = 1;
    uint32_t capacity = 1;
    double* slots;
    double* suffixMaxima; // windowLength + 1 entries, the last 0
    GrowArray<double> slotStore;
    GrowArray<double> suffixStore;
    double oneSlot[1] = {};
    double twoMaxima[2] = {};
};
