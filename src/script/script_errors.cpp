#include "script/script_errors.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The chunk name every event's script is compiled with; Lua puts it and the
// line in front of the script's messages.
constexpr char kChunkPrefix[] = "[string \"line\"]:";
constexpr std::size_t kChunkPrefixLength = sizeof kChunkPrefix - 1;

// Splits "[string "line"]:12: text" into 12 and "text"; any other message
// keeps its whole text and line 0.
int splitLine(const char*& message, std::size_t& length) {
    if (length <= kChunkPrefixLength || std::memcmp(message, kChunkPrefix, kChunkPrefixLength) != 0)
        return 0;
    std::size_t at = kChunkPrefixLength;
    long line = 0;
    while (at < length && message[at] >= '0' && message[at] <= '9' && line < 100000000)
        line = line * 10 + (message[at++] - '0');
    if (at == kChunkPrefixLength || at >= length || message[at] != ':')
        return 0;
    ++at;
    if (at < length && message[at] == ' ')
        ++at;
    message += at;
    length -= at;
    return static_cast<int>(line);
}

} // namespace

void ScriptErrorSink::note(const char* event, const char* message, std::size_t length) {
    const int line = splitLine(message, length);
    for (Entry& e : kept) {
        if (e.line == line && e.event == event && e.message.size() == length &&
            std::memcmp(e.message.data(), message, length) == 0) {
            ++e.count;
            e.secondsLeft = kShowSeconds;
            ++changes;
            return;
        }
    }
    // The line on standard error is out already; with no memory left for a
    // copy the display does without this one.
    try {
        Entry entry{event, line, std::string(message, length)};
        if (kept.size() == kMaxEntries)
            kept.pop_front();
        kept.push_back(std::move(entry));
        ++changes;
    } catch (const std::bad_alloc&) {
    }
}

void ScriptErrorSink::advance(double dt) {
    if (kept.empty())
        return;
    for (Entry& e : kept)
        e.secondsLeft -= dt;
    const auto gone = std::remove_if(kept.begin(), kept.end(),
                                     [](const Entry& e) { return !(e.secondsLeft > 0); });
    if (gone != kept.end()) {
        kept.erase(gone, kept.end());
        ++changes;
    }
}

void ScriptErrorSink::forget(const std::string& event) {
    const auto gone =
        std::remove_if(kept.begin(), kept.end(), [&](const Entry& e) { return e.event == event; });
    if (gone != kept.end()) {
        kept.erase(gone, kept.end());
        ++changes;
    }
}

ScriptErrorSink& scriptErrors() {
    static ScriptErrorSink sink;
    return sink;
}
