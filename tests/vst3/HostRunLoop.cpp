#include "HostRunLoop.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vst3;
using namespace vst3::Linux;

namespace {
// Longer intervals are as good as never here, and cannot overflow the clock.
constexpr std::chrono::milliseconds kLongestInterval = std::chrono::hours(24);
} // namespace

HostRunLoop::HostRunLoop() : HostObject("run loop"), uiThread(std::this_thread::get_id()) {}

HostRunLoop::~HostRunLoop() {
    if (TimerCount() || HandlerCount())
        ADD_FAILURE() << "the plug-in left " << TimerCount() << " timers and " << HandlerCount()
                      << " event handlers registered";
    for (Timer& timer : timers)
        timer.removed = true;
    for (Watch& watch : watches)
        watch.removed = true;
    Sweep();
}

void HostRunLoop::CheckThread(const char* call) const {
    if (std::this_thread::get_id() != uiThread)
        ADD_FAILURE() << "IRunLoop::" << call << " called off the host's UI thread";
}

tresult PLUGIN_API HostRunLoop::registerEventHandler(IEventHandler* handler, FileDescriptor fd) {
    CheckThread("registerEventHandler");
    if (!handler || fd < 0)
        return kInvalidArgument;
    handler->addRef();
    watches.push_back({handler, fd, false});
    return kResultOk;
}

tresult PLUGIN_API HostRunLoop::unregisterEventHandler(IEventHandler* handler) {
    CheckThread("unregisterEventHandler");
    if (!handler)
        return kInvalidArgument;
    bool found = false;
    for (Watch& watch : watches)
        if (watch.handler == handler && !watch.removed)
            found = watch.removed = true;
    Sweep();
    return found ? kResultOk : kResultFalse;
}

tresult PLUGIN_API HostRunLoop::registerTimer(ITimerHandler* handler, TimerInterval milliseconds) {
    CheckThread("registerTimer");
    if (!handler)
        return kInvalidArgument;
    const auto interval = milliseconds >= static_cast<TimerInterval>(kLongestInterval.count())
                              ? kLongestInterval
                              : std::chrono::milliseconds(milliseconds);
    handler->addRef();
    timers.push_back({handler, interval, Clock::now() + interval, false});
    return kResultOk;
}

tresult PLUGIN_API HostRunLoop::unregisterTimer(ITimerHandler* handler) {
    CheckThread("unregisterTimer");
    if (!handler)
        return kInvalidArgument;
    bool found = false;
    for (Timer& timer : timers)
        if (timer.handler == handler && !timer.removed)
            found = timer.removed = true;
    Sweep();
    return found ? kResultOk : kResultFalse;
}

void HostRunLoop::Pump(std::chrono::milliseconds wait) {
    CheckThread("Pump");
    const Clock::time_point now = Clock::now();
    std::chrono::milliseconds timeout = std::max(wait, std::chrono::milliseconds(0));
    for (const Timer& timer : timers)
        if (!timer.removed)
            timeout = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(timer.due - now),
                                 std::chrono::milliseconds(0), timeout);
    std::vector<FileDescriptor> fds;
    for (const Watch& watch : watches)
        if (!watch.removed)
            fds.push_back(watch.fd);
    const std::vector<FileDescriptor> readable = WaitForReadable(fds, timeout);
    ++dispatching;
    DispatchReadable(readable);
    RunTimers(true);
    --dispatching;
    Sweep();
}

void HostRunLoop::FireTimers() {
    CheckThread("FireTimers");
    ++dispatching;
    RunTimers(false);
    --dispatching;
    Sweep();
}

// Callbacks may register and unregister: entries are visited by index up to the count
// at the start, so added ones wait for the next pass and the vector may grow meanwhile.
void HostRunLoop::DispatchReadable(const std::vector<FileDescriptor>& readable) {
    const size_t count = watches.size();
    for (size_t i = 0; i < count; ++i) {
        const Watch watch = watches[i];
        if (!watch.removed &&
            std::find(readable.begin(), readable.end(), watch.fd) != readable.end())
            watch.handler->onFDIsSet(watch.fd);
    }
}

void HostRunLoop::RunTimers(bool dueOnly) {
    const Clock::time_point now = Clock::now();
    const size_t count = timers.size();
    for (size_t i = 0; i < count; ++i) {
        Timer& timer = timers[i];
        if (timer.removed || (dueOnly && timer.due > now))
            continue;
        timer.due = now + timer.interval;
        ITimerHandler* handler = timer.handler; // the reference may dangle after the call
        handler->onTimer();
    }
}

// Drops unregistered entries and their references, once no callback is running.
void HostRunLoop::Sweep() {
    if (dispatching)
        return;
    for (const Timer& timer : timers)
        if (timer.removed)
            timer.handler->release();
    for (const Watch& watch : watches)
        if (watch.removed)
            watch.handler->release();
    std::erase_if(timers, [](const Timer& timer) { return timer.removed; });
    std::erase_if(watches, [](const Watch& watch) { return watch.removed; });
}

size_t HostRunLoop::TimerCount() const {
    return static_cast<size_t>(
        std::count_if(timers.begin(), timers.end(), [](const Timer& t) { return !t.removed; }));
}

size_t HostRunLoop::HandlerCount() const {
    return static_cast<size_t>(
        std::count_if(watches.begin(), watches.end(), [](const Watch& w) { return !w.removed; }));
}
