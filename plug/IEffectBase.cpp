#include "IEffectBase.h"

#include "FatalAssert.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Room for the product name a host gives.
constexpr int kHostProductSize = 256;

// Zero-filled buffers of count samples, one per channel; false when one could not be had.
bool MakeZeroedBuffers(std::vector<GrowArray<double>>& buffers, std::size_t channels,
                       std::size_t count) {
    buffers.resize(channels);
    for (auto& buffer : buffers) {
        if (!buffer.Resize(count))
            return false;
        if (double* data = buffer.Data())
            std::fill_n(data, count, 0.0);
    }
    return true;
}

// Puts prepared scratch buffers in place; each channel's old one goes into its place.
template <class Channels>
void SwapScratch(Channels& channels, std::vector<GrowArray<double>>& buffers) {
    for (std::size_t i = 0; i < channels.size(); ++i) {
        auto& channel = *channels[i];
        channel.scratch.Swap(buffers[i]);
        if (!channel.connected)
            *channel.slot = channel.scratch.Data();
    }
}

std::size_t ClampedRange(int first, int count, std::size_t size, std::size_t* begin) {
    if (first < 0 || count <= 0 || static_cast<std::size_t>(first) >= size) {
        *begin = 0;
        return 0;
    }
    *begin = static_cast<std::size_t>(first);
    return std::min(size, *begin + static_cast<std::size_t>(count));
}

template <class Channels>
void MarkConnected(Channels& channels, int first, int count, bool connected) {
    std::size_t i;
    const std::size_t end = ClampedRange(first, count, channels.size(), &i);
    for (; i < end; ++i) {
        auto& channel = *channels[i];
        // An input's scratch last held widened host samples; unconnected it must read silence.
        if (channel.connected && !connected && channel.scratch.Data())
            std::fill_n(channel.scratch.Data(), channel.scratch.Count(), 0.0);
        channel.connected = connected;
        if (!connected)
            *channel.slot = channel.scratch.Data();
    }
}

// Hands a 32-bit block's results to the host, replacing or adding.
template <class Channels> void NarrowOutputs(Channels& channels, int frames, bool accumulate) {
    for (auto& channel : channels) {
        float* destination = channel->hostDestination;
        if (!channel->connected || !destination)
            continue;
        const double* processed = channel->scratch.Data();
        for (int i = 0; i < frames; ++i) {
            const auto sample = static_cast<float>(processed[i]);
            destination[i] = accumulate ? destination[i] + sample : sample;
        }
        channel->hostDestination = nullptr;
    }
}
} // namespace

IEffectBase::IEffectBase(const EffectIdentity& identity, const IEditorFactory* factory)
    : uniqueId(identity.uniqueId), makerId(identity.makerId), version(identity.version),
      doesChunks(identity.doesChunks), isInstrument(identity.isInstrument),
      latency(identity.latency), editorFactory(factory), meters(identity.meters) {
    QUELOR_FATAL_ASSERT(meters.size() <= static_cast<std::size_t>(kMostMeters));
    for (int i = 0; i < identity.parameterCount; ++i)
        parameters.push_back(std::make_unique<IParameter>());
    for (int i = 0; i < identity.presetCount; ++i) {
        auto preset = std::make_unique<IPreset>();
        std::snprintf(preset->name, sizeof preset->name, "- %d -", i);
        presets.push_back(std::move(preset));
    }
    CopyText(effectName, identity.effectName, sizeof effectName);
    CopyText(productName, identity.productName, sizeof productName);
    CopyText(makerName, identity.makerName, sizeof makerName);
    if (identity.buses) {
        busLayout = *identity.buses;
        channelIO = busLayout.ChannelConfigurations();
        MakeChannels(busLayout.ChannelCount(BusDirection::kInput),
                     busLayout.ChannelCount(BusDirection::kOutput));
        return;
    }
    ParseChannelConfigurations(identity.channelConfigurations);
    wholeBuses[0] = {"Input", BusRole::kMain, InputCount(), false, false, {}, {}};
    wholeBuses[1] = {"Output", BusRole::kMain, OutputCount(), false, false, {}, {}};
    busLayout = {{&wholeBuses[0], InputCount() > 0 ? 1u : 0u},
                 {&wholeBuses[1], OutputCount() > 0 ? 1u : 0u}};
}

void IEffectBase::ParseChannelConfigurations(const char* channelIOStr) {
    int mostInputs = 0;
    int mostOutputs = 0;
    for (;;) {
        int nIn = 0;
        int nOut = 0;
        QUELOR_FATAL_ASSERT(sscanf(channelIOStr, "%d-%d", &nIn, &nOut) == 2);
        channelIO.push_back({nIn, nOut});
        mostInputs = std::max(mostInputs, nIn);
        mostOutputs = std::max(mostOutputs, nOut);
        // The number reading skips leading spaces, so the token's own end is searched from its
        // start.
        while (*channelIOStr == ' ')
            ++channelIOStr;
        channelIOStr = std::strchr(channelIOStr, ' ');
        if (!channelIOStr)
            break;
        ++channelIOStr;
    }
    MakeChannels(mostInputs, mostOutputs);
}

void IEffectBase::MakeChannels(int inputs, int outputs) {
    inputPointers.assign(static_cast<std::size_t>(inputs), nullptr);
    outputPointers.assign(static_cast<std::size_t>(outputs), nullptr);
    for (double*& slot : inputPointers) {
        inputChannels.push_back(std::make_unique<IInChannel>());
        inputChannels.back()->slot = &slot;
    }
    for (double*& slot : outputPointers) {
        outputChannels.push_back(std::make_unique<IOutChannel>());
        outputChannels.back()->slot = &slot;
    }
}

IEffectBase::~IEffectBase() {
    editorWindow = nullptr;
    editor.reset();
    while (!parameters.empty())
        parameters.pop_back();
    while (!presets.empty())
        presets.pop_back();
    while (!inputChannels.empty())
        inputChannels.pop_back();
    while (!outputChannels.empty())
        outputChannels.pop_back();
    channelIO.clear();
}

void IEffectBase::ResetProcessing() {
    ScopedPlugLock lock(plugLock);
}

void IEffectBase::ParameterChanged(int) {
    ScopedPlugLock lock(plugLock);
}

void IEffectBase::ProcessBlock(double** inputs, double** outputs, int frames) {
    const auto count = static_cast<std::size_t>(std::max(frames, 0));
    for (std::size_t ch = 0; ch < outputChannels.size(); ++ch) {
        if (ch < inputChannels.size())
            std::copy_n(inputs[ch], count, outputs[ch]);
        else
            std::fill_n(outputs[ch], count, 0.0);
    }
}

void IEffectBase::NotifyHostEditBegin(int index) {
    QUELOR_DEBUG_ASSERT(!plugLock.HeldByThisThread());
    if (host)
        host->EditBegin(index);
}

void IEffectBase::NotifyHostParameter(int index, double normalized, double value) {
    QUELOR_DEBUG_ASSERT(!plugLock.HeldByThisThread());
    if (host)
        host->EditValue(index, normalized, value);
}

void IEffectBase::NotifyHostEditEnd(int index) {
    QUELOR_DEBUG_ASSERT(!plugLock.HeldByThisThread());
    if (host)
        host->EditEnd(index);
}

HostKind IEffectBase::IdentifyHost() {
    if (hostKind != kHostKindNotAsked || !host)
        return hostKind;
    QUELOR_DEBUG_ASSERT(!plugLock.HeldByThisThread());
    char product[kHostProductSize] = {};
    int32_t packedVersion = 0;
    host->HostProduct(product, kHostProductSize, &packedVersion);
    // A host that writes no terminator must not make us read past the buffer.
    product[kHostProductSize - 1] = '\0';
    ScopedPlugLock lock(plugLock);
    SetHost(product, packedVersion);
    return hostKind;
}

bool IEffectBase::EditorSizeChanged(int width, int height) {
    QUELOR_DEBUG_ASSERT(!plugLock.HeldByThisThread());
    return host && host->EditorResized(width, height);
}

bool IEffectBase::EditorSize(int* width, int* height) const {
    if (editorWindow) {
        *width = editorWindow->EditorWidth();
        *height = editorWindow->EditorHeight();
        return true;
    }
    if (editor || !editorFactory)
        return false;
    *width = editorFactory->width;
    *height = editorFactory->height;
    return true;
}

double IEffectBase::SystemEditorScale() const {
    return editorFactory && editorFactory->systemScale ? editorFactory->systemScale() : 1.0;
}

IEditorWindow* IEffectBase::EnsureEditor() {
    if (!editor && editorFactory)
        AttachEditor(editorFactory->build(*this));
    return editorWindow;
}

void IEffectBase::AttachEditor(IEditorLink* newEditor) {
    if (!newEditor)
        return;
    std::unique_ptr<IEditorLink> attached(newEditor);
    attached->CreateDrawSurface();
    IEditorWindow* window = dynamic_cast<IEditorWindow*>(newEditor);
    ScopedPlugLock lock(plugLock);
    // A control takes the first value it is given as the one a double-click restores.
    for (int i = 0; i < ParameterCount(); ++i) {
        const IParameter& parameter = *parameters[static_cast<std::size_t>(i)];
        attached->PushParamToControls(i, parameter.DefaultNormalized(), true);
        attached->PushParamToControls(i, parameter.Normalized(), true);
    }
    // The one it replaces leaves with attached, after the lock.
    editor.swap(attached);
    editorWindow = window;
}

void IEffectBase::SetMaxBlockSize(int frames) {
    IBlockBuffers buffers = PrepareBlockBuffers(frames);
    // Declared after buffers, the lock goes first: the old buffers are freed without it.
    ScopedPlugLock lock(plugLock);
    SwapBlockBuffers(buffers);
}

std::unique_ptr<IWorkBuffers> IEffectBase::MakeWorkBuffers(int) {
    return nullptr;
}

void IEffectBase::AdoptWorkBuffers(IWorkBuffers&) {}

void IEffectBase::ReadMeters(MeterReadings&) const {}

IBlockBuffers IEffectBase::PrepareBlockBuffers(int frames) {
    IBlockBuffers buffers;
    buffers.frames = std::max(frames, 0);
    const auto count = static_cast<std::size_t>(buffers.frames);
    buffers.complete = MakeZeroedBuffers(buffers.inputs, inputChannels.size(), count) &&
                       MakeZeroedBuffers(buffers.outputs, outputChannels.size(), count);
    buffers.work = MakeWorkBuffers(buffers.frames);
    return buffers;
}

void IEffectBase::SwapBlockBuffers(IBlockBuffers& buffers) {
    if (!buffers.complete || buffers.frames == maxBlockSize ||
        buffers.inputs.size() != inputChannels.size() ||
        buffers.outputs.size() != outputChannels.size())
        return;
    SwapScratch(inputChannels, buffers.inputs);
    SwapScratch(outputChannels, buffers.outputs);
    maxBlockSize = buffers.frames;
    if (buffers.work)
        AdoptWorkBuffers(*buffers.work);
}

IParameter* IEffectBase::ParameterAt(int index) {
    if (index < 0 || index >= ParameterCount())
        return nullptr;
    return parameters[static_cast<std::size_t>(index)].get();
}

const IParameter* IEffectBase::ParameterAt(int index) const {
    return const_cast<IEffectBase*>(this)->ParameterAt(index);
}

void IEffectBase::SetParameterFromGUI(int index, double normalized) {
    IParameter* parameter = ParameterAt(index);
    if (!parameter)
        return;
    double value;
    {
        ScopedPlugLock lock(plugLock);
        parameter->SetFromNormalized(normalized);
        value = parameter->Value();
        ParameterChanged(index);
        // A host's value that landed after the control took its own but before this lock
        // would otherwise stay on the control, while the parameter holds ours. Under the
        // lock, so that a host's value arriving later is the last one shown: the controls
        // only store atomic values.
        if (editor)
            editor->PushParamToControls(index, parameter->Normalized(), true);
    }
    // A host may take locks of its own in here, ones its audio thread holds while it
    // waits for ours: the host hears of the change only once ours is free.
    NotifyHostParameter(index, normalized, value);
}

bool IEffectBase::SetParameterFromHost(int index, double value, IValueUnit unit) {
    IParameter* parameter = ParameterAt(index);
    if (!parameter)
        return false;
    ScopedPlugLock lock(plugLock);
    const bool normalized = unit == IValueUnit::kNormalized;
    const double real =
        normalized ? parameter->ValueFromNormalized(value) : parameter->ValueFromReal(value);
    if (real == parameter->Value())
        return false;
    // The controls hear first, as the host gave the value.
    if (editor)
        editor->PushParamToControls(index, normalized ? value : real, normalized);
    parameter->SetLimited(real);
    ParameterChanged(index);
    return true;
}

int32_t IEffectBase::EffectVersion(bool decimal) const {
    if (!decimal)
        return version;
    const int32_t major = version >> 16 & 0xFFFF;
    const int32_t minor = version >> 8 & 0xFF;
    const int32_t patch = version & 0xFF;
    return major * 10000 + minor * 100 + patch;
}

void IEffectBase::SetHost(const char* productText, int32_t newVersion) {
    hostKind = HostKindFromProduct(productText);
    hostVersion = newVersion;
}

bool IEffectBase::LegalIO(int inputs, int outputs) const {
    return std::any_of(channelIO.begin(), channelIO.end(), [&](const IChannelIO& io) {
        return (inputs < 0 || inputs == io.inputs) && (outputs < 0 || outputs == io.outputs);
    });
}

bool IEffectBase::IsInputConnected(int i) const {
    return i >= 0 && i < InputCount() && inputChannels[static_cast<std::size_t>(i)]->connected;
}

bool IEffectBase::IsOutputConnected(int i) const {
    return i >= 0 && i < OutputCount() && outputChannels[static_cast<std::size_t>(i)]->connected;
}

void IEffectBase::MarkInputsConnected(int first, int count, bool connected) {
    MarkConnected(inputChannels, first, count, connected);
}

void IEffectBase::MarkInputsRead(int first, int count, bool read) {
    std::size_t i;
    const std::size_t end = ClampedRange(first, count, inputChannels.size(), &i);
    for (; i < end; ++i)
        inputChannels[i]->read = read;
}

void IEffectBase::MarkOutputsConnected(int first, int count, bool connected) {
    MarkConnected(outputChannels, first, count, connected);
}

void IEffectBase::BindInputBuffers(int first, int count, float** hostPointers, int frames) {
    const auto n = static_cast<std::size_t>(std::clamp(frames, 0, maxBlockSize));
    std::size_t i;
    const std::size_t end = ClampedRange(first, count, inputChannels.size(), &i);
    for (; i < end; ++i) {
        IInChannel& channel = *inputChannels[i];
        if (!channel.connected)
            continue;
        const float* source = *hostPointers++;
        double* widened = channel.scratch.Data();
        if (channel.read && source)
            std::copy_n(source, n, widened);
        else if (channel.read)
            std::fill_n(widened, n, 0.0);
        *channel.slot = widened;
    }
}

void IEffectBase::BindInputBuffers(int first, int count, double** hostPointers, int frames) {
    const auto n = static_cast<std::size_t>(std::clamp(frames, 0, maxBlockSize));
    std::size_t i;
    const std::size_t end = ClampedRange(first, count, inputChannels.size(), &i);
    for (; i < end; ++i) {
        IInChannel& channel = *inputChannels[i];
        if (!channel.connected)
            continue;
        double* source = *hostPointers++;
        if (!source) {
            source = channel.scratch.Data();
            std::fill_n(source, n, 0.0);
        }
        *channel.slot = source;
    }
}

void IEffectBase::BindOutputBuffers(int first, int count, float** hostPointers) {
    std::size_t i;
    const std::size_t end = ClampedRange(first, count, outputChannels.size(), &i);
    for (; i < end; ++i) {
        IOutChannel& channel = *outputChannels[i];
        if (!channel.connected)
            continue;
        *channel.slot = channel.scratch.Data();
        channel.hostDestination = *hostPointers++;
    }
}

void IEffectBase::BindOutputBuffers(int first, int count, double** hostPointers) {
    std::size_t i;
    const std::size_t end = ClampedRange(first, count, outputChannels.size(), &i);
    for (; i < end; ++i) {
        IOutChannel& channel = *outputChannels[i];
        if (channel.connected)
            *channel.slot = *hostPointers++;
    }
}

void IEffectBase::RunBlock(int frames) {
    frames = std::clamp(frames, 0, maxBlockSize);
    ProcessBlock(inputPointers.data(), outputPointers.data(), frames);
    NarrowOutputs(outputChannels, frames, false);
}

void IEffectBase::RunBlockDouble(int frames) {
    ProcessBlock(inputPointers.data(), outputPointers.data(), std::max(frames, 0));
}

void IEffectBase::RunBlockAccumulating(int frames) {
    frames = std::clamp(frames, 0, maxBlockSize);
    ProcessBlock(inputPointers.data(), outputPointers.data(), frames);
    NarrowOutputs(outputChannels, frames, true);
}
