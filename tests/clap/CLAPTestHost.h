#pragma once

#include "CLAPInterface.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Which host extensions a test host answers beside its log, params and fd support;
// every other id gets null.
struct CLAPHostExtensions {
    bool threadCheck = true;
    bool timerSupport = true;
};

// Which part the calling thread plays, as the test assigns it.
enum class CLAPThreadRole { Main, Audio, Other };

// One call the plug-in made into the host: the function's name ("get_extension",
// "params.rescan"), the calling thread's part, and its string (an extension's id, a
// message logged).
struct CLAPHostCall {
    std::string name;
    CLAPThreadRole thread;
    std::string text;
};

struct CLAPHostTimer {
    clap_id id;
    uint32_t periodMs;
};

// A CLAP host for the tests. It logs every call the plug-in makes into it, with the
// part the calling thread plays, and keeps the timers and fds the plug-in registers
// (the editor test runs them on Linux). All its entries may be called from any thread.
class CLAPTestHost {
public:
    explicit CLAPTestHost(CLAPHostExtensions extensions = {});

    // What to hand to create_plugin.
    const clap_host_t* Host() const { return &host; }

    // The main thread is the constructing thread until the test says otherwise; no thread
    // is the audio thread until then. A thread may hold both parts.
    void SetMainThread(std::thread::id id) { mainThread.store(id); }
    void SetAudioThread(std::thread::id id) { audioThread.store(id); }

    // Every call so far, or those of one function.
    std::vector<CLAPHostCall> Calls(const char* name = nullptr) const;
    // True once, for each request_callback since the last time, as a host's idle loop asks.
    bool TakeCallbackRequest() { return callbackRequested.exchange(false); }

    std::vector<CLAPHostTimer> Timers() const;
    std::vector<int> Fds() const;

private:
    struct Callbacks;

    // The host of a record the plug-in calls through, with the call logged.
    static CLAPTestHost& Called(const clap_host_t* host, const char* name, std::string text = {});

    clap_host_t host;
    CLAPHostExtensions extensions;
    std::atomic<std::thread::id> mainThread;
    std::atomic<std::thread::id> audioThread;
    std::atomic<bool> callbackRequested{false};

    mutable std::mutex mutex;
    std::vector<CLAPHostCall> calls;
    std::vector<CLAPHostTimer> timers;
    std::vector<int> fds;
    // From 0, as some hosts do: only CLAP_INVALID_ID means "no timer".
    clap_id nextTimerId = 0;
};
