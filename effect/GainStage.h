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
// Peak to brickwall gain in place: ceiling / peak above the ceiling, else 1.
void LimiterGains(double* peakToGain, int n, double ceiling);

// out = (gain * mix + dry) * in * makeup.
void ApplyGain(const double* gain, const double* in, double* out, int n, double mix, double dry,
               double makeup);
// out0 = in0 * attenuation * gain, out1 = attenuation * gain * in1.
void ApplyLimiter(const double* gain, const double* in0, const double* in1, double* out0,
                  double* out1, int n, double attenuation);

// The smoothed display of a gain: falls at once, recovers with coeff. With two
// gains it follows the smaller; with a limiter gain it follows that too, in the
// same loop, so that the two recursions overlap.
double FollowDisplay(double display, const double* gain, int n, double coeff);
double FollowDisplay(double display, const double* gain1, const double* gain2, int n,
                     double coeff);
void FollowDisplays(double& display, double& limiterDisplay, const double* gain1,
                    const double* gain2, const double* limiterGain, int n, double coeff);

} // namespace GainStage
