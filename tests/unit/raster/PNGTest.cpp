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

struct ImageRecipe {
    int colourType = 0;
    int bitDepth = 8;
    bool interlaced = false;
    std::function<int(int x, int y, int channel)> sample; // within the bit depth
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    const png_color_16* trnsColour = nullptr;
};

int ChannelCount(int colourType) {
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    default:
        return 4;
    }
}

// Encodes a kW x kH image with libpng's writer.
ImageRecipe MakeRecipe(int colourType, int bitDepth, bool interlaced,
                   std::function<int(int, int, int)> sample, std::vector<png_color> palette = {},
                   std::vector<png_byte> paletteAlpha = {},
                   const png_color_16* trnsColour = nullptr) {
    ImageRecipe recipe;
    recipe.colourType = colourType;
    recipe.bitDepth = bitDepth;
    recipe.interlaced = interlaced;
    recipe.sample = std::move(sample);
    recipe.palette = std::move(palette);
    recipe.paletteAlpha = std::move(paletteAlpha);
    recipe.trnsColour = trnsColour;
    return recipe;
}

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
    if (!recipe.palette.empty()) {
        png_set_PLTE(png, info, recipe.palette.data(), static_cast<int>(recipe.palette.size()));
    }
    if (!recipe.paletteAlpha.empty() || recipe.trnsColour != nullptr) {
        png_set_tRNS(png, info, recipe.paletteAlpha.empty() ? nullptr : recipe.paletteAlpha.data(),
                     static_cast<int>(recipe.paletteAlpha.size()), recipe.trnsColour);
    }
    png_write_info(png, info);
    const int channels = ChannelCount(recipe.colourType);
    const std::size_t rowBytes = (static_cast<std::size_t>(kW * channels * recipe.bitDepth) + 7) / 8;
    std::vector<std::vector<png_byte>> rows(kH, std::vector<png_byte>(rowBytes, 0));
    for (int y = 0; y < kH; ++y) {
        std::vector<png_byte>& row = rows[static_cast<std::size_t>(y)];
        std::size_t bit = 0;
        for (int x = 0; x < kW; ++x) {
            for (int c = 0; c < channels; ++c) {
                const int v = recipe.sample(x, y, c);
                if (recipe.bitDepth == 16) {
                    row[bit / 8] = static_cast<png_byte>(v >> 8);
                    row[bit / 8 + 1] = static_cast<png_byte>(v);
                } else {
                    const std::size_t shift = 8 - static_cast<std::size_t>(recipe.bitDepth) - bit % 8;
                    row[bit / 8] = static_cast<png_byte>(row[bit / 8] | v << shift);
                }
                bit += static_cast<std::size_t>(recipe.bitDepth);
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) {
        pointers.push_back(r.data());
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

std::unique_ptr<RAS_IBitmap> DecodeBytes(const Bytes& bytes) {
    return std::unique_ptr<RAS_IBitmap>(
        RAS_DecodePNGResource(RAS_OwnModule(), AddResource(bytes), nullptr));
}

RAS_Pixel32 Argb(int a, int r, int g, int b) {
    return static_cast<RAS_Pixel32>(a) << 24 | static_cast<RAS_Pixel32>(r) << 16 |
           static_cast<RAS_Pixel32>(g) << 8 | static_cast<RAS_Pixel32>(b);
}

struct FormatCase {
    const char* name;
    ImageRecipe recipe;
    std::function<RAS_Pixel32(int x, int y)> expected;
};

const png_color_16 kGrayKey = {0, 0, 0, 0, 77};
const png_color_16 kRgbKey = {0, 30, 60, 90, 0};

std::vector<FormatCase> Cases() {
    const auto mix = [](int x, int y, int c, int range) { return (x * 7 + y * 5 + c * 3) % range; };
    std::vector<FormatCase> cases;
    for (const int depth : {1, 2, 4, 8, 16}) {
        const int range = 1 << depth;
        const int scale = depth == 16 ? 1 : 255 / (range - 1);
        cases.push_back({"gray",
                         MakeRecipe(PNG_COLOR_TYPE_GRAY, depth, false,
                                  [=](int x, int y, int c) { return mix(x, y, c, range); }),
                         [=](int x, int y) {
                             int g = mix(x, y, 0, range) * scale;
                             if (depth == 16) {
                                 g >>= 8;
                             }
                             return Argb(255, g, g, g);
                         }});
    }
    cases.push_back({"gray 8 with tRNS",
                     MakeRecipe(
                         PNG_COLOR_TYPE_GRAY, 8, false,
                         [](int x, int y, int) { return x * 11 + y; }, {}, {}, &kGrayKey),
                     [](int x, int y) {
                         const int g = x * 11 + y;
                         return Argb(g == 77 ? 0 : 255, g, g, g);
                     }});
    cases.push_back({"gray+alpha 8",
                     MakeRecipe(PNG_COLOR_TYPE_GRAY_ALPHA, 8, false,
                              [](int x, int y, int c) { return c == 0 ? x * 19 : y * 23; }),
                     [](int x, int y) { return Argb(y * 23, x * 19, x * 19, x * 19); }});
    cases.push_back({"gray+alpha 16",
                     MakeRecipe(PNG_COLOR_TYPE_GRAY_ALPHA, 16, false,
                              [](int x, int y, int c) { return c == 0 ? x * 4999 : y * 5999 + 7; }),
                     [](int x, int y) {
                         const int g = (x * 4999) >> 8;
                         return Argb((y * 5999 + 7) >> 8, g, g, g);
                     }});
    const auto rgb = [](int x, int y, int c) {
        return c == 0 ? x * 19 : c == 1 ? y * 23 : 200 - x;
    };
    cases.push_back({"rgb 8", MakeRecipe(PNG_COLOR_TYPE_RGB, 8, false, rgb),
                     [](int x, int y) { return Argb(255, x * 19, y * 23, 200 - x); }});
    cases.push_back(
        {"rgb 8 with tRNS",
         MakeRecipe(
             PNG_COLOR_TYPE_RGB, 8, false,
             [](int x, int y, int c) { return x == 2 && y == 3 ? (c + 1) * 30 : (x + y + c) * 9; },
             {}, {}, &kRgbKey),
         [](int x, int y) {
             if (x == 2 && y == 3) {
                 return Argb(0, 30, 60, 90);
             }
             const int v = (x + y) * 9;
             return Argb(255, v, v + 9, v + 18);
         }});
    cases.push_back({"rgb 16",
                     MakeRecipe(PNG_COLOR_TYPE_RGB, 16, false,
                              [](int x, int y, int c) { return x * 5000 + y * 10 + c * 300; }),
                     [](int x, int y) {
                         const auto h = [&](int c) { return (x * 5000 + y * 10 + c * 300) >> 8; };
                         return Argb(255, h(0), h(1), h(2));
                     }});
    const auto rgba = [](int x, int y, int c) {
        return c == 3 ? 0x80 + y : (x * 17 + c * 40) % 256;
    };
    const auto rgbaWant = [](int x, int y) {
        return Argb(0x80 + y, (x * 17) % 256, (x * 17 + 40) % 256, (x * 17 + 80) % 256);
    };
    cases.push_back({"rgba 8", MakeRecipe(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, rgba), rgbaWant});
    cases.push_back(
        {"rgba 8 interlaced", MakeRecipe(PNG_COLOR_TYPE_RGB_ALPHA, 8, true, rgba), rgbaWant});
    cases.push_back(
        {"rgba 16 interlaced",
         MakeRecipe(PNG_COLOR_TYPE_RGB_ALPHA, 16, true,
                  [](int x, int y, int c) { return (x * 4000 + y * 1000 + c * 77) & 0xFFFF; }),
         [](int x, int y) {
             const auto h = [&](int c) { return ((x * 4000 + y * 1000 + c * 77) & 0xFFFF) >> 8; };
             return Argb(h(3), h(0), h(1), h(2));
         }});
    std::vector<png_color> palette;
    for (int i = 0; i < 16; ++i) {
        palette.push_back({static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 8),
                           static_cast<png_byte>(i * 3)});
    }
    const auto entry = [](int x, int y) { return (x + 3 * y) % 16; };
    const auto paletteWant = [=](bool withAlpha) {
        return [=](int x, int y) {
            const int i = entry(x, y);
            return Argb(withAlpha && i < 4 ? i * 60 : 255, i * 16, 255 - i * 8, i * 3);
        };
    };
    for (const int depth : {4, 8}) {
        cases.push_back({"palette",
                         MakeRecipe(
                             PNG_COLOR_TYPE_PALETTE, depth, false,
                             [=](int x, int y, int) { return entry(x, y); }, palette),
                         paletteWant(false)});
    }
    cases.push_back(
        {"palette with tRNS",
         MakeRecipe(PNG_COLOR_TYPE_PALETTE, 8, true, [=](int x, int y, int) { return entry(x, y); },
                  palette, {0, 60, 120, 180}),
         paletteWant(true)});
    return cases;
}

} // namespace

TEST(PNGDecode, EveryColourTypeAndBitDepthGivesStraightARGB) {
    for (const FormatCase& c : Cases()) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.recipe.bitDepth));
        const Bytes bytes = Encode(c.recipe);
        ASSERT_FALSE(bytes.empty());
        for (const bool fromFile : {false, true}) {
            std::unique_ptr<RAS_IBitmap> image;
            if (fromFile) {
                const TempFile file(bytes);
                image.reset(RAS_DecodePNGFile(file.Path(), nullptr));
            } else {
                image = DecodeBytes(bytes);
            }
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(image->PixelWidth(), kW);
            ASSERT_EQ(image->PixelHeight(), kH);
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) {
                    ASSERT_EQ(rastest::At(*image, x, y), c.expected(x, y))
                        << std::hex << "at " << std::dec << x << "," << y;
                }
            }
        }
    }
}

TEST(PNGDecode, MemoryLayoutOfOnePixel) {
    const Bytes bytes = Encode(MakeRecipe(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, [](int, int, int c) {
        return 0x10 * (c + 1) + (c == 3 ? 0x40 : 0);
    }));
    const auto image = DecodeBytes(bytes);
    ASSERT_NE(image, nullptr);
    unsigned char memory[4];
    std::memcpy(memory, image->Pixels(), 4);
    EXPECT_EQ(memory[0], 0x30);
    EXPECT_EQ(memory[1], 0x20);
    EXPECT_EQ(memory[2], 0x10);
    EXPECT_EQ(memory[3], 0x80);
}

TEST(PNGDecode, IntoATarget) {
    const Bytes bytes =
        Encode(MakeRecipe(PNG_COLOR_TYPE_RGB, 8, false, [](int x, int, int) { return x; }));
    const int id = AddResource(bytes);
    RAS_MemBitmap target(kW, kH);
    RAS_Pixel32* const storage = target.Pixels();
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, &target), &target);
    EXPECT_EQ(target.Pixels(), storage);
    EXPECT_EQ(rastest::At(target, 12, 10), 0xFF0C0C0Cu);

    // A surface whose stride exceeds its width receives the rows at its stride.
    RAS_SysBitmap wide(40, 40);
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, &wide), &wide);
    EXPECT_EQ(wide.StridePixels(), 40);
    EXPECT_EQ(rastest::At(wide, 12, 10), 0xFF0C0C0Cu);

    // A target that cannot take the size gives null and stays with the caller.
    rastest::TailBitmap fixed(4, 4, 0, 0x01020304u);
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), id, &fixed), nullptr);
    EXPECT_EQ(fixed.At(0, 0), 0x01020304u);
}

TEST(PNGDecode, DamagedInputGivesNull) {
    const Bytes good = Encode(MakeRecipe(PNG_COLOR_TYPE_RGB_ALPHA, 8, false,
                                       [](int x, int y, int c) { return x * y + c; }));
    ASSERT_NE(DecodeBytes(good), nullptr);

    EXPECT_EQ(DecodeBytes(Bytes(good.begin(), good.begin() + 7)), nullptr);
    EXPECT_EQ(DecodeBytes({}), nullptr);
    Bytes badSignature = good;
    badSignature[0] = 136;
    EXPECT_EQ(DecodeBytes(badSignature), nullptr);
    for (const std::size_t cut :
         {std::size_t{8}, std::size_t{20}, std::size_t{33}, good.size() / 2, good.size() - 13}) {
        EXPECT_EQ(DecodeBytes(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))),
                  nullptr)
            << "cut at " << cut;
        const TempFile file(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_EQ(RAS_DecodePNGFile(file.Path(), nullptr), nullptr) << "file cut at " << cut;
    }
    // The IHDR chunk's CRC: bytes 29-32.
    Bytes badCRC = good;
    badCRC[30] ^= 0x40;
    EXPECT_EQ(DecodeBytes(badCRC), nullptr);
    // A damaged byte inside the image data.
    Bytes badData = good;
    badData[good.size() - 20] ^= 0xFF;
    EXPECT_EQ(DecodeBytes(badData), nullptr);
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), 65535, nullptr), nullptr);
    EXPECT_EQ(RAS_DecodePNGResource(RAS_OwnModule(), -1, nullptr), nullptr);
    EXPECT_EQ(RAS_DecodePNGFile("/nonexistent/knob.png", nullptr), nullptr);
    EXPECT_EQ(RAS_DecodePNGFile(nullptr, nullptr), nullptr);
}

TEST(PNGDecode, AbsurdSizesAreRefusedBeforeAllocating) {
    const Bytes good =
        Encode(MakeRecipe(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, [](int, int, int) { return 1; }));
    // Rewrites the IHDR size and its CRC, so only the size is wrong.
    const auto withSize = [&](png_uint_32 w, png_uint_32 h) {
        Bytes b = good;
        png_save_uint_32(&b[16], w);
        png_save_uint_32(&b[20], h);
        const uLong crc = crc32(crc32(0, nullptr, 0), &b[12], 17);
        png_save_uint_32(&b[29], static_cast<png_uint_32>(crc));
        return b;
    };
    ASSERT_NE(DecodeBytes(withSize(kW, kH)), nullptr) << "the rewrite itself is sound";
    EXPECT_EQ(DecodeBytes(withSize(100000, 100000)), nullptr);
    EXPECT_EQ(DecodeBytes(withSize(RAS_MAX_IMAGE_SIDE + 1, 1)), nullptr);
    EXPECT_EQ(DecodeBytes(withSize(1, RAS_MAX_IMAGE_SIDE + 1)), nullptr);
    EXPECT_EQ(DecodeBytes(withSize(0x7FFFFFFF, 0x7FFFFFFF)), nullptr);
    EXPECT_EQ(DecodeBytes(withSize(0, 5)), nullptr);
}

TEST(PNGDecode, EmbeddedResourceOfThisModule) {
    // Generated at build time and embedded as resource 100 (see CMakeLists.txt).
    const std::unique_ptr<RAS_IBitmap> image(RAS_DecodePNGResource(RAS_OwnModule(), 100, nullptr));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->PixelWidth(), 3);
    ASSERT_EQ(image->PixelHeight(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(rastest::At(*image, x, y),
                      Argb(0x40 + x + 4 * y, 0x10 * (x + 1), 0x20 * (y + 1), 0x30));
        }
    }
    int other = 0;
    EXPECT_EQ(RAS_DecodePNGResource(&other, 100, nullptr), nullptr) << "another module";
}

TEST(ImageFormatRegistry, PNGEntryChecksTheExtension) {
    const RAS_ImageFormatEntry* entry = RAS_ImageFormats();
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->describe(), "PNG files (*.PNG)");

    const Bytes bytes =
        Encode(MakeRecipe(PNG_COLOR_TYPE_RGB, 8, false, [](int, int, int) { return 9; }));
    const TempFile mixedCase(bytes, "knob.Png");
    const std::unique_ptr<RAS_IBitmap> image(entry->decode(mixedCase.Path(), true, nullptr));
    EXPECT_NE(image, nullptr);
    // A PNG under another name is refused unopened with the check, read without it.
    const TempFile other(bytes, "knob.bmp");
    EXPECT_EQ(entry->decode(other.Path(), true, nullptr), nullptr);
    const std::unique_ptr<RAS_IBitmap> unchecked(entry->decode(other.Path(), false, nullptr));
    EXPECT_NE(unchecked, nullptr);
    for (const char* path : {"dir.png/knob", "knob", ".png.", "knob.pngx", "knob.pn", ""}) {
        EXPECT_EQ(entry->decode(path, true, nullptr), nullptr) << path;
    }
    EXPECT_EQ(entry->decode(nullptr, true, nullptr), nullptr);
}
