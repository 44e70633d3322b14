// The configuration dialog on screen: a GTK 3 window laid out as dialog
// template 101, mirroring a DialogView and turning the user's actions into
// the dialog's commands.
#pragma once

#include "launcher/config_dialog.h"

// Starts GTK on the environment's display; 0 when there is none to open. From
// then on a stop signal closes any open message box and wakes the loop.
int dialog_gtk_start();

// The desktop's size and whether it reports and honours window positions
// (X11 does, Wayland does not).
void dialog_gtk_desktop(int* width, int* height, int* reports_positions);

// Builds the window (hidden) over dialog, whose desktop size and
// position_known come from dialog_gtk_desktop, and sends it WM_INITDIALOG.
void dialog_gtk_create(DialogView* dialog);

// Moves the window to (x, y) when the desktop honours positions, and shows it.
void dialog_gtk_show(DialogView* dialog, int x, int y);

// Waits for and handles one event of the dialog (or of any other window).
void dialog_gtk_wait_event();

// After the dialog's loop: what is still pending (the dialog's hiding above
// all) handled and taken in by the display server, so that the dialog is off
// the screen before the show's window opens, not left standing over it.
void dialog_gtk_finish();

// A button pressed by the program rather than the user; the window follows.
void dialog_gtk_press(DialogView* dialog, int id);

// A modal message box owned by the dialog's window.
void dialog_gtk_message_box(const char* caption, const char* text, int flags);
