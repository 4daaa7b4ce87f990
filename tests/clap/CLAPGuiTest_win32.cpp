// The editor embedded in a host's window under wine: a child window of the HWND, driven by
// its own messages, made before activation and gone after destroy.
#include "CLAPInstance.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {
// Lets the window's messages run, as a host's main loop does.
void PumpMessages(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}
} // namespace

TEST(CLAPGuiWin32, EmbedsInTheHostsWindowWithoutTheHostsTimer) {
    HWND hostWindow = CreateWindowExA(0, "STATIC", "CLAP host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                      0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hostWindow, nullptr);
    CLAPInstance q;
    EXPECT_TRUE(q.gui->is_api_supported(q.plugin, "win32", false));
    EXPECT_FALSE(q.gui->is_api_supported(q.plugin, "x11", false));
    ASSERT_TRUE(q.gui->create(q.plugin, "win32", false));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(q.gui->get_size(q.plugin, &width, &height));
    EXPECT_EQ(width * 1000 + height, 510370u);
    clap_window_t parent{"win32", {}};
    parent.win32 = hostWindow;
    ASSERT_TRUE(q.gui->set_parent(q.plugin, &parent));
    EXPECT_TRUE(q.gui->show(q.plugin));
    PumpMessages(10);
    HWND editor = GetWindow(hostWindow, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(IsWindowVisible(editor));
    EXPECT_TRUE(q.host.Timers().empty());
    q.gui->destroy(q.plugin);
    PumpMessages(2);
    EXPECT_EQ(GetWindow(hostWindow, GW_CHILD), nullptr);
    DestroyWindow(hostWindow);
}
