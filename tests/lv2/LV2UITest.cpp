// The bundle's panel as an LV2 host shows it: instantiated from its descriptor inside a
// host window on an Xvfb of the test's own, idled, read back and held against the VST 2
// editor's paint; driven through XTEST and through port events.
#include "EffectTestSupport.h"
#include "IDrawContext.h"
#include "LV2TestBundle.h"
#include "PanelShots.h"
#include "Quelor.h"
#include "QuelorEditorFactory.h"
#include "QuelorPanel.h"
#include "SharedLibrary.h"
#include "X11HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {
using lv2test::kUri;
constexpr int kWidth = kQuelorPanelWidth;
constexpr int kHeight = kQuelorPanelHeight;
constexpr uint32_t kMeterPorts = Quelor::kParameterCount + 6; // after the audio ports
// The host window sits at the root's origin and the panel at the host window's, so panel
// and root coordinates agree.
constexpr int kThresholdX = 54, kThresholdY = 214;

// What the panel sent the host.
struct HostLog {
    struct Write {
        uint32_t port;
        float value;
    };
    std::vector<Write> writes;
    std::vector<std::pair<uint32_t, bool>> touches; // port, grabbed
    int width = 0;
    int height = 0;
};

void WriteFunction(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                   const void* buffer) {
    ASSERT_EQ(size, sizeof(float));
    ASSERT_EQ(format, 0u);
    static_cast<HostLog*>(controller)->writes.push_back({port, *static_cast<const float*>(buffer)});
}

// Quelor's panel with the VST 2 editor's values after a second of processing, the
// reference the LV2 panel must show for the same values.
struct Reference {
    Reference() {
        OpenLikeHost(effect, 48000.0, 512);
        // Normalized values whose real values a float port carries exactly.
        const std::pair<int, float> settings[] = {
            {Quelor::kThreshold, 0.5f}, {Quelor::kRatio, 0.5f},        {Quelor::kAttack, 0.25f},
            {Quelor::kGain, 0.3125f},   {Quelor::kMix, 0.75f},         {Quelor::kStereoMode, 1.0f},
            {Quelor::kBrickwall, 0.0f}, {Quelor::kAttenuation, 0.875f}};
        for (const auto& [index, value] : settings)
            effect.SetParameterFromHost(index, static_cast<double>(value), IValueUnit::kNormalized);
        effect.EnsureEditor();
        ChannelSet set(48000);
        for (std::size_t i = 0; i < set.Frames(); ++i)
            for (std::size_t c = 0; c < 2; ++c)
                set.in[c][i] =
                    0.9 * std::sin(static_cast<double>(i) * 0.01 * static_cast<double>(c + 1));
        Process(effect, set, {512});
        auto* panel = dynamic_cast<IDrawContext*>(effect.Editor());
        panel->TakeReadings();
        panel->PaintRegion({0, 0, kWidth, kHeight});
        pixels.assign(panel->SurfacePixels(), panel->SurfacePixels() + kWidth * kHeight);
        for (uint32_t& p : pixels)
            p &= 0xFFFFFF;
    }
    Quelor effect{&QuelorEditorFactory()};
    std::vector<uint32_t> pixels;
};

class LV2UI : public X11HostWindowTest {
protected:
    LV2UI() : X11HostWindowTest(0x203040) {}
    void SetUp() override {
        X11HostWindowTest::SetUp();
        ASSERT_TRUE(library.Open(bundle + "QuelorUI.so")) << library.Error();
        const auto entry = library.FunctionNamed<LV2UI_DescriptorFunction>("lv2ui_descriptor");
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        idle = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
    }
    void TearDown() override {
        if (handle)
            descriptor->cleanup(handle);
        library.Close();
        X11HostWindowTest::TearDown();
    }

    // Instantiates the panel in the host window with the features a full host offers, or
    // with only those the panel requires; a full host may tell its scale factor.
    void Instantiate(bool fullHost = true, float scale = 0.0f) {
        const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(hostWindow)};
        const LV2_Feature resize{LV2_UI__resize, &resizer};
        const LV2_Feature touch{LV2_UI__touch, &toucher};
        const LV2_Feature idler{LV2_UI__idleInterface, nullptr};
        const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, uris(LV2_UI__scaleFactor),
                                               sizeof scale, uris(LV2_ATOM__Float), &scale},
                                              {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        const LV2_Feature urid{LV2_URID__map, &uris.feature};
        const LV2_Feature told{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        // Without a scale the list ends before the map and the options.
        const LV2_Feature* full[] = {
            &parent, &resize, &touch, &idler, scale > 0.0f ? &urid : nullptr, &told, nullptr};
        const LV2_Feature* least[] = {&idler, &parent, nullptr};
        handle = descriptor->instantiate(descriptor, kUri, bundle.c_str(), WriteFunction, &log,
                                         &widget, fullHost ? full : least);
        ASSERT_NE(handle, nullptr);
        Idle();
    }

    // The host's user-interface loop: idle about every millisecond for a while.
    void Idle(int milliseconds = 60) {
        XSync(dpy, False);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            EXPECT_EQ(idle->idle(handle), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        XSync(dpy, False);
    }

    void DragThreshold(int dy) {
        XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), kThresholdX, kThresholdY, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
        Idle(20);
        XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), kThresholdX, kThresholdY + dy, CurrentTime);
        Idle(20);
        XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
        Idle();
    }

    void PortEvent(uint32_t port, float value) {
        descriptor->port_event(handle, port, sizeof value, 0, &value);
    }
    Window Panel() const { return static_cast<Window>(reinterpret_cast<uintptr_t>(widget)); }
    std::vector<uint32_t> Shown(int width = kWidth, int height = kHeight) const {
        return Pixels(Panel(), width, height);
    }

    const std::string bundle = lv2test::Bundle();
    SharedLibrary library;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;
    HostLog log;
    LV2UI_Resize resizer{&log, [](LV2UI_Feature_Handle host, int width, int height) {
                             static_cast<HostLog*>(host)->width = width;
                             static_cast<HostLog*>(host)->height = height;
                             return 0;
                         }};
    LV2UI_Touch toucher{&log, [](LV2UI_Feature_Handle host, uint32_t port, bool grabbed) {
                            static_cast<HostLog*>(host)->touches.push_back({port, grabbed});
                        }};
    lv2test::UridMap uris;
};

TEST_F(LV2UI, EmbedsInTheHostWindowAndAnnouncesItsSize) {
    const LV2_Feature* none[] = {nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, kUri, bundle.c_str(), WriteFunction, &log,
                                      &widget, none),
              nullptr)
        << "a host without a parent window is refused";
    XSelectInput(dpy, hostWindow, SubstructureNotifyMask);
    XSync(dpy, False);
    Instantiate();
    const Window panel = Panel();
    EXPECT_EQ(Children(), std::vector<Window>{panel});
    // A host that sizes its container from the panel's ConfigureNotify, and not from
    // ui:resize, must be told the size.
    bool configured = false;
    XEvent event;
    while (XCheckTypedWindowEvent(dpy, hostWindow, ConfigureNotify, &event))
        configured =
            configured || (event.xconfigure.window == panel && event.xconfigure.width == kWidth &&
                           event.xconfigure.height == kHeight);
    EXPECT_TRUE(configured);
    // A host that wraps the panel in a window of its own reads its one size from these.
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(dpy, panel, &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(std::tuple(hints.min_width, hints.min_height, hints.max_width, hints.max_height),
              std::tuple(kWidth, kHeight, kWidth, kHeight));
    EXPECT_TRUE(log.writes.empty()) << "showing the panel must not change the plug-in";
}

// Opened at the host's scale factor, the panel follows the host's own resize through its
// ui:resize, keeping its aspect.
TEST_F(LV2UI, FollowsTheHostsResizesInThePanelsAspect) {
    Instantiate(true, 2.0f);
    const auto* resizing =
        static_cast<const LV2UI_Resize*>(descriptor->extension_data(LV2_UI__resize));
    ASSERT_NE(resizing, nullptr);
    EXPECT_EQ(resizing->ui_resize(handle, 800, 800), 0);
    Idle();
    XWindowAttributes shown{};
    XGetWindowAttributes(dpy, Panel(), &shown);
    EXPECT_EQ(std::tuple(shown.width, shown.height), std::tuple(800, 580));
}

// At the host's scale factor, the strip opened by a click on its button: the size the
// host hears, and the panel quelor-snapshot paints at that scale. The ports' meters at
// their floor stand for silence however long the panel idles.
TEST_F(LV2UI, ShowsThePanelAtTheHostsScaleWithTheStripOpenOrClosed) {
    XResizeWindow(dpy, hostWindow, 2 * kWidth, 2 * kWidth);
    for (const PanelShot& shot : kPanelShots) {
        SCOPED_TRACE(shot);
        Instantiate(true, static_cast<float>(shot.scale));
        if (shot.strip) {
            shot.ClickButton(dpy);
            Idle(100);
        }
        EXPECT_EQ(std::tuple(log.width, log.height), std::tuple(shot.Width(), shot.Height()));
        EXPECT_EQ(Differing(Shown(shot.Width(), shot.Height()), SnapshotPanel(shot)), 0);
        descriptor->cleanup(handle);
        handle = nullptr;
    }
}

TEST_F(LV2UI, ShowsWhatTheVSTEditorShowsForTheSameValues) {
    const Reference reference;
    Instantiate();
    for (int i = 0; i < Quelor::kParameterCount; ++i)
        PortEvent(static_cast<uint32_t>(i),
                  static_cast<float>(reference.effect.ParameterAt(i)->Value()));
    MeterReadings m;
    reference.effect.ReadMeters(m);
    ASSERT_GT(m.values[Quelor::kMeterReduction], 1.0) << "the reference must show gain reduction";
    // As the ports carry them: held to their ranges.
    const MeterList meters = reference.effect.Meters();
    for (uint32_t i = 0; i < Quelor::kMeterCount; ++i)
        PortEvent(kMeterPorts + i, static_cast<float>(std::clamp(m.values[i], meters[i].minimum,
                                                                 meters[i].maximum)));
    Idle();
    const std::vector<uint32_t> shown = Shown();
    EXPECT_EQ(Differing(shown, reference.pixels), 0);
    // Ports of other kinds and sizes are ignored.
    const double wide = 0.0;
    descriptor->port_event(handle, kMeterPorts + 1, sizeof wide, 0, &wide);
    descriptor->port_event(handle, 9999, sizeof(float), 0, &wide);
    Idle();
    EXPECT_EQ(Shown(), shown);
}

// A quarter of the knob's travel up, from -30 dB (normalized 0.5) to -15 dB, within a
// gesture where the host offers touch; a host without touch or resize gets the edits too.
TEST_F(LV2UI, AThresholdDragWritesThePortInDecibelsWithinAGesture) {
    for (const bool fullHost : {true, false}) {
        SCOPED_TRACE(fullHost ? "full host" : "least host");
        log = {};
        Instantiate(fullHost);
        EXPECT_EQ(log.width, fullHost ? kWidth : 0);
        PortEvent(Quelor::kThreshold, -30.0f);
        Idle();
        DragThreshold(-48);
        ASSERT_FALSE(log.writes.empty());
        for (const HostLog::Write& w : log.writes)
            EXPECT_EQ(w.port, static_cast<uint32_t>(Quelor::kThreshold));
        EXPECT_EQ(log.writes.back().value, -15.0f);
        using Touches = std::vector<std::pair<uint32_t, bool>>;
        const auto threshold = static_cast<uint32_t>(Quelor::kThreshold);
        const Touches gesture{{threshold, true}, {threshold, false}};
        EXPECT_EQ(log.touches, fullHost ? gesture : Touches{});
        descriptor->cleanup(handle);
        handle = nullptr;
    }
}
} // namespace
