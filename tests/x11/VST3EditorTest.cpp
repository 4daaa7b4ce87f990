// The VST 3 module's editor on an Xvfb of the test's own, embedded and idled as a Linux
// VST 3 host does it: a parent window, a frame that offers the host's run loop, and
// nothing else. What it shows, the edits it sends the host, and what it leaves behind.
#include "MemoryStream.h"
#include "PanelPicture.h"
#include "PanelShots.h"
#include "Quelor.h"
#include "VST3PluginHost.h"
#include "X11HostWindow.h"

// gtest before Xlib, whose None and Bool macros break its headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace vst3;

namespace {

constexpr int kPanelWidth = 510;
constexpr int kPanelHeight = 370;
// The "Stereo Mode" switch, in panel and root coordinates (both windows at the origin).
constexpr int kStereoX = 107, kStereoY = 300;

// The controller's normalized values, for the reference panel.
std::function<double(int)> ValuesOf(IEditController& controller) {
    return [&controller](int i) { return controller.getParamNormalized(static_cast<ParamID>(i)); };
}

class VST3Editor : public X11HostWindowTest {
protected:
    VST3Editor() : X11HostWindowTest(0x203040) {}

    // The host's UI loop for a while: its timers and the descriptors it watches.
    void Pump(HostRunLoop& loop, int milliseconds = 100) {
        XSync(dpy, False);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end)
            loop.Pump(std::chrono::milliseconds(5));
        XSync(dpy, False);
    }
};

TEST_F(VST3Editor, OpensIdledByTheFramesRunLoopShowsThePanelAndSendsEditsInOrder) {
    const VST3Module module(QUELOR_VST3_BUNDLE);
    HostApplication application;
    HostComponentHandler handler;
    HostRunLoop loop;
    HostPlugFrame frame(&loop);
    VST3PluginHost plug(module, application, &handler);
    EXPECT_EQ(plug.Controller()->createView("other"), nullptr);
    Ref<IPlugView> view(plug.Controller()->createView(kEditorViewType));
    ASSERT_TRUE(view);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, kPanelWidth);
    EXPECT_EQ(size.bottom - size.top, kPanelHeight);
    EXPECT_EQ(view->canResize(), kResultTrue);
    // Snapped to the panel's aspect: 890 wide holds 1.745x, and the height follows.
    ViewRect wanted{10, 20, 900, 900};
    EXPECT_EQ(view->checkSizeConstraint(&wanted), kResultTrue);
    EXPECT_EQ(wanted.right - wanted.left, 890);
    EXPECT_EQ(wanted.bottom - wanted.top, 646);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);

    ASSERT_EQ(view->setFrame(&frame), kResultOk);
    const auto parent = reinterpret_cast<void*>(hostWindow);
    ASSERT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultOk);
    // The one editor window cannot be shown by a second view at the same time.
    Ref<IPlugView> second(plug.Controller()->createView(kEditorViewType));
    ASSERT_EQ(second->setFrame(&frame), kResultOk);
    EXPECT_EQ(second->attached(parent, kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(second->setFrame(nullptr), kResultOk);
    EXPECT_EQ(loop.TimerCount(), 1u);
    EXPECT_EQ(loop.HandlerCount(), 1u);
    Pump(loop);
    const std::vector<Window> children = Children();
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(Differing(Pixels(children[0], kPanelWidth, kPanelHeight),
                        SnapshotPanel({1.0, false}, ValuesOf(*plug.Controller()))),
              0);
    const std::vector<uint32_t> host = Pixels(hostWindow, 640, 480);
    EXPECT_TRUE(WritePanelPicture(QUELOR_SCREENSHOT_DIR "/vst3-editor.png", host.data(), 640, 480));

    // A click on the switch: the value is set at once, and the host hears of it.
    XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), kStereoX, kStereoY, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    Pump(loop);
    const std::vector<HandlerCall> calls = handler.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, HandlerCall::BeginEdit);
    EXPECT_EQ(calls[1].kind, HandlerCall::PerformEdit);
    EXPECT_EQ(calls[2].kind, HandlerCall::EndEdit);
    for (const HandlerCall& call : calls) {
        EXPECT_EQ(call.id, static_cast<ParamID>(Quelor::kStereoMode));
        EXPECT_EQ(call.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(plug.Controller()->getParamNormalized(Quelor::kStereoMode), calls[1].value);
    EXPECT_NE(calls[1].value, 0.0);

    EXPECT_EQ(view->setFrame(nullptr), kResultOk);
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.HandlerCount(), 0u);
    EXPECT_EQ(frame.PluginReferences(), 0u);
    XSync(dpy, False);
    EXPECT_TRUE(Children().empty());
}

// The host's content scale, told before the view opens (here with the strip restored
// open from the controller's state) or after (the view then asks the frame for the new
// size): the view's size, and a window that shows the panel quelor-snapshot paints.
TEST_F(VST3Editor, ShowsThePanelAtTheHostsContentScaleWithTheStripOpenOrClosed) {
    const VST3Module module(QUELOR_VST3_BUNDLE);
    HostApplication application;
    XResizeWindow(dpy, hostWindow, 2 * kPanelWidth, 2 * kPanelWidth);
    for (const PanelShot& shot : kPanelShots) {
        SCOPED_TRACE(shot);
        HostComponentHandler handler;
        HostRunLoop loop;
        HostPlugFrame frame(&loop);
        VST3PluginHost plug(module, application, &handler);
        const bool before = shot.strip;
        MemoryStream withStrip({'Q', 'E', 'v', '1', 0, 0, 0, 0, 1, 0, 0, 0});
        if (shot.strip) {
            ASSERT_EQ(plug.Controller()->setState(&withStrip), kResultOk);
        }
        Ref<IPlugView> view(plug.Controller()->createView(kEditorViewType));
        ASSERT_TRUE(view);
        Ref<IPlugViewContentScaleSupport> scaling;
        ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::kIid.data(), scaling.Put()),
                  kResultOk);
        const auto tell = [&] {
            EXPECT_EQ(scaling->setContentScaleFactor(static_cast<float>(shot.scale)), kResultTrue);
            ViewRect size{};
            ASSERT_EQ(view->getSize(&size), kResultOk);
            EXPECT_EQ(std::pair(size.right - size.left, size.bottom - size.top),
                      std::pair(shot.Width(), shot.Height()));
        };
        if (before)
            tell();
        ASSERT_EQ(view->setFrame(&frame), kResultOk);
        ASSERT_EQ(view->attached(reinterpret_cast<void*>(hostWindow),
                                 kPlatformTypeX11EmbedWindowID),
                  kResultOk);
        if (!before) {
            tell();
            ASSERT_FALSE(frame.requests.empty());
            EXPECT_EQ(std::pair(frame.requests.back().right - frame.requests.back().left,
                                frame.requests.back().bottom - frame.requests.back().top),
                      std::pair(shot.Width(), shot.Height()));
        }
        Pump(loop);
        const std::vector<Window> children = Children();
        ASSERT_EQ(children.size(), 1u);
        EXPECT_EQ(Differing(Pixels(children[0], shot.Width(), shot.Height()),
                            SnapshotPanel(shot, ValuesOf(*plug.Controller()))),
                  0);
        EXPECT_EQ(view->removed(), kResultOk);
        EXPECT_EQ(view->setFrame(nullptr), kResultOk);
    }
}

// The controller's state keeps the view: the scale chosen and whether the strip is open.
// Given it, an instance's view opens so; an empty state changes nothing, a foreign one is
// refused.
TEST_F(VST3Editor, TheControllersStateKeepsTheViewsScaleAndStrip) {
    const VST3Module module(QUELOR_VST3_BUNDLE);
    HostApplication application;
    HostComponentHandler handler;
    VST3PluginHost plug(module, application, &handler);
    IEditController& controller = *plug.Controller();
    MemoryStream fresh;
    ASSERT_EQ(controller.getState(&fresh), kResultOk);
    EXPECT_EQ(fresh.Bytes(), (std::vector<char>{'Q', 'E', 'v', '1', 0, 0, 0, 0, 0, 0, 0, 0}));
    MemoryStream foreign({'Q', 'E', 'v', '2', 0, 0, 0, 0, 0, 0, 0, 0}), empty;
    EXPECT_EQ(controller.setState(&foreign), kResultFalse);
    EXPECT_EQ(controller.setState(&empty), kResultOk);

    const std::vector<char> twiceWithStrip{'Q', 'E', 'v', '1', '\xD0', '\x07', 0, 0, 1, 0, 0, 0};
    MemoryStream restored(twiceWithStrip);
    ASSERT_EQ(controller.setState(&restored), kResultOk);
    Ref<IPlugView> view(controller.createView(kEditorViewType));
    ASSERT_TRUE(view);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(std::pair(size.right - size.left, size.bottom - size.top), std::pair(1020, 1020));
    MemoryStream saved;
    ASSERT_EQ(controller.getState(&saved), kResultOk);
    EXPECT_EQ(saved.Bytes(), twiceWithStrip);
}

// Without a run loop from the frame or the factory's context, no editor: never a thread.
// With the factory's context offering one, the editor opens without the frame's. The view
// keeps its plug-in alive after the host has let go of it.
TEST_F(VST3Editor, TakesTheRunLoopFromTheFactoryContextAndIsRefusedWithoutOne) {
    HostRunLoop loop;
    HostApplication withLoop(&loop);
    HostApplication application;
    HostPlugFrame bareFrame(nullptr);
    const auto parent = reinterpret_cast<void*>(hostWindow);
    for (const bool offered : {false, true}) {
        const VST3Module module(QUELOR_VST3_BUNDLE);
        Ref<IPluginFactory3> factory;
        ASSERT_EQ(module.Factory()->queryInterface(IPluginFactory3::kIid.data(), factory.Put()),
                  kResultOk);
        if (offered) {
            ASSERT_EQ(factory->setHostContext(&withLoop), kResultOk);
        }
        Ref<IPlugView> view;
        {
            VST3PluginHost plug(module, application);
            view = Ref<IPlugView>(plug.Controller()->createView(kEditorViewType));
        }
        ASSERT_TRUE(view);
        ASSERT_EQ(view->setFrame(&bareFrame), kResultOk);
        EXPECT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID),
                  offered ? kResultOk : kResultFalse);
        XSync(dpy, False);
        EXPECT_EQ(Children().size(), offered ? 1u : 0u);
        EXPECT_EQ(loop.TimerCount(), offered ? 1u : 0u);
        if (offered)
            Pump(loop, 30);
        view->setFrame(nullptr);
        EXPECT_EQ(view->removed(), offered ? kResultOk : kResultFalse);
        EXPECT_EQ(loop.TimerCount(), 0u);
        view.Reset();
        factory.Reset();
    }
    EXPECT_EQ(withLoop.PluginReferences(), 0u);
}

} // namespace
