#pragma once

#include "CLAPInterface.h"
#include "SharedLibrary.h"

#include <string>

// A .clap file opened as a host opens it, and its exported clap_entry, the data object
// every CLAP module exports. Closed again on destruction; calling the entry's init and
// deinit is the test's part.
class CLAPModule {
public:
    // path: the file's path on the build machine (under wine, the build machine's file
    // system is drive Z:).
    explicit CLAPModule(const std::string& path);
    CLAPModule(const CLAPModule&) = delete;
    CLAPModule& operator=(const CLAPModule&) = delete;

    // Null when the file did not open or exports no clap_entry; Error() says which.
    const clap_plugin_entry_t* Entry() const { return entry; }
    const std::string& Error() const { return error; }
    // The path the way this platform names the file, which is what init expects.
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::string error;
    SharedLibrary library;
    const clap_plugin_entry_t* entry = nullptr;
};
