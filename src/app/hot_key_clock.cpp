#include "app/hot_key_clock.h"

#include <chrono>
#include <ctime>

bool hotKeyAllowed(const HotKeyGuard& guard, const HotKeyClock& now) {
    if (!guard.pressed)
        return true;
    if (now.wallSeconds != guard.last.wallSeconds)
        return true;
    return now.steadySeconds - guard.last.steadySeconds >= 1.0;
}

bool acceptHotKey(HotKeyGuard& guard, const HotKeyClock& now) {
    if (!hotKeyAllowed(guard, now))
        return false;
    guard.pressed = true;
    guard.last = now;
    return true;
}

HotKeyClock readHotKeyClock() {
    HotKeyClock now;
    now.wallSeconds = static_cast<std::int64_t>(std::time(nullptr));
    now.steadySeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return now;
}
