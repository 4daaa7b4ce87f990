#include "QuelorStrip.h"

#include "IEditorParameters.h"
#include "IGraphicsRaster.h"
#include "IParameter.h"
#include "Quelor.h"
#include "QuelorPanel.h"
#include "raster/RAS_Composite.h"
#include "raster/RAS_Draw.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kFloorDb = -48.0;
constexpr double kUnitsPerDb = 2.25;
// The ratio the knob's end stands for: no output above the threshold.
constexpr double kInfiniteRatio = 30.0;

// The strip's plots, in panel units (the art draws their frames and scales).
constexpr IRectangle kHistoryPlot{44, kQuelorPanelHeight + 14, 335, kQuelorPanelHeight + 123};
constexpr IRectangle kTransferPlot{380, kQuelorPanelHeight + 14, 489, kQuelorPanelHeight + 123};

// The legend's colours: IN, OUT, GR and the brickwall's accent.
constexpr RAS_Pixel32 kInputArea = 0x408A8E96;
constexpr RAS_Pixel32 kOutputLine = 0xFFD4D6DA;
constexpr RAS_Pixel32 kGainLine = 0xFF60B2E8;
constexpr RAS_Pixel32 kLimiterLine = 0xFFF0A638;
constexpr IDrawColor kCurve{255, 212, 214, 218};
constexpr IDrawColor kSecondLine{28, 212, 214, 218};
// A column of the history's art that no grid line crosses.
constexpr int kGroundColumn = kHistoryPlot.L + 10;

// colour, with its alpha, over an opaque pixel.
RAS_Pixel32 Over(RAS_Pixel32 below, RAS_Pixel32 colour) {
    const uint32_t a = colour >> 24;
    RAS_Pixel32 mixed = 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t b = (below >> shift) & 0xFF, c = (colour >> shift) & 0xFF;
        mixed |= ((b * (255 - a) + c * a + 127) / 255) << shift;
    }
    return mixed;
}
constexpr IDrawColor kDot{255, 240, 166, 56};

double Decibels(double linear) {
    return 20.0 * std::log10(std::max(linear, 1e-9));
}

// Units below the plot's top where a level stands.
double UnitsFor(double db) {
    return std::clamp(-db, 0.0, -kFloorDb) * kUnitsPerDb;
}

// The part of the segment inside the box, by Liang and Barsky; false when none is.
bool ClipToBox(double box[4], double& x0, double& y0, double& x1, double& y1) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - box[0], box[2] - x0, y0 - box[1], box[3] - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return false;
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}
} // namespace

// The history.

IHistoryGraph::IHistoryGraph(const IRectangle& plot, const LevelTrace& levels,
                             const IFrameBitmap& art, const IRectangle& placed)
    : IControl(plot, -1, {kDrawBlendCopy, 1.0f}), trace(levels), strip(art), stripRect(placed) {}

void IHistoryGraph::TakeGround(IGraphicsRaster& panel) {
    const RAS_IBitmap* art = panel.DeviceImage(strip, stripRect);
    const int height = traces.PixelHeight();
    ground.assign(static_cast<std::size_t>(height), 0xFF000000);
    if (!art || !art->Pixels())
        return;
    const int x = panel.ToDevice(kGroundColumn) - panel.ToDevice(stripRect.L);
    const int top = panel.ToDevice(Rect().T) - panel.ToDevice(stripRect.T);
    for (int y = 0; y < height; ++y)
        if (x >= 0 && x < art->PixelWidth() && top + y >= 0 && top + y < art->PixelHeight())
            ground[static_cast<std::size_t>(y)] =
                art->Pixels()[static_cast<std::ptrdiff_t>(top + y) * art->StridePixels() + x];
}

IHistoryGraph::Column IHistoryGraph::ColumnAt(uint64_t column) const {
    const auto width = static_cast<uint64_t>(traces.PixelWidth());
    const uint64_t first = column * LevelTrace::kPoints / width;
    const uint64_t end = std::max(first + 1, (column + 1) * LevelTrace::kPoints / width);
    LevelPoint peak{0.0f, 0.0f, 1.0f, 1.0f};
    for (uint64_t n = first; n < end; ++n) {
        const LevelPoint p = trace.At(n);
        peak.input = std::max(peak.input, p.input);
        peak.output = std::max(peak.output, p.output);
        peak.gain = std::min(peak.gain, p.gain);
        peak.limiter = std::min(peak.limiter, p.limiter);
    }
    return {RowFor(Decibels(peak.input)), RowFor(Decibels(peak.output)),
            RowFor(Decibels(peak.gain)), RowFor(Decibels(peak.limiter)), peak.limiter < 0.999f};
}

int IHistoryGraph::RowFor(double db) const {
    return std::min(traces.PixelHeight() - 1, static_cast<int>(std::lround(UnitsFor(db) * scale)));
}

void IHistoryGraph::DrawSpan(int x, int from, int to, RAS_Pixel32 colour) {
    const int top = std::min(from, to);
    const int bottom = std::min(std::max(from, to) + thickness, traces.PixelHeight());
    for (int y = top; y < bottom; ++y)
        traces.Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(traces.PixelWidth()) +
                        static_cast<std::size_t>(x)] = colour;
}

void IHistoryGraph::DrawColumn(int x, const Column& column, const Column& before) {
    const int height = traces.PixelHeight();
    const auto width = static_cast<std::size_t>(traces.PixelWidth());
    for (int y = 0; y < height; ++y) {
        const RAS_Pixel32 below = ground[static_cast<std::size_t>(y)];
        traces.Pixels()[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] =
            y >= column.input ? Over(below, kInputArea) : below;
    }
    DrawSpan(x, before.output, column.output, kOutputLine);
    DrawSpan(x, before.gain, column.gain, kGainLine);
    if (column.limiting)
        DrawSpan(x, before.limiting ? before.limiter : 0, column.limiter, kLimiterLine);
}

void IHistoryGraph::Advance(IGraphicsRaster& panel) {
    const IRectangle device = panel.ToDevice(Rect());
    const int width = device.Width();
    const int height = device.Height();
    const uint64_t complete = trace.Count() * static_cast<uint64_t>(width) / LevelTrace::kPoints;
    const bool whole =
        panel.Scale() != scale || traces.PixelWidth() != width || traces.PixelHeight() != height;
    if (!whole && complete == shown)
        return;
    // The picture is a ring of columns: column c stands at c modulo the width, and
    // Render shows it from the oldest on; a new point only draws its columns.
    uint64_t from = shown;
    if (whole || complete - shown >= static_cast<uint64_t>(width)) {
        if (whole) {
            scale = panel.Scale();
            thickness = std::max(1, static_cast<int>(std::lround(scale)));
            traces.SetSize(width, height);
            TakeGround(panel);
        }
        from = complete > static_cast<uint64_t>(width) ? complete - static_cast<uint64_t>(width) : 0;
        // Before the first point there was silence, drawn as a point of silence is: on the
        // floor, which at 1.5x and 2x lies a row or two above the plot's last.
        const Column silent{RowFor(kFloorDb), RowFor(kFloorDb), RowFor(0.0), RowFor(0.0), false};
        for (uint64_t c = complete; c < from + static_cast<uint64_t>(width); ++c)
            DrawColumn(static_cast<int>(c % static_cast<uint64_t>(width)), silent, silent);
        newest = complete < static_cast<uint64_t>(width) ? silent : ColumnAt(from);
    }
    for (uint64_t c = from; c < complete; ++c) {
        const Column column = ColumnAt(c);
        DrawColumn(static_cast<int>(c % static_cast<uint64_t>(width)), column, newest);
        newest = column;
    }
    shown = complete;
    MarkDirty(false);
}

void IHistoryGraph::Render(IDrawContext& context) {
    auto* raster = dynamic_cast<IGraphicsRaster*>(&context);
    if (!raster || !traces.Pixels())
        return;
    // The oldest column first: the ring from the newest's right, then from its start.
    const IRectangle device = raster->ToDevice(Rect());
    const int width = traces.PixelWidth();
    const int oldest = static_cast<int>(shown % static_cast<uint64_t>(width));
    raster->BlitDeviceArea(traces, device.L, device.T, oldest, 0, width - oldest,
                           traces.PixelHeight(), &Blend());
    raster->BlitDeviceArea(traces, device.L + width - oldest, device.T, 0, 0, oldest,
                           traces.PixelHeight(), &Blend());
    // The seconds stand still while the graph moves under them.
    const IRectangle& r = Rect();
    for (int second = 1; second < 6; ++second) {
        const int x = r.L + (r.Width() - 1) * second / 6;
        context.FillRectangle(kSecondLine, {x, r.T, x + 1, r.B}, nullptr);
    }
}

// The transfer curve.

ITransferCurve::ITransferCurve(const IRectangle& plot, const LevelTrace& levels,
                               const IFrameBitmap& art, const IRectangle& placed)
    : IControl(plot, -1, {kDrawBlendCopy, 1.0f}), trace(levels), strip(art), stripRect(placed) {}

double ITransferCurve::OutputFor(double inputDb) const {
    const double above = inputDb - threshold;
    const double compressed =
        above <= 0.0 ? inputDb : threshold + (ratio >= kInfiniteRatio ? 0.0 : above / ratio);
    return compressed + makeup;
}

void ITransferCurve::Follow(const IEditorParameters& parameters) {
    const auto current = [&parameters](int index) {
        const IParameter* parameter = parameters.DescribeParameter(index);
        return parameter ? parameter->Value() : 0.0;
    };
    const LevelPoint newest = trace.Count() > 0 ? trace.At(trace.Count() - 1) : LevelPoint{};
    const double t = current(Quelor::kThreshold), r = std::max(1.0, current(Quelor::kRatio)),
                 g = current(Quelor::kGain);
    const double in = std::max(Decibels(newest.input), kFloorDb),
                 out = std::max(Decibels(newest.output), kFloorDb);
    if (t == threshold && r == ratio && g == makeup && in == dotInput && out == dotOutput)
        return;
    curveMoved = curveMoved || t != threshold || r != ratio || g != makeup;
    threshold = t;
    ratio = r;
    makeup = g;
    dotInput = in;
    dotOutput = out;
    MarkDirty(false);
}

IRectangle ITransferCurve::DotRect() const {
    const IRectangle& r = Rect();
    const auto x = static_cast<int>(std::lround(r.L + (dotInput - kFloorDb) * kUnitsPerDb));
    const auto y = static_cast<int>(std::lround(r.T + UnitsFor(dotOutput)));
    return IRectangle{x - 2, y - 2, x + 2, y + 2}.Intersection(r);
}

IRectangle ITransferCurve::DirtyRect() const {
    return curveMoved || drawnDot.Empty() ? Rect() : drawnDot.Union(DotRect());
}

void ITransferCurve::DrawCurve(IGraphicsRaster& panel) {
    const IRectangle device = panel.ToDevice(Rect());
    picture.SetSize(device.Width(), device.Height());
    if (const RAS_IBitmap* art = panel.DeviceImage(strip, stripRect))
        RAS_CompositeArea(&picture, art, 0, 0, device.L - panel.ToDevice(stripRect.L),
                          device.T - panel.ToDevice(stripRect.T), device.Width(), device.Height(),
                          1.0f, RAS_OP_COPY);
    const IRectangle& r = Rect();
    double box[4] = {static_cast<double>(r.L), static_cast<double>(r.T),
                     static_cast<double>(r.R - 1), static_cast<double>(r.B - 1)};
    const double scale = panel.Scale();
    const auto local = [&](double units, int origin) {
        return static_cast<float>(units * scale - origin);
    };
    // Straight below the threshold and straight above it: two segments draw it exactly.
    const double knee = std::clamp(threshold, kFloorDb, 0.0);
    const double ends[3] = {kFloorDb, knee, 0.0};
    for (int i = 0; i < 2; ++i) {
        double x0 = r.L + (ends[i] - kFloorDb) * kUnitsPerDb;
        double x1 = r.L + (ends[i + 1] - kFloorDb) * kUnitsPerDb;
        double y0 = r.T - OutputFor(ends[i]) * kUnitsPerDb;
        double y1 = r.T - OutputFor(ends[i + 1]) * kUnitsPerDb;
        if (ClipToBox(box, x0, y0, x1, y1))
            RAS_DrawSegment(&picture, local(x0, device.L), local(y0, device.T),
                            local(x1, device.L), local(y1, device.T),
                            IGraphicsRaster::PixelFor(kCurve), 1.0f,
                            IGraphicsRaster::ModeFor(nullptr), true);
    }
    pictureScale = scale;
    curveMoved = false;
}

void ITransferCurve::Render(IDrawContext& context) {
    auto* raster = dynamic_cast<IGraphicsRaster*>(&context);
    if (!raster)
        return;
    if (curveMoved || pictureScale != raster->Scale())
        DrawCurve(*raster);
    raster->BlitDevice(picture, Rect(), &Blend());
    drawnDot = DotRect();
    context.FillRectangle(kDot, drawnDot, nullptr);
}

// The button and the strip.

void IStripButton::MousePressed(int, int, const IMouseKeys& keys) {
    if (keys.left)
        strip.SetOpen(!strip.IsOpen());
}

QuelorStrip::QuelorStrip(IGraphicsRaster& layout) : panel(layout) {
    button = new IStripButton(262, 332, panel.LoadFrameBitmap(107, "img/strip_button.png", 2),
                              *this);
    panel.AppendControl(button);
    background = new IBitmapControl(0, kQuelorPanelHeight, -1,
                                    panel.LoadFrameBitmap(106, "img/strip.png", 1), kDrawBlendCopy);
    panel.AppendControl(background);
    const IFrameBitmap stripArt = panel.LoadFrameBitmap(106, "img/strip.png", 1);
    history = new IHistoryGraph(kHistoryPlot, trace, stripArt, background->Rect());
    panel.AppendControl(history);
    curve = new ITransferCurve(kTransferPlot, trace, stripArt, background->Rect());
    panel.AppendControl(curve);
    for (IControl* control : {background, static_cast<IControl*>(history),
                              static_cast<IControl*>(curve)})
        control->SetHidden(true);
}

void QuelorStrip::SetOpen(bool wanted) {
    if (wanted == open)
        return;
    open = wanted;
    button->ApplyValueFromPlug(open ? 1.0 : 0.0);
    for (IControl* control : {background, static_cast<IControl*>(history),
                              static_cast<IControl*>(curve)})
        control->SetHidden(!open);
    panel.SetPanelSize(kQuelorPanelWidth,
                       kQuelorPanelHeight + (open ? kQuelorStripHeight : 0));
    Refresh();
}

void QuelorStrip::Follow(const LevelHistory& levels) {
    trace.Follow(levels);
    Refresh();
}

void QuelorStrip::Hold(const LevelPoint& reading, int points) {
    trace.Hold(reading, points);
    Refresh();
}

// Cheap when nothing moved: the graph only compares its columns and scale.
void QuelorStrip::Refresh() {
    if (!open)
        return;
    history->Advance(panel);
    if (const IEditorParameters* parameters = panel.Parameters())
        curve->Follow(*parameters);
}
