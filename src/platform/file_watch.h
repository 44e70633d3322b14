// Watching the current directory for saved files: a file written in place and
// closed, or renamed over another (as editors save), is reported by name once
// no event has come for it for a moment, so that a reader never meets half a
// file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file is settled this long after its last write or rename.
constexpr uint32_t FILE_SETTLE_MS = 150;

// Starts watching; 0 when the platform cannot watch (then nothing is reported).
int file_watch_start();
// The names settled by now_ms (a steady clock in milliseconds), each once.
void file_watch_poll(uint32_t now_ms, std::vector<std::string>* settled);
void file_watch_stop();
