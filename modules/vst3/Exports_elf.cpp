// What a Linux host sees of the module: GetPluginFactory and the entry and exit calls.
#include "FactoryVST3.h"
#include "ModuleEntryVST3.h"
#include "ModuleInstance.h"
#include "QuelorVST3.h"

#define QUELOR_EXPORT __attribute__((visibility("default")))

// The C runtime's handle of this shared object, recorded at load as the module instance.
extern "C" void* __dso_handle;
namespace {
[[maybe_unused]] const bool gInstanceRecorded = (RecordModuleInstance(&__dso_handle), true);
} // namespace

extern "C" {
QUELOR_EXPORT vst3::IPluginFactory* PLUGIN_API GetPluginFactory();
QUELOR_EXPORT bool ModuleEntry(void* libraryHandle);
QUELOR_EXPORT bool ModuleExit();
}

vst3::IPluginFactory* PLUGIN_API GetPluginFactory() {
    return FactoryVST3::Acquire(QuelorVST3Product());
}

bool ModuleEntry(void*) {
    return EnterModuleVST3();
}

bool ModuleExit() {
    return ExitModuleVST3();
}
