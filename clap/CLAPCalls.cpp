#include "CLAPCalls.h"

#include "CLAPPlugin.h"

#include <cstring>

namespace {
// Each entry finds its plug-in through the record's plugin_data, and answers a record
// without one with its refusal.
template <class Result, class Call>
Result Forward(const clap_plugin_t* record, Result refusal, Call call) {
    CLAPPlugin* plugin = CLAPPlugin::From(record);
    return plugin ? call(*plugin) : refusal;
}

template <class Call> void Forward(const clap_plugin_t* record, Call call) {
    if (CLAPPlugin* plugin = CLAPPlugin::From(record))
        call(*plugin);
}

using P = const clap_plugin_t*;

// clap_plugin_t
bool QUELOR_CLAP_CALL Init(P p) {
    return Forward(p, false, [](CLAPPlugin& c) { return c.Init(); });
}
void QUELOR_CLAP_CALL Destroy(P p) {
    Forward(p, [](CLAPPlugin& c) { c.Destroy(); });
}
bool QUELOR_CLAP_CALL Activate(P p, double rate, uint32_t minFrames, uint32_t maxFrames) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.Activate(rate, minFrames, maxFrames); });
}
void QUELOR_CLAP_CALL Deactivate(P p) {
    Forward(p, [](CLAPPlugin& c) { c.Deactivate(); });
}
bool QUELOR_CLAP_CALL StartProcessing(P p) {
    return Forward(p, false, [](CLAPPlugin& c) { return c.StartProcessing(); });
}
void QUELOR_CLAP_CALL StopProcessing(P p) {
    Forward(p, [](CLAPPlugin& c) { c.StopProcessing(); });
}
void QUELOR_CLAP_CALL Reset(P p) {
    Forward(p, [](CLAPPlugin& c) { c.Reset(); });
}
int32_t QUELOR_CLAP_CALL Process(P p, const clap_process_t* process) {
    return Forward(p, CLAP_PROCESS_ERROR, [=](CLAPPlugin& c) { return c.Process(process); });
}
const void* QUELOR_CLAP_CALL GetExtension(P p, const char* id) {
    return Forward(p, static_cast<const void*>(nullptr),
                   [=](CLAPPlugin& c) { return c.Extension(id); });
}
void QUELOR_CLAP_CALL OnMainThread(P p) {
    Forward(p, [](CLAPPlugin& c) { c.OnMainThread(); });
}

// clap.audio-ports
uint32_t QUELOR_CLAP_CALL AudioPortCount(P p, bool input) {
    return Forward(p, 0u, [=](CLAPPlugin& c) { return c.AudioPortCount(input); });
}
bool QUELOR_CLAP_CALL AudioPortGet(P p, uint32_t index, bool input, clap_audio_port_info_t* info) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.AudioPortInfo(index, input, info); });
}

// clap.params
uint32_t QUELOR_CLAP_CALL ParamCount(P p) {
    return Forward(p, 0u, [](CLAPPlugin& c) { return c.ParamCount(); });
}
bool QUELOR_CLAP_CALL ParamInfo(P p, uint32_t index, clap_param_info_t* info) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.ParamInfo(index, info); });
}
bool QUELOR_CLAP_CALL ParamValue(P p, clap_id id, double* value) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.ParamValue(id, value); });
}
bool QUELOR_CLAP_CALL ValueToText(P p, clap_id id, double value, char* text, uint32_t capacity) {
    return Forward(p, false,
                   [=](CLAPPlugin& c) { return c.ValueToText(id, value, text, capacity); });
}
bool QUELOR_CLAP_CALL TextToValue(P p, clap_id id, const char* text, double* value) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.TextToValue(id, text, value); });
}
void QUELOR_CLAP_CALL Flush(P p, const clap_input_events_t* in, const clap_output_events_t* out) {
    Forward(p, [=](CLAPPlugin& c) { c.Flush(in, out); });
}

// clap.state
bool QUELOR_CLAP_CALL StateSave(P p, const clap_ostream_t* stream) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.SaveState(stream); });
}
bool QUELOR_CLAP_CALL StateLoad(P p, const clap_istream_t* stream) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.LoadState(stream); });
}

// clap.latency
uint32_t QUELOR_CLAP_CALL LatencyGet(P p) {
    return Forward(p, 0u, [](CLAPPlugin& c) { return c.Latency(); });
}

// clap.gui
bool QUELOR_CLAP_CALL GuiIsApiSupported(P p, const char* api, bool floating) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiApiSupported(api, floating); });
}
bool QUELOR_CLAP_CALL GuiGetPreferredApi(P p, const char** api, bool* floating) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiPreferredApi(api, floating); });
}
bool QUELOR_CLAP_CALL GuiCreate(P p, const char* api, bool floating) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiCreate(api, floating); });
}
void QUELOR_CLAP_CALL GuiDestroy(P p) {
    Forward(p, [](CLAPPlugin& c) { c.GuiDestroy(); });
}
bool QUELOR_CLAP_CALL GuiSetScale(P p, double scale) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiSetScale(scale); });
}
bool QUELOR_CLAP_CALL GuiGetSize(P p, uint32_t* width, uint32_t* height) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiSize(width, height); });
}
bool QUELOR_CLAP_CALL GuiCanResize(P p) {
    return Forward(p, false, [](CLAPPlugin& c) { return c.GuiCanResize(); });
}
bool QUELOR_CLAP_CALL GuiGetResizeHints(P p, clap_gui_resize_hints_t* hints) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiResizeHints(hints); });
}
bool QUELOR_CLAP_CALL GuiAdjustSize(P p, uint32_t* width, uint32_t* height) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiAdjustSize(width, height); });
}
bool QUELOR_CLAP_CALL GuiSetSize(P p, uint32_t width, uint32_t height) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiSetSize(width, height); });
}
bool QUELOR_CLAP_CALL GuiSetParent(P p, const clap_window_t* window) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiSetParent(window); });
}
bool QUELOR_CLAP_CALL GuiSetTransient(P p, const clap_window_t* window) {
    return Forward(p, false, [=](CLAPPlugin& c) { return c.GuiSetTransient(window); });
}
void QUELOR_CLAP_CALL GuiSuggestTitle(P p, const char* title) {
    Forward(p, [=](CLAPPlugin& c) { c.GuiSuggestTitle(title); });
}
bool QUELOR_CLAP_CALL GuiShow(P p) {
    return Forward(p, false, [](CLAPPlugin& c) { return c.GuiShow(); });
}
bool QUELOR_CLAP_CALL GuiHide(P p) {
    return Forward(p, false, [](CLAPPlugin& c) { return c.GuiHide(); });
}

// clap.timer-support and clap.posix-fd-support
void QUELOR_CLAP_CALL OnTimer(P p, clap_id timer) {
    Forward(p, [=](CLAPPlugin& c) { c.OnTimer(timer); });
}
void QUELOR_CLAP_CALL OnFd(P p, int fd, clap_posix_fd_flags_t flags) {
    Forward(p, [=](CLAPPlugin& c) { c.OnFd(fd, flags); });
}

const clap_plugin_audio_ports_t kAudioPorts = {AudioPortCount, AudioPortGet};
const clap_plugin_params_t kParams = {ParamCount,  ParamInfo,   ParamValue,
                                      ValueToText, TextToValue, Flush};
const clap_plugin_state_t kState = {StateSave, StateLoad};
const clap_plugin_latency_t kLatency = {LatencyGet};
const clap_plugin_gui_t kGui = {
    GuiIsApiSupported, GuiGetPreferredApi, GuiCreate,         GuiDestroy,    GuiSetScale,
    GuiGetSize,        GuiCanResize,       GuiGetResizeHints, GuiAdjustSize, GuiSetSize,
    GuiSetParent,      GuiSetTransient,    GuiSuggestTitle,   GuiShow,       GuiHide};
const clap_plugin_timer_support_t kTimerSupport = {OnTimer};
const clap_plugin_posix_fd_support_t kPosixFdSupport = {OnFd};
} // namespace

clap_plugin_t CLAPPluginRecord(const clap_plugin_descriptor_t* descriptor, CLAPPlugin* plugin) {
    return {descriptor,      plugin,         Init,  Destroy, Activate,     Deactivate,
            StartProcessing, StopProcessing, Reset, Process, GetExtension, OnMainThread};
}

const void* CLAPExtensionRecord(const char* id) {
    const struct {
        const char* id;
        const void* record;
    } table[] = {
        {CLAP_EXT_AUDIO_PORTS, &kAudioPorts},
        {CLAP_EXT_PARAMS, &kParams},
        {CLAP_EXT_STATE, &kState},
        {CLAP_EXT_LATENCY, &kLatency},
        {CLAP_EXT_GUI, &kGui},
        {CLAP_EXT_TIMER_SUPPORT, &kTimerSupport},
        {CLAP_EXT_POSIX_FD_SUPPORT, &kPosixFdSupport},
    };
    if (!id)
        return nullptr;
    for (const auto& entry : table)
        if (std::strcmp(id, entry.id) == 0)
            return entry.record;
    return nullptr;
}
