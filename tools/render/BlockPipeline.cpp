#include "BlockPipeline.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
// Blocks waiting for a stage (or, as the free list, for the reading). A null block
// is the end of the render; a closed queue hands out nothing more.
class BlockQueue {
public:
    void Push(AudioBlock* block) {
        {
            const std::lock_guard<std::mutex> hold(lock);
            blocks.push_back(block);
        }
        ready.notify_one();
    }
    // The next block, or null at the end or once closed.
    AudioBlock* Pop() {
        std::unique_lock<std::mutex> hold(lock);
        ready.wait(hold, [&] { return closed || !blocks.empty(); });
        if (closed)
            return nullptr;
        AudioBlock* block = blocks.front();
        blocks.pop_front();
        return block;
    }
    void Close() {
        const std::lock_guard<std::mutex> hold(lock);
        closed = true;
        ready.notify_all();
    }

private:
    std::mutex lock;
    std::condition_variable ready;
    std::deque<AudioBlock*> blocks;
    bool closed = false;
};

// The first failure, which stops every stage.
class Failure {
public:
    explicit Failure(std::vector<BlockQueue>& all, BlockQueue& freeList)
        : queues(all), free(freeList) {}
    void Set(const std::string& reason) {
        {
            const std::lock_guard<std::mutex> hold(lock);
            if (!failed)
                first = reason;
            failed = true;
        }
        for (BlockQueue& queue : queues)
            queue.Close();
        free.Close();
    }
    std::string Reason() {
        const std::lock_guard<std::mutex> hold(lock);
        return first;
    }

private:
    std::vector<BlockQueue>& queues;
    BlockQueue& free;
    std::mutex lock;
    bool failed = false;
    std::string first;
};
} // namespace

int BlockPipeline::Add(Work work, int after) {
    const int number = static_cast<int>(stages.size());
    (after == kSource ? first : stages.at(static_cast<std::size_t>(after)).next).push_back(number);
    stages.push_back({std::move(work), {}});
    return number;
}

std::string BlockPipeline::Run(const Work& read, std::vector<AudioBlock>& blocks, bool threaded) {
    const bool queued = threaded && blocks.size() > 1 && !stages.empty();
    return queued ? RunThreaded(read, blocks) : RunSerial(read, blocks.at(0));
}

std::string BlockPipeline::RunSerial(const Work& read, AudioBlock& block) {
    std::string error;
    for (;;) {
        if (!read(block, &error))
            return error;
        if (block.frames == 0)
            return "";
        for (Stage& stage : stages)
            if (!stage.work(block, &error))
                return error;
    }
}

std::string BlockPipeline::RunThreaded(const Work& read, std::vector<AudioBlock>& blocks) {
    std::vector<BlockQueue> queues(stages.size());
    BlockQueue free;
    for (AudioBlock& block : blocks)
        free.Push(&block);
    Failure failure(queues, free);
    const int count = static_cast<int>(stages.size());
    auto handOn = [&](const std::vector<int>& to, AudioBlock* block) {
        for (const int stage : to)
            queues[static_cast<std::size_t>(stage)].Push(block);
    };

    std::vector<std::thread> threads;
    for (std::size_t s = 0; s < stages.size(); ++s)
        threads.emplace_back([&, s] {
            std::string error;
            while (AudioBlock* block = queues[s].Pop()) {
                if (!stages[s].work(*block, &error)) {
                    failure.Set(error);
                    break;
                }
                handOn(stages[s].next, block);
                if (block->pending.fetch_sub(1, std::memory_order_acq_rel) == 1)
                    free.Push(block);
            }
            handOn(stages[s].next, nullptr);
        });

    std::string error;
    while (AudioBlock* block = free.Pop()) {
        if (!read(*block, &error)) {
            failure.Set(error);
            break;
        }
        if (block->frames == 0)
            break;
        block->pending.store(count, std::memory_order_relaxed);
        handOn(first, block);
    }
    handOn(first, nullptr);
    for (std::thread& thread : threads)
        thread.join();
    return failure.Reason();
}
