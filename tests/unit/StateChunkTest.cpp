#include "StateChunk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace {
StateChunk FromBytes(const std::vector<uint8_t>& bytes) {
    StateChunk chunk;
    EXPECT_TRUE(chunk.Assign(bytes.data(), static_cast<int>(bytes.size())));
    return chunk;
}
} // namespace

TEST(StateChunk, SizesAndPositionsThatDoNotFitAreRefused) {
    const StateChunk chunk = FromBytes({1, 2, 3, 4, 5, 6, 7});
    int32_t i = 0;
    double d = 0;
    EXPECT_EQ(chunk.GetInt32(&i, 3), 7);
    for (int position : {4, 7, -1, std::numeric_limits<int>::max()})
        EXPECT_EQ(chunk.GetInt32(&i, position), -1) << position;
    EXPECT_EQ(chunk.GetDouble(&d, 0), -1);
    EXPECT_EQ(StateChunk().GetInt32(&i, 0), -1);

    StateChunk writable;
    EXPECT_FALSE(writable.Assign("x", -1));
    EXPECT_FALSE(writable.PutBytes("x", -4));
    EXPECT_EQ(writable.Size(), 0);
}

TEST(StateChunk, TextLengthsThatLieAreRefused) {
    char text[16] = "untouched";
    for (int32_t length :
         {-1, std::numeric_limits<int32_t>::min(), 5, std::numeric_limits<int32_t>::max()}) {
        StateChunk chunk;
        chunk.PutInt32(length);
        chunk.PutBytes("abcd", 4);
        EXPECT_EQ(chunk.GetText(text, sizeof text, 0), -1) << length;
    }
    EXPECT_STREQ(text, "untouched");
}

TEST(StateChunk, TextsAreCutToTheOutputAtANulButFullyConsumed) {
    StateChunk chunk;
    chunk.PutText("a rather long preset name");
    chunk.PutInt32(7);
    char text[8];
    const int pos = chunk.GetText(text, sizeof text, 0);
    EXPECT_STREQ(text, "a rathe");
    int32_t behind = 0;
    EXPECT_EQ(chunk.GetInt32(&behind, pos), chunk.Size());
    EXPECT_EQ(behind, 7);

    const StateChunk nul = FromBytes({3, 0, 0, 0, 'a', 0, 'b'});
    EXPECT_EQ(nul.GetText(text, sizeof text, 0), 7);
    EXPECT_STREQ(text, "a");
}

TEST(StateChunk, HeldRoomCountsWhatDidNotFitAndWritesNothingPastIt) {
    StateChunk chunk;
    ASSERT_TRUE(chunk.Reserve(100));
    const std::vector<uint8_t> big(5000, 7);
    auto write = [&] {
        chunk.HoldRoom(true);
        chunk.Clear();
        EXPECT_TRUE(chunk.PutInt32(1));
        EXPECT_TRUE(chunk.PutBytes(big.data(), 5000)) << "counted, as if written";
        EXPECT_TRUE(chunk.PutInt32(2));
        chunk.HoldRoom(false);
    };
    write();
    EXPECT_TRUE(chunk.Overflowed());
    EXPECT_EQ(chunk.NeededSize(), 5008);
    EXPECT_EQ(chunk.Size(), 4) << "nothing after the first append that did not fit";
    ASSERT_TRUE(chunk.Reserve(chunk.NeededSize()));
    write();
    EXPECT_FALSE(chunk.Overflowed());
    ASSERT_EQ(chunk.Size(), 5008);
    int32_t last = 0;
    EXPECT_EQ(chunk.GetInt32(&last, 5004), 5008);
    EXPECT_EQ(last, 2);
}
