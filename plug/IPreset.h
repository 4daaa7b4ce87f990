#pragma once

#include "StateChunk.h"

constexpr int kPresetNameSize = 256;

// A named, stored copy of the plug-in's parameter values: one 8-byte real per
// parameter, in index order, once initialized.
struct IPreset {
    bool initialized = false;
    char name[kPresetNameSize] = {};
    StateChunk values;
};
