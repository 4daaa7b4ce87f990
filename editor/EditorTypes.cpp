#include "EditorTypes.h"

#include <algorithm>

IRectangle IRectangle::Union(const IRectangle& other) const {
    if (Empty())
        return other;
    if (other.Empty())
        return *this;
    return {std::min(L, other.L), std::min(T, other.T), std::max(R, other.R),
            std::max(B, other.B)};
}

bool IRectangle::Intersects(const IRectangle& other) const {
    if (Empty() || other.Empty())
        return false;
    return R >= other.L && L < other.R && B >= other.T && T < other.B;
}

IRectangle IRectangle::Intersection(const IRectangle& other) const {
    if (!Intersects(other))
        return {};
    return {std::max(L, other.L), std::max(T, other.T), std::min(R, other.R),
            std::min(B, other.B)};
}

bool IRectangle::Contains(int32_t x, int32_t y) const {
    return !Empty() && L <= x && x < R && T <= y && y < B;
}

int AddToRegions(IRectangle* regions, int count, int capacity, IRectangle rect) {
    if (capacity <= 0)
        return count;
    for (int i = 0; i < count;) {
        if (regions[i].Intersects(rect)) {
            rect = rect.Union(regions[i]);
            regions[i] = regions[--count];
            i = 0;
        } else {
            ++i;
        }
    }
    if (count == capacity)
        regions[count - 1] = regions[count - 1].Union(rect);
    else
        regions[count++] = rect;
    return count;
}
