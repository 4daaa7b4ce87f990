#include "RasterTestSupport.h"
#include "raster/RAS_EmbeddedResource.h"
#include "raster/RAS_PNG.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr int kW = 13;
constexpr int kH = 11;

void AppendToBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void FlushNothing(png_structp) {}

// A kW x kH image; sample(x, y, channel) is within the bit depth.
struct ImageRecipe {
    int colourType;
    int bitDepth;
    std::function<int(int x, int y, int channel)> sample;
    bool interlaced = false;
    std::vector<png_color> palette = {};
    std::vector<png_byte> paletteAlpha = {};
    const png_color_16* trnsColour = nullptr;
};

// Encodes the recipe with libpng's writer.
Bytes Encode(const ImageRecipe& recipe) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToBytes, FlushNothing);
    png_set_IHDR(png, info, kW, kH, recipe.bitDepth, recipe.colourType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!recipe.palette.empty())
        png_set_PLTE(png, info, recipe.palette.data(), static_cast<int>(recipe.palette.size()));
    if (!recipe.paletteAlpha.empty() || recipe.trnsColour != nullptr)
        png_set_tRNS(png, info, recipe.paletteAlpha.empty() ? nullptr : recipe.paletteAlpha.data(),
                     static_cast<int>(recipe.paletteAlpha.size()), recipe.trnsColour);
    png_write_info(png, info);
    const int channels = png_get_channels(png, info);
    const int depth = recipe.bitDepth;
    std::vector<Bytes> rows(kH, Bytes((static_cast<std::size_t>(kW * channels * depth) + 7) / 8));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < kH; ++y) {
        Bytes& row = rows[static_cast<std::size_t>(y)];
        for (int i = 0; i < kW * channels; ++i) {
            const int v = recipe.sample(i / channels, y, i % channels);
            const auto bit = static_cast<std::size_t>(i * depth);
            if (depth == 16) {
                row[bit / 8] = static_cast<png_byte>(v >> 8);
                row[bit / 8 + 1] = static_cast<png_byte>(v);
            } else {
                row[bit / 8] = static_cast<png_byte>(row[bit / 8] | v << (8 - depth - static_cast<int>(bit % 8)));
            }
        }
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A file that removes itself.
class TempFile {
public:
    explicit TempFile(const Bytes& bytes, const char* suffix = ".png") {
        static int counter = 0;
        path_ = testing::TempDir() + "raster_png_" + std::to_string(getpid()) + "_" +
                std::to_string(counter++) + suffix;
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const char* Path() const { return path_.c_str(); }

private:
    std::string path_;
};

// Registers bytes as a resource of this module under a fresh id.
int AddResource(const Bytes& bytes) {
    static std::deque<Bytes> storage;
    static std::deque<RAS_EmbeddedResource> nodes;
    static int nextId = 1000;
    storage.push_back(bytes);
    nodes.push_back(
        {RAS_OwnModule(), nextId, storage.back().data(), storage.back().size(), nullptr});
    RAS_RegisterEmbeddedResource(&nodes.back());
    return nextId++;
}

std::unique_ptr<RAS_IBitmap> Owned(RAS_IBitmap* image) {
    return std::unique_ptr<RAS_IBitmap>(image);
}

std::unique_ptr<RAS_IBitmap> DecodeBytes(const Bytes& bytes) {
    return Owned(RAS_DecodePNGResource(RAS_OwnModule(), AddResource(bytes), nullptr));
}

using rastest::Argb;

struct FormatCase {
    std::string name;
    ImageRecipe recipe;
    std::function<RAS_Pixel32(int x, int y)> expected;
};

const png_color_16 kGrayKey = {0, 0, 0, 0, 77};
const png_color_16 kRgbKey = {0, 30, 60, 90, 0};

std::vector<FormatCase> Cases() {
    std::vector<FormatCase> cases;
    for (const int depth : {1, 4, 16}) {
        const int range = 1 << depth;
        const int spread = depth == 16 ? 397 : 1; // so 16-bit levels reach the high byte
        const auto level = [=](int x, int y) { return (x * 7 + y * 5) * spread % range; };
        cases.push_back(
            {"gray " + std::to_string(depth),
             {PNG_COLOR_TYPE_GRAY, depth, [=](int x, int y, int) { return level(x, y); }},
             [=](int x, int y) {
                 const int g = depth == 16 ? level(x, y) >> 8 : level(x, y) * (255 / (range - 1));
                 return Argb(255, g, g, g);
             }});
    }
    cases.push_back({"gray 8 with tRNS",
                     {PNG_COLOR_TYPE_GRAY,
                      8,
                      [](int x, int y, int) { return x * 11 + y; },
                      false,
                      {},
                      {},
                      &kGrayKey},
                     [](int x, int y) {
                         const int g = x * 11 + y;
                         return Argb(g == 77 ? 0 : 255, g, g, g);
                     }});
    cases.push_back({"gray+alpha 16",
                     {PNG_COLOR_TYPE_GRAY_ALPHA, 16,
                      [](int x, int y, int c) { return c == 0 ? x * 4999 : y * 5999 + 7; }},
                     [](int x, int y) {
                         const int g = (x * 4999) >> 8;
                         return Argb((y * 5999 + 7) >> 8, g, g, g);
                     }});
    cases.push_back(
        {"rgb 8 with tRNS",
         {PNG_COLOR_TYPE_RGB,
          8,
          [](int x, int y, int c) { return x == 2 && y == 3 ? (c + 1) * 30 : (x + y + c) * 9; },
          false,
          {},
          {},
          &kRgbKey},
         [](int x, int y) {
             const int v = (x + y) * 9;
             return x == 2 && y == 3 ? Argb(0, 30, 60, 90) : Argb(255, v, v + 9, v + 18);
         }});
    // 16-bit channels keep their high byte.
    const auto wide = [](int x, int y, int c) { return (x * 4000 + y * 1000 + c * 77) & 0xFFFF; };
    cases.push_back(
        {"rgba 16 interlaced", {PNG_COLOR_TYPE_RGB_ALPHA, 16, wide, true}, [=](int x, int y) {
             return Argb(wide(x, y, 3) >> 8, wide(x, y, 0) >> 8, wide(x, y, 1) >> 8,
                         wide(x, y, 2) >> 8);
         }});
    const auto rgba = [](int x, int y, int c) {
        return c == 3 ? 0x80 + y : (x * 17 + c * 40) % 256;
    };
    cases.push_back({"rgba 8", {PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba}, [=](int x, int y) {
                         return Argb(rgba(x, y, 3), rgba(x, y, 0), rgba(x, y, 1), rgba(x, y, 2));
                     }});
    std::vector<png_color> palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back({static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 8),
                           static_cast<png_byte>(i * 3)});
    const auto entry = [](int x, int y, int) { return (x + 3 * y) % 16; };
    for (const int depth : {4, 0}) { // 0: 8 bits, interlaced, with alphas for 4 entries
        const bool alphas = depth == 0;
        cases.push_back(
            {"palette " + std::to_string(depth),
             {PNG_COLOR_TYPE_PALETTE, alphas ? 8 : depth, entry, alphas, palette,
              alphas ? std::vector<png_byte>{0, 60, 120, 180} : std::vector<png_byte>{}},
             [=](int x, int y) {
                 const int i = entry(x, y, 0);
                 return Argb(alphas && i < 4 ? i * 60 : 255, i * 16, 255 - i * 8, i * 3);
             }});
    }
    return cases;
}

} // namespace

TEST(PNGDecode, EveryColourTypeAndBitDepthGivesStraightARGBFromMemoryAndFiles) {
    for (const FormatCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = Encode(c.recipe);
        const TempFile file(bytes);
        for (const auto& image :
             {DecodeBytes(bytes), Owned(RAS_DecodePNGFile(file.Path(), nullptr))}) {
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(image->PixelWidth(), kW);
            ASSERT_EQ(image->PixelHeight(), kH);
            rastest::ExpectPixels(*image, c.expected);
        }
    }
    // In memory a pixel is the bytes B, G, R, A.
    const auto image = DecodeBytes(Encode({PNG_COLOR_TYPE_RGB_ALPHA, 8, [](int, int, int c) {
                                               return 0x10 * (c + 1) + (c == 3) * 0x40;
                                           }}));
    ASSERT_NE(image, nullptr);
    unsigned char memory[4];
    std::memcpy(memory, image->Pixels(), 4);
    EXPECT_EQ(std::vector<unsigned char>(memory, memory + 4),
              (std::vector<unsigned char>{0x30, 0x20, 0x10, 0x80}));
}

TEST(PNGDecode, IntoATargetAtItsStrideOrNotAtAll) {
    const int id = AddResource(Encode({PNG_COLOR_TYPE_RGB, 8, [](int x, int, int) { return x; }}));
    RAS_MemBitmap target(kW, kH);
    RAS_Pixel32* const storage = target.Pixels();
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, &target), &target);
    EXPECT_EQ(target.Pixels(), storage);
    EXPECT_EQ(rastest::At(target, 12, 10), 0xFF0C0C0Cu);
    RAS_SysBitmap wide(40, 40); // its stride exceeds the image's width
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, &wide), &wide);
    EXPECT_EQ(wide.StridePixels(), 40);
    rastest::ExpectPixels(wide, [](int x, int) { return Argb(255, x, x, x); });
    // A target that cannot take the size gives null and stays with the caller.
    rastest::TailBitmap fixed(4, 4, 0, 0x01020304u);
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, &fixed), nullptr);
    EXPECT_EQ(fixed.At(0, 0), 0x01020304u);
}

TEST(PNGDecode, DamagedInputAndAbsurdSizesGiveNullBeforeAllocating) {
    const Bytes good =
        Encode({PNG_COLOR_TYPE_RGB_ALPHA, 8, [](int x, int y, int c) { return x * y + c; }});
    ASSERT_NE(DecodeBytes(good), nullptr);
    std::vector<Bytes> damaged{{}, Bytes(good.begin(), good.begin() + 7)};
    for (const std::size_t at : {std::size_t{0}, std::size_t{30}, good.size() - 20}) {
        damaged.push_back(good); // the signature, the IHDR's CRC, the image data
        damaged.back()[at] ^= 0x40;
    }
    for (const std::size_t cut : {std::size_t{8}, std::size_t{33}, good.size() - 13}) {
        damaged.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        const TempFile file(damaged.back());
        EXPECT_EQ(RAS_DecodePNGFile(file.Path(), nullptr), nullptr) << "file cut at " << cut;
    }
    // The IHDR size rewritten with a sound CRC, so only the size is wrong.
    const auto withSize = [&](png_uint_32 w, png_uint_32 h) {
        Bytes b = good;
        png_save_uint_32(&b[16], w);
        png_save_uint_32(&b[20], h);
        png_save_uint_32(&b[29], static_cast<png_uint_32>(crc32(crc32(0, nullptr, 0), &b[12], 17)));
        return b;
    };
    ASSERT_NE(DecodeBytes(withSize(kW, kH)), nullptr) << "the rewrite itself is sound";
    for (const auto& [w, h] : {std::pair<png_uint_32, png_uint_32>{100000, 100000},
                               {RAS_MAX_IMAGE_SIDE + 1, 1},
                               {1, RAS_MAX_IMAGE_SIDE + 1},
                               {0x7FFFFFFF, 0x7FFFFFFF},
                               {0, 5}})
        damaged.push_back(withSize(w, h));
    for (std::size_t i = 0; i < damaged.size(); ++i)
        EXPECT_EQ(DecodeBytes(damaged[i]), nullptr) << "damaged input " << i;
    for (const int id : {65535, -1})
        EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, nullptr), nullptr);
    EXPECT_EQ(RAS_DecodePNGFile("/nonexistent/knob.png", nullptr), nullptr);
    EXPECT_EQ(RAS_DecodePNGFile(nullptr, nullptr), nullptr);
}

TEST(PNGDecode, AResourceThatEndsInsideAChunkGivesNull) {
    const Bytes good = Encode({PNG_COLOR_TYPE_RGB, 8, [](int x, int, int c) { return x + c; }});
    // The signature and IHDR, then an ancillary chunk that claims the largest length a
    // chunk may have, and the resource ends: nothing may be read past it for long.
    Bytes claims(good.begin(), good.begin() + 33);
    claims.insert(claims.end(), {0x7F, 0xFF, 0xFF, 0xFF, 'q', 'u', 'L', 'r', 1, 2, 3});
    EXPECT_EQ(DecodeBytes(claims), nullptr);
    EXPECT_EQ(DecodeBytes(Bytes(good.begin(), good.begin() + 33)), nullptr) << "no image data";
    EXPECT_NE(DecodeBytes(good), nullptr);
}

TEST(PNGDecode, EmbeddedResourceOfThisModule) {
    // Generated at build time and embedded as resource 100 (see CMakeLists.txt).
    const auto image = Owned(RAS_DecodePNGResource(RAS_OwnModule(), 100, nullptr));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->PixelWidth(), 3);
    ASSERT_EQ(image->PixelHeight(), 2);
    rastest::ExpectPixels(*image, [](int x, int y) {
        return Argb(0x40 + x + 4 * y, 0x10 * (x + 1), 0x20 * (y + 1), 0x30);
    });
    int other = 0;
    EXPECT_EQ(RAS_DecodePNGResource(&other, 100, nullptr), nullptr) << "another module";
}

TEST(ImageFormatRegistry, PNGEntryChecksTheExtension) {
    const RAS_ImageFormatEntry* entry = RAS_ImageFormats();
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->describe(), "PNG files (*.PNG)");
    const Bytes bytes = Encode({PNG_COLOR_TYPE_RGB, 8, [](int, int, int) { return 9; }});
    const TempFile mixedCase(bytes, "knob.Png");
    EXPECT_NE(Owned(entry->decode(mixedCase.Path(), true, nullptr)), nullptr);
    // A PNG under another name is refused unopened with the check, read without it.
    const TempFile other(bytes, "knob.bmp");
    EXPECT_EQ(entry->decode(other.Path(), true, nullptr), nullptr);
    EXPECT_NE(Owned(entry->decode(other.Path(), false, nullptr)), nullptr);
    for (const char* path : {"dir.png/knob", "knob", "knob.pngx", ""})
        EXPECT_EQ(entry->decode(path, true, nullptr), nullptr) << path;
    EXPECT_EQ(entry->decode(nullptr, true, nullptr), nullptr);
}
