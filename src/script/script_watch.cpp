#include "script/script_watch.h"

#include "script/host_work.h"
#include "script/script_errors.h"
#include "script/script_host.h"
#include "script/script_require.h"
#include "util/globals.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

const char kScriptSuffix[] = ".lua";
constexpr std::size_t kSuffixLength = sizeof kScriptSuffix - 1;

constexpr unsigned kWatchedEvents = IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM |
                                    IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool settled(double quietFor, bool beingWritten) {
    return quietFor >= kScriptQuietSeconds && (!beingWritten || quietFor >= kScriptOpenSeconds);
}

// One settled name against the table and the folder. count is the table's
// size as the changes so far leave it.
void classify(const std::string& name, bool present, std::string&& text, bool registered,
              int& count, std::vector<ScriptChange>& changes) {
    if (present && registered) {
        changes.push_back({name, ScriptChangeKind::Changed, std::move(text)});
    } else if (present && count < kScriptSlots) {
        ++count;
        changes.push_back({name, ScriptChangeKind::Added, std::move(text)});
    } else if (present) {
        changes.push_back({name, ScriptChangeKind::TableFull, {}});
    } else if (registered) {
        --count;
        changes.push_back({name, ScriptChangeKind::Removed, {}});
    }
}

// A new entry made complete, as a link is, needs no close to follow it.
ScriptFileEvent createdEvent(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && (S_ISLNK(info.st_mode) || info.st_nlink > 1))
        return ScriptFileEvent::Written;
    return ScriptFileEvent::Created;
}

} // namespace

std::string scriptNameOfFile(const std::string& file) {
    const std::size_t n = file.size();
    if (n <= kSuffixLength || file.compare(n - kSuffixLength, kSuffixLength, kScriptSuffix) != 0)
        return {};
    return file.substr(0, n - kSuffixLength);
}

bool readScriptFile(const std::string& path, std::string& text) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    text.assign(kMaxScriptBytes, '\0');
    text.resize(std::fread(text.data(), 1, kMaxScriptBytes, f));
    std::fclose(f);
    text.resize(std::strlen(text.c_str()));
    return true;
}

void ScriptChangeTracker::note(const std::string& file, ScriptFileEvent event, double now) {
    const std::string name = scriptNameOfFile(file);
    if (name.empty())
        return;
    Pending& p = pending_[name];
    p.lastEvent = now;
    p.beingWritten = event == ScriptFileEvent::Created;
}

std::vector<ScriptChange> ScriptChangeTracker::settle(
    double now, const ScriptTableView& table,
    const std::function<bool(const std::string& name, std::string& text)>& read) {
    struct Found {
        std::string name, text;
        bool present, registered;
    };
    std::vector<Found> found;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (!settled(now - it->second.lastEvent, it->second.beingWritten)) {
            ++it;
            continue;
        }
        Found f{it->first, {}, false, table.has(it->first)};
        f.present = read(f.name, f.text);
        found.push_back(std::move(f));
        it = pending_.erase(it);
    }
    std::vector<ScriptChange> changes;
    int count = table.count;
    for (bool removals : {true, false})
        for (Found& f : found)
            if (removals == (!f.present && f.registered))
                classify(f.name, f.present, std::move(f.text), f.registered, count, changes);
    return changes;
}

ScriptWatcher::ScriptWatcher(const std::string& folder) : folder_(folder) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || inotify_add_watch(fd_, folder_.c_str(), kWatchedEvents) < 0) {
        stop(std::strerror(errno));
        return;
    }
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = scriptNameOfFile(it->path().filename().string());
        if (!name.empty())
            known_.insert(std::move(name));
    }
}

ScriptWatcher::~ScriptWatcher() {
    if (fd_ >= 0)
        close(fd_);
}

std::vector<ScriptChange> ScriptWatcher::poll(double now, const ScriptTableView& table) {
    if (fd_ >= 0)
        readEvents(now);
    if (tracker_.idle())
        return {};
    return tracker_.settle(now, table, [this](const std::string& name, std::string& text) {
        return readScriptFile(folder_ + "/" + name + kScriptSuffix, text);
    });
}

void ScriptWatcher::readEvents(double now) {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && errno != EAGAIN)
                stop(std::strerror(errno));
            return;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW)
                noteEverything(now);
            else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                return stop("the folder was moved or removed");
            else if (event->len > 0 && !(event->mask & IN_ISDIR))
                noteEvent(event->name, event->mask, now);
        }
    }
}

void ScriptWatcher::noteEvent(const char* file, unsigned mask, double now) {
    ScriptFileEvent event = ScriptFileEvent::Written;
    if (mask & IN_CREATE)
        event = createdEvent(folder_ + "/" + file);
    else if (mask & IN_MOVED_TO)
        event = ScriptFileEvent::MovedIn;
    else if (mask & IN_MOVED_FROM)
        event = ScriptFileEvent::MovedOut;
    else if (mask & IN_DELETE)
        event = ScriptFileEvent::Deleted;
    tracker_.note(file, event, now);
    std::string name = scriptNameOfFile(file);
    if (!name.empty())
        known_.insert(std::move(name));
}

// Events were lost: every name the folder holds or held is looked at again.
void ScriptWatcher::noteEverything(double now) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = scriptNameOfFile(it->path().filename().string());
        if (!name.empty())
            known_.insert(std::move(name));
    }
    for (const std::string& name : known_)
        tracker_.note(name + kScriptSuffix, ScriptFileEvent::Written, now);
}

void ScriptWatcher::stop(const char* why) {
    std::fprintf(stderr, "Not watching %s for changed scripts: %s\n", folder_.c_str(), why);
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

ScriptTableView registeredScripts() {
    return {scriptCount(),
            [](const std::string& name) { return registeredScriptText(name.c_str()) != nullptr; }};
}

void applyScriptChange(const ScriptChange& change) {
    const char* name = change.name.c_str();
    switch (change.kind) {
    case ScriptChangeKind::Changed:
    case ScriptChangeKind::Added:
        registerScript(name, change.text.data(), change.text.size());
        std::fprintf(stderr, "%s script %s\n",
                     change.kind == ScriptChangeKind::Added ? "Added" : "Reloaded", name);
        break;
    case ScriptChangeKind::Removed:
        removeScript(name);
        std::fprintf(stderr, "Removed script %s\n", name);
        break;
    case ScriptChangeKind::TableFull:
        reportScriptTableFull(name);
        return;
    }
    // What the old text did wrong is no longer news.
    scriptErrors().forget(change.name);
    if (scriptState)
        runHostWork(scriptState, name, [&](lua_State* L) { forgetRequiredModule(L, name); });
}
