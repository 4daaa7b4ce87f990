// The level history read while the audio thread writes it, as the panel does: every point
// the reader accepts is one the writer wrote whole, even when the writer laps the reader.
// ThreadSanitizer runs this program too.
#include "LevelHistory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(LevelHistoryThreads, AReaderNeverTakesAPointTheWriterIsReplacing) {
    LevelHistory history;
    history.Prepare(200.0); // one sample a point: the writer laps the ring quickly
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int k = 0; !done.load(); ++k) {
            // Every field of point k holds the same value, so a torn one shows.
            const double v = (k % 1000 + 1) / 1000.0;
            history.Add({&v, &v, &v, &v, &v, &v, nullptr, 1.0}, 1);
        }
    });
    // The oldest points, the ones the writer replaces next, again and again.
    while (history.Written() < LevelHistory::kCapacity)
        std::this_thread::yield();
    uint64_t accepted = 0;
    uint64_t torn = 0;
    for (int round = 0; round < 20000 && torn == 0; ++round) {
        const uint64_t oldest = history.Written() - LevelHistory::kCapacity;
        for (uint64_t n = oldest; n < oldest + 64; ++n) {
            LevelPoint p;
            if (!history.Read(n, &p))
                continue;
            ++accepted;
            if (p.input != p.output || p.input != p.gain || p.limiter != 1.0f)
                torn = n + 1;
        }
    }
    done = true;
    audio.join();
    EXPECT_EQ(torn, 0u) << "point " << torn - 1 << " was taken while it was being replaced";
    EXPECT_GT(accepted, 0u);
}
