#include "app/stuck_script_guard.h"

#include "app/quit_signals.h"
#include "script/script_limits.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// A process as /proc/PID/stat describes it.
struct Process {
    pid_t pid = 0;
    pid_t parent = 0;
    char state = '?';
    unsigned long long started = 0; // since boot, so that a reused number is told apart
    std::string name;
};

bool readProcess(pid_t pid, Process& process) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text))
        return false;
    // "PID (NAME) STATE PPID ..." where NAME may hold anything, ')' included.
    const std::size_t open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    process.pid = pid;
    process.name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    rest >> process.state >> process.parent;
    std::string skipped; // fields 5 to 21; the start time is field 22
    for (int field = 5; field < 22; ++field)
        rest >> skipped;
    rest >> process.started;
    return bool(rest);
}

std::vector<Process> allProcesses() {
    std::vector<Process> all;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            Process process;
            if (*end == '\0' && pid > 0 && readProcess(pid_t(pid), process))
                all.push_back(process);
        }
        closedir(proc);
    }
    return all;
}

// This process's children, their children, and so on. Taken before any of
// them is signalled: an orphan's parent becomes another process.
std::vector<Process> descendants() {
    const std::vector<Process> all = allProcesses();
    std::vector<Process> found;
    std::vector<pid_t> parents{getpid()};
    while (!parents.empty()) {
        const pid_t parent = parents.back();
        parents.pop_back();
        for (const Process& p : all)
            if (p.parent == parent && p.state != 'Z') {
                found.push_back(p);
                parents.push_back(p.pid);
            }
    }
    return found;
}

bool stillRunning(const Process& p) {
    Process now;
    return readProcess(p.pid, now) && now.started == p.started && now.state != 'Z';
}

// The stuck script waits on what it started (os.execute, io.popen): end all
// of it rather than leave it running, adopted by init. SIGTERM first, then
// SIGKILL for whatever still runs a second later.
void endChildProcesses() {
    const std::vector<Process> children = descendants();
    if (children.empty())
        return;
    std::string names;
    for (const Process& p : children) {
        kill(p.pid, SIGTERM);
        names += (names.empty() ? "" : ", ") + p.name + " (" + std::to_string(p.pid) + ")";
    }
    int left = 0;
    for (int wait = 0; wait < 20; ++wait) {
        left = 0;
        for (const Process& p : children)
            left += stillRunning(p);
        if (!left)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (const Process& p : children)
        if (stillRunning(p))
            kill(p.pid, SIGKILL);
    std::fprintf(stderr, "Ended the processes the script started: %s%s\n", names.c_str(),
                 left ? " (some only with SIGKILL)" : "");
}

// What the scripts printed is still in the buffers; _Exit would drop it. A
// stream whose lock is held (the script is stuck writing to it) is left as it
// is rather than waited on.
void flushOutput() {
    for (std::FILE* stream : {stdout, stderr}) {
        if (ftrylockfile(stream) == 0) {
            fflush_unlocked(stream);
            funlockfile(stream);
        }
    }
}

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
        const int signal = quitSignalReceived();
        if (signal || (escape.open() && escape.held())) {
            std::fprintf(stderr, "Game ended with %s while the script %s was stuck; not saved\n",
                         signal ? quitSignalName(signal) : "Escape", event.name);
            // Ending what the script waits on lets it run on: it must not
            // reach the save with the game in mid-frame.
            holdScriptEvents();
            endChildProcesses();
            flushOutput();
            // The main thread is inside the script and holds the engine: no
            // orderly shutdown can run from here.
            std::_Exit(kExitStatus);
        }
    }
}
