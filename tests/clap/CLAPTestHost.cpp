#include "CLAPTestHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The host's entries as the plug-in sees them: each finds the host through host_data,
// as real hosts do, and logs the call.
struct CLAPTestHost::Callbacks {
    static CLAPTestHost& Self(const clap_host_t* host) {
        // Nothing sensible can follow a call without this host's own record: stop there.
        const auto* self = host ? static_cast<CLAPTestHost*>(host->host_data) : nullptr;
        if (!self || host != &self->host) {
            std::fputs("CLAPTestHost: called without its host record\n", stderr);
            std::abort();
        }
        return *static_cast<CLAPTestHost*>(host->host_data);
    }

    static bool QUELOR_CLAP_CALL RegisterTimer(const clap_host_t* h, uint32_t periodMs,
                                               clap_id* id) {
        CLAPTestHost& self = Called(h, "timer_support.register_timer");
        std::lock_guard guard(self.mutex);
        if (!id)
            return false;
        *id = self.nextTimerId++;
        self.timers.push_back({*id, periodMs});
        return true;
    }
    static bool QUELOR_CLAP_CALL UnregisterTimer(const clap_host_t* h, clap_id id) {
        CLAPTestHost& self = Called(h, "timer_support.unregister_timer");
        std::lock_guard guard(self.mutex);
        return std::erase_if(self.timers, [id](const auto& timer) { return timer.id == id; }) > 0;
    }
    // The flags are not kept: the editor test waits for reading alone.
    static bool QUELOR_CLAP_CALL RegisterFd(const clap_host_t* h, int fd, clap_posix_fd_flags_t) {
        CLAPTestHost& self = Called(h, "posix_fd_support.register_fd");
        std::lock_guard guard(self.mutex);
        const bool taken = fd >= 0 && !Registered(self, fd);
        if (taken)
            self.fds.push_back(fd);
        return taken;
    }
    static bool QUELOR_CLAP_CALL ModifyFd(const clap_host_t* h, int fd, clap_posix_fd_flags_t) {
        CLAPTestHost& self = Called(h, "posix_fd_support.modify_fd");
        std::lock_guard guard(self.mutex);
        return Registered(self, fd);
    }
    static bool QUELOR_CLAP_CALL UnregisterFd(const clap_host_t* h, int fd) {
        CLAPTestHost& self = Called(h, "posix_fd_support.unregister_fd");
        std::lock_guard guard(self.mutex);
        return std::erase(self.fds, fd) > 0;
    }
    static bool Registered(const CLAPTestHost& self, int fd) {
        return std::find(self.fds.begin(), self.fds.end(), fd) != self.fds.end();
    }

    static constexpr clap_host_thread_check_t threadCheck = {
        // Not logged: a plug-in may ask on every entry.
        [](const clap_host_t* h) {
            return Self(h).mainThread.load() == std::this_thread::get_id();
        },
        [](const clap_host_t* h) {
            return Self(h).audioThread.load() == std::this_thread::get_id();
        }};
    static constexpr clap_host_log_t log = {
        [](const clap_host_t* h, clap_log_severity, const char* message) {
            Called(h, "log.log", message ? message : "");
        }};
    static constexpr clap_host_params_t params = {
        [](const clap_host_t* h, uint32_t) { Called(h, "params.rescan"); },
        [](const clap_host_t* h, clap_id, uint32_t) { Called(h, "params.clear"); },
        [](const clap_host_t* h) { Called(h, "params.request_flush"); }};
    static constexpr clap_host_timer_support_t timerSupport = {RegisterTimer, UnregisterTimer};
    static constexpr clap_host_posix_fd_support_t posixFdSupport = {RegisterFd, ModifyFd,
                                                                    UnregisterFd};

    static const void* QUELOR_CLAP_CALL GetExtension(const clap_host_t* h, const char* id) {
        const CLAPTestHost& self = Called(h, "get_extension", id ? id : "");
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
};

CLAPTestHost::CLAPTestHost(CLAPHostExtensions offered)
    : host{CLAP_VERSION,
           this,
           "Quelor CLAP Test Host",
           "Quelor",
           "",
           "1.0.0",
           Callbacks::GetExtension,
           [](const clap_host_t* h) { Called(h, "request_restart"); },
           [](const clap_host_t* h) { Called(h, "request_process"); },
           [](const clap_host_t* h) { Called(h, "request_callback").callbackRequested = true; }},
      extensions(offered), mainThread(std::this_thread::get_id()), audioThread(std::thread::id()) {}

CLAPTestHost& CLAPTestHost::Called(const clap_host_t* host, const char* name, std::string text) {
    CLAPTestHost& self = Callbacks::Self(host);
    const std::thread::id thread = std::this_thread::get_id();
    const CLAPThreadRole role = thread == self.mainThread.load()    ? CLAPThreadRole::Main
                                : thread == self.audioThread.load() ? CLAPThreadRole::Audio
                                                                    : CLAPThreadRole::Other;
    std::lock_guard guard(self.mutex);
    self.calls.push_back({name, role, std::move(text)});
    return self;
}

std::vector<CLAPHostCall> CLAPTestHost::Calls(const char* name) const {
    std::lock_guard guard(mutex);
    std::vector<CLAPHostCall> matching;
    for (const CLAPHostCall& call : calls)
        if (!name || call.name == name)
            matching.push_back(call);
    return matching;
}

std::vector<CLAPHostTimer> CLAPTestHost::Timers() const {
    std::lock_guard guard(mutex);
    return timers;
}

std::vector<int> CLAPTestHost::Fds() const {
    std::lock_guard guard(mutex);
    return fds;
}
