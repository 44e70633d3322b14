// The kept states in a file of the user's cache folder, for the live shows of
// later runs (kept_states.h): named by a digest of this very content, read
// only when whole and unchanged, written back at the show's end when states
// were added, the files of other content removed.
//
// The file: "VORNKEPT", the format, the content's key; the number of distinct
// pieces and of states; the pieces (size, bytes); the states (order, place,
// share, the index of each piece); an FNV-1a digest of everything before it.
// Little-endian, as the program only runs there.
#include "presentation/seeking/kept_states.h"

#include "data/assets.h"
#include "data/files.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "effects/effect_tables.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "presentation/seeking/kept_store.h"
#include "presentation/services/settings.h"
#include "presentation/show_song.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char KEPT_MAGIC[8] = {'V', 'O', 'R', 'N', 'K', 'E', 'P', 'T'};
constexpr uint32_t KEPT_FILE_FORMAT = 1;
constexpr size_t KEPT_FILE_MOST = size_t(1) << 30;

struct Digest {
    uint64_t value = 1469598103934665603ull;
    void add(const void* data, size_t size) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; i++) value = (value ^ bytes[i]) * 1099511628211ull;
    }
};

// What the kept states follow from: this program, the module, every asset and
// texture, the show's state at its start (the models among it), the display
// depth, the rate and fps. 0 when something cannot be read.
uint64_t content_key(int fps) {
    Bytes program;
    const std::vector<uint8_t>* module = sound_song_bytes(music_song);
    if (!module || !surface_virtual1 || !read_own_program(KEPT_FILE_MOST, &program)) return 0;
    Digest digest;
    const int32_t numbers[4] = {int32_t(KEPT_FILE_FORMAT), fps, output_rate,
                                int32_t(display_depth)};
    digest.add(numbers, sizeof numbers);
    digest.add(program.data(), program.size());
    digest.add(module->data(), module->size());
    for (size_t i = 0; i < asset_slot_count; i++) {
        const uint64_t size = asset_slots[i].slot->size();
        digest.add(&size, sizeof size);
        digest.add(asset_slots[i].slot->data(), size_t(size));
    }
    for (uint16_t i = 0; texture_table && i < texture_count; i++)
        if (texture_table[i].pixels)
            digest.add(texture_table[i].pixels, texture_table[i].byte_size);
    Bytes start;
    save_state_for_key(&start);
    digest.add(start.data(), start.size());
    return digest.value | 1;
}

std::string kept_file_directory() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + "/vorn";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/vorn";
    return "";
}

std::string kept_file_name(uint64_t key) {
    char name[40];
    std::snprintf(name, sizeof name, "kept-%016llx.bin", (unsigned long long)key);
    return name;
}

// The file's last 8 bytes: the digest of all before them. On success, in
// covers what the digest covers.
bool read_kept_digest(const Bytes& file, Reader* in) {
    if (file.size() < 8 + sizeof(uint64_t)) return false;
    Digest digest;
    digest.add(file.data(), file.size() - sizeof(uint64_t));
    uint64_t sum = 0;
    std::memcpy(&sum, file.data() + file.size() - sizeof sum, sizeof sum);
    *in = Reader{file.data(), file.size() - sizeof sum};
    return sum == digest.value;
}

// The magic, the format and the key of this content; the two counts.
bool read_kept_header(Reader* in, uint32_t* piece_count, uint32_t* state_count) {
    char magic[8];
    uint32_t format = 0;
    uint64_t key = 0;
    return take(in, magic, 8) && std::memcmp(magic, KEPT_MAGIC, 8) == 0 && take(in, &format, 1) &&
           format == KEPT_FILE_FORMAT && take(in, &key, 1) && key == kept_store.key &&
           take(in, piece_count, 1) && take(in, state_count, 1);
}

// One piece: its size, then as many bytes.
bool read_kept_piece(Reader* in, std::vector<std::shared_ptr<const Bytes>>* pieces) {
    uint64_t size = 0;
    if (!take(in, &size, 1) || size > in->left) return false;
    pieces->push_back(std::make_shared<const Bytes>(in->at, in->at + size));
    in->at += size;
    in->left -= size;
    return true;
}

// One state: its order, the song's place and share, the index of each piece.
bool read_kept_state(Reader* in, const std::vector<std::shared_ptr<const Bytes>>& pieces,
                     std::vector<KeptState>* by_order) {
    uint32_t order = 0;
    uint64_t share = 0;
    KeptState state;
    state.kept = true;
    if (!take(in, &order, 1) || order >= KEPT_ORDERS || !take(in, &state.place, 1) ||
        !take(in, &share, 1))
        return false;
    state.share_frames = size_t(share);
    for (size_t k = 0; k < kept_state_pieces(); k++) {
        uint32_t index = 0;
        if (!take(in, &index, 1) || index >= pieces.size()) return false;
        state.pieces.push_back(pieces[index]);
    }
    if (by_order->size() <= order) by_order->resize(order + 1);
    (*by_order)[order] = std::move(state);
    return true;
}

// The whole file, or nothing: the store is changed only when all of it reads.
bool read_kept_file(const Bytes& file, int fps) {
    Reader in{nullptr, 0};
    uint32_t piece_count = 0, state_count = 0;
    if (!read_kept_digest(file, &in) || !read_kept_header(&in, &piece_count, &state_count))
        return false;
    std::vector<std::shared_ptr<const Bytes>> pieces;
    for (uint32_t i = 0; i < piece_count; i++)
        if (!read_kept_piece(&in, &pieces)) return false;
    std::vector<KeptState> by_order;
    for (uint32_t i = 0; i < state_count; i++)
        if (!read_kept_state(&in, pieces, &by_order)) return false;
    if (in.left) return false;
    kept_store.by_order = std::move(by_order);
    kept_store.fps = fps;
    return true;
}

bool write_kept_file(std::FILE* out) {
    Bytes file(KEPT_MAGIC, KEPT_MAGIC + 8);
    std::vector<const Bytes*> pieces;
    std::map<const Bytes*, uint32_t> index;
    uint32_t state_count = 0;
    for (const KeptState& state : kept_store.by_order) {
        if (!state.kept) continue;
        state_count++;
        for (const auto& piece : state.pieces)
            if (index.emplace(piece.get(), uint32_t(pieces.size())).second)
                pieces.push_back(piece.get());
    }
    const uint32_t format = KEPT_FILE_FORMAT;
    put(&file, &format, 1);
    put(&file, &kept_store.key, 1);
    const uint32_t sizes[2] = {uint32_t(pieces.size()), state_count};
    put(&file, sizes, 2);
    for (const Bytes* piece : pieces) {
        const uint64_t size = piece->size();
        put(&file, &size, 1);
        put(&file, piece->data(), piece->size());
    }
    for (uint32_t order = 0; order < kept_store.by_order.size(); order++) {
        const KeptState& state = kept_store.by_order[order];
        if (!state.kept) continue;
        const uint64_t share = state.share_frames;
        put(&file, &order, 1);
        put(&file, &state.place, 1);
        put(&file, &share, 1);
        for (const auto& piece : state.pieces) put(&file, &index[piece.get()], 1);
    }
    Digest digest;
    digest.add(file.data(), file.size());
    put(&file, &digest.value, 1);
    return std::fwrite(file.data(), 1, file.size(), out) == file.size();
}

} // namespace

void take_up_kept_states(int fps) {
    kept_store.key = content_key(fps);
    const std::string directory = kept_file_directory();
    if (!kept_store.key || directory.empty()) return;
    Bytes file;
    std::string error;
    if (read_regular_file(directory + "/" + kept_file_name(kept_store.key), KEPT_FILE_MOST, &file,
                          &error) &&
        !read_kept_file(file, fps))
        kept_store.by_order.clear();
    kept_store.changed = false;
}

void store_kept_states() {
    const std::string directory = kept_file_directory();
    if (!kept_store.key || !kept_store.changed || directory.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) return;
    // One content's states at a time: those of another are left behind.
    const std::string name = kept_file_name(kept_store.key);
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string other = entry.path().filename().string();
        if (other != name && other.rfind("kept-", 0) == 0 && entry.is_regular_file(error))
            std::filesystem::remove(entry.path(), error);
    }
    std::string failure;
    if (!write_file_atomically(directory + "/" + name, write_kept_file, &failure))
        std::fprintf(stderr, "vorn: the kept states are not saved: %s\n", failure.c_str());
    kept_store.changed = false;
}
