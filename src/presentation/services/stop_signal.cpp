// The stop signal: a handler that only records the signal, read by the
// loops that can end the program cleanly.
#include "presentation/services/stop_signal.h"

#include "data/files.h"
#include "data/pack.h"

volatile std::sig_atomic_t stop_signal = 0;

// The first signal asks for the orderly end; a second one, should that end
// not come, ends the process at once as the signal always did, the
// temporary files being written removed first.
static void record_stop_signal(int signal) {
    if (stop_signal) {
        remove_noted_temporaries();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stop_signal = signal;
}

void catch_stop_signals() {
    struct sigaction action = {};
    action.sa_handler = record_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the terminal closed
    load_stop = &stop_signal;
}

int stop_signal_status() {
    return 128 + int(stop_signal);
}
