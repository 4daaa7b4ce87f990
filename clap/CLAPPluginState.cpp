#include "CLAPPlugin.h"

#include "HostPolicy.h"

#include <algorithm>

namespace {
// The audio ports: the main stereo pair, processed in place where the host likes, and a
// stereo side-chain that "Sidechain Input" switches the detector to. Both take 64-bit
// buffers too.
struct PortEntry {
    const char* name;
    uint32_t flags;
    clap_id inPlacePair;
};
constexpr uint32_t kPortFlags = CLAP_AUDIO_PORT_SUPPORTS_64BITS;
constexpr PortEntry kInputs[] = {
    {"Input", kPortFlags | CLAP_AUDIO_PORT_IS_MAIN, 0},
    {"Sidechain", kPortFlags, CLAP_INVALID_ID},
};
constexpr PortEntry kOutputs[] = {
    {"Output", kPortFlags | CLAP_AUDIO_PORT_IS_MAIN, 0},
};
constexpr uint32_t kPortChannels = 2;
constexpr int kStatePiece = 4096;

// Writes all of bytes, however little each call takes.
bool WriteAll(const clap_ostream_t* stream, const uint8_t* bytes, int size) {
    for (int done = 0; done < size;) {
        const int64_t written =
            stream->write(stream, bytes + done, static_cast<uint64_t>(size - done));
        if (written <= 0 || written > size - done)
            return false;
        done += static_cast<int>(written);
    }
    return true;
}

// Reads to the stream's end into chunk; false on an error, or past the largest state.
bool ReadAll(const clap_istream_t* stream, StateChunk& chunk) {
    chunk.Clear();
    uint8_t piece[kStatePiece];
    for (;;) {
        const int64_t read = stream->read(stream, piece, sizeof piece);
        if (read == 0)
            return true;
        if (read < 0 || read > static_cast<int64_t>(sizeof piece) ||
            !HostPolicy::AcceptsStateSize(chunk.Size() + read) ||
            !chunk.PutBytes(piece, static_cast<int>(read)))
            return false;
    }
}
} // namespace

uint32_t CLAPPlugin::AudioPortCount(bool input) {
    if (!Admit(CLAPCall::kAudioPortsCount))
        return 0;
    return static_cast<uint32_t>(input ? std::size(kInputs) : std::size(kOutputs));
}

bool CLAPPlugin::AudioPortInfo(uint32_t index, bool input, clap_audio_port_info_t* info) {
    if (!Admit(CLAPCall::kAudioPortsGet) || !info || index >= AudioPortCount(input))
        return false;
    const PortEntry& port = input ? kInputs[index] : kOutputs[index];
    *info = clap_audio_port_info_t{};
    info->id = index;
    CopyText(info->name, port.name, sizeof info->name);
    info->flags = port.flags;
    info->channel_count = kPortChannels;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = port.inPlacePair;
    return true;
}

bool CLAPPlugin::SaveState(const clap_ostream_t* stream) {
    if (!Admit(CLAPCall::kStateSave) || !stream || !stream->write)
        return false;
    return effect->SaveProgramState(stateChunk) &&
           WriteAll(stream, stateChunk.Data(), stateChunk.Size());
}

// As effSetChunk makes a program chunk live, under the plug-in lock, also while
// processing. A state cut short has the values it holds applied, and the host is told it
// was not whole; one too long, empty or unreadable changes nothing.
bool CLAPPlugin::LoadState(const clap_istream_t* stream) {
    if (!Admit(CLAPCall::kStateLoad) || !stream || !stream->read || !ReadAll(stream, stateChunk) ||
        stateChunk.Size() == 0)
        return false;
    effect->ReadProgramState(stateChunk, programState);
    const HostPolicy::StateApplied applied = HostPolicy::ApplyState(*effect, programState);
    if (applied == HostPolicy::StateApplied::kNothing)
        return false;
    if (hostParams && hostParams->rescan)
        hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    return applied == HostPolicy::StateApplied::kWhole;
}

uint32_t CLAPPlugin::Latency() {
    if (!Admit(CLAPCall::kLatencyGet))
        return 0;
    return static_cast<uint32_t>(std::max(effect->LatencySamples(), 0));
}
