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

bool RAS_SysBitmap::Allocate(int width, int height) {
    // Zeroed like a fresh native surface.
    pixels_ = static_cast<RAS_Pixel32*>(std::calloc(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height), sizeof(RAS_Pixel32)));
    if (pixels_ == nullptr) {
        return false;
    }
    allocatedWidth_ = width;
    allocatedHeight_ = height;
    return true;
}
