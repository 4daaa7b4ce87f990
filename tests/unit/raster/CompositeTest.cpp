#include "RasterTestSupport.h"
#include "raster/RAS_Composite.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using rastest::ExpectPixels;
using rastest::FillAll;
using rastest::Mark;
using rastest::TailBitmap;

namespace {
constexpr int kCopySA = RAS_OP_COPY | RAS_FLAG_SOURCE_ALPHA;

struct OnePixel {
    RAS_Pixel32 before, source;
    float alpha;
    int mode;
    RAS_Pixel32 after;
};
} // namespace

TEST(CompositeOperators, ChannelCopyMeaninglessModesAndExtremeWeights) {
    // The operators themselves are swept against their formula; these are the odd modes.
    const OnePixel cases[] = {
        {0x11223344u, 0xA1B2C3D4u, 1.0f, 0xF0 | (3 << 2) | 2, 0xB2223344u}, // channel copy
        {0x11223344u, 0xA1B2C3D4u, 0.0f, 0xF0 | (0 << 2) | 3, 0x112233A1u},
        {0x11223344u, 0xA1B2C3D4u, 1.0f, 0xF0 | (1 << 2) | 0 | 0x10000, 0x1122D444u},
        {0x11223344u, 0xA1B2C3D4u, 0.7f, 4, 0x11223344u}, // meaningless modes draw nothing
        {0x11223344u, 0xA1B2C3D4u, 0.7f, 0xEF, 0x11223344u},
        {0x11223344u, 0xA1B2C3D4u, 0.7f, 0x10004, 0x11223344u},
        {0x11223344u, 0xA1B2C3D4u, std::nanf(""), RAS_OP_ADD, 0x11223344u},
        {0x11223344u, 0x01010101u, 1e30f, RAS_OP_ADD, 0x91A2B3C4u},
        {0x11223344u, 0x02020202u, 1e30f, RAS_OP_ADD, 0xFFFFFFFFu},
        {0x11223344u, 0x01010101u, -1e30f, RAS_OP_MULTIPLY, 0xFFFFFFFFu},
    };
    for (const OnePixel& c : cases) {
        TailBitmap dst(1, 1, 0, c.before);
        TailBitmap src(1, 1, 0, c.source);
        RAS_Composite(&dst, &src, 0, 0, nullptr, c.alpha, c.mode);
        EXPECT_EQ(dst.At(0, 0), c.after)
            << std::hex << c.before << " " << c.source << " mode " << c.mode << " " << c.alpha;
    }
}

TEST(CompositeClipping, EverySideAndTheSourceRectangle) {
    TailBitmap src(8, 6, 11);
    rastest::FillMarks(src);
    const struct {
        int x, y;
        RAS_Rect rect;
        int dx0, dy0, sx0, sy0, w, h; // the block expected to be copied
    } cases[] = {
        {-3, -2, {0, 0, 8, 6}, 0, 0, 3, 2, 5, 4},     // left and top
        {5, 3, {0, 0, 8, 6}, 5, 3, 0, 0, 4, 4},       // right and bottom
        {-1, -1, {-5, -5, 50, 50}, 0, 0, 1, 1, 7, 5}, // rectangle past the source
        {2, 1, {3, 2, 6, 4}, 2, 1, 3, 2, 3, 2},       // inner rectangle
        {-2, 4, {3, 1, 7, 5}, 0, 4, 5, 1, 2, 3},      // rectangle and two sides
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y);
        TailBitmap dst(9, 7, 13, 0xDEADBEEFu);
        RAS_Composite(&dst, &src, c.x, c.y, &c.rect, 1.0f, RAS_OP_COPY);
        ExpectPixels(dst, [&](int x, int y) {
            const bool inside = x >= c.dx0 && x < c.dx0 + c.w && y >= c.dy0 && y < c.dy0 + c.h;
            return inside ? Mark(c.sx0 + x - c.dx0, c.sy0 + y - c.dy0) : 0xDEADBEEFu;
        });
    }
}

TEST(CompositeClipping, NothingToDrawAndExtremeCoordinates) {
    TailBitmap src(4, 4, 0, 0xFFFFFFFFu);
    TailBitmap dst(4, 4, 0, 0x01020304u);
    RAS_MemBitmap none;
    for (const RAS_Rect& rect : {RAS_Rect{2, 2, 2, 4}, RAS_Rect{3, 3, 1, 1}})
        RAS_Composite(&dst, &src, 0, 0, &rect, 1.0f, RAS_OP_COPY);
    for (const auto& [x, y] : {std::pair{4, 0}, {-4, 0}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}})
        RAS_Composite(&dst, &src, x, y, nullptr, 1.0f, RAS_OP_COPY);
    RAS_CompositeArea(&dst, &src, 0, 0, INT_MAX - 1, 0, INT_MAX, 4, 1.0f, RAS_OP_COPY);
    RAS_CompositeArea(&dst, &src, 0, 0, 0, 0, -3, 4, 1.0f, RAS_OP_COPY);
    RAS_Composite(nullptr, &src, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, nullptr, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, &none, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&none, &src, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    ExpectPixels(dst, [](int, int) { return 0x01020304u; });
    // A huge area from a valid origin is cut to both bitmaps.
    RAS_CompositeArea(&dst, &src, 1, 1, 0, 0, INT_MAX, INT_MAX, 1.0f, RAS_OP_ADD);
    EXPECT_EQ(dst.At(0, 0), 0x01020304u);
    EXPECT_EQ(dst.At(3, 3), 0xFFFFFFFFu);
}

TEST(Fill, ShortcutsAndTheGeneralPathLikeWritePixel) {
    // Off the shortcut weights a fill weighs by alpha alone, a pixel by the colour's alpha too.
    const struct {
        OnePixel c;
        bool fill, pixel;
    } cases[] = {
        {{0xFFFFFFFFu, 0x00000000u, 0.5f, RAS_OP_COPY, 0x7F7F7F7Fu}, true, true},
        {{0x80808080u, 0x00FFFFFFu, 0.25f, RAS_OP_COPY, 0x609F9F9Fu}, true, true},
        {{0x80808080u, 0x12345678u, 1.0f, RAS_OP_COPY, 0x12345678u}, true, true},
        {{0x40404040u, 0x80808080u, 0.3f, RAS_OP_COPY, 0x53535353u}, false, true},
        {{0x00000000u, 0x80FFFFFFu, 1.0f, kCopySA, 0x407F7F7Fu}, true, false},
        {{0x40404040u, 0x01020304u, -1.0f, RAS_OP_ADD | RAS_FLAG_SOURCE_ALPHA, 0x3F3E3D3Cu},
         false, true},
        {{0x3F3E3D3Cu, 0xFFFFFFFFu, 1.0f, RAS_OP_DODGE, 0xFFFFFFFFu}, false, true},
        {{0xFFFFFFFFu, 0x00000000u, 1.0f, RAS_OP_MULTIPLY, 0u}, false, true},
        {{0x12u, 0xFFFFFFFFu, -0.5f, RAS_OP_COPY, 0x12u}, true, true},
        {{0xFF000000u, 0xFFFFFFFFu, 1.0f, 0xF2, 0xFF000000u}, true, true}, // no channel copy
    };
    for (const auto& [c, fill, pixel] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.source << " mode " << c.mode);
        TailBitmap b(3, 2, 5, c.before);
        if (fill) {
            RAS_FillArea(&b, 0, 0, 3, 2, c.source, c.alpha, c.mode);
            ExpectPixels(b, [&](int, int) { return c.after; });
        }
        if (pixel) {
            FillAll(b, c.before);
            RAS_WritePixel(&b, 1, 1, c.source, c.alpha, c.mode);
            EXPECT_EQ(b.At(1, 1), c.after);
            EXPECT_EQ(b.At(0, 1), c.before);
        }
    }
}

TEST(Fill, MaskAndPixelAccessAreClippedToTheBitmap) {
    TailBitmap c(4, 3, 6, 0u);
    RAS_FillArea(&c, -2, -1, 4, 3, 1u, 1.0f, RAS_OP_COPY);
    RAS_FillArea(&c, 3, 2, 100, 100, 2u, 1.0f, RAS_OP_COPY);
    RAS_FillArea(&c, INT_MAX, 0, INT_MAX, 1, 3u, 1.0f, RAS_OP_COPY);
    RAS_FillArea(&c, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 4u, 0.0f, RAS_OP_ADD);
    const RAS_Pixel32 want[3][4] = {{1, 1, 0, 0}, {1, 1, 0, 0}, {0, 0, 0, 2}};
    ExpectPixels(c, [&](int x, int y) { return want[y][x]; });

    TailBitmap b(3, 3, 4, 0x80A0B0C0u);
    RAS_MaskArea(&b, 1, -1, 5, 3, 0x00FFFFFFu, 0x01000000u);
    ExpectPixels(b, [](int x, int y) { return x >= 1 && y <= 1 ? 0x01A0B0C0u : 0x80A0B0C0u; });
    RAS_MaskArea(nullptr, 0, 0, 1, 1, 0, 0);

    rastest::FillMarks(b);
    const RAS_MemBitmap none;
    EXPECT_EQ(RAS_ReadPixel(&b, 2, 2), Mark(2, 2));
    for (const auto& [x, y] : {std::pair{3, 0}, {0, 3}, {-1, 0}, {INT_MIN, INT_MAX}}) {
        EXPECT_EQ(RAS_ReadPixel(&b, x, y), 0u) << x << "," << y;
        RAS_WritePixel(&b, x, y, 0x12345678u, 1.0f, RAS_OP_COPY);
    }
    EXPECT_EQ(RAS_ReadPixel(nullptr, 0, 0), 0u);
    EXPECT_EQ(RAS_ReadPixel(&none, 0, 0), 0u);
    RAS_WritePixel(nullptr, 0, 0, 0u, 1.0f, RAS_OP_COPY);
    ExpectPixels(b, Mark);
}

TEST(Clone, ResizesAndCopiesExactlyOrTakesTheOverlap) {
    TailBitmap src(5, 4, 7);
    rastest::FillMarks(src);
    RAS_MemBitmap dst(2, 2);
    RAS_CloneInto(&dst, &src);
    ASSERT_EQ(dst.PixelWidth(), 5);
    ASSERT_EQ(dst.PixelHeight(), 4);
    ExpectPixels(dst, Mark);
    TailBitmap fixed(3, 2, 0, 0u); // cannot take the size
    RAS_CloneInto(&fixed, &src);
    ExpectPixels(fixed, Mark);
    RAS_CloneInto(&dst, nullptr);
    RAS_CloneInto(nullptr, &src);
}
