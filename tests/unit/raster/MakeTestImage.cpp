// Writes the small RGBA image the resource-embedding test decodes: 3 x 2 pixels,
// pixel (x, y) = R 0x10 * (x + 1), G 0x20 * (y + 1), B 0x30, A 0x40 + x + 4 * y.
#include <png.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        return 1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return 1;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, 3, 2, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < 2; ++y) {
        png_byte row[3 * 4];
        for (int x = 0; x < 3; ++x) {
            row[x * 4 + 0] = static_cast<png_byte>(0x10 * (x + 1));
            row[x * 4 + 1] = static_cast<png_byte>(0x20 * (y + 1));
            row[x * 4 + 2] = 0x30;
            row[x * 4 + 3] = static_cast<png_byte>(0x40 + x + 4 * y);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 ? 0 : 1;
}
