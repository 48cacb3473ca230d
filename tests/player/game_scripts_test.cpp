// The game's own scripts (content/Scripts) on the generated media: the street
// they build, the rules they play each frame, and saving and loading.
#include "player/game_fixture.h"

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
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
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
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return -1;
        std::fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            dup2(pipeEnds[1], 2);
            prepare();
            runScript("save_game", "file", "test", nullptr);
            std::fflush(stderr);
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

} // namespace
