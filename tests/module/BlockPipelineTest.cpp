// The render tool's pipeline on any number of threads: every stage sees every block once,
// in order, after the stage it follows and before its block is read again; a failure ends
// the run. Built into the thread tests, so that ThreadSanitizer watches it too.
#include "BlockPipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr std::size_t kFrames = 64;
constexpr uint64_t kBlocks = 40;

using Pipeline = BlockPipeline<float>;
using Block = AudioBlock<float>;

struct Outcome {
    std::string error;
    std::vector<double> sums; // per stage, of what it saw
    uint64_t read = 0;
};

// A source of kBlocks blocks whose samples are their frame numbers; a stage that doubles
// them into the output, one that sums the input and a slow one that sums the output. Each checks
// that its block is the next one and holds what the stage before put there. failAt: the
// block on which the output's summing stage fails, or kBlocks for none.
Outcome Drive(int threads, std::size_t ring, uint64_t failAt = kBlocks) {
    Outcome run;
    run.sums.assign(3, 0.0);
    std::vector<uint64_t> next(3, 0);
    const auto inOrder = [&](std::size_t stage, const Block& b) {
        EXPECT_EQ(b.first, next[stage]++ * kFrames) << "stage " << stage;
    };
    Pipeline pipeline;
    const int doubled = pipeline.Add([&](Block& b, std::string*) {
        inOrder(0, b);
        for (std::size_t i = 0; i < b.frames; ++i) {
            EXPECT_EQ(b.in[i], static_cast<float>(b.first + i));
            b.out[i] = 2.0f * b.in[i];
            run.sums[0] += static_cast<double>(b.out[i]);
        }
        return true;
    });
    pipeline.Add([&](Block& b, std::string*) {
        inOrder(1, b);
        for (std::size_t i = 0; i < b.frames; ++i)
            run.sums[1] += static_cast<double>(b.in[i]);
        return true;
    });
    pipeline.Add(
        [&](Block& b, std::string* error) {
            inOrder(2, b);
            // The slowest stage, so that the others and the reading run ahead of it.
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            if (b.first / kFrames == failAt) {
                *error = "stage 2 failed";
                return false;
            }
            for (std::size_t i = 0; i < b.frames; ++i) {
                EXPECT_EQ(b.out[i], 2.0f * b.in[i]) << "block " << b.first / kFrames;
                run.sums[2] += static_cast<double>(b.out[i]);
            }
            return true;
        },
        doubled);
    std::vector<Block> blocks(ring);
    for (Block& b : blocks) {
        b.in.resize(kFrames);
        b.out.resize(kFrames);
    }
    run.error = pipeline.Run(
        [&](Block& b, std::string*) {
            b.first = run.read * kFrames;
            b.frames = run.read < kBlocks ? kFrames : 0;
            for (std::size_t i = 0; i < b.frames; ++i)
                b.in[i] = static_cast<float>(b.first + i);
            run.read += b.frames ? 1 : 0;
            return true;
        },
        blocks, threads);
    return run;
}

TEST(BlockPipeline, EveryStageSeesEveryBlockInOrderOnAnyNumberOfThreads) {
    const double frames = static_cast<double>(kBlocks * kFrames);
    const double total = frames * (frames - 1.0) / 2.0;
    for (const int threads : {1, 2, 4})
        for (const std::size_t ring : {1u, 3u}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, " << ring << " blocks");
            const Outcome run = Drive(threads, ring);
            EXPECT_EQ(run.error, "");
            EXPECT_EQ(run.read, kBlocks);
            EXPECT_EQ(run.sums, (std::vector<double>{2.0 * total, total, 2.0 * total}));
        }
}

// The stage that failed sees nothing more, the reading stops within the blocks in flight,
// and the run returns the reason (ctest's timeout would catch a hang).
TEST(BlockPipeline, AFailureEndsTheRunWithItsReason) {
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        const Outcome run = Drive(threads, 3, 5);
        EXPECT_EQ(run.error, "stage 2 failed");
        EXPECT_LE(run.read, 5u + 3u);
    }
}

} // namespace
