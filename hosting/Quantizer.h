#pragma once

#include "WideCode.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <type_traits>

// Samples at full scale 1 as the steps of a `bits`-bit integer format: the nearest step in
// the range, NaN as 0. With dither, TPDF noise of one step each way goes in first, from a
// generator seeded alike for every file, so that the same samples in the same order come
// out the same. A sample already on a step needs no rounding and takes no dither: audio
// passed through unchanged, and silence, stay as they were.
class Quantizer {
public:
    Quantizer(int bits, bool withDither)
        : steps(std::ldexp(1.0, bits - 1)), highest(steps - 1.0), lowest(-steps),
          dither(withDither) {}
    double Step(double x) {
        const double scaled = x * steps;
        const double nearest = Nearest(scaled);
        peak = std::fabs(x) > peak ? std::fabs(x) : peak;
        double step = nearest;
        if (dither) {
            // Drawn for every sample, on a step or not: the noise depends on the position alone.
            const double noise = Tpdf();
            if (nearest != scaled)
                step = Nearest(scaled + noise);
        }
        // Only what lay beyond full scale itself is clipping, not a step the dither reached.
        clipped += static_cast<uint64_t>((nearest > highest) | (nearest < lowest));
        return Limit(step, lowest, highest);
    }
    // In place, as the samples the file will hold.
    template <class Sample> void Apply(Sample* samples, std::size_t count) {
        if (!dither)
            return Round(samples, samples, count, 1.0 / steps);
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<Sample>(Step(static_cast<double>(samples[i])) / steps);
    }
    // Without dither, as Step does: each sample's step times scale into out. The peak comes
    // first, and only a block whose peak lies beyond full scale is searched for the samples
    // clipped; the rounding is then a pass without branches, which the compiler vectorises.
    template <class Sample, class Out>
    void Round(const Sample* in, Out* out, std::size_t count, double scale) {
        const double perStep = steps, top = highest, bottom = lowest;
        const bool wide = WideCode::ProcessorHasAvx2();
        const double largest = WideCode::Run<LargestMagnitude>(wide, in, count);
        if (Nearest(largest * perStep) > top || Nearest(-largest * perStep) < bottom)
            for (std::size_t i = 0; i < count; ++i) {
                const double nearest = Nearest(static_cast<double>(in[i]) * perStep);
                clipped += static_cast<uint64_t>((nearest > top) | (nearest < bottom));
            }
        peak = largest > peak ? largest : peak;
        WideCode::Run<Rounding>(wide, in, out, count, perStep, bottom, top, scale);
    }
    uint64_t Clipped() const { return clipped; }
    // The largest magnitude before rounding and clipping.
    double Peak() const { return peak; }

private:
    // The largest finite magnitude, found as the largest bit pattern of the magnitudes, whose
    // order is theirs: an integer maximum, which the compiler vectorises as it cannot a
    // floating-point one.
    struct LargestMagnitude {
        template <class Sample> static double Run(const Sample* in, std::size_t count) {
            using Bits = std::conditional_t<sizeof(Sample) == sizeof(int32_t), int32_t, int64_t>;
            constexpr Bits kInfinity = std::bit_cast<Bits>(std::numeric_limits<Sample>::infinity());
            Bits largest = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const Bits bits = std::bit_cast<Bits>(std::fabs(in[i]));
                const Bits finite = bits <= kInfinity ? bits : 0;
                largest = finite > largest ? finite : largest;
            }
            return static_cast<double>(std::bit_cast<Sample>(largest));
        }
    };
    struct Rounding {
        template <class Sample, class Out>
        static void Run(const Sample* in, Out* out, std::size_t count, double perStep,
                        double bottom, double top, double scale) {
            for (std::size_t i = 0; i < count; ++i)
                out[i] = static_cast<Out>(
                    Limit(Nearest(static_cast<double>(in[i]) * perStep), bottom, top) * scale);
        }
    };
    // Rounds to the nearest integer, half to even, by the floating-point unit's own rounding
    // of the sum: exact below 2^51, and anything larger is clipped. Unlike std::rint it needs
    // no library call, so the loops over a block stay vectorised.
    static double Nearest(double x) {
        constexpr double kShift = 0x1.8p52;
        return (x + kShift) - kShift;
    }
    // Within full scale; NaN, which no comparison holds for, is silence.
    static double Limit(double step, double bottom, double top) {
        return step >= bottom ? (step <= top ? step : top) : (step < bottom ? bottom : 0.0);
    }
    // Triangular on (-1, 1): the difference of two uniform numbers, each the top half of a
    // draw, where a 64-bit linear congruential generator keeps its best bits.
    double Tpdf() {
        const auto first = static_cast<double>(random() >> 32);
        return (first - static_cast<double>(random() >> 32)) * 0x1p-32;
    }

    double steps, highest, lowest;
    bool dither;
    // Knuth's multiplier and increment: fast, and more than random enough for dither.
    std::linear_congruential_engine<uint64_t, 6364136223846793005u, 1442695040888963407u, 0> random;
    uint64_t clipped = 0;
    double peak = 0.0;
};
