#pragma once

#include "IEffectVST.h"

// Quelor as the VST 2 module makes it: the adapter owning the effect, which builds its
// panel when the host first opens the editor. hostCallback may be null (no host); the
// caller owns the result until the host's effClose.
IEffectVST* MakeQuelorVST(audioMasterCallback hostCallback);

// Any host thread. What both exported entry names do: builds one Quelor.
AEffect* QuelorPluginMain(audioMasterCallback hostCallback);
