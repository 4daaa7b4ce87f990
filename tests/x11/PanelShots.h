#pragma once

// The scales and strip states each format's editor is shown at under a test host, and
// the picture it must show then: the panel as quelor-snapshot paints it, with no audio
// run, so that the strip's graphs stand at silence.

#include "PanelScale.h"
#include "Quelor.h"
#include "QuelorEditor.h"
#include "QuelorEditorFactory.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib defines None as a macro.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

struct PanelShot {
    double scale;
    bool strip;

    int Width() const { return PanelScale::Pixels(kQuelorPanelWidth, scale); }
    int Height() const {
        return PanelScale::Pixels(kQuelorPanelHeight + (strip ? kQuelorStripHeight : 0), scale);
    }
    int At(int units) const { return PanelScale::Pixels(units, scale); }
    // A click through XTEST on the HISTORY button of an editor window at the root's origin.
    void ClickButton(Display* dpy) const {
        XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), At(295), At(340), CurrentTime);
        XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
        XSync(dpy, False);
    }
    friend std::ostream& operator<<(std::ostream& out, const PanelShot& shot) {
        return out << shot.scale << "x" << (shot.strip ? " with the strip" : "");
    }
};

inline constexpr PanelShot kPanelShots[] = {{1.0, false}, {1.0, true},  {1.5, false},
                                            {1.5, true},  {2.0, false}, {2.0, true}};

// normalized(i): parameter i's normalized value; the defaults where none is given.
inline std::vector<uint32_t> SnapshotPanel(const PanelShot& shot,
                                           const std::function<double(int)>& normalized = {}) {
    Quelor effect(&QuelorEditorFactory());
    for (int i = 0; normalized && i < Quelor::kParameterCount; ++i)
        effect.SetParameterFromHost(i, normalized(i), IValueUnit::kNormalized);
    effect.EnsureEditor();
    auto& panel = dynamic_cast<QuelorEditor&>(*effect.Editor());
    panel.SetScale(shot.scale);
    panel.Strip().SetOpen(shot.strip);
    panel.TakeReadings();
    panel.PaintRegion({0, 0, panel.Width(), panel.Height()});
    const uint32_t* surface = panel.SurfacePixels();
    std::vector<uint32_t> pixels(surface, surface + panel.DeviceWidth() * panel.DeviceHeight());
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

// Pixels that differ; -1 when the sizes do.
inline int Differing(const std::vector<uint32_t>& shown, const std::vector<uint32_t>& expected) {
    if (shown.size() != expected.size())
        return -1;
    int count = 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
        count += shown[i] != expected[i];
    return count;
}
