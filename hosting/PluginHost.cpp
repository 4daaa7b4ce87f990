#include "PluginHost.h"

#include <cstring>

namespace {
constexpr char kHostProduct[] = "quelor-render";
constexpr char kHostVendor[] = "Quelor";
constexpr intptr_t kHostVersion = 10000;
constexpr intptr_t kVstVersion = 2400;

// The host whose entry point call is under way on this thread: the record that
// would name it does not exist yet.
thread_local PluginHost* starting = nullptr;
} // namespace

std::unique_ptr<PluginHost> PluginHost::Load(const std::string& path, std::string* error) {
    std::unique_ptr<PluginHost> host(new PluginHost);
    if (!host->library.Open(path)) {
        *error = "cannot load plug-in module " + path + ": " + host->library.Error();
        return nullptr;
    }
    // The module stays loaded after the host ends: one that carries its own C++ runtime
    // leaves that runtime's memory behind when unloaded, and the process ends soon anyway.
    host->library.KeepLoaded();
    auto entry = host->library.FunctionNamed<EntryPoint>("VSTPluginMain");
    if (!entry)
        entry = host->library.FunctionNamed<EntryPoint>("main");
    if (!entry) {
        *error = path + " is not a VST 2 plug-in: it exports neither VSTPluginMain nor main";
        return nullptr;
    }
    return host->Start(entry, path, error) ? std::move(host) : nullptr;
}

std::unique_ptr<PluginHost> PluginHost::Create(EntryPoint entry, const std::string& name,
                                               std::string* error) {
    std::unique_ptr<PluginHost> host(new PluginHost);
    return host->Start(entry, name, error) ? std::move(host) : nullptr;
}

bool PluginHost::Start(EntryPoint entry, const std::string& name, std::string* error) {
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    starting = this;
    effect = entry(&HostCallback);
    starting = nullptr;
    if (!effect || effect->magic != kEffectMagic || !effect->dispatcher) {
        effect = nullptr;
        *error = name + " did not give a valid VST 2 effect";
        return false;
    }
    effect->resvd1 = reinterpret_cast<intptr_t>(this);
    return true;
}

PluginHost::~PluginHost() {
    if (effect)
        Dispatch(effClose);
    effect = nullptr;
}

intptr_t PluginHost::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                              float opt) const {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

bool PluginHost::SetParameterText(int index, const std::string& text) const {
    // The protocol passes a text the plug-in may not keep, through a pointer to non-const.
    std::string copy = text;
    return Dispatch(effString2Parameter, index, 0, copy.data()) != 0;
}

std::string PluginHost::Text(int32_t opcode, int32_t index) const {
    // Far larger than any published text size: plug-ins are known to overrun them.
    char text[512] = {};
    Dispatch(opcode, index, 0, text);
    text[sizeof text - 1] = '\0';
    return text;
}

void PluginHost::Open(double sampleRate, int frames) {
    Dispatch(effOpen);
    Prepare(sampleRate, frames);
}

void PluginHost::Prepare(double sampleRate, int frames) {
    blockSize = frames;
    timeInfo.sampleRate = sampleRate;
    timeInfo.samplePos = 0.0;
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    Dispatch(effSetBlockSize, 0, frames);
}

void PluginHost::AnnounceChannels(int inputs, int outputs) const {
    VstSpeakerArrangement in{};
    VstSpeakerArrangement out{};
    in.numChannels = inputs;
    out.numChannels = outputs;
    Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out);
}

void PluginHost::Resume() const {
    Dispatch(effMainsChanged, 0, 1);
    Dispatch(effStartProcess);
}

void PluginHost::Suspend() const {
    Dispatch(effStopProcess);
    Dispatch(effMainsChanged, 0, 0);
}

intptr_t PluginHost::HostCallback(AEffect* e, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    const PluginHost* current =
        e && e->resvd1 ? reinterpret_cast<const PluginHost*>(e->resvd1) : starting;
    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime:
        return current ? reinterpret_cast<intptr_t>(&current->timeInfo) : 0;
    case audioMasterGetSampleRate:
        return current ? static_cast<intptr_t>(current->timeInfo.sampleRate) : 0;
    case audioMasterGetBlockSize:
        return current ? current->blockSize : 0;
    case audioMasterGetProductString:
        if (ptr)
            std::memcpy(ptr, kHostProduct, sizeof kHostProduct);
        return ptr ? 1 : 0;
    case audioMasterGetVendorString:
        if (ptr)
            std::memcpy(ptr, kHostVendor, sizeof kHostVendor);
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
        return kHostVersion;
    default:
        // Automation, MIDI and display updates mean nothing to an offline render.
        return 0;
    }
}
