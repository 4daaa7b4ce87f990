// The two names under which hosts look for the entry point. C++ cannot name a
// function main in a shared object, so the second is renamed at the assembler.
#include "QuelorEntry.h"

#define QUELOR_EXPORT __attribute__((visibility("default")))

extern "C" {
QUELOR_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback);
QUELOR_EXPORT AEffect* VSTPluginMainAsMain(audioMasterCallback hostCallback) __asm__("main");
}

AEffect* VSTPluginMain(audioMasterCallback hostCallback) {
    return QuelorPluginMain(hostCallback);
}

AEffect* VSTPluginMainAsMain(audioMasterCallback hostCallback) {
    return QuelorPluginMain(hostCallback);
}
