#pragma once

// The passes of the compressor that are independent from sample to sample, over
// whole blocks so that the compiler vectorises them. Each runs in the widest
// vector form the processor offers (AVX2, else the baseline); every form gives
// the same bits for the same sample, whichever lane or tail computes it.
namespace GainStage {

// Detector levels: non-finite levels count as silence.
void DetectAverage(const double* a, const double* b, double* out, int n);
void DetectMaximum(const double* a, const double* b, double* out, int n);
void DetectEach(const double* a, double* out, int n);

// Envelope to compressor gain in place: (e / threshold)^exponent above the
// threshold, 1 at or below it.
void CompressorGains(double* envelopeToGain, int n, double threshold, double inverse,
                     double exponent);

// out = (gain * mix + dry) * in * makeup.
void ApplyGain(const double* gain, const double* in, double* out, int n, double mix, double dry,
               double makeup);
// out = in * attenuation * gain, in the same order for both channels, so that equal
// channels stay equal.
void ApplyLimiter(const double* gain, const double* in0, const double* in1, double* out0,
                  double* out1, int n, double attenuation);

// The smoothed values the panel shows, carried from piece to piece.
struct Displays {
    double gain = 1.0;    // compressor gain: falls at once, recovers with the meter coefficient
    double limiter = 1.0; // brickwall gain, likewise
    double in = 0.0;      // one-pole mean square of the louder input channel
    double out = 0.0;     // the same of the louder output channel
};

// The brickwall's envelope: it rises at once and falls with a one-pole release.
struct LimiterEnvelope {
    double output = 0.0;
    double release = 1.0; // the coefficient of "Release 2"
};

// What one piece leaves for the displays. gain2 is gain1 when the channels are
// linked; limiterGain is null without the brickwall, else it holds the
// brickwall's detector levels and gets the brickwall's gains; the levels are
// metered only with meters set.
struct PieceSignals {
    const double* in0;
    const double* in1;
    const double* compressed0;
    const double* compressed1;
    const double* gain1;
    const double* gain2;
    double* limiterGain;
    double attenuation;
    bool meters;
};

// Runs every recursion after the compressor's envelope in one loop, so that they
// overlap: the brickwall's envelope and gain (ceiling / peak above the ceiling,
// else 1), the displays and the meters. The OUT level is taken from the output
// the piece is about to write; the inputs are read before it is written (hosts
// may process in place).
void FollowDisplays(Displays& displays, LimiterEnvelope& limiter, const PieceSignals& piece,
                    int n, double coeff, double ceiling);

} // namespace GainStage
