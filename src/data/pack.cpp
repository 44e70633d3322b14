// Named items looked up loose, in demo.qxd, then built in; the pack's
// directory and LZ blocks are read with every size checked before use.
#include "data/pack.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    int fd; // -1 for memory
    const uint8_t* memory;
    size_t size;
};

// Reads up to n bytes at offset; returns how many it got.
static size_t read_at(int fd, uint64_t offset, uint8_t* dst, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = pread(fd, dst + got, n - got, off_t(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += size_t(r);
    }
    return got;
}

static bool source_read(const PackSource& src, size_t offset, void* dst, size_t n) {
    if (offset > src.size || n > src.size - offset) return false;
    if (src.memory) {
        if (n) std::memcpy(dst, src.memory + offset, n);
        return true;
    }
    return read_at(src.fd, offset, static_cast<uint8_t*>(dst), n) == n;
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

// The entry count, or 0 when the pack is empty or its directory does not fit
// in the pack or in PACK_ENTRIES_MAX records.
static size_t source_entry_count(const PackSource& src) {
    uint8_t header[PACK_HEADER_SIZE];
    if (!source_read(src, 0, header, sizeof header)) return 0;
    const int32_t count = int32_t(read_u32(header + 8));
    if (count <= 0 || size_t(count) > PACK_ENTRIES_MAX) return 0;
    if (size_t(count) > (src.size - PACK_HEADER_SIZE) / PACK_DIR_ENTRY_SIZE) return 0;
    return size_t(count);
}

const volatile std::sig_atomic_t* load_stop = nullptr;
uint32_t pack_directory_reads = 0;

// A pack's directory read once: its records in file order and their indices
// ordered by name (A-Z folded), the first of equal names first, so that a
// look-up is a binary search instead of a pass over the pack.
struct PackIndex {
    uint64_t identity[6] = {};
    bool read = false;
    std::vector<PackDirEntry> records;
    std::vector<uint32_t> by_name;
};

static int compare_names(const char* a, const char* b) {
    for (;; a++, b++) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = char(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = char(cb - 'A' + 'a');
        if (ca != cb || ca == 0) return int(uint8_t(ca)) - int(uint8_t(cb));
    }
}

// Reads the directory in slices of records, giving up (an empty index, not
// kept) when the stop signal comes.
static bool read_index(const PackSource& src, PackIndex* index) {
    constexpr size_t SLICE = 4096;
    pack_directory_reads++;
    const size_t count = source_entry_count(src);
    index->records.clear();
    index->records.reserve(count);
    std::vector<uint8_t> slice(std::min(SLICE, count) * PACK_DIR_ENTRY_SIZE);
    for (size_t first = 0; first < count; first += SLICE) {
        if (load_stop && *load_stop) {
            index->records.clear();
            return false;
        }
        const size_t n = std::min(SLICE, count - first);
        if (!source_read(src, PACK_HEADER_SIZE + first * PACK_DIR_ENTRY_SIZE, slice.data(),
                         n * PACK_DIR_ENTRY_SIZE))
            break;
        for (size_t i = 0; i < n; i++)
            index->records.push_back(decode_dir_entry(&slice[i * PACK_DIR_ENTRY_SIZE]));
    }
    index->by_name.resize(index->records.size());
    for (size_t i = 0; i < index->by_name.size(); i++) index->by_name[i] = uint32_t(i);
    const std::vector<PackDirEntry>& records = index->records;
    std::stable_sort(index->by_name.begin(), index->by_name.end(), [&](uint32_t a, uint32_t b) {
        return compare_names(records[a].name, records[b].name) < 0;
    });
    return true;
}

// The index of src, read again only when src is another pack than the one
// read last into *cache (another file, or the same one changed: its size,
// times or entry count).
static const PackIndex& source_index(const PackSource& src, PackIndex* cache) {
    uint64_t identity[6] = {uint64_t(uintptr_t(src.memory)), src.size, 0, 0, 0, 0};
    uint8_t header[PACK_HEADER_SIZE];
    if (source_read(src, 0, header, sizeof header)) identity[5] = read_u32(header + 8);
    struct stat st;
    if (src.fd >= 0 && fstat(src.fd, &st) == 0) {
        identity[0] = st.st_dev, identity[2] = st.st_ino;
        identity[3] = uint64_t(st.st_mtim.tv_sec) * 1000000000u + uint64_t(st.st_mtim.tv_nsec);
        identity[4] = uint64_t(st.st_ctim.tv_sec) * 1000000000u + uint64_t(st.st_ctim.tv_nsec);
    }
    if (cache->read && std::equal(identity, identity + 6, cache->identity)) return *cache;
    cache->read = read_index(src, cache);
    std::copy(identity, identity + 6, cache->identity);
    return *cache;
}

static PackIndex file_index, builtin_index;

static std::optional<PackDirEntry> index_find(const PackIndex& index, size_t pack_size,
                                              const char* name) {
    const auto first = std::lower_bound(
        index.by_name.begin(), index.by_name.end(), name,
        [&](uint32_t i, const char* n) { return compare_names(index.records[i].name, n) < 0; });
    if (first == index.by_name.end() || !pack_names_equal(index.records[*first].name, name))
        return {};
    const PackDirEntry& e = index.records[*first];
    if (!pack_entry_in_bounds(e, pack_size)) return {};
    return e;
}

static std::optional<PackDirEntry> source_find(const PackSource& src, const char* name) {
    if (src.fd >= 0) return index_find(source_index(src, &file_index), src.size, name);
    if (src.memory == pack_builtin.data)
        return index_find(source_index(src, &builtin_index), src.size, name);
    PackIndex once;
    read_index(src, &once);
    return index_find(once, src.size, name);
}

std::vector<PackDirEntry> pack_directory(const uint8_t* pack, size_t pack_size) {
    const PackSource src{-1, pack, pack_size};
    const size_t count = source_entry_count(src);
    std::vector<PackDirEntry> dir;
    dir.reserve(count);
    for (size_t i = 0; i < count; i++)
        dir.push_back(decode_dir_entry(pack + PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE));
    return dir;
}

std::string pack_header_problem(const uint8_t* head, size_t head_size, uint64_t pack_size) {
    if (head_size < PACK_HEADER_SIZE || pack_size < PACK_HEADER_SIZE)
        return "shorter than its " + std::to_string(PACK_HEADER_SIZE) + "-byte header";
    if (std::memcmp(head, PACK_TAG, sizeof PACK_TAG) != 0)
        return "not a pack: it does not begin with the pack tag";
    const int32_t claimed = int32_t(read_u32(head + 8));
    if (claimed > 0 && size_t(claimed) > PACK_ENTRIES_MAX)
        return "its directory of " + std::to_string(claimed) + " entries is more than the " +
               std::to_string(PACK_ENTRIES_MAX) + " a pack may hold";
    if (claimed > 0 && uint64_t(claimed) > (pack_size - PACK_HEADER_SIZE) / PACK_DIR_ENTRY_SIZE)
        return "its directory of " + std::to_string(claimed) + " entries does not fit in " +
               std::to_string(pack_size) + " bytes";
    return "";
}

std::string pack_problem(const uint8_t* pack, size_t pack_size) {
    return pack_header_problem(pack, std::min(pack_size, PACK_HEADER_SIZE), pack_size);
}

std::string printable_name(const char* name) {
    std::string out;
    for (const char* c = name; *c; c++) {
        const uint8_t b = uint8_t(*c);
        if (b < 0x20 || b >= 0x7F || b == '\\') {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", b);
            out += code;
        } else {
            out += char(b);
        }
    }
    return out;
}

std::optional<PackDirEntry> pack_find(const uint8_t* pack, size_t pack_size, const char* name) {
    return source_find(PackSource{-1, pack, pack_size}, name);
}

// Opens name for reading only when it is a regular file: a directory, device
// or FIFO of that name is no item, and opening never blocks.
static int open_regular_file(const char* name, uint64_t* length) {
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(fd);
        return -1;
    }
    *length = uint64_t(st.st_size);
    return fd;
}

// The most coded bytes a valid stream of n decoded bytes can take: a byte per
// literal (a reference codes two or more in two), a flag byte per eight
// tokens, and the end marker.
static uint64_t coded_bound(uint64_t n) {
    return n + (n + 8) / 8 + 2;
}

// Reads the item stored at [offset, offset + stored) of a file or memory. An
// item longer than `most` bytes (its unpacked size when packed) is not read
// past its header: it comes back with its size and no data.
static PackItem read_stored_item(const PackSource& src, uint64_t offset, uint64_t stored,
                                 size_t most, ItemSource where) {
    PackItem item;
    item.source = where;
    item.size = stored;
    uint8_t head[PACKED_HEADER_SIZE];
    const size_t head_size = size_t(std::min<uint64_t>(stored, sizeof head));
    if (!source_read(src, size_t(offset), head, head_size)) return item;
    const bool packed = head_size >= 8 && is_packed_block(head, head_size);
    if (packed) item.size = read_u32(head + 4);
    if (item.size > most) return item;

    // A valid stream never needs more than coded_bound bytes; the rest of a
    // longer block is never read.
    const uint64_t want =
        packed ? std::min<uint64_t>(stored, PACKED_HEADER_SIZE + coded_bound(item.size)) : stored;
    Buffer data(static_cast<size_t>(want));
    if (!source_read(src, size_t(offset), data.data(), data.size())) return item;
    if (packed)
        item.data = unpack_block(data.data(), data.size());
    else
        item.data = std::move(data);
    return item;
}

// Opens demo.qxd as a source; the caller closes src.fd.
static bool open_pack_file(PackSource& src) {
    uint64_t length = 0;
    src = {open_regular_file(PACK_FILE_NAME, &length), nullptr, 0};
    if (src.fd < 0) return false;
    src.size = size_t(length);
    return true;
}

static PackSource builtin_source() {
    return {-1, pack_builtin.data, pack_builtin.size};
}

static PackItem source_read_item(const PackSource& src, const char* name, size_t most,
                                 ItemSource where) {
    const std::optional<PackDirEntry> e = source_find(src, name);
    if (!e) return {};
    return read_stored_item(src, e->offset, e->stored_size, most, where);
}

static std::map<std::string, Buffer> held_items; // by name in capitals

static std::string held_key(const char* name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return key;
}

void pack_hold_item(const char* name, Buffer bytes) {
    held_items[held_key(name)] = std::move(bytes);
}

void pack_let_go_item(const char* name) {
    held_items.erase(held_key(name));
}

static const Buffer* held_item(const char* name) {
    if (held_items.empty()) return nullptr;
    const auto found = held_items.find(held_key(name));
    return found == held_items.end() ? nullptr : &found->second;
}

PackItem pack_read_item(const char* name, size_t most) {
    if (const Buffer* held = held_item(name)) {
        PackItem item{std::nullopt, held->size(), ITEM_HELD};
        if (held->size() <= most) item.data = *held;
        return item;
    }
    uint64_t length = 0;
    const int fd = open_regular_file(name, &length);
    if (fd >= 0) {
        // An empty loose file gives way to the packs.
        PackItem item;
        if (length > 0)
            item = read_stored_item(PackSource{fd, nullptr, size_t(length)}, 0, length, most,
                                    ITEM_LOOSE_FILE);
        close(fd);
        if (length > 0) return item;
    }
    PackSource file;
    if (open_pack_file(file)) {
        PackItem item = source_read_item(file, name, most, ITEM_PACK_FILE);
        close(file.fd);
        if (item.source != ITEM_NOT_FOUND) return item;
    }
    if (pack_builtin.data) return source_read_item(builtin_source(), name, most, ITEM_BUILTIN);
    return {};
}

std::optional<Buffer> pack_read_entry(const char* name, size_t most) {
    return pack_read_item(name, most).data;
}

const char* item_source_text(ItemSource where) {
    switch (where) {
    case ITEM_LOOSE_FILE:
        return "loose file";
    case ITEM_PACK_FILE:
        return PACK_FILE_NAME;
    case ITEM_BUILTIN:
        return "built-in data";
    case ITEM_HELD:
        return "the last good version";
    default:
        return "nowhere";
    }
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

uint32_t pack_entry_size(const char* name) {
    if (const Buffer* held = held_item(name)) return uint32_t(held->size());
    uint64_t length = 0;
    const int fd = open_regular_file(name, &length);
    if (fd >= 0) {
        uint8_t head[PACKED_HEADER_SIZE];
        const size_t n = read_at(fd, 0, head, sizeof head);
        close(fd);
        if (n >= 8 && is_packed_block(head, n)) return read_u32(head + 4);
        return length > UINT32_MAX ? UINT32_MAX : uint32_t(length);
    }
    PackSource file;
    if (open_pack_file(file)) {
        const uint32_t size = source_entry_size(file, name);
        close(file.fd);
        if (size) return size;
    }
    if (pack_builtin.data) return source_entry_size(builtin_source(), name);
    return 0;
}
