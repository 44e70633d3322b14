// The program's own file and the programs it runs, over POSIX (process.h):
// /proc/self/exe, PATH, mkstemps, pipes, posix_spawn, poll and waitpid. The
// desktop platforms (SDL and none) share it.
#include "platform/process.h"

#include "data/files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool read_own_program(size_t most, std::vector<uint8_t>* bytes) {
    std::string error;
    return read_regular_file("/proc/self/exe", most, bytes, &error);
}

std::string find_program(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

bool create_unique_file(std::string* pattern, size_t suffix_length, unsigned mode) {
    const int fd = mkstemps(pattern->data(), int(suffix_length));
    if (fd < 0) return false;
    fchmod(fd, mode_t(mode));
    close(fd);
    return true;
}

// One pipe: the read end above the descriptors the child is given, so that no
// dup2 into 0 or 3 lands on it (with our standard input closed it could be 0).
static bool open_pipe(int pipe_bytes, int* read_end, int* write_end) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    fcntl(fds[1], F_SETPIPE_SZ, pipe_bytes); // a larger buffer where allowed
    const int high = fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    close(fds[0]);
    if (high < 0) {
        close(fds[1]);
        return false;
    }
    *read_end = high;
    *write_end = fds[1];
    return true;
}

static void close_read_ends(ChildProcess* child) {
    for (int& fd : child->read_ends) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

bool child_open_inputs(ChildProcess* child, int inputs, const int* pipe_bytes) {
    *child = ChildProcess{};
    for (int i = 0; i < inputs && i < CHILD_INPUTS; i++) {
        if (!open_pipe(pipe_bytes[i], &child->read_ends[i], &child->write_ends[i])) {
            child_close_inputs(child);
            return false;
        }
        child->inputs = i + 1;
    }
    return true;
}

bool child_start(const std::vector<std::string>& args, ChildProcess* child) {
    static const int child_fds[CHILD_INPUTS] = {0, 3};
    signal(SIGPIPE, SIG_IGN);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (child->inputs == 0) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (int i = 0; i < child->inputs; i++)
        posix_spawn_file_actions_adddup2(&actions, child->read_ends[i], child_fds[i]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close_read_ends(child);
    child->id = pid;
    return pid >= 0;
}

SendResult child_send(ChildQueue* must, ChildQueue* extra, int patience_ms) {
    while (must->sent < must->bytes.size()) {
        pollfd fds[2] = {{must->write_end, POLLOUT, 0}, {-1, POLLOUT, 0}};
        const bool with_extra = extra && extra->sent < extra->bytes.size();
        if (with_extra) fds[1].fd = extra->write_end;
        const int ready = poll(fds, with_extra ? 2 : 1, patience_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return SEND_CLOSED;
        if (ready == 0) return SEND_STALLED;
        for (int i = 0; i < 2; i++) {
            if (!fds[i].revents) continue;
            ChildQueue& q = i == 0 ? *must : *extra;
            const ssize_t n = write(q.write_end, q.bytes.data() + q.sent, q.bytes.size() - q.sent);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return SEND_CLOSED;
            q.sent += size_t(n);
        }
    }
    return SEND_OK;
}

void child_close_inputs(ChildProcess* child) {
    close_read_ends(child);
    for (int& fd : child->write_ends) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

void child_kill(const ChildProcess& child) {
    if (child.id > 0) kill(child.id, SIGKILL);
}

bool child_wait(const ChildProcess& child) {
    if (child.id <= 0) return false;
    int status = 0;
    while (waitpid(child.id, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
