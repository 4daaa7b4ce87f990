// The X11 editor window of the real Quelor.so inside a host's window on an Xvfb of the
// test's own: what it shows, the input it takes through XTEST, its value entry, and what
// it leaves behind.
#include "PanelPicture.h"
#include "PanelShots.h"
#include "PluginModule.h"
#include "Quelor.h"
#include "QuelorEntry.h"
#include "X11HostWindow.h"
#include "XvfbServer.h"

// gtest before Xlib, whose None and Bool macros break its headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <utility>

namespace {
constexpr int kPanelWidth = 510;
constexpr int kPanelHeight = 370;
constexpr int kHostWidth = 640;
constexpr int kHostHeight = 480;
// Centres of controls; the host window sits at the root's origin and the panel at the
// host window's, so panel, host and root coordinates agree.
constexpr int kThresholdX = 54, kThresholdY = 214;
constexpr int kMixX = 54, kMixY = 299;
constexpr int kStereoX = 107, kStereoY = 300;
constexpr int kBrickwallX = 280, kBrickwallY = 300;

intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

long OpenFiles() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// How many processes attach each System V segment this process made that still exists.
std::vector<int> SharedSegments() {
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line);
    std::vector<int> attached;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long key, id, perms, size, creator, last;
        int attaches;
        if (fields >> key >> id >> perms >> size >> creator >> last >> attaches &&
            creator == getpid())
            attached.push_back(attaches);
    }
    return attached;
}

struct Geometry {
    int x, y, width, height;
    bool operator==(const Geometry&) const = default;
};

// The host: a top-level window on its own connection, the plug-in, and XTEST input.
class X11Editor : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const std::string& name = XvfbServer::Name(GetParam());
        setenv("DISPLAY", name.c_str(), 1);
        dpy = XOpenDisplay(name.c_str());
        ASSERT_NE(dpy, nullptr);
        hostWindow = XCreateSimpleWindow(dpy, XDefaultRootWindow(dpy), 0, 0, kHostWidth,
                                         kHostHeight, 0, 0, 0x203040);
        XMapWindow(dpy, hostWindow);
        XSync(dpy, False);
        plug = std::make_unique<PluginInstance>();
        plug->OpenLikeHost(48000.0f, 512);
    }
    void TearDown() override {
        checker.reaction = nullptr;
        plug.reset();
        XCloseDisplay(dpy);
    }

    // effEditOpen in the host window; the editor's window, or 0.
    Window Open(bool idle = true) {
        EXPECT_EQ(plug->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(hostWindow)), 1);
        if (idle)
            Idle();
        const std::vector<Window> children = Children(hostWindow);
        return children.empty() ? 0 : children.back();
    }
    // The host's user-interface loop: effEditIdle about every millisecond for a while.
    void Idle(int milliseconds = 60) {
        XSync(dpy, False);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            plug->Dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        XSync(dpy, False);
    }

    void MoveTo(int x, int y) { XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), x, y, CurrentTime); }
    void Button(unsigned button, bool down) {
        XTestFakeButtonEvent(dpy, button, down, CurrentTime);
    }
    void Click(int x, int y, unsigned button = 1) {
        MoveTo(x, y);
        Button(button, true);
        Button(button, false);
        XSync(dpy, False);
    }
    void Key(KeySym key, bool down) {
        XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, key), down, CurrentTime);
        XSync(dpy, False);
    }
    void Type(KeySym key) {
        Key(key, true);
        Key(key, false);
    }
    void Drag(int x, int y, int toX, int toY) {
        MoveTo(x, y);
        Button(1, true);
        Idle(20);
        MoveTo(toX, toY);
        Idle(20);
        Button(1, false);
        Idle();
    }

    std::vector<Window> Children(Window parent) const {
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        std::vector<Window> result;
        if (XQueryTree(dpy, parent, &root, &up, &children, &count) && children)
            result.assign(children, children + count);
        if (children)
            XFree(children);
        return result;
    }
    Geometry GeometryOf(Window window) const {
        XWindowAttributes a{};
        XGetWindowAttributes(dpy, window, &a);
        return {a.x, a.y, a.width, a.height};
    }
    Window Focus() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        return focus;
    }
    // Pixels of the editor's window that differ from the panel quelor-snapshot paints at
    // the module's values.
    int Mismatches(Window editor, const PanelShot& shot = {1.0, false}) const {
        return Differing(WindowPixels(dpy, editor, shot.Width(), shot.Height()),
                         SnapshotPanel(shot, [this](int i) { return plug->Get(i); }));
    }
    // A picture of the host window for people to look at, in the build tree.
    void Screenshot(const char* name) const {
        const std::vector<uint32_t> pixels = WindowPixels(dpy, hostWindow, kHostWidth, kHostHeight);
        EXPECT_TRUE(WritePanelPicture(std::string(QUELOR_SCREENSHOT_DIR "/") + name, pixels.data(),
                                      kHostWidth, kHostHeight));
    }
    std::string Shown(int index) const { return plug->Text(effGetParamDisplay, index); }
    std::vector<int32_t> CallsFor(int index) const {
        std::vector<int32_t> opcodes;
        for (const HostCall& call : checker.Calls())
            if (call.index == index)
                opcodes.push_back(call.opcode);
        return opcodes;
    }

    CheckerHost checker;
    Display* dpy = nullptr;
    Window hostWindow = 0;
    std::unique_ptr<PluginInstance> plug;
};

// What the window shows is checked with MIT-SHM and with plain images; the rest with MIT-SHM.
class X11EditorInput : public X11Editor {};
std::string ServerKind(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Shm" : "PlainImages";
}
INSTANTIATE_TEST_SUITE_P(Xvfb, X11Editor, ::testing::Values(true, false), ServerKind);
INSTANTIATE_TEST_SUITE_P(Xvfb, X11EditorInput, ::testing::Values(true), ServerKind);

// A host that runs the editor from a run loop, as VST 3 and CLAP hosts do: it idles the
// editor when the descriptor the editor names is readable. Scribbled over and exposed,
// the window is repainted through that descriptor alone.
TEST_P(X11Editor, ItsEventDescriptorIsWhereItsWindowSystemEventsArrive) {
    const std::unique_ptr<IEffectVST> local(MakeQuelorVST(&SilentHost));
    IEditorWindow* window = local->Effect().EnsureEditor();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->EventDescriptor(), -1) << "no window open";
    ASSERT_NE(window->OpenEditorWindow(reinterpret_cast<void*>(hostWindow)), nullptr);
    window->IdleEditor(); // the run loop's first timer tick
    const int descriptor = window->EventDescriptor();
    struct stat status {};
    ASSERT_EQ(fstat(descriptor, &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_NE(descriptor, ConnectionNumber(dpy));
    const std::vector<Window> children = Children(hostWindow);
    ASSERT_FALSE(children.empty());
    const Window editor = children.back();

    GC gc = XCreateGC(dpy, editor, 0, nullptr);
    XSetForeground(dpy, gc, 0xFF00FF);
    XFillRectangle(dpy, editor, gc, 100, 50, 300, 200);
    XFreeGC(dpy, gc);
    XClearArea(dpy, editor, 100, 50, 300, 200, True);
    XSync(dpy, False);
    // Each present of shared memory ends in a completion event, which arrives there too.
    int mismatches = -1;
    for (int round = 0; round < 20 && mismatches != 0; ++round) {
        pollfd readable{descriptor, POLLIN, 0};
        ASSERT_EQ(poll(&readable, 1, 5000), 1) << "nothing reached the descriptor, round " << round;
        window->IdleEditor();
        XSync(dpy, False);
        mismatches = Mismatches(editor);
    }
    EXPECT_EQ(mismatches, 0);
    window->CloseEditorWindow();
    EXPECT_EQ(window->EventDescriptor(), -1);
}

TEST_P(X11Editor, ShowsItsSurfaceInsideTheHostWindowAndKeepsItCurrent) {
    const Window editor = Open();
    ASSERT_NE(editor, 0u);
    EXPECT_EQ(GeometryOf(editor), (Geometry{0, 0, kPanelWidth, kPanelHeight}));
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom info = XInternAtom(dpy, "_XEMBED_INFO", False);
    ASSERT_EQ(XGetWindowProperty(dpy, editor, info, 0, 2, False, info, &type, &format, &count,
                                 &after, &data),
              Success);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(reinterpret_cast<long*>(data)[1], 1); // XEMBED_MAPPED
    XFree(data);
    // The surface's own segment, which the server reads in place where it has MIT-SHM.
    EXPECT_EQ(SharedSegments(), std::vector<int>{GetParam() ? 2 : 1});

    EXPECT_EQ(Mismatches(editor), 0);
    plug->Set(Quelor::kRatio, 0.9f);
    Idle();
    EXPECT_EQ(Mismatches(editor), 0);
    // Scribbled over and exposed again, the window repaints what the server asks for.
    GC gc = XCreateGC(dpy, editor, 0, nullptr);
    XSetForeground(dpy, gc, 0xFF00FF);
    XFillRectangle(dpy, editor, gc, 100, 50, 300, 200);
    XFreeGC(dpy, gc);
    XClearArea(dpy, editor, 100, 50, 300, 200, True);
    Idle();
    EXPECT_EQ(Mismatches(editor), 0);
    Screenshot("x11-editor.png");
}

TEST_P(X11EditorInput, DragTurnsAKnobByItsGearingAndHoldsThePointer) {
    plug->Set(Quelor::kThreshold, 0.5f);
    const Window editor = Open();
    checker.ClearLog();
    Drag(kThresholdX, kThresholdY, kThresholdX, kThresholdY - 48);
    EXPECT_NEAR(plug->Get(Quelor::kThreshold), 0.75, 1e-6);
    EXPECT_EQ(
        CallsFor(Quelor::kThreshold),
        (std::vector<int32_t>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));

    // Outside the editor and the host's window the drag goes on, and its release arrives.
    checker.ClearLog();
    Drag(kMixX, kMixY, kHostWidth + 60, kMixY + 96);
    EXPECT_NEAR(plug->Get(Quelor::kMix), 0.5, 1e-6);
    EXPECT_EQ(
        CallsFor(Quelor::kMix),
        (std::vector<int32_t>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
    EXPECT_EQ(Mismatches(editor), 0);
}

// On a desktop that asks for 96, 144 or 192 dpi the VST 2 editor opens at 1x, 1.5x or 2x,
// the size its rectangle says; a drag turns a knob in panel units; the HISTORY button,
// clicked where it shows, opens the strip; the window shows the panel quelor-snapshot
// paints at that scale.
TEST_P(X11EditorInput, OpensAtTheDesktopsScaleAndDragsInPanelUnits) {
    XResizeWindow(dpy, hostWindow, 2 * kPanelWidth, 2 * kPanelWidth);
    for (const PanelShot& shot : kPanelShots) {
        SCOPED_TRACE(shot);
        const std::string resources = "Xft.dpi:\t" + std::to_string(shot.At(96)) + "\n";
        XChangeProperty(dpy, XDefaultRootWindow(dpy), XA_RESOURCE_MANAGER, XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                        static_cast<int>(resources.size()));
        XSync(dpy, False);
        plug = std::make_unique<PluginInstance>(); // asks the desktop afresh
        plug->OpenLikeHost(48000.0f, 512);
        ERect* rect = nullptr;
        ASSERT_EQ(plug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(std::pair(rect->right - rect->left, rect->bottom - rect->top),
                  std::pair(shot.Width(), PanelShot{shot.scale, false}.Height()));

        plug->Set(Quelor::kThreshold, 0.5f);
        const Window editor = Open();
        Drag(shot.At(kThresholdX), shot.At(kThresholdY), shot.At(kThresholdX),
             shot.At(kThresholdY - 48));
        EXPECT_NEAR(plug->Get(Quelor::kThreshold), 0.75, 1e-6);
        if (shot.strip)
            shot.ClickButton(dpy);
        Idle();
        EXPECT_EQ(GeometryOf(editor), (Geometry{0, 0, shot.Width(), shot.Height()}));
        EXPECT_EQ(Mismatches(editor, shot), 0);
    }
    XDeleteProperty(dpy, XDefaultRootWindow(dpy), XA_RESOURCE_MANAGER);
}

// The HISTORY button opens the strip: the window grows by it, the host is asked for the
// new size, and the strip shows what the reference panel shows; pressed again, it closes.
TEST_P(X11EditorInput, TheHistoryButtonGrowsTheWindowThroughTheHost) {
    constexpr int kOpenHeight = kPanelHeight + 140;
    XResizeWindow(dpy, hostWindow, kHostWidth, kOpenHeight);
    const Window editor = Open();
    for (const int height : {kOpenHeight, kPanelHeight}) {
        checker.ClearLog();
        Click(295, 340);
        Idle();
        EXPECT_EQ(GeometryOf(editor), (Geometry{0, 0, kPanelWidth, height}));
        std::vector<std::pair<int32_t, intptr_t>> asked;
        for (const HostCall& call : checker.Calls())
            if (call.opcode == audioMasterSizeWindow)
                asked.emplace_back(call.index, call.value);
        EXPECT_EQ(asked, (std::vector<std::pair<int32_t, intptr_t>>{{kPanelWidth, height}}));
    }
}

TEST_P(X11EditorInput, ClickStepsASwitchAndDoubleClickResetsAKnob) {
    Open();
    Click(kBrickwallX, kBrickwallY);
    Click(kStereoX, kStereoY);
    Idle();
    EXPECT_EQ(Shown(Quelor::kBrickwall), "On");
    EXPECT_EQ(Shown(Quelor::kStereoMode), "Maximum");

    // Same control, within 400 ms and 4 pixels: back to the default, 0 dB.
    plug->Set(Quelor::kThreshold, 0.5f);
    Idle();
    Click(kThresholdX, kThresholdY);
    Click(kThresholdX + 4, kThresholdY - 4);
    Idle();
    EXPECT_EQ(plug->Get(Quelor::kThreshold), 1.0f);
    // Five pixels away, or too late: two single clicks.
    plug->Set(Quelor::kThreshold, 0.5f);
    Idle();
    Click(kThresholdX, kThresholdY);
    Click(kThresholdX + 5, kThresholdY);
    Idle(450);
    Click(kThresholdX + 5, kThresholdY);
    Idle();
    EXPECT_EQ(plug->Get(Quelor::kThreshold), 0.5f);
}

TEST_P(X11EditorInput, WheelStepsOneNotchPerClickFinerWithShift) {
    Open();
    Click(kMixX, kMixY, 5);
    Idle();
    EXPECT_NEAR(plug->Get(Quelor::kMix), 0.99, 1e-6);
    Key(XK_Shift_L, true);
    Click(kMixX, kMixY, 5);
    Key(XK_Shift_L, false);
    Idle();
    EXPECT_NEAR(plug->Get(Quelor::kMix), 0.989, 1e-6);
    Click(kMixX, kMixY, 4);
    Idle();
    EXPECT_NEAR(plug->Get(Quelor::kMix), 0.999, 1e-6);
}

TEST_P(X11EditorInput, TextEntryTakesTypingOverItCommitsOnEnterAndCancels) {
    const Window editor = Open();
    XSetInputFocus(dpy, hostWindow, RevertToParent, CurrentTime);
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    std::vector<Window> entry = Children(editor);
    ASSERT_EQ(entry.size(), 1u);
    EXPECT_EQ(GeometryOf(entry[0]), (Geometry{kThresholdX - 18, kThresholdY - 8, 36, 16}));
    // Opening leaves the keyboard with the host; typing over the entry takes it.
    EXPECT_EQ(Focus(), hostWindow);
    for (KeySym key : {KeySym{XK_minus}, KeySym{XK_1}, KeySym{XK_2}})
        Type(key);
    Idle();
    EXPECT_EQ(Focus(), entry[0]);
    Screenshot("x11-editor-entry.png");
    Type(XK_Return);
    Idle();
    EXPECT_EQ(Shown(Quelor::kThreshold), "-12.0");
    EXPECT_TRUE(Children(editor).empty());
    EXPECT_EQ(Focus(), hostWindow);

    // Escape, or a right-click while typing, leaves the value alone.
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    Type(XK_5);
    Type(XK_Escape);
    Idle();
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    Type(XK_5);
    Type(XK_BackSpace);
    Type(XK_7);
    Click(300, 60, 3);
    Idle();
    EXPECT_EQ(Shown(Quelor::kThreshold), "-12.0");
    EXPECT_TRUE(Children(editor).empty());
    // Text that is no number reads as 0.
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    Type(XK_x);
    Type(XK_Return);
    Idle();
    EXPECT_EQ(Shown(Quelor::kThreshold), "0");
    EXPECT_EQ(Mismatches(editor), 0);
}

TEST_P(X11EditorInput, EntryTakesTheKeyboardOnlyWhenClickedOrTypedOverAndGivesItBack) {
    const Window editor = Open();
    XSetInputFocus(dpy, hostWindow, RevertToParent, CurrentTime);
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    const std::vector<Window> entry = Children(editor);
    ASSERT_EQ(entry.size(), 1u);
    // Keys typed elsewhere are the host's.
    MoveTo(300, 60);
    Type(XK_5);
    Type(XK_Return);
    Idle();
    EXPECT_EQ(Focus(), hostWindow);
    EXPECT_EQ(Children(editor).size(), 1u);
    EXPECT_EQ(Shown(Quelor::kThreshold), "0");

    // A click into the entry takes the keyboard, which then follows it wherever the pointer is.
    Click(kThresholdX, kThresholdY);
    Idle();
    EXPECT_EQ(Focus(), entry[0]);
    MoveTo(300, 60);
    for (KeySym key : {KeySym{XK_minus}, KeySym{XK_6}, KeySym{XK_Return}})
        Type(key);
    Idle();
    EXPECT_EQ(Shown(Quelor::kThreshold), "-6.0");
    EXPECT_EQ(Focus(), hostWindow);

    // The keyboard stays where the user moved it meanwhile.
    const Window widget = XCreateSimpleWindow(dpy, hostWindow, 600, 400, 20, 20, 0, 0, 0);
    XMapWindow(dpy, widget);
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    Click(kThresholdX, kThresholdY);
    Idle();
    EXPECT_EQ(Focus(), Children(editor).back());
    XSetInputFocus(dpy, widget, RevertToParent, CurrentTime);
    Idle();
    Click(300, 60, 3);
    Idle();
    EXPECT_TRUE(Children(editor).empty());
    EXPECT_EQ(Focus(), widget);
    EXPECT_EQ(Shown(Quelor::kThreshold), "-6.0");
}

TEST_P(X11EditorInput, ChoiceEntryIsAListToClickOrStepThrough) {
    const Window editor = Open();
    Click(kStereoX, kStereoY, 3);
    Idle();
    std::vector<Window> entry = Children(editor);
    ASSERT_EQ(entry.size(), 1u);
    // "Dual Mono" makes it 9 x 8 + 24 wide; four rows of 36, moved up into the panel.
    const Geometry list{kStereoX - 48, kPanelHeight - 144, 96, 144};
    EXPECT_EQ(GeometryOf(entry[0]), list);
    Screenshot("x11-editor-list.png");
    Click(kStereoX, list.y + 2 * 36 + 18); // the row of item 1
    Idle();
    EXPECT_EQ(Shown(Quelor::kStereoMode), "Maximum");
    EXPECT_TRUE(Children(editor).empty());

    Click(kStereoX, kStereoY, 3);
    Idle();
    Type(XK_Down);
    Type(XK_Down);
    Type(XK_Return);
    Idle();
    EXPECT_EQ(Shown(Quelor::kStereoMode), "Dual Mono");
}

// Hosts call the plug-in back from their handlers of what it tells them: closing the
// editor, opening it again or idling it, from within the editor's own event handling.
TEST_P(X11EditorInput, SurvivesAHostThatClosesOrReopensTheEditorFromItsCallbacks) {
    plug->Set(Quelor::kThreshold, 0.5f);
    Open();
    checker.reaction = [this](const HostCall& call) {
        if (call.opcode == audioMasterEndEdit) {
            plug->Dispatch(effEditIdle);
            plug->Dispatch(effEditClose);
        }
    };
    Drag(kThresholdX, kThresholdY, kThresholdX, kThresholdY - 48);
    EXPECT_NEAR(plug->Get(Quelor::kThreshold), 0.75, 1e-6);
    EXPECT_TRUE(Children(hostWindow).empty());
    EXPECT_EQ(plug->Dispatch(effEditIdle), 0);

    // Closed and opened again at once: the new window shows the panel.
    bool reopened = false;
    checker.reaction = [&](const HostCall& call) {
        if (call.opcode == audioMasterAutomate && !reopened) {
            reopened = true;
            plug->Dispatch(effEditClose);
            plug->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(hostWindow));
        }
    };
    Open();
    Click(kBrickwallX, kBrickwallY);
    Idle();
    EXPECT_TRUE(reopened);
    const std::vector<Window> now = Children(hostWindow);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(Shown(Quelor::kBrickwall), "On");
    EXPECT_EQ(Mismatches(now[0]), 0);

    // Closed when a value entry commits.
    checker.reaction = [this](const HostCall& call) {
        if (call.opcode == audioMasterAutomate)
            plug->Dispatch(effEditClose);
    };
    Click(kThresholdX, kThresholdY, 3);
    Idle();
    for (KeySym key : {KeySym{XK_minus}, KeySym{XK_9}, KeySym{XK_Return}})
        Type(key);
    Idle();
    EXPECT_EQ(Shown(Quelor::kThreshold), "-9.0");
    EXPECT_TRUE(Children(hostWindow).empty());
}

// A host's own X error handler, set as hosts set theirs: what it does not want, it passes
// on to the handler it replaced. An error that comes back round is counted again and
// stops there, so that a loop shows as a count.
XErrorHandler gHostReplaced = nullptr;
int gHostErrors = 0;
int HostErrorHandler(Display* connection, XErrorEvent* error) {
    static bool passing = false;
    ++gHostErrors;
    if (passing || !gHostReplaced)
        return 0;
    passing = true;
    const int result = gHostReplaced(connection, error);
    passing = false;
    return result;
}

// The editor traps X errors around its work, host callbacks included: a handler the host
// sets in one of them stays the host's, and the host's own errors still reach it.
TEST_P(X11EditorInput, KeepsTheErrorHandlerAHostSetsWhileTheEditorTraps) {
    plug->Set(Quelor::kThreshold, 0.5f);
    Open();
    checker.reaction = [](const HostCall& call) {
        if (call.opcode == audioMasterBeginEdit)
            gHostReplaced = XSetErrorHandler(&HostErrorHandler);
    };
    gHostErrors = 0;
    Drag(kThresholdX, kThresholdY, kThresholdX, kThresholdY - 24);
    const XErrorHandler installed = XSetErrorHandler(nullptr);
    XSetErrorHandler(installed);
    EXPECT_EQ(installed, &HostErrorHandler);

    // An error of the host's connection in a callback, where the editor traps: the host's
    // handler sees it once, and when it passes it on, it does not come back round.
    const Window gone = XCreateSimpleWindow(dpy, hostWindow, 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(dpy, gone);
    checker.reaction = [this, gone](const HostCall& call) {
        if (call.opcode != audioMasterBeginEdit)
            return;
        XMapWindow(dpy, gone);
        XSync(dpy, False);
    };
    // Pressed 10 pixels off the last press: too far for a double-click.
    Drag(kThresholdX, kThresholdY + 10, kThresholdX, kThresholdY + 34);
    EXPECT_EQ(gHostErrors, 1);
    EXPECT_NEAR(plug->Get(Quelor::kThreshold), 0.5, 1e-6);
    XSetErrorHandler(nullptr);
}

TEST_P(X11EditorInput, OpeningClosingAndDestroyingLeaveNothingBehind) {
    const long files = OpenFiles();
    for (int i = 0; i < 20; ++i) {
        Open(i % 4 == 0);
        if (i % 5 == 0)
            Click(kThresholdX, kThresholdY, 3); // closed with its entry open
        Idle(i % 5 == 0 ? 40 : 0);
        EXPECT_EQ(plug->Dispatch(effEditClose), 1);
    }
    XSync(dpy, False);
    EXPECT_TRUE(Children(hostWindow).empty());
    EXPECT_EQ(OpenFiles(), files);
    EXPECT_EQ(SharedSegments(), std::vector<int>{1});

    // A second open without a close puts the new window where the host moved the old one.
    const Window first = Open();
    XMoveWindow(dpy, first, 20, 30);
    Idle();
    const Window second = Open();
    EXPECT_EQ(Children(hostWindow).size(), 1u);
    EXPECT_EQ(GeometryOf(second), (Geometry{20, 30, kPanelWidth, kPanelHeight}));

    // Destroyed with its editor open.
    plug.reset();
    XSync(dpy, False);
    EXPECT_TRUE(Children(hostWindow).empty());
    EXPECT_EQ(OpenFiles(), files);
    EXPECT_TRUE(SharedSegments().empty());
}

TEST_P(X11EditorInput, CopesWithHostsThatNeverIdleOrDestroyTheirWindowFirst) {
    plug->Set(Quelor::kThreshold, 0.5f);
    Open(false);
    Click(kBrickwallX, kBrickwallY);
    Click(kThresholdX, kThresholdY, 3);
    EXPECT_EQ(plug->Dispatch(effEditClose), 1);
    EXPECT_EQ(Shown(Quelor::kBrickwall), "Off");

    Open();
    const Window gone = std::exchange(hostWindow, 0);
    XDestroyWindow(dpy, gone);
    XSync(dpy, False);
    Idle();
    EXPECT_EQ(plug->Dispatch(effEditClose), 1);
    EXPECT_EQ(plug->Dispatch(effEditClose), 1);
    EXPECT_EQ(plug->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(gone)), 0);
    EXPECT_EQ(plug->Dispatch(effEditIdle), 0);
}
} // namespace
