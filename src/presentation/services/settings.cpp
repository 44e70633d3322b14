// The settings file read leniently (a bad line keeps the default) and
// written whole through a temporary file renamed into place (data/files).
#include "presentation/services/settings.h"

#include "data/files.h"
#include "platform/sound.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

int32_t dialog_xpos = 0;
int32_t dialog_ypos = 0;
int32_t sound_output = 2;
int32_t sound_driver = 0;
int32_t sound_mixer = 0;
int32_t sound_mulaw = 0;
int32_t output_rate = 44100;
int32_t sound_output_lost = 0;

namespace {

// No settings file of ours comes near this; more is not read.
constexpr size_t SETTINGS_BYTES_MAX = 4096;

struct SettingValue {
    const char* name;
    int32_t* variable;
    bool only_when_set; // not written while it is 0
};

// In the order they are written.
const SettingValue setting_values[] = {
    {"xpos", &dialog_xpos, false},       {"ypos", &dialog_ypos, false},
    {"output", &sound_output, false},    {"driver", &sound_driver, false},
    {"mixer", &sound_mixer, false},      {"mulaw", &sound_mulaw, false},
    {"outputrate", &output_rate, false}, {"lostoutput", &sound_output_lost, true},
};

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// A signed 32-bit decimal number and nothing else.
bool parse_int32(const std::string& text, int32_t* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    *value = int32_t(parsed);
    return true;
}

void apply_line(const std::string& line) {
    size_t equals = line.find('=');
    if (equals == std::string::npos) return;
    std::string name = trim(line.substr(0, equals));
    std::string value = trim(line.substr(equals + 1));
    for (const SettingValue& setting : setting_values) {
        if (name == setting.name) {
            parse_int32(value, setting.variable);
            return;
        }
    }
}

bool absolute_directory(const char* path) {
    return path && path[0] == '/';
}

} // namespace

std::string settings_file_path() {
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    if (absolute_directory(config_home)) return std::string(config_home) + "/vorn/settings";
    const char* home = std::getenv("HOME");
    if (absolute_directory(home)) return std::string(home) + "/.config/vorn/settings";
    return "";
}

// The settings file's text, at most SETTINGS_BYTES_MAX bytes of it (a line cut
// there is dropped). Only a regular file is read, and it is opened without
// waiting, so that a FIFO or a device in its place cannot stall the start.
static std::string read_settings_text(const std::string& path) {
    std::string text;
    const int file = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return text;
    struct stat info;
    if (fstat(file, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[SETTINGS_BYTES_MAX + 1];
        size_t done = 0;
        while (done < sizeof buffer) {
            const ssize_t got = read(file, buffer + done, sizeof buffer - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += size_t(got);
        }
        text.assign(buffer, std::min(done, SETTINGS_BYTES_MAX));
        if (done > SETTINGS_BYTES_MAX) text.erase(text.find_last_of('\n') + 1);
    }
    close(file);
    return text;
}

void load_settings() {
    sound_output = 2;
    sound_driver = 0;
    sound_mixer = 0;
    output_rate = 44100;
    sound_mulaw = 0;
    sound_output_lost = 0;

    const std::string path = settings_file_path();
    const std::string text = read_settings_text(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        apply_line(text.substr(start, end - start));
        start = end + 1;
    }

    if (sound_output == 0) sound_output = 2;
    if (output_rate < 4000) output_rate = 44100;
    if (output_rate > SOUND_RATE_MAX) {
        std::fprintf(stderr,
                     "vorn: %s: output rate %d Hz is more than the sound layer takes (%d); "
                     "using 44100\n",
                     path.c_str(), int(output_rate), SOUND_RATE_MAX);
        output_rate = 44100;
    }
}

// True when path names something we cannot read: a file without read
// permission, a directory, FIFO or device. Such a thing is never replaced.
static bool unreadable_settings(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return errno != ENOENT;
    struct stat info;
    const bool regular = fstat(file, &info) == 0 && S_ISREG(info.st_mode);
    close(file);
    return !regular;
}

void save_settings() {
    std::string path = settings_file_path();
    if (path.empty()) return;
    std::error_code error;
    std::filesystem::path directory = std::filesystem::path(path).parent_path();
    std::filesystem::create_directories(directory, error);
    if (error) return;
    static bool unreadable_said = false;
    if (unreadable_settings(path)) {
        if (!unreadable_said)
            std::fprintf(stderr, "vorn: %s cannot be read; the settings are not saved over it\n",
                         path.c_str());
        unreadable_said = true;
        return;
    }

    // Our own temporary files of saves that were killed before their rename,
    // left a minute ago or more (a save in progress elsewhere is younger).
    const auto stale = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (is_temporary_name_of(entry.path().filename().string(), "settings") &&
            entry.is_regular_file(error) && entry.last_write_time(error) < stale)
            std::filesystem::remove(entry.path(), error);
    }

    std::string failure;
    write_file_atomically(
        path,
        [](std::FILE* file) {
            bool written = true;
            for (const SettingValue& setting : setting_values)
                if (!setting.only_when_set || *setting.variable)
                    written &=
                        std::fprintf(file, "%s=%d\n", setting.name, int(*setting.variable)) > 0;
            return written;
        },
        &failure);
}

void correct_dialog_position(int desktop_width, int desktop_height) {
    if (dialog_xpos > desktop_width || dialog_xpos < 0) dialog_xpos = desktop_width / 2 - 320;
    if (dialog_ypos > desktop_height || dialog_ypos < 0) dialog_ypos = desktop_height / 2 - 140;
}
