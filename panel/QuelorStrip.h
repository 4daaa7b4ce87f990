#pragma once

#include "IControl.h"
#include "LevelTrace.h"
#include "raster/RAS_Bitmap.h"

#include <vector>

class IGraphicsRaster;
class QuelorStrip;

// The strip below the panel, in panel units: 510 x 140 under the 510 x 370 panel. Its
// graphs put levels on one scale, 0 dB at the top down to -48 dB, 2.25 units a dB.
constexpr int kQuelorStripHeight = 140;

// The last six seconds, newest at the right: the input as an area, the output, the
// compressor's gain and the brickwall's gain as traces. The graph is a picture of its own
// at the device's resolution, the strip art's plain ground under the traces: new points
// move it left and add columns at its right, so it is drawn whole only after a change of
// scale or a gap, and each refresh copies it as it stands.
class IHistoryGraph final : public IControl {
public:
    // strip: the art the graph lies on, placed at stripRect.
    IHistoryGraph(const IRectangle& rect, const LevelTrace& trace, const IFrameBitmap& strip,
                  const IRectangle& stripRect);
    void MousePressed(int, int, const IMouseKeys&) override {}
    void Render(IDrawContext& context) override;
    bool IsOpaque() const override { return traces.Pixels() != nullptr; }
    // UI thread, once the trace took new points.
    void Advance(IGraphicsRaster& panel);

private:
    // Rows, from the top of the graph, where a column's levels stand.
    struct Column {
        int input;
        int output;
        int gain;
        int limiter;
        bool limiting;
    };
    Column ColumnAt(uint64_t column) const;
    // The row a level in dB stands at, the floor's at the bottom.
    int RowFor(double db) const;
    void DrawColumn(int x, const Column& column, const Column& before);
    void DrawSpan(int x, int from, int to, RAS_Pixel32 colour);

    // The art's ground under one column of the graph, where no grid line crosses it.
    void TakeGround(IGraphicsRaster& panel);

    const LevelTrace& trace;
    IFrameBitmap strip;
    IRectangle stripRect;
    std::vector<RAS_Pixel32> ground;
    RAS_MemBitmap traces;
    double scale = 0.0;
    int thickness = 1;
    uint64_t shown = 0; // the columns drawn, counted from the first
    Column newest{};
};

// Input level to output level as threshold, ratio and make-up gain make it, hard-kneed,
// Ratio 30 as infinite; the newest point's input and output levels as a dot on it. The
// curve on the strip art's ground is a picture of its own, made again when the curve or
// the scale changes; a moving dot redraws only where it was and where it is.
class ITransferCurve final : public IControl {
public:
    ITransferCurve(const IRectangle& rect, const LevelTrace& trace, const IFrameBitmap& strip,
                   const IRectangle& stripRect);
    void MousePressed(int, int, const IMouseKeys&) override {}
    void Render(IDrawContext& context) override;
    IRectangle DirtyRect() const override;
    bool IsOpaque() const override { return true; }
    // UI thread: marked for drawing when the curve or the dot moved.
    void Follow(const IEditorParameters& parameters);

    // Where the dot stands, in dB; the curve's output for an input, in dB.
    double DotInput() const { return dotInput; }
    double DotOutput() const { return dotOutput; }
    double OutputFor(double inputDb) const;

private:
    IRectangle DotRect() const;
    void DrawCurve(IGraphicsRaster& panel);

    const LevelTrace& trace;
    IFrameBitmap strip;
    IRectangle stripRect;
    RAS_MemBitmap picture;
    double pictureScale = 0.0;
    bool curveMoved = true;
    IRectangle drawnDot;
    double threshold = 0.0;
    double ratio = 1.0;
    double makeup = 0.0;
    double dotInput = -48.0;
    double dotOutput = -48.0;
};

// The HISTORY button on the panel: opens and closes the strip.
class IStripButton final : public IBitmapControl {
public:
    IStripButton(int x, int y, const IFrameBitmap& image, QuelorStrip& opened)
        : IBitmapControl(x, y, -1, image, kDrawBlendAlpha), strip(opened) {}
    void MousePressed(int x, int y, const IMouseKeys& keys) override;
    void MouseDoubleClicked(int x, int y, const IMouseKeys& keys) override {
        MousePressed(x, y, keys);
    }

private:
    QuelorStrip& strip;
};

// The strip and its button on a laid-out panel. Closed, the panel is as it was; open, it
// is 140 units taller, the window grows through the host, and the graphs follow the
// levels. UI thread.
class QuelorStrip {
public:
    // Appends the button and the strip's controls, closed.
    explicit QuelorStrip(IGraphicsRaster& panel);
    QuelorStrip(const QuelorStrip&) = delete;
    QuelorStrip& operator=(const QuelorStrip&) = delete;

    void SetOpen(bool open);
    bool IsOpen() const { return open; }
    // On each refresh: the effect's new points (the panel in the effect's binary), or a
    // reading that stood for points (a panel fed by ports).
    void Follow(const LevelHistory& history);
    void Hold(const LevelPoint& reading, int points);

    const ITransferCurve& Curve() const { return *curve; }
    const LevelTrace& Trace() const { return trace; }

private:
    void Refresh();

    IGraphicsRaster& panel;
    LevelTrace trace;
    IStripButton* button;
    IControl* background;
    IHistoryGraph* history;
    ITransferCurve* curve;
    bool open = false;
};
