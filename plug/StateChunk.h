#pragma once

#include "GrowBuffer.h"

#include <cstdint>

// The byte buffer in which states travel to and from the host. Values are
// appended at the end, little-endian; reads take a byte position and return
// the position behind the value, or -1 when the value does not fit.
class StateChunk {
public:
    // Chunks are addressed with 32-bit positions; nothing grows past this.
    static constexpr int kMaxSize = 0x7FFFFFFF;

    bool PutInt32(int32_t v);
    bool PutDouble(double v);
    bool PutText(const char* text);
    bool PutBytes(const void* bytes, int count);

    int GetInt32(int32_t* out, int position) const;
    int GetDouble(double* out, int position) const;
    // Reads a length-prefixed text; copies at most outSize - 1 bytes of it
    // (stopping at an embedded NUL) and always terminates out.
    int GetText(char* out, int outSize, int position) const;
    int GetBytes(void* out, int count, int position) const;

    // Replaces the whole content; false (content unchanged) when memory fails. bytes
    // may point into this chunk's own content, and must then lie wholly inside it.
    bool Assign(const void* bytes, int count);
    // Empties the chunk; the room it had stays.
    void Clear();
    // Makes room for bytes in all without changing the content; false when memory fails.
    bool Reserve(int bytes);

    // For writing under a lock that forbids allocation. While the room is held, an
    // append that does not fit the room already made is counted but not written (and
    // reported as done), and the chunk is marked overflowed: its content is then not to
    // be used. The writer makes room for NeededSize() once the lock is free and writes
    // again. Letting go keeps what Overflowed and NeededSize tell until the next hold.
    void HoldRoom(bool hold);
    bool Overflowed() const { return overflowed; }
    int NeededSize() const { return static_cast<int>(needed); }

    int Size() const { return static_cast<int>(buffer.Size()); }
    const uint8_t* Data() const { return static_cast<const uint8_t*>(buffer.Data()); }

private:
    bool Fits(int position, int count) const;

    GrowBuffer buffer;
    bool held = false;
    bool overflowed = false;
    std::size_t needed = 0; // while held: the size had every append been written
};

// A state whose size is not known before it is written, written under a lock that forbids
// allocation: lock() takes it, write(chunk) writes into the room held, unlock() releases
// it. A state that outgrew the room is written again with more room, made without the
// lock; one that keeps growing meanwhile is given up. True when write succeeded and the
// chunk holds all of it.
template <class Lock, class Write, class Unlock>
bool WriteInHeldRoom(StateChunk& chunk, Lock lock, Write write, Unlock unlock) {
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        lock();
        chunk.HoldRoom(true);
        const bool written = write(chunk);
        chunk.HoldRoom(false);
        unlock();
        if (!chunk.Overflowed())
            return written;
        if (!chunk.Reserve(chunk.NeededSize()))
            return false;
    }
    return false;
}
