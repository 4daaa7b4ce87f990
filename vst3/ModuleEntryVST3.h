#pragma once

// The module's entry and exit calls (ModuleEntry and ModuleExit on Linux, InitDll and
// ExitDll on Windows). Hosts may call them more than once, or never: they are counted,
// and nothing depends on them. An exit without a matching entry answers false.
bool EnterModuleVST3();
bool ExitModuleVST3();
