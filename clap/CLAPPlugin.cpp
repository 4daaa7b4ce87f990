#include "CLAPPlugin.h"

#include "CLAPCalls.h"

#include <algorithm>
#include <cmath>
#include <cstring>

CLAPPlugin::CLAPPlugin(const clap_host_t* clapHost, const clap_plugin_descriptor_t* descriptor,
                       std::unique_ptr<IEffectBase> owned)
    : host(clapHost), threads(clapHost), runtime(std::move(owned), *this) {
    plugin = CLAPPluginRecord(descriptor, this);
}

CLAPPlugin::~CLAPPlugin() = default;

CLAPPlugin* CLAPPlugin::From(const clap_plugin_t* record) {
    return record ? static_cast<CLAPPlugin*>(record->plugin_data) : nullptr;
}

bool CLAPPlugin::Expect(bool condition, CLAPCall call, Misuse misuse) {
    if (!condition)
        threads.Refuse(call, misuse);
    return condition;
}

bool CLAPPlugin::Admit(CLAPCall call) {
    return Expect(threads.OnTaggedThread(call, runtime.Active()), call, Misuse::kWrongThread) &&
           (call == CLAPCall::kInit || Expect(initialized, call, Misuse::kNotInitialized));
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
    hostGui = static_cast<const clap_host_gui_t*>(extension(CLAP_EXT_GUI));
    hostFds =
        static_cast<const clap_host_posix_fd_support_t*>(extension(CLAP_EXT_POSIX_FD_SUPPORT));
    for (const char* id :
         {CLAP_EXT_THREAD_CHECK, CLAP_EXT_LOG, CLAP_EXT_PARAMS, CLAP_EXT_STATE, CLAP_EXT_LATENCY,
          CLAP_EXT_AUDIO_PORTS, CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT})
        hostOffersAny = hostOffersAny || extension(id) != nullptr;
    runtime.OpenLikeHost();
    return true;
}

void CLAPPlugin::Destroy() {
    // A plug-in the host may still be using elsewhere is left alone: a leak, not a crash.
    if (!Expect(threads.OnMainThread(), CLAPCall::kDestroy, Misuse::kWrongThread))
        return;
    if (runtime.Active()) {
        threads.Refuse(CLAPCall::kDestroy, Misuse::kActive);
        Deactivate();
    }
    if (guiCreated)
        GuiDestroy();
    delete this;
}

bool CLAPPlugin::Activate(double sampleRate, uint32_t, uint32_t maxFrames) {
    if (!Admit(CLAPCall::kActivate) ||
        !Expect(!runtime.Active(), CLAPCall::kActivate, Misuse::kActive) ||
        !runtime.Prepare(sampleRate, maxFrames))
        return false;
    runtime.Activate(true);
    return true;
}

void CLAPPlugin::Deactivate() {
    if (!Admit(CLAPCall::kDeactivate) ||
        !Expect(runtime.Active(), CLAPCall::kDeactivate, Misuse::kInactive))
        return;
    // Hosts deactivate without stopping first (Qtractor when it closes a session).
    processing.store(false);
    runtime.Activate(false);
}

bool CLAPPlugin::StartProcessing() {
    if (!Admit(CLAPCall::kStartProcessing) ||
        !Expect(runtime.Active(), CLAPCall::kStartProcessing, Misuse::kInactive) ||
        !Expect(!processing.load(), CLAPCall::kStartProcessing, Misuse::kProcessing))
        return false;
    runtime.Restart();
    processing.store(true);
    return true;
}

void CLAPPlugin::StopProcessing() {
    if (!Admit(CLAPCall::kStopProcessing) ||
        !Expect(processing.load(), CLAPCall::kStopProcessing, Misuse::kNotProcessing))
        return;
    processing.store(false);
}

void CLAPPlugin::Reset() {
    if (!Admit(CLAPCall::kReset) ||
        !Expect(runtime.Active(), CLAPCall::kReset, Misuse::kInactive))
        return;
    runtime.Restart();
}

// Any thread. An effect without an editor offers no editor extensions.
const void* CLAPPlugin::Extension(const char* id) {
    int width = 0;
    int height = 0;
    const bool editorExtension =
        id && (std::strcmp(id, CLAP_EXT_GUI) == 0 || std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0 ||
               std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0);
    if (editorExtension && !runtime.Editor().Offered(&width, &height))
        return nullptr;
    return CLAPExtensionRecord(id);
}

void CLAPPlugin::OnMainThread() {
    if (!Admit(CLAPCall::kOnMainThread))
        return;
    threads.LogCounted();
}

// Processing.

namespace {
// A port's channels in the width the block runs at; a port of the other width, or one the
// host leaves out, reads as silence.
template <class Sample>
EffectRuntime::HostBus<Sample> BusOf(const clap_audio_buffer_t* buffers, uint32_t count,
                                     uint32_t port) {
    if (!buffers || port >= count)
        return {};
    const clap_audio_buffer_t& buffer = buffers[port];
    const auto channels = static_cast<int>(std::min<uint32_t>(buffer.channel_count, 2));
    if constexpr (sizeof(Sample) == sizeof(double))
        return {buffer.data64, channels};
    else
        return {buffer.data64 ? nullptr : buffer.data32, channels};
}
} // namespace

template <class Sample> bool CLAPPlugin::Run(const clap_process_t& process) {
    using Bus = EffectRuntime::HostBus<Sample>;
    const int inputCount = static_cast<int>(runtime.Buses().inputs.size());
    Bus inputs[2];
    for (int port = 0; port < inputCount && port < 2; ++port)
        inputs[port] = BusOf<Sample>(process.audio_inputs, process.audio_inputs_count,
                                     static_cast<uint32_t>(port));
    const Bus output = BusOf<Sample>(process.audio_outputs, process.audio_outputs_count, 0);
    EffectRuntime::HostBlock<Sample> block;
    block.inputs = inputs;
    block.inputBuses = std::min(inputCount, 2);
    block.outputs = &output;
    block.outputBuses = 1;
    block.frames = static_cast<int>(std::min<uint32_t>(process.frames_count, INT32_MAX));
    return runtime.Process(block, IValueUnit::kReal, ChangeReader(*this, process.in_events));
}

clap_process_status CLAPPlugin::Process(const clap_process_t* process) {
    if (!Admit(CLAPCall::kProcess) ||
        !Expect(processing.load(), CLAPCall::kProcess, Misuse::kNotProcessing) || !process)
        return CLAP_PROCESS_ERROR;
    SendEdits(process->out_events);
    const bool wide = process->audio_outputs && process->audio_outputs_count > 0 &&
                      process->audio_outputs[0].data64;
    if (!(wide ? Run<double>(*process) : Run<float>(*process)))
        return CLAP_PROCESS_ERROR;
    // No claim that a channel stays constant.
    process->audio_outputs[0].constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
}

CLAPPlugin::ChangeReader::ChangeReader(const CLAPPlugin& plug, const clap_input_events_t* events)
    : in(events), count(in && in->size && in->get ? in->size(in) : 0),
      parameters(static_cast<clap_id>(plug.runtime.Effect().ParameterCount())) {}

// Skipped: other spaces, other types, records smaller than a value event, ids that are
// not parameters, values that are not finite.
bool CLAPPlugin::ChangeReader::operator()(std::vector<EffectRuntime::TimedChange>& room) {
    for (; next < count && room.size() < room.capacity(); ++next) {
        const clap_event_header_t* header = in->get(in, next);
        if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID ||
            header->type != CLAP_EVENT_PARAM_VALUE ||
            header->size < sizeof(clap_event_param_value_t))
            continue;
        clap_event_param_value_t event;
        std::memcpy(&event, header, sizeof event);
        if (event.param_id >= parameters || !std::isfinite(event.value))
            continue;
        room.push_back({static_cast<int>(std::min<uint32_t>(event.header.time, INT32_MAX)),
                        static_cast<int>(event.param_id), event.value});
    }
    return next < count;
}
