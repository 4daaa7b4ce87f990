// What a Windows host sees of the module: the load notification, which records the
// instance handle, GetPluginFactory and the entry and exit calls. VST3Exports.def gives
// the plain names, which 32-bit __stdcall would decorate.
#include "FactoryVST3.h"
#include "ModuleEntryVST3.h"
#include "ModuleInstance.h"
#include "QuelorVST3.h"

#include <windows.h>

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
vst3::IPluginFactory* PLUGIN_API GetPluginFactory();
bool PLUGIN_API InitDll();
bool PLUGIN_API ExitDll();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        RecordModuleInstance(instance);
    return TRUE;
}

vst3::IPluginFactory* PLUGIN_API GetPluginFactory() {
    return FactoryVST3::Acquire(QuelorVST3Product());
}

bool PLUGIN_API InitDll() {
    return EnterModuleVST3();
}

bool PLUGIN_API ExitDll() {
    return ExitModuleVST3();
}
