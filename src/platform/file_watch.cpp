// The current directory watched with inotify. Each name's last event is noted
// with its time: a write leaves the file open (not yet whole), a close after
// writing or a rename onto the name leaves it whole; a name renamed away or
// deleted is forgotten. A poll hands out the whole ones that have been quiet
// for FILE_SETTLE_MS. The folder itself is watched too (moved away, it says
// so; deleted, it is found unlinked): then the path it had is looked at every
// FOLDER_LOOK_MS until a folder is there again, which becomes the current
// directory and is watched in its place. The descriptor never blocks.
#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <map>

// How often a folder that went away is looked for at its path.
constexpr uint32_t FOLDER_LOOK_MS = 250;

static const uint32_t FOLDER_EVENTS = IN_DELETE_SELF | IN_MOVE_SELF;
static const uint32_t FILE_EVENTS =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY | IN_MOVED_FROM | IN_DELETE;

static int watch_fd = -1;
static int watch_id = -1; // the folder's watch; -1 while the folder is away
static std::string folder_path;
static uint32_t folder_looked_ms = 0;

struct Pending {
    uint32_t last_ms;
    bool whole; // closed after writing, or renamed into place
};

static std::map<std::string, Pending> pending; // names not yet settled

static bool add_folder_watch() {
    watch_id = inotify_add_watch(watch_fd, ".", FILE_EVENTS | FOLDER_EVENTS | IN_ONLYDIR);
    return watch_id >= 0;
}

int file_watch_start() {
    if (watch_fd >= 0) return 1;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return 0;
    folder_path = cwd;
    watch_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_fd < 0) return 0;
    if (!add_folder_watch()) {
        file_watch_stop();
        return 0;
    }
    return 1;
}

const std::string& file_watch_folder() {
    return folder_path;
}

// The oldest name with a writer still open goes when the list is full: its
// writer has been quiet longest.
static void make_room() {
    if (pending.size() < FILE_PENDING_MOST) return;
    auto oldest = pending.end();
    for (auto it = pending.begin(); it != pending.end(); ++it)
        if (oldest == pending.end() || int32_t(it->second.last_ms - oldest->second.last_ms) < 0)
            oldest = it;
    pending.erase(oldest);
}

static void note_file_event(const inotify_event* e, uint32_t now_ms) {
    if (!e->len || (e->mask & IN_ISDIR)) return;
    if (e->mask & (IN_MOVED_FROM | IN_DELETE)) {
        pending.erase(e->name);
        return;
    }
    const bool whole = (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0;
    const auto found = pending.find(e->name);
    if (found == pending.end()) make_room();
    pending[e->name] = {now_ms, whole};
}

static void lose_folder(uint32_t now_ms) {
    inotify_rm_watch(watch_fd, watch_id);
    watch_id = -1;
    folder_looked_ms = now_ms;
    pending.clear();
}

// A folder deleted while it is the current directory sends no event (it
// lives on, unlinked, until the process leaves it): it is looked at instead.
static bool folder_deleted(uint32_t now_ms) {
    if (now_ms - folder_looked_ms < FOLDER_LOOK_MS) return false;
    folder_looked_ms = now_ms;
    struct stat st;
    return stat(".", &st) != 0 || st.st_nlink == 0;
}

static int read_events(uint32_t now_ms) {
    int changes = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(watch_fd, buffer, sizeof buffer);
        if (n <= 0) return changes;
        for (ssize_t at = 0; at < n;) {
            const inotify_event* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                changes |= WATCH_EVENTS_LOST;
                continue;
            }
            if (e->wd != watch_id || watch_id < 0) continue;
            if (e->mask & (FOLDER_EVENTS | IN_IGNORED)) {
                lose_folder(now_ms);
                changes |= WATCH_FOLDER_GONE;
                continue;
            }
            note_file_event(e, now_ms);
        }
    }
}

// The folder at the path it had, made the current directory and watched.
static bool folder_back(uint32_t now_ms) {
    if (now_ms - folder_looked_ms < FOLDER_LOOK_MS) return false;
    folder_looked_ms = now_ms;
    struct stat st;
    if (stat(folder_path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return chdir(folder_path.c_str()) == 0 && add_folder_watch();
}

int file_watch_poll(uint32_t now_ms, std::vector<std::string>* settled) {
    settled->clear();
    if (watch_fd < 0) return 0;
    int changes = read_events(now_ms);
    if (watch_id >= 0 && folder_deleted(now_ms)) {
        lose_folder(now_ms);
        changes |= WATCH_FOLDER_GONE;
    }
    if (watch_id < 0 && !(changes & WATCH_FOLDER_GONE) && folder_back(now_ms))
        changes |= WATCH_FOLDER_BACK;
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->second.whole && now_ms - it->second.last_ms >= FILE_SETTLE_MS) {
            settled->push_back(it->first);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    return changes;
}

void file_watch_stop() {
    if (watch_fd >= 0) close(watch_fd);
    watch_fd = -1;
    watch_id = -1;
    pending.clear();
}
