// Cuts the program's icon out of one of the show's 320 x 200 pictures: a
// square of it, pixel for pixel, written as a PNG.
//   make_icon PICTURE.raw X Y SIZE OUT.png
#include "presentation/png_writer.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

static const int PICTURE_WIDTH = 320, PICTURE_HEIGHT = 200;

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_icon PICTURE.raw X Y SIZE OUT.png\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> rgb((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    const int x0 = std::atoi(argv[2]), y0 = std::atoi(argv[3]), size = std::atoi(argv[4]);
    if (rgb.size() != size_t(PICTURE_WIDTH) * PICTURE_HEIGHT * 3 || size <= 0 || x0 < 0 || y0 < 0 ||
        x0 + size > PICTURE_WIDTH || y0 + size > PICTURE_HEIGHT) {
        std::fprintf(stderr, "make_icon: %s is not a 320x200 picture holding that square\n",
                     argv[1]);
        return 1;
    }
    std::vector<uint32_t> icon(size_t(size) * size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            const unsigned char* p = &rgb[(size_t(y0 + y) * PICTURE_WIDTH + x0 + x) * 3];
            icon[size_t(y) * size + x] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        }
    if (!write_png(argv[5], icon.data(), size, size)) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[5]);
        return 1;
    }
    return 0;
}
