// The module player's library asked what a module holds, without playing it.
#include "platform/module_facts.h"

#include <libopenmpt/libopenmpt.h>

namespace {

std::string metadata(openmpt_module* module, const char* key) {
    const char* value = openmpt_module_get_metadata(module, key);
    std::string text = value ? value : "";
    openmpt_free_string(value);
    return text;
}

} // namespace

bool read_module_facts(const uint8_t* data, size_t size, ModuleFacts* facts, std::string* error) {
    int code = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent,
                                                                nullptr, openmpt_error_func_ignore,
                                                                nullptr, &code, &message, nullptr);
    if (!module) {
        *error = message && *message ? message : "not a module the player reads";
        openmpt_free_string(message);
        return false;
    }
    openmpt_free_string(message);
    facts->format = metadata(module, "type_long");
    facts->extension = metadata(module, "type");
    const int32_t orders = openmpt_module_get_num_orders(module);
    const int32_t patterns = openmpt_module_get_num_patterns(module);
    facts->rows.assign(size_t(orders > 0 ? orders : 0), 0);
    for (int32_t order = 0; order < orders; order++) {
        const int32_t pattern = openmpt_module_get_order_pattern(module, order);
        if (pattern >= 0 && pattern < patterns)
            facts->rows[size_t(order)] =
                uint32_t(openmpt_module_get_pattern_num_rows(module, pattern));
    }
    facts->seconds = openmpt_module_get_duration_seconds(module);
    openmpt_module_destroy(module);
    return true;
}
