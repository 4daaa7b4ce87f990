#include "LV2Plugin.h"

#include "EffectRuntime.h"

#include "LV2Options.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// The maximum block length from the options feature, or the default when the host
// offers none we can read.
int BlockLengthFromFeatures(const LV2_Feature* const* features) {
    int32_t length = 0;
    if (ReadLV2Option(features, LV2_BUF_SIZE__maxBlockLength, LV2_ATOM__Int, &length,
                      sizeof length))
        if (const int largest = HostPolicy::BlockSizeFor(length); largest > 0)
            return largest;
    return kLV2DefaultBlockLength;
}

// One plug-in instance: the effect's runtime and the host's port buffers. It is the
// effect's host, which has nothing to hear: LV2 edits come through the ports.
class LV2Instance final : public IEffectHost {
public:
    LV2Instance(std::unique_ptr<IEffectBase> e, double rate, int blockLength)
        : runtime(std::move(e), *this), parameterCount(runtime.Effect().ParameterCount()),
          controls(static_cast<std::size_t>(parameterCount), nullptr),
          applied(static_cast<std::size_t>(parameterCount), 0u),
          appliedOnce(static_cast<std::size_t>(parameterCount), false),
          audio(LV2AudioPorts(runtime.Buses()).size(), nullptr),
          meters(runtime.Effect().Meters().size(), nullptr) {
        if (!runtime.Prepare(rate, blockLength))
            throw std::bad_alloc();
        runtime.OpenLikeHost();
        const BusLayout& buses = runtime.Buses();
        for (const BusDirection direction : {BusDirection::kInput, BusDirection::kOutput}) {
            std::vector<EffectRuntime::HostBus<float>>& list =
                direction == BusDirection::kInput ? inputBuses : outputBuses;
            const int base = direction == BusDirection::kInput ? 0
                                                                : buses.ChannelCount(BusDirection::kInput);
            for (std::size_t bus = 0; bus < buses.In(direction).size(); ++bus)
                list.push_back({audio.data() + base +
                                    buses.FirstChannel(direction, static_cast<int>(bus)),
                                buses.In(direction)[bus].channels});
        }
    }

    void EditBegin(int) override {}
    void EditValue(int, double, double) override {}
    void EditEnd(int) override {}

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
    void Activate(bool active) { runtime.Activate(active); }

    // Audio thread. Allocates nothing; the plug-in lock is not contended, as nothing
    // but the host's own instance calls reaches this effect.
    void Run(uint32_t frames) {
        EffectRuntime::HostBlock<float> block;
        block.inputs = inputBuses.data();
        block.inputBuses = static_cast<int>(inputBuses.size());
        block.outputs = outputBuses.data();
        block.outputBuses = static_cast<int>(outputBuses.size());
        block.frames = static_cast<int>(std::min<uint32_t>(frames, INT32_MAX));
        runtime.Process(block, IValueUnit::kReal,
                        [this](std::vector<EffectRuntime::TimedChange>& room) {
                            GatherControls(room);
                            return false;
                        });
        WriteMeters();
    }

private:
    // A changed control port sets its parameter in real units, as a host's value, at the
    // start of the run.
    void GatherControls(std::vector<EffectRuntime::TimedChange>& room) {
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
            room.push_back({0, i, static_cast<double>(value)});
        }
    }

    // The effect's readings, clamped to the ranges its meters declare; no lock.
    void WriteMeters() {
        const MeterList declared = runtime.Effect().Meters();
        if (declared.empty())
            return;
        MeterReadings readings;
        runtime.Effect().ReadMeters(readings);
        for (std::size_t i = 0; i < declared.size(); ++i)
            if (meters[i])
                *meters[i] = static_cast<float>(
                    std::clamp(readings.values[i], declared[i].minimum, declared[i].maximum));
    }

    EffectRuntime runtime;
    int parameterCount;
    std::vector<const float*> controls;
    std::vector<uint32_t> applied; // the bits of the value each parameter last took
    std::vector<bool> appliedOnce;
    std::vector<float*> audio; // by audio port: the buses' channels, inputs first
    std::vector<float*> meters; // by meter the effect declares
    std::vector<EffectRuntime::HostBus<float>> inputBuses;
    std::vector<EffectRuntime::HostBus<float>> outputBuses;
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
        std::unique_ptr<IEffectBase> effect = product.description->create(nullptr);
        if (!effect)
            return nullptr;
        return new LV2Instance(std::move(effect), rate, BlockLengthFromFeatures(features));
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

std::vector<LV2AudioPort> LV2AudioPorts(const BusLayout& buses) {
    std::vector<LV2AudioPort> ports;
    for (const BusDirection direction : {BusDirection::kInput, BusDirection::kOutput})
        for (const BusDescription& bus : buses.In(direction))
            for (int ch = 0; ch < bus.channels && ch < 2; ++ch)
                ports.push_back({bus.channelSymbols[ch], bus.channelNames[ch],
                                 direction == BusDirection::kOutput,
                                 bus.role == BusRole::kSidechain});
    return ports;
}

LV2ProductDescriptor MakeLV2Descriptor(const LV2Product& product) {
    return {
        {product.uri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
        &product};
}
