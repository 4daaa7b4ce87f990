#include "RasterTestSupport.h"
#include "raster/RAS_Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>

using rastest::ExpectPixels;
using rastest::FillAll;
using rastest::Mark;
using rastest::TailBitmap;

namespace {

constexpr float kPi = 3.14159265f;

// The channels at a position in tenths of pixels: linear in x and y, so bilinear
// samples are exact.
RAS_Pixel32 GradientAtTenths(int x10, int y10) {
    const int b = x10 + 4 * y10;
    return rastest::Argb(255 - 2 * y10, x10 / 2, 250 - b, b);
}

void FillGradient(TailBitmap& b) {
    for (int y = 0; y < b.PixelHeight(); ++y)
        for (int x = 0; x < b.PixelWidth(); ++x)
            b.At(x, y) = GradientAtTenths(10 * x, 10 * y);
}

int Drawn(const TailBitmap& b, RAS_Pixel32 colour) {
    int n = 0;
    for (int y = 0; y < b.PixelHeight(); ++y)
        for (int x = 0; x < b.PixelWidth(); ++x)
            n += b.At(x, y) == colour;
    return n;
}

} // namespace

TEST(CompositeScaled, NearestDoublingRepeatsEachPixelAndEveryScanReadsTheSameSamples) {
    TailBitmap src(48, 48, 50);
    rastest::FillMarks(src);
    TailBitmap dst(96, 96);
    RAS_CompositeScaled(&dst, &src, 0, 0, 96, 96, 0, 0, 48, 48, 1.0f, RAS_OP_COPY);
    ExpectPixels(dst, [](int x, int y) { return Mark(x / 2, y / 2); });
    TailBitmap half(96, 96, 0, 0xFFFFFFFFu);
    RAS_CompositeScaled(&half, &src, 0, 0, 96, 96, 0, 0, 48, 48, 0.5f, RAS_OP_COPY);
    EXPECT_EQ(half.At(95, 95), ((Mark(47, 47) >> 1) & 0x7F7F7F7Fu) + 0x7F7F7F7Fu);
    TailBitmap sa(96, 96, 0, 0u);
    RAS_CompositeScaled(&sa, &src, 0, 0, 96, 96, 0, 0, 48, 48, 1.0f,
                        RAS_OP_ADD | RAS_FLAG_SOURCE_ALPHA);
    EXPECT_EQ(sa.At(95, 0), 0u + ((Mark(47, 0) & 0xFF) * 129 / 256) + (0x80u * 129 / 256 << 24));
}

TEST(CompositeScaled, BilinearInterpolatesAndStaysInsideTheSource) {
    // 5 x 4 doubled: the last column is interpolated vertically only, the last row
    // horizontally only, the corner is the nearest sample.
    TailBitmap src(5, 4, 6);
    FillGradient(src);
    TailBitmap dst(10, 8);
    RAS_CompositeScaled(&dst, &src, 0, 0, 10, 8, 0, 0, 5, 4, 1.0f, RAS_OP_COPY | RAS_FLAG_BILINEAR);
    ExpectPixels(dst, [](int x, int y) {
        return GradientAtTenths(std::min(x * 5, 40), std::min(y * 5, 30));
    });
}

TEST(CompositeScaled, MirroringAndClipping) {
    TailBitmap f(5, 7);
    rastest::DrawF(f);
    TailBitmap dst(7, 9, 0, 0u);
    RAS_CompositeScaled(&dst, &f, 6, 1, -5, 7, 0, 0, 5, 7, 1.0f, RAS_OP_COPY);
    ExpectPixels(dst, [&](int x, int y) {
        return x >= 1 && x < 6 && y >= 1 && y < 8 ? f.At(5 - x, y - 1) : 0u;
    });

    // Clipped at the left and top: the visible part keeps its source positions.
    TailBitmap src(8, 8);
    rastest::FillMarks(src);
    TailBitmap clipped(4, 4, 0, 0u);
    RAS_CompositeScaled(&clipped, &src, -4, -2, 16, 16, 0, 0, 8, 8, 1.0f, RAS_OP_COPY);
    ExpectPixels(clipped, [](int x, int y) { return Mark((x + 4) / 2, (y + 2) / 2); });
}

TEST(CompositeRotated, AngleZeroAndOffsetCopyExactly) {
    TailBitmap src(6, 5, 9);
    rastest::FillMarks(src);
    TailBitmap dst(10, 9, 0, 0x12345678u);
    RAS_CompositeRotated(&dst, &src, 3, 2, 6, 5, 0, 0, 6, 5, 0.0f, false, 1.0f, RAS_OP_COPY, 0, 0);
    ExpectPixels(dst, [](int x, int y) {
        return x >= 3 && x < 9 && y >= 2 && y < 7 ? Mark(x - 3, y - 2) : 0x12345678u;
    });
    // A centre offset of one source pixel moves the image one pixel the other way.
    TailBitmap moved(6, 5, 0, 0u);
    RAS_CompositeRotated(&moved, &src, 0, 0, 6, 5, 0, 0, 6, 5, 0.0f, false, 1.0f, RAS_OP_COPY, 1.0f,
                         0);
    EXPECT_EQ(moved.At(0, 0), Mark(1, 0));
    EXPECT_EQ(moved.At(5, 0), 0u);
}

TEST(CompositeRotated, QuarterTurnAndClippingToTheSourceRectangle) {
    TailBitmap mark(10, 10, 0, 0u);
    for (int y = 4; y < 6; ++y)
        for (int x = 7; x < 9; ++x)
            mark.At(x, y) = rastest::kRed;
    TailBitmap framed(30, 30, 0, rastest::kRed);
    for (int y = 10; y < 20; ++y)
        for (int x = 10; x < 20; ++x)
            framed.At(x, y) = rastest::kBlue;
    for (const int mode : {RAS_OP_COPY, RAS_OP_COPY | RAS_FLAG_BILINEAR}) {
        // A mark right of the centre turns to below it.
        TailBitmap dst(10, 10, 0, 0u);
        RAS_CompositeRotated(&dst, &mark, 0, 0, 10, 10, 0, 0, 10, 10, kPi / 2, false, 1.0f, mode, 0,
                             0);
        ExpectPixels(dst,
                     [&](int x, int y) { return y >= 6 && x >= 3 && x <= 6 ? dst.At(x, y) : 0u; });
        EXPECT_GE(10 * 10 - Drawn(dst, 0u), 2);
        // Only the blue rectangle is drawn, the red frame around it never.
        TailBitmap clipped(24, 24, 0, 0u);
        RAS_CompositeRotated(&clipped, &framed, 2, 2, 20, 20, 10, 10, 10, 10, 0.3f, true, 1.0f,
                             mode, 0, 0);
        EXPECT_EQ(Drawn(clipped, 0u) + Drawn(clipped, rastest::kBlue), 24 * 24);
        EXPECT_GT(Drawn(clipped, rastest::kBlue), 200);
        EXPECT_EQ(clipped.At(2, 2), 0u) << "a corner turned outside the rectangle";
    }
}

TEST(ResampledComposites, RandomAndExtremeScansNeverTouchOutsideEitherBitmap) {
    // Bitmaps at the end of their allocation: AddressSanitizer reports any stray access.
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<float> coord(-12.0f, 24.0f), size(-30.0f, 30.0f);
    std::uniform_int_distribution<int> dpos(-20, 20), dsize(-25, 25), angleDeg(-400, 400);
    const int modes[] = {0, 1, 2, 3, 0x10000, 0x10001, 0x10002, 0x10003, 0x100, 0x10100, 0x10102};
    for (int i = 0; i < 4000; ++i) {
        TailBitmap src(1 + i % 7, 1 + i % 5, 1 + i % 7 + i % 3);
        rastest::FillMarks(src);
        TailBitmap dst(1 + i % 9, 1 + i % 6, 0, 0x55555555u);
        const int mode = modes[i % 11];
        const float alpha = (i % 4 == 0) ? 1.0f : (i % 4 == 1 ? 0.5f : 0.7f);
        RAS_CompositeScaled(&dst, &src, dpos(rng), dpos(rng), dsize(rng), dsize(rng), coord(rng),
                            coord(rng), size(rng), size(rng), alpha, mode);
        RAS_CompositeRotated(&dst, &src, dpos(rng), dpos(rng), dsize(rng), dsize(rng), coord(rng),
                             coord(rng), size(rng), size(rng),
                             static_cast<float>(angleDeg(rng)) * kPi / 180, i % 2 == 0, alpha, mode,
                             coord(rng) / 4, coord(rng) / 4);
    }
    // Extreme rectangles are clipped without overflow.
    TailBitmap src(4, 4);
    TailBitmap dst(4, 4, 0, 7u);
    RAS_CompositeScaled(&dst, &src, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 3, 3, 1.0f,
                        RAS_OP_COPY);
    RAS_CompositeScaled(&dst, &src, INT_MAX, 0, INT_MIN, 4, 0, 0, 3, 3, 1.0f, RAS_OP_COPY);
    RAS_CompositeRotated(&dst, &src, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 3, 3, 0.5f, false,
                         1.0f, RAS_OP_COPY, 0, 0);
    RAS_CompositeStepped(dst.Pixels(), src.Pixels(), 4, 4, 0, 0, 1, 0, 0, 1, 1e12, 1e12, 0, 0, 4, 4,
                         16, 16, 1.0f, RAS_OP_COPY);
    // Positions beyond fixed point, non-finite values and a clip rectangle wholly
    // outside the source draw nothing.
    FillAll(dst, 7u);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 1e30f, 0, 3, 3, 1.0f, RAS_OP_COPY);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 0, 0, 1e30f, 3, 1.0f, RAS_OP_ADD);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, std::nanf(""), 0, 3, 3, 1.0f, RAS_OP_COPY);
    RAS_CompositeRotated(&dst, &src, 0, 0, 4, 4, 0, 0, 1e30f, 1e30f, 1.0f, false, 1.0f,
                         RAS_OP_COPY | RAS_FLAG_BILINEAR, 0, 0);
    RAS_CompositeRotated(&dst, &src, 0, 0, 4, 4, 0, 0, 3, 3, std::nanf(""), false, 1.0f,
                         RAS_OP_COPY, 0, 0);
    RAS_CompositeRotated(&dst, &src, 0, 0, 4, 4, -9, -9, 3, 3, 0.1f, true, 1.0f,
                         RAS_OP_COPY | RAS_FLAG_BILINEAR, 0, 0);
    RAS_CompositeStepped(dst.Pixels(), src.Pixels(), 4, 4, 0, 0, 1e300, 0, 0, 1, 0, 0, 0, 0, 4, 4,
                         16, 16, 1.0f, RAS_OP_COPY);
    RAS_CompositeStepped(dst.Pixels(), src.Pixels(), 4, 4, 0, 0, 1, 0, 0, 1, 1e16, 0, 0, 0, 4, 4,
                         16, 16, 1.0f, RAS_OP_COPY);
    ExpectPixels(dst, [](int, int) { return 7u; });
}
