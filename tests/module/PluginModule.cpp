#include "PluginModule.h"

#include <gtest/gtest.h>

#include <cstdlib>

PluginModule& PluginModule::Get() {
    static PluginModule module;
    return module;
}

PluginModule::PluginModule() {
    // QUELOR_MODULE names another build of the module, such as an unpacked release's.
    const char* other = std::getenv("QUELOR_MODULE");
    const std::string path = other && *other ? other : QUELOR_MODULE_PATH;
    if (!library.Open(path)) {
        ADD_FAILURE() << "cannot open " << path << ": " << library.Error();
        std::abort();
    }
    // As a host keeps a module while an effect of it may be open: to the process's end.
    library.KeepLoaded();
    pluginMain = library.FunctionNamed<Entry>("VSTPluginMain");
    mainAlias = library.FunctionNamed<Entry>("main");
}

void PluginInstance::Close() {
    if (effect)
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
}

void PluginInstance::OpenLikeHost(float sampleRate, intptr_t blockSize) const {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
}

std::string PluginInstance::Text(int32_t opcode, int32_t index) const {
    char text[256] = {};
    Dispatch(opcode, index, 0, text);
    return text;
}
