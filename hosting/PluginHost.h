#pragma once

#include "SharedLibrary.h"
#include "VST2Interface.h"

#include <memory>
#include <string>

// A VST 2 module loaded the way a host loads it: the library, the exported entry
// point, and from then on only the effect record. Several hosts may live in one
// process, each driven by one thread at a time: the callback finds its host
// through the record's host field, or through the thread while the entry point runs.
class PluginHost {
public:
    // Main thread. Null with a one-line reason in error when the module cannot
    // be opened, has no entry point, or gives no valid effect record.
    static std::unique_ptr<PluginHost> Load(const std::string& path, std::string* error);
    using EntryPoint = AEffect* (*)(audioMasterCallback);
    // Main thread. As Load, for an effect linked into this program, made by entry.
    static std::unique_ptr<PluginHost> Create(EntryPoint entry, const std::string& name,
                                              std::string* error);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Main thread, as every operation here.
    AEffect* Effect() const { return effect; }
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) const;
    int ParameterCount() const { return effect->numParams; }
    float GetParameter(int index) const { return effect->getParameter(effect, index); }
    void SetParameter(int index, float value) const { effect->setParameter(effect, index, value); }
    // effString2Parameter: whether the plug-in reads texts for parameter index (asked with
    // a null text, as the protocol allows), and setting it from one; false where refused.
    bool TakesParameterText(int index) const { return Dispatch(effString2Parameter, index) != 0; }
    bool SetParameterText(int index, const std::string& text) const;
    std::string ParameterName(int index) const { return Text(effGetParamName, index); }
    std::string ParameterLabel(int index) const { return Text(effGetParamLabel, index); }
    std::string ParameterDisplay(int index) const { return Text(effGetParamDisplay, index); }
    std::string ProgramName() const { return Text(effGetProgramName, 0); }
    std::string ProgramNameAt(int index) const { return Text(effGetProgramNameIndexed, index); }
    std::string EffectName() const { return Text(effGetEffectName, 0); }
    std::string VendorName() const { return Text(effGetVendorString, 0); }
    std::string ProductName() const { return Text(effGetProductString, 0); }

    // effOpen, rate and block size, in the order hosts use.
    void Open(double sampleRate, int blockSize);
    // A new rate and block size while suspended, as between two files.
    void Prepare(double sampleRate, int blockSize);
    // Announces how many inputs and outputs carry audio.
    void AnnounceChannels(int inputs, int outputs) const;
    void Resume() const;
    void Suspend() const;
    // What audioMasterGetTime reports from now on.
    void SetSamplePosition(double position) { timeInfo.samplePos = position; }

private:
    PluginHost() = default;
    bool Start(EntryPoint entry, const std::string& name, std::string* error);
    std::string Text(int32_t opcode, int32_t index) const;
    static intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                 void* ptr, float opt);

    SharedLibrary library;
    AEffect* effect = nullptr;
    VstTimeInfo timeInfo{};
    int blockSize = 0;
};
