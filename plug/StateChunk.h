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
    void Clear() { buffer.Resize(0); }

    int Size() const { return static_cast<int>(buffer.Size()); }
    const uint8_t* Data() const { return static_cast<const uint8_t*>(buffer.Data()); }

private:
    bool Fits(int position, int count) const;

    GrowBuffer buffer;
};
