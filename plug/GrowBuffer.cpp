#include "GrowBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kPage = 4096;
constexpr std::size_t kLargestExtra = 4194304;
// Leaves room for the heap's own block header inside a whole number of pages.
constexpr std::size_t kHeapHeader = 96;
constexpr std::size_t kMax = static_cast<std::size_t>(-1);
} // namespace

GrowBuffer::~GrowBuffer() {
    std::free(data);
}

GrowBuffer::GrowBuffer(GrowBuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)), granularity(other.granularity),
      allocated(std::exchange(other.allocated, 0)), used(std::exchange(other.used, 0)),
      minimumAllocation(other.minimumAllocation) {}

GrowBuffer& GrowBuffer::operator=(GrowBuffer&& other) noexcept {
    if (this != &other) {
        std::free(data);
        data = std::exchange(other.data, nullptr);
        granularity = other.granularity;
        allocated = std::exchange(other.allocated, 0);
        used = std::exchange(other.used, 0);
        minimumAllocation = other.minimumAllocation;
    }
    return *this;
}

std::size_t GrowBuffer::AllocationFor(std::size_t newSize, std::size_t granularity,
                                      std::size_t minimumAllocation) {
    std::size_t extra = std::max(newSize / 2, granularity);
    std::size_t allocation;
    if (granularity >= kPage) {
        extra = std::clamp(extra / kPage * kPage, kPage, kLargestExtra);
        if (newSize > kMax - extra - kHeapHeader)
            return 0;
        allocation = (extra + newSize + kHeapHeader) / kPage * kPage - kHeapHeader;
    } else {
        if (newSize > kMax - extra)
            return 0;
        allocation = newSize + extra;
    }
    return std::max(allocation, minimumAllocation);
}

bool GrowBuffer::Resize(std::size_t newSize, bool allowShrink) {
    if (newSize == used)
        return true;
    const bool grow = newSize > allocated;
    const bool shrink = allowShrink && newSize < used && newSize < allocated / 2 &&
                        allocated >= 4 * granularity && newSize < allocated - 4 * granularity;
    if (grow || shrink) {
        const std::size_t allocation = AllocationFor(newSize, granularity, minimumAllocation);
        if (allocation == 0 || !Reallocate(newSize, allocation))
            return false;
    }
    used = newSize;
    return true;
}

bool GrowBuffer::Reserve(std::size_t bytes) {
    if (bytes <= allocated)
        return true;
    const std::size_t allocation = AllocationFor(bytes, granularity, minimumAllocation);
    return allocation != 0 && Reallocate(used, allocation);
}

void GrowBuffer::Swap(GrowBuffer& other) noexcept {
    std::swap(data, other.data);
    std::swap(granularity, other.granularity);
    std::swap(allocated, other.allocated);
    std::swap(used, other.used);
    std::swap(minimumAllocation, other.minimumAllocation);
}

bool GrowBuffer::Reallocate(std::size_t newSize, std::size_t newAllocation) {
    if (void* moved = std::realloc(data, newAllocation)) {
        data = moved;
        allocated = newAllocation;
        return true;
    }
    void* fresh = std::malloc(newAllocation);
    if (!fresh)
        return false;
    if (data)
        std::memcpy(fresh, data, std::min(used, newSize));
    std::free(data);
    data = fresh;
    allocated = newAllocation;
    return true;
}
