// vorn-content ITEMS_DIR MODULE_PATH CONTACT_SHEET_PNG
// Writes every item of the default content; deterministic.
#include "content.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorn-content ITEMS_DIR MODULE_PATH CONTACT_SHEET_PNG\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "vorn-content: cannot create %s\n", argv[1]);
        return 1;
    }
    if (!write_pictures(argv[1]) || !write_models(argv[1]) || !write_music(argv[2]) ||
        !write_contact_sheet(argv[1], argv[3])) {
        std::fprintf(stderr, "vorn-content: generation failed\n");
        return 1;
    }
    return 0;
}
