// The editor embedded in a host's X11 window, driven only by the host's timer and the X
// connection's descriptor, as a Linux host's loop drives it, on an X server of the tests'
// own; the user's drag on a knob reaches the host as gesture and value events.
#include "CLAPInstance.h"
#include "PanelShots.h"
#include "Quelor.h"
#include "X11HostWindow.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib defines None as a macro.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <tuple>
#include <utility>
#include <vector>

namespace {
using namespace std::chrono_literals;
constexpr int kThresholdX = 54, kThresholdY = 214;

class CLAPGui : public X11HostWindowTest {
protected:
    // The loop a Linux host runs for an editor, for a while: on_fd for the registered fds
    // that are ready, then on_timer for every timer, at most a period apart.
    void Pump(const CLAPInstance& q, std::chrono::milliseconds time) {
        XSync(dpy, False);
        const auto* timer = static_cast<const clap_plugin_timer_support_t*>(
            q.plugin->get_extension(q.plugin, CLAP_EXT_TIMER_SUPPORT));
        const auto* fd = static_cast<const clap_plugin_posix_fd_support_t*>(
            q.plugin->get_extension(q.plugin, CLAP_EXT_POSIX_FD_SUPPORT));
        for (const auto end = std::chrono::steady_clock::now() + time;
             std::chrono::steady_clock::now() < end;) {
            std::vector<pollfd> polled;
            for (const int entry : q.host.Fds())
                polled.push_back({entry, POLLIN, 0});
            int period = 50;
            for (const CLAPHostTimer& entry : q.host.Timers())
                period = std::min(period, static_cast<int>(entry.periodMs));
            if (poll(polled.data(), polled.size(), period) > 0)
                for (const pollfd& entry : polled)
                    if (entry.revents)
                        fd->on_fd(q.plugin, entry.fd, CLAP_POSIX_FD_READ);
            for (const CLAPHostTimer& entry : q.host.Timers())
                timer->on_timer(q.plugin, entry.id);
        }
    }
};
} // namespace

TEST_F(CLAPGui, EmbedsBeforeActivationOnTheHostsTimerAndFd) {
    CLAPInstance q;
    const clap_plugin_gui_t& gui = *q.gui;
    EXPECT_TRUE(gui.is_api_supported(q.plugin, "x11", false));
    EXPECT_FALSE(gui.is_api_supported(q.plugin, "x11", true));
    EXPECT_FALSE(gui.is_api_supported(q.plugin, "win32", false));
    ASSERT_TRUE(gui.create(q.plugin, "x11", false));
    EXPECT_FALSE(gui.create(q.plugin, "x11", false));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui.get_size(q.plugin, &width, &height));
    EXPECT_EQ(width * 1000 + height, 510370u);
    EXPECT_TRUE(gui.can_resize(q.plugin));
    clap_gui_resize_hints_t hints{};
    ASSERT_TRUE(gui.get_resize_hints(q.plugin, &hints));
    EXPECT_TRUE(hints.preserve_aspect_ratio);
    EXPECT_EQ(hints.aspect_ratio_width * 1000 + hints.aspect_ratio_height, 510370u);
    // A drag snaps to the largest panel of its aspect that fits, within 1x to 3x.
    for (const auto& [w, h, snapped] : {std::tuple{2000u, 2000u, 15301110u},
                                        std::tuple{100u, 900u, 5100370u},
                                        std::tuple{800u, 500u, 6890500u}}) {
        width = w;
        height = h;
        EXPECT_TRUE(gui.adjust_size(q.plugin, &width, &height));
        EXPECT_EQ(width * 10000 + height, snapped) << w << " x " << h;
    }
    EXPECT_TRUE(q.host.Timers().empty());

    // Made, reparented and mapped in set_parent: some hosts never call show.
    clap_window_t parent{"x11", {}};
    parent.x11 = hostWindow;
    ASSERT_TRUE(gui.set_parent(q.plugin, &parent));
    ASSERT_EQ(q.host.Timers().size(), 1u);
    EXPECT_GE(q.host.Timers()[0].periodMs, 16u);
    EXPECT_LE(q.host.Timers()[0].periodMs, 33u);
    ASSERT_EQ(q.host.Fds().size(), 1u);
    ASSERT_EQ(Children().size(), 1u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(dpy, Children()[0], &attributes);
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_TRUE(gui.show(q.plugin) && gui.show(q.plugin));

    Pump(q, 100ms);
    const std::size_t flushes = q.host.Calls("params.request_flush").size();
    XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), kThresholdX, kThresholdY, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    Pump(q, 40ms);
    XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), kThresholdX, kThresholdY + 48, CurrentTime);
    Pump(q, 40ms);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    Pump(q, 60ms);
    // The editor's value at once; the host asked for a flush, and hears the gesture in it.
    EXPECT_NE(q.Value(Quelor::kThreshold), 0.0);
    EXPECT_GE(q.host.Calls("params.request_flush").size(), flushes + 3);
    CLAPOutputEvents out;
    q.params->flush(q.plugin, nullptr, out.List());
    const std::vector<uint16_t> types = out.Types();
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types.front(), CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(types.back(), CLAP_EVENT_PARAM_GESTURE_END);
    ASSERT_EQ(types[types.size() - 2], CLAP_EVENT_PARAM_VALUE);
    const auto last = out.As<clap_event_param_value_t>(types.size() - 2);
    EXPECT_EQ(last.param_id, static_cast<clap_id>(Quelor::kThreshold));
    EXPECT_EQ(last.value, q.Value(Quelor::kThreshold));
    for (std::size_t i = 0; i < out.Count(); ++i)
        EXPECT_EQ(out.Header(i).time, 0u);

    gui.destroy(q.plugin);
    EXPECT_TRUE(q.host.Timers().empty());
    EXPECT_TRUE(q.host.Fds().empty());
    XSync(dpy, False);
    EXPECT_TRUE(Children().empty());
}

// The host's scale from set_scale, the strip opened by a click on its button: the size the
// host is told, and a window that shows the panel quelor-snapshot paints at that scale.
TEST_F(CLAPGui, ShowsThePanelAtTheHostsScaleWithTheStripOpenOrClosed) {
    XResizeWindow(dpy, hostWindow, 1020, 1020);
    for (const PanelShot& shot : kPanelShots) {
        SCOPED_TRACE(shot);
        CLAPInstance q;
        ASSERT_TRUE(q.gui->create(q.plugin, "x11", false));
        EXPECT_TRUE(q.gui->set_scale(q.plugin, shot.scale));
        // get_size answers the scale at once, in physical pixels, the strip still closed.
        uint32_t width = 0, height = 0;
        ASSERT_TRUE(q.gui->get_size(q.plugin, &width, &height));
        const PanelShot closed{shot.scale, false};
        EXPECT_EQ((std::pair<int, int>(width, height)), std::pair(closed.Width(), closed.Height()));
        clap_window_t parent{"x11", {}};
        parent.x11 = hostWindow;
        ASSERT_TRUE(q.gui->set_parent(q.plugin, &parent));
        Pump(q, 60ms);
        if (shot.strip) {
            shot.ClickButton(dpy);
            Pump(q, 60ms);
        }
        ASSERT_TRUE(q.gui->get_size(q.plugin, &width, &height));
        EXPECT_EQ((std::pair<int, int>(width, height)), std::pair(shot.Width(), shot.Height()));
        ASSERT_EQ(Children().size(), 1u);
        EXPECT_EQ(Differing(Pixels(Children()[0], shot.Width(), shot.Height()), SnapshotPanel(shot)),
                  0);
        q.gui->destroy(q.plugin);
    }
}

// Nothing would call an X11 editor in a host without timer support.
TEST_F(CLAPGui, NoEditorWithoutTheHostsTimer) {
    CLAPHostExtensions extensions;
    extensions.timerSupport = false;
    CLAPInstance q(extensions);
    EXPECT_FALSE(q.gui->is_api_supported(q.plugin, "x11", false));
    EXPECT_FALSE(q.gui->create(q.plugin, "x11", false));
}
