#include "VST3Module.h"

#include <windows.h>

// The build hands over paths on the build machine; wine shows that machine's file
// system as drive Z:.
std::string VST3Module::NativePath(const std::string& path) {
    std::string native = path;
    if (!native.empty() && native.front() == '/')
        native.insert(0, "Z:");
    for (char& c : native)
        if (c == '/')
            c = '\\';
    return native;
}

void* VST3Module::OpenLibrary(const std::string& path, std::string& error) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library)
        error = "cannot load " + path + ": error " + std::to_string(GetLastError());
    return library;
}

void* VST3Module::FindSymbol(void* library, const char* name) {
    // GetProcAddress answers every symbol with one generic function pointer type.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void VST3Module::CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

std::string VST3Module::ArchitectureFolder() {
    return sizeof(void*) == 8 ? "x86_64-win" : "x86-win";
}

const char* VST3Module::BinarySuffix() {
    return ".vst3";
}

// InitDll is optional on Windows; a module that has one may refuse to load.
bool VST3Module::CallEntry() {
    using EntryProc = bool(PLUGIN_API*)();
    const auto initDll = reinterpret_cast<EntryProc>(Symbol("InitDll"));
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
    if (const auto exitDll = reinterpret_cast<ExitProc>(Symbol("ExitDll")))
        exitDll();
}
