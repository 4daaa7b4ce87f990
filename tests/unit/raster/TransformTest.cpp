#include "RasterTestSupport.h"
#include "raster/RAS_Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>

using rastest::FillAll;
using rastest::Mark;
using rastest::TailBitmap;

namespace {

constexpr float kPi = 3.14159265f;

// Every channel linear in x and y, so bilinear samples are exact.
RAS_Pixel32 Gradient(int x, int y) {
    const int b = 10 * x + 40 * y, g = 250 - b, r = 5 * x, a = 255 - 20 * y;
    return static_cast<RAS_Pixel32>(b | g << 8 | r << 16 | a << 24);
}

// The value of that gradient at fractional position (in tenths of pixels).
RAS_Pixel32 GradientAtTenths(int x10, int y10) {
    const int b = x10 + 4 * y10, g = 250 - b, r = x10 / 2, a = 255 - 2 * y10;
    return static_cast<RAS_Pixel32>(b | g << 8 | r << 16 | a << 24);
}

void FillGradient(TailBitmap& b) {
    for (int y = 0; y < b.PixelHeight(); ++y) {
        for (int x = 0; x < b.PixelWidth(); ++x) {
            b.At(x, y) = Gradient(x, y);
        }
    }
}

} // namespace

TEST(CompositeScaled, NearestDoublingRepeatsEachPixelInABlock) {
    TailBitmap src(48, 48, 50);
    rastest::FillMarks(src);
    TailBitmap dst(96, 96);
    RAS_CompositeScaled(&dst, &src, 0, 0, 96, 96, 0, 0, 48, 48, 1.0f, RAS_OP_COPY);
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 96; ++x) {
            ASSERT_EQ(dst.At(x, y), Mark(x / 2, y / 2)) << x << "," << y;
        }
    }
    // The halving scan and the operator scans read the same samples.
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
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(dst.At(x, y), GradientAtTenths(std::min(x * 5, 40), std::min(y * 5, 30)))
                << x << "," << y;
        }
    }
    EXPECT_EQ(dst.At(9, 7), src.At(4, 3));
}

TEST(CompositeScaled, MirroringAndClipping) {
    TailBitmap f(5, 7);
    rastest::DrawF(f);
    TailBitmap dst(7, 9, 0, 0u);
    RAS_CompositeScaled(&dst, &f, 6, 1, -5, 7, 0, 0, 5, 7, 1.0f, RAS_OP_COPY);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool inside = x >= 1 && x < 6 && y >= 1 && y < 8;
            ASSERT_EQ(dst.At(x, y), inside ? f.At(5 - x, y - 1) : 0u) << x << "," << y;
        }
    }
    TailBitmap flipped(5, 7, 0, 0u);
    RAS_CompositeScaled(&flipped, &f, 0, 7, 5, -7, 0, 0, 5, 7, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(flipped.At(4, 6), rastest::kRed);
    EXPECT_EQ(flipped.At(4, 5), rastest::kBlue);
    EXPECT_EQ(flipped.At(0, 0), rastest::kRed);

    // Clipped at the left and top: the visible part keeps its source positions.
    TailBitmap src(8, 8);
    rastest::FillMarks(src);
    TailBitmap clipped(4, 4, 0, 0u);
    RAS_CompositeScaled(&clipped, &src, -4, -2, 16, 16, 0, 0, 8, 8, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(clipped.At(0, 0), Mark(2, 1));
    EXPECT_EQ(clipped.At(3, 3), Mark(3, 2));
}

TEST(CompositeScaled, SameSizeTakesTheUnscaledPathWithinTheRule) {
    TailBitmap src(6, 6);
    FillGradient(src);
    TailBitmap dst(4, 4, 0, 0u);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 2.02f, 3.0f, 4.0005f, 4.0f, 1.0f,
                        RAS_OP_COPY | RAS_FLAG_BILINEAR);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(dst.At(x, y), src.At(2 + x, 3 + y));
        }
    }
    EXPECT_EQ(dst.At(0, 3), 0u) << "the rectangle ends at the source's last row";

    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 2.5f, 1.0f, 4.0f, 4.0f, 1.0f,
                        RAS_OP_COPY | RAS_FLAG_BILINEAR);
    EXPECT_EQ(dst.At(0, 0), GradientAtTenths(25, 10));
    // Without filtering any origin takes the unscaled path, truncated.
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 1.7f, 1.0f, 4.0f, 4.0f, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(dst.At(0, 0), src.At(1, 1));
}

TEST(CompositeRotated, AngleZeroCopiesAndOutsidePixelsKeepTheirContent) {
    TailBitmap src(6, 5, 9);
    rastest::FillMarks(src);
    TailBitmap dst(10, 9, 0, 0x12345678u);
    RAS_CompositeRotated(&dst, &src, 3, 2, 6, 5, 0, 0, 6, 5, 0.0f, false, 1.0f, RAS_OP_COPY, 0, 0);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 9 && y >= 2 && y < 7;
            ASSERT_EQ(dst.At(x, y), inside ? Mark(x - 3, y - 2) : 0x12345678u) << x << "," << y;
        }
    }
}

TEST(CompositeRotated, QuarterTurnMovesAMarkRightOfCentreBelowIt) {
    TailBitmap src(10, 10, 0, 0u);
    for (int y = 4; y < 6; ++y) {
        for (int x = 7; x < 9; ++x) {
            src.At(x, y) = rastest::kRed;
        }
    }
    for (const int mode : {RAS_OP_COPY, RAS_OP_COPY | RAS_FLAG_BILINEAR}) {
        TailBitmap dst(10, 10, 0, 0u);
        RAS_CompositeRotated(&dst, &src, 0, 0, 10, 10, 0, 0, 10, 10, kPi / 2, false, 1.0f, mode, 0,
                             0);
        int marked = 0;
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                if (dst.At(x, y) != 0u) {
                    ++marked;
                    EXPECT_GE(y, 6) << x << "," << y;
                    EXPECT_TRUE(x >= 3 && x <= 6) << x << "," << y;
                }
            }
        }
        EXPECT_GE(marked, 2) << mode;
    }
}

TEST(CompositeRotated, ClipToSourceRectangleKeepsOutsidePixelsOut) {
    TailBitmap src(30, 30, 0, rastest::kRed);
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 20; ++x) {
            src.At(x, y) = rastest::kBlue;
        }
    }
    for (const int mode : {RAS_OP_COPY, RAS_OP_COPY | RAS_FLAG_BILINEAR}) {
        TailBitmap dst(24, 24, 0, 0u);
        RAS_CompositeRotated(&dst, &src, 2, 2, 20, 20, 10, 10, 10, 10, 0.3f, true, 1.0f, mode, 0,
                             0);
        int drawn = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                const RAS_Pixel32 p = dst.At(x, y);
                ASSERT_TRUE(p == 0u || p == rastest::kBlue) << std::hex << p;
                drawn += p == rastest::kBlue;
            }
        }
        EXPECT_GT(drawn, 200);
        EXPECT_EQ(dst.At(2, 2), 0u) << "a corner turned outside the rectangle";
    }
}

TEST(CompositeRotated, MirroringAndOffsets) {
    TailBitmap f(5, 7);
    rastest::DrawF(f);
    TailBitmap dst(5, 7, 0, 0u);
    RAS_CompositeRotated(&dst, &f, 5, 0, -5, 7, 0, 0, 5, 7, 0.0f, false, 1.0f, RAS_OP_COPY, 0, 0);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 5; ++x) {
            ASSERT_EQ(dst.At(x, y), f.At(4 - x, y)) << x << "," << y;
        }
    }
    // A centre offset of one source pixel moves the image one pixel the other way.
    TailBitmap src(6, 6);
    rastest::FillMarks(src);
    TailBitmap moved(6, 6, 0, 0u);
    RAS_CompositeRotated(&moved, &src, 0, 0, 6, 6, 0, 0, 6, 6, 0.0f, false, 1.0f, RAS_OP_COPY, 1.0f,
                         0);
    EXPECT_EQ(moved.At(0, 0), Mark(1, 0));
    EXPECT_EQ(moved.At(5, 0), 0u);
}

TEST(ResampledComposites, RandomScansNeverTouchOutsideEitherBitmap) {
    // Bitmaps at the end of their allocation: AddressSanitizer reports any stray access.
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<float> coord(-12.0f, 24.0f);
    std::uniform_real_distribution<float> size(-30.0f, 30.0f);
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
    // Positions beyond fixed point, and non-finite values, draw nothing.
    FillAll(dst, 7u);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 1e30f, 0, 3, 3, 1.0f, RAS_OP_COPY);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, 0, 0, 1e30f, 3, 1.0f, RAS_OP_ADD);
    RAS_CompositeScaled(&dst, &src, 0, 0, 4, 4, std::nanf(""), 0, 3, 3, 1.0f, RAS_OP_COPY);
    RAS_CompositeRotated(&dst, &src, 0, 0, 4, 4, 0, 0, 1e30f, 1e30f, 1.0f, false, 1.0f,
                         RAS_OP_COPY | RAS_FLAG_BILINEAR, 0, 0);
    RAS_CompositeRotated(&dst, &src, 0, 0, 4, 4, 0, 0, 3, 3, std::nanf(""), false, 1.0f,
                         RAS_OP_COPY, 0, 0);
    // A clip rectangle wholly outside the source draws nothing rather than reading
    // before it.
    RAS_CompositeRotated(&dst, &src, 0, 0, 4, 4, -9, -9, 3, 3, 0.1f, true, 1.0f,
                         RAS_OP_COPY | RAS_FLAG_BILINEAR, 0, 0);
    RAS_CompositeStepped(dst.Pixels(), src.Pixels(), 4, 4, 0, 0, 1e300, 0, 0, 1, 0, 0, 0, 0, 4, 4,
                         16, 16, 1.0f, RAS_OP_COPY);
    RAS_CompositeStepped(dst.Pixels(), src.Pixels(), 4, 4, 0, 0, 1, 0, 0, 1, 1e16, 0, 0, 0, 4, 4,
                         16, 16, 1.0f, RAS_OP_COPY);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(dst.At(x, y), 7u);
        }
    }
}

TEST(CompositeStepped, RowChangesShearTheScan) {
    TailBitmap src(8, 8);
    rastest::FillMarks(src);
    TailBitmap dst(4, 4, 0, 0u);
    // Each row's column step grows by one pixel: row r samples columns 0, 1 + r, 2 + 2r...
    RAS_CompositeStepped(dst.Pixels(), src.Pixels(), 4, 3, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 8, 8, 32,
                         16, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(dst.At(3, 0), Mark(3, 0));
    EXPECT_EQ(dst.At(3, 1), Mark(6, 1));
    EXPECT_EQ(dst.At(2, 2), Mark(6, 2));
    EXPECT_EQ(dst.At(3, 2), 0u) << "column 9 is outside the bounds";
}
