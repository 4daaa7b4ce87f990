#include "VST3Module.h"

#include <filesystem>

std::string VST3Module::BinaryInBundle(const std::string& bundle) {
    std::filesystem::path folder(bundle);
    if (!folder.has_filename())
        folder = folder.parent_path();
    return (folder / "Contents" / (sizeof(void*) == 8 ? "x86_64-win" : "x86-win") /
            (folder.stem().string() + ".vst3"))
        .string();
}

// InitDll is optional on Windows; a module that has one may refuse to load.
bool VST3Module::CallEntry() {
    using EntryProc = bool(PLUGIN_API*)();
    const auto initDll = library.FunctionNamed<EntryProc>("InitDll");
    entered = initDll && initDll();
    if (initDll && !entered)
        error = "InitDll failed";
    return !initDll || entered;
}

void VST3Module::CallExit() {
    using ExitProc = bool(PLUGIN_API*)();
    if (const auto exitDll = library.FunctionNamed<ExitProc>("ExitDll"))
        exitDll();
}
