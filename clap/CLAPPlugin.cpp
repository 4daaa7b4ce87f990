#include "CLAPPlugin.h"

#include "BlockSplitter.h"
#include "CLAPCalls.h"
#include "HostPolicy.h"
#include "MonoInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Main input, side-chain input; one output.
constexpr uint32_t kMainPort = 0;
constexpr uint32_t kSidechainPort = 1;
constexpr int kMainInputChannel = 0;
constexpr int kSidechainChannel = 2;
} // namespace

CLAPPlugin::CLAPPlugin(const clap_host_t* clapHost, const clap_plugin_descriptor_t* descriptor,
                       std::unique_ptr<IEffectBase> owned)
    : host(clapHost), threads(clapHost), changes(kChangesPerRound), effect(std::move(owned)) {
    plugin = CLAPPluginRecord(descriptor, this);
    effect->ConnectHost(this);
    effect->MarkInputsConnected(0, effect->InputCount(), true);
    effect->MarkOutputsConnected(0, effect->OutputCount(), true);
    for (int i = 0; i < effect->ParameterCount(); ++i)
        defaults.push_back(effect->ParameterAt(i)->Value());
}

CLAPPlugin::~CLAPPlugin() {
    effect->ConnectHost(nullptr);
}

CLAPPlugin* CLAPPlugin::From(const clap_plugin_t* record) {
    return record ? static_cast<CLAPPlugin*>(record->plugin_data) : nullptr;
}

bool CLAPPlugin::Expect(bool condition, CLAPCall call, CLAPMisuse misuse) {
    if (!condition)
        threads.Refuse(call, misuse);
    return condition;
}

bool CLAPPlugin::Admit(CLAPCall call) {
    return Expect(threads.OnTaggedThread(call, active.load()), call, CLAPMisuse::kWrongThread) &&
           (call == CLAPCall::kInit || Expect(initialized, call, CLAPMisuse::kNotInitialized));
}

// Life cycle.

bool CLAPPlugin::Init() {
    if (!Admit(CLAPCall::kInit))
        return false;
    if (initialized)
        return true;
    initialized = true;
    threads.FindHostExtensions();
    auto extension = [this](const char* id) {
        return host->get_extension ? host->get_extension(host, id) : nullptr;
    };
    hostParams = static_cast<const clap_host_params_t*>(extension(CLAP_EXT_PARAMS));
    hostTimers = static_cast<const clap_host_timer_support_t*>(extension(CLAP_EXT_TIMER_SUPPORT));
    hostFds =
        static_cast<const clap_host_posix_fd_support_t*>(extension(CLAP_EXT_POSIX_FD_SUPPORT));
    for (const char* id :
         {CLAP_EXT_THREAD_CHECK, CLAP_EXT_LOG, CLAP_EXT_PARAMS, CLAP_EXT_STATE, CLAP_EXT_LATENCY,
          CLAP_EXT_AUDIO_PORTS, CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT})
        hostOffersAny = hostOffersAny || extension(id) != nullptr;
    // As a host opening the effect: every parameter, then a reset.
    for (int i = 0; i < effect->ParameterCount(); ++i)
        effect->ParameterChanged(i);
    effect->ResetProcessing();
    return true;
}

void CLAPPlugin::Destroy() {
    // A plug-in the host may still be using elsewhere is left alone: a leak, not a crash.
    if (!Expect(threads.OnMainThread(), CLAPCall::kDestroy, CLAPMisuse::kWrongThread))
        return;
    if (active.load()) {
        threads.Refuse(CLAPCall::kDestroy, CLAPMisuse::kActive);
        Deactivate();
    }
    if (guiCreated)
        GuiDestroy();
    delete this;
}

bool CLAPPlugin::Activate(double sampleRate, uint32_t, uint32_t maxFrames) {
    if (!Admit(CLAPCall::kActivate) ||
        !Expect(!active.load(), CLAPCall::kActivate, CLAPMisuse::kActive))
        return false;
    const int frames = HostPolicy::BlockSizeFor(maxFrames);
    if (!HostPolicy::AcceptsSampleRate(sampleRate) || frames == 0)
        return false;
    IBlockBuffers buffers = effect->PrepareBlockBuffers(frames);
    {
        // Declared after buffers, the lock goes first: the old ones are freed without it.
        ScopedPlugLock lock(effect->Lock());
        effect->SwapBlockBuffers(buffers);
        if (effect->MaxBlockSize() != frames)
            return false;
        effect->ChangeSampleRate(sampleRate);
        HostPolicy::Activate(*effect, true);
    }
    active.store(true);
    return true;
}

void CLAPPlugin::Deactivate() {
    if (!Admit(CLAPCall::kDeactivate) ||
        !Expect(active.load(), CLAPCall::kDeactivate, CLAPMisuse::kInactive))
        return;
    // Hosts deactivate without stopping first (Qtractor when it closes a session).
    processing.store(false);
    active.store(false);
    HostPolicy::Activate(*effect, false);
}

bool CLAPPlugin::StartProcessing() {
    if (!Admit(CLAPCall::kStartProcessing) ||
        !Expect(active.load(), CLAPCall::kStartProcessing, CLAPMisuse::kInactive) ||
        !Expect(!processing.load(), CLAPCall::kStartProcessing, CLAPMisuse::kProcessing))
        return false;
    HostPolicy::Restart(*effect);
    processing.store(true);
    return true;
}

void CLAPPlugin::StopProcessing() {
    if (!Admit(CLAPCall::kStopProcessing) ||
        !Expect(processing.load(), CLAPCall::kStopProcessing, CLAPMisuse::kNotProcessing))
        return;
    processing.store(false);
}

void CLAPPlugin::Reset() {
    if (!Admit(CLAPCall::kReset) || !Expect(active.load(), CLAPCall::kReset, CLAPMisuse::kInactive))
        return;
    HostPolicy::Restart(*effect);
}

// Any thread. An effect without an editor offers no editor extensions.
const void* CLAPPlugin::Extension(const char* id) const {
    int width = 0;
    int height = 0;
    const bool editorExtension =
        id && (std::strcmp(id, CLAP_EXT_GUI) == 0 || std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0 ||
               std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0);
    if (editorExtension && !effect->EditorSize(&width, &height))
        return nullptr;
    return CLAPExtensionRecord(id);
}

void CLAPPlugin::OnMainThread() {
    if (!Admit(CLAPCall::kOnMainThread))
        return;
    threads.LogCounted();
}

// Processing.

CLAPPlugin::PortChannels CLAPPlugin::ChannelsOf(const clap_audio_buffer_t* buffers, uint32_t count,
                                                uint32_t port) {
    PortChannels channels;
    if (!buffers || port >= count)
        return channels;
    const clap_audio_buffer_t& buffer = buffers[port];
    const uint32_t n = std::min<uint32_t>(buffer.channel_count, 2);
    // Exactly one of the two is set; 64-bit wins should a host set both.
    channels.wide = buffer.data64 != nullptr;
    for (uint32_t ch = 0; ch < n; ++ch) {
        if (channels.wide)
            channels.doubles[ch] = buffer.data64[ch];
        else if (buffer.data32)
            channels.narrow[ch] = buffer.data32[ch];
    }
    return channels;
}

CLAPPlugin::PortChannels CLAPPlugin::InputChannelsOf(const clap_audio_buffer_t* buffers,
                                                     uint32_t count, uint32_t port) {
    PortChannels channels = ChannelsOf(buffers, count, port);
    const int given = buffers && port < count
                          ? static_cast<int>(std::min<uint32_t>(buffers[port].channel_count, 2))
                          : 0;
    FeedInputPair(channels.narrow, given, channels.narrow);
    FeedInputPair(channels.doubles, given, channels.doubles);
    return channels;
}

bool CLAPPlugin::UsableOutput(const PortChannels& out) const {
    return out.wide ? out.doubles[0] && out.doubles[1] : out.narrow[0] && out.narrow[1];
}

void CLAPPlugin::BindInput(int first, const PortChannels& port, int offset, int frames) {
    // A missing channel stays null, which reads as silence.
    if (port.wide) {
        double* piece[2] = {port.doubles[0] ? port.doubles[0] + offset : nullptr,
                            port.doubles[1] ? port.doubles[1] + offset : nullptr};
        effect->BindInputBuffers(first, 2, piece, frames);
    } else {
        float* piece[2] = {port.narrow[0] ? port.narrow[0] + offset : nullptr,
                           port.narrow[1] ? port.narrow[1] + offset : nullptr};
        effect->BindInputBuffers(first, 2, piece, frames);
    }
}

void CLAPPlugin::RunPiece(const PortChannels& main, const PortChannels& side,
                          const PortChannels& out, int offset, int frames) {
    const int largest = effect->MaxBlockSize();
    for (int done = 0; done < frames;) {
        const int n = std::min(largest, frames - done);
        const int at = offset + done;
        BindInput(kMainInputChannel, main, at, n);
        BindInput(kSidechainChannel, side, at, n);
        if (out.wide) {
            double* piece[2] = {out.doubles[0] + at, out.doubles[1] + at};
            effect->BindOutputBuffers(0, 2, piece);
            effect->RunBlockDouble(n);
        } else {
            float* piece[2] = {out.narrow[0] + at, out.narrow[1] + at};
            effect->BindOutputBuffers(0, 2, piece);
            effect->RunBlock(n);
        }
        done += n;
    }
}

clap_process_status CLAPPlugin::Process(const clap_process_t* process) {
    if (!Admit(CLAPCall::kProcess) ||
        !Expect(processing.load(), CLAPCall::kProcess, CLAPMisuse::kNotProcessing) || !process)
        return CLAP_PROCESS_ERROR;
    SendEdits(process->out_events);
    const PortChannels main =
        InputChannelsOf(process->audio_inputs, process->audio_inputs_count, kMainPort);
    const PortChannels side =
        InputChannelsOf(process->audio_inputs, process->audio_inputs_count, kSidechainPort);
    const PortChannels out =
        ChannelsOf(process->audio_outputs, process->audio_outputs_count, kMainPort);
    const int frames = static_cast<int>(std::min<uint32_t>(process->frames_count, INT32_MAX));
    if (!UsableOutput(out))
        return CLAP_PROCESS_ERROR;
    auto run = [&](int offset, int count) { RunPiece(main, side, out, offset, count); };
    BlockSplitter splitter(*effect, frames, run);
    ApplyChanges(process->in_events, splitter);
    // No claim that a channel stays constant.
    process->audio_outputs[kMainPort].constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
}

// The host's list is read outside the plug-in lock, a round of changes at a time; each
// round is applied under it, the block running up to each change's time.
void CLAPPlugin::ApplyChanges(const clap_input_events_t* in, BlockSplitter& splitter) {
    const uint32_t count = in && in->size && in->get ? in->size(in) : 0;
    uint32_t next = 0;
    do {
        std::size_t taken = 0;
        next = ReadChanges(in, count, next, &taken);
        ScopedPlugLock lock(effect->Lock());
        for (std::size_t i = 0; i < taken; ++i)
            splitter.Change(changes[i].time, changes[i].index, changes[i].value, IValueUnit::kReal);
        if (next >= count)
            splitter.Finish();
    } while (next < count);
}

// Takes the parameter changes among the events from next on, until a round is full.
// Skipped: other spaces, other types, records smaller than a value event, ids that are
// not parameters, values that are not finite.
uint32_t CLAPPlugin::ReadChanges(const clap_input_events_t* in, uint32_t count, uint32_t next,
                                 std::size_t* taken) {
    std::size_t n = 0;
    for (; next < count && n < changes.size(); ++next) {
        const clap_event_header_t* header = in->get(in, next);
        if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID ||
            header->type != CLAP_EVENT_PARAM_VALUE ||
            header->size < sizeof(clap_event_param_value_t))
            continue;
        clap_event_param_value_t event;
        std::memcpy(&event, header, sizeof event);
        if (event.param_id >= static_cast<clap_id>(effect->ParameterCount()) ||
            !std::isfinite(event.value))
            continue;
        changes[n++] = {static_cast<int>(std::min<uint32_t>(event.header.time, INT32_MAX)),
                        static_cast<int>(event.param_id), event.value};
    }
    *taken = n;
    return next;
}
