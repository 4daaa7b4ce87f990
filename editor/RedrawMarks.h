#pragma once

#include <atomic>
#include <cstdint>

// A control's redraw state: one word with two marks, dirty (draw me on the next pass)
// and pending (stay dirty for one pass more). A thread with a new value stores the value
// before it sets either mark, and a pass clears the marks in one step that keeps dirty
// when pending was set meanwhile; so however the threads interleave, the last value is
// drawn. Word is an atomic byte; the tests give one that lets another thread's marks land
// inside a pass's step.
template <class Word = std::atomic<uint8_t>> class RedrawMarks {
public:
    static constexpr uint8_t kDirty = 1;
    static constexpr uint8_t kPending = 2;

    // Any thread.
    void Set(uint8_t marks) { word.fetch_or(marks); }
    // UI thread, after a pass drew the control whole.
    void Clean() {
        uint8_t state = word.load();
        while (!word.compare_exchange_weak(state, (state & kPending) != 0 ? kDirty : 0)) {
        }
    }
    bool Dirty() const { return (word.load() & kDirty) != 0; }
    bool Pending() const { return (word.load() & kPending) != 0; }

private:
    Word word{kDirty};
};
