#include "VST3Module.h"

std::string VST3Module::ArchitectureFolder() {
    return sizeof(void*) == 8 ? "x86_64-win" : "x86-win";
}

const char* VST3Module::BinarySuffix() {
    return ".vst3";
}

// InitDll is optional on Windows; a module that has one may refuse to load.
bool VST3Module::CallEntry() {
    using EntryProc = bool(PLUGIN_API*)();
    const auto initDll = library.FunctionNamed<EntryProc>("InitDll");
    if (!initDll)
        return true;
    if (!initDll()) {
        error = "InitDll failed";
        return false;
    }
    entered = true;
    return true;
}

void VST3Module::CallExit() {
    using ExitProc = bool(PLUGIN_API*)();
    if (const auto exitDll = library.FunctionNamed<ExitProc>("ExitDll"))
        exitDll();
}
