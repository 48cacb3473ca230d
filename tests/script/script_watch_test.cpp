// Watching the script folder: what editors, tools and people do to its files,
// done for real in a folder of the test's own, and the changes the watcher
// reports for it. Polls carry their own times, so nothing waits on a clock.
#include "script/script_host.h"
#include "script/script_watch.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum class Op { Write, Open, Close, Rename, Remove, Symlink, Link, Mkdir, Poll };

// Write a (text b); Open a and write b, leaving it open; Close it after
// writing b; Rename a to b; Remove a; Symlink or Link b to a; Mkdir a; Poll
// at time and expect b. Paths are the folder's; "../" leads out of it.
struct Step {
    Op op;
    std::string a, b = {};
    double time = 0;
};

struct Case {
    const char* what;
    std::vector<std::string> scripts; // files and registered scripts at the start
    int phantoms;                     // further registered scripts, without files
    std::vector<Step> steps;
};

Step poll(double time, std::string expected) {
    return {Op::Poll, "", std::move(expected), time};
}

// "~a=text" changed, "+a=text" added, "-a" removed, "!a" not registered.
std::string describe(const std::vector<ScriptChange>& changes) {
    std::string out;
    for (const ScriptChange& c : changes) {
        out += out.empty() ? "" : " ";
        out += "~+-!"[int(c.kind)] + c.name;
        if (c.kind == ScriptChangeKind::Changed || c.kind == ScriptChangeKind::Added)
            out += "=" + (c.text.size() <= 16 ? c.text : std::to_string(c.text.size()) + " bytes");
    }
    return out;
}

void write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

class WatchedFolder {
public:
    explicit WatchedFolder(const Case& c) {
        char pattern[] = "/tmp/nb_watch_XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directory(root_ / "Scripts");
        for (const std::string& name : c.scripts) {
            write(root_ / "Scripts" / (name + ".lua"), "old");
            registered_.insert(name);
        }
        for (int i = 0; i < c.phantoms; ++i)
            registered_.insert("phantom" + std::to_string(i));
        watcher_ = std::make_unique<ScriptWatcher>((root_ / "Scripts").string());
    }
    ~WatchedFolder() {
        if (fd_ >= 0)
            close(fd_);
        fs::remove_all(root_);
    }

    std::string run(const Step& s) {
        const fs::path a = root_ / "Scripts" / s.a, b = root_ / "Scripts" / s.b;
        if (s.op == Op::Write)
            write(a, s.b);
        if (s.op == Op::Open)
            fd_ = open(a.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (s.op == Op::Open || s.op == Op::Close) {
            EXPECT_EQ(::write(fd_, s.b.data(), s.b.size()), ssize_t(s.b.size()));
        }
        if (s.op == Op::Close)
            close(std::exchange(fd_, -1));
        if (s.op == Op::Rename)
            fs::rename(a, b);
        if (s.op == Op::Remove)
            fs::remove(a);
        if (s.op == Op::Symlink)
            fs::create_symlink(a, b);
        if (s.op == Op::Link)
            fs::create_hard_link(a, b);
        if (s.op == Op::Mkdir)
            fs::create_directory(a);
        return s.op == Op::Poll ? pollAndApply(s.time) : "";
    }

private:
    // Polls and applies the changes to the table the way the host would.
    std::string pollAndApply(double time) {
        const ScriptTableView table{int(registered_.size()), [this](const std::string& name) {
                                        return registered_.count(name) > 0;
                                    }};
        const std::vector<ScriptChange> changes = watcher_->poll(time, table);
        for (const ScriptChange& c : changes) {
            if (c.kind == ScriptChangeKind::Added)
                registered_.insert(c.name);
            if (c.kind == ScriptChangeKind::Removed)
                registered_.erase(c.name);
        }
        return describe(changes);
    }

    fs::path root_;
    std::set<std::string> registered_;
    int fd_ = -1; // a file left open for writing
    std::unique_ptr<ScriptWatcher> watcher_;
};

TEST(ScriptWatch, EditorsSavesAndToolsComeOutAsTheScriptsChanges) {
    const double q = kScriptQuietSeconds;
    std::string tooLong(kMaxScriptBytes, 'x');
    tooLong += "beyond";
    const Case cases[] = {
        {"written in place, looked at once quiet",
         {"a"},
         0,
         {{Op::Write, "a.lua", "new"},
          poll(0, ""),
          poll(q / 2, ""),
          poll(q, "~a=new"),
          poll(2 * q, "")}},
        {"added and removed",
         {"a"},
         0,
         {{Op::Write, "b.lua", "b"}, {Op::Remove, "a.lua"}, poll(0, ""), poll(q, "-a +b=b")}},
        {"vim: old file renamed to a backup, new file written, swap and test files",
         {"a"},
         0,
         {{Op::Write, ".a.lua.swp", "swap"},
          {Op::Write, "4913", ""},
          {Op::Remove, "4913"},
          {Op::Rename, "a.lua", "a.lua~"},
          {Op::Write, "a.lua", "vim"},
          {Op::Remove, "a.lua~"},
          {Op::Remove, ".a.lua.swp"},
          poll(0, ""),
          poll(q, "~a=vim")}},
        {"the same save cut by polls while the new file is written",
         {"a"},
         0,
         {{Op::Rename, "a.lua", "a.lua~"},
          poll(0, ""),
          {Op::Open, "a.lua", "vi"},
          poll(0.5, ""),
          poll(0.5 + q, ""),
          {Op::Close, "a.lua", "m"},
          poll(1, ""),
          poll(1 + q, "~a=vim")}},
        {"IDE: a temporary file renamed over the script",
         {"a"},
         0,
         {{Op::Write, "a.lua.tmp4711", "ide"},
          {Op::Rename, "a.lua.tmp4711", "a.lua"},
          poll(0, ""),
          poll(q, "~a=ide")}},
        {"a temporary .lua file renamed away before it settles",
         {},
         0,
         {{Op::Write, "tmp.lua", "t"},
          poll(0, ""),
          {Op::Rename, "tmp.lua", "t.lua.bak"},
          poll(q / 2, ""),
          poll(q / 2 + q, "")}},
        {"names that are no scripts, and sub-folders",
         {},
         0,
         {{Op::Write, ".lua", ""},
          {Op::Write, "X.LUA", ""},
          {Op::Write, "b.txt", ""},
          {Op::Mkdir, "dir.lua"},
          {Op::Write, "dir.lua/c.lua", ""},
          poll(0, ""),
          poll(q, "")}},
        {"moved out of and into the folder",
         {"a"},
         0,
         {{Op::Write, "../b.lua", "b"},
          {Op::Rename, "a.lua", "../a.lua"},
          {Op::Rename, "../b.lua", "b.lua"},
          poll(0, ""),
          poll(q, "-a +b=b")}},
        {"links, and a link to nothing (an editor's lock)",
         {},
         0,
         {{Op::Write, "../target", "linked"},
          {Op::Symlink, "../target", "s.lua"},
          {Op::Link, "../target", "h.lua"},
          {Op::Symlink, "user@host.42", ".#s.lua"},
          poll(0, ""),
          poll(q, "+h=linked +s=linked")}},
        {"at most the first block of a file, up to a zero byte",
         {"a", "b"},
         0,
         {{Op::Write, "a.lua", tooLong},
          {Op::Write, "b.lua", std::string("x = 1\0y = 2", 11)},
          poll(0, ""),
          poll(q, "~a=131072 bytes ~b=x = 1")}},
        {"a full table: a removal makes room for one addition",
         {"a"},
         kScriptSlots - 1,
         {{Op::Write, "m.lua", "m"},
          {Op::Write, "n.lua", "n"},
          {Op::Remove, "a.lua"},
          poll(0, ""),
          poll(q, "-a +m=m !n")}},
    };
    for (const Case& c : cases) {
        WatchedFolder folder(c);
        for (const Step& s : c.steps) {
            const std::string seen = folder.run(s);
            if (s.op == Op::Poll) {
                EXPECT_EQ(seen, s.b) << c.what << ", poll at " << s.time;
            }
        }
    }
}

} // namespace
