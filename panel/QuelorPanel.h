#pragma once

class IDrawContext;

// The Quelor panel's size and redraw rate.
constexpr int kQuelorPanelWidth = 510;
constexpr int kQuelorPanelHeight = 370;
constexpr int kQuelorPanelFps = 60;

// Where the meters show: control indices on the laid-out panel.
struct QuelorMeterControls {
    int led;
    int inNeedle;
    int grNeedle;
    int outNeedle;
};

// Lays the panel out on any drawing context, whatever carries its parameters:
// background, nine knobs, three switches, the brickwall LED and three needles.
QuelorMeterControls LayOutQuelorPanel(IDrawContext& panel);
