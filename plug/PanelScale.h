#pragma once

#include <algorithm>
#include <cmath>

// A panel's scale: device pixels per panel unit, 1 to 3. Sizes hosts see are device
// pixels, a panel size times the scale, rounded.
namespace PanelScale {
constexpr double kMin = 1.0;
constexpr double kMax = 3.0;

// Within the limits; a scale that is not a number is none (0).
inline double Clamped(double scale) {
    return std::isnan(scale) ? 0.0 : std::clamp(scale, kMin, kMax);
}

inline int Pixels(int units, double scale) {
    return static_cast<int>(std::lround(units * scale));
}

// The scale of the largest panel of the panel's aspect that fits in width x height.
inline double ToFit(int width, int height, int panelWidth, int panelHeight) {
    if (panelWidth <= 0 || panelHeight <= 0)
        return kMin;
    return std::clamp(std::min(static_cast<double>(width) / panelWidth,
                               static_cast<double>(height) / panelHeight),
                      kMin, kMax);
}
} // namespace PanelScale
