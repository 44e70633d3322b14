// The configuration dialog's procedures over its plain view record: the
// sound half acts on the sound library and the settings, the display half on
// the platform's displays; the toolkit only mirrors the record.
#include "launcher/config_dialog.h"

#include "platform/sound.h"
#include "platform/sound_tables.h"
#include "platform/video.h"
#include "presentation/display.h"
#include "presentation/live/demo_run.h"
#include "presentation/services/settings.h"

#include <cstdio>

constexpr int SOUND_BUFFER_MS = 200;
constexpr int TEST_MASTER_VOLUME = 150;
constexpr int BOX_ERROR = MB_ICONHAND | MB_SYSTEMMODAL;
constexpr int BOX_NOTICE = MB_ICONINFORMATION | MB_SYSTEMMODAL;

// The output list's entries and the sound_output each stores.
constexpr int OUTPUT_ENTRY_COUNT = 3;
static const int output_entry_values[OUTPUT_ENTRY_COUNT] = {SOUND_OUTPUT_SOUND_SERVER,
                                                            SOUND_OUTPUT_ALSA, SOUND_OUTPUT_NONE};
static const char* const output_entry_texts[OUTPUT_ENTRY_COUNT] = {
    "Desktop sound server (SDL default)",
    "ALSA directly",
    "No sound (the music keeps time)",
};
// The outputs as the line under the lists names them.
static const char* output_short_name(int output) {
    return output == SOUND_OUTPUT_ALSA ? "ALSA" : "The sound server";
}
// The mixer list's entries, by the sound_mixer each stores; the first is
// what a stored value outside the list plays as.
constexpr int MIXER_ENTRY_COUNT = 8;
static const int mixer_entry_values[MIXER_ENTRY_COUNT] = {4, 1, 2, 3, 5, 6, 7, 8};

// The rate radios, in id order from IDC_RATE_44KHZ.
static const int rate_values[] = {44100, 22050, 11025, 8000};
constexpr int RATE_COUNT = int(sizeof(rate_values) / sizeof(rate_values[0]));

int run_requested = 0;

DialogView make_dialog_view() {
    DialogView view{};
    for (DialogList* list : {&view.output_list, &view.driver_list, &view.mixer_list,
                             &view.device_list, &view.mode_list})
        list->selection = -1;
    return view;
}

//
// Lists
//

static void clear_list(DialogList* list) {
    list->entries.clear();
    list->values.clear();
    list->selection = -1;
}

static void add_entry(DialogList* list, const std::string& text, int value) {
    list->entries.push_back(text);
    list->values.push_back(value);
}

// Selects index, or nothing when it is not an entry.
static void select_entry(DialogList* list, int index) {
    list->selection = index >= 0 && size_t(index) < list->entries.size() ? index : -1;
}

static int index_of_value(const DialogList& list, int value) {
    for (size_t i = 0; i < list.values.size(); i++)
        if (list.values[i] == value) return int(i);
    return -1;
}

static int has_selection(const DialogList& list) {
    return list.selection >= 0 && size_t(list.selection) < list.entries.size();
}

DialogList* dialog_list(DialogView* dialog, int id) {
    switch (id) {
    case IDC_OUTPUT:
        return &dialog->output_list;
    case IDC_SOUND_DRIVER:
        return &dialog->driver_list;
    case IDC_MIXER:
        return &dialog->mixer_list;
    case IDC_DISPLAY_DEVICE:
        return &dialog->device_list;
    case IDC_DISPLAY_MODE:
        return &dialog->mode_list;
    }
    return nullptr;
}

// The chosen display device: -1, the primary display, when none is chosen.
static int chosen_device(const DialogView* dialog) {
    const DialogList& devices = dialog->device_list;
    return has_selection(devices) ? devices.values[size_t(devices.selection)] : -1;
}

// The record of the chosen mode; the mode list must have a selection.
static const ModeRecord& chosen_mode(const DialogView* dialog) {
    const DialogList& modes = dialog->mode_list;
    return dialog->mode_records[size_t(modes.values[size_t(modes.selection)])];
}

// "Test GFX" and "Run DEMO" need a chosen mode.
static void update_mode_buttons(DialogView* dialog) {
    const int usable = has_selection(dialog->mode_list);
    dialog->test_display_enabled = usable;
    dialog->run_enabled = usable;
}

static void fill_driver_list(DialogView* dialog) {
    clear_list(&dialog->driver_list);
    const int count = FSOUND_GetNumDrivers();
    for (int i = 0; i < count; i++) {
        const char* name = FSOUND_GetDriverName(i);
        add_entry(&dialog->driver_list, name ? name : "", i);
    }
}

int add_display_device(const char* description, int device, DialogList* list) {
    add_entry(list, description ? description : "", device);
    return 1;
}

int add_display_mode(const ModeRecord& mode, DialogView* dialog) {
    char label[256];
    std::snprintf(label, sizeof label, "%dx%dx%d", int(mode.width), int(mode.height),
                  int(mode.bits_per_pixel));
    add_entry(&dialog->mode_list, label, int(dialog->mode_records.size()));
    dialog->mode_records.push_back(mode);
    return 1;
}

static bool is_rgb32(const ModeRecord& mode) {
    return mode.bits_per_pixel == 32 && mode.red_mask == 0xFF0000 && mode.green_mask == 0xFF00 &&
           mode.blue_mask == 0xFF;
}

void fill_mode_list(DialogView* dialog, const std::vector<ModeRecord>& reported) {
    clear_list(&dialog->mode_list);
    dialog->mode_records.clear();
    for (uint32_t width : {320u, 640u})
        for (const ModeRecord& mode : reported)
            if (mode.width == width && is_rgb32(mode)) add_display_mode(mode, dialog);
    select_entry(&dialog->mode_list, int(dialog->mode_list.entries.size()) - 1);
    update_mode_buttons(dialog);
}

//
// Messages and the end of the dialog
//

void dialog_message(DialogView* dialog, const char* caption, const char* text, int flags) {
    dialog->messages.push_back(DialogMessage{caption, text, flags});
    if (dialog->message_box) dialog->message_box(dialog, caption, text, flags);
}

static void end_dialog(DialogView* dialog) {
    dialog->ended = 1;
    dialog->quit_posted = 1;
    dialog->quit_code = 0;
}

void take_dialog_position(const DialogView* dialog) {
    if (dialog->position_known) {
        dialog_xpos = dialog->window_x;
        dialog_ypos = dialog->window_y;
    }
    if (dialog->desktop_width > 0 && dialog->desktop_height > 0)
        correct_dialog_position(dialog->desktop_width, dialog->desktop_height);
}

// "Exit" and closing: the settings stored, the module and the libraries
// released, the loop told to end.
static intptr_t end_program(DialogView* dialog) {
    take_dialog_position(dialog);
    save_settings();
    if (music_song) FMUSIC_FreeSong(music_song);
    music_song = nullptr;
    FSOUND_Close();
    release_display();
    end_dialog(dialog);
    return 1;
}

// "Run DEMO": the chosen device and mode handed to the show. Nothing is
// stored and the sound library stays open.
static intptr_t run_show(DialogView* dialog) {
    if (!dialog->run_enabled || !has_selection(dialog->mode_list)) return 0;
    selected_device = chosen_device(dialog);
    selected_mode = chosen_mode(dialog);
    run_requested = 1;
    end_dialog(dialog);
    return 1;
}

//
// Sound half
//

// The output used in this run: the stored one, unless --nosound put this run
// on no sound.
static int run_output() {
    return demo_nosound ? SOUND_OUTPUT_NONE : sound_output;
}

// The sound library set up with the current settings, not yet opened.
static void prepare_sound(DialogView* dialog) {
    FSOUND_SetOutput(run_output());
    FSOUND_SetDriver(sound_driver);
    FSOUND_SetMixer(sound_mixer);
    FSOUND_SetHWND(dialog);
}

// Opened as the show opens it.
static int open_sound(DialogView*) {
    return open_show_sound(run_output());
}

// The output list shows the run's output, the driver list its devices.
static void show_run_output(DialogView* dialog) {
    select_entry(&dialog->output_list, index_of_value(dialog->output_list, run_output()));
    fill_driver_list(dialog);
    select_entry(&dialog->driver_list, demo_nosound ? 0 : sound_driver);
}

static void note_sound(DialogView* dialog, int output, const char* what) {
    dialog->sound_note = std::string(output_short_name(output)) + what;
}

// A sound-library failure: its text in the one box, then no sound chosen in
// the failed output's place, shown and stored alike, so that the user can
// choose another output or go on without one. The failed output is kept as
// lost, for a later start to offer again.
static void sound_failure(DialogView* dialog) {
    dialog_message(dialog, "FSOUND", sound_error_text(FSOUND_GetError()), BOX_ERROR);
    if (sound_output != SOUND_OUTPUT_NONE) {
        note_sound(dialog, sound_output, " did not open: No sound is chosen.");
        sound_output_lost = sound_output;
    }
    sound_output = SOUND_OUTPUT_NONE;
    sound_driver = 0;
    open_sound(dialog);
}

// The sound opened at the start. An output lost to no sound on an earlier
// start is tried first and, when it opens again, chosen again with a line
// that says so; while it still fails, no sound stays without a box.
static void open_start_sound(DialogView* dialog) {
    const int lost = sound_output_lost;
    const bool retry = !demo_nosound && sound_output == SOUND_OUTPUT_NONE &&
                       (lost == SOUND_OUTPUT_ALSA || lost == SOUND_OUTPUT_SOUND_SERVER);
    if (retry && open_show_sound(lost)) {
        sound_output = lost;
        sound_output_lost = 0;
        note_sound(dialog, lost, " works again and is chosen.");
        return;
    }
    if (retry) note_sound(dialog, lost, " still does not open: No sound.");
    if (demo_nosound) dialog->sound_note = "No sound for this run only (--nosound).";
    if (!open_sound(dialog)) sound_failure(dialog);
}

// "Test SND": the module plays while the notice is open.
static intptr_t test_sound(DialogView* dialog) {
    if (!open_sound(dialog)) {
        sound_failure(dialog);
        show_run_output(dialog);
        return 1;
    }
    FMUSIC_SetMasterVolume(music_song, TEST_MASTER_VOLUME);
    if (!FMUSIC_PlaySong(music_song))
        dialog_message(dialog, "TEST SOUND", "Can't play music!", BOX_NOTICE);
    dialog_message(dialog, "TEST SOUND", "Playing module...", BOX_NOTICE);
    FMUSIC_StopSong(music_song);
    return 0;
}

// A new output, the user's choice for this run and the next: the library
// closed and set up for it, the driver list refilled with its first entry
// chosen.
static void choose_output(DialogView* dialog) {
    const int index = dialog->output_list.selection;
    if (index >= 0 && index < OUTPUT_ENTRY_COUNT) {
        sound_output = output_entry_values[index];
        sound_output_lost = 0;
        demo_nosound = 0;
        dialog->sound_note.clear();
    }
    sound_driver = 0;
    FSOUND_Close();
    prepare_sound(dialog);
    fill_driver_list(dialog);
    select_entry(&dialog->driver_list, 0);
}

static void choose_mixer(DialogView* dialog) {
    sound_mulaw = 0;
    const int index = dialog->mixer_list.selection;
    if (index < 0 || index >= MIXER_ENTRY_COUNT) return;
    sound_mixer = mixer_entry_values[index];
    FSOUND_SetMixer(sound_mixer);
}

// A stored mixer outside the list is shown and stored as the entry that plays
// as it does (the library default is "Automatic"), or as the first entry.
static bool same_mixing(int a, int b) {
    return mixer_choices[a].filter_length == mixer_choices[b].filter_length &&
           mixer_choices[a].ramping == mixer_choices[b].ramping;
}

static void show_mixer(DialogView* dialog) {
    DialogList* list = &dialog->mixer_list;
    int index = index_of_value(*list, sound_mixer);
    const bool known = sound_mixer >= 0 && sound_mixer < MIXER_COUNT;
    for (int i = 0; i < MIXER_ENTRY_COUNT && index < 0 && known; i++)
        if (same_mixing(mixer_entry_values[i], sound_mixer)) index = i;
    if (index < 0) index = 0;
    select_entry(list, index);
    sound_mixer = list->values[size_t(index)];
}

static intptr_t init_dialog(DialogView* dialog, uint32_t wparam, intptr_t lparam) {
    FSOUND_SetBufferSize(SOUND_BUFFER_MS);
    dialog->sound_note.clear();
    open_start_sound(dialog);
    dialog->sound_timer = 1;

    clear_list(&dialog->output_list);
    for (int i = 0; i < OUTPUT_ENTRY_COUNT; i++)
        add_entry(&dialog->output_list, output_entry_texts[i], output_entry_values[i]);

    clear_list(&dialog->mixer_list);
    for (int value : mixer_entry_values) {
        const char* name = sound_mixer_name(value);
        add_entry(&dialog->mixer_list, name ? name : "", value);
    }
    show_mixer(dialog);

    show_run_output(dialog);

    dialog->rate_checked = IDC_RATE_44KHZ;
    for (int i = 0; i < RATE_COUNT; i++)
        if (output_rate == rate_values[i]) dialog->rate_checked = IDC_RATE_44KHZ + i;

    return display_config_proc(dialog, WM_INITDIALOG, wparam, lparam);
}

//
// Display half
//

static void refill_modes(DialogView* dialog) {
    fill_mode_list(dialog, list_display_modes(chosen_device(dialog)));
}

// "Test GFX": the chosen mode full screen under the notice, then the desktop.
static void test_display(DialogView* dialog) {
    if (!dialog->test_display_enabled || !has_selection(dialog->mode_list)) return;
    const int opened = open_test_display(chosen_device(dialog), chosen_mode(dialog));
    if (opened <= 0) {
        release_display();
        if (opened == 0) dialog_message(dialog, "DDRAW", "Couldn't set the mode.\n", BOX_ERROR);
        return;
    }
    dialog_message(dialog, "TEST DDRAW", "Press OK ;)", BOX_NOTICE);
    close_test_display();
}

intptr_t display_config_proc(DialogView* dialog, int message, uint32_t wparam, intptr_t) {
    if (message == WM_INITDIALOG) {
        clear_list(&dialog->device_list);
        const std::vector<std::string> names = list_display_devices();
        for (size_t i = 0; i < names.size(); i++)
            add_display_device(names[i].c_str(), i == 0 ? -1 : int(i), &dialog->device_list);
        select_entry(&dialog->device_list, 0);
        refill_modes(dialog);
        return 1;
    }
    if (message != WM_COMMAND) return 0;
    const int id = int(wparam & 0xFFFF);
    const int notification = int(wparam >> 16);
    if (id == IDC_TEST_DISPLAY) test_display(dialog);
    if (id == IDC_DISPLAY_DEVICE && notification == CBN_SELCHANGE) refill_modes(dialog);
    return 0;
}

intptr_t config_dialog_proc(DialogView* dialog, int message, uint32_t wparam, intptr_t lparam) {
    if (message == WM_INITDIALOG) return init_dialog(dialog, wparam, lparam);
    if (message == WM_CLOSE) {
        dialog->sound_timer = 0;
        return end_program(dialog);
    }
    if (message != WM_COMMAND) return 0;

    display_config_proc(dialog, message, wparam, lparam);
    const int id = int(wparam & 0xFFFF);
    const int notification = int(wparam >> 16);
    switch (id) {
    case IDC_RATE_44KHZ:
    case IDC_RATE_22KHZ:
    case IDC_RATE_11KHZ:
    case IDC_RATE_8KHZ:
        output_rate = rate_values[id - IDC_RATE_44KHZ];
        return 0;
    case IDC_SOUND_DRIVER:
        if (notification == CBN_SELCHANGE && has_selection(dialog->driver_list))
            sound_driver = dialog->driver_list.selection;
        return 0;
    case IDC_MIXER:
        if (notification == CBN_SELCHANGE) choose_mixer(dialog);
        return 0;
    case IDC_OUTPUT:
        if (notification == CBN_SELCHANGE) choose_output(dialog);
        return 0;
    case IDC_TEST_SOUND:
        return test_sound(dialog);
    case IDOK:
        return run_show(dialog);
    case IDCANCEL:
        return end_program(dialog);
    }
    return 0;
}

//
// The user's actions
//

intptr_t dialog_choose(DialogView* dialog, int id, int index) {
    DialogList* list = dialog_list(dialog, id);
    if (!list) return 0;
    select_entry(list, index);
    return config_dialog_proc(dialog, WM_COMMAND, dialog_command(id, CBN_SELCHANGE), 0);
}

intptr_t dialog_press(DialogView* dialog, int id) {
    if (id >= IDC_RATE_44KHZ && id < IDC_RATE_44KHZ + RATE_COUNT) dialog->rate_checked = id;
    return config_dialog_proc(dialog, WM_COMMAND, dialog_command(id, BN_CLICKED), 0);
}
