// The system bitmap's growth rule, shared by every platform's storage: keep the
// storage while the new size fits, else replace it by one of exactly the new size.
#include "raster/RAS_Bitmap.h"

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
    if (width > 0 && (std::int64_t{width} * height > RAS_MAX_BITMAP_BYTES / 4 ||
                      !Allocate(width, height))) {
        width_ = 0;
        height_ = 0;
    }
    return true;
}
