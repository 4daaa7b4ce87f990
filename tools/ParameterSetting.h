#pragma once

#include "PluginHost.h"

#include <string>

// Finds a plug-in's parameters by name and turns values in their own units
// into normalized values, using nothing but the plug-in's display texts.
struct ParameterChoice {
    int index = -1;
    float normalized = 0.0f; // the value given to the plug-in last
    std::string text;        // the display text the value shows
    std::string error;       // set when the request cannot be met
};

// Main thread. The parameter called name, or -1; exact match first, then ignoring case.
int FindParameter(const PluginHost& host, const std::string& name);
// Main thread. "Threshold=-20", "Stereo Mode=Dual Mono": leaves the
// parameter at the value found. Continuous parameters are searched by
// bisection over their display, choices by a scan of their texts. Of the values
// that show the requested text, the one whose own value is the requested number:
// the lowest where the display truncates ("Attack=0" is 0 ms), the middle where it
// rounds. The value the plug-in then reports must show the requested text.
ParameterChoice SetParameterByText(const PluginHost& host, const std::string& assignment);
// Main thread. "3=0.25": a raw normalized value for parameter 3.
ParameterChoice SetParameterNormalized(const PluginHost& host, const std::string& assignment);
