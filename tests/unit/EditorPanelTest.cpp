// The Quelor panel as the effect builds it, painted by the raster drawing layer from
// the images the program carries, and driven with the mouse as a user drives it.
#include "EffectTestSupport.h"
#include "IGraphicsRaster.h"
#include "IGraphicsWindow.h"
#include "IVUNeedle.h"
#include "NoWindowServices.h"
#include "Quelor.h"
#include "QuelorEditor.h"
#include "QuelorEditorFactory.h"
#include "QuelorEntry.h"
#include "QuelorPanel.h"
#include "raster/RAS_Composite.h"
#include "raster/RAS_PNG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// The panel, built as a host's first look at it builds it.
IDrawContext& PanelOf(IEffectBase& effect) {
    effect.EnsureEditor();
    auto* panel = dynamic_cast<IDrawContext*>(effect.Editor());
    EXPECT_NE(panel, nullptr);
    return *panel;
}

std::unique_ptr<RAS_IBitmap> Image(int id) {
    return std::unique_ptr<RAS_IBitmap>(RAS_DecodePNGResource(RAS_OwnModule(), id, nullptr));
}

struct HostEvent {
    int32_t opcode;
    int32_t index;
    float value;
    bool operator==(const HostEvent&) const = default;
};

std::vector<HostEvent> gHostEvents;

intptr_t RecordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit ||
        opcode == audioMasterEndEdit)
        gHostEvents.push_back({opcode, index, opcode == audioMasterAutomate ? opt : 0.0f});
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

TEST(EditorPanel, ControlsAsLaidOut) {
    Quelor effect(&QuelorEditorFactory());
    IDrawContext& panel = PanelOf(effect);
    struct Expected {
        IRectangle rect;
        int parameter;
    };
    const Expected layout[] = {
        {{0, 0, 510, 370}, -1},
        {{30, 105, 78, 153}, Quelor::kAttack},
        {{100, 105, 148, 153}, Quelor::kRelease},
        {{170, 105, 218, 153}, Quelor::kHold},
        {{100, 190, 148, 238}, Quelor::kRatio},
        {{30, 190, 78, 238}, Quelor::kThreshold},
        {{170, 190, 218, 238}, Quelor::kGain},
        {{30, 275, 78, 323}, Quelor::kMix},
        {{270, 105, 318, 153}, Quelor::kRelease2},
        {{270, 190, 318, 238}, Quelor::kAttenuation},
        {{170, 280, 185, 320}, Quelor::kSidechainInput},
        {{273, 280, 288, 320}, Quelor::kBrickwall},
        {{100, 280, 115, 320}, Quelor::kStereoMode},
        {{284, 34, 304, 54}, -1},
        {{382, 33, 404, 331}, -1},
        {{414, 33, 436, 331}, -1},
        {{446, 33, 468, 331}, -1},
        // The strip's button on the panel; then, below it, the strip and its two graphs.
        {{262, 332, 328, 348}, -1},
        {{0, 370, 510, 510}, -1},
        {{44, 384, 335, 493}, -1},
        {{380, 384, 489, 493}, -1},
    };
    ASSERT_EQ(panel.ControlCount(), 21);
    for (int i = 0; i < 21; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(panel.ControlAt(i)->Rect(), layout[i].rect);
        EXPECT_EQ(panel.ControlAt(i)->ParamIndex(), layout[i].parameter);
    }
    EXPECT_EQ(panel.ControlAt(0)->Blend().method, kDrawBlendCopy);
    EXPECT_EQ(panel.ControlAt(5)->Blend().method, kDrawBlendAlpha);

    // The knobs show their parameters from the start; the needles rest at the bottom.
    EXPECT_EQ(IBitmapControl::FrameForValue(panel.ControlAt(2)->Value(), 51), 4);
    EXPECT_EQ(IBitmapControl::FrameForValue(panel.ControlAt(4)->Value(), 51), 14);
    for (int i = 14; i <= 16; ++i)
        EXPECT_EQ(dynamic_cast<IVUNeedle*>(panel.ControlAt(i))->HandleRect().T, 330);
}

// The needles and the LED take the meters the last block stored when the panel refreshes
// (the editor's idle), each on its own control, and hold their place while no block runs.
TEST(EditorPanel, MetersReachTheirControlsWhenThePanelRefreshes) {
    Quelor effect(&QuelorEditorFactory());
    OpenLikeHost(effect, 44100, 512);
    IDrawContext& panel = PanelOf(effect);
    SetParameter(effect, Quelor::kThreshold, -30);
    SetParameter(effect, Quelor::kGain, 12);
    SetParameter(effect, Quelor::kBrickwall, Quelor::kBrickwallOn);
    const auto shown = [&](int control) { return panel.ControlAt(control)->Value(); };
    const double rest[] = {shown(13), shown(14), shown(15), shown(16)};

    ChannelSet loud(22050, 0.5, 0.25);
    Process(effect, loud, {512});
    const Quelor::NeedlePositions needles = effect.Needles();
    const struct {
        int control;
        double expected;
    } meters[] = {{13, needles.led}, {14, needles.in}, {15, needles.gr}, {16, needles.out}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(shown(meters[i].control), rest[i]) << "nothing moves before a refresh";
    effect.EditorWindow()->IdleEditor();
    for (const auto& meter : meters) {
        EXPECT_GT(meter.expected, 0.0) << meter.control;
        EXPECT_EQ(shown(meter.control), meter.expected) << meter.control;
    }
    EXPECT_NE(needles.in, needles.out) << "the levels must tell the needles apart";

    effect.ResetProcessing();
    effect.EditorWindow()->IdleEditor();
    for (const auto& meter : meters)
        EXPECT_EQ(shown(meter.control), meter.expected) << "held without a block";
}

TEST(EditorPanel, PaintShowsTheFrameEachValueSelects) {
    Quelor effect(&QuelorEditorFactory());
    IDrawContext& panel = PanelOf(effect);
    // Values from the plug-in are drawn on two passes.
    panel.PaintRegion({0, 0, 510, 370});
    panel.PaintRegion({0, 0, 510, 370});

    // The "Release" knob by hand: background, then frame 4 of the strip over it.
    RAS_MemBitmap expected(48, 48);
    const std::unique_ptr<RAS_IBitmap> background = Image(100), knob = Image(101);
    RAS_CompositeArea(&expected, background.get(), 0, 0, 100, 105, 48, 48, 1.0f, RAS_OP_COPY);
    RAS_CompositeArea(&expected, knob.get(), 0, 0, 0, 3 * 48, 48, 48, 1.0f,
                      RAS_FLAG_SOURCE_ALPHA);
    const uint32_t* surface = panel.SurfacePixels();
    int differing = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            differing += surface[(105 + y) * 510 + 100 + x] != expected.Pixels()[y * 48 + x];
    EXPECT_EQ(differing, 0);

    // A later parameter change repaints just that knob with its new frame.
    effect.SetParameterFromHost(Quelor::kRelease, 1.0, IValueUnit::kNormalized);
    IRectangle dirty;
    ASSERT_TRUE(panel.CollectDirtyRegion(&dirty));
    EXPECT_EQ(dirty, (IRectangle{100, 105, 148, 153}));
    panel.PaintRegion(dirty);
    RAS_CompositeArea(&expected, background.get(), 0, 0, 100, 105, 48, 48, 1.0f, RAS_OP_COPY);
    RAS_CompositeArea(&expected, knob.get(), 0, 0, 0, 50 * 48, 48, 48, 1.0f,
                      RAS_FLAG_SOURCE_ALPHA);
    EXPECT_EQ(surface[(105 + 24) * 510 + 124], expected.Pixels()[24 * 48 + 24]);
}

// At a scale of its own an art set is copied as it is; between sets the next larger one is
// resampled once, so that a repaint of one knob leaves the pixels a full paint draws.
TEST(EditorPanel, DrawsEveryScaleFromTheArtMadeForIt) {
    for (const double scale : {2.0, 3.0, 1.5}) {
        Quelor effect(&QuelorEditorFactory());
        auto& panel = dynamic_cast<IGraphicsRaster&>(PanelOf(effect));
        panel.SetScale(scale);
        const int width = panel.DeviceWidth();
        const int height = panel.DeviceHeight();
        EXPECT_EQ(width, static_cast<int>(510 * scale + 0.5)) << scale;
        EXPECT_EQ(height, static_cast<int>(370 * scale + 0.5)) << scale;
        panel.PaintRegion({0, 0, 510, 370});
        panel.PaintRegion({0, 0, 510, 370});
        const auto pixel = [&panel, width](int x, int y) {
            return panel.SurfacePixels()[y * width + x];
        };
        if (scale == 2.0 || scale == 3.0) {
            // The "Release" knob: the set's background, then frame 4 of its strip.
            const int set = static_cast<int>(scale);
            const int size = 48 * set;
            RAS_MemBitmap expected(size, size);
            const std::unique_ptr<RAS_IBitmap> background = Image(100 * set), knob = Image(100 * set + 1);
            RAS_CompositeArea(&expected, background.get(), 0, 0, 100 * set, 105 * set, size, size,
                              1.0f, RAS_OP_COPY);
            RAS_CompositeArea(&expected, knob.get(), 0, 0, 0, 3 * size, size, size, 1.0f,
                              RAS_FLAG_SOURCE_ALPHA);
            int differing = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    differing += pixel(100 * set + x, 105 * set + y) != expected.Pixels()[y * size + x];
            EXPECT_EQ(differing, 0) << scale;
            continue;
        }
        effect.SetParameterFromHost(Quelor::kRelease, 1.0, IValueUnit::kNormalized);
        IRectangle dirty;
        ASSERT_TRUE(panel.CollectDirtyRegion(&dirty));
        panel.PaintRegion(dirty);
        const std::vector<uint32_t> repainted(panel.SurfacePixels(),
                                              panel.SurfacePixels() + width * height);
        panel.PaintRegion({0, 0, 510, 370});
        EXPECT_EQ(repainted, std::vector<uint32_t>(panel.SurfacePixels(),
                                                   panel.SurfacePixels() + width * height));
    }
}

// Two seconds of a -6 dBFS sine at threshold -20 and ratio 4: the strip's history reads
// 10.5 dB of gain reduction throughout, and the transfer curve's dot sits at (-6, -16.5).
TEST(EditorPanel, TheStripShowsAKnownSignalAsItIs) {
    Quelor effect(&QuelorEditorFactory());
    OpenLikeHost(effect, 48000, 480);
    SetParameter(effect, Quelor::kThreshold, -20);
    SetParameter(effect, Quelor::kRatio, 4);
    PanelOf(effect);
    auto& editor = dynamic_cast<QuelorEditor&>(*effect.EditorWindow());
    editor.Strip().SetOpen(true);
    EXPECT_EQ(editor.EditorHeight(), 510);
    const double amplitude = std::pow(10.0, -6.0 / 20.0);
    ChannelSet sine(2 * 48000);
    for (std::size_t i = 0; i < sine.Frames(); ++i)
        sine.in[0][i] = sine.in[1][i] =
            amplitude * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / 48000.0);
    Process(effect, sine, {480});
    editor.IdleEditor();

    const LevelTrace& trace = editor.Strip().Trace();
    ASSERT_EQ(trace.Count(), 400u);
    // After the attack's first 10 ms, every point of the two seconds.
    for (uint64_t n = 2; n < trace.Count(); ++n)
        ASSERT_NEAR(20.0 * std::log10(static_cast<double>(trace.At(n).gain)), -10.5, 0.5) << "point " << n;
    const ITransferCurve& curve = editor.Strip().Curve();
    EXPECT_DOUBLE_EQ(curve.OutputFor(-6.0), -16.5);
    EXPECT_NEAR(curve.DotInput(), -6.0, 0.1);
    EXPECT_NEAR(curve.DotOutput(), -16.5, 0.5);

    editor.Strip().SetOpen(false);
    EXPECT_EQ(editor.EditorHeight(), 370);
}

TEST(EditorPanel, MouseEditsReachTheHost) {
    const std::unique_ptr<IEffectVST> plug(MakeQuelorVST(&RecordingHost));
    IEffectBase& effect = plug->Effect();
    IDrawContext& panel = PanelOf(effect);
    AEffect* record = plug->Record();
    record->setParameter(record, Quelor::kThreshold, 0.5f);
    gHostEvents.clear();
    const float start = record->getParameter(record, Quelor::kThreshold);

    // A drag 48 pixels up on "Threshold" adds a quarter of its range.
    panel.MousePressed(54, 214, IMouseKeys{true});
    for (int y = 210; y >= 166; y -= 4)
        panel.MouseDragged(54, y, IMouseKeys{true});
    panel.MouseReleased(54, 166);
    const float end = record->getParameter(record, Quelor::kThreshold);
    EXPECT_NEAR(end - start, 0.25f, 1e-6f);
    ASSERT_GE(gHostEvents.size(), 3u);
    EXPECT_EQ(gHostEvents.front(), (HostEvent{audioMasterBeginEdit, Quelor::kThreshold, 0.0f}));
    EXPECT_EQ(gHostEvents.back(), (HostEvent{audioMasterEndEdit, Quelor::kThreshold, 0.0f}));
    for (std::size_t i = 1; i + 1 < gHostEvents.size(); ++i)
        EXPECT_EQ(gHostEvents[i].opcode, audioMasterAutomate);
    EXPECT_EQ(gHostEvents[gHostEvents.size() - 2].value, end);

    // A click on "Brickwall" steps the switch; the needles ignore the mouse.
    gHostEvents.clear();
    panel.MousePressed(280, 300, IMouseKeys{true});
    panel.MouseReleased(280, 300);
    EXPECT_EQ(effect.ParameterAt(Quelor::kBrickwall)->Value(), Quelor::kBrickwallOn);
    // The press sets the value, yet the host hears of the gesture first.
    EXPECT_EQ(gHostEvents,
              (std::vector<HostEvent>{{audioMasterBeginEdit, Quelor::kBrickwall, 0.0f},
                                      {audioMasterAutomate, Quelor::kBrickwall, 0.0f},
                                      {audioMasterEndEdit, Quelor::kBrickwall, 0.0f}}));
    panel.MousePressed(390, 200, IMouseKeys{true});
    panel.MouseDragged(390, 60, IMouseKeys{true});
    panel.MouseReleased(390, 60);
    EXPECT_EQ(panel.ControlAt(14)->Value(), 0.0);
}

// Parameters that live apart from any processing, as a UI in another process keeps them.
class RemoteParameters final : public IEditorParameters {
public:
    explicit RemoteParameters(const Quelor& table) {
        for (int i = 0; i < table.ParameterCount(); ++i)
            parameters.push_back(*table.ParameterAt(i));
    }
    void BeginParameterEdit(int index) override { log.push_back("begin " + std::to_string(index)); }
    void SetParameterFromEditor(int index, double normalized) override {
        parameters[static_cast<std::size_t>(index)].SetFromNormalized(normalized);
        log.push_back("set " + std::to_string(index));
    }
    void EndParameterEdit(int index) override { log.push_back("end " + std::to_string(index)); }
    const IParameter* DescribeParameter(int index) const override {
        return index >= 0 && index < static_cast<int>(parameters.size())
                   ? &parameters[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    void PanelSizeChanged(int width, int height) override {
        log.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
    }

    std::vector<IParameter> parameters;
    std::vector<std::string> log;
};

TEST(EditorPanel, LaysOutAndEditsWithoutAProcessingInstance) {
    RemoteParameters remote{Quelor()};
    IGraphicsWindow panel(&remote, kQuelorPanelWidth, kQuelorPanelHeight, kQuelorPanelFps,
                          RAS_OwnModule());
    const QuelorMeterControls meters = LayOutQuelorPanel(panel);
    panel.CreateDrawSurface();
    EXPECT_EQ(panel.ControlCount(), 17);
    EXPECT_EQ(meters.led, 13);
    EXPECT_EQ(meters.outNeedle, 16);

    // Values arrive in real units, as a host's port events carry them.
    panel.PushParamToControls(Quelor::kThreshold, -30.0, false);
    EXPECT_EQ(panel.ControlAt(5)->Value(), 0.5);
    panel.MousePressed(54, 214, IMouseKeys{true});
    panel.MouseDragged(54, 166, IMouseKeys{true});
    panel.MouseReleased(54, 166);
    EXPECT_EQ(remote.log, (std::vector<std::string>{"begin 6", "set 6", "end 6"}));
    EXPECT_DOUBLE_EQ(remote.parameters[Quelor::kThreshold].Value(), -15.0);
    panel.ResizeEditor(kQuelorPanelWidth, kQuelorPanelHeight);
    EXPECT_EQ(remote.log.back(), "size 510x370");
}

// A drawing layer with a decoder of its own, so the cache can be watched.
class CountingRaster final : public NoWindowServices<IGraphicsRaster> {
public:
    CountingRaster() : NoWindowServices(nullptr, 16, 16, 60) { CreateDrawSurface(); }

    int decodes = 0;

    RAS_IBitmap* DecodeImageResource(int resourceId, const char*) override {
        ++decodes;
        return resourceId == kMissing ? nullptr : new RAS_MemBitmap(4, 8);
    }
    static constexpr int kMissing = 999;
};

TEST(RasterLayer, ImagesLoadOncePerProcessUntilDropped) {
    CountingRaster first, second;
    const IFrameBitmap a = first.LoadFrameBitmap(900, "a.png", 2);
    const IFrameBitmap b = second.LoadFrameBitmap(900, "other name", 4);
    EXPECT_EQ(a.bitmap, b.bitmap);
    EXPECT_EQ(b.frameCount, 2);
    EXPECT_EQ(first.decodes + second.decodes, 1);

    first.DropBitmap(a);
    const IFrameBitmap again = second.LoadFrameBitmap(900, "a.png", 3);
    EXPECT_EQ(second.decodes, 1);
    EXPECT_EQ(again.frameCount, 3);
    EXPECT_EQ(second.LoadFrameBitmap(900, "a.png", 3).bitmap, again.bitmap);

    // Copies are cached by source and size or rectangle.
    const IFrameBitmap scaled = first.ScaledCopy(again, 8, 16);
    EXPECT_EQ(scaled.width, 8);
    EXPECT_EQ(scaled.frameCount, 3);
    EXPECT_EQ(second.ScaledCopy(again, 8, 16).bitmap, scaled.bitmap);
    EXPECT_NE(first.ScaledCopy(again, 8, 8).bitmap, scaled.bitmap);
    const IFrameBitmap cropped = first.CroppedCopy(again, {1, 2, 3, 6});
    EXPECT_EQ(cropped.height, 4);
    EXPECT_EQ(first.CroppedCopy(again, {1, 2, 3, 6}).bitmap, cropped.bitmap);
}

TEST(RasterLayerDeathTest, AMissingImageStopsTheProcess) {
    CountingRaster raster;
    EXPECT_DEATH(raster.LoadFrameBitmap(CountingRaster::kMissing, "missing.png", 1),
                 "imgResourceFound");
}

// A plain image control for painting with a chosen region.
class Picture final : public IControl {
public:
    Picture(const IFrameBitmap& image, int x, int y)
        : IControl({x, y, x + image.width, y + image.height}, -1, {}), bitmap(image) {}
    void Render(IDrawContext& context) override {
        context.DrawFrame(bitmap, Rect(), 1, &Blend());
    }

private:
    IFrameBitmap bitmap;
};

TEST(RasterLayer, BlitsAreClippedToThePaintRegion) {
    auto image = std::make_unique<RAS_MemBitmap>(8, 8);
    for (int i = 0; i < 64; ++i)
        image->Pixels()[i] = 0xFF000000u | static_cast<uint32_t>(i);
    const IFrameBitmap picture{image.get(), 8, 8, 1};
    const IDrawColor clear{255, 1, 2, 3};
    const uint32_t cleared = 0xFF010203u;

    CountingRaster full, part;
    for (CountingRaster* raster : {&full, &part}) {
        raster->FillRectangle(clear, {0, 0, 16, 16}, nullptr);
        raster->AppendControl(new Picture(picture, 4, 4));
    }
    full.PaintRegion({0, 0, 16, 16});
    part.PaintRegion({7, 9, 10, 16});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 7 && x < 10 && y >= 9;
            EXPECT_EQ(part.SurfacePixels()[y * 16 + x],
                      inside ? full.SurfacePixels()[y * 16 + x] : cleared)
                << x << "," << y;
        }
    }
    // Outside a paint pass the region is empty: nothing drawn, still a success.
    EXPECT_TRUE(part.BlitBitmap(picture, {0, 0, 8, 8}, 0, 0, nullptr));
    EXPECT_EQ(part.SurfacePixels()[0], cleared);
}
