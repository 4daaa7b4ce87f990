#include "SharedLibrary.h"

#include <windows.h>

bool SharedLibrary::Open(const std::string& path) {
    Close();
    const std::string native = NativePath(path);
    handle = LoadLibraryA(native.c_str());
    if (handle) {
        error.clear();
        return true;
    }
    error = "cannot load " + native + ": error " + std::to_string(GetLastError());
    return false;
}

void SharedLibrary::Close() {
    if (handle)
        FreeLibrary(static_cast<HMODULE>(handle));
    handle = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
    // GetProcAddress answers every symbol, data ones too, as one generic function pointer.
    return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name))
                  : nullptr;
}

// The Windows programs are the test hosts under wine, handed paths on the build machine,
// whose file system wine shows as drive Z:.
std::string SharedLibrary::NativePath(const std::string& path) {
    std::string native = path;
    if (!native.empty() && native.front() == '/')
        native.insert(0, "Z:");
    for (char& c : native)
        if (c == '/')
            c = '\\';
    return native;
}
