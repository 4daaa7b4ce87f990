// The panel's paint work on the editor thread, without a window: a full paint, and one
// frame of the open panel while audio plays (the refresh's readings, the dirty region and
// its paint), at 1x and 2x, with the history strip closed and open. At 60 frames a second
// an idle frame of t ns costs t * 6e-6 % of one core.
#include "DemoSignal.h"
#include "EffectTestSupport.h"
#include "IGraphicsRaster.h"
#include "Quelor.h"
#include "QuelorEditor.h"
#include "QuelorEditorFactory.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {
constexpr double kRate = 48000.0;
constexpr int kFrameSamples = 800; // one 60 Hz frame of audio

struct OpenPanel {
    explicit OpenPanel(const benchmark::State& state) : effect(&QuelorEditorFactory()) {
        OpenLikeHost(effect, kRate, kFrameSamples);
        SetParameter(effect, Quelor::kThreshold, -30);
        effect.EnsureEditor();
        editor = dynamic_cast<QuelorEditor*>(effect.EditorWindow());
        editor->SetScale(static_cast<double>(state.range(0)));
        editor->Strip().SetOpen(state.range(1) != 0);
    }
    // The next frame of the demo loop, so that the meters keep moving.
    void PlayOneFrame() {
        for (std::size_t i = 0; i < audio.Frames(); ++i, ++played) {
            audio.in[0][i] = demo.left[played % demo.left.size()];
            audio.in[1][i] = demo.right[played % demo.right.size()];
        }
        Process(effect, audio, {kFrameSamples});
    }
    void Paint() { editor->PaintRegion({0, 0, editor->Width(), editor->Height()}); }

    Quelor effect;
    QuelorEditor* editor = nullptr;
    const StereoSignal demo = MakeDemoSignal(kRate, 4.0);
    ChannelSet audio{kFrameSamples};
    std::size_t played = 0;
};

void BM_PanelFullPaint(benchmark::State& state) {
    OpenPanel panel(state);
    panel.PlayOneFrame();
    panel.editor->TakeReadings();
    for (auto _ : state) {
        panel.editor->MarkAllControlsDirty();
        panel.Paint();
    }
}

void BM_PanelIdleFrame(benchmark::State& state) {
    OpenPanel panel(state);
    panel.Paint();
    for (auto _ : state) {
        state.PauseTiming();
        panel.PlayOneFrame();
        state.ResumeTiming();
        // As the window's refresh does it.
        panel.editor->TakeReadings();
        IRectangle dirty[4];
        const int regions = panel.editor->CollectDirtyRegions(dirty, 4);
        for (int i = 0; i < regions; ++i)
            panel.editor->PaintRegion(dirty[i]);
    }
}
} // namespace

BENCHMARK(BM_PanelFullPaint)->ArgNames({"scale", "strip"})->ArgsProduct({{1, 2}, {0, 1}});
BENCHMARK(BM_PanelIdleFrame)->ArgNames({"scale", "strip"})->ArgsProduct({{1, 2}, {0, 1}});
