// Helpers shared by the raster tests.
#pragma once

#include "raster/RAS_Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace rastest {

// A fixed-size bitmap whose last pixel is the last element of its allocation and whose
// first pixel is the first, so AddressSanitizer reports any access beyond either end.
// `stride` may exceed the width to exercise stride handling.
class TailBitmap final : public RAS_IBitmap {
public:
    TailBitmap(int width, int height, int stride = 0, RAS_Pixel32 fill = 0)
        : width_(width), height_(height), stride_(stride > 0 ? stride : width) {
        const std::size_t count =
            width > 0 && height > 0
                ? static_cast<std::size_t>(height - 1) * static_cast<std::size_t>(stride_) +
                      static_cast<std::size_t>(width)
                : 0;
        pixels_ = std::make_unique<RAS_Pixel32[]>(count);
        std::fill_n(pixels_.get(), count, fill);
    }
    RAS_Pixel32* Pixels() const override { return width_ > 0 ? pixels_.get() : nullptr; }
    int PixelWidth() const override { return width_; }
    int PixelHeight() const override { return height_; }
    int StridePixels() const override { return stride_; }
    bool SetSize(int, int) override { return false; }

    RAS_Pixel32& At(int x, int y) const {
        return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
                       static_cast<std::size_t>(x)];
    }

private:
    int width_;
    int height_;
    int stride_;
    std::unique_ptr<RAS_Pixel32[]> pixels_;
};

// A distinct value for every position, so shifts, flips and channel swaps show.
inline RAS_Pixel32 Mark(int x, int y) {
    return 0x80000000u | static_cast<std::uint32_t>(y & 0xFFF) << 12 |
           static_cast<std::uint32_t>(x & 0xFFF);
}

inline void FillMarks(const RAS_IBitmap& b) {
    for (int y = 0; y < b.PixelHeight(); ++y)
        for (int x = 0; x < b.PixelWidth(); ++x)
            b.Pixels()[y * b.StridePixels() + x] = Mark(x, y);
}

inline void FillAll(const RAS_IBitmap& b, RAS_Pixel32 value) {
    for (int y = 0; y < b.PixelHeight(); ++y)
        for (int x = 0; x < b.PixelWidth(); ++x)
            b.Pixels()[y * b.StridePixels() + x] = value;
}

inline RAS_Pixel32 At(const RAS_IBitmap& b, int x, int y) {
    return b.Pixels()[y * b.StridePixels() + x];
}

inline RAS_Pixel32 Argb(int a, int r, int g, int b) {
    return static_cast<RAS_Pixel32>(a) << 24 | static_cast<RAS_Pixel32>(r) << 16 |
           static_cast<RAS_Pixel32>(g) << 8 | static_cast<RAS_Pixel32>(b);
}

// Every pixel of b against want(x, y); stops at the first difference.
template <class Want> void ExpectPixels(const RAS_IBitmap& b, Want want) {
    for (int y = 0; y < b.PixelHeight(); ++y)
        for (int x = 0; x < b.PixelWidth(); ++x)
            ASSERT_EQ(At(b, x, y), want(x, y)) << "at " << x << "," << y;
}

inline constexpr RAS_Pixel32 kRed = 0xFFFF0000u;
inline constexpr RAS_Pixel32 kBlue = 0xFF0000FFu;

// A red "F" on blue, 5 x 7: asymmetric in both directions.
inline void DrawF(const RAS_IBitmap& b) {
    static const char* const kRows[7] = {"#####", "#....", "#....", "####.",
                                         "#....", "#....", "#...."};
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            b.Pixels()[y * b.StridePixels() + x] = kRows[y][x] == '#' ? kRed : kBlue;
}

} // namespace rastest
