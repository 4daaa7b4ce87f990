#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

// What the compressor did over the last seconds, for the panel's history: one point per
// interval of about 5 ms, each holding that interval's peaks. The audio thread writes into
// a ring sized in advance, with no lock and no allocation; the panel reads the points that
// are new when it idles. One writer, one reader.
struct LevelPoint {
    float input = 0.0f;   // peak of the louder input channel, linear
    float output = 0.0f;  // the same of the output
    float gain = 1.0f;    // the compressor's smallest gain, linear (1: no reduction)
    float limiter = 1.0f; // the brickwall's smallest gain (1 while it is off or idle)
};

class LevelHistory {
public:
    static constexpr double kIntervalSeconds = 0.005;
    // Ten seconds of points: six are shown, the rest leave a slow panel room to catch up.
    static constexpr int kCapacity = 2048;

    // The signals of one piece the effect ran, sample by sample; limiter null while the
    // brickwall is off. The output is the compressed signal times the limiter's gain and
    // outputScale.
    struct Piece {
        const double* input0;
        const double* input1;
        const double* compressed0;
        const double* compressed1;
        const double* gain0;
        const double* gain1;
        const double* limiter;
        double outputScale;
    };

    LevelHistory();

    // With the audio stopped: intervals for the rate; a point in progress is dropped.
    void Prepare(double sampleRate);
    // Audio thread.
    void Add(const Piece& piece, int frames);

    // Reader: the points written since the history was made.
    uint64_t Written() const { return written.load(std::memory_order_acquire); }
    // Reader: point number n (counted from the first); false once the writer has reused
    // its place, or before it is written.
    bool Read(uint64_t n, LevelPoint* point) const;

private:
    struct Slot {
        std::atomic<uint64_t> stamp{0}; // 2 n + 2 once point n is whole, odd while written
        std::atomic<float> input{0.0f};
        std::atomic<float> output{0.0f};
        std::atomic<float> gain{1.0f};
        std::atomic<float> limiter{1.0f};
    };
    // The peaks of the interval in progress.
    struct Peaks {
        double input = 0.0;
        double output = 0.0;
        double gain = 1.0;
        double limiter = 1.0;
    };
    void Push();

    std::unique_ptr<Slot[]> slots;
    std::atomic<uint64_t> written{0};
    int interval = 1;
    int left = 1; // samples until the interval in progress is complete
    Peaks peaks;
};
