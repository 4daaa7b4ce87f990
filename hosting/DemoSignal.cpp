#include "DemoSignal.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kBeatSeconds = 0.5; // 120 BPM
constexpr double kLevel = 0.45;      // peaks just below full scale

// Small deterministic noise source: the same bytes on every machine.
class Noise {
public:
    double Next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) * 0x1.0p-53 * 2.0 - 1.0;
    }

private:
    uint64_t state = 0x9E3779B97F4A7C15ULL;
};

double Kick(double t) {
    const double frequency = 50.0 + 90.0 * std::exp(-t * 30.0);
    return 0.95 * std::exp(-t * 7.0) * std::sin(kTwoPi * frequency * t);
}

double Snare(double t, double noise) {
    return std::exp(-t * 18.0) * (0.55 * noise + 0.3 * std::sin(kTwoPi * 190.0 * t));
}

double HiHat(double t, double noise) {
    return 0.18 * std::exp(-t * 70.0) * noise;
}

double Tone(double t) {
    return 0.12 * std::sin(kTwoPi * 220.0 * t) + 0.05 * std::sin(kTwoPi * 330.0 * t);
}
} // namespace

StereoSignal MakeDemoSignal(double sampleRate, double seconds) {
    const auto frames = static_cast<std::size_t>(std::max(0.0, sampleRate * seconds));
    StereoSignal signal{std::vector<double>(frames), std::vector<double>(frames)};
    Noise noise;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double beat = std::fmod(t, kBeatSeconds);
        const double bar = std::fmod(t, 2.0 * kBeatSeconds);
        const double eighth = std::fmod(t, kBeatSeconds / 2.0);
        const double n = noise.Next();
        const double kick = Kick(beat);
        const double snare = bar >= kBeatSeconds ? Snare(bar - kBeatSeconds, n) : 0.0;
        const double hat = HiHat(eighth, noise.Next());
        const double tone = Tone(t);
        signal.left[i] = kLevel * (kick + snare + 0.7 * hat + tone);
        signal.right[i] = kLevel * (kick + 0.8 * snare + hat + 0.9 * tone);
    }
    return signal;
}
