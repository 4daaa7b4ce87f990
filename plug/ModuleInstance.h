#pragma once

// The instance handle of the plug-in module this code is linked into (the HINSTANCE
// of the DLL on Windows). The editor finds its image resources and registers its
// window class through it. Null until the module's load has recorded it, and in a
// program that links the effect directly instead of loading the module.
const void* ModuleInstance();

// Module load only (DllMain, or the module's static initialisation), before any
// entry point call; nothing writes it afterwards, so any thread may read it.
void RecordModuleInstance(const void* instance);
