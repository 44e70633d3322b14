#include "presentation/services/settings.h"
#include "support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void set_all(int32_t value) {
    dialog_xpos = dialog_ypos = sound_output = sound_driver = value;
    sound_mixer = sound_mulaw = output_rate = value;
}

// xpos, ypos, output, driver, mixer, mulaw, outputrate.
std::vector<int32_t> all_values() {
    return {dialog_xpos, dialog_ypos, sound_output, sound_driver,
            sound_mixer, sound_mulaw, output_rate};
}

auto entries_in(const std::string& directory) {
    return std::distance(fs::directory_iterator(directory), fs::directory_iterator());
}

// Each test runs in a fresh directory that serves as XDG_CONFIG_HOME.
class Settings : public ::testing::Test {
  protected:
    ScopedConfigHome directory;
    std::string file = directory.path + "/vorn/settings";
};

TEST_F(Settings, StoredValuesAreCorrected) {
    // A rate too high for the sound layer is also said, naming the file.
    struct Case {
        const char* text;
        int32_t output, rate;
        bool said;
    };
    for (Case c : {Case{"output=0\noutputrate=3999\n", 2, 44100, false},
                   Case{"output=1\noutputrate=-22050\n", 1, 44100, false},
                   Case{"output=3\noutputrate=4000\n", 3, 4000, false},
                   Case{"output=-4\noutputrate=-2147483648\n", -4, 44100, false},
                   Case{"outputrate=192000\n", 2, 192000, false},
                   Case{"outputrate=192001\n", 2, 44100, true},
                   Case{"outputrate=2147483647\n", 2, 44100, true}}) {
        SCOPED_TRACE(c.text);
        write_text(file, c.text);
        testing::internal::CaptureStderr();
        load_settings();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(sound_output, c.output);
        EXPECT_EQ(output_rate, c.rate);
        EXPECT_EQ(said.find(file) != std::string::npos, c.said) << said;
    }
}

// A FIFO or a device in the file's place must not stall the start, and a huge
// file is not read past a few kilobytes: none of them gives a value.
TEST_F(Settings, OnlyTheStartOfARegularFileIsRead) {
    fs::create_directories(fs::path(file).parent_path());
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    load_settings();
    EXPECT_EQ(output_rate, 44100);
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    load_settings();
    EXPECT_EQ(output_rate, 44100);
    fs::remove(file);

    // Lines past 4 KB are not read, nor is the line cut there.
    std::string text = "mixer=6\n";
    while (text.size() + 10 <= 4090) text += "# padding\n";
    ASSERT_EQ(text.size(), 4088u);
    write_text(file, text + "driver=77\noutputrate=22050\n");
    load_settings();
    EXPECT_EQ(all_values(), (std::vector<int32_t>{dialog_xpos, dialog_ypos, 2, 0, 6, 0, 44100}));
    // A symlink to a regular file is read as that file.
    fs::remove(file);
    write_text(file + ".real", "mixer=7\n");
    fs::create_symlink(file + ".real", file);
    load_settings();
    EXPECT_EQ(sound_mixer, 7);
}

TEST_F(Settings, RoundTripWritesSevenLines) {
    std::tie(dialog_xpos, dialog_ypos, sound_output, sound_driver) =
        std::make_tuple(-12, 345, 3, 2);
    std::tie(sound_mixer, sound_mulaw, output_rate) = std::make_tuple(8, 1, 22050);
    save_settings();
    EXPECT_EQ(read_text(file), "xpos=-12\nypos=345\noutput=3\ndriver=2\nmixer=8\nmulaw=1\n"
                               "outputrate=22050\n");
    // Nothing but the settings file is left in its directory.
    EXPECT_EQ(entries_in(directory.path + "/vorn"), 1);

    set_all(0);
    load_settings();
    EXPECT_EQ(all_values(), (std::vector<int32_t>{-12, 345, 3, 2, 8, 1, 22050}));

    // An output lost to no sound is an eighth line while there is one, and
    // reading starts from none.
    sound_output_lost = 2;
    save_settings();
    EXPECT_EQ(read_text(file).substr(52), "outputrate=22050\nlostoutput=2\n");
    sound_output_lost = 7;
    load_settings();
    EXPECT_EQ(sound_output_lost, 2);
    sound_output_lost = 0;
    save_settings();
    load_settings();
    EXPECT_EQ(sound_output_lost, 0);

    // Saving again replaces the whole file, and takes away what killed saves
    // left an hour ago; a save in progress just now keeps its file, and the
    // user's own files of any name stay.
    const std::string dir = directory.path + "/vorn/";
    const std::string old_names[] = {".settings.tmp-aB3xYz", "settings.backup", "settings.aB3xYz"};
    for (const std::string& name : old_names) {
        write_text(dir + name, "xpos=1\n");
        fs::last_write_time(dir + name, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    write_text(dir + ".settings.tmp-Qw12er", "xpos=2\n");
    sound_mixer = 4;
    save_settings();
    EXPECT_EQ(read_text(file), "xpos=-12\nypos=345\noutput=3\ndriver=2\nmixer=4\nmulaw=1\n"
                               "outputrate=22050\n");
    EXPECT_FALSE(fs::exists(dir + old_names[0]));
    EXPECT_TRUE(fs::exists(dir + old_names[1]));
    EXPECT_TRUE(fs::exists(dir + old_names[2]));
    EXPECT_TRUE(fs::exists(dir + ".settings.tmp-Qw12er"));

    // A symbolic link (kept with the user's other dotfiles) is written through.
    fs::rename(file, dir + "kept");
    fs::create_symlink("kept", file);
    sound_mixer = 9;
    save_settings();
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(read_text(dir + "kept").find("mixer=9\n"), std::string::npos);
}

// A missing file gives the defaults, a garbled one what is readable in it;
// the dialog's place is kept unless the file gives it.
TEST_F(Settings, MissingFileAndGarbageLinesKeepWhatWasReadable) {
    set_all(77);
    load_settings();
    EXPECT_EQ(all_values(), (std::vector<int32_t>{77, 77, 2, 0, 0, 0, 44100}));
    write_text(file, "junk\n"
                     "xpos=zz\n"
                     "  ypos = 33 \r\n"
                     "=5\n"
                     "mixer=abc\n"
                     "driver=5\n"
                     "output=99999999999\n"
                     "mulaw=1x\n"
                     "outputrate=\n"
                     "unknown=3\n"
                     "\x01\xff binary\n"
                     "mixer=6"); // no final newline
    load_settings();
    EXPECT_EQ(all_values(), (std::vector<int32_t>{77, 33, 2, 5, 6, 0, 44100}));
}

// A configuration directory that is a plain file, then a directory in the
// settings file's place: nothing is stored, and no temporary file is left. A
// settings file that cannot be read is never replaced by the defaults.
TEST_F(Settings, UnwritablePlacesStoreNothing) {
    fs::create_directories(directory.path + "/vorn");
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    save_settings();
    EXPECT_TRUE(fs::is_fifo(file));
    fs::remove(file);
    if (geteuid() != 0) { // the owner of everything reads any file
        write_text(file, "mixer=3\n");
        fs::permissions(file, fs::perms::none);
        save_settings();
        fs::permissions(file, fs::perms::owner_read);
        EXPECT_EQ(read_text(file), "mixer=3\n");
        fs::remove(file);
    }

    const std::string blocker = directory.path + "/not-a-directory";
    write_text(blocker, "x");
    fs::create_directories(file);
    for (const std::string& config_home : {blocker, directory.path}) {
        setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
        sound_mixer = 5;
        save_settings();
        load_settings();
        EXPECT_EQ(sound_mixer, 0) << config_home;
    }
    EXPECT_EQ(read_text(blocker), "x");
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(entries_in(directory.path + "/vorn"), 1);
}

// Without XDG_CONFIG_HOME, or with a relative one, the file is under HOME (saving and
// loading both go by this path).
TEST_F(Settings, HomeIsUsedWithoutAnAbsoluteConfigHome) {
    setenv("HOME", directory.path.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settings_file_path(), directory.path + "/.config/vorn/settings");
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(settings_file_path(), directory.path + "/.config/vorn/settings");
}

TEST(DialogPosition, OffDesktopPositionsAreCentred) {
    // The stored place, the desktop's size, the place corrected.
    const int32_t cases[][6] = {
        {100, 50, 1920, 1080, 100, 50},       // on the desktop
        {1920, 1080, 1920, 1080, 1920, 1080}, // on the edge is not beyond it
        {-1, 50, 1920, 1080, 640, 50},        // left of the desktop
        {10, -3, 1920, 1080, 10, 400},        // above it
        {1921, 1081, 1920, 1080, 640, 400},   // right of and below it
        {-5, -5, 1001, 801, 180, 260},        // odd sizes round down
        {600, 300, 500, 200, -70, -40},       // a desktop smaller than the dialog
    };
    for (const auto& c : cases) {
        std::tie(dialog_xpos, dialog_ypos) = std::make_pair(c[0], c[1]);
        correct_dialog_position(c[2], c[3]);
        EXPECT_EQ(std::make_pair(dialog_xpos, dialog_ypos), std::make_pair(c[4], c[5]))
            << c[0] << "," << c[1];
    }
}

} // namespace
