#pragma once

#include "CLAPInterface.h"
#include "ThreadCheck.h"

#include <cstdint>

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

// The thread each CLAP entry belongs to, in the order of CLAPCall.
std::span<const TaggedEntry> CLAPEntryTags();
const char* CLAPCallName(CLAPCall call);

// Tells which thread a call comes from through the host's thread-check extension, where it
// has one, and writes refusals to the host's log: at once on the main thread; elsewhere,
// where the log promises no real time, they are counted, and written when the host calls
// back on its main thread after request_callback.
class CLAPThreadCheck final : public ThreadOracle {
public:
    // The constructing thread: create_plugin's, the host's main thread.
    explicit CLAPThreadCheck(const clap_host_t* host);

    // Main thread, from the plug-in's init on: finds the host's thread-check and log.
    void FindHostExtensions();

    // Thread-safe.
    bool OnMainThread() const { return IsMainThread(); }
    bool OnTaggedThread(CLAPCall call, bool active) const {
        return check.OnTaggedThread(static_cast<int>(call), active);
    }
    // Any thread, never blocking: a call that was refused. Stops builds with assertions.
    void Refuse(CLAPCall call, Misuse misuse) { check.Refuse(static_cast<int>(call), misuse); }
    // Main thread: writes the refusals counted elsewhere to the log.
    void LogCounted() { check.LogCounted(); }
    // Main thread: a message of ours for the host's log, when it has one.
    void Log(clap_log_severity severity, const char* message) const;

    bool IsMainThread() const override;
    bool IsAudioThread() const override;
    bool MayLogNow() const override;
    void Log(const char* message) const override { Log(CLAP_LOG_HOST_MISBEHAVING, message); }
    bool AskForMainThread() override;

private:
    const clap_host_t* host;
    const clap_host_thread_check_t* hostThreads = nullptr;
    const clap_host_log_t* hostLog = nullptr;
    CreatingThread mainThread;
    ThreadCheck check;
};
