// Reloading saved files while the show plays. Each name the platform reports
// settled is an item (its slot, texture or scene reloaded by the start-up's
// loaders), the pack (every item again: any of them may have changed) or the
// module (the new song started at the old one's order and row). Nothing is
// replaced by a version the show cannot use; the folder going away and
// coming back is said, and what it holds loaded again when it is back.
#include "presentation/live/watch.h"

#include "data/assets.h"
#include "data/files.h"
#include "data/items.h"
#include "data/pack.h"
#include "platform/file_watch.h"
#include "platform/sound.h"
#include "presentation/live/fps_text.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/seeking/keep_ahead.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/show.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// A notice stays this long on the screen.
constexpr uint32_t NOTICE_MS = 4000;
// The largest module file read.
constexpr size_t MODULE_MOST_BYTES = size_t(64) << 20;

static std::string notice;
static uint32_t notice_until_ms = 0;
// Every item as the show last took it: what a broken save is replaced by.
static std::map<std::string, Buffer> last_good;

static void remember(const char* name) {
    std::optional<Buffer> bytes = pack_read_entry(name);
    if (bytes) last_good[name] = std::move(*bytes);
}

static void say(uint32_t now_ms, const std::string& line) {
    std::fprintf(stderr, "vorn: %s\n", line.c_str());
    notice = line;
    notice_until_ms = now_ms + NOTICE_MS;
}

// The kept states hold the content they were computed with: after a reload
// the show computes them anew as it goes (a seek from the start keeps them
// again), and the run aside, which began with the old content, ends.
static void forget_show_states() {
    stop_keeping_ahead();
    forget_kept_states();
}

int start_watching() {
    for (const ShowItem& item : show_items)
        if (item.kind != ITEM_MODULE) remember(item.name);
    return file_watch_start();
}

void stop_watching() {
    file_watch_stop();
    for (const auto& held : last_good) pack_let_go_item(held.first.c_str());
    last_good.clear();
    notice.clear();
}

static std::string orders_text(uint32_t n) {
    return std::to_string(n) + (n == 1 ? " order" : " orders");
}

// Why a song of `orders` orders cannot take over at `order`, or an empty
// string: it must hold that order and, under --loop, every order of the loop
// that the playing song holds (a loop may run past a song's end).
static std::string too_short(uint32_t orders, uint32_t order) {
    const uint32_t loop_needs =
        show_options.loop.on ? std::min(show_options.loop.last + 1, sound_song_orders(music_song))
                             : 0;
    if (orders < loop_needs)
        return "has " + orders_text(orders) + ", the loop needs " + std::to_string(loop_needs);
    if (orders <= order)
        return "has " + orders_text(orders) + ", the show stands at order " + std::to_string(order);
    return "";
}

// The module from the file, started where the old one stands.
static void reload_music(uint32_t now_ms, const char* name) {
    const uint32_t order = FMUSIC_GetOrder(music_song);
    const uint32_t row = FMUSIC_GetRow(music_song);
    std::vector<uint8_t> data;
    std::string why;
    MusicSong* song = nullptr;
    if (read_regular_file(name, MODULE_MOST_BYTES, &data, &why)) {
        song = FMUSIC_LoadSongMemory(data.data(), data.size());
        if (!song) why = "not a module the player reads";
    }
    if (song) why = too_short(sound_song_orders(song), order);
    if (!why.empty()) {
        if (song) FMUSIC_FreeSong(song);
        say(now_ms, std::string(name) + ": " + why + "; the last good one plays on");
        return;
    }
    FMUSIC_StopSong(music_song);
    FMUSIC_FreeSong(music_song);
    music_song = song;
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    sound_play_at_row(music_song, order, row);
    forget_show_states();
    say(now_ms, std::string(name) + " reloaded at order " + std::to_string(order) + " row " +
                    std::to_string(row));
}

static std::string kept_line(const char* name, const std::string& why) {
    return std::string(name) + ": " + why + "; the last good one stays";
}

// The item as the files now give it, or, when the show cannot use that, the
// last good version held in its place (a seek, which loads the assets afresh,
// finds that one too). Empty when reloaded, the reason otherwise.
static std::string reload_or_hold(const char* name) {
    // A FIFO, a device or a link to one is a broken save, never a way back
    // to the pack's or the built-in item.
    std::string why = file_kind_problem(name);
    pack_let_go_item(name);
    if (why.empty() && reload_asset(name, &why)) {
        remember(name);
        forget_show_states();
    } else if (!why.empty() && last_good.count(name)) {
        pack_hold_item(name, last_good[name]);
    }
    return why;
}

static void reload_item(uint32_t now_ms, const char* name) {
    const std::string why = reload_or_hold(name);
    say(now_ms, why.empty() ? std::string(name) + " reloaded" : kept_line(name, why));
}

// Every item as the show last took it held in place of what the files give.
static void hold_every_item() {
    for (const auto& held : last_good) pack_hold_item(held.first.c_str(), held.second);
}

// Any item may have changed: each is loaded again, and the ones the show
// cannot use are said after the count.
static void reload_every_item(uint32_t now_ms, const std::string& head) {
    std::vector<std::string> refused;
    int reloaded = 0;
    for (const ShowItem& item : show_items) {
        if (item.kind == ITEM_MODULE) continue;
        const std::string why = reload_or_hold(item.name);
        if (why.empty())
            reloaded++;
        else
            refused.push_back(kept_line(item.name, why));
    }
    say(now_ms, head + ": " + std::to_string(reloaded) + " items");
    for (const std::string& line : refused) say(now_ms, line);
}

// A pack that is no file keeps every item as it was.
static void reload_pack(uint32_t now_ms) {
    const std::string why = file_kind_problem(PACK_FILE_NAME);
    if (why.empty()) return reload_every_item(now_ms, std::string(PACK_FILE_NAME) + " reloaded");
    hold_every_item();
    say(now_ms, std::string(PACK_FILE_NAME) + ": " + why + "; the last good items stay");
}

// The folder gone, back, or its saves lost to the watch: one line each.
static void folder_changed(uint32_t now_ms, int changes) {
    const std::string& folder = file_watch_folder();
    if (changes & WATCH_FOLDER_GONE) {
        hold_every_item();
        say(now_ms, "the watched folder " + folder +
                        " is gone; the show plays on as it is and watches again when a folder "
                        "is there");
    }
    if (changes & WATCH_FOLDER_BACK)
        reload_every_item(now_ms, "watching " + folder + " again, loaded from it");
    if (changes & WATCH_EVENTS_LOST)
        reload_every_item(now_ms, "saves came faster than the watch could note them; loaded again");
}

void reload_saved_files(uint32_t now_ms) {
    // A catch-up computes with the content it began with; saves wait for it.
    if (catch_up_active()) return;
    std::vector<std::string> names;
    const int changes = file_watch_poll(now_ms, &names);
    if (changes) folder_changed(now_ms, changes);
    for (const std::string& name : names) {
        const ShowItem* item = find_item(name.c_str());
        if (item && item->kind == ITEM_MODULE) {
            reload_music(now_ms, item->name);
        } else if (item) {
            reload_item(now_ms, item->name);
        } else if (pack_names_equal(name.c_str(), PACK_FILE_NAME)) {
            reload_pack(now_ms);
        }
    }
}

void draw_reload_notice(uint32_t now_ms) {
    if (!notice.empty() && int32_t(notice_until_ms - now_ms) > 0) draw_notice(notice.c_str());
}
