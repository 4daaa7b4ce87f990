#include "raster/RAS_Draw.h"

#include "Blend.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ras {
namespace {

// How one touched pixel takes the colour; `w` is that pixel's weight. The store and
// average inks are the unweighted shortcuts of copy at alpha 1.0 and 0.5.
struct StoreInk {
    RAS_Pixel32 c;
    void operator()(RAS_Pixel32& d, int) const { d = c; }
};

struct AverageInk {
    RAS_Pixel32 c;
    // (c + d) >> 1 in each byte, without carries between bytes.
    void operator()(RAS_Pixel32& d, int) const {
        d = ((c >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu) + (c & d & 0x01010101u);
    }
};

template <class Op> struct OperatorInk {
    Channels s;
    void operator()(RAS_Pixel32& d, int w) const { d = Combine<Op>(d, s, w); }
};

enum class Action { kNone, kStore, kAverage, kCopy, kAdd, kDodge, kMultiply };

// The pixel action of a primitive, chosen once; `shortcuts` allows store and average.
Action SelectAction(int mode, float alpha, bool shortcuts) {
    switch (mode & 0xFF) {
    case RAS_OP_COPY:
        if (shortcuts && alpha == 1.0f) {
            return Action::kStore;
        }
        if (shortcuts && alpha == 0.5f) {
            return Action::kAverage;
        }
        return alpha > 0.0f ? Action::kCopy : Action::kNone;
    case RAS_OP_ADD:
        return alpha == 0.0f ? Action::kNone : Action::kAdd;
    case RAS_OP_DODGE:
        return alpha == 0.0f ? Action::kNone : Action::kDodge;
    case RAS_OP_MULTIPLY:
        return alpha == 0.0f ? Action::kNone : Action::kMultiply;
    default:
        return Action::kNone;
    }
}

// Calls draw(ink) with the ink of the action, so each shape gets one loop per action.
template <class Draw> void WithInk(Action action, RAS_Pixel32 colour, Draw&& draw) {
    const Channels s = Unpack(colour);
    switch (action) {
    case Action::kStore:
        draw(StoreInk{colour});
        break;
    case Action::kAverage:
        draw(AverageInk{colour});
        break;
    case Action::kCopy:
        draw(OperatorInk<CopyOp>{s});
        break;
    case Action::kAdd:
        draw(OperatorInk<AddOp>{s});
        break;
    case Action::kDodge:
        draw(OperatorInk<DodgeOp>{s});
        break;
    case Action::kMultiply:
        draw(OperatorInk<MultiplyOp>{s});
        break;
    case Action::kNone:
        break;
    }
}

bool HasPixels(const RAS_IBitmap& bitmap) {
    return bitmap.Pixels() != nullptr && bitmap.PixelWidth() > 0 && bitmap.PixelHeight() > 0;
}

bool Drawable(float v) {
    return std::isfinite(v) && std::fabs(v) <= RAS_MAX_DRAW_COORDINATE;
}

RAS_Pixel32* PixelAt(const RAS_IBitmap& bitmap, int x, int y) {
    return bitmap.Pixels() + static_cast<std::ptrdiff_t>(y) * bitmap.StridePixels() + x;
}

// ---- Lines ----

int Outcode(int x, int y, int width, int height) {
    return (x < 0 ? 1 : 0) | (x >= width ? 2 : 0) | (y < 0 ? 4 : 0) | (y >= height ? 8 : 0);
}

// Cohen-Sutherland; false when nothing of the segment is inside.
bool ClipSegment(int& x1, int& y1, int& x2, int& y2, int width, int height) {
    int code1 = Outcode(x1, y1, width, height);
    int code2 = Outcode(x2, y2, width, height);
    // Each pass puts one end on an edge; four passes per end always suffice.
    for (int pass = 0; (code1 | code2) != 0; ++pass) {
        if ((code1 & code2) != 0 || pass == 8) {
            return false;
        }
        const bool moveFirst = code1 != 0;
        const int code = moveFirst ? code1 : code2;
        const double dx = x2 - x1;
        const double dy = y2 - y1;
        int x = 0;
        int y = 0;
        if ((code & 8) != 0) {
            x = x1 + static_cast<int>(dx * (height - y1) / dy);
            y = height - 1;
        } else if ((code & 4) != 0) {
            x = x1 - static_cast<int>(dx * y1 / dy);
            y = 0;
        } else if ((code & 2) != 0) {
            y = y1 + static_cast<int>(dy * (width - x1) / dx);
            x = width - 1;
        } else {
            y = y1 - static_cast<int>(dy * x1 / dx);
            x = 0;
        }
        if (moveFirst) {
            x1 = x;
            y1 = y;
            code1 = Outcode(x, y, width, height);
        } else {
            x2 = x;
            y2 = y;
            code2 = Outcode(x, y, width, height);
        }
    }
    return true;
}

// count + 1 pixels, `step` apart: vertical and horizontal runs and the plain diagonal.
template <class Ink> void DrawRun(RAS_Pixel32* p, std::ptrdiff_t step, int count, int w, Ink ink) {
    for (int i = 0; i <= count; ++i, p += step) {
        ink(*p, w);
    }
}

template <class Ink>
void DrawSmoothDiagonal(RAS_Pixel32* p, std::ptrdiff_t column, std::ptrdiff_t row, int count,
                        int w, Ink ink) {
    for (int i = 0; i < count; ++i, p += column + row) {
        ink(*p, w * 3 / 4);
        ink(p[column], w / 4);
        ink(p[row], w / 4);
    }
    ink(*p, w * 3 / 4);
}

// A line along `major` for count + 1 pixels that climbs `minor` by `minorExtent` steps.
// The error walk may, through rounding, ask for one step more than the extent; that
// step is refused so the walk never leaves the clipped segment's box.
template <class Ink>
void DrawPlainLine(RAS_Pixel32* p, std::ptrdiff_t major, std::ptrdiff_t minor, int count,
                   int minorExtent, int w, Ink ink) {
    const double slope = static_cast<double>(minorExtent) / count;
    double e = 0.0;
    int climbed = 0;
    for (int i = 0; i <= count; ++i) {
        ink(*p, w);
        e += slope;
        if (e > 0.5 && climbed < minorExtent) {
            p += minor;
            e -= 1.0;
            ++climbed;
        }
        if (i < count) {
            p += major;
        }
    }
}

// Each step shares the weight between the pixel on the line and its neighbour along
// the minor axis by the error. The last step writes its pair too: with the error at
// exactly 1 the line's end point is that neighbour.
template <class Ink>
void DrawSmoothLine(RAS_Pixel32* p, std::ptrdiff_t major, std::ptrdiff_t minor, int count,
                    int minorExtent, int w, Ink ink) {
    const double slope = static_cast<double>(minorExtent) / count;
    double e = 0.0;
    int climbed = 0;
    for (int i = 0; i <= count; ++i) {
        const int c = static_cast<int>(std::nearbyint(e * 256.0));
        ink(*p, (256 - c) * w / 256);
        if (climbed < minorExtent) {
            ink(p[minor], w * c / 256);
        }
        if (i == count) {
            break;
        }
        e += slope;
        if (e > 1.0 && climbed < minorExtent) {
            p += minor;
            e -= 1.0;
            ++climbed;
        }
        p += major;
    }
}

template <class Ink>
void DrawClippedSegment(const RAS_IBitmap& bitmap, int x1, int y1, int x2, int y2, bool antialias,
                        int w, Ink ink) {
    const int stride = bitmap.StridePixels();
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    const std::ptrdiff_t column = x2 >= x1 ? 1 : -1;
    const std::ptrdiff_t row = y2 >= y1 ? stride : -static_cast<std::ptrdiff_t>(stride);
    RAS_Pixel32* p = PixelAt(bitmap, x1, y1);
    if (dx == 0) {
        DrawRun(p, row, dy, w, ink);
    } else if (dy == 0) {
        DrawRun(p, column, dx, w, ink);
    } else if (dx == dy) {
        if (antialias) {
            DrawSmoothDiagonal(p, column, row, dx, w, ink);
        } else {
            DrawRun(p, column + row, dx, w, ink);
        }
    } else {
        const bool xMajor = dx >= dy;
        const std::ptrdiff_t major = xMajor ? column : row;
        const std::ptrdiff_t minor = xMajor ? row : column;
        const int count = std::max(dx, dy);
        const int minorExtent = std::min(dx, dy);
        if (antialias) {
            DrawSmoothLine(p, major, minor, count, minorExtent, w, ink);
        } else {
            DrawPlainLine(p, major, minor, count, minorExtent, w, ink);
        }
    }
}

// ---- Arcs ----

constexpr float kQuarterTurn = 1.5707964f;
constexpr float kFullTurn = 6.2831855f;

// Maps quadrant-local (u, v) to the bitmap: x = m0 u + cx + m1 v, y = m2 u + cy + m3 v.
struct QuadrantMatrix {
    int m0;
    int m1;
    int m2;
    int m3;
};

constexpr QuadrantMatrix kQuadrants[4] = {
    {1, 0, 0, -1}, {0, 1, 1, 0}, {-1, 0, 0, 1}, {0, -1, -1, 0}};

struct ArcFrame {
    const RAS_IBitmap* bitmap;
    double cx;
    double cy;
    QuadrantMatrix m;

    int X(double u, double v) const { return static_cast<int>(m.m0 * u + cx + m.m1 * v); }
    int Y(double u, double v) const { return static_cast<int>(m.m2 * u + cy + m.m3 * v); }
};

// Writes the pixel pair of one step: (u, v) with weight (1 - f) and its inner
// neighbour (u - du, v - dv) with weight f, or only the first at full weight.
template <class Ink, bool kAntialias, bool kClipped> struct PairWriter {
    const ArcFrame& frame;
    Ink ink;
    double weight; // alpha x 256

    void Plot(double u, double v, int w) const {
        const int x = frame.X(u, v);
        const int y = frame.Y(u, v);
        if constexpr (kClipped) {
            if (x < 0 || y < 0 || x >= frame.bitmap->PixelWidth() ||
                y >= frame.bitmap->PixelHeight()) {
                return;
            }
        }
        ink(*PixelAt(*frame.bitmap, x, y), w);
    }

    void operator()(double u, double v, double du, double dv, double f) const {
        if constexpr (kAntialias) {
            Plot(u, v, static_cast<int>((1.0 - f) * weight));
            Plot(u - du, v - dv, static_cast<int>(f * weight));
        } else {
            Plot(u, v, static_cast<int>(weight));
        }
    }
};

// A closed interval of one quadrant-local coordinate.
struct Range {
    double lo;
    double hi;
};

// The local coordinates whose pixels can land inside [0, size) on a bitmap axis where
// pixel = (int)(centre + sign x coordinate), with one pixel to spare for rounding.
Range VisibleOnAxis(double centre, int sign, int size) {
    if (sign > 0) {
        return {-2.0 - centre, size + 1.0 - centre};
    }
    return {centre - size - 1.0, centre + 2.0};
}

// One octant: `along` steps by 1 from `first` while it is at most `last`; `across`
// starts at the circle's value rounded up and drops by 1 whenever the fraction
// f = ceil(t) - t wraps. Visible limits cut the walk without moving its samples.
template <class Plot>
void WalkOctant(double first, double last, double r, Range alongVisible, Plot plot) {
    if (first < alongVisible.lo) {
        first += std::ceil(alongVisible.lo - first);
    }
    last = std::min(last, alongVisible.hi);
    if (!(first <= last)) {
        return;
    }
    const auto steps = static_cast<std::int64_t>(std::floor(last - first));
    double previousF = 0.0;
    std::int64_t across = 0;
    for (std::int64_t k = 0; k <= steps; ++k) {
        const double along = first + static_cast<double>(k);
        const double t = std::sqrt(std::max(0.0, r * r - along * along));
        const double f = std::ceil(t) - t;
        if (k == 0) {
            across = static_cast<std::int64_t>(std::ceil(t));
        } else if (f < previousF) {
            --across;
        }
        previousF = f;
        plot(along, static_cast<double>(across), f);
    }
}

// The walk range along one coordinate for which the other coordinate, sqrt(r^2 - along^2),
// stays inside `acrossVisible` (one more for the inner neighbour).
Range AlongForAcross(double r, Range acrossVisible) {
    const auto along = [r](double across) {
        return across <= 0.0 ? r : std::sqrt(std::max(0.0, r * r - across * across));
    };
    if (acrossVisible.lo - 1.0 > r) {
        return {1.0, 0.0};
    }
    return {along(acrossVisible.hi + 1.0) - 1.0, along(acrossVisible.lo - 1.0) + 1.0};
}

Range Intersect(Range a, Range b) {
    return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

struct QuadrantArc {
    double r;
    double a0;
    double a1;
};

template <class Writer>
void WalkQuadrant(const QuadrantArc& arc, double uStart, double vStart, double uEnd, double vEnd,
                  Range uVisible, Range vVisible, const Writer& write) {
    const double octant = arc.r / std::sqrt(2.0);
    const Range uWalk = Intersect(uVisible, AlongForAcross(arc.r, vVisible));
    WalkOctant(uStart, std::min(octant, uEnd - 1.0), arc.r, uWalk,
               [&](double u, double v, double f) { write(u, v, 0.0, 1.0, f); });
    const Range vWalk = Intersect(vVisible, AlongForAcross(arc.r, uVisible));
    WalkOctant(vEnd, std::min(octant, vStart - 1.0), arc.r, vWalk,
               [&](double v, double u, double f) { write(u, v, 1.0, 0.0, f); });
}

template <class Ink>
void DrawQuadrant(const ArcFrame& frame, const QuadrantArc& arc, double alpha, bool antialias,
                  Ink ink) {
    const double r = arc.r;
    const double uStart = arc.a0 > 0.0 ? r * std::sin(arc.a0) : 0.0;
    const double vStart = arc.a0 > 0.0 ? r * std::cos(arc.a0) : r;
    const double uEnd = arc.a1 < static_cast<double>(kQuarterTurn) ? r * std::sin(arc.a1) : r;
    const double vEnd = arc.a1 < static_cast<double>(kQuarterTurn) ? r * std::cos(arc.a1) : 0.0;

    // u and v each drive one bitmap axis with a sign of +1 or -1.
    const QuadrantMatrix& m = frame.m;
    const int width = frame.bitmap->PixelWidth();
    const int height = frame.bitmap->PixelHeight();
    const Range uVisible = m.m0 != 0 ? VisibleOnAxis(frame.cx, m.m0, width)
                                     : VisibleOnAxis(frame.cy, m.m2, height);
    const Range vVisible = m.m1 != 0 ? VisibleOnAxis(frame.cx, m.m1, width)
                                     : VisibleOnAxis(frame.cy, m.m3, height);

    // The box every step's pixels stay in; wholly inside the bitmap needs no tests.
    // Two pixels to spare: the rounded-up coordinate and the inner neighbour.
    const double uLo = uStart - 2.0, uHi = uEnd + 2.0, vLo = vEnd - 2.0, vHi = vStart + 2.0;
    const double xs[2] = {m.m0 * uLo + m.m1 * vLo + frame.cx, m.m0 * uHi + m.m1 * vHi + frame.cx};
    const double ys[2] = {m.m2 * uLo + m.m3 * vLo + frame.cy, m.m2 * uHi + m.m3 * vHi + frame.cy};
    const bool inside = std::min(xs[0], xs[1]) >= 0.0 && std::max(xs[0], xs[1]) < width &&
                        std::min(ys[0], ys[1]) >= 0.0 && std::max(ys[0], ys[1]) < height;

    const double weight = alpha * 256.0;
    const auto walk = [&](auto writer) {
        WalkQuadrant(arc, uStart, vStart, uEnd, vEnd, uVisible, vVisible, writer);
    };
    if (inside && antialias) {
        walk(PairWriter<Ink, true, false>{frame, ink, weight});
    } else if (inside) {
        walk(PairWriter<Ink, false, false>{frame, ink, weight});
    } else if (antialias) {
        walk(PairWriter<Ink, true, true>{frame, ink, weight});
    } else {
        walk(PairWriter<Ink, false, true>{frame, ink, weight});
    }
}

float IntoFullTurn(float angle) {
    if (std::fabs(angle) > 1024.0f * kFullTurn) {
        angle = std::fmod(angle, kFullTurn);
    }
    while (angle < 0.0f) {
        angle += kFullTurn;
    }
    while (angle > kFullTurn) {
        angle -= kFullTurn;
    }
    return angle;
}

// One quadrant index with its local angles.
struct QuadrantPiece {
    int quadrant;
    float from;
    float to;
};

// Splits the arc into at most five quadrant pieces; returns how many.
int SplitIntoQuadrants(float start, float end, QuadrantPiece (&pieces)[5]) {
    const int first = static_cast<int>(start / kQuarterTurn);
    const int endCeil = static_cast<int>(std::ceil(end / kQuarterTurn));
    int last = endCeil - 1;
    const float localStart = start - static_cast<float>(first) * kQuarterTurn;
    const float localEnd = end - static_cast<float>(last) * kQuarterTurn;
    if (first == last || (last < first && (endCeil & 3) == ((first + 1) & 3))) {
        pieces[0] = {first & 3, localStart, localEnd};
        return 1;
    }
    if (last < first) {
        last = endCeil + ((first - endCeil) | 3);
    }
    int count = 0;
    pieces[count++] = {first & 3, localStart, kQuarterTurn};
    for (int q = first + 1; q < last && count < 4; ++q) {
        pieces[count++] = {q & 3, 0.0f, kQuarterTurn};
    }
    pieces[count++] = {last & 3, 0.0f, localEnd};
    return count;
}

// ---- Circle masks ----

struct CircleMask {
    float radius;
    int size;
    const std::uint8_t* plain;
    const std::uint8_t* smooth;
};

// clang-format off
constexpr std::uint8_t kRing25Plain[36] = {
    0x00,0x00,0xFF,0xFF,0x00,0x00, 0x00,0xFF,0x00,0x00,0xFF,0x00, 0xFF,0x00,0x00,0x00,0x00,0xFF,
    0xFF,0x00,0x00,0x00,0x00,0xFF, 0x00,0xFF,0x00,0x00,0xFF,0x00, 0x00,0x00,0xFF,0xFF,0x00,0x00};
constexpr std::uint8_t kRing25Smooth[36] = {
    0x0F,0xBF,0xFF,0xFF,0xBF,0x0F, 0xBF,0xD1,0x4F,0x4F,0xD1,0xBF, 0xFF,0x4F,0x00,0x00,0x4F,0xFF,
    0xFF,0x4F,0x00,0x00,0x4F,0xFF, 0xBF,0xD1,0x4F,0x4F,0xD1,0xBF, 0x0F,0xBF,0xFF,0xFF,0xBF,0x0F};
constexpr std::uint8_t kRing3Plain[49] = {
    0x00,0x00,0xFF,0xFF,0xFF,0x00,0x00, 0x00,0xFF,0x00,0x00,0x00,0xFF,0x00,
    0xFF,0x00,0x00,0x00,0x00,0x00,0xFF, 0xFF,0x00,0x00,0x00,0x00,0x00,0xFF,
    0xFF,0x00,0x00,0x00,0x00,0x00,0xFF, 0x00,0xFF,0x00,0x00,0x00,0xFF,0x00,
    0x00,0x00,0xFF,0xFF,0xFF,0x00,0x00};
constexpr std::uint8_t kRing3Smooth[49] = {
    0x00,0x8F,0xFF,0xFF,0xFF,0x8F,0x00, 0x8F,0xFF,0x61,0x40,0x61,0xFF,0x8F,
    0xFF,0x70,0x00,0x00,0x00,0x70,0xFF, 0xFF,0x30,0x00,0x00,0x00,0x30,0xFF,
    0xFF,0x70,0x00,0x00,0x00,0x70,0xFF, 0x8F,0xFF,0x61,0x40,0x61,0xFF,0x8F,
    0x00,0x8F,0xFF,0xFF,0xFF,0x8F,0x00};
constexpr std::uint8_t kRing35Plain[64] = {
    0x00,0x00,0xFF,0xFF,0xFF,0xFF,0x00,0x00, 0x00,0xFF,0xFF,0x00,0x00,0xFF,0xFF,0x00,
    0xFF,0xFF,0x00,0x00,0x00,0x00,0xFF,0xFF, 0xFF,0x00,0x00,0x00,0x00,0x00,0x00,0xFF,
    0xFF,0x00,0x00,0x00,0x00,0x00,0x00,0xFF, 0xFF,0xFF,0x00,0x00,0x00,0x00,0xFF,0xFF,
    0x00,0xFF,0xFF,0x00,0x00,0xFF,0xFF,0x00, 0x00,0x00,0xFF,0xFF,0xFF,0xFF,0x00,0x00};
constexpr std::uint8_t kRing35Smooth[64] = {
    0x00,0x4F,0xDE,0xFF,0xFF,0xDE,0x4F,0x00, 0x4F,0xFF,0xB0,0x40,0x40,0xB0,0xFF,0x4F,
    0xDE,0xB0,0x00,0x00,0x00,0x00,0xB0,0xDE, 0xFF,0x40,0x00,0x00,0x00,0x00,0x40,0xFF,
    0xFF,0x40,0x00,0x00,0x00,0x00,0x40,0xFF, 0xDE,0xB0,0x00,0x00,0x00,0x00,0xB0,0xDE,
    0x4F,0xFF,0xB0,0x40,0x40,0xB0,0xFF,0x4F, 0x00,0x4F,0xDE,0xFF,0xFF,0xDE,0x4F,0x00};
constexpr std::uint8_t kRing4Plain[81] = {
    0x00,0x00,0xFF,0xFF,0xFF,0xFF,0xFF,0x00,0x00, 0x00,0xFF,0xFF,0x00,0x00,0x00,0xFF,0xFF,0x00,
    0xFF,0xFF,0x00,0x00,0x00,0x00,0x00,0xFF,0xFF, 0xFF,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0xFF,
    0xFF,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0xFF, 0xFF,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0xFF,
    0xFF,0xFF,0x00,0x00,0x00,0x00,0x00,0xFF,0xFF, 0x00,0xFF,0xFF,0x00,0x00,0x00,0xFF,0xFF,0x00,
    0x00,0x00,0xFF,0xFF,0xFF,0xFF,0xFF,0x00,0x00};
constexpr std::uint8_t kRing4Smooth[81] = {
    0x00,0x1F,0xB0,0xFF,0xFF,0xFF,0xB0,0x1F,0x00, 0x1F,0xF0,0xD1,0x4F,0x40,0x4F,0xD1,0xF0,0x1F,
    0xB0,0xD1,0x0F,0x00,0x00,0x00,0x0F,0xD1,0xB0, 0xFF,0x4F,0x00,0x00,0x00,0x00,0x00,0x4F,0xFF,
    0xFF,0x30,0x00,0x00,0x00,0x00,0x00,0x30,0xFF, 0xFF,0x4F,0x00,0x00,0x00,0x00,0x00,0x4F,0xFF,
    0xB0,0xD1,0x0F,0x00,0x00,0x00,0x0F,0xD1,0xB0, 0x1F,0xF0,0xD1,0x4F,0x40,0x4F,0xD1,0xF0,0x1F,
    0x00,0x1F,0xB0,0xFF,0xFF,0xFF,0xB0,0x1F,0x00};
// clang-format on

constexpr CircleMask kCircleMasks[4] = {{2.5f, 6, kRing25Plain, kRing25Smooth},
                                        {3.0f, 7, kRing3Plain, kRing3Smooth},
                                        {3.5f, 8, kRing35Plain, kRing35Smooth},
                                        {4.0f, 9, kRing4Plain, kRing4Smooth}};

} // namespace
} // namespace ras

using namespace ras;

void RAS_DrawSegment(RAS_IBitmap* bitmap, float x1, float y1, float x2, float y2,
                     RAS_Pixel32 colour, float alpha, int mode, bool antialias) {
    if (bitmap == nullptr || !HasPixels(*bitmap) || !Drawable(x1) || !Drawable(y1) ||
        !Drawable(x2) || !Drawable(y2)) {
        return;
    }
    int ix1 = static_cast<int>(x1), iy1 = static_cast<int>(y1);
    int ix2 = static_cast<int>(x2), iy2 = static_cast<int>(y2);
    if (!ClipSegment(ix1, iy1, ix2, iy2, bitmap->PixelWidth(), bitmap->PixelHeight())) {
        return;
    }
    // Straight runs ignore antialiasing and so keep the copy shortcuts.
    const bool straight = ix1 == ix2 || iy1 == iy2;
    const bool smooth = antialias && !straight;
    const int w = WeightOf(alpha);
    WithInk(SelectAction(mode, alpha, !smooth), colour, [&](auto ink) {
        DrawClippedSegment(*bitmap, ix1, iy1, ix2, iy2, smooth, w, ink);
    });
}

void RAS_DrawArcSegment(RAS_IBitmap* bitmap, float cx, float cy, float r, float startAngle,
                        float endAngle, RAS_Pixel32 colour, float alpha, int mode, bool antialias) {
    if (bitmap == nullptr || !HasPixels(*bitmap) || !Drawable(cx) || !Drawable(cy) ||
        !Drawable(r) || !(r > 0.0f) || std::isnan(alpha) || !std::isfinite(startAngle) ||
        !std::isfinite(endAngle)) {
        return;
    }
    QuadrantPiece pieces[5];
    const int count = SplitIntoQuadrants(IntoFullTurn(startAngle), IntoFullTurn(endAngle), pieces);
    const double opacity = std::clamp(alpha, -128.0f, 128.0f);
    WithInk(SelectAction(mode, alpha, !antialias), colour, [&](auto ink) {
        for (int i = 0; i < count; ++i) {
            const ArcFrame frame{bitmap, cx, cy, kQuadrants[pieces[i].quadrant]};
            DrawQuadrant(frame, QuadrantArc{r, pieces[i].from, pieces[i].to}, opacity, antialias,
                         ink);
        }
    });
}

void RAS_DrawRing(RAS_IBitmap* bitmap, float cx, float cy, float r, RAS_Pixel32 colour,
                  float alpha, int mode, bool antialias) {
    if (!Drawable(cx) || !Drawable(cy)) {
        return;
    }
    for (const CircleMask& mask : kCircleMasks) {
        if (r == mask.radius) {
            RAS_DrawCoverage(bitmap, static_cast<int>(cx - r), static_cast<int>(cy - r), colour,
                             antialias ? mask.smooth : mask.plain, mask.size, mask.size, alpha,
                             mode);
            return;
        }
    }
    RAS_DrawArcSegment(bitmap, cx, cy, r, 0.0f, kFullTurn, colour, alpha, mode, antialias);
}

void RAS_DrawCoverage(RAS_IBitmap* bitmap, int x, int y, RAS_Pixel32 colour,
                      const std::uint8_t* coverage, int width, int height, float alpha, int mode) {
    if (bitmap == nullptr || !HasPixels(*bitmap) || coverage == nullptr || width <= 0 ||
        height <= 0) {
        return;
    }
    // The part of the mask over the bitmap, in 64 bits so far positions cannot wrap.
    const std::int64_t firstColumn = std::max<std::int64_t>(0, -std::int64_t{x});
    const std::int64_t firstRow = std::max<std::int64_t>(0, -std::int64_t{y});
    const std::int64_t endColumn = std::min<std::int64_t>(width, bitmap->PixelWidth() - std::int64_t{x});
    const std::int64_t endRow = std::min<std::int64_t>(height, bitmap->PixelHeight() - std::int64_t{y});
    if (firstColumn >= endColumn || firstRow >= endRow) {
        return;
    }
    const int w = WeightOf(alpha);
    WithInk(SelectAction(mode, alpha, false), colour, [&](auto ink) {
        for (std::int64_t row = firstRow; row < endRow; ++row) {
            const std::uint8_t* cov = coverage + row * width;
            RAS_Pixel32* p = PixelAt(*bitmap, static_cast<int>(x + firstColumn),
                                     static_cast<int>(y + row));
            for (std::int64_t col = firstColumn; col < endColumn; ++col, ++p) {
                ink(*p, w * cov[col] / 256);
            }
        }
    });
}
