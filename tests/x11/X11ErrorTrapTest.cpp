// The editor's X error trap with several editors, each on its own thread and connection,
// trapping at once, on an Xvfb of the test's own.
#include "XvfbServer.h"

// gtest before Xlib, whose None and Bool macros break its headers.
#include <gtest/gtest.h>

#include "X11ErrorTrap.h"

#include <X11/Xproto.h>

#include <atomic>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>

namespace {
// The host's own handler, in place before any trap: every error no trap takes ends here.
std::atomic<int> gEscaped{0};
int CountEscaped(Display*, XErrorEvent*) {
    ++gEscaped;
    return 0;
}

class HostHandler {
public:
    HostHandler() : before(XSetErrorHandler(&CountEscaped)) { gEscaped = 0; }
    ~HostHandler() { XSetErrorHandler(before); }
    HostHandler(const HostHandler&) = delete;
    HostHandler& operator=(const HostHandler&) = delete;

    static XErrorHandler Installed() {
        const XErrorHandler installed = XSetErrorHandler(nullptr);
        XSetErrorHandler(installed);
        return installed;
    }

private:
    XErrorHandler before;
};

// A connection of an editor's, and a request the server refuses on it.
class Connection {
public:
    explicit Connection(const std::string& server) : display(XOpenDisplay(server.c_str())) {
        if (!display)
            std::abort();
        gone = XCreateSimpleWindow(display, XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XDestroyWindow(display, gone);
        XSync(display, False);
    }
    ~Connection() { XCloseDisplay(display); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void MapAWindowThatIsGone() {
        XMapWindow(display, gone);
        XSync(display, False);
    }

    Display* const display;

private:
    Window gone;
};

// The server starts on the test's thread: it stops when the thread that started it ends.
class X11ErrorTrapTest : public ::testing::Test {
protected:
    const std::string& server = XvfbServer::Name(true);
    const HostHandler host;
};
} // namespace

// The first trap ends while the second lives: the second still takes its connection's
// errors, and errors of the first's connection, trapped no more, go to the host.
TEST_F(X11ErrorTrapTest, TrapsOfTwoEditorThreadsEndInAnyOrderAndEachTakesItsOwnErrors) {
    std::latch firstIn(1), secondIn(1), bothFailed(2), firstDone(1);
    std::thread first([&] {
        Connection connection(server);
        {
            X11ErrorTrap trap(connection.display);
            firstIn.count_down();
            secondIn.wait();
            connection.MapAWindowThatIsGone();
            EXPECT_TRUE(trap.Failed(X_MapWindow));
            bothFailed.arrive_and_wait();
        }
        connection.MapAWindowThatIsGone();
        firstDone.count_down();
    });
    std::thread second([&] {
        Connection connection(server);
        firstIn.wait();
        X11ErrorTrap trap(connection.display);
        secondIn.count_down();
        connection.MapAWindowThatIsGone();
        EXPECT_TRUE(trap.Failed(X_MapWindow));
        trap.Clear();
        bothFailed.arrive_and_wait();
        firstDone.wait();
        connection.MapAWindowThatIsGone();
        EXPECT_TRUE(trap.Failed(X_MapWindow)) << "the trap left after the first ended";
    });
    first.join();
    second.join();
    EXPECT_EQ(gEscaped, 1);
    EXPECT_EQ(HostHandler::Installed(), &CountEscaped);
}

// Two editors' threads that open, use and close traps freely: under ThreadSanitizer, any
// change to the traps' bookkeeping outside its lock shows.
TEST_F(X11ErrorTrapTest, ManyTrapsOnTwoThreadsLoseNoError) {
    constexpr int kRounds = 500;
    std::latch connected(2);
    auto editor = [&] {
        Connection connection(server);
        connected.arrive_and_wait();
        for (int i = 0; i < kRounds; ++i) {
            const X11ErrorTrap trap(connection.display);
            connection.MapAWindowThatIsGone();
            EXPECT_TRUE(trap.Failed(X_MapWindow));
        }
    };
    std::thread first(editor);
    std::thread second(editor);
    first.join();
    second.join();
    EXPECT_EQ(gEscaped, 0);
    EXPECT_EQ(HostHandler::Installed(), &CountEscaped);
}
