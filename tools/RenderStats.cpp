#include "RenderStats.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kWindowSeconds = 0.05;
// Windows quieter than this on the input say nothing about a gain.
constexpr double kQuietestWindowDb = -60.0;
constexpr double kFloorDb = -200.0;
} // namespace

double ToDecibels(double amplitude) {
    return amplitude > 0.0 ? std::max(20.0 * std::log10(amplitude), kFloorDb) : kFloorDb;
}

Levels MeasureLevels(const Channels& audio) {
    double peak = 0.0;
    double sum = 0.0;
    std::size_t count = 0;
    for (const auto& channel : audio) {
        for (double v : channel) {
            peak = std::max(peak, std::fabs(v));
            sum += v * v;
        }
        count += channel.size();
    }
    return {ToDecibels(peak), ToDecibels(count ? std::sqrt(sum / static_cast<double>(count)) : 0)};
}

GainChange MeasureGainChange(const Channels& in, const Channels& out, double sampleRate) {
    GainChange result;
    if (in.empty() || out.empty())
        return result;
    const std::size_t frames = std::min(in[0].size(), out[0].size());
    const auto window =
        std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate * kWindowSeconds));
    double total = 0.0;
    for (std::size_t start = 0; start + window <= frames; start += window) {
        auto meanSquare = [&](const Channels& audio) {
            double sum = 0.0;
            for (const auto& channel : audio)
                for (std::size_t i = start; i < start + window; ++i)
                    sum += channel[i] * channel[i];
            return sum / static_cast<double>(window * audio.size());
        };
        const double inDb = 10.0 * std::log10(std::max(meanSquare(in), 1e-30));
        if (inDb < kQuietestWindowDb)
            continue;
        const double change = 10.0 * std::log10(std::max(meanSquare(out), 1e-30)) - inDb;
        if (result.windows == 0 || std::fabs(change) > std::fabs(result.largestDb))
            result.largestDb = change;
        total += change;
        ++result.windows;
    }
    if (result.windows)
        result.averageDb = total / result.windows;
    return result;
}
