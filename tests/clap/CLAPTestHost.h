#pragma once

#include "CLAPInterface.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Which host extensions a test host answers; every other id gets null.
struct CLAPHostExtensions {
    bool threadCheck = true;
    bool log = true;
    bool params = true;
    bool state = true;
    bool latency = true;
    bool tail = true;
    bool audioPorts = true;
    bool gui = true;
    bool timerSupport = true;
    bool posixFdSupport = true;

    static CLAPHostExtensions All() { return {}; }
};

// Which part the calling thread plays, by the test's designation.
enum class CLAPThreadRole { Main, Audio, Other };

enum class CLAPHostCallKind {
    GetExtension,
    RequestRestart,
    RequestProcess,
    RequestCallback,
    Log,
    AudioPortsRescanFlagQuery,
    AudioPortsRescan,
    ParamsRescan,
    ParamsClear,
    ParamsRequestFlush,
    StateMarkDirty,
    LatencyChanged,
    TailChanged,
    GuiResizeHintsChanged,
    GuiRequestResize,
    GuiRequestShow,
    GuiRequestHide,
    GuiClosed,
    RegisterTimer,
    UnregisterTimer,
    RegisterFd,
    ModifyFd,
    UnregisterFd,
    // A call through a host pointer that is not this host's own record, or a null
    // out-pointer: the plug-in misused the interface. text says how.
    Misuse,
};

// One call the plug-in made into the host. first and second hold the call's numbers in
// the order of its arguments (flags; id and flags; width and height; timer period and
// the id handed out; fd and flags; log severity); text holds its string.
struct CLAPHostCall {
    CLAPHostCallKind kind;
    CLAPThreadRole thread;
    int64_t first = 0;
    int64_t second = 0;
    std::string text;
    // What the host answered, for the calls that answer yes or no.
    bool answer = false;
};

struct CLAPHostTimer {
    clap_id id;
    uint32_t periodMs;
};

struct CLAPHostFd {
    int fd;
    clap_posix_fd_flags_t flags;
    // Distinguishes a registration from an earlier one of the same fd number.
    uint64_t serial;
};

// A CLAP host for the tests. It logs every call the plug-in makes into it, with the
// part the calling thread plays, answers from fields the test sets, and keeps the timers
// and fds the plug-in registers (CLAPPump runs them on Linux). All its entries may be
// called from any thread.
class CLAPTestHost {
public:
    // version: what the host says it follows (hosts older than 1.2 are met in the field).
    explicit CLAPTestHost(CLAPHostExtensions extensions = CLAPHostExtensions::All(),
                          clap_version_t version = CLAP_VERSION);
    ~CLAPTestHost();
    CLAPTestHost(const CLAPTestHost&) = delete;
    CLAPTestHost& operator=(const CLAPTestHost&) = delete;

    // What to hand to create_plugin.
    const clap_host_t* Host() const { return &host; }

    // The main thread is the constructing thread until the test says otherwise; no thread
    // is the audio thread until then. A thread may hold both parts. An ended thread's id
    // may be given to a new thread: designate threads that live.
    void DesignateMainThread(std::thread::id id) { mainThread.store(id); }
    void DesignateAudioThread(std::thread::id id) { audioThread.store(id); }
    CLAPThreadRole RoleOfThisThread() const;

    std::vector<CLAPHostCall> Calls() const;
    std::vector<CLAPHostCall> CallsOf(CLAPHostCallKind kind) const;
    int Count(CLAPHostCallKind kind) const;
    void ClearCalls();
    // True once, for each request_callback since the last time, as a host's idle loop asks.
    bool TakeCallbackRequest() { return callbackRequested.exchange(false); }

    std::vector<CLAPHostTimer> Timers() const;
    std::vector<CLAPHostFd> Fds() const;
    // The registration of fd still in force with this serial, if any.
    bool FindFd(int fd, uint64_t serial, clap_posix_fd_flags_t& flags) const;
    bool HasTimer(clap_id id) const;

    // Answers, set before the plug-in asks.
    bool acceptResize = true;
    bool acceptShowHide = true;
    // Rescan flags is_rescan_flag_supported says yes to.
    uint32_t supportedRescanFlags = 0x3F;

private:
    struct Callbacks;
    friend struct Callbacks;

    static CLAPTestHost& Self(const clap_host_t* host);
    void Record(CLAPHostCallKind kind, int64_t first = 0, int64_t second = 0, std::string text = {},
                bool answer = false);
    const void* Extension(const char* id) const;
    bool RegisterTimer(uint32_t periodMs, clap_id* id);
    bool UnregisterTimer(clap_id id);
    bool RegisterFd(int fd, clap_posix_fd_flags_t flags);
    bool ModifyFd(int fd, clap_posix_fd_flags_t flags);
    bool UnregisterFd(int fd);

    clap_host_t host;
    CLAPHostExtensions extensions;
    std::atomic<std::thread::id> mainThread;
    std::atomic<std::thread::id> audioThread;
    std::atomic<bool> callbackRequested{false};

    mutable std::mutex mutex;
    std::vector<CLAPHostCall> calls;
    std::vector<CLAPHostTimer> timers;
    std::vector<CLAPHostFd> fds;
    // From 0, as some hosts do: only CLAP_INVALID_ID means "no timer".
    clap_id nextTimerId = 0;
    uint64_t nextFdSerial = 1;
};
