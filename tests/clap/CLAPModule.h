#pragma once

#include "CLAPInterface.h"

#include <string>

// A .clap file opened as a host opens it (dlopen or LoadLibrary), and its exported
// clap_entry, the data object every CLAP module exports. Closed again on destruction;
// calling the entry's init and deinit is the test's part.
class CLAPModule {
public:
    // path: the file's path on the build machine (under wine, the build machine's file
    // system is drive Z:).
    explicit CLAPModule(const std::string& path);
    ~CLAPModule();
    CLAPModule(const CLAPModule&) = delete;
    CLAPModule& operator=(const CLAPModule&) = delete;

    // Null when the file did not open or exports no clap_entry; Error() says which.
    const clap_plugin_entry_t* Entry() const { return entry; }
    const std::string& Error() const { return error; }
    // The path the way this platform names the file, which is what init expects.
    const std::string& Path() const { return path; }

private:
    // One file per platform.
    static std::string NativePath(const std::string& path);
    static void* Open(const std::string& path, std::string& error);
    static const void* Symbol(void* library, const char* name);
    static void Close(void* library);

    std::string path;
    std::string error;
    void* library = nullptr;
    const clap_plugin_entry_t* entry = nullptr;
};
