// The game's own scripts (content/Scripts) for many frames through the frame
// driver, with random controls, a new game now and then by F3, and a churn
// script that makes and removes world objects, zones, landing zones, triggers
// and moves people about each frame. After a warm-up, neither the Lua heap
// nor the process's resident memory may grow by 5% or more.
//
//   soak [--frames N] [--seed S]
#include "player/game_fixture.h"

#include "script/script_host.h"
#include "util/globals.h"

#include <Ogre.h>
#include <lua.hpp>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

long soakFrames = 20000;
std::uint64_t soakSeed = 1;

const char* const kChurn = R"LUA(
local f = (churn_frame or 0) + 1
churn_frame = f
local function try(fn, ...)
    local ok = pcall(fn, ...)
    if not ok then churn_errors = (churn_errors or 0) + 1 end
end
local i = f % 16
local gone = (f + 8) % 16
try(create_world_object, "churn" .. i, "house.mesh")
try(set_world_object_position, "churn" .. i, i * 40 - 300, 0, 1500)
try(destroy_world_object, "churn" .. gone)
try(add_collision_zone, "churnzone" .. i, i * 40 - 300, 0, 1500, 30, 30, 30, 0.5)
try(remove_collision_zone, "churnzone" .. gone)
local ok, id = pcall(create_landing_zone, 5, i, 1500, i + 10, 1510)
if ok then try(destroy_landing_zone, id) else churn_errors = (churn_errors or 0) + 1 end
try(create_trigger, "churntrigger" .. i, 1800, 1800, 1800, 1801, 1801, 1801, "churn_touch")
try(destroy_trigger, "churntrigger" .. gone)
local person = "churnman" .. (f % 4)
if not churn_people then churn_people = {} end
if not churn_people[person] then
    try(npc_create, person, "man.mesh", 1, f % 2 == 0)
    churn_people[person] = true
end
try(npc_set_position, person, (f % 200) - 100, 115, 1200)
try(npc_walk_towards, person, 0, 0, (f % 7) - 3)
churn_text = string.rep("churn", 20) .. f
)LUA";

long residentKiB() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
};

class Soak : public nbtest::GameTest {
protected:
    double luaHeapKiB() {
        lua_gc(scriptState, LUA_GCCOLLECT, 0);
        return lua_gc(scriptState, LUA_GCCOUNT, 0) + lua_gc(scriptState, LUA_GCCOUNTB, 0) / 1024.0;
    }
};

TEST_F(Soak, MemoryStaysFlatOverManyFrames) {
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
    scripts["churn"] = kChurn;
    scripts["churn_touch"] = "churn_touched = (churn_touched or 0) + 1";
    startScripts(scripts);

    std::string messages = captureStderr([] { runScript("new_game", nullptr); });
    ASSERT_EQ(messages, "");
    Random random{soakSeed};
    HotKeyClock clock;
    clock.wallSeconds = 1700000000;
    const long warmUp = soakFrames / 10;
    double heapAtWarmUp = 0;
    [[maybe_unused]] long rssAtWarmUp = 0; // unchecked under AddressSanitizer
    std::printf("soak: frame 0: Lua heap %.0f KiB, RSS %ld KiB\n", luaHeapKiB(), residentKiB());
    long errorLines = 0;
    std::string firstError;
    for (long frame = 1; frame <= soakFrames; ++frame) {
        FrameInput input;
        input.player.hasKeyboard = input.player.hasMouse = true;
        // Bursts of lift and calm, the cursor wandering about the window.
        input.player.keys.level = (frame / 90) % 3 == 0 ? static_cast<float>(random.below(9)) : 0.f;
        input.player.keys.space = random.below(200) == 0;
        input.player.mouse.width = 800;
        input.player.mouse.height = 600;
        input.player.mouse.x = 300 + random.below(200);
        input.player.mouse.y = 200 + random.below(200);
        input.player.mouse.rightButton = random.below(50) == 0;
        input.newGame = frame % 5000 == 0;
        clock.steadySeconds = frame / 30.0;
        clock.wallSeconds = 1700000000 + frame / 30;
        input.clock = clock;
        const std::string said = captureStderr([&] {
            gameFrame(1.0f / 30, input);
            runScript("churn", nullptr);
        });
        if (!said.empty()) {
            ++errorLines;
            if (firstError.empty())
                firstError = said;
        }
        if (frame == warmUp) {
            heapAtWarmUp = luaHeapKiB();
            rssAtWarmUp = residentKiB();
        }
        if (frame == warmUp || frame == 20000 || frame == soakFrames)
            std::printf("soak: frame %ld: Lua heap %.0f KiB, RSS %ld KiB\n", frame, luaHeapKiB(),
                        residentKiB());
        std::fflush(stdout);
    }
    const double heapAtEnd = luaHeapKiB();
    const long rssAtEnd = residentKiB();
    std::printf("soak: churn frames %s, refused churn calls %s, world objects %s\n",
                show("churn_frame").c_str(), show("churn_errors").c_str(),
                show("#get_all_world_objects()").c_str());
    EXPECT_EQ(errorLines, 0) << firstError;
    EXPECT_EQ(show("churn_frame"), std::to_string(soakFrames));
    EXPECT_LT(heapAtEnd, heapAtWarmUp * 1.05) << "Lua heap grew from " << heapAtWarmUp << " KiB";
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed memory in quarantine, so the resident size
    // grows there by design; the Lua heap still tells.
    EXPECT_LT(rssAtEnd, rssAtWarmUp * 1.05) << "RSS grew from " << rssAtWarmUp << " KiB";
#else
    (void)rssAtEnd;
#endif
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--frames"))
            soakFrames = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed"))
            soakSeed = std::strtoull(argv[i + 1], nullptr, 10);
    }
    return RUN_ALL_TESTS();
}
