// The current directory watched with inotify. Each name's last event is noted
// with its time: a write leaves the file open (not yet whole), a close after
// writing or a rename onto the name leaves it whole. A poll hands out the
// whole ones that have been quiet for FILE_SETTLE_MS. The descriptor never
// blocks.
#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

static int watch_fd = -1;
struct Pending {
    uint32_t last_ms;
    bool whole; // closed after writing, or renamed into place
};

static std::map<std::string, Pending> pending; // names not yet settled

int file_watch_start() {
    if (watch_fd >= 0) return 1;
    watch_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_fd < 0) return 0;
    // A write in place ends with its close; a save by rename arrives whole.
    if (inotify_add_watch(watch_fd, ".", IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY) < 0) {
        file_watch_stop();
        return 0;
    }
    return 1;
}

static void read_events(uint32_t now_ms) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(watch_fd, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const inotify_event* e = reinterpret_cast<const inotify_event*>(buffer + at);
            if (e->len && !(e->mask & IN_ISDIR))
                pending[e->name] = {now_ms, (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0};
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
}

void file_watch_poll(uint32_t now_ms, std::vector<std::string>* settled) {
    settled->clear();
    if (watch_fd < 0) return;
    read_events(now_ms);
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->second.whole && now_ms - it->second.last_ms >= FILE_SETTLE_MS) {
            settled->push_back(it->first);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
}

void file_watch_stop() {
    if (watch_fd >= 0) close(watch_fd);
    watch_fd = -1;
    pending.clear();
}
