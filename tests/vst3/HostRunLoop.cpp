#include "HostRunLoop.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>

using namespace vst3;
using namespace vst3::Linux;

namespace {
// Longer intervals are as good as never here, and cannot overflow the clock.
constexpr std::chrono::milliseconds kLongestInterval = std::chrono::hours(24);

// Drops the entries of `handler`, and their references; false when there were none.
template <class Entry, class Handler> bool Remove(std::vector<Entry>& entries, Handler* handler) {
    const auto from = std::remove_if(entries.begin(), entries.end(),
                                     [&](const Entry& e) { return e.handler == handler; });
    const bool found = from != entries.end();
    for (auto at = from; at != entries.end(); ++at)
        at->handler->release();
    entries.erase(from, entries.end());
    return found;
}
} // namespace

HostRunLoop::~HostRunLoop() {
    if (TimerCount() || HandlerCount())
        ADD_FAILURE() << "the plug-in left " << TimerCount() << " timers and " << HandlerCount()
                      << " event handlers registered";
    for (const Timer& timer : timers)
        timer.handler->release();
    for (const Watch& watch : watches)
        watch.handler->release();
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
    watches.push_back({handler, fd});
    return kResultOk;
}

tresult PLUGIN_API HostRunLoop::unregisterEventHandler(IEventHandler* handler) {
    CheckThread("unregisterEventHandler");
    if (!handler)
        return kInvalidArgument;
    return Remove(watches, handler) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API HostRunLoop::registerTimer(ITimerHandler* handler, TimerInterval milliseconds) {
    CheckThread("registerTimer");
    if (!handler)
        return kInvalidArgument;
    const std::chrono::milliseconds interval(
        std::min<TimerInterval>(milliseconds, kLongestInterval.count()));
    handler->addRef();
    timers.push_back({handler, interval, Clock::now() + interval});
    return kResultOk;
}

tresult PLUGIN_API HostRunLoop::unregisterTimer(ITimerHandler* handler) {
    CheckThread("unregisterTimer");
    if (!handler)
        return kInvalidArgument;
    return Remove(timers, handler) ? kResultOk : kResultFalse;
}

void HostRunLoop::Pump(std::chrono::milliseconds wait) {
    CheckThread("Pump");
    Clock::time_point now = Clock::now();
    auto timeout = std::max(wait, std::chrono::milliseconds(0));
    for (const Timer& timer : timers)
        timeout = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(timer.due - now),
                             std::chrono::milliseconds(0), timeout);
    std::vector<pollfd> polled;
    for (const Watch& watch : watches)
        polled.push_back({watch.fd, POLLIN, 0});
    // An interrupted wait counts as one in which nothing happened; a closed or invalid
    // descriptor is left out rather than reported for ever.
    const bool any = poll(polled.data(), polled.size(), static_cast<int>(timeout.count())) > 0;
    // A callback may unregister any handler of this round, which is then skipped: looked
    // up by address, never called through a pointer the loop no longer holds.
    std::vector<Watch> ready;
    for (std::size_t i = 0; any && i < polled.size(); ++i)
        if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) && !(polled[i].revents & POLLNVAL))
            ready.push_back(watches[i]);
    for (const Watch& watch : ready)
        if (std::any_of(watches.begin(), watches.end(),
                        [&](const Watch& w) { return w.handler == watch.handler; }))
            watch.handler->onFDIsSet(watch.fd);
    now = Clock::now();
    std::vector<ITimerHandler*> due;
    for (Timer& timer : timers)
        if (timer.due <= now) {
            timer.due = now + timer.interval;
            due.push_back(timer.handler);
        }
    for (ITimerHandler* handler : due)
        if (std::any_of(timers.begin(), timers.end(),
                        [&](const Timer& t) { return t.handler == handler; }))
            handler->onTimer();
}
