#include "SharedLibrary.h"

#include <dlfcn.h>

bool SharedLibrary::Open(const std::string& path) {
    Close();
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) {
        error.clear();
        return true;
    }
    const char* reason = dlerror();
    error = reason ? reason : "cannot open " + path;
    return false;
}

void SharedLibrary::Close() {
    if (handle)
        dlclose(handle);
    handle = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
    return handle ? dlsym(handle, name) : nullptr;
}

std::string SharedLibrary::NativePath(const std::string& path) {
    return path;
}
