// The sound library's fixed tables, kept apart from the player so that the
// dialog and the settings read them without libopenmpt.
#include "platform/sound_tables.h"
#include "platform/sound.h"

const MixerChoice mixer_choices[] = {
    {0, -1, "Library default"},
    {1, 0, "No interpolation"},
    {1, -1, "No interpolation, volume ramping"},
    {2, 0, "Linear interpolation"},
    {0, -1, "Automatic (library default)"},
    {2, -1, "Linear interpolation, volume ramping"},
    {4, -1, "Cubic interpolation, volume ramping"},
    {8, 0, "Windowed sinc interpolation"},
    {8, -1, "Windowed sinc interpolation, volume ramping"},
};
const int MIXER_COUNT = int(sizeof(mixer_choices) / sizeof(mixer_choices[0]));

static const char* const error_texts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "Incorrect mixer selected",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
};
static constexpr int ERROR_COUNT = int(sizeof(error_texts) / sizeof(error_texts[0]));

const char* sound_error_text(int code) {
    if (code < 0 || code >= ERROR_COUNT) return "Unknown error";
    return error_texts[code];
}

const char* sound_mixer_name(int mixer) {
    if (mixer < 0 || mixer >= MIXER_COUNT) return nullptr;
    return mixer_choices[mixer].name;
}
