// The system bitmap on a plain heap surface, for builds without a native window
// system surface (Linux, headless tests). There is no device context.
#include "raster/RAS_Bitmap.h"

#include <cstdlib>

RAS_SysBitmap::RAS_SysBitmap(int width, int height) {
    SetSize(width, height);
}

RAS_SysBitmap::~RAS_SysBitmap() {
    Release();
}

void* RAS_SysBitmap::DeviceContext() const {
    return nullptr;
}

void RAS_SysBitmap::Release() {
    std::free(pixels_);
    pixels_ = nullptr;
    allocatedWidth_ = 0;
    allocatedHeight_ = 0;
}

bool RAS_SysBitmap::SetSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        width = 0;
        height = 0;
    }
    if (width == width_ && height == height_) {
        return false;
    }
    width_ = width;
    height_ = height;
    if (width > 0 && width <= allocatedWidth_ && height <= allocatedHeight_ && pixels_ != nullptr) {
        return true;
    }
    Release();
    if (width == 0) {
        return true;
    }
    const std::int64_t count = std::int64_t{width} * height;
    if (count <= RAS_MAX_BITMAP_BYTES / 4) {
        // Zeroed like a fresh native surface.
        pixels_ = static_cast<RAS_Pixel32*>(
            std::calloc(static_cast<std::size_t>(count), sizeof(RAS_Pixel32)));
    }
    if (pixels_ == nullptr) {
        width_ = 0;
        height_ = 0;
        return true;
    }
    allocatedWidth_ = width;
    allocatedHeight_ = height;
    return true;
}
