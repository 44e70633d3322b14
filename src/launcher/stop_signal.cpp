#include "launcher/stop_signal.h"

volatile std::sig_atomic_t stop_signal = 0;

static void record_stop_signal(int signal) {
    stop_signal = signal;
}

void catch_stop_signals() {
    struct sigaction action = {};
    action.sa_handler = record_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int stop_signal_status() {
    return 128 + int(stop_signal);
}
