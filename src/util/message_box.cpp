#include "util/message_box.h"

#include <SDL.h>
#include <cstdio>

bool showMessageBox(const std::string& caption, const std::string& text, BoxIcon icon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    Uint32 flags = icon == BoxIcon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING;
    // No display: SDL would try an external helper and fail; skip it at once.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    return SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) == 0;
}
