#include "CLAPPump.h"

#include <poll.h>

#include <algorithm>
#include <vector>

namespace {
bool HasTimer(const CLAPTestHost& host, clap_id id) {
    const std::vector<CLAPHostTimer> timers = host.Timers();
    return std::any_of(timers.begin(), timers.end(), [id](const auto& t) { return t.id == id; });
}

bool HasFd(const CLAPTestHost& host, int fd) {
    const std::vector<CLAPHostFd> fds = host.Fds();
    return std::any_of(fds.begin(), fds.end(), [fd](const auto& f) { return f.fd == fd; });
}
} // namespace

void CLAPPump::Run(std::chrono::milliseconds time) {
    using std::chrono::milliseconds;
    const auto* timerSupport = static_cast<const clap_plugin_timer_support_t*>(
        plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
    const auto* fdSupport = static_cast<const clap_plugin_posix_fd_support_t*>(
        plugin->get_extension(plugin, CLAP_EXT_POSIX_FD_SUPPORT));
    const Clock::time_point end = Clock::now() + time;
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        // A timer is first due a period after the round that finds it registered; hosts
        // lengthen periods too short to keep, and a zero period would spin.
        const std::vector<CLAPHostTimer> timers = host.Timers();
        std::erase_if(due, [&](const auto& entry) { return !HasTimer(host, entry.first); });
        for (const CLAPHostTimer& timer : timers) {
            const milliseconds period(std::max<uint32_t>(timer.periodMs, 1));
            due.try_emplace(timer.id, Due{now + period, period});
        }
        auto wait = std::chrono::ceil<milliseconds>(end - now);
        for (const auto& [id, next] : due)
            wait =
                std::clamp(std::chrono::ceil<milliseconds>(next.when - now), milliseconds(0), wait);

        const std::vector<CLAPHostFd> fds = host.Fds();
        std::vector<pollfd> polled;
        for (const CLAPHostFd& entry : fds)
            polled.push_back(
                {entry.fd,
                 static_cast<short>(((entry.flags & CLAP_POSIX_FD_READ) ? POLLIN : 0) |
                                    ((entry.flags & CLAP_POSIX_FD_WRITE) ? POLLOUT : 0)),
                 0});
        if (poll(polled.data(), polled.size(), static_cast<int>(wait.count())) > 0)
            for (const pollfd& entry : polled) {
                // Errors are reported whether asked for or not, as poll reports them.
                const clap_posix_fd_flags_t ready =
                    ((entry.revents & POLLIN) ? CLAP_POSIX_FD_READ : 0) |
                    ((entry.revents & POLLOUT) ? CLAP_POSIX_FD_WRITE : 0) |
                    ((entry.revents & (POLLERR | POLLHUP | POLLNVAL)) ? CLAP_POSIX_FD_ERROR : 0);
                if (ready && fdSupport && HasFd(host, entry.fd))
                    fdSupport->on_fd(plugin, entry.fd, ready);
            }

        // The next due times count from now: a late round does not bring a burst of calls.
        now = Clock::now();
        std::vector<clap_id> ready;
        for (auto& [id, next] : due)
            if (next.when <= now) {
                next.when = now + next.period;
                ready.push_back(id);
            }
        for (const clap_id id : ready)
            if (timerSupport && HasTimer(host, id))
                timerSupport->on_timer(plugin, id);
    }
}
