// The system bitmap on Windows: a top-down 32-bit DIB section that stays selected into
// a memory device context of its own, so that the editor window copies from it with
// BitBlt.
#include "raster/RAS_Bitmap.h"

#include <windows.h>

namespace {

HBITMAP CreateTopDownDIB(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // negative: row 0 is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

} // namespace

RAS_SysBitmap::RAS_SysBitmap(int width, int height) {
    deviceContext_ = CreateCompatibleDC(nullptr);
    SetSize(width, height);
}

RAS_SysBitmap::~RAS_SysBitmap() {
    Release();
    if (deviceContext_ != nullptr)
        DeleteDC(static_cast<HDC>(deviceContext_));
}

void* RAS_SysBitmap::DeviceContext() const {
    return deviceContext_;
}

void RAS_SysBitmap::Release() {
    if (previous_ != nullptr)
        SelectObject(static_cast<HDC>(deviceContext_), static_cast<HGDIOBJ>(previous_));
    previous_ = nullptr;
    if (dib_ != nullptr)
        DeleteObject(static_cast<HGDIOBJ>(dib_));
    dib_ = nullptr;
    pixels_ = nullptr;
    allocatedWidth_ = 0;
    allocatedHeight_ = 0;
}

bool RAS_SysBitmap::Allocate(int width, int height) {
    // Without a device context the bitmap stays 0 x 0 for good.
    if (deviceContext_ == nullptr)
        return false;
    void* bits = nullptr;
    // Zeroed by the system, like the heap surface.
    HBITMAP dib = CreateTopDownDIB(width, height, &bits);
    if (dib == nullptr || bits == nullptr) {
        if (dib != nullptr)
            DeleteObject(dib);
        return false;
    }
    dib_ = dib;
    previous_ = SelectObject(static_cast<HDC>(deviceContext_), dib);
    pixels_ = static_cast<RAS_Pixel32*>(bits);
    allocatedWidth_ = width;
    allocatedHeight_ = height;
    return true;
}
