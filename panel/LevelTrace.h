#pragma once

#include "LevelHistory.h"

#include <cstdint>
#include <vector>

// The last six seconds of levels as the panel shows them: the effect's history copied
// when the panel idles, or, where the panel runs apart from the effect, readings held
// over the time they stood. Points the panel fell too far behind to copy count as
// silence. UI thread.
class LevelTrace {
public:
    static constexpr int kPoints = 1200; // six seconds of 5 ms points

    LevelTrace() : points(kPoints) {}

    // Takes what history wrote since the last call; whether anything was new.
    bool Follow(const LevelHistory& history);
    // One reading standing for count points.
    void Hold(const LevelPoint& reading, int count);

    // The points taken since the start.
    uint64_t Count() const { return count; }
    // Point n, counted from the first; silence for one older than six seconds.
    LevelPoint At(uint64_t n) const;

private:
    void Append(const LevelPoint& point);

    std::vector<LevelPoint> points; // a ring of the last kPoints
    uint64_t count = 0;
    uint64_t followed = 0; // the history's points looked at
};
