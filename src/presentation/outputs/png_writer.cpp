// PNG files through libpng: one function, 32-bit frames in, 8-bit RGB out,
// written whole or not at all.
#include "presentation/outputs/png_writer.h"

#include "data/files.h"

#include <png.h>

#include <cstdio>
#include <vector>

static bool encode_png(FILE* f, const uint32_t* pixels, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(size_t(width) * 3);
    int ok = 0;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // Fast deflate: the frames are written by the thousand, and the "up"
        // filter alone finds the repeated rows of an enlarged picture.
        png_set_compression_level(png, 1);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
        png_write_info(png, info);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                const uint32_t p = pixels[size_t(y) * width + x];
                row[3 * x] = uint8_t(p >> 16);
                row[3 * x + 1] = uint8_t(p >> 8);
                row[3 * x + 2] = uint8_t(p);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = 1;
    }
    png_destroy_write_struct(&png, &info);
    return ok;
}

int write_png(const std::string& path, const uint32_t* pixels, int width, int height) {
    std::string error;
    return write_file_atomically(
        path, [&](FILE* f) { return encode_png(f, pixels, width, height); }, &error);
}
