// The platform's sound output device, as the module player sees it: opened
// for an output type, it pulls 16-bit stereo sample frames from the player
// (on its own thread where it has one, under the device lock) and says how
// many of the frames handed over are not heard yet. One implementation per
// platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fills frames interleaved stereo sample frames.
using SoundPull = void (*)(int16_t* out, size_t frames);

// The playback devices of an output type (the SOUND_OUTPUT_ values) into
// names; 0 when the output cannot be loaded.
int sound_device_names(int output, std::vector<std::string>* names);

// Opens a device of output (name none: the output's default) at rate with a
// buffer of about buffer_frames, and starts pulling. Returns 0 when it
// cannot.
int sound_device_open(int output, const char* name, int rate, int buffer_frames, SoundPull pull);
// Closes the device and unloads the output's driver; harmless when none is
// open.
void sound_device_close();
int sound_device_is_open();

// Holds the device's pulls off while the player's state changes.
void sound_device_lock();
void sound_device_unlock();

// Sample frames of those pulled so far that are not heard yet (at most the
// last pull and the device's own buffer); -1 before the first pull.
int64_t sound_device_unheard_frames();
