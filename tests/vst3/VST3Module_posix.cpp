#include "VST3Module.h"

#include <sys/utsname.h>

#include <filesystem>

// Linux bundles keep the binary under the machine name with "-linux", as `uname -m` gives it.
std::string VST3Module::BinaryInBundle(const std::string& bundle) {
    std::filesystem::path folder(bundle);
    if (!folder.has_filename())
        folder = folder.parent_path();
    utsname machine{};
    uname(&machine);
    return (folder / "Contents" / (std::string(machine.machine) + "-linux") /
            (folder.stem().string() + ".so"))
        .string();
}

// Linux hosts refuse a module without ModuleEntry; it gets the library handle.
bool VST3Module::CallEntry() {
    using EntryProc = bool (*)(void*);
    const auto moduleEntry = library.FunctionNamed<EntryProc>("ModuleEntry");
    entered = moduleEntry && moduleEntry(library.Handle());
    if (!entered)
        error = moduleEntry ? "ModuleEntry failed" : "the module exports no ModuleEntry";
    return entered;
}

void VST3Module::CallExit() {
    using ExitProc = bool (*)();
    if (const auto moduleExit = library.FunctionNamed<ExitProc>("ModuleExit"))
        moduleExit();
}
