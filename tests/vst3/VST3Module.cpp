#include "VST3Module.h"

#include <filesystem>

using namespace vst3;

VST3Module::VST3Module(const std::string& path, Entry entry) {
    const std::string native = SharedLibrary::NativePath(path);
    const std::string binary =
        std::filesystem::is_directory(native) ? BinaryInBundle(native) : native;
    if (!library.Open(binary)) {
        error = library.Error();
    } else if (entry == Entry::Skip || CallEntry()) {
        using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();
        const auto getFactory = library.FunctionNamed<GetFactoryProc>("GetPluginFactory");
        factory = getFactory ? getFactory() : nullptr;
        if (!factory)
            error = binary + (getFactory ? ": GetPluginFactory gave no factory"
                                         : " exports no GetPluginFactory");
    }
}

VST3Module::~VST3Module() {
    if (factory)
        factory->release();
    if (entered)
        CallExit();
}
