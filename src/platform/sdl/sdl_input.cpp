// Input over SDL2: SDL's key and window events turned into the show's own.
#include "platform/input.h"

#include <SDL.h>

static ShowKey show_key(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE:
        return KEY_ESCAPE;
    case SDLK_F12:
        return KEY_F12;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return KEY_ENTER;
    case SDLK_F11:
        return KEY_F11;
    case SDLK_F1:
        return KEY_F1;
    case SDLK_SPACE:
        return KEY_SPACE;
    case SDLK_RIGHT:
        return KEY_RIGHT;
    case SDLK_PAGEDOWN:
        return KEY_PAGE_DOWN;
    case SDLK_LEFT:
        return KEY_LEFT;
    case SDLK_PAGEUP:
        return KEY_PAGE_UP;
    default:
        return KEY_OTHER;
    }
}

// The show's event for an SDL event; 0 for one the show does not answer. A
// held key acts once: a held Right would otherwise seek on and on.
static int translate(const SDL_Event& in, ShowEvent* out) {
    *out = ShowEvent{EVENT_KEY, KEY_OTHER, false};
    if (in.type == SDL_QUIT) {
        out->kind = EVENT_QUIT;
    } else if (in.type == SDL_KEYDOWN && !in.key.repeat) {
        out->key = show_key(in.key.keysym.sym);
        out->alt = (in.key.keysym.mod & KMOD_ALT) != 0;
    } else if (in.type == SDL_WINDOWEVENT) {
        switch (in.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
            out->kind = EVENT_ACTIVE;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
            out->kind = EVENT_INACTIVE;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            out->kind = EVENT_CLOSE;
            break;
        default:
            return 0;
        }
    } else {
        return 0;
    }
    return 1;
}

// Unlike SDL_PollEvent, which stops at the end of the events that were there
// when it started, this also returns events that arrived while earlier ones
// were handled, so the queue is really empty when it returns 0.
int input_poll(ShowEvent* event) {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;
    SDL_Event in;
    for (;;) {
        SDL_PumpEvents();
        if (SDL_PeepEvents(&in, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) return 0;
        if (translate(in, event)) return 1;
    }
}

int input_wait(ShowEvent* event, int milliseconds) {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;
    SDL_Event in;
    return SDL_WaitEventTimeout(&in, milliseconds) && translate(in, event);
}
