#include "RenderPlot.h"

#include "PanelPicture.h"
#include "TextRenderer.h"

#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Composite.h"
#include "raster/RAS_Draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace {
constexpr RAS_Pixel32 kBackground = 0xFF16181D;
constexpr RAS_Pixel32 kPanel = 0xFF20242C;
constexpr RAS_Pixel32 kGrid = 0xFF363C48;
constexpr RAS_Pixel32 kInput = 0xFF4FA3E0;
constexpr RAS_Pixel32 kOutput = 0xFFF0A040;
constexpr RAS_Pixel32 kGain = 0xFFE05A5A;
constexpr IDrawColor kText{255, 0xD4, 0xD8, 0xE0};
constexpr int kLeft = 72;
constexpr int kRight = 24;
constexpr int kTop = 44;
constexpr int kBottom = 48;
constexpr int kGap = 28;
constexpr double kLevelFloorDb = -60.0;
constexpr double kQuietestInputDb = -60.0;
constexpr double kLevelStepDb = 12.0;
constexpr double kShadeAlpha = 0.3;
constexpr double kSmoothSeconds = 0.02;

struct Area {
    int x, y, width, height;
    float Y(double value, double low, double high) const {
        const double f = std::clamp((value - low) / (high - low), 0.0, 1.0);
        return static_cast<float>(y + height - 1) - static_cast<float>(f * (height - 1));
    }
};

double PowerDb(double squares, uint64_t samples) {
    return samples ? 10.0 * std::log10(std::max(squares / static_cast<double>(samples), 1e-20))
                   : -200.0;
}

// The trace's columns that fall on each pixel column, summed.
std::vector<LevelTrace::Column> PerPixel(const LevelTrace& trace, int width) {
    const auto& columns = trace.Columns();
    std::vector<LevelTrace::Column> pixels(static_cast<std::size_t>(width));
    if (columns.empty())
        return pixels;
    const double perPixel =
        static_cast<double>(trace.Frames()) / width / static_cast<double>(trace.Span());
    for (std::size_t x = 0; x < pixels.size(); ++x) {
        auto first = static_cast<std::size_t>(static_cast<double>(x) * perPixel);
        auto last = static_cast<std::size_t>(static_cast<double>(x + 1) * perPixel);
        first = std::min(first, columns.size() - 1);
        last = std::clamp(last, first + 1, columns.size());
        LevelTrace::Column& p = pixels[x];
        for (std::size_t c = first; c < last; ++c) {
            p.inSquares += columns[c].inSquares;
            p.outSquares += columns[c].outSquares;
            p.inPeak = std::max(p.inPeak, columns[c].inPeak);
            p.outPeak = std::max(p.outPeak, columns[c].outPeak);
            p.samples += columns[c].samples;
        }
    }
    return pixels;
}

std::optional<double> GainDb(const LevelTrace::Column& c) {
    if (!c.samples || PowerDb(c.inSquares, c.samples) < kQuietestInputDb)
        return std::nullopt;
    return PowerDb(c.outSquares, c.samples) - PowerDb(c.inSquares, c.samples);
}

// A tick step from 1-2-5 steps (and minutes) that gives at most `most` ticks over span.
double TickStep(double span, int most, bool time) {
    const double steps[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,    2,    5,    10,   15,
                            30,   60,   120,  300, 600, 900, 1800, 3600, 7200, 18000};
    const double db[] = {0.5, 1, 2, 3, 6, 12, 24, 48};
    if (time) {
        for (double s : steps)
            if (span / s <= most)
                return s;
        return span;
    }
    for (double s : db)
        if (span / s <= most)
            return s;
    return span;
}

std::string TimeLabel(double seconds, double step) {
    char text[32];
    const auto whole = static_cast<long>(std::lround(seconds));
    if (step < 1.0)
        std::snprintf(text, sizeof text, "%.*f s", step < 0.1 ? 2 : 1, seconds);
    else if (whole < 60 && step < 60.0)
        std::snprintf(text, sizeof text, "%ld s", whole);
    else if (whole < 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    return text;
}

std::string DbLabel(double db, bool signedZero) {
    char text[16];
    if (std::fabs(db) < 1e-9)
        return "0";
    std::snprintf(text, sizeof text, signedZero ? "%+g" : "%g", db);
    return text;
}

class Painter {
public:
    Painter(RAS_IBitmap& b, TextRenderer& t) : bitmap(b), text(t) {}

    void Fill(int x, int y, int w, int h, RAS_Pixel32 colour, float alpha = 1.0f) {
        RAS_FillArea(&bitmap, x, y, w, h, colour, alpha, RAS_OP_COPY);
    }
    void Line(float x1, float y1, float x2, float y2, RAS_Pixel32 colour) {
        RAS_DrawSegment(&bitmap, x1, y1, x2, y2, colour, 1.0f, RAS_OP_COPY, true);
    }
    void Text(const std::string& words, int x, int y, int width, int alignment, int size = 13,
              int orientation = 0) {
        ITextStyle style;
        style.size = size;
        style.colour = kText;
        style.alignment = alignment;
        style.orientation = orientation;
        drawn = text.Draw(bitmap, style, words.c_str(), {x, y, x + width, y + size + 4}) && drawn;
    }
    int LineHeight(int size) {
        ITextStyle style;
        style.size = size;
        return text.LineHeight(style);
    }
    bool Drawn() const { return drawn; }

private:
    RAS_IBitmap& bitmap;
    TextRenderer& text;
    bool drawn = true;
};

// Horizontal grid lines with labels at every step from low to high.
void DecibelAxis(Painter& paint, const Area& area, double low, double high, double step,
                 bool signedZero) {
    for (double db = std::ceil(low / step) * step; db <= high + 1e-9; db += step) {
        const float y = area.Y(db, low, high);
        paint.Line(static_cast<float>(area.x), y, static_cast<float>(area.x + area.width - 1), y,
                   kGrid);
        paint.Text(DbLabel(db, signedZero), area.x - 48, static_cast<int>(y) - 8, 42, 2);
    }
}

// Mean squares over at least kSmoothSeconds around each pixel, so that a short
// render's lines do not shake with every cycle of its waveform.
std::vector<LevelTrace::Column> Smoothed(const std::vector<LevelTrace::Column>& pixels,
                                         double secondsPerPixel) {
    const auto reach = static_cast<std::size_t>(std::ceil(0.5 * kSmoothSeconds / secondsPerPixel));
    std::vector<LevelTrace::Column> smooth(pixels.size());
    for (std::size_t x = 0; x < pixels.size(); ++x) {
        const std::size_t first = x > reach ? x - reach : 0;
        const std::size_t last = std::min(pixels.size(), x + reach + 1);
        for (std::size_t i = first; i < last; ++i) {
            smooth[x].inSquares += pixels[i].inSquares;
            smooth[x].outSquares += pixels[i].outSquares;
            smooth[x].samples += pixels[i].samples;
        }
        smooth[x].inPeak = pixels[x].inPeak;
        smooth[x].outPeak = pixels[x].outPeak;
    }
    return smooth;
}

void DrawLevels(Painter& paint, const Area& area, const std::vector<LevelTrace::Column>& pixels) {
    // The band from RMS up to peak shaded, input first so that the output shows over
    // it; RMS as lines.
    for (const bool output : {false, true})
        for (std::size_t x = 0; x < pixels.size(); ++x) {
            const LevelTrace::Column& c = pixels[x];
            if (!c.samples)
                continue;
            const float top = area.Y(ToDecibels(output ? c.outPeak : c.inPeak), kLevelFloorDb, 0);
            const float rms =
                area.Y(PowerDb(output ? c.outSquares : c.inSquares, c.samples), kLevelFloorDb, 0);
            const int px = area.x + static_cast<int>(x);
            paint.Fill(px, static_cast<int>(top), 1,
                       std::max(1, static_cast<int>(rms) - static_cast<int>(top)),
                       output ? kOutput : kInput, static_cast<float>(kShadeAlpha));
        }
    for (const bool output : {false, true}) {
        std::optional<float> last;
        for (std::size_t x = 0; x < pixels.size(); ++x) {
            const LevelTrace::Column& c = pixels[x];
            if (!c.samples)
                continue;
            const float y =
                area.Y(PowerDb(output ? c.outSquares : c.inSquares, c.samples), kLevelFloorDb, 0);
            const auto px = static_cast<float>(area.x) + static_cast<float>(x);
            paint.Line(last ? px - 1 : px, last.value_or(y), px, y, output ? kOutput : kInput);
            last = y;
        }
    }
}

void DrawGain(Painter& paint, const Area& area, const std::vector<LevelTrace::Column>& pixels,
              double low, double high) {
    const float zero = area.Y(0.0, low, high);
    for (std::size_t x = 0; x < pixels.size(); ++x) {
        const std::optional<double> gain = GainDb(pixels[x]);
        if (!gain)
            continue;
        const float y = area.Y(*gain, low, high);
        const auto px = static_cast<float>(area.x) + static_cast<float>(x);
        paint.Line(px, std::min(y, zero), px, std::max(y, zero), kGain);
    }
}
} // namespace

bool WriteRenderPlot(const std::string& path, const LevelTrace& trace, const std::string& title,
                     std::string* error) {
    const std::unique_ptr<TextRenderer> text = TextRenderer::Create();
    if (!text) {
        *error = "cannot draw " + path + ": the font for its labels is missing";
        return false;
    }
    RAS_MemBitmap bitmap(kPlotWidth, kPlotHeight);
    if (!bitmap.Pixels()) {
        *error = "cannot draw " + path + ": out of memory";
        return false;
    }
    Painter paint(bitmap, *text);
    paint.Fill(0, 0, kPlotWidth, kPlotHeight, kBackground);

    const int plotWidth = kPlotWidth - kLeft - kRight;
    const int plotHeight = kPlotHeight - kTop - kBottom - kGap;
    const Area levels{kLeft, kTop, plotWidth, plotHeight * 2 / 3};
    const Area gain{kLeft, kTop + levels.height + kGap, plotWidth, plotHeight - levels.height};
    paint.Fill(levels.x, levels.y, levels.width, levels.height, kPanel);
    paint.Fill(gain.x, gain.y, gain.width, gain.height, kPanel);

    const double seconds = static_cast<double>(trace.Frames()) / trace.SampleRate();
    const std::vector<LevelTrace::Column> pixels =
        Smoothed(PerPixel(trace, plotWidth), seconds / plotWidth);
    double lowest = 0.0;
    double highest = 0.0;
    for (const LevelTrace::Column& c : pixels)
        if (const std::optional<double> g = GainDb(c)) {
            lowest = std::min(lowest, *g);
            highest = std::max(highest, *g);
        }
    // At least 6 dB shown, and whole steps at both ends.
    const double gainStep = TickStep(std::max(highest - lowest, 6.0), 4, false);
    const double gainLow = std::floor(std::min(lowest, highest - 6.0) / gainStep) * gainStep;
    const double gainHigh = std::max(std::ceil(highest / gainStep) * gainStep, gainLow + gainStep);

    DecibelAxis(paint, levels, kLevelFloorDb, 0.0, kLevelStepDb, false);
    DecibelAxis(paint, gain, gainLow, gainHigh, gainStep, true);
    DrawLevels(paint, levels, pixels);
    DrawGain(paint, gain, pixels, gainLow, gainHigh);

    const double timeStep = TickStep(std::max(seconds, 0.01), 12, true);
    for (double t = 0.0; t <= seconds + 1e-9; t += timeStep) {
        const int x =
            kLeft + static_cast<int>(std::lround(t / std::max(seconds, 1e-9) * (plotWidth - 1)));
        for (const Area& area : {levels, gain})
            paint.Line(static_cast<float>(x), static_cast<float>(area.y), static_cast<float>(x),
                       static_cast<float>(area.y + area.height - 1), kGrid);
        paint.Text(TimeLabel(t, timeStep), x - 40, gain.y + gain.height + 6, 80, 1);
    }

    paint.Text(title, kLeft, 12, plotWidth, 0, 15);
    paint.Text("dBFS", 4, levels.y + levels.height / 2 + 16, 40, 0, 13, 90);
    paint.Text("gain dB", 4, gain.y + gain.height / 2 + 24, 60, 0, 13, 90);
    const int legendY = 14;
    const int legendX = kLeft + plotWidth - 330;
    paint.Fill(legendX, legendY + 5, 18, 4, kInput);
    paint.Text("input", legendX + 24, legendY, 60, 0);
    paint.Fill(legendX + 80, legendY + 5, 18, 4, kOutput);
    paint.Text("output", legendX + 104, legendY, 60, 0);
    paint.Fill(legendX + 170, legendY + 5, 18, 4, kGain);
    paint.Text("gain change", legendX + 194, legendY, 120, 0);
    paint.Text("lines RMS, shading peak", kLeft + plotWidth - 200, levels.y + 4, 192, 2, 12);

    if (!paint.Drawn()) {
        *error = "cannot draw the labels of " + path;
        return false;
    }
    if (!WritePanelPicture(path, bitmap.Pixels(), kPlotWidth, kPlotHeight)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}
