// Whole files read with their kind and size checked first, and written through
// a temporary file and a rename: the one place every reader and writer of the
// program and its tools goes through, so each rule is kept once.
#include "data/files.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

static const char TEMPORARY_MARK[] = ".tmp-";

// Opens path for reading when it is a regular file of at most `most` bytes;
// -1 with the reason in *error otherwise.
static int open_regular(const std::string& path, size_t most, uint64_t* length,
                        std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return -1;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (!ok)
        *error = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        *error = "is a directory", ok = false;
    else if (!S_ISREG(st.st_mode))
        *error = "not a regular file", ok = false;
    else if (uint64_t(st.st_size) > most)
        *error = "longer than " + std::to_string(most) + " bytes", ok = false;
    if (!ok) {
        close(fd);
        return -1;
    }
    *length = uint64_t(st.st_size);
    return fd;
}

// Reads up to out->size() bytes from fd; out keeps what it got.
static bool read_into(int fd, std::vector<uint8_t>* out, std::string* error) {
    size_t done = 0;
    bool ok = true;
    while (done < out->size()) {
        const ssize_t got = read(fd, out->data() + done, out->size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) *error = std::strerror(errno), ok = false;
        if (got <= 0) break;
        done += size_t(got);
    }
    out->resize(done); // a file that shrank while read gives what it had
    return ok;
}

bool read_regular_file(const std::string& path, size_t most, std::vector<uint8_t>* out,
                       std::string* error) {
    uint64_t length = 0;
    const int fd = open_regular(path, most, &length, error);
    if (fd < 0) return false;
    out->resize(size_t(length));
    const bool ok = read_into(fd, out, error);
    close(fd);
    return ok;
}

bool read_file_head(const std::string& path, size_t n, size_t most, std::vector<uint8_t>* head,
                    uint64_t* length, std::string* error) {
    const int fd = open_regular(path, most, length, error);
    if (fd < 0) return false;
    head->resize(size_t(std::min<uint64_t>(n, *length)));
    const bool ok = read_into(fd, head, error);
    close(fd);
    return ok;
}

std::string file_kind_problem(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        const bool dangling = errno == ENOENT && lstat(path.c_str(), &st) == 0;
        return dangling ? "a link to nothing, not a file" : "";
    }
    if (S_ISREG(st.st_mode)) return "";
    const char* kind = S_ISFIFO(st.st_mode)                         ? "a FIFO"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISDIR(st.st_mode)                        ? "a directory"
                                                                    : "a socket";
    return std::string(kind) + ", not a file";
}

// The temporaries being written, by absolute path, for a signal handler to
// remove: fixed buffers, so that the handler reads no allocated memory.
constexpr int NOTED_TEMPORARIES = 8;
constexpr size_t NOTED_PATH_MOST = 4096;
static char noted_paths[NOTED_TEMPORARIES][NOTED_PATH_MOST];
static volatile std::sig_atomic_t noted_in_use[NOTED_TEMPORARIES];

static void note_temporary(const std::string& path) {
    std::error_code ec;
    const std::string absolute = fs::absolute(path, ec).string();
    if (ec || absolute.size() >= NOTED_PATH_MOST) return;
    for (int i = 0; i < NOTED_TEMPORARIES; i++)
        if (!noted_in_use[i]) {
            std::memcpy(noted_paths[i], absolute.c_str(), absolute.size() + 1);
            noted_in_use[i] = 1;
            return;
        }
}

void forget_temporary(const std::string& path) {
    std::error_code ec;
    const std::string absolute = fs::absolute(path, ec).string();
    for (int i = 0; i < NOTED_TEMPORARIES; i++)
        if (noted_in_use[i] && absolute == noted_paths[i]) noted_in_use[i] = 0;
}

void remove_noted_temporaries() {
    for (int i = 0; i < NOTED_TEMPORARIES; i++)
        if (noted_in_use[i]) unlink(noted_paths[i]);
}

int create_held_temporary(std::string* pattern, size_t suffix_length, unsigned mode) {
    const int fd = mkostemps(pattern->data(), int(suffix_length), O_CLOEXEC);
    if (fd < 0) return -1;
    fchmod(fd, mode_t(mode));
    flock(fd, LOCK_EX | LOCK_NB);
    note_temporary(*pattern);
    return fd;
}

int remove_abandoned_temporaries(const std::string& directory,
                                 const std::function<bool(const std::string&)>& ours) {
    DIR* dir = opendir(directory.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        if (!ours(entry->d_name)) continue;
        const std::string path = directory + "/" + entry->d_name;
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        // Held by its writer, the lock is refused.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(path.c_str()) == 0)
            removed++;
        close(fd);
    }
    closedir(dir);
    return removed;
}

bool rename_without_replacing(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    // A file system without hard links: the name looked at, then taken.
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool is_temporary_name_of(const std::string& file_name, const std::string& name) {
    const std::string head = "." + name + TEMPORARY_MARK;
    return file_name.size() == head.size() + 6 && file_name.compare(0, head.size(), head) == 0;
}

// The file a write to path lands in: a symbolic link's target, followed as
// far as it leads.
static fs::path write_target(const std::string& path) {
    std::error_code ec;
    fs::path target = path;
    for (int links = 0; links < 40 && fs::is_symlink(target, ec); links++) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

unsigned file_mode_for(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool write_file_atomically(const std::string& path, const std::function<bool(std::FILE*)>& fill,
                           std::string* error) {
    const fs::path target = write_target(path);
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary =
        (directory / ("." + target.filename().string() + TEMPORARY_MARK + "XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    fchmod(fd, mode_t(file_mode_for(target.string())));
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        *error = std::strerror(errno);
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    errno = 0;
    bool ok = fill(file);
    ok = ok && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    int failure = errno;
    if (std::fclose(file) != 0 && ok) ok = false, failure = errno;
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) ok = false, failure = errno;
    if (!ok) {
        *error = failure ? std::strerror(failure) : "write failed";
        unlink(temporary.c_str());
    }
    return ok;
}

bool write_file_atomically(const std::string& path, const void* data, size_t size,
                           std::string* error) {
    return write_file_atomically(
        path, [&](std::FILE* f) { return size == 0 || std::fwrite(data, 1, size, f) == size; },
        error);
}
