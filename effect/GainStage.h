#pragma once

// The passes of the compressor that are independent from sample to sample, over
// whole blocks so that the compiler vectorises them. Each runs in the widest
// vector form the processor offers (AVX2, else the baseline); every form gives
// the same bits for the same sample, whichever lane or tail computes it, but for
// NaNs: which of two NaNs a product keeps is the compiler's choice.
namespace GainStage {

// A gain-computer quantity on its way to a new value: a straight line that
// arrives exactly, so that automation does not click. The k-th sample of the
// glide (k = 1, 2, ...) holds from + step * k until k reaches length, the target
// from then on. A sample's value depends on its place in the glide only, never
// on how the samples were split into blocks.
struct Glide {
    Glide() = default;
    explicit Glide(double value) : from(value), target(value) {}

    double from = 0.0;
    double step = 0.0;
    double target = 0.0;
    double done = 0.0;   // samples of the glide processed so far
    double length = 0.0; // samples it takes; it has arrived once done reaches it

    bool Moving() const { return done < length; }
    // The value at the i-th sample (from 0) after those processed so far.
    [[gnu::always_inline]] double At(int i) const {
        const double k = done + static_cast<double>(i + 1);
        return k < length ? from + step * k : target;
    }
    // The value at the last sample processed.
    double Now() const { return Moving() ? from + step * done : target; }
    // The next sample holds value.
    void JumpTo(double value) { *this = Glide(value); }
    // A new glide from the value now to value, over samples samples (at once for
    // none); the target it already has changes nothing.
    void GlideTo(double value, int samples) {
        if (value == target)
            return;
        if (samples <= 0) {
            JumpTo(value);
            return;
        }
        const double now = Now();
        from = now;
        step = (value - now) / samples;
        target = value;
        done = 0.0;
        length = samples;
    }
    // n more samples processed.
    void Advance(int n) { done = done + n < length ? done + n : length; }
};

// True when the passes run in AVX2 rather than in the baseline instructions.
bool WidePath();

// Detector levels: non-finite levels count as silence.
void DetectAverage(const double* a, const double* b, double* out, int n);
void DetectMaximum(const double* a, const double* b, double* out, int n);
void DetectEach(const double* a, double* out, int n);

// The passes that read gain-computer values come in two forms: with constants, and
// with glides. While a glide moves, the second form takes its value at each sample
// (the threshold's inverse too, so that the two agree); at rest it is the first.

// Envelope to compressor gain in place: (e / threshold)^exponent above the
// threshold, 1 at or below it.
void CompressorGains(double* envelopeToGain, int n, double threshold, double inverse,
                     double exponent);
void CompressorGains(double* envelopeToGain, int n, const Glide& threshold, const Glide& exponent);

// out = (gain * mix + dry) * in * makeup; with glides, dry = 1 - mix.
void ApplyGain(const double* gain, const double* in, double* out, int n, double mix, double dry,
               double makeup);
void ApplyGain(const double* gain, const double* in, double* out, int n, const Glide& mix,
               const Glide& makeup);

// out = in * (attenuation * gain): one factor for both channels, so that equal
// channels stay equal.
void ApplyLimiter(const double* gain, const double* in0, const double* in1, double* out0,
                  double* out1, int n, double attenuation);
void ApplyLimiter(const double* gain, const double* in0, const double* in1, double* out0,
                  double* out1, int n, const Glide& attenuation);

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
    Glide attenuation;
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
