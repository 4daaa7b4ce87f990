#include "PluginModule.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

PluginModule::PluginModule() {
    handle = dlopen(QUELOR_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        ADD_FAILURE() << "cannot open " << QUELOR_MODULE_PATH << ": " << dlerror();
        std::abort();
    }
    pluginMain = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
    mainAlias = reinterpret_cast<Entry>(dlsym(handle, "main"));
}

void* PluginModule::Symbol(const char* name) const {
    return dlsym(handle, name);
}
