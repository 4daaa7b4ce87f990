#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// The panel's edits on their way to the host, in the order the user acted. The main
// thread adds (the panel runs there); whoever hands events to the host next takes them:
// process on the audio thread, or flush. The host never runs those two at once, so there
// is one reader at a time. Sized in advance and lock-free: the audio thread neither
// allocates nor waits for the panel.
class CLAPEditQueue {
public:
    enum class Kind : uint8_t { kBegin, kValue, kEnd };
    struct Edit {
        Kind kind;
        uint32_t index;
        double value; // real units; kValue only
    };

    static constexpr std::size_t kCapacity = 1024;

    // Main thread. False, and nothing added, when the queue is full.
    bool Add(const Edit& edit) {
        const std::size_t tail = writeAt.load(std::memory_order_relaxed);
        if (tail - readAt.load(std::memory_order_acquire) == kCapacity)
            return false;
        slots[tail % kCapacity] = edit;
        writeAt.store(tail + 1, std::memory_order_release);
        return true;
    }

    // The reader. The oldest edit, left in place until Drop: one the host refuses stays
    // first in line.
    bool Peek(Edit& edit) const {
        const std::size_t head = readAt.load(std::memory_order_relaxed);
        if (head == writeAt.load(std::memory_order_acquire))
            return false;
        edit = slots[head % kCapacity];
        return true;
    }
    void Drop() {
        readAt.store(readAt.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

private:
    std::array<Edit, kCapacity> slots{};
    std::atomic<std::size_t> writeAt{0};
    std::atomic<std::size_t> readAt{0};
};
