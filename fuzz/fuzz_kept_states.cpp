// libFuzzer target: the kept states' cache file as outside input, in process,
// against the built-in show. A lockstep run of the show's first orders keeps
// their states and writes the real file; each input is either a set of edits
// to that file or a whole file of its own. A file the reader takes is then
// used as a seek uses it: every kept order restored and a frame drawn from
// it. Undefined behaviour and every crash are findings.
//
// Input: a first byte 0 for edits (then records of a 32-bit offset into the
// real file, a length and that many bytes, written over it), 1 for edits and
// a cut (the file cut at the last 32-bit offset given), anything else for a
// whole file (the rest of the input).
#include "data/builtin.h"
#include "data/pack.h"
#include "director/timeline.h"
#include "platform/sound.h"
#include "presentation/outputs/lockstep.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/seeking/kept_store.h"
#include "presentation/show_song.h"
#include "scratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

Blob builtin_pack() {
    static const std::vector<uint8_t> bytes = content_bytes("demo.qxd");
    return Blob{bytes.data(), bytes.size()};
}

Blob builtin_module() {
    static const std::vector<uint8_t> bytes = content_bytes("system2.xm");
    return Blob{bytes.data(), bytes.size()};
}

// The orders the real file holds the states of.
constexpr uint32_t REAL_ORDERS = 3;
static LockstepRun run;
static Bytes real_file;

// The show at 320 x 200 in lockstep, run through its first orders (each
// state kept as it is reached), the file written, the show back at its start.
static void make_real_file() {
    CommandLine options;
    options.frames_dir = "unused";
    options.width = 320;
    options.height = 200;
    pack_builtin = builtin_pack();
    music_song = FMUSIC_LoadSong("system2.xm");
    if (!music_song || !start_lockstep_show(options, &run)) std::abort();
    while (FMUSIC_GetOrder(music_song) < REAL_ORDERS && render_lockstep_frame(&run)) {
    }
    real_file = kept_file_of_store();
    if (!restore_kept_state(0)) std::abort();
    // The real file for making seeds from, when asked for.
    if (const char* path = std::getenv("FUZZ_KEPT_STATES_FILE")) {
        std::FILE* out = std::fopen(path, "wb");
        if (!out || std::fwrite(real_file.data(), 1, real_file.size(), out) != real_file.size())
            std::abort();
        std::fclose(out);
    }
}

static Bytes input_file(const uint8_t* data, size_t size) {
    if (size == 0) return real_file;
    if (data[0] > 1) return Bytes(data + 1, data + size);
    Bytes file = real_file;
    uint32_t at = 0;
    for (size_t i = 1; i + 5 <= size;) {
        std::memcpy(&at, data + i, 4);
        const size_t n = data[i + 4];
        i += 5;
        for (size_t k = 0; k < n && i < size; k++, i++)
            file[(size_t(at) + k) % file.size()] = data[i];
    }
    if (data[0] == 1) file.resize(std::min<size_t>(at, file.size()));
    return file;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (make_real_file(), true);
    static const std::vector<KeptState> real_states = kept_store.by_order;
    if (!ready) __builtin_trap();
    const Bytes file = input_file(data, size);
    const uint64_t key = kept_store.key;
    // The key in the file's own header, so that a file of this show is read.
    if (file.size() >= 20) std::memcpy(&kept_store.key, file.data() + 12, 8);
    const std::string why = take_kept_file(file, int(run.fps));
    if (why.empty()) {
        // Taken: each kept order restored, and a frame drawn from it; then
        // the show back at its start.
        for (uint32_t order = 0; order < kept_store.by_order.size(); order++)
            if (kept_store.by_order[order].kept && restore_kept_state(order))
                render_lockstep_frame(&run);
        kept_store.by_order = real_states;
        if (!restore_kept_state(0)) __builtin_trap();
    }
    kept_store.key = key;
    return 0;
}
