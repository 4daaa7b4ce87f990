#include "DisplayScale.h"
#include "IDrawContext.h"
#include "IEffectBase.h"
#include "IEffectParameters.h"
#include "NoWindowServices.h"
#include "RedrawMarks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {
// A plug-in with two parameters, its own host, that logs what the editor tells it.
class LoggingPlug : public IEffectBase, public IEffectHost {
public:
    LoggingPlug() : IEffectBase({2, "2-2", 1, "t", "", "", 0, 0, 0, 0, false, false}) {
        ParameterAt(0)->SetupContinuous("Level", 0, -60, 0, 0.1, "dB");
        ParameterAt(1)->SetupChoice("Mode", 0, 3);
        ConnectHost(this);
    }
    void EditBegin(int index) override { log.push_back("begin " + std::to_string(index)); }
    void EditEnd(int index) override { log.push_back("end " + std::to_string(index)); }
    void EditValue(int index, double v, double) override {
        log.push_back("set " + std::to_string(index) + " " + std::to_string(v));
    }
    bool EditorResized(int w, int h) override {
        log.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
        return true;
    }
    std::vector<std::string> log;
};

// A drawing context that draws nothing and records blits and presents.
class RecordingContext : public NoWindowServices<IDrawContext> {
public:
    explicit RecordingContext(IEditorParameters* owner) : NoWindowServices(owner, 510, 370, 60) {}

    struct Blit {
        IRectangle destination;
        int sourceY;
        float weight;
    };
    std::vector<Blit> blits;
    std::vector<IRectangle> presented;
    std::vector<IControl*> entries;

    void CreateDrawSurface() override {}
    bool PresentRegion(const IRectangle& rect) override {
        presented.push_back(rect);
        return true;
    }
    bool BlitBitmap(const IFrameBitmap&, const IRectangle& destination, int, int sourceY,
                    const IDrawBlend* blend) override {
        blits.push_back({destination, sourceY, blend ? blend->weight : 1.0f});
        return true;
    }
    void DrawBitmapRotated(const IFrameBitmap&, int, int, double, int, const IDrawBlend*) override {}
    void DrawMaskRotated(const IFrameBitmap&, const IFrameBitmap&, const IFrameBitmap&, int, int,
                         double, const IDrawBlend*) override {}
    void BlendPixel(const IDrawColor&, float, float, const IDrawBlend*) override {}
    void StorePixel(const IDrawColor&, int, int) override {}
    void DrawSegment(const IDrawColor&, float, float, float, float, const IDrawBlend*,
                     bool) override {}
    void DrawArcSegment(const IDrawColor&, float, float, float, float, float, const IDrawBlend*,
                        bool) override {}
    void DrawCircleOutline(const IDrawColor&, float, float, float, const IDrawBlend*,
                           bool) override {}
    void FillRectangle(const IDrawColor&, const IRectangle&, const IDrawBlend*) override {}
    IDrawColor ReadPixelColor(int, int) override { return {}; }
    uint32_t* SurfacePixels() override { return nullptr; }
    void OpenValueEntry(IControl* control, const IParameter*) override {
        entries.push_back(control);
    }
    IFrameBitmap LoadFrameBitmap(int, const char*, int frames) override {
        return {nullptr, 510, 370, frames};
    }
    IFrameBitmap ScaledCopy(const IFrameBitmap& b, int, int) override { return b; }
    IFrameBitmap CroppedCopy(const IFrameBitmap& b, const IRectangle&) override { return b; }
    void KeepBitmap(const IFrameBitmap&) override {}
    void DropBitmap(const IFrameBitmap&) override {}
};

const IFrameBitmap kKnob{nullptr, 48, 2448, 51};
const IFrameBitmap kSwitch2{nullptr, 15, 80, 2};
const IFrameBitmap kSwitch3{nullptr, 15, 120, 3};

class EditorCoreTest : public ::testing::Test {
protected:
    EditorCoreTest()
        : owned(std::make_unique<RecordingContext>(&parameters)), context(owned.get()) {}

    // Hands the context to the plug-in, which pushes every parameter to the controls.
    void Attach() { plug.AttachEditor(owned.release()); }

    LoggingPlug plug;
    IEffectParameters parameters{plug};
    std::unique_ptr<RecordingContext> owned; // until attached
    RecordingContext* context;
    const IMouseKeys left{true, false, false, false, false};
    const IMouseKeys right{false, true, false, false, false};
};
} // namespace

TEST(EditorFrames, FrameTopsAndFrameChoice) {
    EXPECT_EQ(IDrawContext::FrameTop(kSwitch3, 3), 80);
    EXPECT_EQ(IDrawContext::FrameTop(kSwitch3, -4), 0);
    for (const auto& [value, frame] : {std::pair{0.5, 26}, {7.0, 51}, {-1.0, 1}, {std::nan(""), 1}})
        EXPECT_EQ(IBitmapControl::FrameForValue(value, 51), frame) << value;
    EXPECT_EQ(IBitmapControl::FrameForValue(0.7, 1), 1);
}

TEST_F(EditorCoreTest, BackgroundGoesUnderwayAndIndexesMoveUp) {
    const int first = context->AppendControl(new IKnobMultiControl(10, 10, 0, kKnob));
    context->AppendControl(new ISwitchControl(100, 10, 1, kSwitch3, kDrawBlendAlpha));
    EXPECT_EQ(first, 0);
    context->SetBackground(100, "background");
    ASSERT_EQ(context->ControlCount(), 3);
    EXPECT_EQ(context->ControlAt(0)->Rect(), (IRectangle{0, 0, 510, 370}));
    EXPECT_EQ(context->ControlAt(1)->ParamIndex(), 0);
    EXPECT_EQ(context->ControlAt(2)->ParamIndex(), 1);
    EXPECT_EQ(context->ControlAt(3), nullptr);
}

TEST_F(EditorCoreTest, PressesGoToTheTopmostControlThatIsNeitherHiddenNorDimmed) {
    context->AppendControl(new ISwitchControl(0, 0, 0, kSwitch2, kDrawBlendAlpha));
    context->AppendControl(new ISwitchControl(5, 5, 1, kSwitch2, kDrawBlendAlpha));
    EXPECT_EQ(context->FindControlAt(7, 7), 1);
    context->ControlAt(1)->SetDimmed(true);
    EXPECT_EQ(context->ControlAt(1)->Blend().weight, 0.25f);
    EXPECT_EQ(context->FindControlAt(7, 7), 0);
    context->ControlAt(1)->SetDimmed(false);
    context->ControlAt(1)->SetHidden(true);
    EXPECT_EQ(context->FindControlAt(7, 7), 0);
    EXPECT_EQ(context->FindControlAt(300, 300), -1);
}

TEST_F(EditorCoreTest, ReleaseAnywhereEndsTheEditOfThePressedControl) {
    context->AppendControl(new IKnobMultiControl(10, 10, 1, kKnob));
    plug.log.clear();
    context->MousePressed(20, 20, left);
    EXPECT_EQ(context->Captured(), 0);
    EXPECT_EQ(context->FindControlAt(400, 300), 0) << "the captured control takes everything";
    context->MouseReleased(400, 300);
    EXPECT_EQ(plug.log, (std::vector<std::string>{"begin 1", "end 1"}));
    EXPECT_EQ(context->Captured(), -1);
}

TEST_F(EditorCoreTest, KnobDragFollowsMovementWithItsGearing) {
    context->AppendControl(new IKnobMultiControl(10, 10, 0, kKnob));
    Attach();
    IControl& knob = *context->ControlAt(0);
    EXPECT_EQ(knob.Value(), 1.0) << "attached: the level's normalized default";
    knob.ApplyValueFromPlug(0.5);
    context->MousePressed(30, 30, left);
    context->MouseDragged(30, 30, left);
    EXPECT_EQ(knob.Value(), 0.5) << "no movement, nothing happens";
    context->MouseDragged(30, -18, left);
    EXPECT_DOUBLE_EQ(knob.Value(), 0.75);
    EXPECT_DOUBLE_EQ(plug.ParameterAt(0)->Value(), -15.0);
    context->MouseDragged(30, 500, left);
    EXPECT_EQ(knob.Value(), 0.0) << "clamped";
}

TEST_F(EditorCoreTest, SwitchesStepAndWrap) {
    context->AppendControl(new ISwitchControl(0, 0, 1, kSwitch3, kDrawBlendAlpha));
    context->AppendControl(new ISwitchControl(50, 0, -1, kSwitch2, kDrawBlendAlpha));
    IControl& three = *context->ControlAt(0);
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i) {
        context->MousePressed(5, 5, left);
        context->MouseReleased(5, 5);
        seen.push_back(three.Value());
    }
    EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
    EXPECT_EQ(plug.ParameterAt(1)->Value(), 1.0);
    context->MousePressed(55, 5, left);
    EXPECT_EQ(context->ControlAt(1)->Value(), 1.0);
}

TEST_F(EditorCoreTest, RightClickAsksForValueEntryOnlyOnBoundControls) {
    context->AppendControl(new ISwitchControl(0, 0, 1, kSwitch2, kDrawBlendAlpha));
    context->AppendControl(new ISwitchControl(50, 0, -1, kSwitch2, kDrawBlendAlpha));
    Attach();
    context->MousePressed(5, 5, right);
    context->MouseReleased(5, 5);
    context->MousePressed(55, 5, right);
    ASSERT_EQ(context->entries.size(), 1u);
    EXPECT_EQ(context->entries[0], context->ControlAt(0));
    EXPECT_EQ(context->ControlAt(0)->Value(), 0.0) << "a right click does not step";
}

TEST_F(EditorCoreTest, PluginValuesAreShownTwiceAndNeverSentBack) {
    context->AppendControl(new IKnobMultiControl(0, 0, 0, kKnob));
    context->AppendControl(new IKnobMultiControl(60, 0, 0, kKnob));
    Attach();
    IControl& knob = *context->ControlAt(0);
    plug.log.clear();
    context->PushParamToControls(0, -30.0, false);
    EXPECT_EQ(knob.Value(), 0.5);
    EXPECT_EQ(context->ControlAt(1)->Value(), 0.5) << "several controls share a parameter";
    EXPECT_TRUE(plug.log.empty());
    context->PaintRegion({0, 0, 510, 370});
    EXPECT_TRUE(knob.NeedsDraw()) << "drawn on two passes";
    context->PaintRegion({0, 0, 510, 370});
    EXPECT_FALSE(knob.NeedsDraw());
    context->PushParamToControls(0, 0.5, true);
    EXPECT_FALSE(knob.NeedsDraw()) << "an unchanged value changes nothing";
    context->SetControlValue(7, 0.3);
    context->SetControlValue(-1, 0.3);
    context->SetControlValue(1, std::nan(""));
    EXPECT_EQ(context->ControlAt(1)->Value(), 0.0);
}

TEST_F(EditorCoreTest, PaintPassDrawsWhatMeetsTheRegionAndCollectsDirtyRects) {
    context->AppendControl(new IKnobMultiControl(100, 100, 0, kKnob));  // 100..148
    context->AppendControl(new IKnobMultiControl(200, 100, -1, kKnob)); // 200..248
    Attach();
    IRectangle dirty;
    EXPECT_TRUE(context->CollectDirtyRegion(&dirty));
    EXPECT_EQ(dirty, (IRectangle{100, 100, 248, 148}));
    context->blits.clear();
    EXPECT_TRUE(context->PaintRegion({148, 0, 200, 370}));
    ASSERT_EQ(context->blits.size(), 1u) << "a left edge on the region's right edge still draws";
    EXPECT_EQ(context->blits[0].destination.L, 200);
    EXPECT_EQ(context->blits[0].sourceY, 0) << "an unbound knob rests on its first frame";
    context->PaintRegion({100, 100, 101, 101});
    EXPECT_EQ(context->blits.back().sourceY, 2400) << "frame 51: the level's default, value 1";
    dirty = {};
    ASSERT_TRUE(context->CollectDirtyRegion(&dirty)) << "both were drawn in part only";
    EXPECT_EQ(dirty, (IRectangle{100, 100, 248, 148}));
    context->PaintRegion(dirty);
    context->PaintRegion(dirty); // values from the plug-in are drawn on two passes
    dirty = {};
    EXPECT_FALSE(context->CollectDirtyRegion(&dirty));
    context->MarkAllControlsDirty();
    EXPECT_TRUE(context->CollectDirtyRegion(&dirty));
    EXPECT_EQ(context->presented.size(), 4u);
}


TEST_F(EditorCoreTest, AControlStaysDirtyUntilAPassDrawsItWhole) {
    context->AppendControl(new IKnobMultiControl(100, 100, 0, kKnob)); // 100..148
    context->AppendControl(new IKnobMultiControl(200, 100, 1, kKnob)); // 200..248
    Attach();
    context->PaintRegion({0, 0, 510, 370});
    context->PaintRegion({0, 0, 510, 370});
    IControl& dragged = *context->ControlAt(0);
    ASSERT_FALSE(dragged.NeedsDraw());

    // A drag marks the knob; an expose of another area, then of half the knob, comes
    // before the next tick.
    context->MousePressed(120, 120, left);
    context->MouseDragged(120, 100, left);
    ASSERT_TRUE(dragged.NeedsDraw());
    context->PaintRegion({200, 100, 248, 148});
    EXPECT_TRUE(dragged.NeedsDraw()) << "not drawn, so not clean";
    context->PaintRegion({100, 100, 124, 148});
    EXPECT_TRUE(dragged.NeedsDraw()) << "drawn in part only";
    IRectangle dirty;
    ASSERT_TRUE(context->CollectDirtyRegion(&dirty));
    EXPECT_EQ(dirty, (IRectangle{100, 100, 148, 148}));
    context->PaintRegion(dirty);
    EXPECT_FALSE(dragged.NeedsDraw());
}

// A meter as the audio thread feeds it, with the paint pass's step placed at a chosen
// point inside the feed: before or after the control marks itself dirty.
class InterleavedControl final : public IBitmapControl {
public:
    enum Point { kBeforeMark, kAfterMark };
    InterleavedControl() : IBitmapControl(0, 0, -1, kSwitch3, kDrawBlendAlpha) {}

    void MarkDirty(bool informPlug) override {
        if (cleanAt == kBeforeMark)
            MarkClean();
        IBitmapControl::MarkDirty(informPlug);
        if (cleanAt == kAfterMark)
            MarkClean();
    }

    Point cleanAt = kBeforeMark;
};

TEST_F(EditorCoreTest, APassBetweenTheStepsOfAPluginValueNeverLosesIt) {
    for (const auto point : {InterleavedControl::kBeforeMark, InterleavedControl::kAfterMark}) {
        SCOPED_TRACE(point);
        InterleavedControl meter;
        meter.MarkClean();
        ASSERT_FALSE(meter.NeedsDraw());
        meter.cleanAt = point;
        meter.ApplyValueFromPlug(0.5);
        EXPECT_TRUE(meter.NeedsDraw()) << "the new value must still be drawn";
    }
}

namespace {
// A redraw word that lets another thread's marks land right after its next read: inside
// a pass's clean step, between its read and its write.
class InterruptibleWord {
public:
    explicit InterruptibleWord(uint8_t state) : word(state) {}
    uint8_t load() const {
        const uint8_t state = word.load();
        if (const auto marks = std::exchange(afterNextRead, nullptr))
            marks();
        return state;
    }
    void store(uint8_t state) { word.store(state); }
    uint8_t fetch_or(uint8_t marks) { return word.fetch_or(marks); }
    bool compare_exchange_weak(uint8_t& expected, uint8_t desired) {
        return word.compare_exchange_weak(expected, desired);
    }

    static inline std::function<void()> afterNextRead;

private:
    std::atomic<uint8_t> word;
};
} // namespace

TEST(RedrawMarks, AValueMarkedWhileAPassCleansIsDrawnByTheNextPass) {
    using Marks = RedrawMarks<InterruptibleWord>;
    Marks marks; // dirty: the pass has drawn the old value
    InterruptibleWord::afterNextRead = [&marks] {
        marks.Set(Marks::kPending); // a new value from the audio thread
        marks.Set(Marks::kDirty);
    };
    marks.Clean();
    EXPECT_TRUE(marks.Dirty()) << "the new value must still be drawn";
    marks.Clean();
    EXPECT_FALSE(marks.Dirty());
}

// Xft.dpi first, as the desktops that set it mean it; then GDK's and Qt's variables; what
// is not a positive number says nothing.
TEST(DesktopScale, XftDpiThenGdkThenQt) {
    const struct {
        const char* resources;
        const char* gdk;
        const char* qt;
        double scale;
    } cases[] = {
        {"Xcursor.size:\t24\nXft.dpi:\t192\n", "3", "1.25", 2.0},
        {"Xft.dpi:144", nullptr, nullptr, 1.5},
        {"Xft.dpix:\t192\nMy.Xft.dpi:\t192\n", "2", nullptr, 2.0},
        {"Xft.dpi:\t0\n", nullptr, "1.25", 1.25},
        {nullptr, "-2", "abc", 0.0},
        {nullptr, nullptr, nullptr, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(DesktopScale(c.resources, c.gdk, c.qt), c.scale)
            << (c.resources ? c.resources : "no resources");
}
