#include "LevelTrace.h"

bool LevelTrace::Follow(const LevelHistory& history) {
    const uint64_t written = history.Written();
    if (written == followed)
        return false;
    // Older points than the ring or the trace hold are gone: they are shown as silence.
    const uint64_t keep = LevelHistory::kCapacity < kPoints ? LevelHistory::kCapacity : kPoints;
    if (written - followed > keep) {
        Hold({}, static_cast<int>(written - followed - keep));
        followed = written - keep;
    }
    for (; followed < written; ++followed) {
        LevelPoint point;
        Append(history.Read(followed, &point) ? point : LevelPoint{});
    }
    return true;
}

void LevelTrace::Hold(const LevelPoint& reading, int standing) {
    for (int i = 0; i < standing && i < kPoints; ++i)
        Append(reading);
    if (standing > kPoints)
        count += static_cast<uint64_t>(standing - kPoints);
}

void LevelTrace::Append(const LevelPoint& point) {
    points[static_cast<std::size_t>(count % kPoints)] = point;
    ++count;
}

LevelPoint LevelTrace::At(uint64_t n) const {
    if (n >= count || count - n > kPoints)
        return {};
    return points[static_cast<std::size_t>(n % kPoints)];
}
