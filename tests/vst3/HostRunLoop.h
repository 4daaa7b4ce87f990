#pragma once

#include "HostObject.h"
#include "VST3View.h"

#include <chrono>
#include <thread>
#include <vector>

// The host's UI loop as a Linux host offers it to an editor: timers and file
// descriptors, whose handlers run on the thread that made the loop whenever the test
// pumps it. A handler unregistered from inside a callback, its own or another's, is not
// called again. The loop checks that it is used from its thread only, and that nothing
// is left registered when it goes.
class HostRunLoop final : public HostObject<vst3::Linux::IRunLoop> {
public:
    HostRunLoop() : HostObject("run loop") {}
    ~HostRunLoop() override;

    vst3::tresult PLUGIN_API registerEventHandler(vst3::Linux::IEventHandler* handler,
                                                  vst3::Linux::FileDescriptor fd) override;
    vst3::tresult PLUGIN_API unregisterEventHandler(vst3::Linux::IEventHandler* handler) override;
    vst3::tresult PLUGIN_API registerTimer(vst3::Linux::ITimerHandler* handler,
                                           vst3::Linux::TimerInterval milliseconds) override;
    vst3::tresult PLUGIN_API unregisterTimer(vst3::Linux::ITimerHandler* handler) override;

    // Waits at most `wait` for a registered descriptor to become readable or a timer to
    // fall due, then calls each readable descriptor's handler and each due timer once.
    void Pump(std::chrono::milliseconds wait);

    size_t TimerCount() const { return timers.size(); }
    size_t HandlerCount() const { return watches.size(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        vst3::Linux::ITimerHandler* handler;
        std::chrono::milliseconds interval;
        Clock::time_point due;
    };
    struct Watch {
        vst3::Linux::IEventHandler* handler;
        vst3::Linux::FileDescriptor fd;
    };

    void CheckThread(const char* call) const;

    std::thread::id uiThread = std::this_thread::get_id();
    std::vector<Timer> timers;
    std::vector<Watch> watches;
};
