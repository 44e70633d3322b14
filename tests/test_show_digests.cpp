// The whole show in lockstep at 60 frames a second from the built-in content,
// digested: for every 30th frame the song's position, a hash of the 320 x 200
// frame and a hash of the music of the 30 frames up to it. The digests are
// compared line by line with tests/show_digests.txt; after a deliberate change
// of the content or of what is drawn, `make digests` writes that file anew
// (this program with VORN_WRITE_DIGESTS naming the file).
#include "data/builtin.h"
#include "data/surface.h"
#include "platform/sound.h"
#include "presentation/outputs/show_digests.h"
#include "presentation/show.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> show_digests() {
    pack_builtin = builtin_pack();
    const Blob module = builtin_module();
    music_song = FMUSIC_LoadSongMemory(module.data, module.size);
    EXPECT_NE(music_song, nullptr);
    CommandLine options;
    options.width = 320;
    options.height = 200;
    options.fps = 60;
    LockstepRun run{};
    EXPECT_EQ(start_lockstep_show(options, &run), 1);
    std::vector<std::string> lines;
    ShowDigests digests{FNV_BASIS};
    std::string line;
    while (digest_next_frame(&run, &digests, &line) && run.frame <= 40000)
        if (!line.empty()) lines.push_back(line);
    stop_lockstep_show();
    pack_builtin = {nullptr, 0};
    return lines;
}

} // namespace

TEST(ShowDigests, EveryThirtiethFrameMatchesTheRecordedDigests) {
    const std::vector<std::string> lines = show_digests();
    ASSERT_GT(lines.size(), 600u);
    if (const char* out = std::getenv("VORN_WRITE_DIGESTS")) {
        std::ofstream file(out);
        file << "# frame order row frame-hash music-hash (FNV-1a/64), every " << DIGEST_EVERY
             << "th frame at 60 fps\n";
        for (const std::string& line : lines) file << line << "\n";
        ASSERT_TRUE(file.good()) << "cannot write " << out;
        std::printf("wrote %zu digests to %s\n", lines.size(), out);
        return;
    }
    std::ifstream file(VORN_SOURCE_DIR "/tests/show_digests.txt");
    ASSERT_TRUE(file.good()) << "tests/show_digests.txt is missing: run make digests";
    std::vector<std::string> recorded;
    for (std::string line; std::getline(file, line);)
        if (!line.empty() && line[0] != '#') recorded.push_back(line);
    size_t reported = 0;
    for (size_t i = 0; i < lines.size() && i < recorded.size() && reported < 5; i++)
        if (lines[i] != recorded[i]) {
            ADD_FAILURE() << "frame " << (i + 1) * DIGEST_EVERY << ":\n  now      " << lines[i]
                          << "\n  recorded " << recorded[i];
            reported++;
        }
    EXPECT_EQ(lines.size(), recorded.size()) << "the show's length changed";
}
