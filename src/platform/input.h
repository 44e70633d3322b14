// The platform's input, as the show sees it: the keys it answers and what
// happens to its window, as plain events taken one at a time.
#pragma once

#include <cstdint>

enum ShowKey {
    KEY_OTHER,
    KEY_ESCAPE,
    KEY_F12,
    KEY_ENTER, // either Enter
    KEY_F11,
    KEY_F1,
    KEY_F, // full screen where the platform's own keys take F11
    KEY_SPACE,
    KEY_RIGHT,
    KEY_PAGE_DOWN,
    KEY_LEFT,
    KEY_PAGE_UP
};

enum ShowEventKind {
    EVENT_KEY,      // a key pressed (a held key's repeats are not events)
    EVENT_ACTIVE,   // the window has the focus again, or is restored
    EVENT_INACTIVE, // the window lost the focus, or is minimised
    EVENT_CLOSE,    // the window's close button
    EVENT_QUIT      // the platform is ending the program
};

struct ShowEvent {
    ShowEventKind kind;
    ShowKey key;
    bool alt; // Alt held with the key
};

// Takes the next waiting event, including those that arrived while earlier
// ones were handled; 0 when none is waiting.
int input_poll(ShowEvent* event);
// Waits up to milliseconds for an event; 0 when none came.
int input_wait(ShowEvent* event, int milliseconds);
