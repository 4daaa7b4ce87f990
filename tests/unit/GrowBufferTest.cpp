#include "GrowBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GrowBufferPolicy, SmallSizesGetOnePageLessTheHeapHeader) {
    EXPECT_EQ(GrowBuffer::AllocationFor(1, 4096, 0), 4000u);
    EXPECT_EQ(GrowBuffer::AllocationFor(100, 4096, 0), 4000u);
    // 8000 + 4096 + 96 = 12192, rounded down to 8192, less 96.
    EXPECT_EQ(GrowBuffer::AllocationFor(8000, 4096, 0), 8096u);
}

TEST(GrowBufferPolicy, ExtraIsHalfTheSizeInWholePagesUpToFourMegabytes) {
    // extra = 30000 / 2 = 15000, rounded down to 12288; (12288 + 30000 + 96) / 4096 = 10 pages.
    EXPECT_EQ(GrowBuffer::AllocationFor(30000, 4096, 0), 40864u);
    // extra 5000000 is limited to 4194304.
    EXPECT_EQ(GrowBuffer::AllocationFor(10000000, 4096, 0), 14192544u);
}

TEST(GrowBufferPolicy, FineGranularityAddsHalfTheSizeUnrounded) {
    EXPECT_EQ(GrowBuffer::AllocationFor(100, 16, 0), 150u);
    EXPECT_EQ(GrowBuffer::AllocationFor(10, 16, 0), 26u);
}

TEST(GrowBufferPolicy, MinimumAllocationAndOverflow) {
    EXPECT_EQ(GrowBuffer::AllocationFor(100, 4096, 65536), 65536u);
    EXPECT_EQ(GrowBuffer::AllocationFor(static_cast<std::size_t>(-1) - 10, 4096, 0), 0u);
    EXPECT_EQ(GrowBuffer::AllocationFor(static_cast<std::size_t>(-1) - 10, 16, 0), 0u);
}

TEST(GrowBuffer, EmptyReadsAsNoData) {
    GrowBuffer buffer;
    EXPECT_EQ(buffer.Data(), nullptr);
    ASSERT_TRUE(buffer.Resize(10));
    EXPECT_NE(buffer.Data(), nullptr);
    ASSERT_TRUE(buffer.Resize(0));
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Allocated(), 4000u) << "shrinking to 0 keeps the block unless asked";
}

TEST(GrowBuffer, GrowsOnlyPastTheAllocationAndKeepsContent) {
    GrowBuffer buffer;
    ASSERT_TRUE(buffer.Resize(3000));
    std::memset(buffer.Data(), 0xAB, 3000);
    ASSERT_TRUE(buffer.Resize(4000));
    EXPECT_EQ(buffer.Allocated(), 4000u);
    ASSERT_TRUE(buffer.Resize(4001));
    EXPECT_EQ(buffer.Allocated(), 8096u);
    const auto* bytes = static_cast<const unsigned char*>(buffer.Data());
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(bytes[2999], 0xAB);
}

TEST(GrowBuffer, ShrinksOnlyWhenAskedAndWellBelowTheAllocation) {
    GrowBuffer buffer;
    ASSERT_TRUE(buffer.Resize(100000));
    const std::size_t big = buffer.Allocated();
    ASSERT_TRUE(buffer.Resize(1000));
    EXPECT_EQ(buffer.Allocated(), big);
    ASSERT_TRUE(buffer.Resize(1000)); // same size: nothing to do
    ASSERT_TRUE(buffer.Resize(2000));
    ASSERT_TRUE(buffer.Resize(1000, true));
    EXPECT_EQ(buffer.Allocated(), 4000u);
    EXPECT_EQ(buffer.Size(), 1000u);

    // Not below allocation minus four granularities: kept.
    GrowBuffer small;
    ASSERT_TRUE(small.Resize(5000));
    const std::size_t held = small.Allocated();
    ASSERT_TRUE(small.Resize(10, true));
    EXPECT_EQ(small.Allocated(), held);
}

TEST(GrowBuffer, RefusesImpossibleSizesAndStaysAsItWas) {
    GrowBuffer buffer;
    ASSERT_TRUE(buffer.Resize(64));
    std::memset(buffer.Data(), 7, 64);
    EXPECT_FALSE(buffer.Resize(static_cast<std::size_t>(-1) - 10));
    EXPECT_EQ(buffer.Size(), 64u);
    EXPECT_EQ(static_cast<const unsigned char*>(buffer.Data())[63], 7);

    GrowArray<double> doubles;
    EXPECT_FALSE(doubles.Resize(static_cast<std::size_t>(-1) / 4));
    EXPECT_EQ(doubles.Count(), 0u);
}
