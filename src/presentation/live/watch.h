// The maker's live loop: with --watch the live show reloads each item, pack or
// module saved in the current directory and plays on where it is; a file it
// cannot use leaves the last good version and says so in one line, on the
// screen and on stderr.
#pragma once

#include <cstdint>

extern int demo_watch; // --watch

// Starts watching the current directory; 0 when the platform cannot.
int start_watching();
// Reloads what has been saved and settled by now_ms (after a running
// catch-up has arrived).
void reload_saved_files(uint32_t now_ms);
// The last reload's line over the frame, for a few seconds after it.
void draw_reload_notice(uint32_t now_ms);
void stop_watching();
