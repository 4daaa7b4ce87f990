#include "raster/RAS_Bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

namespace {
// Sizes whose byte count is negative, zero or does not fit.
const std::pair<int, int> kImpossible[] = {{-4, 5}, {0, 9}, {INT_MAX, INT_MAX}, {65536, 65536}};

template <class Bitmap> void ExpectEmpty(const Bitmap& b) {
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.PixelWidth(), 0);
    EXPECT_EQ(b.PixelHeight(), 0);
}
} // namespace

TEST(MemBitmap, ImpossibleSizesGiveAnEmptyBitmapNotAWrappedAllocation) {
    const RAS_MemBitmap b(7, 3);
    ASSERT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(b.StridePixels(), 7);
    EXPECT_EQ(b.CapacityBytes(), 7 * 3 * 4);
    for (const auto& [w, h] : kImpossible) {
        ExpectEmpty(RAS_MemBitmap(w, h));
        ExpectEmpty(RAS_SysBitmap(w, h));
        RAS_MemBitmap mem(3, 3);
        EXPECT_TRUE(mem.SetSize(w, h));
        ExpectEmpty(mem);
        EXPECT_EQ(mem.CapacityBytes(), 0) << "the block is freed";
        RAS_SysBitmap sys(3, 3);
        EXPECT_TRUE(sys.SetSize(w, h));
        ExpectEmpty(sys);
        EXPECT_EQ(sys.StridePixels(), 0);
        EXPECT_FALSE(sys.SetSize(-1, 5)) << "already empty";
    }
}

TEST(MemBitmap, SetSizeKeepsItsBlockUntilItGrowsPastItThenAddsAQuarter) {
    RAS_MemBitmap b(10, 10);
    b.Pixels()[0] = 0x12345678u;
    RAS_Pixel32* const first = b.Pixels();
    EXPECT_FALSE(b.SetSize(10, 10));
    EXPECT_TRUE(b.SetSize(5, 4));
    EXPECT_EQ(b.Pixels(), first);
    EXPECT_EQ(b.StridePixels(), 5) << "the stride follows the width";
    EXPECT_EQ(b.CapacityBytes(), 400);
    EXPECT_TRUE(b.SetSize(20, 5));
    EXPECT_EQ(b.CapacityBytes(), 400);
    EXPECT_TRUE(b.SetSize(20, 6));
    EXPECT_EQ(b.CapacityBytes(), 480 + 120);
    EXPECT_EQ(b.Pixels()[0], 0x12345678u);
    b.Pixels()[20 * 6 - 1] = 1;
}

TEST(SysBitmap, ShrinksInPlaceAndRegrowsToExactlyTheNewSize) {
    RAS_SysBitmap b(100, 100);
    ASSERT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(b.Pixels()[0], 0u) << "fresh surfaces are cleared";
    RAS_Pixel32* const first = b.Pixels();
    EXPECT_FALSE(b.SetSize(100, 100));
    EXPECT_TRUE(b.SetSize(50, 50));
    EXPECT_EQ(b.Pixels(), first);
    EXPECT_EQ(b.StridePixels(), 100);
    for (const auto& [w, h] : {std::pair{120, 50}, {60, 51}}) { // wider, then only taller
        EXPECT_TRUE(b.SetSize(w, h));
        EXPECT_EQ(b.PixelWidth(), w);
        EXPECT_EQ(b.StridePixels(), w);
        b.Pixels()[w * h - 1] = 7;
    }
}
