#include "StateChunk.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {
static_assert(std::endian::native == std::endian::little,
              "chunks are little-endian and copied as they are");
} // namespace

bool StateChunk::PutBytes(const void* bytes, int count) {
    if (count < 0)
        return false;
    const std::size_t old = buffer.Size();
    const std::size_t added = static_cast<std::size_t>(count);
    if (added > static_cast<std::size_t>(kMaxSize) - (held ? needed : old))
        return false;
    if (held) {
        needed += added;
        overflowed = overflowed || old + added > buffer.Allocated();
        if (overflowed)
            return true;
    }
    if (!buffer.Resize(old + added))
        return false;
    if (count)
        std::memcpy(static_cast<uint8_t*>(buffer.Data()) + old, bytes,
                    static_cast<std::size_t>(count));
    return true;
}

bool StateChunk::PutInt32(int32_t v) {
    return PutBytes(&v, sizeof v);
}

bool StateChunk::PutDouble(double v) {
    return PutBytes(&v, sizeof v);
}

bool StateChunk::PutText(const char* text) {
    const std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(kMaxSize))
        return false;
    const int count = static_cast<int>(length);
    return PutInt32(count) && PutBytes(text, count);
}

bool StateChunk::Assign(const void* bytes, int count) {
    if (count < 0)
        return false;
    const auto source = reinterpret_cast<std::uintptr_t>(bytes);
    const auto own = reinterpret_cast<std::uintptr_t>(Data());
    if (Data() && source >= own && source < own + static_cast<std::uintptr_t>(Size())) {
        // Our own bytes, handed back as hosts do with what a get lent them: growing
        // would free them before the copy, and no more than we hold lies behind them.
        const int offset = static_cast<int>(source - own);
        if (count > Size() - offset)
            return false;
        std::memmove(buffer.Data(), bytes, static_cast<std::size_t>(count));
        return buffer.Resize(static_cast<std::size_t>(count));
    }
    if (!buffer.Resize(static_cast<std::size_t>(count)))
        return false;
    if (count)
        std::memcpy(buffer.Data(), bytes, static_cast<std::size_t>(count));
    return true;
}

void StateChunk::Clear() {
    buffer.Resize(0);
    needed = 0;
    overflowed = false;
}

bool StateChunk::Reserve(int bytes) {
    return bytes <= 0 || buffer.Reserve(static_cast<std::size_t>(bytes));
}

void StateChunk::HoldRoom(bool hold) {
    held = hold;
    if (hold) {
        overflowed = false;
        needed = buffer.Size();
    }
}

bool StateChunk::Fits(int position, int count) const {
    return position >= 0 && count >= 0 && position <= Size() && count <= Size() - position;
}

int StateChunk::GetBytes(void* out, int count, int position) const {
    if (!Fits(position, count))
        return -1;
    if (count)
        std::memcpy(out, Data() + position, static_cast<std::size_t>(count));
    return position + count;
}

int StateChunk::GetInt32(int32_t* out, int position) const {
    return GetBytes(out, sizeof *out, position);
}

int StateChunk::GetDouble(double* out, int position) const {
    return GetBytes(out, sizeof *out, position);
}

int StateChunk::GetText(char* out, int outSize, int position) const {
    int32_t length = 0;
    const int start = GetInt32(&length, position);
    if (start < 0 || !Fits(start, length))
        return -1;
    const char* text = reinterpret_cast<const char*>(Data() + start);
    int n = 0;
    while (n < length && n + 1 < outSize && text[n])
        ++n;
    if (outSize > 0) {
        std::memcpy(out, text, static_cast<std::size_t>(n));
        out[n] = '\0';
    }
    return start + length;
}
