#pragma once

#include <string>
#include <utility>
#include <vector>

// Every pass of the gain stage over the same samples, for comparing two builds of
// it. Only plain types cross this interface: each build has its own namespace.
struct ProbeSettings {
    double threshold, exponent, mix, makeup, attenuation;
    // Each value also glides to target over length samples, of which done are behind.
    double target, length, done;
};

// Each pass's name and what it wrote.
using ProbeResults = std::vector<std::pair<std::string, std::vector<double>>>;

// Built into the unit tests with the effect's gain stage, and into the baseline
// test library where GainStage names BaselineGainStage.
namespace GainStage {
ProbeResults RunEveryPass(const double* const* channels, int n, const ProbeSettings& settings);
} // namespace GainStage
namespace BaselineGainStage {
bool WidePath();
ProbeResults RunEveryPass(const double* const* channels, int n, const ProbeSettings& settings);
} // namespace BaselineGainStage
