#pragma once

#include "IEditorWindow.h"
#include "IEffectParameters.h"
#include "IGraphicsWindow.h"
#include "Quelor.h"
#include "QuelorPanel.h"
#include "QuelorStrip.h"

#include <cstdint>

// The Quelor panel in the plug-in's own binary: the editor window over the effect's own
// parameters, with the size and window a host adapter asks for. The parameter link is the
// first base, so it is whole before the drawing context that uses it. Its needles and LED
// follow the meters the effect stores after each block, and its strip the effect's level
// history, taken when the panel refreshes.
class QuelorEditor final : private IEffectParameters,
                           public IGraphicsWindow,
                           public IEditorWindow {
public:
    QuelorEditor(Quelor& effect, int panelWidth, int panelHeight, int framesPerSecond,
                 RAS_ModuleHandle images)
        : IEffectParameters(effect),
          IGraphicsWindow(this, panelWidth, panelHeight, framesPerSecond, images), metered(effect),
          meters(LayOutQuelorPanel(*this)), shownBlocks(effect.MeteredBlocks()), strip(*this) {}

    int EditorWidth() const override { return Width(); }
    int EditorHeight() const override { return Height(); }
    void SetEditorScale(double wanted, bool chosen) override { SetWindowScale(wanted, chosen); }
    double EditorScale() const override { return Scale(); }
    // Bit 0: the history strip is open.
    uint32_t EditorOptions() const override { return strip.IsOpen() ? kStripOpen : 0; }
    void SetEditorOptions(uint32_t options) override { strip.SetOpen((options & kStripOpen) != 0); }
    void* OpenEditorWindow(void* parentWindow) override {
        return IGraphicsWindow::OpenEditorWindow(parentWindow);
    }
    void CloseEditorWindow() override { IGraphicsWindow::CloseEditorWindow(); }
    void IdleEditor() override { EditorIdle(); }
    int EventDescriptor() const override { return IGraphicsWindow::EventDescriptor(); }

    // UI thread. The needles and the LED move only when a block has run since they last
    // did, so that they hold their place while nothing plays.
    void TakeReadings() override {
        strip.Follow(metered.History());
        const uint32_t blocks = metered.MeteredBlocks();
        if (blocks == shownBlocks)
            return;
        shownBlocks = blocks;
        const Quelor::NeedlePositions needles = metered.Needles();
        SetControlValue(meters.led, needles.led);
        SetControlValue(meters.grNeedle, needles.gr);
        SetControlValue(meters.inNeedle, needles.in);
        SetControlValue(meters.outNeedle, needles.out);
    }

    QuelorStrip& Strip() { return strip; }

private:
    static constexpr uint32_t kStripOpen = 1;

    const Quelor& metered;
    QuelorMeterControls meters;
    uint32_t shownBlocks;
    QuelorStrip strip;
};
