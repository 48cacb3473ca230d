// The way out of a script that the time limit cannot stop. The watchdog's
// hook only runs between Lua instructions, so a script waiting inside a
// library function (os.execute("sleep 600"), io.read() on a terminal, a
// blocking io.popen) holds the frame loop, and with it the keyboard and the
// window, for as long as that call takes.
//
// A thread of its own watches the script events. Once one has run for the
// time limit plus a grace period, it says so on standard error and from then
// on reads the keyboard through a connection of its own to the X server:
// Escape (or a quit signal, quit_signals.h) ends the game at once, with exit
// status 3. Nothing can be saved then: saving is itself a script, and the
// script state is busy. What the scripts printed is written out first, and
// the processes the script started (os.execute, io.popen) are ended.
#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

class StuckScriptGuard {
public:
    StuckScriptGuard();
    // Stops and joins the thread.
    ~StuckScriptGuard();
    StuckScriptGuard(const StuckScriptGuard&) = delete;
    StuckScriptGuard& operator=(const StuckScriptGuard&) = delete;

    static constexpr double kGraceSeconds = 2.0;
    static constexpr int kExitStatus = 3;

private:
    void watch();

    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};
