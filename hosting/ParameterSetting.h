#pragma once

#include "PluginHost.h"

#include <string>

// Finds a plug-in's parameters by name and sets values in their own units: through the
// plug-in's own reading of texts (effString2Parameter) where it has one, else by a search
// over its display texts.
struct ParameterChoice {
    int index = -1;
    float normalized = 0.0f; // the value the plug-in holds afterwards
    std::string text;        // the display text the value shows
    std::string taken;       // the text the plug-in read itself, or "" after a search
    std::string error;       // set when the request cannot be met
};

// Main thread. The parameter called name, or -1; exact match first, then ignoring case.
int FindParameter(const PluginHost& host, const std::string& name);
// Main thread. "Threshold=-20", "Stereo Mode=Dual Mono": leaves the parameter at the
// value asked for. A plug-in that reads texts itself sets exactly the value it reads;
// its refusal is final. For the others, continuous parameters are searched by bisection
// over their display, choices by a scan of their texts. A number that an end of the
// range shows takes that end exactly; inside, of the values that show the requested
// text, the one whose own value is the requested number: the lowest where the display
// truncates ("Attack=0" is 0 ms), the middle where it rounds. The value the plug-in then
// reports must show the requested text.
ParameterChoice SetParameterByText(const PluginHost& host, const std::string& assignment);
// Main thread. "3=0.25": a raw normalized value for parameter 3.
ParameterChoice SetParameterNormalized(const PluginHost& host, const std::string& assignment);
