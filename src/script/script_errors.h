// The script errors of the last seconds, for whoever shows them. Every error
// line the host prints to standard error (host_work.h's report functions) is
// noted here as well; the display reads the sink and the host knows nothing
// of the display. Main thread only.
#pragma once
#include <cstddef>
#include <deque>
#include <string>

class ScriptErrorSink {
public:
    // How long an error stays, in seconds of game time after it last
    // happened, and how many different ones are kept (the oldest goes).
    static constexpr double kShowSeconds = 10.0;
    static constexpr std::size_t kMaxEntries = 4;

    struct Entry {
        std::string event;       // the script whose event failed
        int line = 0;            // its line, or 0 when the message names none of it
        std::string message;     // without the chunk's name and line in front
        unsigned long count = 1; // how often it happened in a row
        double secondsLeft = kShowSeconds;
    };

    // One error of event. An error equal to one already kept (same event,
    // line and message) counts up instead, without allocating: a script that
    // fails every frame shows once, with its count.
    void note(const char* event, const char* message, std::size_t length);

    // Game time passes: errors whose time is up go.
    void advance(double dt);

    // The errors of event go: its script was replaced.
    void forget(const std::string& event);

    // Oldest first.
    const std::deque<Entry>& entries() const { return kept; }
    // Bumped on every change, so that a reader redraws only then.
    unsigned version() const { return changes; }

private:
    std::deque<Entry> kept;
    unsigned changes = 0;
};

// The game's one sink.
ScriptErrorSink& scriptErrors();
