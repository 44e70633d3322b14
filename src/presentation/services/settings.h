// The saved settings: the configuration dialog's position and the sound
// settings, kept from one run to the next in $XDG_CONFIG_HOME/vorn/settings
// (default ~/.config/vorn/settings) as one "name=value" line per value.
#pragma once

#include <cstdint>
#include <string>

extern int32_t dialog_xpos;  // "xpos": left edge of the dialog, screen pixels
extern int32_t dialog_ypos;  // "ypos": top edge of the dialog
extern int32_t sound_output; // "output": 1 ALSA, 2 sound server, 3 no sound
extern int32_t sound_driver; // "driver": device index of that output
extern int32_t sound_mixer;  // "mixer": software mixer value
extern int32_t sound_mulaw;  // "mulaw": kept and stored, nothing else uses it
extern int32_t output_rate;  // "outputrate": mixing rate in Hz
// "lostoutput": the output that could not be opened when no sound took its
// place (0 for none), so that a later start can offer it again. Written only
// when set.
extern int32_t sound_output_lost;

// Sets the sound settings to their defaults (output 2, driver 0, mixer 0,
// mulaw 0, 44,100 Hz, no lost output; the dialog position is left alone), then reads the file
// over them: a missing file, an unknown name or a value that is not a 32-bit
// decimal number leaves the variable as it was. Afterwards output 0 becomes 2
// and a rate below 4,000 becomes 44,100.
void load_settings();

// Writes all seven values (and a lost output when there is one) to a temporary file beside the
// settings file (its target when it is a symbolic link) and renames it into place; nothing is
// stored, silently, when that fails. A settings file that cannot be read
// (no permission, not a regular file) is never replaced: one line says so.
void save_settings();

// A dialog position off the desktop (greater than its size or negative) moves
// to desktop width / 2 - 320, height / 2 - 140.
void correct_dialog_position(int desktop_width, int desktop_height);

// The settings file's path; empty when neither XDG_CONFIG_HOME nor HOME gives
// an absolute directory.
std::string settings_file_path();
