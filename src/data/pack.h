// Named items: loose files, the data pack demo.qxd and the built-in pack, with
// the LZ-coded "QXPD" blocks.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Buffer = std::vector<uint8_t>;

// Pack layout.
constexpr size_t PACK_HEADER_SIZE = 12;    // 8 free bytes, then the entry count
constexpr size_t PACK_DIR_ENTRY_SIZE = 24; // name[16], stored size, offset
constexpr size_t PACK_NAME_SIZE = 16;
constexpr size_t PACKED_HEADER_SIZE = 20; // "QXPD", unpacked size, method at 10
constexpr uint16_t PACKED_METHOD_LZ = 2;
constexpr size_t LZ_RING_SIZE = 4096;
constexpr const char* PACK_FILE_NAME = "demo.qxd";
// A pack's offsets are 32-bit: no longer file is a pack.
constexpr size_t PACK_BYTES_MAX = UINT32_MAX;
// The most directory records a pack may have (a 24 MB directory): a pack
// claiming more is corrupt.
constexpr size_t PACK_ENTRIES_MAX = size_t(1) << 20;
// The free bytes every pack qxpack writes begins with: a tag and the format
// version. The show never reads them; the tool takes no file without them.
inline constexpr uint8_t PACK_TAG[8] = {'V', 'O', 'R', 'N', 'P', 'K', 0, 1};

// Where an item is looked for, in order: a loose file in the current directory,
// demo.qxd in the current directory, then pack_builtin: the pack in memory that
// the program installs at start (its built-in default; none with
// --no-builtin-data, or in a tool).
struct Blob {
    const uint8_t* data;
    size_t size;
};
extern Blob pack_builtin;

// Set by the program to its stop signal: a pack directory being read is
// given up (the pack treated as empty) as soon as it is non-zero. A pack's
// directory is read once and kept until the file changes.
extern const volatile std::sig_atomic_t* load_stop;
// Test hook: how many times a pack's directory has been read.
extern uint32_t pack_directory_reads;

// The largest item a reader takes unless it asks for less: more than any item
// of the show, little enough to hold in memory.
constexpr size_t PACK_ITEM_LIMIT = size_t(64) << 20;

enum ItemSource { ITEM_NOT_FOUND, ITEM_LOOSE_FILE, ITEM_PACK_FILE, ITEM_BUILTIN, ITEM_HELD };

// Where an item came from and how long it is: its stored length, the unpacked
// size for a packed item.
struct PackItem {
    std::optional<Buffer> data; // none when unreadable, undecodable or too long
    uint64_t size = 0;
    ItemSource source = ITEM_NOT_FOUND;
};

// A named item of at most `most` bytes. Only regular files count as loose
// files or as demo.qxd (a directory, FIFO or device of the name is passed
// over); an item longer than `most` keeps its size and source but no data,
// and is not read past its header.
PackItem pack_read_item(const char* name, size_t most = PACK_ITEM_LIMIT);

// An item held in memory in place of what the files now give (the last good
// version of an item saved broken while the show plays): the look-up finds
// it before any file until it is let go.
void pack_hold_item(const char* name, Buffer bytes);
void pack_let_go_item(const char* name);

// "loose file", "demo.qxd", "built-in data" or "the last good version".
const char* item_source_text(ItemSource where);

// The whole contents of a named item, decoded if packed; none when it is found
// nowhere, cannot be decoded or is longer than `most`.
std::optional<Buffer> pack_read_entry(const char* name, size_t most = PACK_ITEM_LIMIT);

// The item's length (unpacked size for a packed item); 0 when not found.
uint32_t pack_entry_size(const char* name);

// Decodes a "QXPD" block of block_size bytes. None for a wrong magic or method,
// or a stream that is not exactly the header's unpacked size.
std::optional<Buffer> unpack_block(const uint8_t* block, size_t block_size);

// One directory record of a pack held in memory.
struct PackDirEntry {
    char name[PACK_NAME_SIZE + 1]; // always zero-terminated here
    uint32_t stored_size;
    uint32_t offset;
};

// The directory of a pack in memory, in file order. Records whose data does not
// lie inside the pack are kept (stored_size and offset as written) so that a
// tool can report them; pack_entry_in_bounds tells which ones are usable. An
// entry count that cannot fit in the pack, or above PACK_ENTRIES_MAX, gives
// an empty directory.
std::vector<PackDirEntry> pack_directory(const uint8_t* pack, size_t pack_size);
bool pack_entry_in_bounds(const PackDirEntry& entry, size_t pack_size);

// What makes a pack in memory unreadable as a whole (shorter than its header,
// no pack tag, more records than PACK_ENTRIES_MAX, a directory that does not
// fit), or an empty string: the one judgement of every tool that reads packs.
std::string pack_problem(const uint8_t* pack, size_t pack_size);
// The same judgement from the first head_size bytes of a pack (all of them
// up to PACK_HEADER_SIZE) and its length, before the rest is read.
std::string pack_header_problem(const uint8_t* head, size_t head_size, uint64_t pack_size);

// An entry name fit for a terminal: bytes outside printable ASCII, and the
// backslash, as \xNN.
std::string printable_name(const char* name);

// Case-insensitive (A-Z only) name comparison of the pack look-up.
bool pack_names_equal(const char* a, const char* b);

// The first usable directory record matching name, or none.
std::optional<PackDirEntry> pack_find(const uint8_t* pack, size_t pack_size, const char* name);

// True when data begins with the packed block magic.
bool is_packed_block(const uint8_t* data, size_t size);
