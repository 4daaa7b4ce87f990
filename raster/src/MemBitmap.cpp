#include "raster/RAS_Bitmap.h"

#include <cstdlib>

namespace {

// Bytes for a width x height bitmap, or -1 when the size is negative or too large.
std::int64_t BytesFor(int width, int height) {
    if (width < 0 || height < 0) {
        return -1;
    }
    const std::int64_t pixels = std::int64_t{width} * height;
    return pixels > RAS_MAX_BITMAP_BYTES / 4 ? -1 : pixels * 4;
}

} // namespace

RAS_MemBitmap::RAS_MemBitmap(int width, int height) {
    const std::int64_t bytes = BytesFor(width, height);
    if (bytes > 0) {
        pixels_ = static_cast<RAS_Pixel32*>(std::malloc(static_cast<std::size_t>(bytes)));
    }
    if (pixels_ != nullptr) {
        width_ = width;
        height_ = height;
        capacity_ = static_cast<std::int32_t>(bytes);
    }
}

RAS_MemBitmap::~RAS_MemBitmap() {
    std::free(pixels_);
}

bool RAS_MemBitmap::SetSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        width = 0;
        height = 0;
    }
    if (width == width_ && height == height_) {
        return false;
    }
    width_ = width;
    height_ = height;
    const std::int64_t need = BytesFor(width, height);
    if (need <= 0) {
        std::free(pixels_);
        pixels_ = nullptr;
        capacity_ = 0;
    } else if (pixels_ == nullptr) {
        pixels_ = static_cast<RAS_Pixel32*>(std::malloc(static_cast<std::size_t>(need)));
        capacity_ = static_cast<std::int32_t>(need);
    } else if (need > capacity_) {
        // 25 % headroom, unless that would pass the size limit.
        std::int64_t grown = need + need / 4;
        if (grown > RAS_MAX_BITMAP_BYTES) {
            grown = need;
        }
        void* moved = std::realloc(pixels_, static_cast<std::size_t>(grown));
        if (moved != nullptr) {
            pixels_ = static_cast<RAS_Pixel32*>(moved);
            capacity_ = static_cast<std::int32_t>(grown);
        } else {
            std::free(pixels_);
            pixels_ = static_cast<RAS_Pixel32*>(std::malloc(static_cast<std::size_t>(need)));
            capacity_ = static_cast<std::int32_t>(need);
        }
    }
    if (pixels_ == nullptr) {
        width_ = 0;
        height_ = 0;
        capacity_ = 0;
    }
    return true;
}
