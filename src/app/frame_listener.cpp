#include "app/frame_listener.h"

#include "app/console.h"
#include "app/pause_menu.h"
#include "app/player_camera.h"
#include "app/quit_signals.h"
#include "audio/microphone_level.h"
#include "player/player.h"
#include "script/script_watch.h"
#include "util/message_box.h"

#include <OIS.h>
#include <OgreCamera.h>
#include <OgreRenderWindow.h>
#include <OgreRoot.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// The input library grabs keyboard and pointer when its devices are made, and
// a grab on a window that is not yet on screen fails without a word: keys
// would then go wherever the pointer happens to be. Wait (briefly) until the
// new window is viewable.
void waitUntilViewable(Display* display, std::size_t handle) {
    if (!display || !handle)
        return;
    for (int i = 0; i < 200; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, static_cast<Window>(handle), &attributes) &&
            attributes.map_state == IsViewable)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Ask the window manager to send a close request instead of killing the
// game when the player closes the window: the game then ends through
// windowClosed and still raises "save_game".
// Returns the close request's atom, or 0 when there is no X window.
unsigned long acceptCloseRequests(Display* display, std::size_t handle) {
    if (!display || !handle)
        return 0;
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, static_cast<Window>(handle), &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            if (protocols[i] == deleteWindow) {
                XFree(protocols);
                return deleteWindow;
            }
    }
    std::vector<Atom> wanted(protocols, protocols + count);
    if (protocols)
        XFree(protocols);
    wanted.push_back(deleteWindow);
    XSetWMProtocols(display, static_cast<Window>(handle), wanted.data(), int(wanted.size()));
    XFlush(display);
    return deleteWindow;
}

// True when the window manager has asked the window to close. The engine's
// own message pump does not act on this request.
bool closeRequested(Display* display, std::size_t handle, unsigned long deleteWindow) {
    if (!display || !deleteWindow)
        return false;
    XEvent event;
    bool requested = false;
    while (XCheckTypedWindowEvent(display, static_cast<Window>(handle), ClientMessage, &event))
        if (event.xclient.format == 32 &&
            static_cast<unsigned long>(event.xclient.data.l[0]) == deleteWindow)
            requested = true;
    return requested;
}

// Set by trapError when a request was refused.
bool refused = false;
int trapError(Display*, XErrorEvent*) {
    refused = true;
    return 0;
}

// Asks for (or stops asking for) the window's button presses on the window's
// own connection, while the input library has no mouse. Only one client may
// ask at a time, and the input library's mouse, just closed on its own
// connection, may not be gone from the server yet: false then, to try again.
bool selectClicks(Display* display, std::size_t handle, bool on) {
    if (!display || !handle)
        return false;
    const Window window = static_cast<Window>(handle);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return false;
    const long mask = on ? attributes.your_event_mask | ButtonPressMask
                         : attributes.your_event_mask & ~ButtonPressMask;
    XSync(display, False);
    refused = false;
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(trapError);
    XSelectInput(display, window, mask);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!on) {
        XEvent event;
        while (XCheckWindowEvent(display, window, ButtonPressMask, &event)) {
        }
    }
    return !refused;
}

// Whether the climb (Shift, or the left button) is held, as the X server
// sees it now. The input library's new devices start with every key and
// button up and learn only of presses made after, so a climb held through a
// pause is read here until it is let go.
bool climbHeldOnServer(Display* display, std::size_t handle) {
    if (!display || !handle)
        return false;
    char keys[32];
    XQueryKeymap(display, keys);
    for (KeySym shift : {XK_Shift_L, XK_Shift_R}) {
        const KeyCode code = XKeysymToKeycode(display, shift);
        if (code && (keys[code / 8] & (1 << (code % 8))))
            return true;
    }
    Window rootWindow, child;
    int rootX, rootY, x, y;
    unsigned int buttons = 0;
    return XQueryPointer(display, static_cast<Window>(handle), &rootWindow, &child, &rootX, &rootY,
                         &x, &y, &buttons) &&
           (buttons & Button1Mask);
}

} // namespace

NBFrameListener* NBFrameListener::current = nullptr;

NBFrameListener::NBFrameListener(Ogre::Root& root, Ogre::RenderWindow* w, PlayerCamera* c,
                                 const std::string& settingsFile)
    : window(w), driver(c), camera(c) {
    root.addFrameListener(this);
    OgreBites::WindowEventUtilities::addWindowEventListener(window, this);
    // The message pump only looks at windows it has been told about.
    OgreBites::WindowEventUtilities::_addRenderWindow(window);

    // The X11 window handle is wider than 32 bits; read it at its full size.
    std::size_t handle = 0;
    window->getCustomAttribute("WINDOW", &handle);
    Display* display = nullptr;
    window->getCustomAttribute("XDISPLAY", &display);
    xDisplay = display;
    waitUntilViewable(display, handle);
    windowHandle = handle;
    deleteWindowAtom = acceptCloseRequests(display, handle);
    menu = std::make_unique<PauseMenu>(settingsFile, window);
    consoleView.reset(makeConsoleView());
    if (consoleView)
        console = std::make_unique<Console>(kConsoleHistoryFile);
    createInput(true);
    centreCursor();
    current = this;
    setBoxGrabRelease(&NBFrameListener::releaseForBox);
}

NBFrameListener::~NBFrameListener() {
    if (current == this) {
        setBoxGrabRelease(nullptr);
        current = nullptr;
    }
}

void NBFrameListener::applySettings() {
    menu->applyRemembered();
}

void NBFrameListener::createInput(bool grab) {
    std::ostringstream text;
    text << windowHandle;
    OIS::ParamList params;
    params.insert(std::make_pair(std::string("WINDOW"), text.str()));
    if (!grab) {
        params.insert(std::make_pair(std::string("x11_keyboard_grab"), std::string("false")));
        params.insert(std::make_pair(std::string("x11_mouse_grab"), std::string("false")));
        params.insert(std::make_pair(std::string("x11_mouse_hide"), std::string("false")));
    }
    inputSystem = OIS::InputManager::createInputSystem(params);
    keyboard = static_cast<OIS::Keyboard*>(inputSystem->createInputObject(OIS::OISKeyboard, true));
    keyboard->setEventCallback(this);
    grabbed = grab;
    if (!grab) {
        // Clicks come from the window's own connection; see selectClicks.
        clicksSelected = selectClicks(static_cast<Display*>(xDisplay), windowHandle, true);
        return;
    }
    mouse = static_cast<OIS::Mouse*>(inputSystem->createInputObject(OIS::OISMouse, false));
    // No resize event follows the window's creation on X11, so the mouse area
    // would stay at the input library's 50x50 default and the whole steering
    // range would be crossed in 50 pixels. Size it to the window now.
    const OIS::MouseState& state = mouse->getMouseState();
    state.width = static_cast<int>(window->getWidth());
    state.height = static_cast<int>(window->getHeight());
}

void NBFrameListener::destroyInput() {
    if (!inputSystem)
        return;
    if (mouse)
        inputSystem->destroyInputObject(mouse);
    if (keyboard)
        inputSystem->destroyInputObject(keyboard);
    mouse = nullptr;
    keyboard = nullptr;
    OIS::InputManager::destroyInputSystem(inputSystem);
    inputSystem = nullptr;
    if (clicksSelected)
        selectClicks(static_cast<Display*>(xDisplay), windowHandle, false);
    clicksSelected = false;
    grabbed = false;
}

void NBFrameListener::releaseForBox() {
    NBFrameListener* self = current;
    if (!self || !self->grabbed)
        return;
    self->pause.set(PauseReason::Box, true);
    try {
        self->destroyInput();
        self->createInput(false);
    } catch (...) {
        // Without devices the box is answerable all the same.
    }
}

void NBFrameListener::centreCursor() {
    const OIS::MouseState& state = mouse->getMouseState();
    const int cx = state.width / 2, cy = state.height / 2;
    Display* display = static_cast<Display*>(xDisplay);
    if (display && windowHandle) {
        // The input library follows the pointer by its motion events,
        // counting each from where the last one was. Its own start-up warp
        // left the pointer near the corner, so this warp arrives as one long
        // motion; take it in before the cursor is set, or it would carry the
        // cursor off the centre.
        const Window window = static_cast<Window>(windowHandle);
        XWarpPointer(display, None, window, 0, 0, 0, 0, cx, cy);
        XSync(display, False);
        Window rootWindow, child;
        int rootX, rootY, x = -1, y = -1;
        unsigned int buttons;
        const bool there = XQueryPointer(display, window, &rootWindow, &child, &rootX, &rootY, &x,
                                         &y, &buttons) &&
                           x == cx && y == cy;
        if (there) {
            for (int i = 0; i < 100; ++i) {
                mouse->capture();
                if (state.X.rel != 0 || state.Y.rel != 0)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
    }
    // The state is the mouse's own; only its reference is handed out const.
    OIS::MouseState& writable = const_cast<OIS::MouseState&>(state);
    writable.X.abs = cx;
    writable.Y.abs = cy;
    writable.X.rel = writable.Y.rel = 0;
}

flight::PlayerInput NBFrameListener::gatherInput(double frameSeconds) {
    flight::PlayerInput input;
    bool climbHeld = false;
    if (keyboard) {
        input.hasKeyboard = true;
        input.keys.f1 = keyboard->isKeyDown(OIS::KC_F1);
        input.keys.f2 = keyboard->isKeyDown(OIS::KC_F2);
        input.keys.space = presses.take(OIS::KC_SPACE) || keyboard->isKeyDown(OIS::KC_SPACE);
        climbHeld = keyboard->isKeyDown(OIS::KC_LSHIFT) || keyboard->isKeyDown(OIS::KC_RSHIFT);
    }
    if (mouse) {
        const OIS::MouseState& state = mouse->getMouseState();
        input.hasMouse = true;
        input.mouse.x = state.X.abs;
        input.mouse.y = state.Y.abs;
        input.mouse.width = state.width;
        input.mouse.height = state.height;
        input.mouse.rightButton = state.buttonDown(OIS::MB_Right);
        climbHeld = climbHeld || state.buttonDown(OIS::MB_Left);
    }
    if (climbCarried)
        climbCarried = !climbHeld && climbHeldOnServer(static_cast<Display*>(xDisplay), windowHandle);
    climbHeld = climbHeld || climbCarried;
    // Voice and key together lift no more than either alone.
    input.keys.level = std::max(microphoneLevel(), heldClimb.advance(frameSeconds, climbHeld));
    return input;
}

FrameInput NBFrameListener::readControls(double frameSeconds) {
    FrameInput input;
    if (keyboard) {
        input.clock = readHotKeyClock();
        input.quit =
            quitPressed || keyboard->isKeyDown(OIS::KC_ESCAPE) || keyboard->isKeyDown(OIS::KC_Q);
        // A tap between two frames counts as much as a key held at a frame.
        auto pressed = [&](OIS::KeyCode key) {
            return presses.take(key) || keyboard->isKeyDown(key);
        };
        input.newGame = pressed(OIS::KC_F3);
        input.saveGame = pressed(OIS::KC_F5);
        input.loadGame = pressed(OIS::KC_F8);
        input.guideKey = presses.take(OIS::KC_H);
        const OIS::KeyCode bodyKeys[kBodyVariants] = {OIS::KC_1, OIS::KC_2, OIS::KC_3, OIS::KC_4};
        for (int variant = 0; variant < kBodyVariants; ++variant)
            if (pressed(bodyKeys[variant]) && input.body < 0)
                input.body = variant;
    }
    quitPressed = false;
    input.player = gatherInput(frameSeconds);
    return input;
}

bool NBFrameListener::keyPressed(const OIS::KeyEvent& event) {
    if (consoleKey(event))
        return true;
    // The game's own taps (Space, H) count only while it runs: a key pressed
    // on the pause screen must not act once the game resumes.
    if (!pause.paused())
        presses.keyPressed(event);
    switch (event.key) {
    case OIS::KC_P:
        togglePause = true;
        break;
    case OIS::KC_F11:
        toggleFullScreen = true;
        break;
    case OIS::KC_ESCAPE:
    case OIS::KC_Q:
        quitPressed = true;
        break;
    case OIS::KC_RETURN:
        if (keyboard && keyboard->isModifierDown(OIS::Keyboard::Alt)) {
            toggleFullScreen = true;
            break;
        }
        [[fallthrough]];
    default:
        if (pause.showsPauseScreen() && menuKeyCount < menuKeys.size())
            menuKeys[menuKeyCount++] = event.key;
        break;
    }
    return true;
}

// The key left of 1 opens and closes the console, at once, so that the keys
// typed after it in the same frame are the console's. While it is open every
// key is typed into it, but Escape, which quits as everywhere, and the
// full-screen keys. The pause screen comes first: while it shows, the
// console stands aside (hidden, its line kept) and the keys are the screen's.
bool NBFrameListener::consoleKey(const OIS::KeyEvent& event) {
    if (!console || pause.showsPauseScreen())
        return false;
    if (event.key == OIS::KC_GRAVE) {
        console->setOpen(!console->isOpen());
        return true;
    }
    if (!console->isOpen())
        return false;
    const bool alt = keyboard && keyboard->isModifierDown(OIS::Keyboard::Alt);
    if (event.key == OIS::KC_ESCAPE)
        quitPressed = true;
    else if (event.key == OIS::KC_F11 || (event.key == OIS::KC_RETURN && alt))
        toggleFullScreen = true;
    else
        console->key(event.key, event.text);
    return true;
}

void NBFrameListener::showConsole() {
    if (!consoleView)
        return;
    const bool visible = console->isOpen() && !pause.showsPauseScreen();
    if (visible != consoleShown) {
        consoleShown = visible;
        consoleView->show(consoleShown);
    }
    if (consoleShown)
        consoleView->update(console->output(), console->input(), console->cursor(),
                            console->version());
}

void NBFrameListener::watchScripts(const std::string& folder) {
    auto w = std::make_unique<ScriptWatcher>(folder);
    if (!w->watching())
        return;
    watcher = std::move(w);
    std::fprintf(stderr, "Watching %s: scripts saved while the game runs are taken in\n",
                 folder.c_str());
}

void NBFrameListener::takeChangedScripts() {
    if (!watcher)
        return;
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    for (const ScriptChange& change : watcher->poll(now, registeredScripts()))
        applyScriptChange(change);
}

bool NBFrameListener::hasFocus() const {
    Display* display = static_cast<Display*>(xDisplay);
    if (!display || !windowHandle)
        return true;
    const Window self = static_cast<Window>(windowHandle);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == self)
        return true;
    if (focus != PointerRoot && focus != DefaultRootWindow(display))
        return false;
    // Keys go to the window under the pointer.
    Window rootWindow, child;
    int rootX, rootY, x, y;
    unsigned int buttons;
    return XQueryPointer(display, self, &rootWindow, &child, &rootX, &rootY, &x, &y, &buttons) &&
           x >= 0 && y >= 0 && x < int(window->getWidth()) && y < int(window->getHeight());
}

void NBFrameListener::readFocus() {
    Display* display = static_cast<Display*>(xDisplay);
    if (!display || !windowHandle)
        return;
    bool changed = false;
    XEvent event;
    while (XCheckWindowEvent(display, static_cast<Window>(windowHandle), FocusChangeMask, &event)) {
        // A grab taken or let go (ours too) moves no focus.
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab ||
            event.xfocus.detail == NotifyInferior)
            continue;
        changed = true;
    }
    if (changed)
        pause.set(PauseReason::FocusLost, menu->pauseOnFocusLoss() && !hasFocus());
}

void NBFrameListener::followPause() {
    const bool play = !pause.paused();
    if (play != grabbed) {
        destroyInput();
        createInput(play);
        if (play) {
            centreCursor();
            climbCarried = true;
        }
    } else if (!play && !clicksSelected) {
        clicksSelected = selectClicks(static_cast<Display*>(xDisplay), windowHandle, true);
    }
    const bool screen = pause.showsPauseScreen();
    if (screen != pauseScreenShown) {
        pauseScreenShown = screen;
        if (screen)
            menu->open();
        else
            menu->close();
        menuKeyCount = clickCount = 0;
    }
}

void NBFrameListener::readClicks() {
    Display* display = static_cast<Display*>(xDisplay);
    if (!display || !clicksSelected)
        return;
    XEvent event;
    while (XCheckWindowEvent(display, static_cast<Window>(windowHandle), ButtonPressMask, &event))
        if (event.xbutton.button == Button1 && clickCount < clicks.size())
            clicks[clickCount++] = {event.xbutton.x, event.xbutton.y};
}

void NBFrameListener::handleMenuInput() {
    bool resume = false;
    if (pauseScreenShown) {
        for (std::size_t i = 0; i < menuKeyCount; ++i)
            resume = menu->key(menuKeys[i]) == PauseMenu::Request::Resume || resume;
        for (std::size_t i = 0; i < clickCount; ++i)
            resume = menu->click(clicks[i][0], clicks[i][1], int(window->getWidth()),
                                 int(window->getHeight())) == PauseMenu::Request::Resume ||
                     resume;
    }
    menuKeyCount = clickCount = 0;
    if (resume) {
        pause.set(PauseReason::Player, false);
        pause.set(PauseReason::FocusLost, false);
    }
}

FrameOutcome NBFrameListener::pausedFrame() {
    readClicks();
    handleMenuInput();
    if (pauseScreenShown)
        menu->update();
    FrameInput input;
    input.player.hasKeyboard = keyboard != nullptr;
    // Q is a letter to the console.
    const bool typing = consoleShown;
    input.quit = quitPressed || (keyboard && (keyboard->isKeyDown(OIS::KC_ESCAPE) ||
                                              (!typing && keyboard->isKeyDown(OIS::KC_Q))));
    quitPressed = false;
    return driver.runPausedFrame(input);
}

bool NBFrameListener::frameStarted(const Ogre::FrameEvent& evt) {
    // Ogre's loop does not pump window messages itself; without this no input
    // or window event arrives.
    if (running && closeRequested(static_cast<Display*>(xDisplay), windowHandle, deleteWindowAtom))
        windowClosed(window);
    readFocus();
    OgreBites::WindowEventUtilities::messagePump();
    if (!running)
        return false;

    if (keyboard)
        keyboard->capture();
    if (mouse)
        mouse->capture();
    // Between events, paused or not: a fix is in before the game resumes.
    takeChangedScripts();
    if (togglePause)
        pause.togglePlayer();
    if (toggleFullScreen)
        menu->toggleFullScreen();
    togglePause = toggleFullScreen = false;
    // A box shown by another thread waits for this frame to let go.
    pause.set(PauseReason::Box, boxesShowing() > 0);
    pause.set(PauseReason::Console, console && console->isOpen());
    followPause();
    showConsole();

    const FrameOutcome outcome =
        pause.paused()
            ? pausedFrame()
            : driver.runFrame(evt.timeSinceLastFrame, readControls(evt.timeSinceLastFrame));
    switch (outcome) {
    case FrameOutcome::TriggersStop:
        return false;
    case FrameOutcome::Quit:
        running = false;
        break;
    case FrameOutcome::Continue:
        break;
    }
    if (quitSignalled())
        running = false;
    return running;
}

void NBFrameListener::windowResized(Ogre::RenderWindow* rw) {
    unsigned int width, height, depth;
    int left, top;
    rw->getMetrics(width, height, depth, left, top);
    if (mouse) {
        const OIS::MouseState& state = mouse->getMouseState();
        state.width = static_cast<int>(width);
        state.height = static_cast<int>(height);
    }
    // Full screen and back: the picture keeps its proportions.
    if (camera && height > 0)
        camera->getCamera()->setAspectRatio(Ogre::Real(width) / Ogre::Real(height));
}

void NBFrameListener::windowClosed(Ogre::RenderWindow*) {
    running = false;
    if (!inputSystem)
        return;
    destroyInput();
    std::printf("Input manager destroyed\n");
    std::fflush(stdout);
}
