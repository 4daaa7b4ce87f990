#include "VST3Module.h"

#include <sys/utsname.h>

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
    const auto moduleEntry = library.FunctionNamed<EntryProc>("ModuleEntry");
    if (!moduleEntry) {
        error = "the module exports no ModuleEntry";
        return false;
    }
    if (!moduleEntry(library.Handle())) {
        error = "ModuleEntry failed";
        return false;
    }
    entered = true;
    return true;
}

void VST3Module::CallExit() {
    using ExitProc = bool (*)();
    if (const auto moduleExit = library.FunctionNamed<ExitProc>("ModuleExit"))
        moduleExit();
}
