// The configuration dialog driven through its control ids, SDL's dummy drivers for the desktop.
#include "launcher/config_dialog.h"
#include "launcher/entry.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "presentation/display.h"
#include "presentation/live/demo_run.h"
#include "presentation/services/settings.h"
#include "short_module.h"
#include "support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>

namespace {

// Each test starts from a fresh settings folder, the defaults, a closed sound library, no module.
class ConfigDialog : public ::testing::Test {
  protected:
    ScopedConfigHome directory;
    DialogView view = make_dialog_view();

    void SetUp() override {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        FSOUND_Close();
        sound_set_lockstep(0, 0);
        dialog_xpos = dialog_ypos = 0;
        load_settings();
        run_requested = 0;
        demo_nosound = 0;
        music_song = nullptr;
        selected_device = 77;
        selected_mode = make_mode(1, 1);
    }
    void TearDown() override {
        if (music_song) FMUSIC_FreeSong(music_song);
        music_song = nullptr;
        FSOUND_Close();
        release_display();
    }
    std::string settings_text() { return read_text(directory.path + "/vorn/settings"); }
    // The sound library is open exactly when a second FSOUND_Init is refused.
    static bool sound_open() {
        if (FSOUND_Init(44100, 256, 0)) {
            FSOUND_Close();
            return false;
        }
        return FSOUND_GetError() == SOUND_ERR_BUSY;
    }
    void load_module(int orders) {
        const std::vector<uint8_t> module = make_short_module(orders, 16, 6, 125);
        music_song = FMUSIC_LoadSongMemory(module.data(), module.size());
        ASSERT_NE(music_song, nullptr);
    }
};

using Shown = std::tuple<std::string, std::string, int>; // caption, text, flags
Shown shown(const DialogMessage& m) {
    return {m.caption, m.text, m.flags};
}

// The stored values choose the entries; the sound opens on the output shown.
// A mixer outside the list is shown and stored as the entry that plays alike.
TEST_F(ConfigDialog, SettingsChooseTheirEntries) {
    struct Case {
        const char* what;
        int output, mixer, driver, rate, nosound;
        int output_entry, mixer_entry, driver_entry, rate_id, mixer_stored;
    };
    for (Case c :
         {Case{"defaults", 2, 0, 0, 44100, 0, 0, 0, 0, IDC_RATE_44KHZ, 4},
          // "No sound" has one driver only.
          Case{"saved", 3, 8, 1, 11025, 0, 2, 7, -1, IDC_RATE_11KHZ, 8},
          Case{"not one of the four rates", 2, 99, 0, 12345, 0, 0, 0, 0, IDC_RATE_44KHZ, 4},
          // No sound shown and opened for this run (the stored
          // output could not open), the stored output and driver
          // kept, and the line under the lists says so.
          Case{"--nosound", 2, 2, 3, 44100, 1, 2, 2, 0, IDC_RATE_44KHZ, 2}}) {
        SCOPED_TRACE(c.what);
        FSOUND_Close();
        view = make_dialog_view();
        std::tie(sound_output, sound_mixer, sound_driver, output_rate, demo_nosound) =
            std::make_tuple(c.output, c.mixer, c.driver, c.rate, c.nosound);
        setenv("SDL_AUDIODRIVER", c.nosound ? "no-such-driver" : "dummy", 1);
        EXPECT_EQ(config_dialog_proc(&view, WM_INITDIALOG, 0, 0), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        EXPECT_TRUE(view.messages.empty() && sound_open() && view.sound_timer);
        EXPECT_EQ(std::make_tuple(view.output_list.selection, view.mixer_list.selection,
                                  view.driver_list.selection, view.rate_checked, sound_mixer),
                  std::make_tuple(c.output_entry, c.mixer_entry, c.driver_entry, c.rate_id,
                                  c.mixer_stored));
        EXPECT_EQ(view.sound_note, c.nosound ? "No sound for this run only (--nosound)." : "");
    }
    dialog_press(&view, IDCANCEL);
    EXPECT_NE(settings_text().find("output=2\ndriver=3\n"), std::string::npos);
}

TEST_F(ConfigDialog, OutputMixerAndDriverChoices) {
    demo_nosound = 1;
    config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
    sound_driver = 4;
    // The user's choice is stored and used from now on; the driver shown is the
    // driver used; the library is closed until the next test or the show.
    EXPECT_EQ(dialog_choose(&view, IDC_OUTPUT, 2), 0);
    EXPECT_EQ(std::make_tuple(sound_output, demo_nosound, view.driver_list.selection, sound_driver),
              std::make_tuple(3, 0, 0, 0));
    EXPECT_EQ(view.driver_list.entries, std::vector<std::string>{"No sound"});
    EXPECT_FALSE(sound_open());
    dialog_choose(&view, IDC_OUTPUT, 1);
    EXPECT_EQ(sound_output, 1);

    for (int entry : {4, -1}) { // no entry: only mulaw is reset
        sound_mulaw = 9;
        dialog_choose(&view, IDC_MIXER, entry);
        EXPECT_EQ(std::make_pair(sound_mixer, sound_mulaw), std::make_pair(5, 0)) << entry;
    }

    sound_driver = 5;
    dialog_choose(&view, IDC_SOUND_DRIVER, 0);
    EXPECT_EQ(sound_driver, 0);
}

TEST_F(ConfigDialog, ModeListOrderAndLabels) {
    ModeRecord wide16 = make_mode(320, 240);
    wide16.bits_per_pixel = 16;
    ModeRecord refresh = make_mode(640, 480);
    refresh.refresh_rate = 75;
    fill_mode_list(&view, {make_mode(640, 480), make_mode(320, 200), make_mode(800, 600), wide16,
                           make_mode(640, 400), make_mode(320, 240), refresh});
    EXPECT_EQ(view.mode_list.entries,
              (std::vector<std::string>{"320x200x32", "320x240x32", "640x480x32", "640x400x32",
                                        "640x480x32"}));
    EXPECT_EQ(view.mode_list.selection, 4);
    const ModeRecord& last = view.mode_records.at(size_t(view.mode_list.values.at(4)));
    EXPECT_EQ(last.refresh_rate, 75u);
}

// Exit stores all seven values and closes the library; closing the window
// does the same and stops the timer.
TEST_F(ConfigDialog, ExitAndCloseStoreAllSevenValuesAndCloseTheLibrary) {
    load_module(2);
    config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
    dialog_choose(&view, IDC_OUTPUT, 2);
    dialog_choose(&view, IDC_MIXER, 1);
    dialog_press(&view, IDC_RATE_11KHZ);
    sound_mulaw = 1;
    // The window's place is stored, kept on the desktop.
    view.position_known = 1;
    view.window_x = 2000;
    view.window_y = 900;
    view.desktop_width = 1280;
    view.desktop_height = 1024;

    EXPECT_EQ(dialog_press(&view, IDCANCEL), 1);
    EXPECT_EQ(settings_text(), "xpos=320\nypos=900\noutput=3\ndriver=0\nmixer=1\n"
                               "mulaw=1\noutputrate=11025\n");
    EXPECT_EQ(music_song, nullptr);
    EXPECT_FALSE(sound_open());
    EXPECT_TRUE(view.ended && view.quit_posted);

    // A window whose place is not reported stores the place as it was.
    view = make_dialog_view();
    dialog_xpos = 40;
    dialog_ypos = 30;
    config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
    view.window_x = 500;
    EXPECT_EQ(config_dialog_proc(&view, WM_CLOSE, 0, 0), 1);
    EXPECT_EQ(view.sound_timer, 0);
    EXPECT_TRUE(view.quit_posted);
    EXPECT_EQ(settings_text().substr(0, 17), "xpos=40\nypos=30\no");
    EXPECT_FALSE(sound_open());
}

// What the dialog shows is what it stores: an output that cannot open gives
// way to no sound, said in one box and one line; later starts show no box,
// and the output comes back, with a line, once it opens again.
TEST_F(ConfigDialog, AnOutputThatCannotOpenGivesWayToNoSoundShownAndStored) {
    const std::string gave_way = "The sound server did not open: No sound is chosen.";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    sound_driver = 1;
    EXPECT_EQ(config_dialog_proc(&view, WM_INITDIALOG, 0, 0), 1);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(shown(view.messages[0]),
              Shown("FSOUND", "Error initializing output device.", MB_ICONHAND | MB_SYSTEMMODAL));
    EXPECT_FALSE(view.ended);
    EXPECT_TRUE(sound_open()); // with no sound
    EXPECT_EQ(std::make_tuple(view.output_list.selection, sound_output, sound_output_lost,
                              view.driver_list.selection, sound_driver, view.sound_note),
              std::make_tuple(2, 3, 2, 0, 0, gave_way));
    EXPECT_EQ(view.driver_list.entries, std::vector<std::string>{"No sound"});
    EXPECT_EQ(view.mixer_list.entries.size(), 8u);
    EXPECT_TRUE(view.run_enabled);

    // The user tries the failing output again with "Test SND": the same, and
    // another output chosen is stored as chosen, its line gone.
    dialog_choose(&view, IDC_OUTPUT, 0);
    EXPECT_EQ(std::make_tuple(sound_output, sound_output_lost, view.sound_note),
              std::make_tuple(2, 0, std::string()));
    EXPECT_EQ(dialog_press(&view, IDC_TEST_SOUND), 1);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].caption, "FSOUND");
    EXPECT_FALSE(view.ended);
    EXPECT_EQ(std::make_tuple(view.output_list.selection, view.driver_list.entries.size(),
                              view.driver_list.selection, view.mixer_list.entries.size(),
                              view.sound_note),
              std::make_tuple(2, size_t(1), 0, size_t(8), gave_way));
    EXPECT_EQ(dialog_press(&view, IDCANCEL), 1);
    EXPECT_NE(settings_text().find("output=3\n"), std::string::npos);
    EXPECT_NE(settings_text().find("lostoutput=2\n"), std::string::npos);

    // The next start, still without sound: no box, no sound as stored.
    struct Start {
        const char* driver;
        int output_entry, output, lost;
        const char* note;
    };
    for (Start start :
         {Start{"no-such-driver", 2, 3, 2, "The sound server still does not open: No sound."},
          Start{"dummy", 0, 2, 0, "The sound server works again and is chosen."}}) {
        SCOPED_TRACE(start.driver);
        setenv("SDL_AUDIODRIVER", start.driver, 1);
        FSOUND_Close();
        load_settings();
        view = make_dialog_view();
        config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
        EXPECT_TRUE(view.messages.empty() && sound_open());
        EXPECT_EQ(std::make_tuple(view.output_list.selection, sound_output, sound_output_lost,
                                  view.sound_note, view.mixer_list.entries.size()),
                  std::make_tuple(start.output_entry, start.output, start.lost,
                                  std::string(start.note), size_t(8)));
        dialog_press(&view, IDCANCEL);
    }
    EXPECT_NE(settings_text().find("output=2\n"), std::string::npos);
    EXPECT_EQ(settings_text().find("lostoutput"), std::string::npos);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// What a message box saw while it was open.
int song_advanced;
std::vector<uint32_t> picture_shown;

TEST_F(ConfigDialog, SoundTestPlaysTheModuleUnderItsNotice) {
    sound_set_lockstep(1, 50);
    config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
    // Without a module: the failure, then the notice all the same.
    EXPECT_EQ(dialog_press(&view, IDC_TEST_SOUND), 0);
    const int info = MB_ICONINFORMATION | MB_SYSTEMMODAL;
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(shown(view.messages[0]), Shown("TEST SOUND", "Can't play music!", info));
    EXPECT_EQ(shown(view.messages[1]), Shown("TEST SOUND", "Playing module...", info));

    load_module(4);
    view.messages.clear();
    song_advanced = -1;
    view.message_box = [](DialogView*, const char*, const char*, int) {
        std::vector<int16_t> samples;
        song_advanced = sound_lockstep_frame(music_song, &samples) > 0;
    };
    EXPECT_EQ(dialog_press(&view, IDC_TEST_SOUND), 0);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Playing module...");
    EXPECT_EQ(song_advanced, 1); // playing while the notice is open
    std::vector<int16_t> samples;
    EXPECT_EQ(sound_lockstep_frame(music_song, &samples), 0u); // stopped after it
    EXPECT_FALSE(view.ended);
}

TEST_F(ConfigDialog, DisplayTestShowsTheModeAndReturns) {
    config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
    dialog_choose(&view, IDC_DISPLAY_MODE, 0); // 320 x 200
    picture_shown.clear();
    view.message_box = [](DialogView*, const char*, const char*, int) {
        read_surface_pixels(surface_back, &picture_shown);
    };
    EXPECT_EQ(dialog_press(&view, IDC_TEST_DISPLAY), 0);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(shown(view.messages[0]),
              Shown("TEST DDRAW", "Press OK ;)", MB_ICONINFORMATION | MB_SYSTEMMODAL));
    // Eight bars across the mode, shown while the notice is open: white first, black last.
    ASSERT_EQ(picture_shown.size(), size_t(320 * 200));
    EXPECT_EQ(picture_shown[0] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(picture_shown[100 * 320 + 200] & 0xFFFFFF, 0xFF0000u); // sixth bar
    EXPECT_EQ(picture_shown[199 * 320 + 319] & 0xFFFFFF, 0u);
    EXPECT_FALSE(video_is_open()); // back on the desktop
    EXPECT_FALSE(view.ended);
}

// Without a mode nothing runs or tests; with one, Run hands the choices over,
// stores nothing and leaves the sound open for the show.
TEST_F(ConfigDialog, RunNeedsAModeAndHandsOverTheChoices) {
    config_dialog_proc(&view, WM_INITDIALOG, 0, 0);
    fill_mode_list(&view, {make_mode(800, 600)}); // none of the widths the show draws
    EXPECT_FALSE(view.run_enabled || view.test_display_enabled);
    EXPECT_EQ(dialog_press(&view, IDOK) + dialog_press(&view, IDC_TEST_DISPLAY), 0);
    EXPECT_EQ(std::make_tuple(run_requested, selected_device, selected_mode.width, view.ended,
                              view.messages.size(), video_is_open()),
              std::make_tuple(0, 77, 1u, false, size_t(0), 0));

    // Choosing the device again lists its modes; the first is the smallest 320-wide one.
    dialog_choose(&view, IDC_DISPLAY_DEVICE, 0);
    ASSERT_GE(view.mode_list.entries.size(), 2u);
    EXPECT_TRUE(view.run_enabled);
    dialog_choose(&view, IDC_DISPLAY_MODE, 0);
    EXPECT_EQ(dialog_press(&view, IDOK), 1);
    EXPECT_EQ(std::make_tuple(run_requested, selected_device, selected_mode.width,
                              selected_mode.height, selected_mode.bits_per_pixel),
              std::make_tuple(1, -1, 320u, 200u, 32u));
    EXPECT_TRUE(view.ended && view.quit_posted);
    EXPECT_EQ(settings_text(), "");
    EXPECT_TRUE(sound_open());
}

// Placing corrects the stored place (the rules: test_settings) only where the desktop reports it.
TEST_F(ConfigDialog, PlacingCorrectsOnlyAReportedDesktop) {
    for (int reports : {1, 0}) {
        dialog_xpos = 3000;
        dialog_ypos = -5;
        place_config_dialog(1023, 768, reports);
        EXPECT_EQ(std::make_pair(dialog_xpos, dialog_ypos),
                  reports ? std::make_pair(191, 244) : std::make_pair(3000, -5));
    }
}

} // namespace
