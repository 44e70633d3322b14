// Watching the current directory for saved files: a file written in place and
// closed, or renamed over another (as editors save), is reported by name once
// no event has come for it for a moment, so that a reader never meets half a
// file. The folder going away and coming back, and events lost, are reported
// as changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A file is settled this long after its last write or rename.
constexpr uint32_t FILE_SETTLE_MS = 150;
// The most names waiting to settle (their writers still open).
constexpr size_t FILE_PENDING_MOST = 1024;

// What a poll found besides the settled names, as bits.
enum WatchChange {
    WATCH_FOLDER_GONE = 1, // deleted or moved away: nothing more is seen there
    WATCH_FOLDER_BACK = 2, // a folder at its path again, now the current directory
    WATCH_EVENTS_LOST = 4, // the queue overflowed: any file may have changed
};

// Starts watching; 0 when the platform cannot watch (then nothing is reported).
int file_watch_start();
// The names settled by now_ms (a steady clock in milliseconds), each once;
// returns the WatchChange bits.
int file_watch_poll(uint32_t now_ms, std::vector<std::string>* settled);
// The watched folder's path, as it was when the watch began.
const std::string& file_watch_folder();
void file_watch_stop();
