#include "CLAPTestHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

using Kind = CLAPHostCallKind;

// The host's entries as the plug-in sees them: each finds the host through host_data,
// as real hosts do, and logs the call.
struct CLAPTestHost::Callbacks {
    static const void* QUELOR_CLAP_CALL GetExtension(const clap_host_t* host, const char* id) {
        CLAPTestHost& self = Self(host);
        const void* answer = self.Extension(id);
        self.Record(Kind::GetExtension, 0, 0, id ? id : "", answer != nullptr);
        return answer;
    }
    static void QUELOR_CLAP_CALL RequestRestart(const clap_host_t* host) {
        Self(host).Record(Kind::RequestRestart);
    }
    static void QUELOR_CLAP_CALL RequestProcess(const clap_host_t* host) {
        Self(host).Record(Kind::RequestProcess);
    }
    static void QUELOR_CLAP_CALL RequestCallback(const clap_host_t* host) {
        CLAPTestHost& self = Self(host);
        self.Record(Kind::RequestCallback);
        self.callbackRequested.store(true);
    }

    // Not logged: a plug-in may ask on every entry.
    static bool QUELOR_CLAP_CALL IsMainThread(const clap_host_t* host) {
        return Self(host).mainThread.load() == std::this_thread::get_id();
    }
    static bool QUELOR_CLAP_CALL IsAudioThread(const clap_host_t* host) {
        return Self(host).audioThread.load() == std::this_thread::get_id();
    }

    static void QUELOR_CLAP_CALL Log(const clap_host_t* host, clap_log_severity severity,
                                     const char* message) {
        Self(host).Record(Kind::Log, severity, 0, message ? message : "");
    }

    static bool QUELOR_CLAP_CALL IsRescanFlagSupported(const clap_host_t* host, uint32_t flag) {
        CLAPTestHost& self = Self(host);
        const bool answer = flag != 0 && (flag & ~self.supportedRescanFlags) == 0;
        self.Record(Kind::AudioPortsRescanFlagQuery, flag, 0, {}, answer);
        return answer;
    }
    static void QUELOR_CLAP_CALL AudioPortsRescan(const clap_host_t* host, uint32_t flags) {
        Self(host).Record(Kind::AudioPortsRescan, flags);
    }

    static void QUELOR_CLAP_CALL ParamsRescan(const clap_host_t* host, uint32_t flags) {
        Self(host).Record(Kind::ParamsRescan, flags);
    }
    static void QUELOR_CLAP_CALL ParamsClear(const clap_host_t* host, clap_id id, uint32_t flags) {
        Self(host).Record(Kind::ParamsClear, id, flags);
    }
    static void QUELOR_CLAP_CALL RequestFlush(const clap_host_t* host) {
        Self(host).Record(Kind::ParamsRequestFlush);
    }

    static void QUELOR_CLAP_CALL MarkDirty(const clap_host_t* host) {
        Self(host).Record(Kind::StateMarkDirty);
    }
    static void QUELOR_CLAP_CALL LatencyChanged(const clap_host_t* host) {
        Self(host).Record(Kind::LatencyChanged);
    }
    static void QUELOR_CLAP_CALL TailChanged(const clap_host_t* host) {
        Self(host).Record(Kind::TailChanged);
    }

    static void QUELOR_CLAP_CALL ResizeHintsChanged(const clap_host_t* host) {
        Self(host).Record(Kind::GuiResizeHintsChanged);
    }
    static bool QUELOR_CLAP_CALL RequestResize(const clap_host_t* host, uint32_t width,
                                               uint32_t height) {
        CLAPTestHost& self = Self(host);
        self.Record(Kind::GuiRequestResize, width, height, {}, self.acceptResize);
        return self.acceptResize;
    }
    static bool QUELOR_CLAP_CALL RequestShow(const clap_host_t* host) {
        CLAPTestHost& self = Self(host);
        self.Record(Kind::GuiRequestShow, 0, 0, {}, self.acceptShowHide);
        return self.acceptShowHide;
    }
    static bool QUELOR_CLAP_CALL RequestHide(const clap_host_t* host) {
        CLAPTestHost& self = Self(host);
        self.Record(Kind::GuiRequestHide, 0, 0, {}, self.acceptShowHide);
        return self.acceptShowHide;
    }
    static void QUELOR_CLAP_CALL Closed(const clap_host_t* host, bool wasDestroyed) {
        Self(host).Record(Kind::GuiClosed, wasDestroyed);
    }

    static bool QUELOR_CLAP_CALL RegisterTimer(const clap_host_t* host, uint32_t periodMs,
                                               clap_id* id) {
        return Self(host).RegisterTimer(periodMs, id);
    }
    static bool QUELOR_CLAP_CALL UnregisterTimer(const clap_host_t* host, clap_id id) {
        return Self(host).UnregisterTimer(id);
    }
    static bool QUELOR_CLAP_CALL RegisterFd(const clap_host_t* host, int fd,
                                            clap_posix_fd_flags_t flags) {
        return Self(host).RegisterFd(fd, flags);
    }
    static bool QUELOR_CLAP_CALL ModifyFd(const clap_host_t* host, int fd,
                                          clap_posix_fd_flags_t flags) {
        return Self(host).ModifyFd(fd, flags);
    }
    static bool QUELOR_CLAP_CALL UnregisterFd(const clap_host_t* host, int fd) {
        return Self(host).UnregisterFd(fd);
    }

    static const clap_host_thread_check_t threadCheck;
    static const clap_host_log_t log;
    static const clap_host_audio_ports_t audioPorts;
    static const clap_host_params_t params;
    static const clap_host_state_t state;
    static const clap_host_latency_t latency;
    static const clap_host_tail_t tail;
    static const clap_host_gui_t gui;
    static const clap_host_timer_support_t timerSupport;
    static const clap_host_posix_fd_support_t posixFdSupport;
};

const clap_host_thread_check_t CLAPTestHost::Callbacks::threadCheck = {IsMainThread, IsAudioThread};
const clap_host_log_t CLAPTestHost::Callbacks::log = {Log};
const clap_host_audio_ports_t CLAPTestHost::Callbacks::audioPorts = {IsRescanFlagSupported,
                                                                     AudioPortsRescan};
const clap_host_params_t CLAPTestHost::Callbacks::params = {ParamsRescan, ParamsClear,
                                                            RequestFlush};
const clap_host_state_t CLAPTestHost::Callbacks::state = {MarkDirty};
const clap_host_latency_t CLAPTestHost::Callbacks::latency = {LatencyChanged};
const clap_host_tail_t CLAPTestHost::Callbacks::tail = {TailChanged};
const clap_host_gui_t CLAPTestHost::Callbacks::gui = {ResizeHintsChanged, RequestResize,
                                                      RequestShow, RequestHide, Closed};
const clap_host_timer_support_t CLAPTestHost::Callbacks::timerSupport = {RegisterTimer,
                                                                         UnregisterTimer};
const clap_host_posix_fd_support_t CLAPTestHost::Callbacks::posixFdSupport = {RegisterFd, ModifyFd,
                                                                              UnregisterFd};

CLAPTestHost::CLAPTestHost(CLAPHostExtensions offered, clap_version_t version)
    : host{version,
           this,
           "Quelor CLAP Test Host",
           "Quelor",
           "",
           "1.0.0",
           Callbacks::GetExtension,
           Callbacks::RequestRestart,
           Callbacks::RequestProcess,
           Callbacks::RequestCallback},
      extensions(offered), mainThread(std::this_thread::get_id()), audioThread(std::thread::id()) {}

CLAPTestHost::~CLAPTestHost() = default;

CLAPTestHost& CLAPTestHost::Self(const clap_host_t* host) {
    // Nothing sensible can follow a call without a host: stop the test program there.
    if (!host || !host->host_data) {
        std::fputs("CLAPTestHost: called without its host record\n", stderr);
        std::abort();
    }
    CLAPTestHost& self = *static_cast<CLAPTestHost*>(host->host_data);
    if (host != &self.host)
        self.Record(Kind::Misuse, 0, 0, "called through a copy of the host record");
    return self;
}

CLAPThreadRole CLAPTestHost::RoleOfThisThread() const {
    const std::thread::id self = std::this_thread::get_id();
    if (self == mainThread.load())
        return CLAPThreadRole::Main;
    if (self == audioThread.load())
        return CLAPThreadRole::Audio;
    return CLAPThreadRole::Other;
}

void CLAPTestHost::Record(CLAPHostCallKind kind, int64_t first, int64_t second, std::string text,
                          bool answer) {
    CLAPHostCall call{kind, RoleOfThisThread(), first, second, std::move(text), answer};
    std::lock_guard guard(mutex);
    calls.push_back(std::move(call));
}

std::vector<CLAPHostCall> CLAPTestHost::Calls() const {
    std::lock_guard guard(mutex);
    return calls;
}

std::vector<CLAPHostCall> CLAPTestHost::CallsOf(CLAPHostCallKind kind) const {
    std::lock_guard guard(mutex);
    std::vector<CLAPHostCall> matching;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(matching),
                 [kind](const CLAPHostCall& call) { return call.kind == kind; });
    return matching;
}

int CLAPTestHost::Count(CLAPHostCallKind kind) const {
    std::lock_guard guard(mutex);
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [kind](const auto& call) { return call.kind == kind; }));
}

void CLAPTestHost::ClearCalls() {
    std::lock_guard guard(mutex);
    calls.clear();
}

const void* CLAPTestHost::Extension(const char* id) const {
    if (!id)
        return nullptr;
    const struct {
        bool offered;
        const char* id;
        const void* extension;
    } table[] = {
        {extensions.threadCheck, CLAP_EXT_THREAD_CHECK, &Callbacks::threadCheck},
        {extensions.log, CLAP_EXT_LOG, &Callbacks::log},
        {extensions.audioPorts, CLAP_EXT_AUDIO_PORTS, &Callbacks::audioPorts},
        {extensions.params, CLAP_EXT_PARAMS, &Callbacks::params},
        {extensions.state, CLAP_EXT_STATE, &Callbacks::state},
        {extensions.latency, CLAP_EXT_LATENCY, &Callbacks::latency},
        {extensions.tail, CLAP_EXT_TAIL, &Callbacks::tail},
        {extensions.gui, CLAP_EXT_GUI, &Callbacks::gui},
        {extensions.timerSupport, CLAP_EXT_TIMER_SUPPORT, &Callbacks::timerSupport},
        {extensions.posixFdSupport, CLAP_EXT_POSIX_FD_SUPPORT, &Callbacks::posixFdSupport},
    };
    for (const auto& entry : table)
        if (entry.offered && std::strcmp(id, entry.id) == 0)
            return entry.extension;
    return nullptr;
}

std::vector<CLAPHostTimer> CLAPTestHost::Timers() const {
    std::lock_guard guard(mutex);
    return timers;
}

std::vector<CLAPHostFd> CLAPTestHost::Fds() const {
    std::lock_guard guard(mutex);
    return fds;
}

bool CLAPTestHost::HasTimer(clap_id id) const {
    std::lock_guard guard(mutex);
    return std::any_of(timers.begin(), timers.end(), [id](const auto& t) { return t.id == id; });
}

bool CLAPTestHost::FindFd(int fd, uint64_t serial, clap_posix_fd_flags_t& flags) const {
    std::lock_guard guard(mutex);
    for (const CLAPHostFd& entry : fds)
        if (entry.fd == fd && entry.serial == serial) {
            flags = entry.flags;
            return true;
        }
    return false;
}

bool CLAPTestHost::RegisterTimer(uint32_t periodMs, clap_id* id) {
    if (!id) {
        Record(Kind::Misuse, periodMs, 0, "register_timer without a place for the id");
        return false;
    }
    {
        std::lock_guard guard(mutex);
        *id = nextTimerId++;
        timers.push_back({*id, periodMs});
    }
    Record(Kind::RegisterTimer, periodMs, *id, {}, true);
    return true;
}

bool CLAPTestHost::UnregisterTimer(clap_id id) {
    bool found = false;
    {
        std::lock_guard guard(mutex);
        const auto at = std::find_if(timers.begin(), timers.end(),
                                     [id](const auto& timer) { return timer.id == id; });
        found = at != timers.end();
        if (found)
            timers.erase(at);
    }
    Record(Kind::UnregisterTimer, id, 0, {}, found);
    return found;
}

bool CLAPTestHost::RegisterFd(int fd, clap_posix_fd_flags_t flags) {
    bool accepted = false;
    {
        std::lock_guard guard(mutex);
        accepted = fd >= 0 && std::none_of(fds.begin(), fds.end(),
                                           [fd](const auto& entry) { return entry.fd == fd; });
        if (accepted)
            fds.push_back({fd, flags, nextFdSerial++});
    }
    Record(Kind::RegisterFd, fd, flags, {}, accepted);
    return accepted;
}

bool CLAPTestHost::ModifyFd(int fd, clap_posix_fd_flags_t flags) {
    bool found = false;
    {
        std::lock_guard guard(mutex);
        for (CLAPHostFd& entry : fds)
            if (entry.fd == fd) {
                entry.flags = flags;
                found = true;
            }
    }
    Record(Kind::ModifyFd, fd, flags, {}, found);
    return found;
}

bool CLAPTestHost::UnregisterFd(int fd) {
    bool found = false;
    {
        std::lock_guard guard(mutex);
        const auto at = std::find_if(fds.begin(), fds.end(),
                                     [fd](const auto& entry) { return entry.fd == fd; });
        found = at != fds.end();
        if (found)
            fds.erase(at);
    }
    Record(Kind::UnregisterFd, fd, 0, {}, found);
    return found;
}
