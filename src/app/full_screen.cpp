#include "app/full_screen.h"

#include <OgreRenderWindow.h>

#include <cstddef>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The window's place and size before it went full screen.
struct Windowed {
    bool saved = false;
    int left = 0, top = 0;
    unsigned width = 1280, height = 720; // when the game started full screen
};
Windowed windowed;
bool byResize = false; // full screen was made by hand, without the manager

// True when a window manager runs that lists full screen among what it
// offers (_NET_SUPPORTED names _NET_WM_STATE_FULLSCREEN).
bool managerOffersFullScreen(Display* display) {
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", True);
    const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
    if (supported == None || fullScreen == None)
        return false;
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &after, &data) != Success ||
        !data)
        return false;
    bool offered = false;
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && !offered; ++i)
        offered = atoms[i] == fullScreen;
    XFree(data);
    return offered;
}

// Without a window manager the window is placed and sized by hand; the
// engine takes the new size from the configure event that follows.
void placeWindow(Ogre::RenderWindow* window, Display* display, int left, int top, unsigned width,
                 unsigned height) {
    std::size_t handle = 0;
    window->getCustomAttribute("WINDOW", &handle);
    if (!handle)
        return;
    XMoveResizeWindow(display, static_cast<Window>(handle), left, top, width, height);
    XFlush(display);
}

} // namespace

bool setFullScreen(Ogre::RenderWindow* window, bool on) {
    Display* display = nullptr;
    window->getCustomAttribute("XDISPLAY", &display);
    const bool now = window->isFullScreen() || byResize;
    if (!display || on == now)
        return now;
    if (on) {
        unsigned depth;
        window->getMetrics(windowed.width, windowed.height, depth, windowed.left, windowed.top);
        windowed.saved = true;
        const int screen = DefaultScreen(display);
        const unsigned width = unsigned(DisplayWidth(display, screen));
        const unsigned height = unsigned(DisplayHeight(display, screen));
        if (managerOffersFullScreen(display)) {
            window->setFullscreen(true, width, height);
        } else {
            placeWindow(window, display, 0, 0, width, height);
            byResize = true;
        }
        return true;
    }
    if (byResize) {
        byResize = false;
        placeWindow(window, display, windowed.left, windowed.top, windowed.width, windowed.height);
    } else {
        window->setFullscreen(false, windowed.width, windowed.height);
    }
    return false;
}
