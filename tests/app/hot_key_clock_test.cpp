// The hot keys' guard: once per calendar second while the clock runs
// normally, and never held up by a clock that was set back.
#include "app/hot_key_clock.h"

#include <gtest/gtest.h>

namespace {

HotKeyClock at(std::int64_t wall, double steady) {
    HotKeyClock c;
    c.wallSeconds = wall;
    c.steadySeconds = steady;
    return c;
}

TEST(HotKeyClock, AHeldKeyActsOncePerCalendarSecond) {
    HotKeyGuard guard;
    const std::int64_t t0 = 1700000000;
    int accepted = 0;
    // A key held for three seconds, read every 1/60 s, starting 0.3 s into
    // a second: once in each of the four seconds it touches.
    for (int frame = 0; frame < 180; ++frame) {
        const double steady = 500.0 + frame / 60.0;
        const double wall = t0 + 0.3 + frame / 60.0;
        accepted += acceptHotKey(guard, at(static_cast<std::int64_t>(wall), steady));
    }
    EXPECT_EQ(accepted, 4);
    // Within the same second, again: refused.
    EXPECT_FALSE(hotKeyAllowed(guard, at(guard.last.wallSeconds, guard.last.steadySeconds + 0.5)));
}

TEST(HotKeyClock, AClockSetBackAnHourDoesNotBlockTheKeys) {
    HotKeyGuard guard;
    const std::int64_t t0 = 1700000000;
    ASSERT_TRUE(acceptHotKey(guard, at(t0, 100.0)));
    // The clock goes back an hour: the next press still acts, and a held key
    // goes on repeating each second on the new clock.
    EXPECT_TRUE(acceptHotKey(guard, at(t0 - 3600, 101.5)));
    EXPECT_FALSE(acceptHotKey(guard, at(t0 - 3600, 101.9)));
    EXPECT_TRUE(acceptHotKey(guard, at(t0 - 3599, 102.1)));
}

TEST(HotKeyClock, AWallClockStuckInOneSecondStillLetsAKeyActEachSteadySecond) {
    HotKeyGuard guard;
    const std::int64_t stuck = 1700000000;
    ASSERT_TRUE(acceptHotKey(guard, at(stuck, 10.0)));
    EXPECT_FALSE(acceptHotKey(guard, at(stuck, 10.99)));
    EXPECT_TRUE(acceptHotKey(guard, at(stuck, 11.0)));
    EXPECT_FALSE(acceptHotKey(guard, at(stuck, 11.5)));
}

} // namespace
