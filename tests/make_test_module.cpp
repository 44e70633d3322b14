// make_test_module FILE ORDERS ROWS SPEED BPM: writes a short module for the
// whole-program runs.
#include "short_module.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_test_module FILE ORDERS ROWS SPEED BPM\n");
        return 2;
    }
    const std::vector<uint8_t> bytes = make_short_module(std::atoi(argv[2]), std::atoi(argv[3]),
                                                         std::atoi(argv[4]), std::atoi(argv[5]));
    FILE* file = bytes.empty() ? nullptr : std::fopen(argv[1], "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "make_test_module: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
