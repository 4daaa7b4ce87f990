#include "PluginModule.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

PluginModule& PluginModule::Get() {
    static PluginModule module;
    return module;
}

PluginModule::PluginModule() {
    handle = dlopen(QUELOR_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        ADD_FAILURE() << "cannot open " << QUELOR_MODULE_PATH << ": " << dlerror();
        std::abort();
    }
    pluginMain = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
    mainAlias = reinterpret_cast<Entry>(dlsym(handle, "main"));
}

void* PluginModule::Symbol(const char* name) const {
    return dlsym(handle, name);
}

PluginInstance::PluginInstance(PluginModule::Entry entry, audioMasterCallback host)
    : effect(entry(host)) {}

PluginInstance::~PluginInstance() {
    Close();
}

void PluginInstance::Close() {
    if (effect)
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
}

intptr_t PluginInstance::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) const {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
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

std::string PluginInstance::ParamDisplayAt(int32_t index, float normalized) const {
    effect->setParameter(effect, index, normalized);
    return Text(effGetParamDisplay, index);
}
