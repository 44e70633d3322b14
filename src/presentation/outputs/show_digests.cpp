// The digest lines, made frame by frame so that a page can make them between
// its animation frames as a test program makes them in one loop.
#include "presentation/outputs/show_digests.h"

#include "data/surface.h"
#include "platform/sound.h"
#include "presentation/show.h"

#include <cinttypes>
#include <cstdio>

uint64_t fnv1a(uint64_t hash, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; i++) hash = (hash ^ p[i]) * 0x100000001B3ull;
    return hash;
}

int digest_next_frame(LockstepRun* run, ShowDigests* digests, std::string* line) {
    line->clear();
    if (!render_lockstep_frame(run)) return 0;
    digests->music = fnv1a(digests->music, demo_lockstep_samples.data(),
                           demo_lockstep_samples.size() * sizeof(int16_t));
    if (run->frame % DIGEST_EVERY) return 1;
    const std::vector<uint32_t>& pixels = surface_virtual1->pixels;
    char text[96];
    std::snprintf(text, sizeof text, "%6u %2u %2u %016" PRIx64 " %016" PRIx64, run->frame,
                  FMUSIC_GetOrder(music_song), FMUSIC_GetRow(music_song),
                  fnv1a(FNV_BASIS, pixels.data(), pixels.size() * 4), digests->music);
    *line = text;
    digests->music = FNV_BASIS;
    return 1;
}
