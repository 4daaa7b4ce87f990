#include "GrowBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
constexpr std::size_t kHuge = static_cast<std::size_t>(-1) - 10;
} // namespace

TEST(GrowBufferPolicy, AllocationForEachRegimeAndOverflow) {
    const struct {
        std::size_t size, granularity, minimum, expected;
    } cases[] = {
        {1, 4096, 0, 4000},            // one page less the heap header
        {30000, 4096, 0, 40864},       // extra 15000 rounded down to 12288; 10 pages
        {10000000, 4096, 0, 14192544}, // the extra is limited to 4 MiB
        {100, 16, 0, 150},             // fine granularity: half the size, unrounded
        {100, 4096, 65536, 65536},
        {kHuge, 4096, 0, 0},
        {kHuge, 16, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GrowBuffer::AllocationFor(c.size, c.granularity, c.minimum), c.expected)
            << c.size << " at granularity " << c.granularity;
}

TEST(GrowBuffer, GrowsOnlyPastTheAllocationAndShrinksOnlyWhenAsked) {
    GrowBuffer buffer;
    EXPECT_EQ(buffer.Data(), nullptr);
    ASSERT_TRUE(buffer.Resize(3000));
    std::memset(buffer.Data(), 0xAB, 3000);
    ASSERT_TRUE(buffer.Resize(4000));
    EXPECT_EQ(buffer.Allocated(), 4000u);
    ASSERT_TRUE(buffer.Resize(4001));
    EXPECT_EQ(buffer.Allocated(), 8096u);
    EXPECT_EQ(static_cast<const unsigned char*>(buffer.Data())[2999], 0xAB);
    ASSERT_TRUE(buffer.Resize(100000));
    const std::size_t big = buffer.Allocated();
    ASSERT_TRUE(buffer.Resize(2000));
    EXPECT_EQ(buffer.Allocated(), big);
    ASSERT_TRUE(buffer.Resize(1000, true));
    EXPECT_EQ(buffer.Allocated(), 4000u);
    EXPECT_EQ(buffer.Size(), 1000u);

    // Not below the allocation less four granularities: kept.
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
    EXPECT_FALSE(buffer.Resize(kHuge));
    EXPECT_EQ(buffer.Size(), 64u);
    EXPECT_EQ(static_cast<const unsigned char*>(buffer.Data())[63], 7);

    GrowArray<double> doubles;
    EXPECT_FALSE(doubles.Resize(static_cast<std::size_t>(-1) / 4));
    EXPECT_EQ(doubles.Count(), 0u);
}
