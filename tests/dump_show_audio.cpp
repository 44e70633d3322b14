// dump_show_audio RAW_FILE MARKS_FILE [MODULE]: plays the built-in module (or
// MODULE) through the sound layer in lockstep, as a recording does: 44100 Hz,
// 60 frames a second, master volume 150, stopping at the first frame that
// reads order 42. Writes the sound as raw 16-bit stereo and, for every row
// heard, a line "SAMPLE ORDER ROW": the sample frame at which it starts.
#include "data/builtin.h"
#include "platform/sound.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: dump_show_audio RAW_FILE MARKS_FILE [MODULE]\n");
        return 2;
    }
    const int rate = 44100, fps = 60, master_volume = 150, end_order = 42;
    sound_set_lockstep(1, fps);
    if (!FSOUND_Init(rate, 32, 0)) {
        std::fprintf(stderr, "dump_show_audio: %s\n", sound_error_text(FSOUND_GetError()));
        return 1;
    }
    std::vector<uint8_t> file;
    MusicSong* song = nullptr;
    if (argc == 4) {
        std::ifstream in(argv[3], std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        song = FMUSIC_LoadSongMemory(file.data(), file.size());
    } else {
        const Blob module = builtin_module();
        song = FMUSIC_LoadSongMemory(module.data, module.size);
    }
    if (!song) {
        std::fprintf(stderr, "dump_show_audio: the module does not load\n");
        return 1;
    }
    FILE* raw = std::fopen(argv[1], "wb");
    FILE* marks = std::fopen(argv[2], "w");
    if (!raw || !marks) {
        std::fprintf(stderr, "dump_show_audio: cannot write the output files\n");
        return 1;
    }
    FMUSIC_SetMasterVolume(song, master_volume);
    FMUSIC_PlaySong(song);
    std::vector<int16_t> samples;
    uint64_t written = 0;
    int last_order = -1, last_row = -1;
    for (;;) {
        const size_t frames = sound_lockstep_frame(song, &samples);
        const int order = int(FMUSIC_GetOrder(song)), row = int(FMUSIC_GetRow(song));
        if (frames == 0 || order >= end_order) break;
        if (order != last_order || row != last_row)
            std::fprintf(marks, "%llu %d %d\n", (unsigned long long)written, order, row);
        last_order = order;
        last_row = row;
        std::fwrite(samples.data(), sizeof(int16_t), 2 * frames, raw);
        written += frames;
    }
    FMUSIC_FreeSong(song);
    FSOUND_Close();
    const bool ok = std::fclose(raw) == 0 && std::fclose(marks) == 0;
    return ok ? 0 : 1;
}
