#pragma once

#include "RenderStats.h"

#include <string>

// A picture of a render: input and output levels over time (RMS lines over shaded
// peaks, dBFS) and under them the gain change from input to output, with labelled
// time and decibel axes, written as a PNG file.
inline constexpr int kPlotWidth = 1200;
inline constexpr int kPlotHeight = 640;

// Main thread. false with a one-line reason in error.
bool WriteRenderPlot(const std::string& path, const LevelTrace& trace, const std::string& title,
                     std::string* error);
