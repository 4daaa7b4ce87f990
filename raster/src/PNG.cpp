#include "raster/RAS_PNG.h"

#include <png.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct MemoryReader {
    const unsigned char* next;
    std::size_t left;
};

// Past the end the reader hands out zeros and lets libpng notice the damage. A read that
// finds nothing left at all is an error: a chunk that claims two gigabytes would else be
// skipped by reading two gigabytes of zeros.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->left == 0 && count > 0) {
        png_error(png, "read past the end of the image");
    }
    std::memset(out, 0, count);
    const std::size_t n = count < reader->left ? count : reader->left;
    std::memcpy(out, reader->next, n);
    reader->next += n;
    reader->left -= n;
}

// What a decode made, kept outside the function that holds the error return point so
// that it survives libpng's jump back.
struct DecodeJob {
    RAS_IBitmap* target;
    RAS_MemBitmap* own;
    png_bytep* rows;
};

// Reads the image into job->target (or a new job->own); false on any libpng error.
// No object with a destructor may live in this frame: libpng leaves it by longjmp.
bool ReadImage(png_structp png, png_infop info, DecodeJob* job) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    // libpng then refuses absurd headers itself, before anything is allocated.
    png_set_user_limits(png, RAS_MAX_IMAGE_SIDE, RAS_MAX_IMAGE_SIDE);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, &compression,
                 &filter);
    if (width == 0 || height == 0 || width > RAS_MAX_IMAGE_SIDE || height > RAS_MAX_IMAGE_SIDE) {
        return false;
    }
    const bool hasTRNS = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand(png);
    }
    if (hasTRNS) {
        png_set_tRNS_to_alpha(png);
    }
    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    if (bitDepth < 8) {
        png_set_packing(png);
    }
    // Every row must end up as A, R, G, B bytes: a filler before red where the result has
    // no alpha, the alpha moved before red where it has.
    const bool hasAlpha = hasTRNS || (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if (hasAlpha) {
        png_set_swap_alpha(png);
    } else {
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{width} * 4) {
        return false;
    }

    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    if (job->target != nullptr) {
        job->target->SetSize(w, h);
    } else {
        job->own = new (std::nothrow) RAS_MemBitmap(w, h);
        job->target = job->own;
    }
    RAS_IBitmap* const bitmap = job->target;
    if (bitmap == nullptr || bitmap->PixelWidth() != w || bitmap->PixelHeight() != h ||
        bitmap->Pixels() == nullptr) {
        return false;
    }
    job->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (job->rows == nullptr) {
        return false;
    }
    for (int y = 0; y < h; ++y) {
        job->rows[y] = reinterpret_cast<png_bytep>(
            bitmap->Pixels() + static_cast<std::ptrdiff_t>(y) * bitmap->StridePixels());
    }
    png_read_image(png, job->rows);
    return true;
}

// A, R, G, B bytes to RAS_Pixel32, in place.
void ReorderToPixels(const RAS_IBitmap& bitmap) {
    for (int y = 0; y < bitmap.PixelHeight(); ++y) {
        RAS_Pixel32* row = bitmap.Pixels() + static_cast<std::ptrdiff_t>(y) * bitmap.StridePixels();
        for (int x = 0; x < bitmap.PixelWidth(); ++x) {
            unsigned char b[4];
            std::memcpy(b, &row[x], 4);
            row[x] =
                RAS_Pixel32{b[0]} << 24 | RAS_Pixel32{b[1]} << 16 | RAS_Pixel32{b[2]} << 8 | b[3];
        }
    }
}

// Runs a decode on prepared structures; `attach` connects the input to libpng.
template <class Attach> RAS_IBitmap* Decode(RAS_IBitmap* target, Attach attach) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return nullptr;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    attach(png);
    DecodeJob job{target, nullptr, nullptr};
    const bool ok = ReadImage(png, info, &job);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(job.rows);
    if (!ok) {
        delete job.own;
        return nullptr;
    }
    ReorderToPixels(*job.target);
    return job.target;
}

bool HasPNGSignature(const unsigned char* bytes, std::size_t size) {
    return size >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

bool EndsInPNGExtension(const char* path) {
    const char* tail = path + std::strlen(path);
    while (tail > path && tail[-1] != '.' && tail[-1] != '/' && tail[-1] != '\\') {
        --tail;
    }
    if (tail == path) {
        return false;
    }
    --tail;
    const char* const want = ".png";
    for (int i = 0; i < 4; ++i) {
        if (tail[i] == '\0' || std::tolower(static_cast<unsigned char>(tail[i])) != want[i]) {
            return false;
        }
    }
    return tail[4] == '\0';
}

RAS_IBitmap* DecodeRegistered(const char* path, bool checkExtension, RAS_IBitmap* target) {
    if (path == nullptr || (checkExtension && !EndsInPNGExtension(path))) {
        return nullptr;
    }
    return RAS_DecodePNGFile(path, target);
}

const char* DescribePNG() {
    return "PNG files (*.PNG)";
}

constinit RAS_ImageFormatEntry* gFormats = nullptr;
RAS_ImageFormatEntry gPNGFormat{DecodeRegistered, DescribePNG, nullptr};
const struct PNGFormatRegistrar {
    PNGFormatRegistrar() { RAS_RegisterImageFormat(&gPNGFormat); }
} gPNGFormatRegistrar;

} // namespace

RAS_IBitmap* RAS_DecodePNGResource(RAS_ModuleHandle module, int id, RAS_IBitmap* target) {
    RAS_ResourceBytes bytes{};
    if (!RAS_FindImageResource(module, id, &bytes) || bytes.data == nullptr ||
        !HasPNGSignature(bytes.data, bytes.size)) {
        return nullptr;
    }
    MemoryReader reader{bytes.data, bytes.size};
    return Decode(target,
                  [&reader](png_structp png) { png_set_read_fn(png, &reader, ReadFromMemory); });
}

RAS_IBitmap* RAS_DecodePNGFile(const char* path, RAS_IBitmap* target) {
    if (path == nullptr) {
        return nullptr;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return nullptr;
    }
    RAS_IBitmap* const result = Decode(target, [file](png_structp png) { png_init_io(png, file); });
    std::fclose(file);
    return result;
}

RAS_ImageFormatEntry* RAS_ImageFormats() {
    return gFormats;
}

void RAS_RegisterImageFormat(RAS_ImageFormatEntry* entry) {
    entry->next = gFormats;
    gFormats = entry;
}
