// One simulated frame of game logic at full tables, headless: 512 people
// walking, 1024 collision zones, 512 triggers, the insect flying, the display
// and the camera updated, and a "frame_started" script calling a few script
// functions. Targets: the people update at most 0.3 ms, the whole frame's
// logic at most 0.5 ms.
//
// The counters allocs_per_frame and hud_allocs count C++ allocations
// (operator new) made by the program's own per-frame steps and by the
// display; both must stay 0.
#include "app/player_camera.h"
#include "hud/hud.h"
#include "npc/npc.h"
#include "player/player.h"
#include "player/test_meshes.h"
#include "script/script_host.h"
#include "util/globals.h"
#include "world/collision_zones.h"
#include "world/triggers.h"

#include <benchmark/benchmark.h>

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayContainer.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgreOverlaySystem.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <unistd.h>

namespace {
std::atomic<long> allocations{0};
}

// The replacements below pair malloc with free themselves; GCC cannot see
// that through operator new once it inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr float kDt = 1.0f / 60;

const char* const kFrameStarted = R"(
local p = get_player_position()
local who = get_currently_sucked_npc()
if who then
    npc_set_annoyancelevel(who, (npc_get_annoyancelevel(who) or 0) + get_time_since_last_frame())
end
if p[2] < 0 then set_player_position(p[1], 0, p[3]) end
)";

// The headless engine and a street at full tables, made once.
struct Street {
    Street() {
        logs = new Ogre::LogManager;
        logs->createLog("frame_bench.log", true, false, true);
        engineRoot = new Ogre::Root("", "", "");
        buffers = new Ogre::DefaultHardwareBufferManager;
        Ogre::MaterialManager::getSingleton().initialise();
        overlays = new Ogre::OverlaySystem();
        ::root = engineRoot;
        sceneManager = engineRoot->createSceneManager();
        for (const char* body : {"komar_nic.mesh", "komar_motor.mesh", "komar_nadrze.mesh", "komar_full.mesh"})
            nbtest::ensureAnimatedMesh(body, {"let", "sedi"});
        nbtest::ensureAnimatedMesh("man.mesh", {"step", "slap", "aftersuck"});
        makeOverlay();

        // Scripts from a folder of their own.
        workDir = std::filesystem::temp_directory_path() / ("nb_frame_bench_" + std::to_string(getpid()));
        std::filesystem::create_directories(workDir / "Resources" / "Scripts");
        std::ofstream(workDir / "Resources" / "Scripts" / "frame_started.lua") << kFrameStarted;
        std::ofstream(workDir / "Resources" / "Scripts" / "entered.lua") << "entered = (entered or 0) + 1\n";
        std::filesystem::current_path(workDir);
        initScriptHost();
        resetZones();
        clearNpcTable();

        camera = new PlayerCamera(sceneManager);
        player = new Player();
        hud = new Hud();

        std::mt19937 rng(2024);
        std::uniform_real_distribution<float> across(-4000, 4000);
        std::uniform_real_distribution<float> size(50, 400);
        std::uniform_real_distribution<float> turn(0, 6.2831853f);
        for (int i = 0; i < kCollisionZoneSlots; ++i)
            addCollisionZone("zone" + std::to_string(i), Ogre::Vector3(across(rng), -100, across(rng)),
                             Ogre::Vector3(size(rng), size(rng), size(rng)), turn(rng));
        for (int i = 0; i < kTriggerSlots; ++i) {
            float lo[3] = {across(rng), 0, across(rng)};
            float hi[3] = {lo[0] + 200, 300, lo[2] + 200};
            createTrigger("trigger" + std::to_string(i), lo, hi, "entered");
        }
        // People along streets, some close enough to keep each other apart.
        std::uniform_real_distribution<float> pace(-120, 120);
        for (int i = 0; i < kNpcSlots; ++i) {
            Npc* npc = createNpc("person" + std::to_string(i), "man.mesh", 1, i % 3 == 0);
            npc->setPosition(Ogre::Vector3(across(rng), 115, (i % 64) * 45.0f - 1500));
            npc->walkTowards(Ogre::Vector3(pace(rng) + (pace(rng) > 0 ? 40 : -40), 0, pace(rng)));
        }
        // High above the people's reach: the insect keeps flying.
        player->getCharacter().setPosition(Ogre::Vector3(0, 600, 0));
    }

    void makeOverlay() {
        Ogre::OverlayManager& om = Ogre::OverlayManager::getSingleton();
        Ogre::Overlay* overlay = om.create("Nightbite_new");
        auto* panel = static_cast<Ogre::OverlayContainer*>(om.createOverlayElement("Panel", "Nightbite_new/Elements"));
        for (const char* name : {"Nightbite_new/Elements/ThrustIndicator",
                                 "Nightbite_new/Elements/AltituteIndicator",
                                 "Nightbite_new/Elements/SpeedIndicator", "Nightbite_new/GunSight",
                                 "Nightbite_new/BloodMeter/Blood"})
            panel->addChild(om.createOverlayElement("TextArea", name));
        // What the game hears, and the scripts' status line and message.
        for (const char* name : {"Nightbite_new/LevelMeter/Level", "Nightbite_new/Hearing/Lamp",
                                 "Nightbite_new/NoMicrophone"})
            panel->addChild(om.createOverlayElement("Panel", name));
        panel->addChild(om.createOverlayElement("TextArea", "Nightbite_new/Hearing/Frequency"));
        for (const char* name : {"Nightbite_new/Status", "Nightbite_new/Message"}) {
            auto* backing = static_cast<Ogre::OverlayContainer*>(om.createOverlayElement("Panel", name));
            backing->addChild(om.createOverlayElement("TextArea", std::string(name) + "/Text"));
            panel->addChild(backing);
        }
        overlay->add2D(panel);
    }

    // The steps of a frame in the frame listener's order; the script event
    // only when scripts is set.
    void frame(float dt, int mouseX, bool scripts) {
        PlayerCharacter& insect = player->getCharacter();
        checkTriggers(insect.getPosition());
        updateHud();
        frameTime = dt;
        updateNpcs(dt);
        programFrame(dt, mouseX);
        if (scripts)
            runScript("frame_started", nullptr);
    }

    // The steps after the people that are the program's own.
    void programFrame(float dt, int mouseX) {
        PlayerCharacter& insect = player->getCharacter();
        flight::KeyInput keys;
        keys.level = 4.0f; // hovering
        insect.updateFromKeyboard(keys);
        flight::MouseInput mouse;
        mouse.x = mouseX;
        mouse.y = 280;
        mouse.width = 800;
        mouse.height = 600;
        insect.updateFlight(dt, mouse);
        camera->updatePlayerCamera(insect.cameraNode()->_getDerivedPosition(),
                                   insect.sightNode()->_getDerivedPosition());
    }

    Ogre::LogManager* logs;
    Ogre::Root* engineRoot;
    Ogre::DefaultHardwareBufferManager* buffers;
    Ogre::OverlaySystem* overlays;
    PlayerCamera* camera;
    std::filesystem::path workDir;
};

Street& street() {
    static Street* s = new Street(); // lives until the process ends, like the game's
    return *s;
}

int mouseFor(int64_t i) { return 380 + static_cast<int>(i % 40); }

void BM_PeopleUpdate(benchmark::State& state) {
    street();
    long before = allocations.load();
    for (auto _ : state)
        updateNpcs(kDt);
    state.counters["allocs_per_frame"] =
        benchmark::Counter(double(allocations.load() - before) / double(state.iterations()));
}
BENCHMARK(BM_PeopleUpdate)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PlayerFlightAndCamera(benchmark::State& state) {
    Street& s = street();
    long before = allocations.load();
    int64_t i = 0;
    for (auto _ : state)
        s.programFrame(kDt, mouseFor(i++));
    state.counters["allocs_per_frame"] =
        benchmark::Counter(double(allocations.load() - before) / double(state.iterations()));
}
BENCHMARK(BM_PlayerFlightAndCamera)->Unit(benchmark::kMicrosecond);

void BM_Hud(benchmark::State& state) {
    street();
    long before = allocations.load();
    for (auto _ : state)
        updateHud();
    state.counters["hud_allocs"] =
        benchmark::Counter(double(allocations.load() - before) / double(state.iterations()));
}
BENCHMARK(BM_Hud)->Unit(benchmark::kMicrosecond);

void BM_WholeFrame(benchmark::State& state) {
    Street& s = street();
    int64_t i = 0;
    for (auto _ : state)
        s.frame(kDt, mouseFor(i++), true);
}
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
