// libFuzzer target: modules from untrusted bytes through the sound layer's
// load from memory, played for a few lockstep frames and freed.
#include "data/builtin.h"
#include "platform/sound.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The fuzzer carries no content of its own.
Blob builtin_pack() {
    return {nullptr, 0};
}
Blob builtin_module() {
    return {nullptr, 0};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        sound_set_lockstep(1, 60);
        FSOUND_SetOutput(SOUND_OUTPUT_NONE);
        return FSOUND_Init(44100, 32, 0) != 0;
    }();
    if (!ready) __builtin_trap();
    MusicSong* song = FMUSIC_LoadSongMemory(data, size);
    if (!song) return 0;
    FMUSIC_PlaySong(song);
    std::vector<int16_t> samples;
    for (int frame = 0; frame < 3; frame++) {
        const size_t frames = sound_lockstep_frame(song, &samples);
        if (samples.size() != 2 * frames || frames > 44100 / 60 + 1) __builtin_trap();
        if (FMUSIC_GetRow(song) > 255) __builtin_trap();
    }
    FMUSIC_StopSong(song);
    FMUSIC_FreeSong(song);
    return 0;
}
