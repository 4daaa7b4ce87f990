#include "PluginModule.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

PluginModule::PluginModule() {
    // QUELOR_MODULE names another build of the module, such as an unpacked release's.
    const char* other = std::getenv("QUELOR_MODULE");
    const char* path = other && *other ? other : QUELOR_MODULE_PATH;
    handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        ADD_FAILURE() << "cannot open " << path << ": " << dlerror();
        std::abort();
    }
    pluginMain = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
    mainAlias = reinterpret_cast<Entry>(dlsym(handle, "main"));
}

void* PluginModule::Symbol(const char* name) const {
    return dlsym(handle, name);
}
