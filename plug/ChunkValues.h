#pragma once

#include "IPreset.h"

#include <vector>

// Values read from a host's chunk without the plug-in lock, to be applied under it:
// reading takes as long as the host's bytes make it, applying only as long as the
// plug-in's own parameters and presets do.

// One value per parameter, read in index order as far as the bytes reach.
struct IParamValues {
    std::vector<double> values; // the first parameter whose bytes are missing reads 0
    int count = 0;              // parameters the reading reached, that one included
    int end = -1;               // position behind the values, or -1 when they ran out
};

// One preset of a bank, as read.
struct IPresetValues {
    bool named = false; // a name that is not empty was read
    char name[kPresetNameSize] = {};
    bool flagRead = false; // the initialized byte was there
    bool initialized = false;
    IParamValues values; // read only when initialized
};

// A bank: the presets the reading reached, in order.
struct IBankValues {
    std::vector<IPresetValues> presets;
    int count = 0;
    int end = -1;
};
