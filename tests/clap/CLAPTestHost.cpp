#include "CLAPTestHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

using Kind = CLAPHostCallKind;

// The host's entries as the plug-in sees them: each finds the host through host_data,
// as real hosts do, and logs the call.
struct CLAPTestHost::Callbacks {
    static const void* QUELOR_CLAP_CALL GetExtension(const clap_host_t* h, const char* id) {
        CLAPTestHost& self = Self(h);
        self.Record(Kind::GetExtension, id ? id : "");
        const struct {
            bool offered;
            const char* id;
            const void* extension;
        } table[] = {
            {self.extensions.threadCheck, CLAP_EXT_THREAD_CHECK, &threadCheck},
            {true, CLAP_EXT_LOG, &log},
            {true, CLAP_EXT_PARAMS, &params},
            {self.extensions.timerSupport, CLAP_EXT_TIMER_SUPPORT, &timerSupport},
            {true, CLAP_EXT_POSIX_FD_SUPPORT, &posixFdSupport},
        };
        for (const auto& entry : table)
            if (id && entry.offered && std::strcmp(id, entry.id) == 0)
                return entry.extension;
        return nullptr;
    }
    static void QUELOR_CLAP_CALL RequestCallback(const clap_host_t* h) {
        Self(h).Record(Kind::RequestCallback);
        Self(h).callbackRequested.store(true);
    }

    static bool QUELOR_CLAP_CALL RegisterTimer(const clap_host_t* h, uint32_t periodMs,
                                               clap_id* id) {
        CLAPTestHost& self = Self(h);
        self.Record(Kind::RegisterTimer);
        if (!id)
            return false;
        std::lock_guard guard(self.mutex);
        *id = self.nextTimerId++;
        self.timers.push_back({*id, periodMs});
        return true;
    }
    static bool QUELOR_CLAP_CALL UnregisterTimer(const clap_host_t* h, clap_id id) {
        CLAPTestHost& self = Self(h);
        self.Record(Kind::UnregisterTimer);
        std::lock_guard guard(self.mutex);
        return std::erase_if(self.timers, [id](const auto& timer) { return timer.id == id; }) > 0;
    }
    static bool QUELOR_CLAP_CALL RegisterFd(const clap_host_t* h, int fd,
                                            clap_posix_fd_flags_t flags) {
        CLAPTestHost& self = Self(h);
        self.Record(Kind::RegisterFd);
        std::lock_guard guard(self.mutex);
        if (fd < 0 || std::any_of(self.fds.begin(), self.fds.end(),
                                  [fd](const auto& entry) { return entry.fd == fd; }))
            return false;
        self.fds.push_back({fd, flags});
        return true;
    }
    static bool QUELOR_CLAP_CALL ModifyFd(const clap_host_t* h, int fd,
                                          clap_posix_fd_flags_t flags) {
        CLAPTestHost& self = Self(h);
        self.Record(Kind::ModifyFd);
        std::lock_guard guard(self.mutex);
        bool found = false;
        for (CLAPHostFd& entry : self.fds)
            if (entry.fd == fd)
                found = (entry.flags = flags, true);
        return found;
    }
    static bool QUELOR_CLAP_CALL UnregisterFd(const clap_host_t* h, int fd) {
        CLAPTestHost& self = Self(h);
        self.Record(Kind::UnregisterFd);
        std::lock_guard guard(self.mutex);
        return std::erase_if(self.fds, [fd](const auto& entry) { return entry.fd == fd; }) > 0;
    }

    static constexpr clap_host_thread_check_t threadCheck = {
        [](const clap_host_t* h) {
            return Self(h).mainThread.load() == std::this_thread::get_id();
        },
        [](const clap_host_t* h) {
            return Self(h).audioThread.load() == std::this_thread::get_id();
        }};
    static constexpr clap_host_log_t log = {
        [](const clap_host_t* h, clap_log_severity, const char* message) {
            Self(h).Record(Kind::Log, message ? message : "");
        }};
    static constexpr clap_host_params_t params = {
        [](const clap_host_t* h, uint32_t) { Self(h).Record(Kind::ParamsRescan); },
        [](const clap_host_t* h, clap_id, uint32_t) { Self(h).Record(Kind::ParamsClear); },
        [](const clap_host_t* h) { Self(h).Record(Kind::ParamsRequestFlush); }};
    static constexpr clap_host_timer_support_t timerSupport = {RegisterTimer, UnregisterTimer};
    static constexpr clap_host_posix_fd_support_t posixFdSupport = {RegisterFd, ModifyFd,
                                                                    UnregisterFd};
};

CLAPTestHost::CLAPTestHost(CLAPHostExtensions offered)
    : host{CLAP_VERSION,
           this,
           "Quelor CLAP Test Host",
           "Quelor",
           "",
           "1.0.0",
           Callbacks::GetExtension,
           [](const clap_host_t* h) { Self(h).Record(Kind::RequestRestart); },
           [](const clap_host_t* h) { Self(h).Record(Kind::RequestProcess); },
           Callbacks::RequestCallback},
      extensions(offered), mainThread(std::this_thread::get_id()), audioThread(std::thread::id()) {}

CLAPTestHost& CLAPTestHost::Self(const clap_host_t* host) {
    // Nothing sensible can follow a call without this host's own record: stop there.
    if (!host || !host->host_data || host != &static_cast<CLAPTestHost*>(host->host_data)->host) {
        std::fputs("CLAPTestHost: called without its host record\n", stderr);
        std::abort();
    }
    return *static_cast<CLAPTestHost*>(host->host_data);
}

void CLAPTestHost::Record(CLAPHostCallKind kind, std::string text) {
    const std::thread::id self = std::this_thread::get_id();
    const CLAPThreadRole role = self == mainThread.load()    ? CLAPThreadRole::Main
                                : self == audioThread.load() ? CLAPThreadRole::Audio
                                                             : CLAPThreadRole::Other;
    std::lock_guard guard(mutex);
    calls.push_back({kind, role, std::move(text)});
}

std::vector<CLAPHostCall> CLAPTestHost::Calls() const {
    std::lock_guard guard(mutex);
    return calls;
}

std::vector<CLAPHostCall> CLAPTestHost::CallsOf(CLAPHostCallKind kind) const {
    std::vector<CLAPHostCall> matching;
    for (CLAPHostCall& call : Calls())
        if (call.kind == kind)
            matching.push_back(std::move(call));
    return matching;
}

void CLAPTestHost::ClearCalls() {
    std::lock_guard guard(mutex);
    calls.clear();
}

std::vector<CLAPHostTimer> CLAPTestHost::Timers() const {
    std::lock_guard guard(mutex);
    return timers;
}

std::vector<CLAPHostFd> CLAPTestHost::Fds() const {
    std::lock_guard guard(mutex);
    return fds;
}
