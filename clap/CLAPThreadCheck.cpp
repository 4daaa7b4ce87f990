#include "CLAPThreadCheck.h"

#include "FatalAssert.h"

#include <cstdio>

namespace {
using Tag = CLAPThreadTag;

struct CallEntry {
    const char* name;
    Tag tag;
};

// In the order of CLAPCall.
constexpr CallEntry kCalls[] = {
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
    {"params flush", Tag::kFlush},
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

// In the order of CLAPMisuse.
constexpr const char* kMisuseTexts[] = {
    "called on the wrong thread", "called before init",          "called while inactive",
    "called while active",        "called while not processing", "called while processing",
};
static_assert(std::size(kMisuseTexts) == static_cast<std::size_t>(CLAPMisuse::kCount));

constexpr std::size_t kMessageSize = 160;

const char* Describe(char (&message)[kMessageSize], CLAPCall call, CLAPMisuse misuse,
                     uint32_t times) {
    const char* name = CLAPCallName(call);
    const char* text = kMisuseTexts[static_cast<int>(misuse)];
    if (times == 1)
        std::snprintf(message, kMessageSize, "Quelor: %s refused: %s", name, text);
    else
        std::snprintf(message, kMessageSize, "Quelor: %s refused %u times: %s", name, times, text);
    return message;
}
} // namespace

CLAPThreadTag CLAPTagOf(CLAPCall call) {
    return kCalls[static_cast<int>(call)].tag;
}

const char* CLAPCallName(CLAPCall call) {
    return kCalls[static_cast<int>(call)].name;
}

CLAPThreadCheck::CLAPThreadCheck(const clap_host_t* clapHost)
    : host(clapHost), mainThread(std::this_thread::get_id()) {}

void CLAPThreadCheck::FindHostExtensions() {
    hostReady.store(true);
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

bool CLAPThreadCheck::OnMainThread() const {
    if (hostThreads)
        return hostThreads->is_main_thread(host);
    return std::this_thread::get_id() == mainThread;
}

bool CLAPThreadCheck::OnAudioThread() const {
    return hostThreads ? hostThreads->is_audio_thread(host) : true;
}

bool CLAPThreadCheck::OnTaggedThread(CLAPCall call, bool active) const {
    switch (CLAPTagOf(call)) {
    case Tag::kMain:
        return OnMainThread();
    case Tag::kAudio:
        return OnAudioThread();
    case Tag::kFlush:
        return active ? OnAudioThread() : OnMainThread();
    }
    return false;
}

void CLAPThreadCheck::Refuse(CLAPCall call, CLAPMisuse misuse) {
    char message[kMessageSize];
    QUELOR_DEBUG_FAIL(Describe(message, call, misuse, 1));
    // Only a thread the host calls its main thread, and no audio thread, may write to the
    // log at once; whoever else it is counts without waiting.
    if (hostThreads && OnMainThread() && !OnAudioThread()) {
        Log(CLAP_LOG_HOST_MISBEHAVING, Describe(message, call, misuse, 1));
        return;
    }
    counted[static_cast<int>(call)][static_cast<int>(misuse)].fetch_add(1,
                                                                        std::memory_order_relaxed);
    // Before init the host may not be called at all; the count waits for a later refusal.
    if (hostReady.load() && !callbackAsked.exchange(true) && host->request_callback)
        host->request_callback(host);
}

void CLAPThreadCheck::LogCounted() {
    callbackAsked.store(false);
    for (int call = 0; call < kCalls; ++call)
        for (int misuse = 0; misuse < kMisuses; ++misuse) {
            const uint32_t times = counted[call][misuse].exchange(0, std::memory_order_relaxed);
            if (times == 0)
                continue;
            char message[kMessageSize];
            Log(CLAP_LOG_HOST_MISBEHAVING, Describe(message, static_cast<CLAPCall>(call),
                                                    static_cast<CLAPMisuse>(misuse), times));
        }
}

void CLAPThreadCheck::Log(clap_log_severity severity, const char* message) const {
    if (hostLog)
        hostLog->log(host, severity, message);
}
