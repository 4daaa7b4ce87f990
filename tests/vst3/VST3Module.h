#pragma once

#include "SharedLibrary.h"
#include "VST3Factory.h"

#include <string>

// A VST 3 module opened as a host opens it: the binary loaded (from a bundle, the one for
// this platform), its entry function called (ModuleEntry with the library handle on
// Linux, where hosts require it; InitDll where a Windows module has one), and one
// reference to its factory taken through GetPluginFactory. The destructor gives these
// back in reverse order.
class VST3Module {
public:
    // Some hosts never call the entry functions; a module must work without them.
    enum class Entry { Call, Skip };

    // `path` is the binary, or a bundle folder holding one for this platform.
    explicit VST3Module(const std::string& path, Entry entry = Entry::Call);
    ~VST3Module();

    // When the module did not load, Error says why and Factory is null.
    const std::string& Error() const { return error; }
    // Borrowed from the module, which holds the reference.
    vst3::IPluginFactory* Factory() const { return factory; }
    void* Symbol(const char* name) const { return library.Symbol(name); }

private:
    // One file per platform: Contents/<architecture>/<name><suffix> in a bundle, and the
    // entry calls. CallEntry answers whether loading goes on, and sets `entered` or the
    // error it fails with.
    static std::string BinaryInBundle(const std::string& bundle);
    bool CallEntry();
    void CallExit();

    SharedLibrary library;
    bool entered = false;
    vst3::IPluginFactory* factory = nullptr;
    std::string error;
};
