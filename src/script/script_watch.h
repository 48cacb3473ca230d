// Watching the script folder while the game runs: which scripts were changed,
// added or removed, by the rules that loading at start applies (a file whose
// name ends in ".lua", at most kMaxScriptBytes of it, the text up to the
// first zero byte, at most kScriptSlots scripts).
//
// Editors save in many ways: in place; by renaming the old file away and
// writing a new one (vim, emacs); by writing a temporary file and renaming it
// over the old one (most IDEs); with swap and backup files beside it. The
// folder's events therefore only say which names to look at. A name is looked
// at once it has been quiet for kScriptQuietSeconds (and no file of that name
// is still being written), and then the folder and the script table decide:
// a file and a script is a change, a file alone an added script, a script
// alone a removed one, neither nothing. A save that renames and rewrites
// comes out as one change, and a temporary file that comes and goes is never
// seen, whatever its name.
//
// ScriptChangeTracker is that rule over plain data; ScriptWatcher feeds it
// from inotify. Main thread only.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

constexpr double kScriptQuietSeconds = 0.25;
// A file made without being written (a hard link made some other way than
// link(), say) never reports its end; after this long it is looked at anyway.
constexpr double kScriptOpenSeconds = 2.0;

// What the folder said about one of its files.
enum class ScriptFileEvent {
    Written,  // closed after writing, or made as a link: complete
    Created,  // a new file, still being written
    MovedIn,  // renamed into the folder, over a file or not
    MovedOut, // renamed away
    Deleted,
};

enum class ScriptChangeKind {
    Changed,
    Added,
    Removed,
    TableFull, // a new script that does not fit the table
};

struct ScriptChange {
    std::string name;
    ScriptChangeKind kind;
    std::string text; // Changed and Added: the text as loading reads it
};

// The script table as the watcher sees it.
struct ScriptTableView {
    int count = 0;
    std::function<bool(const std::string& name)> has;
};

// The file's script name ("a.lua" gives "a"), or "" when the file is no
// script: its name must end in ".lua", lower case, after at least one byte.
std::string scriptNameOfFile(const std::string& file);

// Reads the script file at path as loading at start does; false when it is
// not a regular file (links followed) or cannot be read.
bool readScriptFile(const std::string& path, std::string& text);

class ScriptChangeTracker {
public:
    // Remembers that the folder reported event for file at time now
    // (seconds). Files that are no scripts are ignored.
    void note(const std::string& file, ScriptFileEvent event, double now);

    // The names that have settled by now, each classified against the table
    // and the folder (read(name, text) reads the script file of name).
    // Removals come first, since they make room for additions; then names in
    // sorted order, as at start.
    std::vector<ScriptChange>
    settle(double now, const ScriptTableView& table,
           const std::function<bool(const std::string& name, std::string& text)>& read);

    bool idle() const { return pending_.empty(); }

private:
    struct Pending {
        double lastEvent = 0;
        bool beingWritten = false;
    };
    std::map<std::string, Pending> pending_;
};

class ScriptWatcher {
public:
    // Starts watching folder; when that fails, says why on standard error
    // and watching() is false.
    explicit ScriptWatcher(const std::string& folder);
    ~ScriptWatcher();
    ScriptWatcher(const ScriptWatcher&) = delete;
    ScriptWatcher& operator=(const ScriptWatcher&) = delete;

    bool watching() const { return fd_ >= 0; }

    // Never blocks: takes what the folder reported since the last call and
    // returns the changes settled by now (seconds of a steady clock). Meant to
    // be called once a frame.
    std::vector<ScriptChange> poll(double now, const ScriptTableView& table);

private:
    void readEvents(double now);
    void noteEvent(const char* file, unsigned mask, double now);
    void noteEverything(double now);
    void stop(const char* why);

    std::string folder_;
    int fd_ = -1;
    ScriptChangeTracker tracker_;
    // Every script name seen in the folder, to look at them all again when
    // the kernel's queue overflowed and events were lost.
    std::set<std::string> known_;
};

// The host's script table.
ScriptTableView registeredScripts();

// Applies one change to the host: a changed or added script is registered
// with its new text (compiled afresh at its next event), a removed one
// unregistered; either way its module result and the errors kept for it in
// scriptErrors() are forgotten. One line on standard error names the script.
void applyScriptChange(const ScriptChange& change);
