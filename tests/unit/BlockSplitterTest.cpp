// A host block run in pieces cut at timed parameter changes: where the cuts fall, and
// that a change at an offset gives what the same change gives between two blocks split
// by hand at that sample.
#include "BlockSplitter.h"
#include "EffectTestSupport.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// One parameter; logs each piece run and each change with the position it lands at.
class PieceLog : public IEffectBase {
public:
    PieceLog() : IEffectBase({1, "2-2", 1, "t", "", "", 0, 0, 0, 0, false, false}) {
        ParameterAt(0)->SetupContinuous("Level", 0.0, 0.0, 100.0, 1.0, "");
    }
    void ParameterChanged(int index) override {
        log.push_back("set " + std::to_string(index) + " = " +
                      std::to_string(static_cast<int>(ParameterAt(index)->Value())) + " at " +
                      std::to_string(*position));
    }
    std::vector<std::string> log;
    const int* position = nullptr;
};

TEST(BlockSplitter, CutsAtEachChangeAndAppliesLateOrEarlyOnesWhereTheBlockStands) {
    const struct {
        int frames;
        std::vector<int> offsets;
        std::vector<std::string> log;
    } cases[] = {
        {10,
         {3, 3, 8},
         {"run 0+3", "set 0 = 1 at 3", "set 0 = 2 at 3", "run 3+5", "set 0 = 3 at 8", "run 8+2"}},
        {10, {0, 10}, {"set 0 = 1 at 0", "run 0+10", "set 0 = 2 at 10"}},
        // Out of order, or before the block: where the block stands.
        {10,
         {5, 2, -4},
         {"run 0+5", "set 0 = 1 at 5", "set 0 = 2 at 5", "set 0 = 3 at 5", "run 5+5"}},
        {10, {-1}, {"set 0 = 1 at 0", "run 0+10"}},
        // Past the end: after the last piece.
        {10,
         {4, 12, 99},
         {"run 0+4", "set 0 = 1 at 4", "run 4+6", "set 0 = 2 at 10", "set 0 = 3 at 10"}},
        // A flush: no samples, the changes all the same.
        {0, {0, 5}, {"set 0 = 1 at 0", "set 0 = 2 at 0"}},
        {-3, {1}, {"set 0 = 1 at 0"}},
        {7, {}, {"run 0+7"}},
    };
    for (const auto& c : cases) {
        PieceLog effect;
        int at = 0;
        effect.position = &at;
        auto run = [&](int offset, int frames) {
            effect.log.push_back("run " + std::to_string(offset) + "+" + std::to_string(frames));
            at = offset + frames;
        };
        ScopedPlugLock lock(effect.Lock());
        BlockSplitter block(effect, c.frames, run);
        double value = 0.0;
        for (int offset : c.offsets)
            EXPECT_TRUE(block.Change(offset, 0, ++value, IValueUnit::kReal));
        block.Finish();
        EXPECT_EQ(effect.log, c.log) << c.frames << " frames, " << c.offsets.size() << " changes";
        EXPECT_EQ(block.Position(), std::max(c.frames, 0));
    }
}

TEST(BlockSplitter, AValueTheParameterHoldsChangesNothingButTheCut) {
    PieceLog effect;
    int at = 0;
    effect.position = &at;
    std::vector<int> pieces;
    auto run = [&](int, int frames) { pieces.push_back(frames); };
    ScopedPlugLock lock(effect.Lock());
    BlockSplitter block(effect, 8, run);
    EXPECT_FALSE(block.Change(2, 0, 0.0, IValueUnit::kNormalized));
    EXPECT_FALSE(block.Change(4, 1, 1.0, IValueUnit::kNormalized)) << "no such parameter";
    block.Finish();
    EXPECT_TRUE(effect.log.empty());
    EXPECT_EQ(pieces, (std::vector<int>{2, 2, 4}));
}

// One timed change for the comparison below.
struct Timed {
    int sample; // from the start of the run
    int index;
    double value;
    IValueUnit unit;
};

// Quelor over frames of a loud signal in host blocks of blockSize, the changes given to
// a splitter at their offsets within each block.
std::vector<std::vector<double>> RunWithOffsets(const std::vector<Timed>& changes, int frames,
                                                int blockSize) {
    Quelor effect;
    OpenLikeHost(effect, 48000.0, blockSize);
    ChannelSet set(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < set.Frames(); ++i)
        for (std::size_t c = 0; c < 4; ++c)
            set.in[c][i] = 0.8 * std::sin(0.013 * static_cast<double>(i * (c + 1)));
    std::size_t next = 0;
    for (int start = 0; start < frames; start += blockSize) {
        const int length = std::min(blockSize, frames - start);
        auto run = [&](int offset, int n) {
            std::vector<double*> in = set.Inputs(static_cast<std::size_t>(start + offset));
            std::vector<double*> out = set.Outputs(static_cast<std::size_t>(start + offset));
            effect.BindInputBuffers(0, 4, in.data(), n);
            effect.BindOutputBuffers(0, 2, out.data());
            effect.RunBlockDouble(n);
        };
        ScopedPlugLock lock(effect.Lock());
        BlockSplitter block(effect, length, run);
        // A change on the boundary belongs to the block it starts; the last block takes
        // what is left, past its end.
        for (; next < changes.size() &&
               (changes[next].sample < start + length || start + length == frames);
             ++next)
            block.Change(changes[next].sample - start, changes[next].index, changes[next].value,
                         changes[next].unit);
        block.Finish();
    }
    return set.out;
}

// The same changes applied between blocks that the test cuts by hand at each change.
std::vector<std::vector<double>> RunSplitByHand(const std::vector<Timed>& changes, int frames,
                                                int blockSize) {
    Quelor effect;
    OpenLikeHost(effect, 48000.0, blockSize);
    ChannelSet set(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < set.Frames(); ++i)
        for (std::size_t c = 0; c < 4; ++c)
            set.in[c][i] = 0.8 * std::sin(0.013 * static_cast<double>(i * (c + 1)));
    std::size_t next = 0;
    for (int at = 0; at <= frames;) {
        for (; next < changes.size() && changes[next].sample <= at; ++next)
            effect.SetParameterFromHost(changes[next].index, changes[next].value,
                                        changes[next].unit);
        if (at == frames)
            break;
        int end = std::min(at + blockSize, frames);
        if (next < changes.size())
            end = std::min(end, changes[next].sample);
        std::vector<double*> in = set.Inputs(static_cast<std::size_t>(at));
        std::vector<double*> out = set.Outputs(static_cast<std::size_t>(at));
        effect.ProcessBlock(in.data(), out.data(), end - at);
        at = end;
    }
    return set.out;
}

TEST(BlockSplitter, AChangeAtAnOffsetEqualsTheSameChangeBetweenBlocksSplitByHand) {
    constexpr int kFrames = 3000;
    // At the first sample, on a block boundary, twice at one sample, in both units,
    // gliding values and switches, and one past the end of the run.
    const std::vector<Timed> changes{
        {0, Quelor::kThreshold, -30.0, IValueUnit::kReal},
        {1, Quelor::kGain, 12.0, IValueUnit::kReal},
        {64, Quelor::kMix, 0.4, IValueUnit::kNormalized},
        {701, Quelor::kRatio, 0.8, IValueUnit::kNormalized},
        {701, Quelor::kAttenuation, -9.5, IValueUnit::kReal},
        {1023, Quelor::kBrickwall, Quelor::kBrickwallOn, IValueUnit::kReal},
        {1500, Quelor::kStereoMode, 1.0, IValueUnit::kNormalized},
        {2047, Quelor::kThreshold, -12.0, IValueUnit::kReal},
        {2999, Quelor::kGain, 0.0, IValueUnit::kReal},
    };
    const auto reference = RunSplitByHand(changes, kFrames, 4096);
    for (int blockSize : {1, 7, 64, 512, 4096}) {
        EXPECT_EQ(RunWithOffsets(changes, kFrames, blockSize), reference) << blockSize;
        EXPECT_EQ(RunSplitByHand(changes, kFrames, blockSize), reference) << blockSize;
    }
}

} // namespace
