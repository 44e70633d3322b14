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

// sync_samples "1" for a module to play from where it is placed, "0" for one
// that only times positions: a seek then counts rows and ticks without taking
// every sample along, the same time in a small part of the work (a crafted
// module of long rows took over a minute to time its 260 orders with the
// samples, 5 s without).
static openmpt_module* create_module_syncing(const std::vector<uint8_t>& data,
                                             const char* sync_samples) {
    const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"},
                                               {"dither", "0"},
                                               {"seek.sync_samples", sync_samples},
                                               {nullptr, nullptr}};
    int error = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, &error, &message, ctls);
    if (message) openmpt_free_string(message);
    return module;
}

openmpt_module* create_module(const std::vector<uint8_t>& data) {
    return create_module_syncing(data, "1");
}

static openmpt_module* create_timing_module(const std::vector<uint8_t>& data) {
    return create_module_syncing(data, "0");
}

double module_position_seconds(const std::vector<uint8_t>& data, uint32_t order, uint32_t row) {
    openmpt_module* module = create_timing_module(data);
    if (!module) return -1;
    const double at = openmpt_module_set_position_order_row(module, int32_t(order), int32_t(row));
    openmpt_module_destroy(module);
    return at >= 0 ? at : -1;
}

bool time_orders(const std::vector<uint8_t>& data, uint32_t order, OrderTimes* times) {
    if (!times->opened) {
        times->opened = true;
        times->module = create_timing_module(data);
        times->is_module = times->module != nullptr;
        if (!times->module) return false;
        times->orders = uint32_t(std::max(openmpt_module_get_num_orders(times->module), 0));
        times->length = openmpt_module_get_duration_seconds(times->module);
    }
    const size_t last = size_t(std::min<uint64_t>(uint64_t(order) + 1, times->orders));
    while (times->module && times->starts.size() < last)
        times->starts.push_back(
            openmpt_module_set_position_order_row(times->module, int32_t(times->starts.size()), 0));
    if (times->starts.size() == times->orders) release_order_times(times);
    return times->is_module;
}

void release_order_times(OrderTimes* times) {
    if (times->module) openmpt_module_destroy(times->module);
    times->module = nullptr;
}

void mix_to_16bit(const float* mix, int16_t* out, size_t count, int volume, int volume_max) {
    const float scale = 32768.0f * float(volume) / float(volume_max);
    for (size_t i = 0; i < count; i++)
        out[i] = int16_t(std::lrint(std::clamp(mix[i] * scale, -32768.0f, 32767.0f)));
}
