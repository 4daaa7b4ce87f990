#include "CLAPPump.h"

#include <poll.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {
short PollEvents(clap_posix_fd_flags_t flags) {
    int events = 0;
    if (flags & CLAP_POSIX_FD_READ)
        events |= POLLIN;
    if (flags & CLAP_POSIX_FD_WRITE)
        events |= POLLOUT;
    return static_cast<short>(events);
}

// Hosts lengthen periods too short to keep; a zero period would spin.
std::chrono::milliseconds Period(const CLAPHostTimer& timer) {
    return std::chrono::milliseconds(std::max<uint32_t>(timer.periodMs, 1));
}

// Errors are reported whether asked for or not, as poll reports them.
clap_posix_fd_flags_t ClapFlags(short revents) {
    clap_posix_fd_flags_t flags = 0;
    if (revents & POLLIN)
        flags |= CLAP_POSIX_FD_READ;
    if (revents & POLLOUT)
        flags |= CLAP_POSIX_FD_WRITE;
    if (revents & (POLLERR | POLLHUP | POLLNVAL))
        flags |= CLAP_POSIX_FD_ERROR;
    return flags;
}
} // namespace

CLAPPump::CLAPPump(CLAPTestHost& testHost, const clap_plugin_t* testPlugin,
                   std::function<Clock::time_point()> clock)
    : host(testHost), plugin(testPlugin), now(std::move(clock)) {}

int CLAPPump::RunOnce(std::chrono::milliseconds wait) {
    SyncTimers(now());
    const int calls = CallReadyFds(std::min(wait, UntilNextTimer(now())));
    SyncTimers(now());
    return calls + CallDueTimers();
}

bool CLAPPump::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done() && Clock::now() < end)
        RunOnce(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
    return done();
}

void CLAPPump::SyncTimers(Clock::time_point at) {
    const std::vector<CLAPHostTimer> timers = host.Timers();
    std::erase_if(due, [&](const auto& entry) {
        return std::none_of(timers.begin(), timers.end(),
                            [&](const CLAPHostTimer& timer) { return timer.id == entry.first; });
    });
    for (const CLAPHostTimer& timer : timers)
        due.try_emplace(timer.id, at + Period(timer));
}

std::chrono::milliseconds CLAPPump::UntilNextTimer(Clock::time_point at) const {
    std::chrono::milliseconds soonest = std::chrono::milliseconds::max();
    for (const auto& entry : due)
        soonest = std::min(
            soonest, std::max(std::chrono::milliseconds(0),
                              std::chrono::ceil<std::chrono::milliseconds>(entry.second - at)));
    return soonest;
}

int CLAPPump::CallReadyFds(std::chrono::milliseconds wait) {
    const std::vector<CLAPHostFd> fds = host.Fds();
    std::vector<pollfd> polled;
    for (const CLAPHostFd& entry : fds)
        polled.push_back({entry.fd, PollEvents(entry.flags), 0});
    const int timeout = static_cast<int>(std::min<std::chrono::milliseconds::rep>(
        wait.count(), std::chrono::milliseconds(60000).count()));
    if (poll(polled.data(), polled.size(), timeout) <= 0)
        return 0;
    int calls = 0;
    for (std::size_t i = 0; i < polled.size(); ++i) {
        const clap_posix_fd_flags_t ready = ClapFlags(polled[i].revents);
        clap_posix_fd_flags_t registered = 0;
        // Skipped when an earlier callback of this round removed or replaced it.
        if (!ready || !host.FindFd(fds[i].fd, fds[i].serial, registered))
            continue;
        const clap_posix_fd_flags_t asked = registered | CLAP_POSIX_FD_ERROR;
        if (const clap_plugin_posix_fd_support_t* support = FdSupport();
            support && (ready & asked)) {
            support->on_fd(plugin, fds[i].fd, ready & asked);
            ++calls;
        }
    }
    return calls;
}

int CLAPPump::CallDueTimers() {
    const Clock::time_point at = now();
    std::vector<clap_id> ready;
    for (const auto& [id, when] : due)
        if (when <= at)
            ready.push_back(id);
    int calls = 0;
    for (const clap_id id : ready) {
        // Skipped when an earlier callback of this round removed it.
        if (!host.HasTimer(id))
            continue;
        if (const clap_plugin_timer_support_t* support = TimerSupport()) {
            support->on_timer(plugin, id);
            ++calls;
        }
    }
    // The next due times count from now: a late round does not bring a burst of calls.
    const std::vector<CLAPHostTimer> timers = host.Timers();
    for (const CLAPHostTimer& timer : timers)
        if (std::find(ready.begin(), ready.end(), timer.id) != ready.end())
            due[timer.id] = at + Period(timer);
    return calls;
}

const clap_plugin_timer_support_t* CLAPPump::TimerSupport() {
    return static_cast<const clap_plugin_timer_support_t*>(
        plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
}

const clap_plugin_posix_fd_support_t* CLAPPump::FdSupport() {
    return static_cast<const clap_plugin_posix_fd_support_t*>(
        plugin->get_extension(plugin, CLAP_EXT_POSIX_FD_SUPPORT));
}
