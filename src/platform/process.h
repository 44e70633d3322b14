// The program's own file and the programs it runs, as the show sees them: the
// kept states' cache file is named by a digest of the program's bytes, and a
// recording feeds its encoder through pipes without ever blocking on one. The
// desktop platforms share one implementation (process.cpp, POSIX); the web
// page has no file of its own and runs no programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The program's own file, read whole if it holds at most `most` bytes; false
// where it cannot be read (or there is none).
bool read_own_program(size_t most, std::vector<uint8_t>* bytes);

// Where a program is found on PATH; empty when it is not.
std::string find_program(const char* name);

// Makes a new file of its own under pattern ("...XXXXXX" then suffix_length
// bytes of suffix), the Xs replaced by a unique name, with the permission bits
// mode; false when none can be made.
bool create_unique_file(std::string* pattern, size_t suffix_length, unsigned mode);

// A program started with up to two pipes from us: the first its standard
// input, the second its descriptor 3.
constexpr int CHILD_INPUTS = 2;
struct ChildProcess {
    int id = -1;
    int inputs = 0;
    int read_ends[CHILD_INPUTS] = {-1, -1}; // the child's, until it starts
    int write_ends[CHILD_INPUTS] = {-1, -1};
};

// Makes the pipes of a child to come: `inputs` of them (1 or 2), pipe_bytes[i]
// the buffer asked for each (a larger one where allowed), our ends never
// blocking. False when they cannot be made (nothing is left open then).
bool child_open_inputs(ChildProcess* child, int inputs, const int* pipe_bytes);

// Starts the program args[0] on the pipes, its standard input /dev/null when
// it has none, in a process group of its own (Ctrl+C on the terminal reaches
// us, and we end its input). A child gone away is a failed write from then on,
// not a signal. False when it cannot be started.
bool child_start(const std::vector<std::string>& args, ChildProcess* child);

// Bytes still to go down one of a child's pipes (write_end: child.write_ends[i]).
struct ChildQueue {
    int write_end = -1;
    std::vector<uint8_t> bytes;
    size_t sent = 0;
};

enum SendResult { SEND_OK, SEND_CLOSED, SEND_STALLED };

// Writes everything of must and what its pipe takes of extra (may be null) on
// the way, never waiting on one pipe while the child waits on the other.
// SEND_STALLED once neither pipe took a byte for patience_ms.
SendResult child_send(ChildQueue* must, ChildQueue* extra, int patience_ms);

// Closes the pipes (a child not started has both ends): the child reads the
// end of its input.
void child_close_inputs(ChildProcess* child);
// Ends a started child at once.
void child_kill(const ChildProcess& child);
// Waits for a started child's end: true when it exited with status 0.
bool child_wait(const ChildProcess& child);
