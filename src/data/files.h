// Whole files in and out, for every reader and writer of the program and its
// tools: reads take regular files only, bounded and without blocking; writes
// go to a temporary file beside the target that is renamed over it once every
// byte and the close have succeeded, so a failed write never costs the old file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The whole of a regular file of at most `most` bytes. False, with the reason
// in *error, for a missing or unreadable file, a directory, FIFO or device
// (never waited on), or a longer file.
bool read_regular_file(const std::string& path, size_t most, std::vector<uint8_t>* out,
                       std::string* error);
// The first n bytes of such a file (all of it when shorter) and its length,
// the rest unread.
bool read_file_head(const std::string& path, size_t n, size_t most, std::vector<uint8_t>* head,
                    uint64_t* length, std::string* error);

// What makes the thing at path no file to read as one, or an empty string
// for a regular file (a symbolic link to one included) or nothing there: "a
// FIFO", "a device", "a directory", "a socket" or "a link to nothing", each
// followed by ", not a file".
std::string file_kind_problem(const std::string& path);

// Writes path through `fill` given a stream on a temporary file beside it
// (named ".NAME.tmp-XXXXXX"), then checks the flush, fsync and close and
// renames it over path. A symbolic link at path is written through to its
// target. An existing file keeps its permissions; a new one gets 0666 less the
// umask. False, with the reason in *error and the temporary removed, when any
// step fails: path is then as it was.
bool write_file_atomically(const std::string& path, const std::function<bool(std::FILE*)>& fill,
                           std::string* error);
bool write_file_atomically(const std::string& path, const void* data, size_t size,
                           std::string* error);

// The permissions a file written at path by way of a temporary file gets: the
// existing file's, or 0666 less the umask for a new one.
unsigned file_mode_for(const std::string& path);

// Temporary files of our own, made new (O_EXCL: never through a link or onto
// another's file) under pattern ("...XXXXXX" then suffix_length bytes of
// suffix, the Xs made unique) with the permission bits mode, and held under an
// exclusive lock on the returned descriptor until it is closed, so that a later
// run can tell one abandoned by a killed writer from one being written. The
// path is noted for remove_noted_temporaries until forget_temporary. -1 when
// none can be made.
int create_held_temporary(std::string* pattern, size_t suffix_length, unsigned mode);
// The temporary at path is no longer ours to remove: renamed, or removed.
void forget_temporary(const std::string& path);
// Removes every noted temporary: for a signal handler, before the process
// ends at once (it only unlinks).
void remove_noted_temporaries();
// Removes the regular files of ours in directory whose names `ours` accepts
// and that no live writer holds (a symbolic link is never followed). Returns
// how many went.
int remove_abandoned_temporaries(const std::string& directory,
                                 const std::function<bool(const std::string&)>& ours);

// Renames from to `to` only when nothing is at `to`; false (errno EEXIST
// when something is) otherwise.
bool rename_without_replacing(const std::string& from, const std::string& to);

// True for the names write_file_atomically gives its temporary files for the
// target named `name` (no directory).
bool is_temporary_name_of(const std::string& file_name, const std::string& name);
