// Helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A fresh empty directory under the build tree; the test's working directory
// while a ScopedDirectory lives.
struct ScopedDirectory {
    std::string path;
    std::string previous;
    ScopedDirectory();
    ~ScopedDirectory();
};

// A ScopedDirectory that is also XDG_CONFIG_HOME, with XDG_CACHE_HOME in it;
// HOME and both variables are put back as they were when it ends.
struct ScopedConfigHome : ScopedDirectory {
    std::string saved_home, saved_config, saved_cache;
    bool had_home = false, had_config = false, had_cache = false;
    ScopedConfigHome();
    ~ScopedConfigHome();
};

void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);
std::string read_text(const std::string& path);
void write_text(const std::string& path, const std::string& text); // makes its directories
void put_u32(std::vector<uint8_t>& out, uint32_t value);
void put_u16(std::vector<uint8_t>& out, uint16_t value);
// Little-endian reads at a byte offset.
inline uint32_t get_u16(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at] | b[at + 1] << 8);
}
inline uint32_t get_u32(const std::vector<uint8_t>& b, size_t at) {
    return get_u16(b, at) | get_u16(b, at + 2) << 16;
}

// A pack file: the tag qxpack writes in its 8 free bytes, the count, a 24-byte
// record (name, size, offset) for each entry, then the entries' data in order.
inline std::vector<uint8_t>
make_pack(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    std::vector<uint8_t> out = {'V', 'O', 'R', 'N', 'P', 'K', 0, 1};
    put_u32(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(12 + 24 * entries.size());
    for (const auto& [name, data] : entries) {
        out.insert(out.end(), name.begin(), name.end());
        out.resize(out.size() + 16 - name.size(), 0);
        put_u32(out, uint32_t(data.size()));
        put_u32(out, offset);
        offset += uint32_t(data.size());
    }
    for (const auto& entry : entries)
        out.insert(out.end(), entry.second.begin(), entry.second.end());
    return out;
}
