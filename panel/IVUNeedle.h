#pragma once

#include "IControl.h"

// A meter needle: a vertical fader that the effect moves and the mouse cannot.
class IVUNeedle final : public IFaderControl {
public:
    static constexpr int kTop = 33;
    static constexpr int kTrackLength = 298;

    IVUNeedle(int x, const IFrameBitmap& needle)
        : IFaderControl(x, kTop, kTrackLength, -1, needle, kVertical) {}

    void MousePressed(int, int, const IMouseKeys&) override {}
    void MouseDragged(int, int, int, int, const IMouseKeys&) override {}
};
