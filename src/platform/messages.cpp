// Messages the user must see, the same on every platform: the platform's own
// message box where it has one, else one line on stderr (a web page lists
// those lines).
#include "platform/video.h"

#include <cstdio>
#include <cstring>

std::string last_message_caption;
std::string last_message_text;

void show_message(const char* caption, const char* text, int is_error) {
    last_message_caption = caption;
    last_message_text = text;
    if (video_message_box(caption, text, is_error)) return;
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == '\n') length--;
    std::fprintf(stderr, "%s: %.*s\n", caption, int(length), text);
}
