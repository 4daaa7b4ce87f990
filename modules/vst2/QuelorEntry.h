#pragma once

#include "VST2Interface.h"

// Any host thread. What both exported entry names do: builds one Quelor.
AEffect* QuelorPluginMain(audioMasterCallback hostCallback);
