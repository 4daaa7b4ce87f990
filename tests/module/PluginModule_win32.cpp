#include "PluginModule.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
// The build hands over the module's path on the build machine; wine shows that
// machine's file system as drive Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path.front() == '/')
        path.insert(0, "Z:");
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

template <class Function> Function ProcAddress(HMODULE module, const char* name) {
    // GetProcAddress answers every symbol with one generic function pointer type.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
} // namespace

PluginModule::PluginModule() {
    // QUELOR_MODULE names another build of the module, such as an unpacked release's.
    const char* other = std::getenv("QUELOR_MODULE");
    const std::string path = WindowsPath(other && *other ? other : QUELOR_MODULE_PATH);
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        ADD_FAILURE() << "cannot load " << path << ": error " << GetLastError();
        std::abort();
    }
    handle = module;
    pluginMain = ProcAddress<Entry>(module, "VSTPluginMain");
    mainAlias = ProcAddress<Entry>(module, "main");
}

void* PluginModule::Symbol(const char* name) const {
    return ProcAddress<void*>(static_cast<HMODULE>(handle), name);
}
