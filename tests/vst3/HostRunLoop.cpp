#include "HostRunLoop.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>

using namespace vst3;
using namespace vst3::Linux;

namespace {
using std::chrono::milliseconds;
// Longer intervals are as good as never here, and cannot overflow the clock.
constexpr milliseconds kLongestInterval = std::chrono::hours(24);

template <class Entry, class Handler> bool Holds(const std::vector<Entry>& entries, Handler* h) {
    return std::any_of(entries.begin(), entries.end(),
                       [h](const Entry& e) { return e.handler == h; });
}

// Drops the entries of `handler`, with their references; kResultFalse when there were none.
template <class Entry, class Handler> tresult Unregister(std::vector<Entry>& entries, Handler* h) {
    if (!h)
        return kInvalidArgument;
    const auto removed = std::erase_if(entries, [h](const Entry& e) { return e.handler == h; });
    for (auto i = removed; i > 0; --i)
        h->release();
    return removed > 0 ? kResultOk : kResultFalse;
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
    return Unregister(watches, handler);
}

tresult PLUGIN_API HostRunLoop::registerTimer(ITimerHandler* handler, TimerInterval period) {
    CheckThread("registerTimer");
    if (!handler)
        return kInvalidArgument;
    const milliseconds interval(std::min<TimerInterval>(period, kLongestInterval.count()));
    handler->addRef();
    timers.push_back({handler, interval, Clock::now() + interval});
    return kResultOk;
}

tresult PLUGIN_API HostRunLoop::unregisterTimer(ITimerHandler* handler) {
    CheckThread("unregisterTimer");
    return Unregister(timers, handler);
}

void HostRunLoop::Pump(milliseconds wait) {
    CheckThread("Pump");
    auto timeout = std::max(wait, milliseconds(0));
    for (const Timer& timer : timers)
        timeout = std::clamp(std::chrono::ceil<milliseconds>(timer.due - Clock::now()),
                             milliseconds(0), timeout);
    std::vector<pollfd> polled;
    for (const Watch& watch : watches)
        polled.push_back({watch.fd, POLLIN, 0});
    // An interrupted wait counts as one in which nothing happened; a closed or invalid
    // descriptor is left out rather than reported for ever.
    if (poll(polled.data(), polled.size(), static_cast<int>(timeout.count())) <= 0)
        polled.clear();
    // A callback may unregister any handler of this round, which is then skipped: looked
    // up by address, never called through a pointer the loop no longer holds.
    const std::vector<Watch> round = watches;
    for (std::size_t i = 0; i < polled.size(); ++i)
        if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) && !(polled[i].revents & POLLNVAL) &&
            Holds(watches, round[i].handler))
            round[i].handler->onFDIsSet(round[i].fd);
    const Clock::time_point now = Clock::now();
    std::vector<ITimerHandler*> due;
    for (Timer& timer : timers)
        if (timer.due <= now) {
            timer.due = now + timer.interval;
            due.push_back(timer.handler);
        }
    for (ITimerHandler* handler : due)
        if (Holds(timers, handler))
            handler->onTimer();
}
