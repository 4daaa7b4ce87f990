// What only the Linux test host has: the run loop an editor lives on, and modules
// loaded the Linux way.
#include "HostRunLoop.h"
#include "VST3Module.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

using namespace vst3;
using namespace vst3::Linux;

namespace {

// The plug-in's side of the loop: handlers that count their calls and may act in them.
class TimerProbe final : public HostObject<ITimerHandler> {
public:
    TimerProbe() : HostObject("timer handler") {}
    void PLUGIN_API onTimer() override {
        ++calls;
        if (action)
            action();
    }
    int calls = 0;
    std::function<void()> action;
};

class ReadProbe final : public HostObject<IEventHandler> {
public:
    ReadProbe() : HostObject("event handler") {}
    void PLUGIN_API onFDIsSet(FileDescriptor fd) override {
        char byte = 0;
        if (read(fd, &byte, 1) == 1)
            received += byte;
    }
    std::string received;
};

TEST(HostRunLoop, RemovalsFromInsideACallbackWaitUntilTheCallbacksReturn) {
    TimerProbe first, second;
    HostRunLoop loop;
    ASSERT_EQ(loop.registerTimer(&first, 1000), kResultOk);
    ASSERT_EQ(loop.registerTimer(&second, 1000), kResultOk);
    first.action = [&] {
        EXPECT_EQ(loop.unregisterTimer(&first), kResultOk);
        EXPECT_EQ(loop.unregisterTimer(&second), kResultOk);
        EXPECT_EQ(first.PluginReferences(), 1u) << "released under its own callback";
    };
    loop.FireTimers();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 0) << "called after it was unregistered";
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(first.PluginReferences(), 0u);
    EXPECT_EQ(second.PluginReferences(), 0u);
}

TEST(HostRunLoop, PumpCallsTheHandlersOfReadableDescriptorsAndDueTimers) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    ReadProbe reader;
    TimerProbe everyPump, hourly;
    {
        HostRunLoop loop;
        ASSERT_EQ(loop.registerEventHandler(&reader, pipeEnds[0]), kResultOk);
        ASSERT_EQ(loop.registerTimer(&everyPump, 0), kResultOk);
        ASSERT_EQ(loop.registerTimer(&hourly, 3600 * 1000), kResultOk);
        loop.Pump(std::chrono::milliseconds(0));
        EXPECT_EQ(reader.received, "");
        ASSERT_EQ(write(pipeEnds[1], "x", 1), 1);
        loop.Pump(std::chrono::milliseconds(0));
        EXPECT_EQ(reader.received, "x");
        EXPECT_EQ(everyPump.calls, 2);
        EXPECT_EQ(hourly.calls, 0);
        EXPECT_EQ(loop.unregisterEventHandler(&reader), kResultOk);
        EXPECT_EQ(loop.unregisterEventHandler(&reader), kResultFalse);
        loop.unregisterTimer(&everyPump);
        loop.unregisterTimer(&hourly);
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST(VST3Module, ABinaryThatIsNoModuleGivesAnErrorAndNoFactory) {
    struct Case {
        const char* path;
        VST3Module::Entry entry;
        const char* error;
    };
    const Case cases[] = {
        {"/nonexistent/Quelor.vst3", VST3Module::Entry::Call, "Quelor.vst3"},
        {QUELOR_NO_ENTRY_PATH, VST3Module::Entry::Call, "no ModuleEntry"},
        {QUELOR_NO_ENTRY_PATH, VST3Module::Entry::Skip, "no GetPluginFactory"},
    };
    for (const Case& c : cases) {
        const VST3Module module(c.path, c.entry);
        EXPECT_EQ(module.Factory(), nullptr) << c.path;
        EXPECT_NE(module.Error().find(c.error), std::string::npos) << module.Error();
    }
    const std::string binary = VST3Module::BinaryInBundle("/plugins/Quelor.vst3/");
    EXPECT_EQ(binary.rfind("/plugins/Quelor.vst3/Contents/", 0), 0u) << binary;
    EXPECT_EQ(binary.substr(binary.size() - 16), "-linux/Quelor.so") << binary;
}

} // namespace
