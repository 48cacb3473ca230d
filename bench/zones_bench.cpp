// One frame of push-outs on a full zone table: 513 movers (the player and 512
// people) against 1024 collision zones laid out like a street. The plain scan
// (sine and cosine at every visit, every slot) and the game's path are timed
// in the same run, and the ratio of their medians is printed at the end.
//
//   zones_bench --benchmark_repetitions=9
#include "world/collision_zones.h"
#include "world/zone_geometry.h"
#include "world/zone_reference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kMovers = 513;

struct StreetScene {
    ReferenceZones reference{};
    std::vector<ZoneBox> boxes;
    std::vector<Ogre::Vector3> movers;
};

// A street 1.2 km long along x: a road, two pavements, house fronts on both
// sides, and on the pavements benches, bins, lamp posts, kiosks and parked
// cars, some of them turned. People walk the pavements and cross the road; a
// few stand inside props, as happens after a step.
StreetScene makeStreet() {
    StreetScene scene;
    std::mt19937 rng(1234);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    auto add = [&](double x, double y, double z, double sx, double sy, double sz, double angle) {
        ZoneBox b;
        b.origin[0] = float(x);
        b.origin[1] = float(y);
        b.origin[2] = float(z);
        b.size[0] = float(sx);
        b.size[1] = float(sy);
        b.size[2] = float(sz);
        b.angle = angle;
        scene.boxes.push_back(b);
    };
    const double length = 1200;
    // House fronts: about 160 per side.
    for (int side = 0; side < 2; ++side) {
        double x = 0;
        while (x < length) {
            const double width = uniform(5, 10);
            const double z = side == 0 ? 12 : -12 - 10;
            add(x, 0, z, width, uniform(8, 25), 10, 0);
            x += width;
        }
    }
    const double pi = 2 * std::asin(1.0);
    while (scene.boxes.size() < 1024) {
        const int kind = int(uniform(0, 5));
        const double side = uniform(0, 1) < 0.5 ? 1 : -1;
        const double x = uniform(0, length);
        const double z = side * uniform(6, 11.5);
        switch (kind) {
        case 0:
            add(x, 0, z, 2, 0.5, 0.6, uniform(0, 1) < 0.8 ? 0 : uniform(-pi, pi));
            break;
        case 1:
            add(x, 0, z, 0.6, 1, 0.6, 0);
            break;
        case 2:
            add(x, 0, z, 0.3, 5, 0.3, 0);
            break;
        case 3:
            add(x, 0, z, 3, 2.5, 2, uniform(-0.3, 0.3));
            break;
        default:
            add(x, 0, side * uniform(2, 5), 4.5, 1.5, 1.8, uniform(-0.1, 0.1));
            break;
        }
    }
    scene.boxes.resize(1024);
    for (int slot = 0; slot < 1024; ++slot) {
        ReferenceZone& r = scene.reference[slot];
        const ZoneBox& b = scene.boxes[slot];
        r.used = true;
        std::memcpy(r.origin, b.origin, sizeof r.origin);
        std::memcpy(r.size, b.size, sizeof r.size);
        r.angle = b.angle;
    }
    for (int i = 0; i < kMovers; ++i) {
        const double side = uniform(0, 1) < 0.5 ? 1 : -1;
        const double z = uniform(0, 1) < 0.85 ? side * uniform(5.5, 12) : uniform(-12, 12);
        scene.movers.emplace_back(float(uniform(0, length)),
                                  float(uniform(0, 1) < 0.9 ? 0.8 : uniform(0, 3)), float(z));
    }
    return scene;
}

const StreetScene& street() {
    static const StreetScene scene = makeStreet();
    return scene;
}

void loadGameZones(const StreetScene& scene) {
    resetZones();
    for (int slot = 0; slot < 1024; ++slot) {
        const ZoneBox& b = scene.boxes[slot];
        addCollisionZone("zone" + std::to_string(slot), {b.origin[0], b.origin[1], b.origin[2]},
                         {b.size[0], b.size[1], b.size[2]}, b.angle);
    }
}

void BM_FramePlainScan(benchmark::State& state) {
    const StreetScene& scene = street();
    int touched = 0;
    for (auto _ : state) {
        for (const Ogre::Vector3& p : scene.movers) {
            const float in[3] = {p.x, p.y, p.z};
            float out[3];
            bool onTop = false;
            touched += referenceResolve(scene.reference, in, out, onTop);
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["touched_per_frame"] = double(touched) / double(state.iterations());
}
BENCHMARK(BM_FramePlainScan)->Unit(benchmark::kMicrosecond);

void BM_FrameGame(benchmark::State& state) {
    const StreetScene& scene = street();
    loadGameZones(scene);
    int touched = 0;
    // The first frame after a change builds the grid; the game pays it once.
    for (auto _ : state) {
        for (const Ogre::Vector3& p : scene.movers) {
            Ogre::Vector3 out;
            bool onTop = false;
            touched += resolveZoneCollisions(p, out, onTop);
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["touched_per_frame"] = double(touched) / double(state.iterations());
    resetZones();
}
BENCHMARK(BM_FrameGame)->Unit(benchmark::kMicrosecond);

// The cost of the grid rebuild that follows any change to the zones.
void BM_RebuildAfterChange(benchmark::State& state) {
    const StreetScene& scene = street();
    loadGameZones(scene);
    const ZoneBox& b = scene.boxes[0];
    const Ogre::Vector3 probe = scene.movers[0];
    for (auto _ : state) {
        addCollisionZone("zone0", {b.origin[0], b.origin[1], b.origin[2]},
                         {b.size[0], b.size[1], b.size[2]}, b.angle);
        Ogre::Vector3 out;
        bool onTop = false;
        benchmark::DoNotOptimize(resolveZoneCollisions(probe, out, onTop));
    }
    resetZones();
}
BENCHMARK(BM_RebuildAfterChange)->Unit(benchmark::kMicrosecond);

// Keeps every run's time per iteration so that the ratio can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colour only on a terminal, so that saved output stays plain text.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const double toNs = run.time_unit == benchmark::kMicrosecond   ? 1e3
                                : run.time_unit == benchmark::kMillisecond ? 1e6
                                                                           : 1.0;
            const Times t{run.GetAdjustedRealTime() * toNs, run.GetAdjustedCPUTime() * toNs};
            const std::string& name = run.run_name.function_name;
            if (run.run_type != Run::RT_Aggregate)
                singles[name] = t;
            else if (run.aggregate_name == "median")
                medians[name] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio() const {
        const auto& times = medians.empty() ? singles : medians;
        const auto plain = times.find("BM_FramePlainScan");
        const auto game = times.find("BM_FrameGame");
        if (plain == times.end() || game == times.end())
            return;
        std::printf("\nOne frame, %d movers x 1024 zones (%s):\n", kMovers,
                    medians.empty() ? "single run" : "median of repetitions");
        std::printf("               %12s %12s\n", "real", "cpu");
        std::printf("  plain scan   %9.1f us %9.1f us\n", plain->second.real / 1e3,
                    plain->second.cpu / 1e3);
        std::printf("  game path    %9.1f us %9.1f us\n", game->second.real / 1e3,
                    game->second.cpu / 1e3);
        std::printf("  game/plain   %12.5f %12.5f\n", game->second.real / plain->second.real,
                    game->second.cpu / plain->second.cpu);
    }

private:
    struct Times {
        double real, cpu;
    };
    std::map<std::string, Times> medians, singles;
};

} // namespace

// The timings mean nothing unless both give the same answers, bit for bit.
bool sameResults() {
    const StreetScene& scene = street();
    loadGameZones(scene);
    int differences = 0;
    for (const Ogre::Vector3& p : scene.movers) {
        const float in[3] = {p.x, p.y, p.z};
        float plain[3] = {0, 0, 0};
        bool plainTop = false, gameTop = false;
        Ogre::Vector3 game(0, 0, 0);
        const bool plainHit = referenceResolve(scene.reference, in, plain, plainTop);
        const bool gameHit = resolveZoneCollisions(p, game, gameTop);
        differences += plainHit != gameHit || plainTop != gameTop ||
                       std::memcmp(plain, game.ptr(), sizeof plain) != 0;
    }
    resetZones();
    if (differences)
        std::fprintf(stderr, "game path differs from the plain scan for %d movers\n", differences);
    return differences == 0;
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!sameResults())
        return 1;
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    benchmark::Shutdown();
    return 0;
}
