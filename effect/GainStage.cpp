#include "GainStage.h"

#include "FastPow.h"
#include "WideDispatch.h"

namespace {
// Kept apart from std:: helpers so that nothing compiled for AVX2 here can be
// shared, through an out-of-line copy, with code that runs on any processor.
[[gnu::always_inline]] inline double Level(double x) {
    return __builtin_isfinite(x) ? x : 0.0;
}

inline double Smaller(double x, double y) {
    return y < x ? y : x;
}

inline double Larger(double x, double y) {
    return x < y ? y : x;
}

// What a pass reads for a parameter at the i-th sample of the piece: a value that
// holds for the whole piece, or a glide.
struct Fixed {
    double value;
    [[gnu::always_inline]] double At(int) const { return value; }
};

struct Reciprocal {
    GainStage::Glide glide;
    [[gnu::always_inline]] double At(int i) const { return 1.0 / glide.At(i); }
};

struct Complement {
    GainStage::Glide glide;
    [[gnu::always_inline]] double At(int i) const { return 1.0 - glide.At(i); }
};

// The recursions below are weighted sums, so that only a multiplication and an
// addition depend on the previous value; keep is 1 - coeff.

// A display falls at once and recovers with coeff.
inline void Follow(double& display, double gain, double coeff, double keep) {
    display = gain > display ? display * keep + coeff * gain : gain;
}

// A non-finite square counts as silence.
inline void Smooth(double& meanSquare, double a, double b, double coeff, double keep) {
    const double s = Level(Larger(a * a, b * b));
    meanSquare = meanSquare * keep + s * coeff;
}

template <bool kLimiter, bool kMeters, class Attenuation>
void FollowAll(GainStage::Displays& displays, GainStage::LimiterEnvelope& limiter,
               const GainStage::PieceSignals& piece, int n, double coeff, double ceiling,
               Attenuation attenuation) {
    GainStage::Displays d = displays;
    const double keep = 1.0 - coeff;
    const double release = limiter.release;
    const double keepRelease = 1.0 - release;
    double peak = limiter.output;
    for (int i = 0; i < n; ++i) {
        Follow(d.gain, Smaller(piece.gain1[i], piece.gain2[i]), coeff, keep);
        if (kLimiter) {
            const double level = piece.limiterGain[i];
            peak = level > peak ? level : peak * keepRelease + release * level;
            const double gain = ceiling / peak;
            piece.limiterGain[i] = peak > ceiling ? gain : 1.0;
            Follow(d.limiter, piece.limiterGain[i], coeff, keep);
        }
        if (kMeters) {
            Smooth(d.in, piece.in0[i], piece.in1[i], coeff, keep);
            const double scale = kLimiter ? attenuation.At(i) * piece.limiterGain[i] : 1.0;
            const double out0 = kLimiter ? piece.compressed0[i] * scale : piece.compressed0[i];
            const double out1 = kLimiter ? piece.compressed1[i] * scale : piece.compressed1[i];
            Smooth(d.out, out0, out1, coeff, keep);
        }
    }
    displays = d;
    limiter.output = peak;
}

template <bool kLimiter, bool kMeters>
void FollowAll(GainStage::Displays& displays, GainStage::LimiterEnvelope& limiter,
               const GainStage::PieceSignals& piece, int n, double coeff, double ceiling) {
    if (kLimiter && kMeters && piece.attenuation.Moving())
        FollowAll<kLimiter, kMeters>(displays, limiter, piece, n, coeff, ceiling,
                                     piece.attenuation);
    else
        FollowAll<kLimiter, kMeters>(displays, limiter, piece, n, coeff, ceiling,
                                     Fixed{piece.attenuation.target});
}

struct Average {
    [[gnu::always_inline]] static void Run(const double* a, const double* b, double* out, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = Level((__builtin_fabs(a[i]) + __builtin_fabs(b[i])) * 0.5);
    }
};

struct Maximum {
    [[gnu::always_inline]] static void Run(const double* a, const double* b, double* out, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = Level(Larger(__builtin_fabs(a[i]), __builtin_fabs(b[i])));
    }
};

struct Each {
    [[gnu::always_inline]] static void Run(const double* a, double* out, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = Level(__builtin_fabs(a[i]));
    }
};

struct Compressor {
    // Music spends long stretches below the threshold: groups of samples all at or
    // below it skip the power function, with the same result as computing it.
    static constexpr int kGroup = 16;

    template <class Threshold, class Inverse, class Exponent>
    [[gnu::always_inline]] static void Run(double* g, int n, Threshold threshold, Inverse inverse,
                                           Exponent exponent) {
        int i = 0;
        for (; i + kGroup <= n; i += kGroup) {
            bool above = false;
            for (int j = i; j < i + kGroup; ++j)
                above |= g[j] > threshold.At(j);
            if (above)
                Gains(g, i, i + kGroup, threshold, inverse, exponent);
            else
                for (int j = i; j < i + kGroup; ++j)
                    g[j] = 1.0;
        }
        Gains(g, i, n, threshold, inverse, exponent);
    }

    template <class Threshold, class Inverse, class Exponent>
    [[gnu::always_inline]] static void Gains(double* g, int begin, int end, Threshold threshold,
                                             Inverse inverse, Exponent exponent) {
        for (int i = begin; i < end; ++i) {
            const double e = g[i];
            const double gain = FastPow(e * inverse.At(i), exponent.At(i));
            g[i] = e > threshold.At(i) ? gain : 1.0;
        }
    }
};

struct Gain {
    template <class Mix, class Dry, class Makeup>
    [[gnu::always_inline]] static void Run(const double* g, const double* in, double* out, int n,
                                           Mix mix, Dry dry, Makeup makeup) {
        for (int i = 0; i < n; ++i)
            out[i] = (g[i] * mix.At(i) + dry.At(i)) * in[i] * makeup.At(i);
    }
};

struct LimiterOutput {
    template <class Attenuation>
    [[gnu::always_inline]] static void Run(const double* g, const double* in0, const double* in1,
                                           double* out0, double* out1, int n,
                                           Attenuation attenuation) {
        for (int i = 0; i < n; ++i) {
            const double scale = attenuation.At(i) * g[i];
            out0[i] = in0[i] * scale;
            out1[i] = in1[i] * scale;
        }
    }
};

// The tests build this file a second time with QUELOR_GAIN_STAGE_BASELINE defined,
// to hold the baseline path against the wide one on a processor that has both.
#ifdef QUELOR_GAIN_STAGE_BASELINE
constexpr bool kBaselineOnly = true;
#else
constexpr bool kBaselineOnly = false;
#endif
const bool kWide = !kBaselineOnly && WideDispatch::ProcessorHasAvx2();

template <class Pass, class... Args> void Run(Args... args) {
    if (kWide)
        WideDispatch::RunWide<Pass>(args...);
    else
        WideDispatch::RunNarrow<Pass>(args...);
}
} // namespace

namespace GainStage {

bool WidePath() {
    return kWide;
}

void DetectAverage(const double* a, const double* b, double* out, int n) {
    Run<Average>(a, b, out, n);
}

void DetectMaximum(const double* a, const double* b, double* out, int n) {
    Run<Maximum>(a, b, out, n);
}

void DetectEach(const double* a, double* out, int n) {
    Run<Each>(a, out, n);
}

void CompressorGains(double* envelopeToGain, int n, double threshold, double inverse,
                     double exponent) {
    Run<Compressor>(envelopeToGain, n, Fixed{threshold}, Fixed{inverse}, Fixed{exponent});
}

void CompressorGains(double* envelopeToGain, int n, const Glide& threshold, const Glide& exponent) {
    if (threshold.Moving() || exponent.Moving())
        Run<Compressor>(envelopeToGain, n, threshold, Reciprocal{threshold}, exponent);
    else
        CompressorGains(envelopeToGain, n, threshold.target, 1.0 / threshold.target,
                        exponent.target);
}

void ApplyGain(const double* gain, const double* in, double* out, int n, double mix, double dry,
               double makeup) {
    Run<Gain>(gain, in, out, n, Fixed{mix}, Fixed{dry}, Fixed{makeup});
}

void ApplyGain(const double* gain, const double* in, double* out, int n, const Glide& mix,
               const Glide& makeup) {
    if (mix.Moving() || makeup.Moving())
        Run<Gain>(gain, in, out, n, mix, Complement{mix}, makeup);
    else
        ApplyGain(gain, in, out, n, mix.target, 1.0 - mix.target, makeup.target);
}

void ApplyLimiter(const double* gain, const double* in0, const double* in1, double* out0,
                  double* out1, int n, double attenuation) {
    Run<LimiterOutput>(gain, in0, in1, out0, out1, n, Fixed{attenuation});
}

void ApplyLimiter(const double* gain, const double* in0, const double* in1, double* out0,
                  double* out1, int n, const Glide& attenuation) {
    if (attenuation.Moving())
        Run<LimiterOutput>(gain, in0, in1, out0, out1, n, attenuation);
    else
        ApplyLimiter(gain, in0, in1, out0, out1, n, attenuation.target);
}

void FollowDisplays(Displays& displays, LimiterEnvelope& limiter, const PieceSignals& piece,
                    int n, double coeff, double ceiling) {
    if (piece.limiterGain)
        piece.meters ? FollowAll<true, true>(displays, limiter, piece, n, coeff, ceiling)
                     : FollowAll<true, false>(displays, limiter, piece, n, coeff, ceiling);
    else
        piece.meters ? FollowAll<false, true>(displays, limiter, piece, n, coeff, ceiling)
                     : FollowAll<false, false>(displays, limiter, piece, n, coeff, ceiling);
}

} // namespace GainStage
