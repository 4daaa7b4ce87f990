#include "CLAPThreadCheck.h"

namespace {
using Tag = ThreadTag;

// In the order of CLAPCall.
constexpr TaggedEntry kCalls[] = {
    {"init", Tag::kMain},
    {"destroy", Tag::kMain},
    {"activate", Tag::kMain},
    {"deactivate", Tag::kMain},
    {"start_processing", Tag::kAudio},
    {"stop_processing", Tag::kAudio},
    {"reset", Tag::kAudio},
    {"process", Tag::kAudio},
    {"on_main_thread", Tag::kMain},
    {"audio-ports count", Tag::kMain},
    {"audio-ports get", Tag::kMain},
    {"params count", Tag::kMain},
    {"params get_info", Tag::kMain},
    {"params get_value", Tag::kMain},
    {"params value_to_text", Tag::kMain},
    {"params text_to_value", Tag::kMain},
    {"params flush", Tag::kAudioWhileActive},
    {"state save", Tag::kMain},
    {"state load", Tag::kMain},
    {"latency get", Tag::kMain},
    {"gui is_api_supported", Tag::kMain},
    {"gui get_preferred_api", Tag::kMain},
    {"gui create", Tag::kMain},
    {"gui destroy", Tag::kMain},
    {"gui set_scale", Tag::kMain},
    {"gui get_size", Tag::kMain},
    {"gui can_resize", Tag::kMain},
    {"gui get_resize_hints", Tag::kMain},
    {"gui adjust_size", Tag::kMain},
    {"gui set_size", Tag::kMain},
    {"gui set_parent", Tag::kMain},
    {"gui set_transient", Tag::kMain},
    {"gui suggest_title", Tag::kMain},
    {"gui show", Tag::kMain},
    {"gui hide", Tag::kMain},
    {"timer-support on_timer", Tag::kMain},
    {"posix-fd-support on_fd", Tag::kMain},
};
static_assert(std::size(kCalls) == static_cast<std::size_t>(CLAPCall::kCount));

} // namespace

std::span<const TaggedEntry> CLAPEntryTags() {
    return kCalls;
}

const char* CLAPCallName(CLAPCall call) {
    return kCalls[static_cast<int>(call)].name;
}

CLAPThreadCheck::CLAPThreadCheck(const clap_host_t* clapHost)
    : host(clapHost), check(kCalls, *this) {}

void CLAPThreadCheck::FindHostExtensions() {
    check.HostReady();
    if (!host->get_extension)
        return;
    hostThreads = static_cast<const clap_host_thread_check_t*>(
        host->get_extension(host, CLAP_EXT_THREAD_CHECK));
    if (hostThreads && (!hostThreads->is_main_thread || !hostThreads->is_audio_thread))
        hostThreads = nullptr;
    hostLog = static_cast<const clap_host_log_t*>(host->get_extension(host, CLAP_EXT_LOG));
    if (hostLog && !hostLog->log)
        hostLog = nullptr;
}

bool CLAPThreadCheck::IsMainThread() const {
    return hostThreads ? hostThreads->is_main_thread(host) : mainThread.IsCurrent();
}

bool CLAPThreadCheck::IsAudioThread() const {
    return hostThreads ? hostThreads->is_audio_thread(host) : true;
}

bool CLAPThreadCheck::MayLogNow() const {
    return hostThreads && IsMainThread() && !IsAudioThread();
}

bool CLAPThreadCheck::AskForMainThread() {
    if (!host->request_callback)
        return false;
    host->request_callback(host);
    return true;
}

void CLAPThreadCheck::Log(clap_log_severity severity, const char* message) const {
    if (hostLog)
        hostLog->log(host, severity, message);
}
