#include "CLAPPlugin.h"

#include "HostPolicy.h"

#include <algorithm>

uint32_t CLAPPlugin::AudioPortCount(bool input) {
    if (!Admit(CLAPCall::kAudioPortsCount))
        return 0;
    return static_cast<uint32_t>(runtime.Buses().In(Direction(input)).size());
}

// A port per bus, ids their indices; a main input is processed in place with the main
// output where the host likes. Every port takes 64-bit buffers too.
bool CLAPPlugin::AudioPortInfo(uint32_t index, bool input, clap_audio_port_info_t* info) {
    if (!Admit(CLAPCall::kAudioPortsGet) || !info || index >= AudioPortCount(input))
        return false;
    const BusLayout& buses = runtime.Buses();
    const BusDescription& bus = buses.In(Direction(input))[index];
    const int pair = buses.BusOf(Direction(!input), BusRole::kMain);
    const bool main = bus.role == BusRole::kMain;
    *info = clap_audio_port_info_t{};
    info->id = index;
    CopyText(info->name, bus.name, sizeof info->name);
    info->flags = CLAP_AUDIO_PORT_SUPPORTS_64BITS | (main ? CLAP_AUDIO_PORT_IS_MAIN : 0u);
    info->channel_count = static_cast<uint32_t>(bus.channels);
    info->port_type = bus.channels == 2 ? CLAP_PORT_STEREO
                      : bus.channels == 1 ? CLAP_PORT_MONO
                                          : nullptr;
    info->in_place_pair = main && pair >= 0 ? static_cast<clap_id>(pair) : CLAP_INVALID_ID;
    return true;
}

bool CLAPPlugin::SaveState(const clap_ostream_t* stream) {
    if (!Admit(CLAPCall::kStateSave) || !stream || !stream->write)
        return false;
    return runtime.SaveState([stream](const uint8_t* bytes, int64_t size) {
        return stream->write(stream, bytes, static_cast<uint64_t>(size));
    });
}

// Also while processing. The host is told whether the state was whole.
bool CLAPPlugin::LoadState(const clap_istream_t* stream) {
    if (!Admit(CLAPCall::kStateLoad) || !stream || !stream->read)
        return false;
    const HostPolicy::StateApplied applied =
        runtime.LoadState([stream](uint8_t* into, int64_t size) {
            return stream->read(stream, into, static_cast<uint64_t>(size));
        });
    if (applied == HostPolicy::StateApplied::kNothing)
        return false;
    if (hostParams && hostParams->rescan)
        hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    return applied == HostPolicy::StateApplied::kWhole;
}

uint32_t CLAPPlugin::Latency() {
    if (!Admit(CLAPCall::kLatencyGet))
        return 0;
    return static_cast<uint32_t>(std::max(Effect().LatencySamples(), 0));
}
