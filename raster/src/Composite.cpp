#include "raster/RAS_Composite.h"

#include "Blend.h"

#include <algorithm>
#include <cstring>

namespace ras {
namespace {

// The one loop of the two-bitmap shape; each bitmap advances by its own stride.
template <class Px>
void CompositeRows(RAS_Pixel32* dst, int dstStride, const RAS_Pixel32* src, int srcStride,
                   int width, int height, Px px) {
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            dst[col] = px(dst[col], src[col]);
        }
        dst += dstStride;
        src += srcStride;
    }
}

// The one loop of the constant-colour shape.
template <class Px> void FillRows(RAS_Pixel32* dst, int stride, int width, int height, Px px) {
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            dst[col] = px(dst[col]);
        }
        dst += stride;
    }
}

using CompositeLoop = void (*)(RAS_Pixel32*, int, const RAS_Pixel32*, int, int, int, int);
using FillLoop = void (*)(RAS_Pixel32*, int, int, int, Channels, int);

template <class Op, bool kSourceAlpha>
void CompositeWith(RAS_Pixel32* dst, int dstStride, const RAS_Pixel32* src, int srcStride,
                   int width, int height, int w) {
    CompositeRows(dst, dstStride, src, srcStride, width, height, BlendPx<Op, kSourceAlpha>{w});
}

template <class Op>
void FillWith(RAS_Pixel32* dst, int stride, int width, int height, Channels s, int w) {
    FillRows(dst, stride, width, height, ConstantPx<Op>{s, w});
}

// Indexed by (mode & 0x100FF) as [source alpha][operator].
constexpr CompositeLoop kCompositeLoops[2][4] = {
    {CompositeWith<CopyOp, false>, CompositeWith<AddOp, false>, CompositeWith<DodgeOp, false>,
     CompositeWith<MultiplyOp, false>},
    {CompositeWith<CopyOp, true>, CompositeWith<AddOp, true>, CompositeWith<DodgeOp, true>,
     CompositeWith<MultiplyOp, true>},
};

constexpr FillLoop kFillLoops[4] = {FillWith<CopyOp>, FillWith<AddOp>, FillWith<DodgeOp>,
                                    FillWith<MultiplyOp>};

// The operator loop for a mode and weight, or null when the mode draws nothing.
CompositeLoop SelectCompositeLoop(int mode, float alpha) {
    const int select = mode & 0x100FF;
    const int op = select & 0xFF;
    if (op > RAS_OP_MULTIPLY || alpha == 0.0f || (op == RAS_OP_COPY && !(alpha > 0.0f))) {
        return nullptr;
    }
    return kCompositeLoops[select >> 16][op];
}

// Cuts the area (x, y, width, height) to the bitmap; false when nothing is left.
bool ClipArea(const RAS_IBitmap& bitmap, int& x, int& y, int& width, int& height) {
    std::int64_t x0 = x, y0 = y, w = width, h = height;
    if (x0 < 0) {
        w += x0;
        x0 = 0;
    }
    if (y0 < 0) {
        h += y0;
        y0 = 0;
    }
    w = std::min<std::int64_t>(w, bitmap.PixelWidth() - x0);
    h = std::min<std::int64_t>(h, bitmap.PixelHeight() - y0);
    if (bitmap.Pixels() == nullptr || w < 1 || h < 1 || bitmap.StridePixels() < 1) {
        return false;
    }
    x = static_cast<int>(x0);
    y = static_cast<int>(y0);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

RAS_Pixel32* PixelAt(const RAS_IBitmap& bitmap, int x, int y) {
    return bitmap.Pixels() + static_cast<std::ptrdiff_t>(y) * bitmap.StridePixels() + x;
}

} // namespace
} // namespace ras

using namespace ras;

void RAS_Composite(RAS_IBitmap* destination, const RAS_IBitmap* source, int x, int y,
                   const RAS_Rect* sourceRect, float alpha, int mode) {
    if (destination == nullptr || source == nullptr) {
        return;
    }
    // 64 bits so that extreme positions and rectangles cannot overflow the clipping.
    std::int64_t left = 0, top = 0, right = source->PixelWidth(), bottom = source->PixelHeight();
    if (sourceRect != nullptr) {
        left = std::max<std::int64_t>(sourceRect->left, 0);
        top = std::max<std::int64_t>(sourceRect->top, 0);
        right = std::min<std::int64_t>(sourceRect->right, right);
        bottom = std::min<std::int64_t>(sourceRect->bottom, bottom);
    }
    std::int64_t dx = x, dy = y;
    if (dx < 0) {
        left -= dx;
        dx = 0;
    }
    if (dy < 0) {
        top -= dy;
        dy = 0;
    }
    if (destination->PixelWidth() < right + dx - left) {
        right = destination->PixelWidth() + left - dx;
    }
    if (destination->PixelHeight() < bottom + dy - top) {
        bottom = destination->PixelHeight() + top - dy;
    }
    if (left >= right || top >= bottom || destination->Pixels() == nullptr ||
        source->Pixels() == nullptr) {
        return;
    }
    const int width = static_cast<int>(right - left);
    const int height = static_cast<int>(bottom - top);
    RAS_Pixel32* dst = PixelAt(*destination, static_cast<int>(dx), static_cast<int>(dy));
    const RAS_Pixel32* src = PixelAt(*source, static_cast<int>(left), static_cast<int>(top));
    const int dstStride = destination->StridePixels();
    const int srcStride = source->StridePixels();

    if ((mode & 0xF0) == RAS_OP_CHANNEL) {
        CompositeRows(dst, dstStride, src, srcStride, width, height,
                      ChannelPx{(mode >> 2) & 3, mode & 3});
        return;
    }
    if ((mode & 0x100FF) == RAS_OP_COPY) {
        if (alpha == 1.0f) {
            for (int row = 0; row < height; ++row) {
                std::memmove(dst, src, static_cast<std::size_t>(width) * sizeof(RAS_Pixel32));
                dst += dstStride;
                src += srcStride;
            }
            return;
        }
        if (alpha == 0.5f) {
            CompositeRows(dst, dstStride, src, srcStride, width, height, HalfPx{});
            return;
        }
    }
    if (const CompositeLoop loop = SelectCompositeLoop(mode, alpha)) {
        loop(dst, dstStride, src, srcStride, width, height, WeightOf(alpha));
    }
}

void RAS_CompositeArea(RAS_IBitmap* destination, const RAS_IBitmap* source, int x, int y,
                       int sourceX, int sourceY, int width, int height, float alpha, int mode) {
    // Saturated so that a rectangle reaching past the int range is cut, not wrapped.
    const auto end = [](int start, int extent) {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{start} + extent, INT32_MIN, INT32_MAX));
    };
    const RAS_Rect rect{sourceX, sourceY, end(sourceX, width), end(sourceY, height)};
    RAS_Composite(destination, source, x, y, &rect, alpha, mode);
}

void RAS_FillArea(RAS_IBitmap* destination, int x, int y, int width, int height, RAS_Pixel32 colour,
                  float alpha, int mode) {
    if (destination == nullptr) {
        return;
    }
    if ((mode & RAS_FLAG_SOURCE_ALPHA) != 0) {
        alpha = static_cast<float>(static_cast<double>(alpha) * (Channel(colour, 24) / 255.0));
    }
    if (!ClipArea(*destination, x, y, width, height)) {
        return;
    }
    RAS_Pixel32* dst = PixelAt(*destination, x, y);
    const int stride = destination->StridePixels();
    const int op = mode & 0xFF;
    if (op == RAS_OP_COPY) {
        if (alpha == 1.0f) {
            FillRows(dst, stride, width, height, FillStorePx{colour});
            return;
        }
        if (alpha == 0.5f) {
            FillRows(dst, stride, width, height, FillHalfPx{colour});
            return;
        }
        if (alpha == 0.25f) {
            FillRows(dst, stride, width, height, FillQuarterPx{colour});
            return;
        }
        if (alpha == 0.75f) {
            FillRows(dst, stride, width, height, FillThreeQuarterPx{colour});
            return;
        }
    }
    if (op > RAS_OP_MULTIPLY || alpha == 0.0f || (op == RAS_OP_COPY && !(alpha > 0.0f))) {
        return;
    }
    const int w = WeightOf(alpha);
    // On this path the weight is the source alpha; the colour's alpha byte is not used.
    const Channels s{Channel(colour, 0), Channel(colour, 8), Channel(colour, 16), w};
    kFillLoops[op](dst, stride, width, height, s, w);
}

void RAS_MaskArea(RAS_IBitmap* destination, int x, int y, int width, int height,
                  std::uint32_t andMask, std::uint32_t orBits) {
    if (destination == nullptr || !ClipArea(*destination, x, y, width, height)) {
        return;
    }
    FillRows(PixelAt(*destination, x, y), destination->StridePixels(), width, height,
             [andMask, orBits](std::uint32_t d) { return (d & andMask) | orBits; });
}

void RAS_CloneInto(RAS_IBitmap* destination, const RAS_IBitmap* source) {
    if (destination == nullptr || source == nullptr) {
        return;
    }
    destination->SetSize(source->PixelWidth(), source->PixelHeight());
    RAS_Composite(destination, source, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
}

RAS_Pixel32 RAS_ReadPixel(const RAS_IBitmap* bitmap, int x, int y) {
    if (bitmap == nullptr || bitmap->Pixels() == nullptr || x < 0 || y < 0 ||
        x >= bitmap->PixelWidth() || y >= bitmap->PixelHeight()) {
        return 0;
    }
    return *PixelAt(*bitmap, x, y);
}

void RAS_WritePixel(RAS_IBitmap* bitmap, int x, int y, RAS_Pixel32 colour, float alpha, int mode) {
    int width = 1, height = 1;
    if (bitmap == nullptr || !ClipArea(*bitmap, x, y, width, height)) {
        return;
    }
    RAS_Pixel32& d = *PixelAt(*bitmap, x, y);
    const int op = mode & 0xFF;
    if (op == RAS_OP_COPY) {
        if (alpha == 1.0f) {
            d = colour;
            return;
        }
        if (alpha == 0.5f) {
            d = FillHalfPx{colour}(d);
            return;
        }
        if (alpha == 0.25f) {
            d = FillQuarterPx{colour}(d);
            return;
        }
        if (alpha == 0.75f) {
            d = FillThreeQuarterPx{colour}(d);
            return;
        }
    }
    if (op > RAS_OP_MULTIPLY || alpha == 0.0f || (op == RAS_OP_COPY && !(alpha > 0.0f))) {
        return;
    }
    const int w = WeightOf(alpha);
    const Channels s = Unpack(colour);
    switch (op) {
    case RAS_OP_COPY:
        d = Combine<CopyOp>(d, s, w);
        break;
    case RAS_OP_ADD:
        d = Combine<AddOp>(d, s, w);
        break;
    case RAS_OP_DODGE:
        d = Combine<DodgeOp>(d, s, w);
        break;
    default:
        d = Combine<MultiplyOp>(d, s, w);
        break;
    }
}
