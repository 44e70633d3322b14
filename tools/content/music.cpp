#include "content.h"

#include <fstream>

bool write_music(const std::string& module_path) {
    std::ofstream out(module_path, std::ios::binary);
    return bool(out);
}
