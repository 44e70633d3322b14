// The kept states in a file of the user's cache folder, for the live shows of
// later runs (kept_states.h): named by a digest of this very content, read
// as outside input (bounded before it is read, every piece judged against
// the running show, taken whole or not at all, with one line when not),
// written back at the show's end when states were added into a new file of
// our own renamed over the name, the files of other content removed.
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
#include "presentation/seeking/show_state.h"
#include "presentation/services/settings.h"
#include "presentation/show_song.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr char KEPT_MAGIC[8] = {'V', 'O', 'R', 'N', 'K', 'E', 'P', 'T'};
constexpr uint32_t KEPT_FILE_FORMAT = 2;
// The largest program file the key is made from.
constexpr size_t PROGRAM_MOST = size_t(1) << 30;

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
    if (!module || !surface_virtual1 || !read_own_program(PROGRAM_MOST, &program)) return 0;
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
    save_keyed_show_state(&start);
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

constexpr size_t KEPT_HEADER_BYTES = 8 + 4 + 8 + 4 + 4;
// A state's record: order, place, share, then a piece index for each piece.
constexpr size_t KEPT_STATE_RECORD_BYTES = 4 + sizeof(SongPlace) + 8;

// The most a file of this show can hold: the states of every order, no piece
// shared, and their records.
uint64_t kept_file_most() {
    const uint64_t pieces = show_state_piece_count;
    const uint64_t state = kept_state_bytes() + pieces * (8 + 4) + KEPT_STATE_RECORD_BYTES;
    return KEPT_HEADER_BYTES + KEPT_ORDERS * state + sizeof(uint64_t);
}

// The magic, the format and the key of this content; the two counts, within
// what the states of every order hold.
std::string read_kept_header(Reader* in, uint32_t* piece_count, uint32_t* state_count) {
    char magic[8];
    uint32_t format = 0;
    uint64_t key = 0;
    if (!take(in, magic, 8) || std::memcmp(magic, KEPT_MAGIC, 8) != 0)
        return "it is no file of kept states";
    if (!take(in, &format, 1) || format != KEPT_FILE_FORMAT) return "it is of another format";
    if (!take(in, &key, 1) || key != kept_store.key) return "it is of other content";
    if (!take(in, piece_count, 1) || !take(in, state_count, 1)) return "it is cut short";
    if (*state_count > KEPT_ORDERS || *piece_count > KEPT_ORDERS * show_state_piece_count)
        return "it counts more states or pieces than the orders of a song hold";
    return "";
}

// One piece: its size, then as many bytes; no larger than MOST, the largest
// piece of this show (kept_piece_bytes_most, which saves every piece to tell).
std::string read_kept_piece(Reader* in, size_t most,
                            std::vector<std::shared_ptr<const Bytes>>* pieces) {
    uint64_t size = 0;
    if (!take(in, &size, 1) || size > in->left) return "a piece runs past its end";
    if (size > most) return "a piece is larger than any of this show's";
    pieces->push_back(std::make_shared<const Bytes>(in->at, in->at + size));
    in->at += size;
    in->left -= size;
    return "";
}

// Why a song place cannot be where the lockstep run at fps found the start of
// order, or an empty string: the lockstep frames' sample count and carry at
// this rate, within two frames of the order's start in the module.
std::string song_place_problem(uint32_t order, const SongPlace& place, uint64_t share, int fps) {
    if (order >= sound_song_orders(music_song))
        return "a state is of an order the song does not have";
    if (place.rate != output_rate || fps <= 0 || place.carry < 0 || place.carry >= fps)
        return "a song place is not of this rate";
    const uint64_t frame = uint64_t(place.rate) / uint64_t(fps) + 1;
    if (share > frame) return "a song's share is more than a frame's";
    const double start = sound_order_seconds(music_song, order);
    const double sample = double(place.sample);
    if (!(start >= 0) || std::fabs(sample - start * place.rate) > 2.0 * double(frame))
        return "a song place is not the start of its order";
    if ((place.sample * uint64_t(fps) + uint64_t(place.carry)) % uint64_t(place.rate) != 0)
        return "a song place is not one a lockstep frame ends at";
    return "";
}

// One state: its order, the song's place and share, the index of each piece.
std::string read_kept_state(Reader* in, const std::vector<std::shared_ptr<const Bytes>>& pieces,
                            int fps, std::vector<KeptState>* by_order) {
    uint32_t order = 0;
    uint64_t share = 0;
    KeptState state;
    state.kept = true;
    if (!take(in, &order, 1) || !take(in, &state.place, 1) || !take(in, &share, 1))
        return "a state is cut short";
    if (order >= KEPT_ORDERS) return "a state is of an order no song has";
    const std::string place = song_place_problem(order, state.place, share, fps);
    if (!place.empty()) return place;
    state.share_frames = size_t(share);
    for (size_t k = 0; k < show_state_piece_count; k++) {
        uint32_t index = 0;
        if (!take(in, &index, 1)) return "a state is cut short";
        if (index >= pieces.size()) return "a state names a piece the file does not hold";
        state.pieces.push_back(pieces[index]);
    }
    if (by_order->size() <= order) by_order->resize(order + 1);
    (*by_order)[order] = std::move(state);
    return "";
}

// Why the file cannot be taken, or an empty string: read whole into a scratch
// list of states, each judged against the show, and only then taken.
std::string read_kept_file(const Bytes& file, int fps) {
    Reader in{nullptr, 0};
#ifdef VORN_FUZZ_BUILD
    // Fuzzed bytes go past the checksum to the checks behind it.
    if (!read_kept_digest(file, &in) && file.size() < sizeof(uint64_t)) return "it is empty";
#else
    if (!read_kept_digest(file, &in)) return "its checksum does not match";
#endif
    uint32_t piece_count = 0, state_count = 0;
    std::string why = read_kept_header(&in, &piece_count, &state_count);
    std::vector<std::shared_ptr<const Bytes>> pieces;
    const size_t most = why.empty() ? kept_piece_bytes_most() : 0;
    for (uint32_t i = 0; i < piece_count && why.empty(); i++)
        why = read_kept_piece(&in, most, &pieces);
    std::vector<KeptState> by_order;
    for (uint32_t i = 0; i < state_count && why.empty(); i++)
        why = read_kept_state(&in, pieces, fps, &by_order);
    if (why.empty() && in.left) why = "bytes follow its last state";
    for (uint32_t order = 0; order < by_order.size() && why.empty(); order++)
        if (by_order[order].kept) why = kept_state_problem(by_order[order]);
    if (!why.empty()) return why;
    kept_store.by_order = std::move(by_order);
    kept_store.fps = fps;
    return "";
}

Bytes kept_file_bytes() {
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
    return file;
}

// "kept-" and 16 hexadecimal digits.
bool is_kept_stem(const std::string& name, size_t at) {
    if (name.compare(at, 5, "kept-") != 0 || name.size() < at + 21) return false;
    return name.find_first_not_of("0123456789abcdef", at + 5) >= at + 21;
}

bool is_kept_file_name(const std::string& name) {
    return name.size() == 25 && is_kept_stem(name, 0) && name.compare(21, 4, ".bin") == 0;
}

// ".kept-<digest>.bin.tmp-XXXXXX": the temporaries of any content's file.
bool is_kept_temporary_name(const std::string& name) {
    return name.size() == 37 && name[0] == '.' && is_kept_stem(name, 1) &&
           name.compare(22, 9, ".bin.tmp-") == 0;
}

// Writes the bytes into a new file of our own (0600, never through a link)
// and renames it over path, which replaces whatever is there rather than
// writing through it. False with the reason in *error.
bool write_kept_file(const std::string& directory, const std::string& name, const Bytes& bytes,
                     std::string* error) {
    std::string temporary = directory + "/." + name + ".tmp-XXXXXX";
    const int fd = create_held_temporary(&temporary, 0, 0600);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        done += size_t(wrote);
    }
    bool ok = done == bytes.size() && fsync(fd) == 0;
    ok = ok && std::rename(temporary.c_str(), (directory + "/" + name).c_str()) == 0;
    if (!ok) *error = errno ? std::strerror(errno) : "write failed";
    if (!ok) unlink(temporary.c_str());
    forget_temporary(temporary);
    close(fd);
    return ok;
}

} // namespace

std::string take_kept_file(const Bytes& file, int fps) {
    return read_kept_file(file, fps);
}

Bytes kept_file_of_store() {
    return kept_file_bytes();
}

void take_up_kept_states(int fps) {
    kept_store.key = content_key(fps);
    kept_store.changed = false;
    const std::string directory = kept_file_directory();
    if (!kept_store.key || directory.empty()) return;
    // Bounded before it is read: a longer file is not looked into.
    const std::string path = directory + "/" + kept_file_name(kept_store.key);
    const uint64_t most = kept_file_most();
    Bytes file;
    uint64_t length = 0;
    std::string error;
    if (!read_file_head(path, 0, SIZE_MAX, &file, &length, &error)) return;
    std::string why;
    if (length > most)
        why = "its " + std::to_string(length) + " bytes are more than the states of " +
              std::to_string(KEPT_ORDERS) + " orders of this show take (" + std::to_string(most) +
              ")";
    else if (!read_regular_file(path, size_t(most), &file, &error))
        why = error;
    else
        why = read_kept_file(file, fps);
    if (why.empty()) return;
    std::fprintf(stderr, "vorn: kept states in %s not used: %s\n", path.c_str(), why.c_str());
    kept_store.by_order.clear();
    kept_store.changed = true; // written anew at the end
}

void store_kept_states() {
    const std::string directory = kept_file_directory();
    if (!kept_store.key || !kept_store.changed || directory.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) return;
    // One content's states at a time: those of another are left behind, and
    // so are temporaries no live store holds.
    const std::string name = kept_file_name(kept_store.key);
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string other = entry.path().filename().string();
        if (other != name && is_kept_file_name(other) && !entry.is_symlink(error) &&
            entry.is_regular_file(error))
            std::filesystem::remove(entry.path(), error);
    }
    remove_abandoned_temporaries(directory, is_kept_temporary_name);
    std::string failure;
    if (!write_kept_file(directory, name, kept_file_bytes(), &failure))
        std::fprintf(stderr, "vorn: the kept states are not saved: %s\n", failure.c_str());
    kept_store.changed = false;
}
