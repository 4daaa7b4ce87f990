#include "raster/RAS_Bitmap.h"

#include <gtest/gtest.h>

#include <climits>

TEST(MemBitmap, ConstructionAllocatesOrStaysEmpty) {
    const RAS_MemBitmap empty;
    EXPECT_EQ(empty.Pixels(), nullptr);
    EXPECT_EQ(empty.PixelWidth(), 0);
    EXPECT_EQ(empty.CapacityBytes(), 0);

    const RAS_MemBitmap b(7, 3);
    ASSERT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(b.PixelWidth(), 7);
    EXPECT_EQ(b.PixelHeight(), 3);
    EXPECT_EQ(b.StridePixels(), 7);
    EXPECT_EQ(b.CapacityBytes(), 7 * 3 * 4);
    EXPECT_EQ(b.DeviceContext(), nullptr);

    // Sizes whose byte count is negative or does not fit give an empty bitmap, not a
    // wrapped allocation.
    for (const auto& [w, h] : {std::pair{-1, -1}, std::pair{-4, 5}, std::pair{0, 9},
                               std::pair{INT_MAX, INT_MAX}, std::pair{65536, 65536}}) {
        const RAS_MemBitmap bad(w, h);
        EXPECT_EQ(bad.Pixels(), nullptr) << w << "x" << h;
        EXPECT_EQ(bad.PixelWidth(), 0);
        EXPECT_EQ(bad.PixelHeight(), 0);
    }
}

TEST(MemBitmap, SetSizeGrowsWithHeadroomAndKeepsItsBlock) {
    RAS_MemBitmap b(10, 10);
    b.Pixels()[0] = 0x12345678u;
    RAS_Pixel32* const first = b.Pixels();

    EXPECT_FALSE(b.SetSize(10, 10));
    EXPECT_EQ(b.Pixels(), first);
    EXPECT_EQ(b.Pixels()[0], 0x12345678u);

    // Shrinking keeps the block; the stride follows the new width.
    EXPECT_TRUE(b.SetSize(5, 4));
    EXPECT_EQ(b.Pixels(), first);
    EXPECT_EQ(b.StridePixels(), 5);
    EXPECT_EQ(b.CapacityBytes(), 400);

    // Growing within the block keeps it too.
    EXPECT_TRUE(b.SetSize(20, 5));
    EXPECT_EQ(b.CapacityBytes(), 400);

    // Growing past it adds a quarter and keeps the old bytes.
    EXPECT_TRUE(b.SetSize(20, 6));
    EXPECT_EQ(b.CapacityBytes(), 480 + 120);
    EXPECT_EQ(b.Pixels()[0], 0x12345678u);
    b.Pixels()[20 * 6 - 1] = 1;
}

TEST(MemBitmap, SetSizeToEmptyOrImpossibleSizesFreesTheBlock) {
    RAS_MemBitmap b(10, 10);
    EXPECT_TRUE(b.SetSize(0, 10));
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.PixelWidth(), 0);
    EXPECT_EQ(b.PixelHeight(), 0);
    EXPECT_EQ(b.CapacityBytes(), 0);
    EXPECT_FALSE(b.SetSize(-3, 10)) << "already empty";

    ASSERT_TRUE(b.SetSize(3, 3));
    EXPECT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(b.CapacityBytes(), 36);

    EXPECT_TRUE(b.SetSize(-5, -5));
    EXPECT_EQ(b.Pixels(), nullptr);

    ASSERT_TRUE(b.SetSize(3, 3));
    EXPECT_TRUE(b.SetSize(50000, 50000));
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.PixelWidth(), 0);
    EXPECT_EQ(b.CapacityBytes(), 0);
}

TEST(SysBitmap, ShrinksInPlaceAndRegrowsToExactlyTheNewSize) {
    RAS_SysBitmap b(100, 100);
    ASSERT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(b.DeviceContext(), nullptr);
    EXPECT_EQ(b.StridePixels(), 100);
    EXPECT_EQ(b.Pixels()[0], 0u) << "fresh surfaces are cleared";
    RAS_Pixel32* const first = b.Pixels();

    EXPECT_FALSE(b.SetSize(100, 100));
    EXPECT_TRUE(b.SetSize(50, 50));
    EXPECT_EQ(b.Pixels(), first);
    EXPECT_EQ(b.PixelWidth(), 50);
    EXPECT_EQ(b.StridePixels(), 100);

    EXPECT_TRUE(b.SetSize(120, 50));
    EXPECT_EQ(b.PixelWidth(), 120);
    EXPECT_EQ(b.StridePixels(), 120);
    b.Pixels()[120 * 50 - 1] = 7;

    // Growing only in height also reallocates, to exactly the new size.
    EXPECT_TRUE(b.SetSize(60, 51));
    EXPECT_EQ(b.StridePixels(), 60);
    b.Pixels()[60 * 51 - 1] = 7;
}

TEST(SysBitmap, EmptyAndImpossibleSizesLeaveNoSurface) {
    RAS_SysBitmap b(20, 20);
    EXPECT_TRUE(b.SetSize(0, 50));
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.PixelWidth(), 0);
    EXPECT_EQ(b.PixelHeight(), 0);
    EXPECT_EQ(b.StridePixels(), 0);
    EXPECT_FALSE(b.SetSize(-1, 5));

    EXPECT_TRUE(b.SetSize(70000, 70000));
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.PixelWidth(), 0);

    const RAS_SysBitmap negative(-10, 10);
    EXPECT_EQ(negative.Pixels(), nullptr);
    EXPECT_EQ(negative.PixelWidth(), 0);
}
