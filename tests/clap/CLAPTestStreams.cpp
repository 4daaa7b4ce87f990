#include "CLAPTestStreams.h"

#include <algorithm>
#include <cstring>

int64_t CLAPStreamPlan::Next(uint64_t wanted, uint64_t left) {
    if (moved >= failAt)
        return -1;
    uint64_t count = std::min({wanted, left, failAt - moved});
    if (!pieces.empty()) {
        count = std::min(count, pieces[nextPiece]);
        nextPiece = (nextPiece + 1) % pieces.size();
    }
    moved += count;
    return static_cast<int64_t>(count);
}

int64_t CLAPIStream::Read(const clap_istream_t* stream, void* buffer, uint64_t size) {
    auto* self = static_cast<CLAPIStream*>(stream->ctx);
    if (!buffer && size > 0)
        return -1;
    const uint64_t at = self->plan.Moved();
    const int64_t count = self->plan.Next(size, self->bytes.size() - at);
    if (count > 0)
        std::memcpy(buffer, self->bytes.data() + at, static_cast<std::size_t>(count));
    return count;
}

int64_t CLAPOStream::Write(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
    auto* self = static_cast<CLAPOStream*>(stream->ctx);
    if (!buffer && size > 0)
        return -1;
    const int64_t count = self->plan.Next(size, std::numeric_limits<uint64_t>::max());
    if (count > 0)
        self->bytes.insert(self->bytes.end(), static_cast<const uint8_t*>(buffer),
                           static_cast<const uint8_t*>(buffer) + count);
    return count;
}
