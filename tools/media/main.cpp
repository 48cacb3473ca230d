// nb_media OUTDIR [GENERATOR...]: writes the game's binary media into OUTDIR.
#include "media.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

MediaGenerator::MediaGenerator(const char* n, Fn fn, bool engine)
    : name(n), run(std::move(fn)), needsEngine(engine) {
    all().push_back(this);
}

std::vector<MediaGenerator*>& MediaGenerator::all() {
    static std::vector<MediaGenerator*> generators;
    return generators;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [GENERATOR...]\n", argv[0]);
        return 2;
    }
    std::string out = argv[1];
    std::filesystem::create_directories(out);

    // A headless engine: no window and no render system, a software buffer
    // manager, and the image codecs so that textures can be encoded.
    auto* logs = new Ogre::LogManager();
    logs->createLog((std::filesystem::temp_directory_path() / "nb_media.log").string(), true,
                    false, false);
    auto engine = std::make_unique<Ogre::Root>("", "", "");
    engine->loadPlugin(std::string(NB_OGRE_PLUGIN_DIR) + "/Codec_STBI");
    auto buffers = std::make_unique<Ogre::DefaultHardwareBufferManager>();
    Ogre::MaterialManager::getSingleton().initialise();

    int failures = 0;
    for (MediaGenerator* g : MediaGenerator::all()) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; ++i)
            wanted = wanted || std::strcmp(argv[i], g->name) == 0;
        if (!wanted)
            continue;
        try {
            g->run(out);
            std::printf("media: %s written\n", g->name);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "media: %s failed: %s\n", g->name, e.what());
            ++failures;
        }
    }
    buffers.reset();
    engine.reset();
    delete logs;
    return failures ? 1 : 0;
}
