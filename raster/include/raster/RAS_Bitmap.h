// Pixels, the mode word and the two bitmap classes of the raster library.
#pragma once

#include <cstdint>

// One pixel: 0xAARRGGBB, in memory blue, green, red, alpha; alpha is straight.
using RAS_Pixel32 = std::uint32_t;

// Mode word of every combining operation: operator in the low byte, flags above.
inline constexpr int RAS_OP_COPY = 0;
inline constexpr int RAS_OP_ADD = 1;
inline constexpr int RAS_OP_DODGE = 2;
inline constexpr int RAS_OP_MULTIPLY = 3;
// Channel copy (composite only): bits 2-3 destination byte, bits 0-1 source byte.
inline constexpr int RAS_OP_CHANNEL = 0xF0;
inline constexpr int RAS_FLAG_BILINEAR = 0x100;
inline constexpr int RAS_FLAG_SOURCE_ALPHA = 0x10000;

// Largest width x height x 4 a bitmap accepts; beyond it a bitmap stays empty, so that
// every byte offset fits an int and no absurd size reaches the allocator.
inline constexpr std::int64_t RAS_MAX_BITMAP_BYTES = 0x7FFFFFFF;

// A 32-bit surface: rows top-down, row r at Pixels() + r * StridePixels().
class RAS_IBitmap {
public:
    virtual ~RAS_IBitmap() = default;
    // First pixel of row 0, or null when the bitmap has no storage.
    virtual RAS_Pixel32* Pixels() const = 0;
    virtual int PixelWidth() const = 0;
    virtual int PixelHeight() const = 0;
    // Pixels from one row start to the next; at least the width.
    virtual int StridePixels() const = 0;
    // True when the size changed; new or grown pixels are not cleared. A size the
    // bitmap cannot hold (allocation failure, too large) leaves it 0 x 0 without pixels.
    virtual bool SetSize(int width, int height) = 0;
    // The native drawing context the pixels are selected into, or null where there is none.
    virtual void* DeviceContext() const { return nullptr; }
};

// Pixels on the heap, stride = width; grows with 25 % headroom and keeps its block
// while the new size fits.
class RAS_MemBitmap final : public RAS_IBitmap {
public:
    RAS_MemBitmap() = default;
    RAS_MemBitmap(int width, int height);
    ~RAS_MemBitmap() override;
    RAS_MemBitmap(const RAS_MemBitmap&) = delete;
    RAS_MemBitmap& operator=(const RAS_MemBitmap&) = delete;

    RAS_Pixel32* Pixels() const override { return pixels_; }
    int PixelWidth() const override { return width_; }
    int PixelHeight() const override { return height_; }
    int StridePixels() const override { return width_; }
    bool SetSize(int width, int height) override;

    // Size of the heap block in bytes.
    std::int32_t CapacityBytes() const { return capacity_; }

private:
    RAS_Pixel32* pixels_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t capacity_ = 0;
};

// The drawing surface the editor window presents. It keeps its storage while a new
// size fits inside it (the stride stays the allocated width) and reallocates to
// exactly the new size when it must grow in either dimension. Each platform supplies
// the storage in a file of its own.
class RAS_SysBitmap final : public RAS_IBitmap {
public:
    RAS_SysBitmap(int width, int height);
    ~RAS_SysBitmap() override;
    RAS_SysBitmap(const RAS_SysBitmap&) = delete;
    RAS_SysBitmap& operator=(const RAS_SysBitmap&) = delete;

    RAS_Pixel32* Pixels() const override { return pixels_; }
    int PixelWidth() const override { return width_; }
    int PixelHeight() const override { return height_; }
    int StridePixels() const override { return allocatedWidth_; }
    bool SetSize(int width, int height) override;
    void* DeviceContext() const override;
    // The System V shared memory segment that holds the pixels, where the platform keeps
    // them in one (Linux); else -1.
    int SharedSegment() const { return segment_; }

private:
    // Platform storage: a zeroed surface of exactly width x height into pixels_ and the
    // allocated size, or false leaving nothing; Release gives it back.
    bool Allocate(int width, int height);
    void Release();

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    // The native surface's handles, owned; a heap surface leaves them null. On Windows:
    // the memory device context, the DIB section selected into it, and what the context
    // held before the DIB, selected back before the DIB is deleted.
    void* deviceContext_ = nullptr;
    RAS_Pixel32* pixels_ = nullptr;
    std::int32_t allocatedWidth_ = 0;
    std::int32_t allocatedHeight_ = 0;
    void* dib_ = nullptr;
    void* previous_ = nullptr;
    std::int32_t segment_ = -1;
};
