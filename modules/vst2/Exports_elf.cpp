// The two names under which hosts look for the entry point. C++ cannot name a
// function main in a shared object, so the second is renamed at the assembler.
#include "ModuleInstance.h"
#include "QuelorEntry.h"

#define QUELOR_EXPORT __attribute__((visibility("default")))

// The C runtime's handle of this shared object, recorded at load as the module instance
// (it is also what the raster library's RAS_OwnModule gives inside the module).
extern "C" void* __dso_handle;
namespace {
[[maybe_unused]] const bool gInstanceRecorded = (RecordModuleInstance(&__dso_handle), true);
} // namespace

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
