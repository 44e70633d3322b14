// The module's bytes: a file read whole with plain POSIX calls (non-blocking
// open, a regular file of a bounded size, reads retried after a signal), the
// library module made of them, their timing by the library's own count, and
// its mix made 16-bit.
#include "platform/module_data.h"

#include "platform/sound.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

constexpr off_t MODULE_BYTES_MAX = off_t(64) << 20; // larger files are not modules we play

int read_module_file(const char* name, std::vector<uint8_t>* data) {
    const int file = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return errno == ENOENT ? SOUND_ERR_FILE_NOT_FOUND : SOUND_ERR_FILE_BAD;
    struct stat info;
    int result = SOUND_ERR_FILE_BAD;
    if (fstat(file, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        info.st_size <= MODULE_BYTES_MAX) {
        data->resize(size_t(info.st_size));
        size_t done = 0;
        while (done < data->size()) {
            const ssize_t got = ::read(file, data->data() + done, data->size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += size_t(got);
        }
        if (done == data->size()) result = SOUND_ERR_NONE;
    }
    close(file);
    return result;
}

openmpt_module* create_module(const std::vector<uint8_t>& data) {
    const openmpt_module_initial_ctl ctls[] = {
        {"play.at_end", "stop"}, {"dither", "0"}, {"seek.sync_samples", "1"}, {nullptr, nullptr}};
    int error = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, &error, &message, ctls);
    if (message) openmpt_free_string(message);
    return module;
}

double module_position_seconds(const std::vector<uint8_t>& data, uint32_t order, uint32_t row) {
    openmpt_module* module = create_module(data);
    if (!module) return -1;
    const double at = openmpt_module_set_position_order_row(module, int32_t(order), int32_t(row));
    openmpt_module_destroy(module);
    return at >= 0 ? at : -1;
}

std::vector<double> module_order_times(const std::vector<uint8_t>& data) {
    std::vector<double> times;
    openmpt_module* module = create_module(data);
    if (!module) return times;
    const int32_t orders = std::max(openmpt_module_get_num_orders(module), 0);
    const double length = openmpt_module_get_duration_seconds(module);
    for (int32_t order = 0; order < orders; order++)
        times.push_back(openmpt_module_set_position_order_row(module, order, 0));
    times.push_back(length);
    openmpt_module_destroy(module);
    return times;
}

void mix_to_16bit(const float* mix, int16_t* out, size_t count, int volume, int volume_max) {
    const float scale = 32768.0f * float(volume) / float(volume_max);
    for (size_t i = 0; i < count; i++)
        out[i] = int16_t(std::lrint(std::clamp(mix[i] * scale, -32768.0f, 32767.0f)));
}
