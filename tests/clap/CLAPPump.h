#pragma once

#include "CLAPTestHost.h"

#include <chrono>
#include <functional>
#include <map>

// The main loop a Linux host runs for a plug-in's editor: it polls the fds the plug-in
// registered and calls on_fd for those ready, then calls on_timer for the timers that
// are due. The registrations live in the host; the pump reads them afresh on each round,
// so a callback may register or remove any timer or fd. One removed during a round is
// not called again in it, even if it was ready.
class CLAPPump {
public:
    using Clock = std::chrono::steady_clock;

    // now: the clock timers are due by; tests pass one of their own.
    CLAPPump(CLAPTestHost& host, const clap_plugin_t* plugin,
             std::function<Clock::time_point()> now = Clock::now);

    // Waits at most `wait` (less when a timer falls due sooner) for a ready fd, then makes
    // the calls that are due. Returns how many it made.
    int RunOnce(std::chrono::milliseconds wait);
    // Runs rounds until done() is true or `limit` has passed; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

private:
    void SyncTimers(Clock::time_point now);
    std::chrono::milliseconds UntilNextTimer(Clock::time_point now) const;
    int CallReadyFds(std::chrono::milliseconds wait);
    int CallDueTimers();
    const clap_plugin_timer_support_t* TimerSupport();
    const clap_plugin_posix_fd_support_t* FdSupport();

    CLAPTestHost& host;
    const clap_plugin_t* plugin;
    std::function<Clock::time_point()> now;
    // When each registered timer is next due.
    std::map<clap_id, Clock::time_point> due;
};
