#include "CLAPModule.h"

#include <dlfcn.h>

std::string CLAPModule::NativePath(const std::string& path) {
    return path;
}

// As hosts and the public validator open modules: every symbol bound at once, none shared.
void* CLAPModule::Open(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        error = dlerror();
    return library;
}

const void* CLAPModule::Symbol(void* library, const char* name) {
    return dlsym(library, name);
}

void CLAPModule::Close(void* library) {
    dlclose(library);
}
