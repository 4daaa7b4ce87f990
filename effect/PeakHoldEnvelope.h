#pragma once

#include "GrowBuffer.h"

#include <cstddef>
#include <cstdint>

// A sliding-window peak hold followed by a one-pole smoother with separate
// attack and release coefficients. The window is a circular array of slots;
// beside it a queue of candidate maxima (values that no newer, larger value has
// yet hidden) gives the held maximum at constant cost per sample. Both are
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

    void SetAttack(double ms, double sampleRate);
    void SetRelease(double ms, double sampleRate);
    // Clamps n to 1..Capacity(). A longer window keeps its slots and gets zeroed
    // new ones, a shorter one keeps its first n slots; writing goes on where it was.
    void SetHoldLength(uint32_t n);
    // Forgets all history; coefficients and window length stay.
    void ClearEnvelope();

    double Output() const { return output; }
    double HeldMaximum() const { return candidates[head & ringMask].value; }
    uint32_t WritePosition() const { return writePosition; }
    double AttackCoefficient() const { return attackCoefficient; }
    double ReleaseCoefficient() const { return releaseCoefficient; }
    uint32_t WindowLength() const { return windowLength; }
    uint32_t Capacity() const { return capacity; }

    // The one-pole coefficient of a time constant in milliseconds; 1.0 (instant) for 0.
    static double Coefficient(double ms, double sampleRate);

private:
    struct Candidate {
        double value;
        uint32_t slot; // leaves the window when this slot is written next
    };

    // A window of one slot holds each sample alone: no queue to keep.
    void FollowWithoutHold(const double* src, double* dst, int n);
    // Refills the queue from the slots, oldest to newest in write order.
    void RebuildCandidates();

    double output = 0.0;
    uint32_t writePosition = 0;
    double attackCoefficient = 1.0;
    double releaseCoefficient = 1.0;
    uint32_t windowLength = 1;
    uint32_t capacity = 1;
    // The queue is a ring of a power of two entries, more than the capacity:
    // [head, tail) counted freely and masked, never empty between samples.
    uint32_t head = 0;
    uint32_t tail = 0;
    uint32_t ringMask = 1;
    double* slots;
    Candidate* candidates;
    GrowArray<double> slotStore;
    GrowArray<Candidate> candidateStore;
    double oneSlot[1] = {};
    Candidate twoCandidates[2] = {};
};
