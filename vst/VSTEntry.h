#pragma once

#include "IEffectVST.h"

// Makes one plug-in instance for a host.
using VSTEffectFactory = IEffectVST* (*)(audioMasterCallback hostCallback);

// Any host thread; takes the process-wide creation lock. Builds an instance
// with make and returns its record, or null when it could not be built.
AEffect* VSTCreateEffect(audioMasterCallback hostCallback, VSTEffectFactory make);
