// The program's entry with the configuration dialog: the settings loaded, the
// dialog placed and shown, the module loaded, the dialog's loop run, then the
// show when the dialog asked for it.
#pragma once

#include "launcher/config_dialog.h"

extern DialogView config_dialog; // the configuration dialog's view

// The whole launch: returns the program's exit status: 0 after "Exit" or the
// show, 1 without a display or when the show failed.
int run_launcher();

// The one line said when the environment names no display that opens.
const char* no_display_text();

// The dialog's start position: the stored one, moved back onto a desktop of the
// given size when the desktop reports window positions, and left as stored when
// it does not.
void place_config_dialog(int desktop_width, int desktop_height, int reports_positions);
