#pragma once

#include "CheckerHost.h"
#include "SharedLibrary.h"

#include <string>

// The built Quelor.so, opened once per test process the way a host opens it.
class PluginModule {
public:
    using Entry = AEffect* (*)(audioMasterCallback);

    static PluginModule& Get();

    Entry PluginMain() const { return pluginMain; }
    Entry MainAlias() const { return mainAlias; }
    void* Symbol(const char* name) const { return library.Symbol(name); }

private:
    PluginModule();
    SharedLibrary library;
    Entry pluginMain = nullptr;
    Entry mainAlias = nullptr;
};

// One effect instance, driven only through its record.
class PluginInstance {
public:
    explicit PluginInstance(PluginModule::Entry entry = PluginModule::Get().PluginMain(),
                            audioMasterCallback host = CheckerHost::Callback())
        : effect(entry(host)) {}
    ~PluginInstance() { Close(); }
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* Record() const { return effect; }
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) const {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // Opens the effect and sets rate and block size as a host does.
    void OpenLikeHost(float sampleRate, intptr_t blockSize) const;
    std::string Text(int32_t opcode, int32_t index = 0) const;
    void Set(int32_t index, float normalized) const {
        effect->setParameter(effect, index, normalized);
    }
    float Get(int32_t index) const { return effect->getParameter(effect, index); }
    void Close();

private:
    AEffect* effect;
};
