// The configuration dialog's behaviour, free of any toolkit: the procedures
// take a message and a control id, act on the sound layer, the display layer
// and the settings, and keep what the dialog shows in a plain view record.
// The GTK view (dialog_gtk) mirrors that record on screen and turns the user's
// actions into the same messages; the tests send them directly.
#pragma once

#include "data/surface.h"

#include <cstdint>
#include <string>
#include <vector>

// Messages.
constexpr int WM_CLOSE = 0x0010;
constexpr int WM_INITDIALOG = 0x0110;
constexpr int WM_COMMAND = 0x0111;

// Notifications (high word of a command's wparam).
constexpr int BN_CLICKED = 0;
constexpr int CBN_SELCHANGE = 1;

// Control ids.
constexpr int IDOK = 1;                  // "Run DEMO"
constexpr int IDCANCEL = 2;              // "Exit"
constexpr int IDC_RATE_44KHZ = 1000;     // radio "44,100 Hz"
constexpr int IDC_RATE_22KHZ = 1001;     // radio "22,050 Hz"
constexpr int IDC_RATE_11KHZ = 1002;     // radio "11,025 Hz"
constexpr int IDC_RATE_8KHZ = 1003;      // radio "8,000 Hz"
constexpr int IDC_TEST_SOUND = 1007;     // "Test SND"
constexpr int IDC_TEST_DISPLAY = 1008;   // "Test GFX"
constexpr int IDC_DISPLAY_DEVICE = 1009; // display device list
constexpr int IDC_SOUND_DRIVER = 1010;   // sound driver list
constexpr int IDC_MIXER = 1011;          // software mixer list
constexpr int IDC_OUTPUT = 1012;         // sound output list
constexpr int IDC_DISPLAY_MODE = 1014;   // display mode list

// Message box flags.
constexpr int MB_ICONHAND = 0x10;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int MB_SYSTEMMODAL = 0x1000;

constexpr uint32_t dialog_command(int id, int notification) {
    return uint32_t(id & 0xFFFF) | (uint32_t(notification & 0xFFFF) << 16);
}

// A drop-down list: entry texts, the value each entry carries, the selected
// entry (-1 for none).
struct DialogList {
    std::vector<std::string> entries;
    std::vector<int> values;
    int selection;
};

// A message box as the dialog showed it.
struct DialogMessage {
    std::string caption;
    std::string text;
    int flags;
};

struct DialogView;

// Shows a modal message box and returns when the user has dismissed it.
using DialogMessageBox = void (*)(DialogView* dialog, const char* caption, const char* text,
                                  int flags);

// Everything the dialog shows, and what the platform tells it.
struct DialogView {
    DialogList output_list; // 1012
    DialogList driver_list; // 1010
    DialogList mixer_list;  // 1011
    DialogList device_list; // 1009; values: display index, -1 the primary display
    DialogList mode_list;   // 1014; mode_records holds each entry's record
    std::vector<ModeRecord> mode_records;
    int rate_checked; // id of the checked rate radio, 0 for none
    // One line under the sound lists: why the output shown is not the one
    // asked for; empty when there is nothing to say.
    std::string sound_note;
    int test_display_enabled;
    int run_enabled;
    int sound_timer; // the dialog's 30 ms timer runs
    int ended;       // EndDialog: the dialog is hidden for good
    int quit_posted; // the message loop is to end
    int quit_code;
    // The window's place, kept by the view; position_known 0 when the desktop
    // does not report window positions. A desktop size of 0 is unknown.
    int window_x, window_y;
    int position_known;
    int desktop_width, desktop_height;
    // Every message box shown, in order; message_box shows them (none: they
    // are only recorded).
    std::vector<DialogMessage> messages;
    DialogMessageBox message_box;
};

// 1 once "Run DEMO" has ended the dialog: the show is to start.
extern int run_requested;

// A view with empty lists and nothing shown.
DialogView make_dialog_view();

// The list of control id (IDC_OUTPUT, IDC_SOUND_DRIVER, IDC_MIXER,
// IDC_DISPLAY_DEVICE, IDC_DISPLAY_MODE); none for another id.
DialogList* dialog_list(DialogView* dialog, int id);

// The dialog procedure: WM_INITDIALOG, WM_COMMAND and WM_CLOSE; 0 for every
// other message.
intptr_t config_dialog_proc(DialogView* dialog, int message, uint32_t wparam, intptr_t lparam);
// The display half: WM_INITDIALOG fills the device and mode lists (1 after a
// complete initialisation); WM_COMMAND acts on "Test GFX" and on a change of
// the display device, which refills the mode list for that device.
intptr_t display_config_proc(DialogView* dialog, int message, uint32_t wparam, intptr_t lparam);

// Adds a display device entry; device -1 is the primary display. Returns 1.
int add_display_device(const char* description, int device, DialogList* list);
// Adds a mode entry labelled "WIDTHxHEIGHTxBITS" carrying a copy of mode.
int add_display_mode(const ModeRecord& mode, DialogView* dialog);
// Empties the mode list and adds the reported 32-bit RGB modes 320 pixels
// wide, then those 640 wide, each group in reported order; selects the last.
void fill_mode_list(DialogView* dialog, const std::vector<ModeRecord>& reported);

// What the user does: chooses an entry of a list (a selection change), or
// presses a button or radio. Both go through config_dialog_proc.
intptr_t dialog_choose(DialogView* dialog, int id, int index);
intptr_t dialog_press(DialogView* dialog, int id);

// Shows a message box owned by the dialog and records it.
void dialog_message(DialogView* dialog, const char* caption, const char* text, int flags);

// The dialog's place as it ends: its window position (when the desktop
// reports it) into dialog_xpos and dialog_ypos, kept on the desktop.
void take_dialog_position(const DialogView* dialog);
