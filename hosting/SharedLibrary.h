#pragma once

#include <string>

// A shared library (a plug-in module or any other) opened as hosts open one: every symbol
// bound at once, none made visible to libraries loaded later. Closed on destruction
// unless kept loaded. One file per platform.
class SharedLibrary {
public:
    SharedLibrary() = default;
    explicit SharedLibrary(const std::string& path) { Open(path); }
    ~SharedLibrary() {
        if (!keep)
            Close();
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Closes what was open first. False when the file does not load; Error says why.
    bool Open(const std::string& path);
    void Close();
    // The destructor leaves the library loaded: the code of an effect still open, or of
    // a runtime the library carries, must outlive this object.
    void KeepLoaded() { keep = true; }

    bool IsOpen() const { return handle != nullptr; }
    const std::string& Error() const { return error; }
    // The address of a data or function symbol; null when there is none or nothing open.
    void* Symbol(const char* name) const;
    template <class Function> Function FunctionNamed(const char* name) const {
        return reinterpret_cast<Function>(Symbol(name));
    }
    // What the platform's loader answered, which a VST 3 module's ModuleEntry takes.
    void* Handle() const { return handle; }

    // The path as this platform's loader names the file.
    static std::string NativePath(const std::string& path);

private:
    void* handle = nullptr;
    bool keep = false;
    std::string error;
};
