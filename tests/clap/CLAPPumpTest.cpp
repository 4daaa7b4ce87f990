// The Linux main loop a host runs for an editor's timers and fds.
#include "CLAPPump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {
// A plug-in that is only an editor's callbacks: it logs them and runs what the test asks.
struct CallbackPlugin {
    CallbackPlugin() {
        plugin.plugin_data = this;
        plugin.get_extension = [](const clap_plugin_t* p, const char* id) -> const void* {
            if (std::string(id) == CLAP_EXT_TIMER_SUPPORT)
                return &static_cast<CallbackPlugin*>(p->plugin_data)->timers;
            if (std::string(id) == CLAP_EXT_POSIX_FD_SUPPORT)
                return &static_cast<CallbackPlugin*>(p->plugin_data)->fds;
            return nullptr;
        };
    }
    static CallbackPlugin& Self(const clap_plugin_t* p) {
        return *static_cast<CallbackPlugin*>(p->plugin_data);
    }

    clap_plugin_t plugin{};
    clap_plugin_timer_support_t timers{[](const clap_plugin_t* p, clap_id id) {
        Self(p).timerCalls.push_back(id);
        if (Self(p).onTimer)
            Self(p).onTimer(id);
    }};
    clap_plugin_posix_fd_support_t fds{[](const clap_plugin_t* p, int fd, uint32_t flags) {
        Self(p).fdCalls.push_back({fd, flags});
        if (Self(p).onFd)
            Self(p).onFd(fd);
    }};
    std::vector<std::pair<int, uint32_t>> fdCalls;
    std::vector<clap_id> timerCalls;
    std::function<void(clap_id)> onTimer;
    std::function<void(int)> onFd;
};

struct Pipe {
    Pipe() {
        if (pipe(ends) != 0)
            ADD_FAILURE() << "no pipe";
    }
    ~Pipe() {
        close(ends[0]);
        close(ends[1]);
    }
    void Fill() const { EXPECT_EQ(write(ends[1], "x", 1), 1); }
    int ends[2] = {-1, -1};
};
} // namespace

TEST(CLAPPump, CallsWhatIsReadyOrDueAndNothingRemovedEarlierInTheRound) {
    CLAPTestHost host;
    const clap_host_t* h = host.Host();
    const auto* fdSupport = static_cast<const clap_host_posix_fd_support_t*>(
        h->get_extension(h, CLAP_EXT_POSIX_FD_SUPPORT));
    const auto* timerSupport =
        static_cast<const clap_host_timer_support_t*>(h->get_extension(h, CLAP_EXT_TIMER_SUPPORT));
    CallbackPlugin editor;
    CLAPPump::Clock::time_point now{};
    CLAPPump pump(host, &editor.plugin, [&] { return now; });

    Pipe first, second;
    const int a = first.ends[0], b = second.ends[0];
    fdSupport->register_fd(h, a, CLAP_POSIX_FD_READ);
    fdSupport->register_fd(h, b, CLAP_POSIX_FD_READ);
    clap_id keep = CLAP_INVALID_ID, drop = CLAP_INVALID_ID;
    timerSupport->register_timer(h, 10, &keep);
    timerSupport->register_timer(h, 10, &drop);
    // Each first callback removes the other one of its kind, both ready or due.
    editor.onFd = [&](int fd) {
        if (fd == a)
            fdSupport->unregister_fd(h, b);
    };
    editor.onTimer = [&](clap_id id) {
        if (id == keep)
            timerSupport->unregister_timer(h, drop);
    };

    first.Fill();
    second.Fill();
    EXPECT_EQ(pump.RunOnce(std::chrono::milliseconds(0)), 1);
    EXPECT_EQ(editor.fdCalls, (std::vector<std::pair<int, uint32_t>>{{a, CLAP_POSIX_FD_READ}}));

    // Then the timers alone, each due 10 ms after it was registered or last called.
    fdSupport->unregister_fd(h, a);
    now += std::chrono::milliseconds(9);
    EXPECT_EQ(pump.RunOnce(std::chrono::milliseconds(0)), 0);
    now += std::chrono::milliseconds(1);
    EXPECT_EQ(pump.RunOnce(std::chrono::milliseconds(0)), 1);
    now += std::chrono::milliseconds(9);
    EXPECT_EQ(pump.RunOnce(std::chrono::milliseconds(0)), 0);
    now += std::chrono::milliseconds(1);
    EXPECT_EQ(pump.RunOnce(std::chrono::milliseconds(0)), 1);
    EXPECT_EQ(editor.timerCalls, (std::vector<clap_id>{keep, keep}));
    EXPECT_EQ(editor.fdCalls.size(), 1u);
}
