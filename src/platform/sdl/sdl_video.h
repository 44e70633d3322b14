// The SDL window behind the platform's video, for code that must reach SDL
// itself (the platform's own tests).
#pragma once

struct SDL_Window;

// The show's window; none while it is closed.
SDL_Window* sdl_video_window();
