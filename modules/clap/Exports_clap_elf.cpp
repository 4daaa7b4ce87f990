// The one symbol a CLAP host looks for: the entry record itself, a data object.
#include "CLAPEntry.h"
#include "ModuleInstance.h"

// The C runtime's handle of this shared object, recorded at load as the module instance:
// the editor finds its images through it.
extern "C" void* __dso_handle;
namespace {
[[maybe_unused]] const bool gInstanceRecorded = (RecordModuleInstance(&__dso_handle), true);
} // namespace

extern "C" __attribute__((visibility("default"))) const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION, CLAPEntryInit, CLAPEntryDeinit, CLAPEntryGetFactory};
