#include "GainStageProbe.h"

#include "GainStage.h"

namespace {
using GainStage::Glide;

Glide Gliding(double from, const ProbeSettings& s) {
    Glide glide(from);
    glide.GlideTo(s.target, static_cast<int>(s.length));
    glide.Advance(static_cast<int>(s.done));
    return glide;
}
} // namespace

ProbeResults GainStage::RunEveryPass(const double* const* channels, int n, const ProbeSettings& s) {
    const double *a = channels[0], *b = channels[1], *c = channels[2], *d = channels[3];
    ProbeResults results;
    results.reserve(32);
    const auto output = [&](std::string pass, const double* from = nullptr) {
        results.emplace_back(std::move(pass), std::vector<double>(static_cast<std::size_t>(n)));
        std::vector<double>& values = results.back().second;
        if (from)
            values.assign(from, from + n);
        return values.data();
    };
    DetectAverage(a, b, output("average"), n);
    DetectMaximum(a, b, output("maximum"), n);
    DetectEach(a, output("each"), n);

    const Glide threshold = Gliding(s.threshold, s), exponent = Gliding(s.exponent, s);
    const Glide mix = Gliding(s.mix, s), makeup = Gliding(s.makeup, s);
    const Glide attenuation = Gliding(s.attenuation, s);
    CompressorGains(output("compressor", c), n, s.threshold, 1.0 / s.threshold, s.exponent);
    CompressorGains(output("gliding compressor", c), n, threshold, exponent);
    ApplyGain(d, a, output("gain"), n, s.mix, 1.0 - s.mix, s.makeup);
    ApplyGain(d, a, output("gliding gain"), n, mix, makeup);
    double* left = output("limiter left");
    ApplyLimiter(d, a, b, left, output("limiter right"), n, s.attenuation);
    left = output("gliding limiter left");
    ApplyLimiter(d, a, b, left, output("gliding limiter right"), n, attenuation);

    for (int variant = 0; variant < 8; ++variant) {
        const bool limiter = variant & 1, meters = variant & 2, glides = variant & 4;
        const std::string name = "displays " + std::to_string(variant);
        double* limiterGain = limiter ? output(name + " brickwall gains", c) : nullptr;
        Displays displays{0.7, 0.9, 0.01, 0.02};
        LimiterEnvelope envelope{0.5, 0.01};
        const PieceSignals piece{
            a, b, c, d, d, c, limiterGain, glides ? attenuation : Glide(s.attenuation), meters};
        FollowDisplays(displays, envelope, piece, n, 1e-3, 0.98);
        results.emplace_back(name, std::vector<double>{displays.gain, displays.limiter, displays.in,
                                                       displays.out, envelope.output});
    }
    return results;
}
