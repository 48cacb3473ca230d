#include "util/message_box.h"

#include <SDL.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<int> showing{0};
std::atomic<void (*)()> grabRelease{nullptr};
// The thread that holds the grab; only it may let go.
std::atomic<std::thread::id> grabThread;

struct Counted {
    Counted() { ++showing; }
    ~Counted() { --showing; }
};

} // namespace

int boxesShowing() {
    return showing.load();
}

void setBoxGrabRelease(void (*release)()) {
    grabThread.store(std::this_thread::get_id());
    grabRelease.store(release);
}

bool showMessageBox(const std::string& caption, const std::string& text, BoxIcon icon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    Uint32 flags = icon == BoxIcon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING;
    // No display: SDL would try an external helper and fail; skip it at once.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    Counted counted;
    void (*release)() = grabRelease.load();
    if (release && std::this_thread::get_id() == grabThread.load())
        release();
    // The simple box's one button answers both Return and Escape.
    return SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) == 0;
}
