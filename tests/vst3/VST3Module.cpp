#include "VST3Module.h"

#include <filesystem>

using namespace vst3;

VST3Module::VST3Module(const std::string& path, Entry entry) {
    if (!Load(SharedLibrary::NativePath(path), entry))
        Unload();
}

VST3Module::~VST3Module() {
    Unload();
}

bool VST3Module::Load(const std::string& path, Entry entry) {
    const std::string binary = std::filesystem::is_directory(path) ? BinaryInBundle(path) : path;
    if (!library.Open(binary)) {
        error = library.Error();
        return false;
    }
    if (entry == Entry::Call && !CallEntry())
        return false;
    using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();
    const auto getFactory = library.FunctionNamed<GetFactoryProc>("GetPluginFactory");
    if (!getFactory) {
        error = binary + " exports no GetPluginFactory";
        return false;
    }
    factory = getFactory();
    if (!factory) {
        error = binary + ": GetPluginFactory gave no factory";
        return false;
    }
    return true;
}

void VST3Module::Unload() {
    if (factory)
        factory->release();
    factory = nullptr;
    if (entered)
        CallExit();
    entered = false;
    library.Close();
}

std::string VST3Module::BinaryInBundle(const std::string& bundle) {
    std::filesystem::path folder(bundle);
    if (!folder.has_filename())
        folder = folder.parent_path();
    return (folder / "Contents" / ArchitectureFolder() / (folder.stem().string() + BinarySuffix()))
        .string();
}
