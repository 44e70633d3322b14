#include "data/pack.h"

#include <cstdio>
#include <cstring>

Blob pack_builtin = {nullptr, 0};

// The decoder's history, program-wide and never cleared: a valid stream only
// refers to bytes it has produced itself.
static uint8_t lz_ring[LZ_RING_SIZE];

static uint32_t read_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static uint16_t read_u16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

bool is_packed_block(const uint8_t* data, size_t size) {
    return size >= 4 && std::memcmp(data, "QXPD", 4) == 0;
}

std::optional<Buffer> unpack_block(const uint8_t* block, size_t block_size) {
    if (!is_packed_block(block, block_size) || block_size < PACKED_HEADER_SIZE) return {};
    if (read_u16(block + 10) != PACKED_METHOD_LZ) return {};
    const uint32_t unpacked_size = read_u32(block + 4);
    // A reference codes at most 17 bytes in 2 (plus a flag byte per 8), so a
    // header claiming more than 8 bytes per stream byte cannot be honest.
    const size_t stream_size = block_size - PACKED_HEADER_SIZE;
    if (unpacked_size / 8 > stream_size) return {};

    Buffer out(unpacked_size);
    const uint8_t* in = block + PACKED_HEADER_SIZE;
    const uint8_t* in_end = block + block_size;
    size_t out_pos = 0;
    unsigned ring_pos = 0;

    for (;;) {
        if (in == in_end) return {};
        const unsigned flags = *in++;
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            if (!(flags & bit)) {
                if (in == in_end || out_pos == unpacked_size) return {};
                const uint8_t c = *in++;
                out[out_pos++] = c;
                lz_ring[ring_pos] = c;
                ring_pos = (ring_pos + 1) & (LZ_RING_SIZE - 1);
                continue;
            }
            if (in == in_end) return {};
            const unsigned a = *in++;
            if (a == 0) {
                if (out_pos != unpacked_size) return {};
                return out;
            }
            if (in == in_end) return {};
            const unsigned b = *in++;
            const unsigned length = (a & 15) + 2;
            const unsigned distance = (a >> 4) * 256 + b;
            if (length > unpacked_size - out_pos) return {};
            for (unsigned i = 0; i < length; i++) {
                const uint8_t c = lz_ring[(ring_pos - distance) & (LZ_RING_SIZE - 1)];
                out[out_pos++] = c;
                lz_ring[ring_pos] = c;
                ring_pos = (ring_pos + 1) & (LZ_RING_SIZE - 1);
            }
        }
    }
}

bool pack_names_equal(const char* a, const char* b) {
    for (;; a++, b++) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = char(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = char(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}

// A pack read through one interface whether it is a file or memory.
struct PackSource {
    FILE* file;
    const uint8_t* memory;
    size_t size;
};

static bool source_read(const PackSource& src, size_t offset, void* dst, size_t n) {
    if (offset > src.size || n > src.size - offset) return false;
    if (src.memory) {
        std::memcpy(dst, src.memory + offset, n);
        return true;
    }
    return std::fseek(src.file, long(offset), SEEK_SET) == 0 &&
           std::fread(dst, 1, n, src.file) == n;
}

static PackDirEntry decode_dir_entry(const uint8_t* record) {
    PackDirEntry e{};
    std::memcpy(e.name, record, PACK_NAME_SIZE);
    e.name[PACK_NAME_SIZE] = 0;
    e.stored_size = read_u32(record + 16);
    e.offset = read_u32(record + 20);
    return e;
}

bool pack_entry_in_bounds(const PackDirEntry& entry, size_t pack_size) {
    return entry.offset <= pack_size && entry.stored_size <= pack_size - entry.offset;
}

// The entry count, or 0 when the pack is empty or its directory does not fit.
static size_t source_entry_count(const PackSource& src) {
    uint8_t header[PACK_HEADER_SIZE];
    if (!source_read(src, 0, header, sizeof header)) return 0;
    const int32_t count = int32_t(read_u32(header + 8));
    if (count <= 0) return 0;
    if (size_t(count) > (src.size - PACK_HEADER_SIZE) / PACK_DIR_ENTRY_SIZE) return 0;
    return size_t(count);
}

static std::optional<PackDirEntry> source_find(const PackSource& src, const char* name) {
    const size_t count = source_entry_count(src);
    for (size_t i = 0; i < count; i++) {
        uint8_t record[PACK_DIR_ENTRY_SIZE];
        if (!source_read(src, PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE, record, sizeof record))
            return {};
        PackDirEntry e = decode_dir_entry(record);
        if (pack_names_equal(e.name, name)) {
            if (!pack_entry_in_bounds(e, src.size)) return {};
            return e;
        }
    }
    return {};
}

std::vector<PackDirEntry> pack_directory(const uint8_t* pack, size_t pack_size) {
    const PackSource src{nullptr, pack, pack_size};
    const size_t count = source_entry_count(src);
    std::vector<PackDirEntry> dir;
    dir.reserve(count);
    for (size_t i = 0; i < count; i++)
        dir.push_back(decode_dir_entry(pack + PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE));
    return dir;
}

std::optional<PackDirEntry> pack_find(const uint8_t* pack, size_t pack_size, const char* name) {
    return source_find(PackSource{nullptr, pack, pack_size}, name);
}

static long file_length(FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    return std::ftell(f);
}

static std::optional<Buffer> decode_if_packed(Buffer data) {
    if (is_packed_block(data.data(), data.size())) return unpack_block(data.data(), data.size());
    return data;
}

// Loose file: a file that cannot be read, or is empty, gives way to the packs.
static std::optional<Buffer> read_loose_file(const char* name) {
    FILE* f = std::fopen(name, "rb");
    if (!f) return {};
    const long length = file_length(f);
    std::optional<Buffer> data;
    if (length > 0) {
        data.emplace(size_t(length));
        if (std::fseek(f, 0, SEEK_SET) != 0 ||
            std::fread(data->data(), 1, data->size(), f) != data->size())
            data.reset();
    }
    std::fclose(f);
    return data;
}

static std::optional<Buffer> source_read_entry(const PackSource& src, const char* name) {
    const std::optional<PackDirEntry> e = source_find(src, name);
    if (!e) return {};
    Buffer data(e->stored_size);
    if (!source_read(src, e->offset, data.data(), data.size())) return {};
    return decode_if_packed(std::move(data));
}

static uint32_t source_entry_size(const PackSource& src, const char* name) {
    const std::optional<PackDirEntry> e = source_find(src, name);
    if (!e || e->stored_size == 0) return 0;
    uint8_t head[PACKED_HEADER_SIZE];
    const size_t n = e->stored_size < sizeof head ? e->stored_size : sizeof head;
    if (!source_read(src, e->offset, head, n)) return 0;
    if (n >= 8 && is_packed_block(head, n)) return read_u32(head + 4);
    return e->stored_size;
}

// Opens demo.qxd as a source; the caller closes src.file.
static bool open_pack_file(PackSource& src) {
    src = {std::fopen(PACK_FILE_NAME, "rb"), nullptr, 0};
    if (!src.file) return false;
    const long length = file_length(src.file);
    if (length < 0) {
        std::fclose(src.file);
        return false;
    }
    src.size = size_t(length);
    return true;
}

static PackSource builtin_source() {
    return {nullptr, pack_builtin.data, pack_builtin.size};
}

std::optional<Buffer> pack_read_entry(const char* name) {
    if (std::optional<Buffer> loose = read_loose_file(name)) return decode_if_packed(*loose);

    PackSource file;
    if (open_pack_file(file)) {
        std::optional<Buffer> data = source_read_entry(file, name);
        std::fclose(file.file);
        if (data) return data;
    }
    if (pack_builtin.data) return source_read_entry(builtin_source(), name);
    return {};
}

uint32_t pack_entry_size(const char* name) {
    if (FILE* f = std::fopen(name, "rb")) {
        uint8_t head[PACKED_HEADER_SIZE];
        const size_t n = std::fread(head, 1, sizeof head, f);
        const long length = file_length(f);
        std::fclose(f);
        if (n >= 8 && is_packed_block(head, n)) return read_u32(head + 4);
        return length > 0 ? uint32_t(length) : 0;
    }
    PackSource file;
    if (open_pack_file(file)) {
        const uint32_t size = source_entry_size(file, name);
        std::fclose(file.file);
        if (size) return size;
    }
    if (pack_builtin.data) return source_entry_size(builtin_source(), name);
    return 0;
}
