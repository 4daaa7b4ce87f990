#pragma once

#include <cstddef>

// The growable heap buffer under every scratch buffer, work buffer and chunk.
// It over-allocates by a policy tuned for few reallocations and keeps its block
// while the used size shrinks, unless shrinking is asked for explicitly.
class GrowBuffer {
public:
    static constexpr std::size_t kDefaultGranularity = 4096;

    GrowBuffer() = default;
    ~GrowBuffer();
    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;
    GrowBuffer(GrowBuffer&& other) noexcept;
    GrowBuffer& operator=(GrowBuffer&& other) noexcept;

    // Changes the used size in bytes; returns false (and changes nothing) when
    // memory cannot be had or the size arithmetic would overflow.
    bool Resize(std::size_t newSize, bool allowShrink = false);
    // Makes the allocation hold at least bytes without changing the used size or the
    // content; false (nothing changed) when memory cannot be had.
    bool Reserve(std::size_t bytes);
    // Exchanges the two buffers' storage and settings; never allocates or frees.
    void Swap(GrowBuffer& other) noexcept;

    // Null when the used size is 0.
    void* Data() { return used ? data : nullptr; }
    const void* Data() const { return used ? data : nullptr; }
    std::size_t Size() const { return used; }
    std::size_t Allocated() const { return allocated; }

    void SetGranularity(std::size_t bytes) { granularity = bytes ? bytes : 1; }
    void SetMinimumAllocation(std::size_t bytes) { minimumAllocation = bytes; }

    // The allocation the policy gives for a new used size, or 0 on overflow.
    static std::size_t AllocationFor(std::size_t newSize, std::size_t granularity,
                                     std::size_t minimumAllocation);

private:
    bool Reallocate(std::size_t newSize, std::size_t newAllocation);

    void* data = nullptr;
    std::size_t granularity = kDefaultGranularity;
    std::size_t allocated = 0;
    std::size_t used = 0;
    std::size_t minimumAllocation = 0;
};

// A GrowBuffer seen as an array of trivially copyable elements.
template <class T> class GrowArray {
public:
    bool Resize(std::size_t count, bool allowShrink = false) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T))
            return false;
        return buffer.Resize(count * sizeof(T), allowShrink);
    }
    void Swap(GrowArray& other) noexcept { buffer.Swap(other.buffer); }
    T* Data() { return static_cast<T*>(buffer.Data()); }
    const T* Data() const { return static_cast<const T*>(buffer.Data()); }
    std::size_t Count() const { return buffer.Size() / sizeof(T); }
    std::size_t AllocatedBytes() const { return buffer.Allocated(); }

private:
    GrowBuffer buffer;
};
