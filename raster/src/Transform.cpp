#include "raster/RAS_Transform.h"

#include "Blend.h"
#include "raster/RAS_Composite.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ras {
namespace {

// Fixed-point positions are 16.16 held in 64 bits, so that long scans cannot overflow.
using Fixed = std::int64_t;

// Scans whose positions could pass this magnitude are not drawn.
constexpr double kMaxFixed = 4.0e18;

bool ToFixed(double v, Fixed& out) {
    const double f = v * 65536.0;
    if (!(std::fabs(f) < kMaxFixed)) {
        return false;
    }
    out = static_cast<Fixed>(f);
    return true;
}

struct SourceView {
    const RAS_Pixel32* pixels;
    std::ptrdiff_t stride; // pixels
    Fixed minX, minY, maxX, maxY;
};

inline std::uint32_t Linear(std::uint32_t a, std::uint32_t b, std::uint32_t f) {
    std::uint32_t out = 0;
    for (unsigned shift = 0; shift < 32; shift += 8) {
        const std::uint32_t ca = (a >> shift) & 0xFFu, cb = (b >> shift) & 0xFFu;
        out |= ((ca * (65536u - f) + cb * f) >> 16) << shift;
    }
    return out;
}

inline std::uint32_t Bilinear(std::uint32_t p00, std::uint32_t p10, std::uint32_t p01,
                              std::uint32_t p11, std::uint32_t fx, std::uint32_t fy) {
    const std::uint32_t c = (fx * fy) >> 16;
    const std::uint32_t w00 = 65536u - fx - fy + c, w10 = fx - c, w01 = fy - c, w11 = c;
    std::uint32_t out = 0;
    for (unsigned shift = 0; shift < 32; shift += 8) {
        const std::uint32_t sum = ((p00 >> shift) & 0xFFu) * w00 + ((p10 >> shift) & 0xFFu) * w10 +
                                  ((p01 >> shift) & 0xFFu) * w01 + ((p11 >> shift) & 0xFFu) * w11;
        out |= (sum >> 16) << shift;
    }
    return out;
}

// The sample at integer position (ix, iy) with fractions (fx, fy); false when the
// pixel is to be skipped. Never reads outside the view's bounds.
template <bool kBilinear>
inline bool Sample(const SourceView& v, Fixed ix, Fixed iy, std::uint32_t fx, std::uint32_t fy,
                   std::uint32_t& out) {
    if (ix < v.minX || ix >= v.maxX || iy < v.minY || iy >= v.maxY) {
        return false;
    }
    const RAS_Pixel32* p = v.pixels + iy * v.stride + ix;
    if constexpr (kBilinear) {
        const bool lastColumn = ix == v.maxX - 1;
        if (iy < v.maxY - 1) {
            out = lastColumn ? Linear(p[0], p[v.stride], fy)
                             : Bilinear(p[0], p[1], p[v.stride], p[v.stride + 1], fx, fy);
        } else {
            out = lastColumn ? p[0] : Linear(p[0], p[1], fx);
        }
    } else {
        out = *p;
    }
    return true;
}

inline std::uint32_t Fraction(Fixed v) {
    return static_cast<std::uint32_t>(v & 0xFFFF);
}

// The scaled shape: fixed-point columns, a floating-point row position.
template <bool kBilinear, class Px>
void ScaledRows(RAS_Pixel32* dst, std::ptrdiff_t dstStride, int width, int height,
                const SourceView& v, Fixed x0, Fixed xStep, double y, double yStep, Px px) {
    for (int row = 0; row < height; ++row, y += yStep, dst += dstStride) {
        // (int)y is taken only where it can land inside the bounds.
        if (!(y > -1.0 && y < static_cast<double>(v.maxY))) {
            continue;
        }
        const Fixed iy = static_cast<Fixed>(y);
        // The low 16 bits, as for the columns, also for rows just above 0.
        const std::uint32_t fy =
            Fraction(static_cast<Fixed>((y - static_cast<double>(iy)) * 65536.0));
        Fixed x = x0;
        for (int col = 0; col < width; ++col, x += xStep) {
            const Fixed ix = kBilinear ? x / 65536 : x >> 16;
            std::uint32_t s;
            if (Sample<kBilinear>(v, ix, iy, Fraction(x), fy, s)) {
                dst[col] = px(dst[col], s);
            }
        }
    }
}

struct SteppedScan {
    Fixed s0, t0, dsdx, dtdx, dsdy, dtdy, ddsdx, ddtdx;
};

// The stepped shape: both coordinates fixed point, per column and per row.
template <bool kBilinear, class Px>
void SteppedRows(RAS_Pixel32* dst, std::ptrdiff_t dstStride, int width, int height,
                 const SourceView& v, SteppedScan k, Px px) {
    for (int row = 0; row < height; ++row, dst += dstStride) {
        Fixed s = k.s0, t = k.t0;
        for (int col = 0; col < width; ++col, s += k.dsdx, t += k.dtdx) {
            std::uint32_t p;
            if (Sample<kBilinear>(v, s / 65536, t / 65536, Fraction(s), Fraction(t), p)) {
                dst[col] = px(dst[col], p);
            }
        }
        k.dsdx += k.ddsdx;
        k.dtdx += k.ddtdx;
        k.s0 += k.dsdy;
        k.t0 += k.dtdy;
    }
}

using ScaledLoop = void (*)(RAS_Pixel32*, std::ptrdiff_t, int, int, const SourceView&, Fixed, Fixed,
                            double, double, int);
using SteppedLoop = void (*)(RAS_Pixel32*, std::ptrdiff_t, int, int, const SourceView&, SteppedScan,
                             int);

template <class Op, bool kSourceAlpha, bool kBilinear>
void ScaledWith(RAS_Pixel32* dst, std::ptrdiff_t dstStride, int width, int height,
                const SourceView& v, Fixed x0, Fixed xStep, double y, double yStep, int w) {
    ScaledRows<kBilinear>(dst, dstStride, width, height, v, x0, xStep, y, yStep,
                          BlendPx<Op, kSourceAlpha>{w});
}

template <class Op, bool kSourceAlpha, bool kBilinear>
void SteppedWith(RAS_Pixel32* dst, std::ptrdiff_t dstStride, int width, int height,
                 const SourceView& v, SteppedScan k, int w) {
    SteppedRows<kBilinear>(dst, dstStride, width, height, v, k, BlendPx<Op, kSourceAlpha>{w});
}

// Both tables are indexed [source alpha][operator][bilinear].
#define RAS_VARIANTS(fn, sa)                                                                       \
    {                                                                                              \
        {fn<CopyOp, sa, false>, fn<CopyOp, sa, true>},                                             \
            {fn<AddOp, sa, false>, fn<AddOp, sa, true>},                                           \
            {fn<DodgeOp, sa, false>, fn<DodgeOp, sa, true>}, {                                     \
            fn<MultiplyOp, sa, false>, fn<MultiplyOp, sa, true>                                    \
        }                                                                                          \
    }
constexpr ScaledLoop kScaledLoops[2][4][2] = {RAS_VARIANTS(ScaledWith, false),
                                              RAS_VARIANTS(ScaledWith, true)};
constexpr SteppedLoop kSteppedLoops[2][4][2] = {RAS_VARIANTS(SteppedWith, false),
                                                RAS_VARIANTS(SteppedWith, true)};
#undef RAS_VARIANTS

// The operator variant of a mode, as indices into the tables; false when it draws nothing.
bool SelectVariant(int mode, float alpha, int& sourceAlpha, int& op, int& bilinear) {
    const int select = mode & 0x100FF;
    op = select & 0xFF;
    if (op > RAS_OP_MULTIPLY || alpha == 0.0f || (op == RAS_OP_COPY && !(alpha > 0.0f))) {
        return false;
    }
    sourceAlpha = select >> 16;
    bilinear = (mode & 0xFF00) == RAS_FLAG_BILINEAR ? 1 : 0;
    return true;
}

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Truncates toward zero into [0, limit].
Fixed ClampToRange(double v, int limit) {
    if (!(v > 0.0)) {
        return 0;
    }
    return v >= limit ? limit : static_cast<Fixed>(v);
}

// Whether |start| + the largest column and row travel stays representable.
bool Representable(const SteppedScan& k, int width, int height) {
    const auto travel = [&](Fixed start, Fixed step, Fixed change, Fixed rowStep) {
        const double w = width, h = height;
        return std::fabs(static_cast<double>(start)) + h * std::fabs(static_cast<double>(rowStep)) +
                   w * (std::fabs(static_cast<double>(step)) +
                        h * std::fabs(static_cast<double>(change))) <
               kMaxFixed;
    };
    return travel(k.s0, k.dsdx, k.ddsdx, k.dsdy) && travel(k.t0, k.dtdx, k.ddtdx, k.dtdy);
}

// Where a mirrored scan starts: one destination step inside the far edge, so that
// mirrored pixel i samples exactly what unmirrored pixel (n - 1 - i) would. Starting on the
// edge itself would sample one pixel beyond the source and lose its first column.
float MirroredStart(float start, float span, std::int64_t negativeCount) {
    return start + span + span / static_cast<float>(negativeCount);
}

RAS_Pixel32* PixelAt(const RAS_IBitmap& b, std::int64_t x, std::int64_t y) {
    return b.Pixels() + static_cast<std::ptrdiff_t>(y) * b.StridePixels() +
           static_cast<std::ptrdiff_t>(x);
}

} // namespace
} // namespace ras

using namespace ras;

void RAS_CompositeScaled(RAS_IBitmap* destination, const RAS_IBitmap* source, int dstX, int dstY,
                         int dstW, int dstH, float srcX, float srcY, float srcW, float srcH,
                         float alpha, int mode) {
    if (destination == nullptr || source == nullptr || dstW == 0 || dstH == 0 ||
        !Finite({srcX, srcY, srcW, srcH})) {
        return;
    }
    const bool bilinear = (mode & 0xFF00) == RAS_FLAG_BILINEAR;
    if (std::fabs(srcW - static_cast<float>(dstW)) < 0.001f &&
        std::fabs(srcH - static_cast<float>(dstH)) < 0.001f &&
        (!bilinear || (std::fabs(srcX - std::floor(srcX)) < 0.03f &&
                       std::fabs(srcY - std::floor(srcY)) < 0.03f))) {
        if (std::fabs(srcX) < 2e9f && std::fabs(srcY) < 2e9f) {
            RAS_CompositeArea(destination, source, dstX, dstY, static_cast<int>(srcX),
                              static_cast<int>(srcY), dstW, dstH, alpha, mode);
        }
        return;
    }
    std::int64_t x = dstX, y = dstY, w = dstW, h = dstH;
    // A mirrored scan starts one step inside the far edge (see MirroredStart); the bounds
    // still come from the edge.
    const bool mirrorX = w < 0, mirrorY = h < 0;
    if (mirrorX) {
        srcX += srcW;
        srcW = -srcW;
        x += w;
        w = -w;
    }
    if (mirrorY) {
        srcY += srcH;
        srcH = -srcH;
        y += h;
        h = -h;
    }
    const double xStep = static_cast<double>(srcW) / static_cast<double>(w);
    const double yStep = static_cast<double>(srcH) / static_cast<double>(h);
    if (x < 0) {
        srcX -= static_cast<float>(xStep * static_cast<double>(x));
        w += x;
        x = 0;
    }
    if (y < 0) {
        srcY -= static_cast<float>(yStep * static_cast<double>(y));
        h += y;
        y = 0;
    }
    w = std::min<std::int64_t>(w, destination->PixelWidth() - x);
    h = std::min<std::int64_t>(h, destination->PixelHeight() - y);
    if (w < 1 || h < 1 || destination->Pixels() == nullptr || source->Pixels() == nullptr ||
        !Finite({srcX, srcY})) {
        return;
    }
    const double x0 = srcX, x1 = static_cast<double>(srcX) + static_cast<double>(srcW);
    const double y0 = srcY, y1 = static_cast<double>(srcY) + static_cast<double>(srcH);
    const SourceView view{
        source->Pixels(),
        source->StridePixels(),
        ClampToRange(std::min(x0, x1), source->PixelWidth()),
        ClampToRange(std::min(y0, y1), source->PixelHeight()),
        ClampToRange(std::ceil(std::max(x0, x1)), source->PixelWidth()),
        ClampToRange(std::ceil(std::max(y0, y1)), source->PixelHeight()),
    };
    if (view.minX >= view.maxX || view.minY >= view.maxY) {
        return;
    }
    const double scanX = static_cast<double>(srcX) + (mirrorX ? xStep : 0.0);
    const double scanY = static_cast<double>(srcY) + (mirrorY ? yStep : 0.0);
    Fixed start = 0, step = 0;
    if (!ToFixed(scanX, start) || !ToFixed(xStep, step) ||
        !Representable({start, 0, step, 0, 0, 0, 0, 0}, static_cast<int>(w), 0)) {
        return;
    }
    RAS_Pixel32* const dst = PixelAt(*destination, x, y);
    const std::ptrdiff_t dstStride = destination->StridePixels();
    const int width = static_cast<int>(w), height = static_cast<int>(h);
    if ((mode & 0x1FFFF) == 0) {
        if (alpha == 1.0f) {
            ScaledRows<false>(dst, dstStride, width, height, view, start, step, scanY, yStep,
                              StorePx{});
            return;
        }
        if (alpha == 0.5f) {
            ScaledRows<false>(dst, dstStride, width, height, view, start, step, scanY, yStep,
                              HalfPx{});
            return;
        }
    }
    int sourceAlpha = 0, op = 0, filter = 0;
    if (SelectVariant(mode, alpha, sourceAlpha, op, filter)) {
        kScaledLoops[sourceAlpha][op][filter](dst, dstStride, width, height, view, start, step,
                                              scanY, yStep, WeightOf(alpha));
    }
}

void RAS_CompositeRotated(RAS_IBitmap* destination, const RAS_IBitmap* source, int dstX, int dstY,
                          int dstW, int dstH, float srcX, float srcY, float srcW, float srcH,
                          float angle, bool clipToSource, float alpha, int mode,
                          float centreOffsetX, float centreOffsetY) {
    if (destination == nullptr || source == nullptr || dstW == 0 || dstH == 0 ||
        !Finite({srcX, srcY, srcW, srcH, angle, centreOffsetX, centreOffsetY})) {
        return;
    }
    double minX = 0, minY = 0, maxX = source->PixelWidth(), maxY = source->PixelHeight();
    if (clipToSource) {
        minX = srcX > 0.0f ? static_cast<double>(srcX) : minX;
        minY = srcY > 0.0f ? static_cast<double>(srcY) : minY;
        maxX = std::min(maxX, static_cast<double>(srcX + srcW));
        maxY = std::min(maxY, static_cast<double>(srcY + srcH));
    }
    float w = static_cast<float>(dstW), h = static_cast<float>(dstH);
    std::int64_t x = dstX, y = dstY;
    if (dstW < 0) {
        srcX = MirroredStart(srcX, srcW, dstW);
        srcW = -srcW;
        x += dstW;
        w = -w;
    }
    if (dstH < 0) {
        srcY = MirroredStart(srcY, srcH, dstH);
        srcH = -srcH;
        y += dstH;
        h = -h;
    }
    const float c = std::cos(angle), s = std::sin(angle);
    const float dsdx = (srcW / w) * c, dtdx = -(srcH / h) * s;
    const float dsdy = (srcW / w) * s, dtdy = (srcH / h) * c;
    float sx = srcX - ((w * dsdx + h * dsdy - srcW) * 0.5f - centreOffsetX);
    float sy = srcY - ((h * dtdy + w * dtdx - srcH) * 0.5f - centreOffsetY);
    std::int64_t width = static_cast<std::int64_t>(w), height = static_cast<std::int64_t>(h);
    if (x < 0) {
        width += x;
        sx -= static_cast<float>(x) * dsdx;
        sy -= static_cast<float>(x) * dtdx;
        x = 0;
    }
    if (y < 0) {
        height += y;
        sy -= static_cast<float>(y) * dtdy;
        sx -= static_cast<float>(y) * dsdy;
        y = 0;
    }
    width = std::min<std::int64_t>(width, destination->PixelWidth() - x);
    height = std::min<std::int64_t>(height, destination->PixelHeight() - y);
    if (width < 1 || height < 1 || destination->Pixels() == nullptr ||
        source->Pixels() == nullptr || alpha == 0.0f) {
        return;
    }
    // The clip rectangle is cut to the source, so that no bound points outside it.
    const int bx0 = static_cast<int>(ClampToRange(minX, source->PixelWidth()));
    const int by0 = static_cast<int>(ClampToRange(minY, source->PixelHeight()));
    const int bx1 = static_cast<int>(ClampToRange(maxX, source->PixelWidth()));
    const int by1 = static_cast<int>(ClampToRange(maxY, source->PixelHeight()));
    const int strideBytes = 4;
    RAS_CompositeStepped(PixelAt(*destination, x, y), source->Pixels(), static_cast<int>(width),
                         static_cast<int>(height), sx, sy, dsdx, dtdx, dsdy, dtdy, 0.0, 0.0, bx0,
                         by0, bx1, by1, source->StridePixels() * strideBytes,
                         destination->StridePixels() * strideBytes, alpha, mode);
}

void RAS_CompositeStepped(RAS_Pixel32* destination, const RAS_Pixel32* source, int width,
                          int height, double startS, double startT, double dsdx, double dtdx,
                          double dsdy, double dtdy, double ddsdx, double ddtdx, int minX, int minY,
                          int maxX, int maxY, int sourceStrideBytes, int destinationStrideBytes,
                          float alpha, int mode) {
    if (destination == nullptr || source == nullptr || width < 1 || height < 1 || minX >= maxX ||
        minY >= maxY) {
        return;
    }
    int sourceAlpha = 0, op = 0, filter = 0;
    SteppedScan k{};
    if (!SelectVariant(mode, alpha, sourceAlpha, op, filter) || !ToFixed(startS, k.s0) ||
        !ToFixed(startT, k.t0) || !ToFixed(dsdx, k.dsdx) || !ToFixed(dtdx, k.dtdx) ||
        !ToFixed(dsdy, k.dsdy) || !ToFixed(dtdy, k.dtdy) || !ToFixed(ddsdx, k.ddsdx) ||
        !ToFixed(ddtdx, k.ddtdx) || !Representable(k, width, height)) {
        return;
    }
    const SourceView view{source, sourceStrideBytes / 4, minX, minY, maxX, maxY};
    kSteppedLoops[sourceAlpha][op][filter](destination, destinationStrideBytes / 4, width, height,
                                           view, k, WeightOf(alpha));
}
