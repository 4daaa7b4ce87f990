// The VST 3 module's editor in a host's HWND under wine: it opens at the panel's size,
// paints the panel from its own timer, sends a click's edit to the host in order, and
// leaves nothing behind when removed.
#include "PanelPicture.h"
#include "VST3PluginHost.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <utility>
#include <vector>

using namespace vst3;

namespace {

constexpr int kPanelWidth = 510;
constexpr int kPanelHeight = 370;
constexpr int kStereoMode = 4;
// The "Stereo Mode" switch in panel pixels.
constexpr int kStereoX = 107, kStereoY = 300;
constexpr UINT kDpiChanged = 0x02E0;

HWND HostWindow() {
    static const ATOM hostClass = [] {
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "QuelorVST3TestHost";
        return RegisterClassA(&c);
    }();
    EXPECT_NE(hostClass, 0);
    return CreateWindowExA(0, "QuelorVST3TestHost", "VST 3 host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           40, 40, 640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (MSG message; GetTickCount() - start < milliseconds; Sleep(1))
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
}

std::vector<uint32_t> Shown(HWND window) {
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(BITMAPINFOHEADER), kPanelWidth, -kPanelHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(memory, dib);
    HDC screen = GetDC(window);
    BitBlt(memory, 0, 0, kPanelWidth, kPanelHeight, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
    const auto* first = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(first, first + kPanelWidth * kPanelHeight);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(memory, before);
    DeleteDC(memory);
    DeleteObject(dib);
    return pixels;
}

LPARAM At(int x, int y) {
    return static_cast<LPARAM>((static_cast<DWORD>(y) & 0xFFFF) << 16 |
                               (static_cast<DWORD>(x) & 0xFFFF));
}

TEST(VST3EditorWindow, OpensInTheHostsWindowPaintsAndSendsEditsInOrder) {
    const VST3Module module(BundleUnderTest(QUELOR_VST3_BUNDLE));
    ASSERT_NE(module.Factory(), nullptr) << module.Error();
    HostApplication application;
    HostComponentHandler handler;
    HostPlugFrame frame(nullptr);
    VST3PluginHost plug(module, application, &handler);
    Ref<IPlugView> view(plug.Controller()->createView(kEditorViewType));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
    const HWND host = HostWindow();
    ASSERT_EQ(view->setFrame(&frame), kResultOk);
    ASSERT_EQ(view->attached(host, kPlatformTypeHWND), kResultOk);
    const HWND editor = FindWindowExA(host, nullptr, "IEffectWndClass", nullptr);
    ASSERT_NE(editor, nullptr);
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, kPanelWidth);
    EXPECT_EQ(client.bottom, kPanelHeight);
    Pump(300);
    const std::vector<uint32_t> pixels = Shown(editor);
    EXPECT_GT(std::set<uint32_t>(pixels.begin(), pixels.end()).size(), 100u) << "nothing painted";
    EXPECT_TRUE(
        WritePanelPicture(QUELOR_VST3_SCREENSHOT_PATH, pixels.data(), kPanelWidth, kPanelHeight));

    PostMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kStereoX, kStereoY));
    PostMessageA(editor, WM_LBUTTONUP, 0, At(kStereoX, kStereoY));
    Pump(200);
    const std::vector<HandlerCall> calls = handler.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, HandlerCall::BeginEdit);
    EXPECT_EQ(calls[1].kind, HandlerCall::PerformEdit);
    EXPECT_EQ(calls[2].kind, HandlerCall::EndEdit);
    for (const HandlerCall& call : calls)
        EXPECT_EQ(call.id, static_cast<ParamID>(kStereoMode));
    EXPECT_EQ(plug.Controller()->getParamNormalized(kStereoMode), calls[1].value);

    EXPECT_EQ(view->setFrame(nullptr), kResultOk);
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(frame.PluginReferences(), 0u);
    view.Reset();
    DestroyWindow(host);
}

// At 192 dpi (run so by MonitorDpi) a host's factor holds over the monitor's density, at
// opening and when the window hears of another.
TEST(AtMonitorDpi, AHostsContentScaleFactorHoldsOverTheMonitorsDensity) {
    if (GetEnvironmentVariableA("QUELOR_DPI_RUN", nullptr, 0) == 0)
        GTEST_SKIP() << "run at 192 dpi by MonitorDpi";
    const VST3Module module(BundleUnderTest(QUELOR_VST3_BUNDLE));
    HostApplication application;
    HostComponentHandler handler;
    HostPlugFrame frame(nullptr);
    VST3PluginHost plug(module, application, &handler);
    Ref<IPlugView> view(plug.Controller()->createView(kEditorViewType));
    IPlugViewContentScaleSupport* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::kIid.data(),
                                   reinterpret_cast<void**>(&scaling)),
              kResultOk);
    EXPECT_EQ(scaling->setContentScaleFactor(1.0f), kResultTrue);
    const HWND host = HostWindow();
    ASSERT_EQ(view->setFrame(&frame), kResultOk);
    ASSERT_EQ(view->attached(host, kPlatformTypeHWND), kResultOk);
    const HWND editor = FindWindowExA(host, nullptr, "IEffectWndClass", nullptr);
    for (const UINT dpi : {0u, 144u}) {
        if (dpi != 0)
            SendMessageA(editor, kDpiChanged, MAKEWPARAM(dpi, dpi), 0);
        RECT client{};
        GetClientRect(editor, &client);
        EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(510L, 370L)) << dpi << " dpi";
    }
    scaling->release();
    EXPECT_EQ(view->removed(), kResultOk);
    // The host's window goes with the run: wine takes seconds to destroy a top-level one.
}

} // namespace
