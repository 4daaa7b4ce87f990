#include "LV2Plugin.h"

#include "HostPolicy.h"
#include "IEffectBase.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The maximum block length from the options feature, or the default when the host
// offers none we can read.
int BlockLengthFromFeatures(const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (; features && *features; ++features) {
        const LV2_Feature* feature = *features;
        if (!feature->URI)
            continue;
        if (std::strcmp(feature->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>(feature->data);
        else if (std::strcmp(feature->URI, LV2_OPTIONS__options) == 0)
            options = static_cast<const LV2_Options_Option*>(feature->data);
    }
    if (!map || !map->map || !options)
        return kLV2DefaultBlockLength;
    const LV2_URID maxLength = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key || o->value; ++o) {
        if (o->context != LV2_OPTIONS_INSTANCE || o->key != maxLength || o->type != intType ||
            o->size != sizeof(int32_t) || !o->value)
            continue;
        int32_t length;
        std::memcpy(&length, o->value, sizeof length);
        if (const int largest = HostPolicy::BlockSizeFor(length); largest > 0)
            return largest;
    }
    return kLV2DefaultBlockLength;
}

// One plug-in instance: the effect and the host's port buffers.
class LV2Instance {
public:
    LV2Instance(const LV2Product& p, std::unique_ptr<IEffectBase> e, double rate, int blockLength)
        : product(p), effect(std::move(e)), parameterCount(effect->ParameterCount()),
          controls(static_cast<std::size_t>(parameterCount), nullptr),
          applied(static_cast<std::size_t>(parameterCount), 0u),
          appliedOnce(static_cast<std::size_t>(parameterCount), false),
          audio(static_cast<std::size_t>(p.audioPortCount), nullptr),
          meters(static_cast<std::size_t>(p.meterPortCount), nullptr),
          readings(static_cast<std::size_t>(p.meterPortCount), 0.0) {
        for (int i = 0; i < p.audioPortCount; ++i)
            (p.audioPorts[i].output ? outputPorts : inputPorts).push_back(i);
        pieceInputs.resize(inputPorts.size());
        pieceOutputs.resize(outputPorts.size());
        // As a host opening the effect: rate, block size, every parameter, reset.
        effect->ChangeSampleRate(rate);
        effect->SetMaxBlockSize(blockLength);
        for (int i = 0; i < parameterCount; ++i)
            effect->ParameterChanged(i);
        effect->ResetProcessing();
    }

    // Audio thread.
    void Connect(uint32_t port, void* data) {
        std::size_t i = port;
        if (i < controls.size()) {
            controls[i] = static_cast<const float*>(data);
            return;
        }
        i -= controls.size();
        if (i < audio.size()) {
            audio[i] = static_cast<float*>(data);
            return;
        }
        i -= audio.size();
        if (i < meters.size())
            meters[i] = static_cast<float*>(data);
    }

    // Host thread (activate, deactivate).
    void Activate(bool active) { HostPolicy::Activate(*effect, active); }

    // Audio thread. Allocates nothing; the plug-in lock is not contended, as nothing
    // but the host's own instance calls reaches this effect.
    void Run(uint32_t frames) {
        ScopedPlugLock lock(effect->Lock());
        ApplyControls();
        MarkConnections();
        const auto piece = static_cast<uint32_t>(std::max(effect->MaxBlockSize(), 0));
        if (piece == 0) {
            // There is nowhere to work: owe the host silence.
            for (int port : outputPorts)
                if (float* out = audio[static_cast<std::size_t>(port)])
                    std::fill_n(out, frames, 0.0f);
            return;
        }
        for (uint32_t done = 0; done < frames;) {
            const uint32_t n = std::min(piece, frames - done);
            Gather(inputPorts, pieceInputs, done);
            Gather(outputPorts, pieceOutputs, done);
            effect->BindInputBuffers(0, effect->InputCount(), pieceInputs.data(),
                                     static_cast<int>(n));
            effect->BindOutputBuffers(0, effect->OutputCount(), pieceOutputs.data());
            effect->RunBlock(static_cast<int>(n));
            done += n;
        }
        WriteMeters();
    }

private:
    // A changed control port sets its parameter in real units, as a host's value, once
    // per run.
    void ApplyControls() {
        for (int i = 0; i < parameterCount; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (!controls[at])
                continue;
            const float value = *controls[at];
            const auto bits = std::bit_cast<uint32_t>(value);
            if (appliedOnce[at] && applied[at] == bits)
                continue;
            applied[at] = bits;
            appliedOnce[at] = true;
            effect->SetParameterFromHost(i, static_cast<double>(value), IValueUnit::kReal);
        }
    }

    // A channel whose port has no buffer reads silence or is not written.
    void MarkConnections() {
        for (std::size_t ch = 0; ch < inputPorts.size(); ++ch)
            effect->MarkInputsConnected(static_cast<int>(ch), 1,
                                        audio[static_cast<std::size_t>(inputPorts[ch])] != nullptr);
        for (std::size_t ch = 0; ch < outputPorts.size(); ++ch)
            effect->MarkOutputsConnected(static_cast<int>(ch), 1,
                                         audio[static_cast<std::size_t>(outputPorts[ch])] !=
                                             nullptr);
    }

    // The connected buffers of ports, in channel order, moved on by offset frames.
    void Gather(const std::vector<int>& ports, std::vector<float*>& out, uint32_t offset) {
        std::size_t n = 0;
        for (int port : ports)
            if (float* buffer = audio[static_cast<std::size_t>(port)])
                out[n++] = buffer + offset;
    }

    void WriteMeters() {
        if (readings.empty())
            return;
        product.readMeters(*effect, readings.data());
        for (int i = 0; i < product.meterPortCount; ++i) {
            const auto at = static_cast<std::size_t>(i);
            const LV2MeterPort& port = product.meterPorts[i];
            if (meters[at])
                *meters[at] =
                    static_cast<float>(std::clamp(readings[at], port.minimum, port.maximum));
        }
    }

    const LV2Product& product;
    std::unique_ptr<IEffectBase> effect;
    int parameterCount;
    std::vector<const float*> controls;
    std::vector<uint32_t> applied; // the bits of the value each parameter last took
    std::vector<bool> appliedOnce;
    std::vector<float*> audio;
    std::vector<float*> meters;
    std::vector<double> readings;
    std::vector<int> inputPorts;  // audio port of each input channel
    std::vector<int> outputPorts; // audio port of each output channel
    std::vector<float*> pieceInputs;
    std::vector<float*> pieceOutputs;
};

LV2Instance* InstanceOf(LV2_Handle handle) {
    return static_cast<LV2Instance*>(handle);
}

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const* features) {
    if (!descriptor || !HostPolicy::AcceptsSampleRate(rate))
        return nullptr;
    const LV2Product& product = *reinterpret_cast<const LV2ProductDescriptor*>(descriptor)->product;
    // Nothing may unwind into a host written in C: a failed allocation, or anything else
    // thrown, is the null answer.
    try {
        std::unique_ptr<IEffectBase> effect(product.createEffect());
        if (!effect)
            return nullptr;
        return new LV2Instance(product, std::move(effect), rate, BlockLengthFromFeatures(features));
    } catch (...) {
        return nullptr;
    }
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
    InstanceOf(handle)->Connect(port, data);
}

void Activate(LV2_Handle handle) {
    InstanceOf(handle)->Activate(true);
}

void Run(LV2_Handle handle, uint32_t frames) {
    InstanceOf(handle)->Run(frames);
}

void Deactivate(LV2_Handle handle) {
    InstanceOf(handle)->Activate(false);
}

void Cleanup(LV2_Handle handle) {
    delete InstanceOf(handle);
}

const void* ExtensionData(const char*) {
    return nullptr;
}
} // namespace

LV2ProductDescriptor MakeLV2Descriptor(const LV2Product& product) {
    return {
        {product.uri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
        &product};
}
