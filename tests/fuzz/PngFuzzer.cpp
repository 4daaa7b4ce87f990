// The PNG decoder on arbitrary bytes, reached as the editor reaches its images: through an
// embedded resource. What decodes must have the header's size, decode the same into a
// caller's bitmap, and be opaque wherever the file carries no transparency.
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_EmbeddedResource.h"
#include "raster/RAS_PNG.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {
void Require(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The resource the fuzzer's bytes are served as, under a module handle of its own.
const char gModule = 0;
constexpr int kResourceId = 7;
RAS_EmbeddedResource gResource{&gModule, kResourceId, nullptr, 0, nullptr};
const RAS_EmbeddedResourceRegistrar gRegistrar(&gResource);

uint32_t BigEndian(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool SamePixels(const RAS_IBitmap& a, const RAS_IBitmap& b) {
    if (a.PixelWidth() != b.PixelWidth() || a.PixelHeight() != b.PixelHeight())
        return false;
    for (int y = 0; y < a.PixelHeight(); ++y)
        if (std::memcmp(a.Pixels() + static_cast<std::ptrdiff_t>(y) * a.StridePixels(),
                        b.Pixels() + static_cast<std::ptrdiff_t>(y) * b.StridePixels(),
                        sizeof(RAS_Pixel32) * static_cast<std::size_t>(a.PixelWidth())) != 0)
            return false;
    return true;
}

bool AllOpaque(const RAS_IBitmap& bitmap) {
    for (int y = 0; y < bitmap.PixelHeight(); ++y)
        for (int x = 0; x < bitmap.PixelWidth(); ++x)
            if ((bitmap.Pixels()[static_cast<std::ptrdiff_t>(y) * bitmap.StridePixels() + x] >>
                 24) != 0xFF)
                return false;
    return true;
}
// The input with every whole chunk's CRC made right, so that mutations reach the
// decoder behind libpng's checksum test instead of stopping at it.
std::vector<uint8_t> WithGoodChecksums(const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> file(data, data + size);
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::size_t length = BigEndian(file.data() + at);
        if (length > file.size() - at - 12)
            break;
        const uLong crc = crc32(0, file.data() + at + 4, static_cast<uInt>(length + 4));
        for (int i = 0; i < 4; ++i)
            file[at + 8 + length + static_cast<std::size_t>(i)] =
                static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += length + 12;
    }
    return file;
}

void CheckDecode(const uint8_t* data, std::size_t size) {
    // Exactly the input's bytes, so that a read past them is seen.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
    std::memcpy(bytes.get(), data, size);
    gResource.data = bytes.get();
    gResource.size = size;

    std::unique_ptr<RAS_IBitmap> own(RAS_DecodePNGResource(&gModule, kResourceId, nullptr));
    RAS_MemBitmap target(3, 2);
    const bool intoTarget = RAS_DecodePNGResource(&gModule, kResourceId, &target) == &target;
    Require((own != nullptr) == intoTarget,
            "a file decodes into a caller's bitmap as into a new one");
    if (!own)
        return;

    // IHDR is the first chunk of any file libpng accepts: width, height, depth, colour type.
    Require(size >= 33, "a decoded file holds a header");
    const uint32_t width = BigEndian(data + 16);
    const uint32_t height = BigEndian(data + 20);
    Require(static_cast<uint32_t>(own->PixelWidth()) == width &&
                static_cast<uint32_t>(own->PixelHeight()) == height,
            "the bitmap has the header's size");
    Require(own->PixelWidth() <= RAS_MAX_IMAGE_SIDE && own->PixelHeight() <= RAS_MAX_IMAGE_SIDE,
            "no image beyond the size limit decodes");
    Require(SamePixels(*own, target), "both decodes give the same pixels");

    const uint8_t colourType = data[25];
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    if ((colourType & 4) == 0 && file.find("tRNS") == std::string_view::npos)
        Require(AllOpaque(*own), "a file without transparency decodes opaque");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CheckDecode(data, size);
    const std::vector<uint8_t> fixed = WithGoodChecksums(data, size);
    if (!std::equal(fixed.begin(), fixed.end(), data))
        CheckDecode(fixed.data(), fixed.size());
    return 0;
}
