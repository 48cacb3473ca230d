#include "app/nb_application.h"

#include "app/frame_listener.h"
#include "app/player_camera.h"
#include "app/scene_setup.h"
#include "app/settings.h"
#include "app/stuck_script_guard.h"
#include "audio/microphone_level.h"
#include "audio/sound_manager.h"
#include "audio/sound_output.h"
#include "hud/display_aids.h"
#include "hud/error_display.h"
#include "hud/hud.h"
#include "npc/npc.h"
#include "player/player.h"
#include "script/script_host.h"
#include "util/globals.h"
#include "util/message_box.h"
#include "world/collision_zones.h"

#include <Bites/OgreBitesConfigDialog.h>
#include <Ogre.h>
#include <Overlay/OgreOverlaySystem.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

// Loads the plug-ins named in the list ("PluginFolder=" and "Plugin=" lines).
// The engine root could read the list itself, but a plug-in that fails inside
// the root's constructor is unloaded again while its exception is still on the
// way, and the exception's text then points into the unloaded library. Loaded
// here, after the root exists, the plug-in stays loaded and its text readable.
void loadPluginList(const std::string& pluginList) {
    // The engine's reader never reaches the end of something that is not a
    // regular file (a folder, say) and would read forever.
    std::ifstream probe(pluginList);
    if (!std::filesystem::is_regular_file(pluginList) || !probe)
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND,
                    "The plug-in list " + pluginList + " is missing or cannot be read",
                    "loadPlugins");
    Ogre::ConfigFile list;
    list.load(pluginList);
    std::string folder = list.getSetting("PluginFolder");
    for (const std::string& plugin : list.getMultiSetting("Plugin"))
        root->loadPlugin(folder.empty() ? plugin : folder + "/" + plugin);
}

// Without a render system the engine can neither show its dialog nor open a
// window; say so plainly instead of failing later with a vaguer message.
void requireRenderSystem(const std::string& pluginList) {
    if (root->getAvailableRenderers().empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_RENDERINGAPI_ERROR,
                    "No render system could be loaded; check the plug-in list " + pluginList,
                    "NBApplication");
}

// The name given on the command line wins over the remembered one. It is
// remembered only once a device of that name has opened: a mistyped name, or
// a device that is not plugged in, must not replace a choice that works.
std::string microphoneToUse(const std::string& settingsFile,
                            const std::optional<std::string>& asked) {
    if (asked)
        return *asked;
    return settings::read(settingsFile, settings::microphoneKey).value_or("");
}

void rememberMicrophone(const std::string& settingsFile, const std::string& name) {
    std::string error;
    if (!settings::write(settingsFile, settings::microphoneKey, name, error))
        std::fprintf(stderr, "Cannot remember the microphone in %s: %s\n", settingsFile.c_str(),
                     error.c_str());
}

} // namespace

NBApplication::NBApplication() : resourcePath("Resources/") {
    // The engine's log goes to its file only, never to standard output.
    if (!Ogre::LogManager::getSingletonPtr()) {
        auto* logs = new Ogre::LogManager();
        logs->createLog(resourcePath + "ogre.log", true, false, false);
    }
    root = new Ogre::Root("", resourcePath + "ogre.cfg", resourcePath + "ogre.log");
    loadPluginList(resourcePath + "plugins.win.cfg");
    requireRenderSystem(resourcePath + "plugins.win.cfg");
}

// The engine root, the scene and the window stay to the end of the process;
// the overlay system leaves the scene before it goes.
NBApplication::~NBApplication() {
    if (overlays && sceneManager)
        sceneManager->removeRenderQueueListener(overlays.get());
}

bool NBApplication::setup() {
    addResourceLocations();
    if (!configureRendering())
        return false;
    createWindowAndScene();
    // Kept for the whole run.
    listener =
        new NBFrameListener(*root, window, camera.get(), settings::settingsFile(resourcePath));
    createPlayerAndDisplay();
    startMicrophone();
    startAmbience();
    listener->applySettings();
    return true;
}

// resources.cfg: section = group, key = archive type, value = location.
void NBApplication::addResourceLocations() {
    Ogre::ConfigFile resources;
    resources.load(resourcePath + "resources.cfg", "\t:=", true);
    for (const auto& section : resources.getSettingsBySection())
        for (const auto& setting : section.second)
            Ogre::ResourceGroupManager::getSingleton().addResourceLocation(
                setting.second, setting.first, section.first, false);
}

// The stored rendering configuration, else the engine's dialog; false when
// the player cancels the dialog.
bool NBApplication::configureRendering() {
    if (std::filesystem::exists(resourcePath + "ogre.cfg")) {
        root->restoreConfig();
        return true;
    }
    return root->showConfigDialog(OgreBites::getNativeConfigDialog());
}

// The window, the scene manager with the display's overlay system, the
// camera and its viewport, the resources and the street's light and sky.
void NBApplication::createWindowAndScene() {
    window = root->initialise(true, "Nightbite");
    // The exterior-close scene type is served by the engine's default scene
    // manager.
    sceneManager = root->createSceneManager(Ogre::DefaultSceneManagerFactory::FACTORY_TYPE_NAME, "");
    // The display's overlays are drawn through the overlay system, which must
    // exist before the resource groups are parsed.
    overlays = std::make_unique<Ogre::OverlaySystem>();
    sceneManager->addRenderQueueListener(overlays.get());
    camera = std::make_unique<PlayerCamera>(sceneManager);
    setupViewport(window, camera->getCamera());
    Ogre::TextureManager::getSingleton().setDefaultNumMipmaps(0);
    Ogre::ResourceGroupManager::getSingleton().initialiseAllResourceGroups();
    buildScene(sceneManager);
}

void NBApplication::createPlayerAndDisplay() {
    player = new Player();
    hud = new Hud();
    displayAids = makeDisplayAids();
    errorDisplay = makeErrorDisplay();
}

// The worker thread, the capture format, the device and the start. Failures
// are shown and contained there; the game goes on without lift.
void NBApplication::startMicrophone() {
    soundManager = new SoundManager();
    microphoneLevelSource = &soundManager->level;
    const std::string settingsFile = settings::settingsFile(resourcePath);
    soundManager->deviceName = microphoneToUse(settingsFile, microphone);
    configureCapture();
    applyCaptureSettings();
    if (microphone && soundManager->microphoneAvailable.load())
        rememberMicrophone(settingsFile, *microphone);
    startCapture();
}

// Without a device or file the game is silent.
void NBApplication::startAmbience() {
    soundOutput = new SoundOutput();
    soundOutput->playBackground();
}

void NBApplication::run() {
    if (!setup())
        return;
    initScriptHost();
    if (watchScripts ||
        settings::readFlag(settings::settingsFile(resourcePath), settings::watchScriptsKey)
            .value_or(false))
        listener->watchScripts(kScriptFolder);
    resetZones();
    clearNpcTable();
    runScript("new_game", {});
    root->startRendering();
}

Ogre::Viewport* setupViewport(Ogre::RenderTarget* target, Ogre::Camera* camera) {
    Ogre::Viewport* viewport = target->addViewport(camera, 0, 0, 0, 1, 1);
    viewport->setBackgroundColour(Ogre::ColourValue(0, 0, 0, 1));
    // The stencil is cleared with the depth it shares a buffer with, although
    // nothing draws with it: a software renderer then fills the buffer in one
    // sweep instead of keeping the stencil bits of every pixel (a tenth of a
    // frame's time).
    viewport->setClearEveryFrame(true, Ogre::FBT_COLOUR | Ogre::FBT_DEPTH | Ogre::FBT_STENCIL);
    camera->setAspectRatio(Ogre::Real(viewport->getActualWidth()) /
                           Ogre::Real(viewport->getActualHeight()));
    return viewport;
}

void buildScene(Ogre::SceneManager* scene) {
    Ogre::Light* sun = scene->createLight("SunLight");
    sun->setType(Ogre::Light::LT_DIRECTIONAL);
    // The light hangs on a node that points it along (0.5, -1, 1); the node
    // keeps the direction normalised, which a directional light does not mind.
    Ogre::SceneNode* sunNode = scene->getRootSceneNode()->createChildSceneNode();
    sunNode->attachObject(sun);
    sunNode->setDirection(Ogre::Vector3(0.5f, -1.0f, 1.0f), Ogre::Node::TS_WORLD);
    sun->setSpecularColour(0.5f, 0.5f, 0.5f);
    sun->setDiffuseColour(0.5f, 0.5f, 0.5f);

    scene->setSkyDome(true, "Examples/CloudySky", 5, 8, 4000, true, Ogre::Quaternion::IDENTITY,
                      16, 16, -1, Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME);
}

// The worker is stopped and joined before the microphone closes, so the game
// ends cleanly instead of with a thread still analysing a closed device. A
// worker that does not end at once (it shows a box nobody answered, or a
// driver holds it) is left to the end of the process with its manager, so
// that quitting never waits for it.
void stopSound() {
    microphoneLevelSource = nullptr;
    if (soundManager && !soundManager->stopWithin(std::chrono::milliseconds(400)))
        std::fprintf(stderr, "The sound worker is busy (a box is up?); not waiting for it\n");
    else
        delete soundManager;
    soundManager = nullptr;
    delete soundOutput;
    soundOutput = nullptr;
}

int runGame(const std::optional<std::string>& microphone, bool watchScripts) {
    std::unique_ptr<NBApplication> app;
    try {
        app = std::make_unique<NBApplication>();
        app->microphone = microphone;
        app->watchScripts = watchScripts;
    } catch (const std::exception& e) {
        // The engine root can fail before any window exists: no display, an
        // unloadable plug-in. Report it the same way as any later failure.
        showMessageBox("An exception has occurred!", e.what(), BoxIcon::Error);
        return 1;
    }
    try {
        StuckScriptGuard stuckScripts;
        app->run();
        runScript("save_game", {{"file", "test"}});
        stopSound();
    } catch (const std::exception& e) {
        // Engine errors, and anything else a library throws: one box and a
        // failure status, never an abort.
        showMessageBox("An exception has occurred!", e.what(), BoxIcon::Error);
        return 1;
    }
    return 0;
}
