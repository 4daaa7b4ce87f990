#pragma once

#include "HostObject.h"
#include "VST3View.h"

#include <chrono>
#include <thread>
#include <vector>

// The host's UI loop as a Linux host offers it to an editor: timers and file
// descriptors, whose handlers run on the thread that made the loop (the test's, in
// the part of the host's UI thread) whenever the test pumps it. A handler unregistered
// from inside a callback, its own or another's, stays referenced until the callbacks
// return, and is not called again. The loop checks that it is used from its thread
// only, and that nothing is left registered when it goes.
class HostRunLoop final : public HostObject<vst3::Linux::IRunLoop> {
public:
    HostRunLoop();
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
    // Calls every registered timer once, due or not, for tests that must not wait.
    void FireTimers();

    size_t TimerCount() const;
    size_t HandlerCount() const;

    // Whether hosts on this platform offer a run loop at all (Linux hosts do).
    static bool OfferedOnThisPlatform();

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        vst3::Linux::ITimerHandler* handler;
        std::chrono::milliseconds interval;
        Clock::time_point due;
        bool removed;
    };
    struct Watch {
        vst3::Linux::IEventHandler* handler;
        vst3::Linux::FileDescriptor fd;
        bool removed;
    };

    // One file per platform: the descriptors among `fds` that are readable, after
    // waiting at most `timeout` for one to become so.
    static std::vector<vst3::Linux::FileDescriptor>
    WaitForReadable(const std::vector<vst3::Linux::FileDescriptor>& fds,
                    std::chrono::milliseconds timeout);

    void CheckThread(const char* call) const;
    void DispatchReadable(const std::vector<vst3::Linux::FileDescriptor>& readable);
    void RunTimers(bool dueOnly);
    void Sweep();

    std::thread::id uiThread;
    std::vector<Timer> timers;
    std::vector<Watch> watches;
    int dispatching = 0; // callbacks in progress; removals wait until none are
};
