#include "VST3Module.h"

#include <dlfcn.h>
#include <sys/utsname.h>

std::string VST3Module::NativePath(const std::string& path) {
    return path;
}

void* VST3Module::OpenLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!library)
        error = dlerror();
    return library;
}

void* VST3Module::FindSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void VST3Module::CloseLibrary(void* library) {
    dlclose(library);
}

// The machine name with "-linux", as `uname -m` gives it.
std::string VST3Module::ArchitectureFolder() {
    utsname machine{};
    uname(&machine);
    return std::string(machine.machine) + "-linux";
}

const char* VST3Module::BinarySuffix() {
    return ".so";
}

// Linux hosts refuse a module without ModuleEntry; it gets the library handle.
bool VST3Module::CallEntry() {
    using EntryProc = bool (*)(void*);
    const auto moduleEntry = reinterpret_cast<EntryProc>(Symbol("ModuleEntry"));
    if (!moduleEntry) {
        error = "the module exports no ModuleEntry";
        return false;
    }
    if (!moduleEntry(library)) {
        error = "ModuleEntry failed";
        return false;
    }
    entered = true;
    return true;
}

void VST3Module::CallExit() {
    using ExitProc = bool (*)();
    if (const auto moduleExit = reinterpret_cast<ExitProc>(Symbol("ModuleExit")))
        moduleExit();
}
