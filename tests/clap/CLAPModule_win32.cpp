#include "CLAPModule.h"

#include <windows.h>

// Wine shows the build machine's file system as drive Z:.
std::string CLAPModule::NativePath(const std::string& path) {
    std::string native = path;
    if (!native.empty() && native.front() == '/')
        native.insert(0, "Z:");
    for (char& c : native)
        if (c == '/')
            c = '\\';
    return native;
}

void* CLAPModule::Open(const std::string& path, std::string& error) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library)
        error = "cannot load " + path + ": error " + std::to_string(GetLastError());
    return library;
}

const void* CLAPModule::Symbol(void* library, const char* name) {
    // GetProcAddress answers every symbol, data ones too, as one generic function pointer.
    return reinterpret_cast<const void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CLAPModule::Close(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
