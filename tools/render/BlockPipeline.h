#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A stretch of a render's audio, interleaved, as it passes from stage to stage, in the
// samples the plug-in takes.
template <class Sample> struct AudioBlock {
    std::vector<Sample> in, side, out;
    std::size_t frames = 0;
    uint64_t first = 0; // the render's index of its first frame
};

// Blocks read and handed through stages: each stage sees every block in order, after the
// stage it follows, and never runs on two threads at once. The reading and each stage's
// work on a block are tasks that a few threads take, the task of the oldest block first,
// so that every stage keeps up with the others and no thread waits while there is work
// it may do. The blocks are used in turn: memory is the blocks given, whatever the length.
// On one thread the order is the reading, then each stage in the order they were added,
// block by block; on any number the output is the same.
template <class Sample> class BlockPipeline {
public:
    using Block = AudioBlock<Sample>;
    // One block's work; false when it failed, with a one-line reason in error.
    using Work = std::function<bool(Block& block, std::string* error)>;
    static constexpr int kSource = -1;

    // A stage that sees each block after the stage `after` (kSource: as soon as it is
    // read), which must have been added before it. Returns the new stage's number.
    int Add(Work work, int after = kSource);

    // Reads with `read` (a block of 0 frames is the end) until the end or a failure, on
    // `threads` threads (the calling one among them), and returns when every stage has
    // finished. "" or the first reason a stage or the reading gave; after a failure no
    // task starts.
    std::string Run(const Work& read, std::vector<Block>& blocks, int threads);

private:
    struct Stage {
        Work work;
        int after;
    };
    class Schedule;

    std::vector<Stage> stages;
};
