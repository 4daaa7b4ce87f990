#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A stretch of a render's audio, interleaved, as it passes from stage to stage.
struct AudioBlock {
    std::vector<double> in, side, out;
    std::size_t frames = 0;
    uint64_t first = 0;           // the render's index of its first frame
    std::atomic<int> pending = 0; // stages that have yet to see it
};

// Blocks read by the calling thread and handed through stages: each stage sees every
// block in order, after the stage it follows. Threaded, each stage runs on a thread of
// its own and the blocks go round through a free list, so that memory is the blocks
// given, whatever the length; serial, every stage runs on the calling thread, block by
// block, in the order the stages were added: the same work, with no queue between.
class BlockPipeline {
public:
    // One block's work; false when it failed, with a one-line reason in error.
    using Work = std::function<bool(AudioBlock& block, std::string* error)>;
    static constexpr int kSource = -1;

    // A stage that sees each block after the stage `after` (kSource: as soon as it is
    // read), which must have been added before it. Returns the new stage's number.
    int Add(Work work, int after = kSource);

    // Reads with `read` (a block of 0 frames is the end) until the end or a failure, and
    // waits for every stage to finish. Serial with one block. "" or the first reason a
    // stage or the reading gave; after a failure no stage sees another block.
    std::string Run(const Work& read, std::vector<AudioBlock>& blocks, bool threaded);

private:
    struct Stage {
        Work work;
        std::vector<int> next;
    };
    std::string RunSerial(const Work& read, AudioBlock& block);
    std::string RunThreaded(const Work& read, std::vector<AudioBlock>& blocks);

    std::vector<Stage> stages;
    std::vector<int> first; // the stages that follow the reading
};
