// The game's own scripts (content/Scripts) on the generated media: the street
// they build, the rules they play each frame, and saving and loading.
#include "player/game_fixture.h"

#include "hud/display_aids.h"
#include "hud/display_text.h"

#include "npc/npc.h"
#include "player/player.h"
#include "script/script_host.h"
#include "util/globals.h"
#include "world/collision_zones.h"
#include "world/triggers.h"
#include "world/world_objects.h"

#include <Ogre.h>

#include <lua.hpp>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace {

class GameScriptsTest : public nbtest::GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        if (!Ogre::ResourceGroupManager::getSingleton().resourceExistsInAnyGroup("house.mesh"))
            GTEST_SKIP() << "the generated street media are not built";
        std::map<std::string, std::string> scripts;
        for (const auto& entry : std::filesystem::directory_iterator(NB_SOURCE_DIR "/content/Scripts")) {
            if (entry.path().extension() != ".lua")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            scripts[entry.path().stem().string()] = text.str();
        }
        startScripts(scripts);
    }

    static std::string readFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void writeFile(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    // Runs "save_game" for file "test" in a child process after prepare();
    // returns its wait status and keeps its standard error in childErr.
    template <class Prepare> int saveInChild(Prepare prepare) {
        return inChild([&] {
            prepare();
            runScript("save_game", "file", "test", nullptr);
        });
    }
    // Runs work in a child process; returns its wait status and keeps its
    // standard error in childErr.
    template <class Work> int inChild(Work work) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return -1;
        std::fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            dup2(pipeEnds[1], 2);
            work();
            std::fflush(nullptr);
            _exit(0);
        }
        close(pipeEnds[1]);
        childErr.clear();
        char buffer[512];
        for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            childErr.append(buffer, static_cast<std::size_t>(got));
        close(pipeEnds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }
    std::string childErr;

    std::string newGame() {
        return captureStderr([] { runScript("new_game", nullptr); });
    }

    // One frame through the frame driver, the microphone at level.
    std::string frame(float dt, float level = 0) {
        return captureStderr([&] { gameFrame(dt, level); });
    }

    int peopleCount() {
        int n = 0;
        for (int i = 0; i < kNpcSlots; ++i)
            n += npcAt(i) != nullptr;
        return n;
    }
};

TEST_F(GameScriptsTest, NewGameBuildsTheStreetOnceAndStartsThePlayerOver) {
    ASSERT_EQ(newGame(), "");
    const int objects = worldObjectCount();
    const int zones = collisionZoneCount();
    EXPECT_GT(objects, 20);
    EXPECT_GT(zones, 20);
    EXPECT_EQ(peopleCount(), 8);
    EXPECT_NE(findTrigger("nest"), nullptr);
    EXPECT_EQ(show("get_player_position()"), "{0, 10, 0}");
    // The start is open air: not inside any zone.
    Ogre::Vector3 corrected;
    bool onTop = false;
    EXPECT_FALSE(resolveZoneCollisions(Ogre::Vector3(0, 10, 0), corrected, onTop));

    // F3 in the middle of a game: no errors, nothing doubled, the player
    // back at the start with full health and no blood.
    EXPECT_EQ(run("set_player_position(300, 40, 20); set_player_health(20); set_player_bloodlevel(90)"), "");
    ASSERT_EQ(newGame(), "");
    EXPECT_EQ(worldObjectCount(), objects);
    EXPECT_EQ(collisionZoneCount(), zones);
    EXPECT_EQ(peopleCount(), 8);
    EXPECT_EQ(show("get_player_position()"), "{0, 10, 0}");
    EXPECT_EQ(show("get_player_health()"), "100");
    EXPECT_EQ(show("get_player_bloodlevel()"), "0");
}

TEST_F(GameScriptsTest, PeopleWalkTheStreetWithoutStickingTogether) {
    ASSERT_EQ(newGame(), "");
    Ogre::Vector3 start[8];
    for (int i = 0; i < 8; ++i)
        start[i] = npcAt(i)->getPosition();
    float travelled[8] = {};
    // A minute and a half at 30 frames a second, the insect resting.
    for (int f = 0; f < 2700; ++f) {
        ASSERT_EQ(frame(1.0f / 30), "") << "frame " << f;
        for (int i = 0; i < 8; ++i) {
            const Ogre::Vector3 p = npcAt(i)->getPosition();
            ASSERT_FLOAT_EQ(p.y, 115.0f) << npcAt(i)->getName();
            ASSERT_LT(std::fabs(p.x), 2000.0f);
            ASSERT_LT(std::fabs(p.z), 2000.0f);
            travelled[i] = std::max(travelled[i], p.distance(start[i]));
            for (int j = 0; j < i; ++j) {
                const Ogre::Vector3 q = npcAt(j)->getPosition();
                ASSERT_GE(Ogre::Vector2(p.x - q.x, p.z - q.z).length(), 60.0f)
                    << npcAt(i)->getName() << " and " << npcAt(j)->getName() << " met";
            }
        }
    }
    // Everyone got somewhere, and turned back somewhere too (walls, crates,
    // lamps), so they are still walking.
    for (int i = 0; i < 8; ++i) {
        EXPECT_GT(travelled[i], 300.0f) << npcAt(i)->getName();
        EXPECT_NE(npcAt(i)->getVelocity(), Ogre::Vector3::ZERO) << npcAt(i)->getName();
    }
}

TEST_F(GameScriptsTest, DrinkingFillsTheInsectUntilThePersonSlaps) {
    ASSERT_EQ(newGame(), "");
    frame(1.0f / 30); // the welcome trigger runs and removes itself
    Npc* anna = findNpc("anna");
    ASSERT_NE(anna, nullptr);
    player->getCharacter().setPosition(anna->getPosition() + Ogre::Vector3(0, 60, 0));
    frame(1.0f / 30, 4);
    ASSERT_EQ(show("get_currently_sucked_npc()"), "\"anna\"");

    // Anna's blood type is the player's ("A"): 40 a second.
    for (int f = 0; f < 30; ++f)
        ASSERT_EQ(frame(1.0f / 30, 4), "");
    const double level = std::atof(show("get_player_bloodlevel()").c_str());
    EXPECT_NEAR(level, 40.0, 3.0);

    // Three seconds of it and she slaps; it lands 0.6 s later.
    std::string said;
    for (int f = 0; f < 120; ++f)
        said += frame(1.0f / 30, 4);
    EXPECT_EQ(show("get_player_health()"), "66");
    EXPECT_EQ(said, "") << "script errors";
    EXPECT_TRUE(anna->slapAnimation()->getEnabled() || anna->stepAnimation()->getEnabled());
}

TEST_F(GameScriptsTest, TheNestBanksTheBlood) {
    ASSERT_EQ(newGame(), "");
    EXPECT_EQ(run("set_player_bloodlevel(120); set_player_position(800, 950, 0)"), "");
    frame(1.0f / 30, 4);
    EXPECT_EQ(show("get_player_bloodlevel()"), "0");
    EXPECT_EQ(show("game.banked"), "120");
    EXPECT_EQ(show("get_player_powerups()"), "{}");
    // Leave the nest and come back with more: past 300, the powerup.
    EXPECT_EQ(run("set_player_position(0, 950, 0)"), "");
    frame(1.0f / 30, 4);
    EXPECT_EQ(run("set_player_bloodlevel(200); set_player_position(800, 950, 0)"), "");
    frame(1.0f / 30, 4);
    EXPECT_EQ(show("game.banked"), "320");
    EXPECT_EQ(show("get_player_powerups()"), "{\"proboscis\"}");
}

TEST_F(GameScriptsTest, SaveAndLoadRoundTrip) {
    ASSERT_EQ(newGame(), "");
    EXPECT_EQ(run("set_player_position(12.5, 300, -40); set_player_health(55)\n"
                  "set_player_bloodlevel(33.25); set_player_bloodtype('AB')\n"
                  "register_player_powerup('proboscis'); game.banked = 77"),
              "");
    EXPECT_EQ(captureStderr([] { runScript("save_game", "file", "test", nullptr); }), "");
    ASSERT_TRUE(std::filesystem::exists(workDir() / "Resources" / "test.sav"));

    EXPECT_EQ(run("set_player_position(0, 5, 0); set_player_health(1); set_player_bloodlevel(0)\n"
                  "set_player_bloodtype('B'); unregister_player_powerup('proboscis'); game.banked = 0"),
              "");
    EXPECT_EQ(captureStderr([] { runScript("load_game", "file", "test", nullptr); }), "");
    EXPECT_EQ(show("get_player_position()"), "{12.5, 300, -40}");
    EXPECT_EQ(show("get_player_health()"), "55");
    EXPECT_EQ(show("get_player_bloodlevel()"), "33.25");
    EXPECT_EQ(show("get_player_bloodtype()"), "\"AB\"");
    EXPECT_EQ(show("get_player_powerups()"), "{\"proboscis\"}");
    EXPECT_EQ(show("game.banked"), "77");

    // A name that would leave the folder is refused; a missing save is told.
    std::string out = captureStderr([] { runScript("save_game", "file", "../escape", nullptr); });
    EXPECT_EQ(out, "");
    EXPECT_FALSE(std::filesystem::exists(workDir() / "escape.sav"));
    EXPECT_EQ(captureStderr([] { runScript("load_game", "file", "nothing", nullptr); }), "");
    EXPECT_EQ(show("get_player_health()"), "55");

    // A damaged save is refused whole, with one line naming the file; a CRLF
    // save loads.
    const std::string before = show("{get_player_position(), get_player_health(), "
                                    "get_player_bloodlevel(), get_player_powerups(), game.banked}");
    std::string good = readFile(workDir() / "Resources" / "test.sav");
    std::string many = "nightbite-save 1\n" + good.substr(good.find('\n') + 1, good.find("powerup") - good.find('\n') - 1);
    for (int i = 0; i < 33; ++i)
        many += "powerup p" + std::to_string(i) + "\n";
    const std::pair<const char*, std::string> damaged[] = {
        {"cut short", good.substr(0, good.size() / 2)},
        {"cut at a line end", good.substr(0, good.find("powerup"))},
        {"empty", ""},
        {"binary", std::string("nightbite-save 1\nhealth 9\0\n", 28)},
        {"not a number", "nightbite-save 1\nposition nan 1 2\nhealth 9\nend\n"},
        {"missing field", "nightbite-save 1\nhealth 9\nend\n"},
        {"too many powerups", many + "end\n"},
        {"newer version", "nightbite-save 2\n" + good.substr(good.find('\n') + 1)},
        {"over long", std::string(70000, 'x') + "\n"},
    };
    for (const auto& [what, text] : damaged) {
        writeFile(workDir() / "Resources" / "broken.sav", text);
        std::string err = captureStderr([] { runScript("load_game", "file", "broken", nullptr); });
        EXPECT_EQ(err.rfind("Not loaded from Resources/broken.sav: ", 0), 0u) << what << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << what << ": " << err;
        EXPECT_EQ(show("{get_player_position(), get_player_health(), get_player_bloodlevel(), "
                       "get_player_powerups(), game.banked}"),
                  before)
            << what;
    }
    std::string crlf;
    for (char c : good)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    writeFile(workDir() / "Resources" / "windows.sav", crlf);
    EXPECT_EQ(run("set_player_bloodtype('B'); unregister_player_powerup('proboscis')"), "");
    EXPECT_EQ(captureStderr([] { runScript("load_game", "file", "windows", nullptr); }), "");
    EXPECT_EQ(show("get_player_bloodtype()"), "\"AB\"");
    EXPECT_EQ(show("get_player_powerups()"), "{\"proboscis\"}");
}

// Saving happens in a child process that is killed at every point of the
// save script in turn, or runs out of file size, or may not write the folder:
// the previous save always stays whole, and a failure says so in one line.
TEST_F(GameScriptsTest, SavesNeverBreak) {
    ASSERT_EQ(newGame(), "");
    EXPECT_EQ(run("set_player_health(42); register_player_powerup('proboscis')"), "");
    EXPECT_EQ(captureStderr([] { runScript("save_game", "file", "test", nullptr); }), "");
    const std::filesystem::path save = workDir() / "Resources" / "test.sav";
    const std::string previous = readFile(save);
    EXPECT_EQ(run("set_player_health(7); set_player_position(1, 2, 3)"), "");

    bool completed = false;
    for (int count = 1; count < 5000 && !completed; ++count) {
        int status = saveInChild([count] {
            lua_sethook(scriptState, [](lua_State*, lua_Debug*) { raise(SIGKILL); }, LUA_MASKCOUNT, count);
        });
        completed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!completed) {
            ASSERT_TRUE(WIFSIGNALED(status)) << status;
            std::string now = readFile(save);
            ASSERT_TRUE(now == previous || now.find("health 7\n") != std::string::npos)
                << "killed after " << count << " instructions:\n" << now;
        }
    }
    ASSERT_TRUE(completed);
    EXPECT_NE(readFile(save).find("health 7\n"), std::string::npos);
    writeFile(save, previous);

    // A full disk: the file may not grow past a few bytes.
    saveInChild([] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{40, 40};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(readFile(save), previous);
    EXPECT_EQ(childErr.rfind("Not saved to Resources/test.sav: ", 0), 0u) << childErr;
    EXPECT_EQ(std::count(childErr.begin(), childErr.end(), '\n'), 1) << childErr;

    // A folder that may not be written (root may write anywhere, so the child
    // gives up root first).
    std::filesystem::permissions(workDir() / "Resources", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::filesystem::permissions(workDir(), std::filesystem::perms::others_exec | std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    std::filesystem::permissions(workDir() / "Resources", std::filesystem::perms::others_exec | std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    saveInChild([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
    });
    std::filesystem::permissions(workDir() / "Resources", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(readFile(save), previous);
    EXPECT_EQ(childErr.rfind("Not saved to Resources/test.sav: ", 0), 0u) << childErr;

    EXPECT_EQ(captureStderr([] { runScript("load_game", "file", "test", nullptr); }), "");
    EXPECT_EQ(show("get_player_health()"), "42");
}

// Whatever the player's state holds, the save writes what the load reads
// back: a number beyond what the loader reads is saved as the nearest one it
// reads, a powerup name that would not read back is left out, one line each.
TEST_F(GameScriptsTest, ASaveAlwaysLoadsBack) {
    struct Row {
        const char* state;
        const char* said;
        const char* read;
        const char* readBack;
    };
    const Row rows[] = {
        {"register_player_powerup('')",
         "The powerup \"\" is not saved: its name would not load back\n", "get_player_powerups()",
         "{}"},
        {"register_player_powerup('two\\nlines') register_player_powerup('kept')",
         "The powerup \"two\\nlines\" is not saved: its name would not load back\n",
         "get_player_powerups()", "{\"kept\"}"},
        {"register_player_powerup('cr\\r')",
         "The powerup \"cr\\r\" is not saved: its name would not load back\n",
         "get_player_powerups()", "{}"},
        {"set_player_bloodlevel(math.huge)",
         "The blood level 1.7976931348623e+308 cannot be saved as it is; saved as "
         "9.9999999999999991e+28\n",
         "get_player_bloodlevel()", "9.9999999999999991e+28"},
        {"game.banked = -math.huge",
         "The banked blood -inf cannot be saved as it is; saved as -9.9999999999999991e+28\n",
         "game.banked", "-9.9999999999999991e+28"},
        {"game.banked = 'lots'", "The banked blood lots cannot be saved as it is; saved as 0\n",
         "game.banked", "0"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(newGame(), "");
        EXPECT_EQ(run(row.state), "") << row.state;
        EXPECT_EQ(captureStderr([] { runScript("save_game", "file", "test", nullptr); }), row.said)
            << row.state;
        EXPECT_EQ(run("set_player_bloodlevel(5) game.banked = 5 register_player_powerup('other')"),
                  "");
        EXPECT_EQ(captureStderr([] { runScript("load_game", "file", "test", nullptr); }), "")
            << row.state;
        EXPECT_EQ(show(row.read), row.readBack) << row.state;
    }
}

// A save that is not a file is refused at once with the reason; a FIFO once
// held the game for ever, and a folder was said to be too long.
TEST_F(GameScriptsTest, ASaveThatIsNoFileIsRefusedWithTheReason) {
    ASSERT_EQ(newGame(), "");
    const std::filesystem::path odd = workDir() / "Resources" / "odd.sav";
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { std::filesystem::create_directory(odd); }, "Resources/odd.sav: Is a directory"},
        {[&] { mkfifo(odd.c_str(), 0600); }, "it is not a regular file"},
        {[&] { std::filesystem::create_symlink("/dev/zero", odd); },
         "it is not a regular file, or it changed while it was read"},
    };
    for (const auto& [make, reason] : rows) {
        std::filesystem::remove_all(odd);
        make();
        EXPECT_EQ(captureStderr([] { runScript("load_game", "file", "odd", nullptr); }),
                  "Not loaded from Resources/odd.sav: " + reason + "; nothing was changed\n");
    }
    // Saving over a folder fails with its reason, and leaves no temporary file.
    std::filesystem::remove_all(odd);
    std::filesystem::create_directory(odd);
    const std::string said = captureStderr([] { runScript("save_game", "file", "odd", nullptr); });
    EXPECT_EQ(said.rfind("Not saved to Resources/odd.sav: ", 0), 0u) << said;
    EXPECT_NE(said.find("Is a directory; the previous save is kept\n"), std::string::npos) << said;
    for (const auto& entry : std::filesystem::directory_iterator(workDir() / "Resources"))
        EXPECT_NE(entry.path().extension(), ".new") << entry.path();
}

// Resources/best_score is read as a whole number of at most 15 digits (else
// 0, as for a missing file), never as one beyond what the status line can
// show; a failed write says why.
TEST_F(GameScriptsTest, TheBestScoreIsABoundedWholeNumber) {
    const std::filesystem::path best = workDir() / "Resources" / "best_score";
    const std::pair<const char*, const char*> rows[] = {
        {"42\n", "42"},
        {" 7 \n", "7"},
        {"999999999999999\n", "999999999999999"},
        {"18446744073709551616\n", "0"},
        {"1e300\n", "0"},
        {"-5\n", "0"},
        {"", "0"},
        {nullptr, "0"}, // a FIFO
    };
    for (const auto& [text, read] : rows) {
        // The file is read when the street is built, once.
        EXPECT_EQ(run("game.built = nil"), "");
        destroyAllWorldObjects();
        clearTriggers();
        resetZones();
        clearNpcTable();
        std::filesystem::remove(best);
        if (text)
            writeFile(best, text);
        else
            mkfifo(best.c_str(), 0600);
        ASSERT_EQ(newGame(), "") << (text ? text : "FIFO");
        EXPECT_EQ(show("game.best"), read) << (text ? text : "FIFO");
    }
    std::filesystem::remove(best);
    addScript("record", "game.best = 0 game.banked = 12345 game.recordBest()");
    inChild([] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1, 1};
        setrlimit(RLIMIT_FSIZE, &limit);
        runScript("record", nullptr);
    });
    EXPECT_EQ(childErr, "Best score not kept in Resources/best_score: File too large\n");
}

// Two games in one folder, each saving and keeping its best score over and
// over while a reader looks at both files all the time: each look finds one
// game's whole file, never the bytes of both, and neither game is told that
// its save failed.
TEST_F(GameScriptsTest, TwoGamesInOneFolderNeverMixTheirSaves) {
    ASSERT_EQ(newGame(), "");
    const std::filesystem::path save = workDir() / "Resources" / "test.sav";
    const std::filesystem::path best = workDir() / "Resources" / "best_score";
    const char* const states[2] = {
        "set_player_health(11) set_player_position(1, 2, 3) game.banked = 111",
        "set_player_health(22) set_player_position(4, 5, 6) game.banked = 222"};
    addScript("record", "game.best = 0 game.recordBest()");
    std::string saved[2];
    pid_t writers[2];
    for (int i = 0; i < 2; ++i) {
        // The save that game writes, as written alone.
        ASSERT_EQ(run(states[i]), "");
        ASSERT_EQ(captureStderr([] { runScript("save_game", "file", "test", nullptr); }), "");
        saved[i] = readFile(save);
        std::fflush(nullptr);
        writers[i] = fork();
        if (writers[i] == 0) {
            const std::string log = (workDir() / ("writer" + std::to_string(i))).string();
            std::freopen(log.c_str(), "w", stderr);
            for (int n = 0; n < 300; ++n) {
                runScript("save_game", "file", "test", nullptr);
                runScript("record", nullptr);
            }
            std::fflush(nullptr);
            _exit(0);
        }
    }
    long looks = 0;
    for (int alive = 2; alive > 0; ++looks) {
        const std::string now = readFile(save), kept = readFile(best);
        ASSERT_TRUE(now == saved[0] || now == saved[1]) << "look " << looks << ":\n" << now;
        ASSERT_TRUE(kept == "" || kept == "111\n" || kept == "222\n")
            << "look " << looks << ": " << kept;
        alive = 0;
        for (pid_t writer : writers)
            alive += waitpid(writer, nullptr, WNOHANG) == 0;
    }
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(readFile(workDir() / ("writer" + std::to_string(i))), "") << "writer " << i;
    EXPECT_GT(looks, 0);
}

// The rules a newcomer leans on, a row each, every row from a new game: a
// warning with its sound at least a second before every slap; the climbing
// limit, where the blood meter's mark stands, and its message; the best score
// kept the moment a bank beats it; F3 facing the start heading again; Space
// letting go at its first press once the round is over; a round that starts
// on a head at rest until the insect lets go; F3 calling off a slap.
TEST_F(GameScriptsTest, RulesForANewcomer) {
    const float dt = 1.0f / 30;
    // The scripts' sounds and messages, each with the game time it came at.
    ASSERT_EQ(run("nb_time, nb_log = 0, {}\n"
                  "local sound, message = play_sound, hud_message\n"
                  "play_sound = function(n) table.insert(nb_log, {nb_time, 'sound ' .. n}); sound(n) end\n"
                  "hud_message = function(t, s)\n"
                  "  table.insert(nb_log, {nb_time, 'message ' .. t}); message(t, s) end"),
              "");
    auto step = [&](int frames, float level = 4) {
        for (int f = 0; f < frames; ++f) {
            run("nb_time = nb_time + " + std::to_string(dt));
            ASSERT_EQ(frame(dt, level), "");
        }
    };
    auto logged = [&](const std::string& what) {
        return std::atof(show("(function() for _, e in ipairs(nb_log) do if e[2] == '" + what +
                              "' then return e[1] end end return -1 end)()")
                             .c_str());
    };
    auto hangOn = [&](const char* name) {
        run(std::string("npc_stop_walking('") + name + "'); npc_set_position('" + name +
            "', 60, 115, -250); set_player_position(60, 175, -250); nb_log = {}");
        step(1);
        ASSERT_EQ(show("get_currently_sucked_npc()"), std::string("\"") + name + "\"");
    };

    // Away from the person for a frame that the rules see.
    auto letGo = [&] {
        keys(0, false, false, true);
        run("set_player_position(0, 600, 0)");
        step(1);
        ASSERT_EQ(show("get_currently_sucked_npc()"), "nil");
    };

    // One slap left, on anna's head until the round is over.
    auto swattedOnAnna = [&] {
        run("set_player_health(34)");
        hangOn("anna");
        for (int f = 0; f < 10 * 30 && show("game.over") != "true"; ++f)
            step(1);
    };
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"a warning and its sound come at least 1 s before every slap",
         [&] {
             hangOn("anna");
             Npc* anna = findNpc("anna");
             std::vector<double> slaps;
             bool slapping = false;
             for (int f = 0; f < 12 * 30 && show("game.over") != "true"; ++f) {
                 step(1);
                 const bool now = anna->slapAnimation()->getEnabled();
                 if (now && !slapping)
                     slaps.push_back(std::atof(show("nb_time").c_str()));
                 slapping = now;
             }
             EXPECT_EQ(show("get_player_health()"), "0");
             ASSERT_EQ(slaps.size(), 3u) << "three slaps end the round";
             std::istringstream log(show("(function() local t = {} for _, e in ipairs(nb_log) do "
                                         "if e[2] == 'sound warning' then table.insert(t, e[1]) end "
                                         "end return table.concat(t, ' ') end)()")
                                        .substr(1));
             std::vector<double> warnings{std::istream_iterator<double>(log), {}};
             ASSERT_EQ(warnings.size(), slaps.size());
             for (std::size_t i = 0; i < slaps.size(); ++i) {
                 EXPECT_GE(slaps[i] - warnings[i], 1.0 - 1e-6) << "slap " << i;
                 if (i > 0) {
                     EXPECT_GT(warnings[i], slaps[i - 1]) << "slap " << i << " warned anew";
                 }
             }
             EXPECT_GE(logged("message About to be slapped! Press Space to get away\\n"
                             "while you climb: hold Shift or the left button, or whistle"),
                      0);
         }},
        {"the meter's mark is where full thrust stops climbing, and crossing it says so",
         [&] {
             EXPECT_EQ(DisplayAids::kClimbMarkLoad, flight::heaviestClimbingLoad());
             for (double load : {DisplayAids::kClimbMarkLoad - 1, DisplayAids::kClimbMarkLoad}) {
                 flight::FlightState s;
                 s.thrust = 1;
                 s.bloodLevel = load;
                 const flight::FlightStep climb = flight::stepFlight(
                     s, flight::MouseInput{400, 300, 800, 600}, dt, Ogre::Vector3(0, 100, 0), nullptr);
                 EXPECT_EQ(climb.position.y > 100, load < DisplayAids::kClimbMarkLoad) << load;
             }
             run("set_player_bloodlevel(140)");
             hangOn("anna");
             double before = 140, crossedAt = -1, slowest = 1e9;
             while (crossedAt < 0 && std::atof(show("nb_time").c_str()) < 3) {
                 step(1);
                 const double level = std::atof(show("get_player_bloodlevel()").c_str());
                 slowest = std::min(slowest, (level - before) / dt);
                 if (level >= DisplayAids::kClimbMarkLoad)
                     crossedAt = std::atof(show("nb_time").c_str());
                 before = level;
             }
             ASSERT_GE(crossedAt, 0) << "the load never reached the mark";
             EXPECT_LT(slowest, 40 * 0.5) << "drinking slows near the mark";
             EXPECT_NEAR(logged("message Too heavy to climb: drop the blood to fly off.\\n"
                                "Hold Shift and the right button, then press Space"),
                         crossedAt, 1e-6);
             run("set_player_bloodlevel(199.5)");
             step(30);
             EXPECT_EQ(show("get_player_bloodlevel()"), "200");
         }},
        {"the best score is kept the moment a bank beats it",
         [&] {
             std::filesystem::remove(workDir() / "Resources" / "best_score");
             run("game.best = 0; set_player_bloodlevel(120); set_player_position(700, 980, 0)");
             step(1);
             EXPECT_EQ(readFile(workDir() / "Resources" / "best_score"), "120\n");
             ASSERT_EQ(newGame(), "");
             EXPECT_EQ(show("game.best"), "120");
         }},
        {"F3 faces the start heading again",
         [&] {
             run("set_player_position(0, 300, 0)");
             for (int f = 0; f < 30; ++f)
                 GameTest::frame(dt, 800, 300); // the right edge: turning
             EXPECT_LT(player->getCharacter().flightState().yaw, -0.5f);
             ASSERT_EQ(newGame(), "");
             EXPECT_EQ(player->getCharacter().flightState().yaw, 0.0f);
             EXPECT_EQ(show("get_player_orientation()"), "{1, 0, 0, 0, 1, 0, 0, 0, 1}");
             run("set_player_position(0, 300, 0); set_player_speed(6, 0, 0)");
             for (int f = 0; f < 30; ++f)
                 GameTest::frame(dt);
             const Ogre::Vector3 p = player->getCharacter().getPosition();
             EXPECT_NEAR(p.x, 0, 1e-3);
             EXPECT_GT(p.z, 100);
         }},
        {"Space lets go at its first press after the round ends",
         [&] {
             swattedOnAnna();
             ASSERT_EQ(show("game.over"), "true");
             ASSERT_EQ(show("get_currently_sucked_npc()"), "\"anna\"");
             FrameInput tap;
             tap.player.hasKeyboard = tap.player.hasMouse = true;
             tap.player.mouse = flight::MouseInput{400, 300, 800, 600};
             tap.player.keys.space = true;
             gameFrame(dt, tap);
             step(3);
             EXPECT_EQ(show("get_currently_sucked_npc()"), "nil");
         }},
        {"a round ended on a head starts there saying how to leave, at rest until the insect "
         "lets go; a loaded one is told to drop",
         [&] {
             swattedOnAnna();
             ASSERT_EQ(show("game.over"), "true");
             ASSERT_EQ(newGame(), "");
             EXPECT_GE(logged("message New round: you are still on Anna, who is calm.\\n"
                              "Hold Shift (or whistle) a second, press Space, keep holding"),
                       0);
             run("nb_log = {}");
             step(5 * 30);
             EXPECT_EQ(show("get_currently_sucked_npc()"), "\"anna\"");
             EXPECT_EQ(show("{get_player_bloodlevel(), get_player_health(), "
                            "npc_get_annoyancelevel('anna'), #nb_log}"),
                       "{0, 100, 0, 0}");
             letGo();
             EXPECT_GE(logged("message "), 0) << "the note about anna outlived the rest";
             hangOn("anna");
             step(30);
             EXPECT_GT(std::atof(show("get_player_bloodlevel()").c_str()), 30);
             EXPECT_GT(std::atof(show("npc_get_annoyancelevel('anna')").c_str()), 0.3);
             run("set_player_bloodlevel(160)");
             for (int f = 0; f < 3 * 30 && show("game.warnedFor.anna") == "nil"; ++f)
                 step(1);
             EXPECT_GE(logged("message About to be slapped, and too heavy to climb away!\\n"
                              "Hold Shift and the right button, then press Space"),
                       0);
         }},
        {"F3 calls off a slap under way: the person walks on without it",
         [&] {
             hangOn("anna");
             Npc* anna = findNpc("anna");
             for (int f = 0; f < 4 * 30 && !anna->slapAnimation()->getEnabled(); ++f)
                 step(1);
             ASSERT_TRUE(anna->slapAnimation()->getEnabled());
             ASSERT_EQ(newGame(), "");
             step(1);
             EXPECT_FALSE(anna->slapAnimation()->getEnabled());
             EXPECT_TRUE(anna->stepAnimation()->getEnabled());
         }},
    };
    for (const auto& [name, body] : rows) {
        SCOPED_TRACE(name);
        // A new game leaves a hanging insect on its person: let go first.
        if (player->getCharacter().getSuckedNpc()) {
            run("npc_set_position('anna', -450, 115, -300)");
            keys(0, false, false, true);
        }
        ASSERT_EQ(newGame(), "");
        ASSERT_EQ(run("nb_time, nb_log = 0, {}"), "");
        body();
    }
}

// F5 and F8 say on the display how they went.
TEST_F(GameScriptsTest, SaveAndLoadSayHowTheyWent) {
    const struct {
        const char* event;
        const char* file;
        const char* message;
    } rows[] = {
        {"load_game", "none", "No saved game to load (F5 saves one)"},
        {"save_game", "test", "Saved"},
        {"load_game", "test", "Loaded"},
        {"save_game", "a.b", "Not saved: bad save name a.b"},
    };
    for (const auto& row : rows) {
        captureStderr([&] { runScript(row.event, "file", row.file, nullptr); });
        EXPECT_EQ(hudText().message(), row.message) << row.event << " " << row.file;
    }
}

// When each step of the guide counts as done, from what a frame saw.
TEST_F(GameScriptsTest, GuideStepsPassWhenDone) {
    ASSERT_EQ(newGame(), "");
    const std::string base = "y = 10, rise = 0, moved = 0, free = 0, blood = 0, toNest = 5000, banked = 0";
    const struct {
        int step;
        const char* seen;
        bool done;
    } rows[] = {
        {1, "y = 150, rise = 99", false}, // high already, as when H shows it again
        {1, "y = 400, rise = 100", true},
        {1, "y = 1600, rise = 0", true}, // near the ceiling, no rise left
        {5, "host = 'anna', blood = 40", false},
        {5, "free = 0.2, blood = 40", false}, // let go, and back on the person at once
        {5, "free = 1, blood = 40", true},
        {5, "free = 3, blood = 0", false},
    };
    for (const auto& row : rows) {
        const std::string seen = "(function() local s = {" + base + "} for k, v in pairs({" +
                                 row.seen + "}) do s[k] = v end return s end)()";
        EXPECT_EQ(show("game.guideSteps[" + std::to_string(row.step) + "][3](" + seen +
                       ") and true or false"),
                  row.done ? "true" : "false")
            << "step " << row.step << " after " << row.seen;
    }
}

} // namespace
