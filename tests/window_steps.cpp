// The show's window driven line by line from stdin, for window tests on
// display servers where no keys can be sent to it: "f11" does what the
// show's F11 does (video_set_full_screen to the other state than the one
// the window is in) and is answered "full 1" or "full 0", "quit" ends. Between lines it presents
// frames without pause, the window system's events handled before each, so the window follows every
// size it is given. The picture is one colour, so a screenshot shows exactly where it lands.
//   window_steps windowed|full
#include "platform/input.h"
#include "platform/video.h"
#include "presentation/display.h"

#include <poll.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

constexpr uint32_t PICTURE_RGB = 0x30C070;

static bool line_waiting() {
    pollfd input = {0, POLLIN, 0};
    return poll(&input, 1, 0) > 0;
}

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "windowed") != 0 && std::strcmp(argv[1], "full") != 0)) {
        std::fprintf(stderr, "usage: window_steps windowed|full\n");
        return 2;
    }
    platform_start();
    display_windowed = std::strcmp(argv[1], "windowed") == 0 ? 1 : 0;
    if (!open_show_display() || init_display(-1, make_mode(640, 480)) != 1) {
        std::fprintf(stderr, "window_steps: no window\n");
        return 1;
    }
    int status = 0;
    for (;;) {
        std::string line;
        if (line_waiting()) {
            if (!std::getline(std::cin, line) || line == "quit") break;
            if (line != "f11" || !video_set_full_screen(display_windowed)) {
                status = 1;
                break;
            }
            std::cout << "full " << (display_windowed ? 0 : 1) << std::endl;
        }
        ShowEvent event;
        while (input_poll(&event)) {
        }
        fill_surface(surface_back, PICTURE_RGB);
        if (!flip_primary()) {
            status = 1;
            break;
        }
    }
    release_display();
    platform_end();
    return status;
}
