#pragma once

#include "CLAPInterface.h"

#include <atomic>
#include <cstdint>
#include <thread>

// Every entry a host may call, for its thread tag and for what a refusal reports.
enum class CLAPCall : uint8_t {
    kInit,
    kDestroy,
    kActivate,
    kDeactivate,
    kStartProcessing,
    kStopProcessing,
    kReset,
    kProcess,
    kOnMainThread,
    kAudioPortsCount,
    kAudioPortsGet,
    kParamsCount,
    kParamsGetInfo,
    kParamsGetValue,
    kParamsValueToText,
    kParamsTextToValue,
    kParamsFlush,
    kStateSave,
    kStateLoad,
    kLatencyGet,
    kGuiIsApiSupported,
    kGuiGetPreferredApi,
    kGuiCreate,
    kGuiDestroy,
    kGuiSetScale,
    kGuiGetSize,
    kGuiCanResize,
    kGuiGetResizeHints,
    kGuiAdjustSize,
    kGuiSetSize,
    kGuiSetParent,
    kGuiSetTransient,
    kGuiSuggestTitle,
    kGuiShow,
    kGuiHide,
    kOnTimer,
    kOnFd,
    kCount
};

// Which rule of the format a refused call broke.
enum class CLAPMisuse : uint8_t {
    kWrongThread,
    kNotInitialized,
    kInactive,
    kActive,
    kNotProcessing,
    kProcessing,
    kCount
};

// The thread each entry belongs to, as the format tags it.
enum class CLAPThreadTag : uint8_t {
    kMain,
    kAudio,
    kFlush // the audio thread while active, the main thread otherwise
};

CLAPThreadTag CLAPTagOf(CLAPCall call);
const char* CLAPCallName(CLAPCall call);

// Tells which thread a call comes from, through the host's thread-check extension when it
// has one; without it, the main thread is the one that made the plug-in and the audio
// thread cannot be told apart (every thread may be it). Refusals are written to the
// host's log when it has one: at once on the main thread; elsewhere, where the log
// promises no real time, they are only counted, and the main thread writes them when the
// host calls back after request_callback.
class CLAPThreadCheck {
public:
    // The constructing thread: create_plugin's, the host's main thread.
    explicit CLAPThreadCheck(const clap_host_t* host);

    // Main thread, from the plug-in's init on: finds the host's thread-check and log.
    void FindHostExtensions();

    // Thread-safe.
    bool OnMainThread() const;
    bool OnAudioThread() const;
    bool OnTaggedThread(CLAPCall call, bool active) const;

    // Any thread, never blocking: a call that was refused. Stops builds with assertions.
    void Refuse(CLAPCall call, CLAPMisuse misuse);
    // Main thread: writes the refusals counted elsewhere to the log.
    void LogCounted();
    // Main thread: a message of ours for the host's log, when it has one.
    void Log(clap_log_severity severity, const char* message) const;

private:
    static constexpr int kCalls = static_cast<int>(CLAPCall::kCount);
    static constexpr int kMisuses = static_cast<int>(CLAPMisuse::kCount);

    const clap_host_t* host;
    const clap_host_thread_check_t* hostThreads = nullptr;
    const clap_host_log_t* hostLog = nullptr;
    std::thread::id mainThread;
    std::atomic<uint32_t> counted[kCalls][kMisuses] = {};
    std::atomic<bool> hostReady{false}; // init has run: the host may be called
    std::atomic<bool> callbackAsked{false};
};
