#include "app/stuck_script_guard.h"

#include "script/script_limits.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A connection of the guard's own (Xlib connections are not shared between
// threads here), opened only when a script is stuck.
class EscapeKey {
public:
    ~EscapeKey() {
        if (display)
            XCloseDisplay(display);
    }
    // False without an X server; the key is then never seen held.
    bool open() {
        if (!display)
            display = XOpenDisplay(nullptr);
        if (display && !code)
            code = XKeysymToKeycode(display, XK_Escape);
        return display && code;
    }
    bool held() {
        char keys[32];
        XQueryKeymap(display, keys);
        return (static_cast<unsigned char>(keys[code / 8]) >> (code % 8)) & 1u;
    }

private:
    Display* display = nullptr;
    KeyCode code = 0;
};

} // namespace

StuckScriptGuard::StuckScriptGuard() : thread(&StuckScriptGuard::watch, this) {}

StuckScriptGuard::~StuckScriptGuard() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void StuckScriptGuard::watch() {
    EscapeKey escape;
    std::string reported; // the name of the stuck event already reported
    std::unique_lock<std::mutex> guard(lock);
    while (!wake.wait_for(guard, std::chrono::milliseconds(100), [this] { return stopping; })) {
        const RunningScriptEvent event = runningScriptEvent();
        if (!event.running || event.seconds < scriptTimeLimit() + kGraceSeconds) {
            reported.clear();
            continue;
        }
        if (reported != event.name) {
            reported = event.name;
            std::fprintf(stderr,
                         "The script %s has run for %.0f seconds inside a library function, "
                         "where its time limit cannot stop it; press Escape to end the game "
                         "(it cannot be saved while the script runs)\n",
                         event.name, event.seconds);
            std::fflush(stderr);
        }
        if (escape.open() && escape.held()) {
            std::fprintf(stderr, "Game ended with Escape while the script %s was stuck; not saved\n",
                         event.name);
            std::fflush(stderr);
            // The main thread is inside the script and holds the engine: no
            // orderly shutdown can run from here.
            std::_Exit(kExitStatus);
        }
    }
}
