// The guard on the hot keys (F3, F5, F8): each acts at most once per calendar
// second, so a held key repeats once a second. The calendar second alone
// would block the keys for as long as the wall clock was set back, so the
// guard also reads a steady clock and never lets a clock change hold a key.
#pragma once
#include <cstdint>

struct HotKeyClock {
    // The calendar second (wall clock) and the steady clock, in seconds.
    std::int64_t wallSeconds = 0;
    double steadySeconds = 0;
};

struct HotKeyGuard {
    bool pressed = false; // a press has been accepted before
    HotKeyClock last;     // when the last accepted press was
};

// True when a hot key may act at now: the first press; another calendar
// second than the last accepted press's (a later one, or an earlier one after
// the wall clock was set back); or a full steady second since that press,
// whatever the wall clock says.
bool hotKeyAllowed(const HotKeyGuard& guard, const HotKeyClock& now);

// hotKeyAllowed, and when it allows, records now as the last accepted press.
bool acceptHotKey(HotKeyGuard& guard, const HotKeyClock& now);

// The two clocks as they read now.
HotKeyClock readHotKeyClock();
