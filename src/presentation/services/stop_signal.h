// Ctrl+C in the terminal and a polite kill: SIGINT, SIGTERM and SIGHUP end the dialog
// and the show the way "Exit" and Escape do, settings stored, instead of
// killing the process on the spot. The handler only records the signal; the
// dialog's loop and the frame loop look at it. A second signal kills at once,
// after removing the temporary files being written.
#pragma once

#include <csignal>

// The signal received, 0 while there is none.
extern volatile std::sig_atomic_t stop_signal;

// Installs the handler for SIGINT, SIGTERM and SIGHUP (SDL is told to leave them be).
void catch_stop_signals();

// The exit status of a run that a signal ended: 128 + the signal, as the
// shell reports a program the signal stopped.
int stop_signal_status();
