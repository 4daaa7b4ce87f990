#include "BlockPipeline.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

// Which task runs next, under one lock: each thread takes a task, runs it without the
// lock, and reports its end.
template <class Sample> class BlockPipeline<Sample>::Schedule {
public:
    Schedule(const std::vector<Stage>& all, const Work& reading, std::vector<Block>& ring)
        : stages(all), read(reading), blocks(ring), done(all.size(), 0),
          busy(all.size() + 1, false) {}

    // Runs tasks until every stage has seen the last block, or until a failure.
    void Serve() {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            int task = kNone;
            while (!failed && !Finished() && (task = Next()) == kNone)
                changed.wait(hold);
            if (task == kNone) {
                changed.notify_all();
                return;
            }
            const uint64_t number = task == kReading ? readCount : done[Index(task)];
            Block& block = blocks[number % blocks.size()];
            busy[Slot(task)] = true;
            hold.unlock();
            std::string error;
            const bool ok =
                task == kReading ? read(block, &error) : stages[Index(task)].work(block, &error);
            hold.lock();
            busy[Slot(task)] = false;
            if (!ok) {
                if (!failed)
                    reason = error;
                failed = true;
            } else if (task != kReading) {
                ++done[Index(task)];
            } else if (block.frames == 0) {
                ended = true;
            } else {
                ++readCount;
            }
            changed.notify_all();
        }
    }

    std::string Failure() {
        const std::lock_guard<std::mutex> hold(lock);
        return reason;
    }

private:
    static constexpr int kNone = -2;
    static constexpr int kReading = kSource;

    static std::size_t Index(int stage) { return static_cast<std::size_t>(stage); }
    // busy[] holds the stages, then the reading.
    std::size_t Slot(int task) const { return task == kReading ? stages.size() : Index(task); }

    // Blocks that the stage, or the reading, has finished.
    uint64_t Done(int task) const { return task == kReading ? readCount : done[Index(task)]; }

    // The task of the oldest block that may run now, the earlier stage first; the reading
    // only when no stage can work and a block is free again.
    int Next() const {
        int next = kNone;
        uint64_t oldest = std::numeric_limits<uint64_t>::max();
        for (std::size_t s = 0; s < stages.size(); ++s)
            if (!busy[s] && done[s] < Done(stages[s].after) && done[s] < oldest) {
                next = static_cast<int>(s);
                oldest = done[s];
            }
        if (next != kNone || busy[Slot(kReading)] || ended)
            return next;
        const uint64_t allDone =
            stages.empty() ? readCount : *std::min_element(done.begin(), done.end());
        return readCount < allDone + blocks.size() ? kReading : kNone;
    }

    bool Finished() const {
        return ended &&
               std::all_of(done.begin(), done.end(), [&](uint64_t d) { return d == readCount; });
    }

    const std::vector<Stage>& stages;
    const Work& read;
    std::vector<Block>& blocks;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<uint64_t> done;
    std::vector<bool> busy;
    uint64_t readCount = 0;
    bool ended = false;
    bool failed = false;
    std::string reason;
};

template <class Sample> int BlockPipeline<Sample>::Add(Work work, int after) {
    if (after != kSource && (after < 0 || static_cast<std::size_t>(after) >= stages.size()))
        throw std::out_of_range("a stage follows one added before it");
    stages.push_back({std::move(work), after});
    return static_cast<int>(stages.size()) - 1;
}

template <class Sample>
std::string BlockPipeline<Sample>::Run(const Work& read, std::vector<Block>& blocks, int threads) {
    Schedule schedule(stages, read, blocks);
    // More threads than tasks there can be at once would only wait.
    const auto helpers = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1,
                                                 std::min(blocks.size(), stages.size() + 1)) -
                         1;
    std::vector<std::thread> running;
    for (std::size_t i = 0; i < helpers; ++i)
        running.emplace_back([&] { schedule.Serve(); });
    schedule.Serve();
    for (std::thread& thread : running)
        thread.join();
    return schedule.Failure();
}

template class BlockPipeline<float>;
template class BlockPipeline<double>;
