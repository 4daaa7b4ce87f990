// What a Windows host sees of the module: the load notification, which records the
// instance handle, and the entry point under its two names. PluginExports.def gives
// the second name, main, which C++ cannot give a function.
#include "ModuleInstance.h"
#include "QuelorEntry.h"

#include <windows.h>

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
AEffect* __cdecl VSTPluginMain(audioMasterCallback hostCallback);
AEffect* __cdecl VSTPluginMainAsMain(audioMasterCallback hostCallback);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        RecordModuleInstance(instance);
    return TRUE;
}

AEffect* __cdecl VSTPluginMain(audioMasterCallback hostCallback) {
    return QuelorPluginMain(hostCallback);
}

AEffect* __cdecl VSTPluginMainAsMain(audioMasterCallback hostCallback) {
    return QuelorPluginMain(hostCallback);
}
