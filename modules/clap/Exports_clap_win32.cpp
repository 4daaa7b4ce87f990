// What a Windows host sees of the module: the load notification, which records the
// instance handle (the editor's images are its resources), and the entry record, which
// CLAPExports.def exports as data.
#include "CLAPEntry.h"
#include "ModuleInstance.h"

#include <windows.h>

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern const clap_plugin_entry_t clap_entry;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        RecordModuleInstance(instance);
    return TRUE;
}

const clap_plugin_entry_t clap_entry = {CLAP_VERSION, CLAPEntryInit, CLAPEntryDeinit,
                                        CLAPEntryGetFactory};
