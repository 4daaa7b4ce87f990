#include "RasterTestSupport.h"
#include "raster/RAS_Composite.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using rastest::At;
using rastest::FillAll;
using rastest::Mark;
using rastest::TailBitmap;

namespace {

// One-pixel composite of s onto d.
RAS_Pixel32 Composite1(RAS_Pixel32 d, RAS_Pixel32 s, float alpha, int mode) {
    TailBitmap dst(1, 1, 0, d);
    TailBitmap src(1, 1, 0, s);
    RAS_Composite(&dst, &src, 0, 0, nullptr, alpha, mode);
    return dst.At(0, 0);
}

} // namespace

TEST(CompositeOperators, HandComputedValues) {
    // Copy at 1.0 copies the bytes exactly, alpha 0 included.
    EXPECT_EQ(Composite1(0xFFFFFFFFu, 0x00123456u, 1.0f, RAS_OP_COPY), 0x00123456u);
    EXPECT_EQ(Composite1(0x00000000u, 0xFFFFFFFFu, 0.5f, RAS_OP_COPY), 0x7F7F7F7Fu);
    EXPECT_EQ(Composite1(0xFFFFFFFFu, 0x00000000u, 0.5f, RAS_OP_COPY), 0x7F7F7F7Fu);
    // 0.3: w = 76; (0x40 * 180 + 0xC0 * 76) / 256 = 102 = 0x66.
    EXPECT_EQ(Composite1(0x40404040u, 0xC0C0C0C0u, 0.3f, RAS_OP_COPY), 0x66666666u);
    EXPECT_EQ(Composite1(0x40404040u, 0xC0C0C0C0u, -1.0f, RAS_OP_COPY), 0x40404040u);
    EXPECT_EQ(Composite1(0x40404040u, 0xC0C0C0C0u, 0.0f, RAS_OP_ADD), 0x40404040u);

    // Add subtracts with a negative weight and clamps at both ends.
    EXPECT_EQ(Composite1(0x80FF1050u, 0x10012030u, 1.0f, RAS_OP_ADD), 0x90FF3080u);
    EXPECT_EQ(Composite1(0x80FF1050u, 0x10012030u, -1.0f, RAS_OP_ADD), 0x70FE0020u);
    EXPECT_EQ(Composite1(0x10101010u, 0xFF804020u, 0.5f, RAS_OP_ADD), 0x8F503020u);

    // Dodge: a 255 source at weight 256 saturates unless the destination byte is 0.
    EXPECT_EQ(Composite1(0x01000080u, 0xFFFFFFFFu, 1.0f, RAS_OP_DODGE), 0xFF0000FFu);
    // s = 128, q = 128: 0x20 -> 0x40.
    EXPECT_EQ(Composite1(0x20202020u, 0x80808080u, 1.0f, RAS_OP_DODGE), 0x40404040u);

    // Multiply: white at 256 takes 255 to 254 and 128 to 127; black clears.
    EXPECT_EQ(Composite1(0xFF80FF80u, 0xFFFFFFFFu, 1.0f, RAS_OP_MULTIPLY), 0xFE7FFE7Fu);
    EXPECT_EQ(Composite1(0xFF80FF80u, 0x00000000u, 1.0f, RAS_OP_MULTIPLY), 0u);
    // Weight 128 of black: (128 * 256 * 255) / 65536 = 127.
    EXPECT_EQ(Composite1(0xFFFFFFFFu, 0x00000000u, 0.5f, RAS_OP_MULTIPLY), 0x7F7F7F7Fu);
}

TEST(CompositeOperators, SourceAlphaWeighting) {
    const int copySA = RAS_OP_COPY | RAS_FLAG_SOURCE_ALPHA;
    EXPECT_EQ(Composite1(0x11223344u, 0x00FFFFFFu, 1.0f, copySA), 0x11223344u);
    EXPECT_EQ(Composite1(0x11223344u, 0xFFA0B0C0u, 1.0f, copySA), 0xFFA0B0C0u);
    // S_a = 127: w' = 256 * 128 / 256 = 128.
    EXPECT_EQ(Composite1(0x00000000u, 0x7FFEFEFEu, 1.0f, copySA), 0x3F7F7F7Fu);
    EXPECT_EQ(Composite1(0x10101010u, 0x00FFFFFFu, 1.0f, RAS_OP_ADD | RAS_FLAG_SOURCE_ALPHA),
              0x10101010u);
    EXPECT_EQ(Composite1(0x80808080u, 0x00000000u, 1.0f, RAS_OP_MULTIPLY | RAS_FLAG_SOURCE_ALPHA),
              0x80808080u);
    // Dodge has no early exit: S_a = 0 gives w' = 1, s = 0, q = 256: unchanged anyway.
    EXPECT_EQ(Composite1(0x80808080u, 0x00FFFFFFu, 1.0f, RAS_OP_DODGE | RAS_FLAG_SOURCE_ALPHA),
              0x80808080u);
    // The bilinear bit is ignored by the unscaled composite.
    EXPECT_EQ(Composite1(0x11223344u, 0x00FFFFFFu, 1.0f, copySA | RAS_FLAG_BILINEAR), 0x11223344u);
}

TEST(CompositeOperators, ChannelCopyAndMeaninglessModes) {
    // Red byte of the source into the alpha byte of the destination, nothing else.
    EXPECT_EQ(Composite1(0x11223344u, 0xA1B2C3D4u, 1.0f, 0xF0 | (3 << 2) | 2), 0xB2223344u);
    EXPECT_EQ(Composite1(0x11223344u, 0xA1B2C3D4u, 0.0f, 0xF0 | (0 << 2) | 3), 0x112233A1u);
    EXPECT_EQ(Composite1(0x11223344u, 0xA1B2C3D4u, 1.0f, 0xF0 | (1 << 2) | 0 | 0x10000),
              0x1122D444u);
    for (const int mode : {4, 0x7F, 0xEF, 0x10004}) {
        EXPECT_EQ(Composite1(0x11223344u, 0xA1B2C3D4u, 0.7f, mode), 0x11223344u) << mode;
    }
    // NaN and huge weights are defined: NaN draws as weight 0, huge ones saturate.
    EXPECT_EQ(Composite1(0x11223344u, 0xA1B2C3D4u, std::nanf(""), RAS_OP_ADD), 0x11223344u);
    EXPECT_EQ(Composite1(0x11223344u, 0x01010101u, 1e30f, RAS_OP_ADD), 0x91A2B3C4u);
    EXPECT_EQ(Composite1(0x11223344u, 0x02020202u, 1e30f, RAS_OP_ADD), 0xFFFFFFFFu);
    EXPECT_EQ(Composite1(0x11223344u, 0x01010101u, -1e30f, RAS_OP_MULTIPLY), 0xFFFFFFFFu);
}

TEST(CompositeClipping, EverySideAndTheSourceRectangle) {
    TailBitmap src(8, 6, 11);
    rastest::FillMarks(src);
    struct Case {
        int x, y;
        RAS_Rect rect;
        int dx0, dy0, sx0, sy0, w, h; // expected copied block
    };
    const Case cases[] = {
        {-3, 0, {0, 0, 8, 6}, 0, 0, 3, 0, 5, 6},      // left
        {0, -2, {0, 0, 8, 6}, 0, 0, 0, 2, 8, 4},      // top
        {5, 0, {0, 0, 8, 6}, 5, 0, 0, 0, 4, 6},       // right
        {0, 3, {0, 0, 8, 6}, 0, 3, 0, 0, 8, 4},       // bottom
        {-1, -1, {-5, -5, 50, 50}, 0, 0, 1, 1, 7, 5}, // rectangle past the source
        {2, 1, {3, 2, 6, 4}, 2, 1, 3, 2, 3, 2},       // inner rectangle
        {-2, 4, {3, 1, 7, 5}, 0, 4, 5, 1, 2, 3},      // rectangle and two sides
    };
    for (const Case& c : cases) {
        TailBitmap dst(9, 7, 13, 0xDEADBEEFu);
        RAS_Composite(&dst, &src, c.x, c.y, &c.rect, 1.0f, RAS_OP_COPY);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 9; ++x) {
                const bool inside = x >= c.dx0 && x < c.dx0 + c.w && y >= c.dy0 && y < c.dy0 + c.h;
                const RAS_Pixel32 want =
                    inside ? Mark(c.sx0 + x - c.dx0, c.sy0 + y - c.dy0) : 0xDEADBEEFu;
                ASSERT_EQ(dst.At(x, y), want)
                    << "case at " << c.x << "," << c.y << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(CompositeClipping, NothingToDrawAndExtremeCoordinates) {
    TailBitmap src(4, 4, 0, 0xFFFFFFFFu);
    TailBitmap dst(4, 4, 0, 0x01020304u);
    const RAS_Rect empty{2, 2, 2, 4};
    const RAS_Rect inverted{3, 3, 1, 1};
    RAS_Composite(&dst, &src, 0, 0, &empty, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, &src, 0, 0, &inverted, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, &src, 4, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, &src, -4, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, &src, INT_MAX, INT_MAX, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, &src, INT_MIN, INT_MIN, nullptr, 1.0f, RAS_OP_COPY);
    RAS_CompositeArea(&dst, &src, 0, 0, INT_MAX - 1, 0, INT_MAX, 4, 1.0f, RAS_OP_COPY);
    RAS_CompositeArea(&dst, &src, 0, 0, 0, 0, -3, 4, 1.0f, RAS_OP_COPY);
    RAS_Composite(nullptr, &src, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&dst, nullptr, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_MemBitmap none;
    RAS_Composite(&dst, &none, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    RAS_Composite(&none, &src, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(dst.At(x, y), 0x01020304u);
        }
    }
    // A huge area from a valid origin is cut to both bitmaps.
    RAS_CompositeArea(&dst, &src, 1, 1, 0, 0, INT_MAX, INT_MAX, 1.0f, RAS_OP_ADD);
    EXPECT_EQ(dst.At(0, 0), 0x01020304u);
    EXPECT_EQ(dst.At(3, 3), 0xFFFFFFFFu);
}

TEST(CompositeClipping, OpaqueCopyOfTheFKeepsItsShape) {
    TailBitmap f(5, 7);
    rastest::DrawF(f);
    TailBitmap dst(6, 8, 9, 0u);
    RAS_CompositeArea(&dst, &f, 1, 1, 0, 0, 5, 7, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(dst.At(0, 0), 0u);
    EXPECT_EQ(dst.At(1, 1), rastest::kRed);
    EXPECT_EQ(dst.At(5, 1), rastest::kRed);
    EXPECT_EQ(dst.At(5, 2), rastest::kBlue);
    EXPECT_EQ(dst.At(4, 4), rastest::kRed);
    EXPECT_EQ(dst.At(5, 4), rastest::kBlue);
    EXPECT_EQ(dst.At(1, 7), rastest::kRed);
    EXPECT_EQ(dst.At(2, 7), rastest::kBlue);
}

TEST(Fill, ShortcutsOperatorsAndClipping) {
    TailBitmap b(3, 2, 5, 0xFFFFFFFFu);
    RAS_FillArea(&b, 0, 0, 3, 2, 0x00000000u, 0.5f, RAS_OP_COPY);
    EXPECT_EQ(b.At(2, 1), 0x7F7F7F7Fu);

    FillAll(b, 0xFF102030u);
    // 0.3 (w = 76): the alpha byte becomes (D_a * 180 + 76 * 76) / 256 whatever the
    // colour's alpha byte.
    RAS_FillArea(&b, 0, 0, 3, 2, 0x00FF8040u, 0.3f, RAS_OP_COPY);
    EXPECT_EQ(b.At(0, 0), 0xC9563C34u);

    FillAll(b, 0x80808080u);
    RAS_FillArea(&b, 0, 0, 3, 2, 0x00FFFFFFu, 0.25f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0x609F9F9Fu); // 0x40 + 0x20 + 0x3F
    FillAll(b, 0x80808080u);
    RAS_FillArea(&b, 0, 0, 3, 2, 0x00FFFFFFu, 0.75f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0x20DEDEDEu);
    RAS_FillArea(&b, 0, 0, 3, 2, 0x12345678u, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(b.At(2, 1), 0x12345678u);

    // The source-alpha flag scales the opacity by the colour's alpha: 0x80 / 255 * 1.0
    // is not one of the shortcuts, w = 128.
    FillAll(b, 0x00000000u);
    RAS_FillArea(&b, 0, 0, 3, 2, 0x80FFFFFFu, 1.0f, RAS_OP_COPY | RAS_FLAG_SOURCE_ALPHA);
    EXPECT_EQ(b.At(0, 0), 0x407F7F7Fu);
    // A fully transparent colour gives alpha 0: nothing.
    RAS_FillArea(&b, 0, 0, 3, 2, 0x00FFFFFFu, 1.0f, RAS_OP_ADD | RAS_FLAG_SOURCE_ALPHA);
    EXPECT_EQ(b.At(0, 0), 0x407F7F7Fu);

    FillAll(b, 0x10101010u);
    RAS_FillArea(&b, 0, 0, 3, 2, 0x00202020u, -1.0f, RAS_OP_ADD);
    // The weight -256 is also the source alpha, so alpha gains (-256 * -256) / 256.
    EXPECT_EQ(b.At(0, 0), 0xFF000000u);
    RAS_FillArea(&b, 0, 0, 3, 2, 0xFFFFFFFFu, 1.0f, 0xF2);
    EXPECT_EQ(b.At(0, 0), 0xFF000000u) << "channel copy does not fill";

    TailBitmap c(4, 3, 6, 0u);
    RAS_FillArea(&c, -2, -1, 4, 3, 1u, 1.0f, RAS_OP_COPY);
    RAS_FillArea(&c, 3, 2, 100, 100, 2u, 1.0f, RAS_OP_COPY);
    RAS_FillArea(&c, INT_MAX, 0, INT_MAX, 1, 3u, 1.0f, RAS_OP_COPY);
    RAS_FillArea(&c, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 4u, 0.0f, RAS_OP_ADD);
    const RAS_Pixel32 want[3][4] = {{1, 1, 0, 0}, {1, 1, 0, 0}, {0, 0, 0, 2}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(c.At(x, y), want[y][x]) << x << "," << y;
        }
    }
}

TEST(Mask, AndOrOverTheClippedArea) {
    TailBitmap b(3, 3, 4, 0x80A0B0C0u);
    RAS_MaskArea(&b, 1, -1, 5, 3, 0x00FFFFFFu, 0x01000000u);
    EXPECT_EQ(b.At(0, 0), 0x80A0B0C0u);
    EXPECT_EQ(b.At(1, 0), 0x01A0B0C0u);
    EXPECT_EQ(b.At(2, 1), 0x01A0B0C0u);
    EXPECT_EQ(b.At(2, 2), 0x80A0B0C0u);
    RAS_MaskArea(nullptr, 0, 0, 1, 1, 0, 0);
}

TEST(Clone, ResizesAndCopiesExactly) {
    TailBitmap src(5, 4, 7);
    rastest::FillMarks(src);
    RAS_MemBitmap dst(2, 2);
    RAS_CloneInto(&dst, &src);
    ASSERT_EQ(dst.PixelWidth(), 5);
    ASSERT_EQ(dst.PixelHeight(), 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(At(dst, x, y), Mark(x, y));
        }
    }
    // A destination that cannot take the size gets the overlap only.
    TailBitmap fixed(3, 2, 0, 0u);
    RAS_CloneInto(&fixed, &src);
    EXPECT_EQ(fixed.At(2, 1), Mark(2, 1));
    RAS_CloneInto(&dst, nullptr);
    RAS_CloneInto(nullptr, &src);
}

TEST(PixelAccess, ReadAndWrite) {
    TailBitmap b(4, 3, 6);
    rastest::FillMarks(b);
    EXPECT_EQ(RAS_ReadPixel(&b, 3, 2), Mark(3, 2));
    EXPECT_EQ(RAS_ReadPixel(&b, 4, 0), 0u);
    EXPECT_EQ(RAS_ReadPixel(&b, 0, 3), 0u);
    EXPECT_EQ(RAS_ReadPixel(&b, -1, 0), 0u);
    EXPECT_EQ(RAS_ReadPixel(nullptr, 0, 0), 0u);
    const RAS_MemBitmap none;
    EXPECT_EQ(RAS_ReadPixel(&none, 0, 0), 0u);

    FillAll(b, 0xFFFFFFFFu);
    RAS_WritePixel(&b, 1, 1, 0x00000000u, 0.5f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0x7F7F7F7Fu);
    RAS_WritePixel(&b, 1, 1, 0x00000000u, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0u);
    b.At(1, 1) = 0x80808080u;
    RAS_WritePixel(&b, 1, 1, 0x00FFFFFFu, 0.25f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0x609F9F9Fu);
    b.At(1, 1) = 0x80808080u;
    RAS_WritePixel(&b, 1, 1, 0x00FFFFFFu, 0.75f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0x20DEDEDEu);
    // The general path uses the colour's own alpha byte as S_a: (0x40*180 + 0x80*76)/256.
    b.At(1, 1) = 0x40404040u;
    RAS_WritePixel(&b, 1, 1, 0x80808080u, 0.3f, RAS_OP_COPY);
    EXPECT_EQ(b.At(1, 1), 0x53535353u);
    b.At(1, 1) = 0x40404040u;
    RAS_WritePixel(&b, 1, 1, 0x01020304u, -1.0f, RAS_OP_ADD | RAS_FLAG_SOURCE_ALPHA);
    EXPECT_EQ(b.At(1, 1), 0x3F3E3D3Cu);
    RAS_WritePixel(&b, 1, 1, 0xFFFFFFFFu, 1.0f, RAS_OP_DODGE);
    EXPECT_EQ(b.At(1, 1), 0xFFFFFFFFu);
    RAS_WritePixel(&b, 1, 1, 0x00000000u, 1.0f, RAS_OP_MULTIPLY);
    EXPECT_EQ(b.At(1, 1), 0u);
    RAS_WritePixel(&b, 1, 1, 0xFFFFFFFFu, -0.5f, RAS_OP_COPY);
    RAS_WritePixel(&b, 1, 1, 0xFFFFFFFFu, 1.0f, 0xF3);
    EXPECT_EQ(b.At(1, 1), 0u);
    for (const auto& [x, y] :
         {std::pair{4, 0}, std::pair{0, 3}, std::pair{-1, 1}, std::pair{INT_MIN, INT_MAX}}) {
        RAS_WritePixel(&b, x, y, 0x12345678u, 1.0f, RAS_OP_COPY);
    }
    RAS_WritePixel(nullptr, 0, 0, 0u, 1.0f, RAS_OP_COPY);
}
