#include "support/headless.h"
#include "support/headless_textures.h"

#include "hud/display_text.h"
#include "script/script_host.h"
#include "util/globals.h"
#include "world/collision_zones.h"
#include "world/triggers.h"
#include "world/world_objects.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace nbtest {

namespace {

struct HeadlessEngine {
    Ogre::LogManager* logs = nullptr;
    Ogre::Root* root = nullptr;
    Ogre::DefaultHardwareBufferManager* buffers = nullptr;
    std::filesystem::path logPath;
};

HeadlessEngine* engine = nullptr;

class EngineEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        if (!engine)
            return;
        ::root = nullptr;
        // Materials hold on to textures; the headless texture manager must
        // go while the engine's resource system still exists.
        Ogre::MaterialManager::getSingleton().removeAll();
        removeHeadlessTextureManager();
        // The root unloads the meshes, whose buffers report back to the
        // buffer manager; so the manager goes last but for the log.
        delete engine->root;
        delete engine->buffers;
        delete engine->logs;
        std::error_code ec;
        std::filesystem::remove(engine->logPath, ec);
        delete engine;
        engine = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

std::filesystem::path makeTempDir(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot make a temporary folder");
    return std::filesystem::path(buffer.data());
}

void describeNumber(std::string& out, double v) {
    char text[64];
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        std::snprintf(text, sizeof text, "%.0f", v == 0 ? 0.0 : v);
    else
        std::snprintf(text, sizeof text, "%.17g", v);
    out += text;
}

void describeString(std::string& out, const char* s, std::size_t n) {
    out += '"';
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 32 || c >= 127) {
            char text[8];
            std::snprintf(text, sizeof text, "\\%u", c);
            out += text;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

} // namespace

void ensureHeadlessEngine() {
    if (engine)
        return;
    auto* e = new HeadlessEngine;
    // The log first, written to a file only: the engine would otherwise echo
    // every line to standard output.
    e->logPath = std::filesystem::temp_directory_path() /
                 ("nb_tests_headless_" + std::to_string(getpid()) + ".log");
    e->logs = new Ogre::LogManager;
    e->logs->createLog(e->logPath.string(), true, false, false);
    e->root = new Ogre::Root("", "", "");
    e->buffers = new Ogre::DefaultHardwareBufferManager;
    Ogre::MaterialManager::getSingleton().initialise();
    // The media's materials name textures, which need a texture manager.
    installHeadlessTextureManager();
    Ogre::ResourceGroupManager::getSingleton().addResourceLocation(NB_MEDIA_DIR, "FileSystem",
                                                                   "General");
    Ogre::ResourceGroupManager::getSingleton().initialiseAllResourceGroups();
    engine = e;
    ::root = e->root;
}

void HeadlessTest::SetUp() {
    ensureHeadlessEngine();
    sceneManager = engine->root->createSceneManager();
}

void HeadlessTest::TearDown() {
    // Tables that outlive a new game in the game itself are cleared here, so
    // that no test sees another's objects and the engine's nodes die first.
    destroyAllWorldObjects();
    clearTriggers();
    resetZones();
    hudText() = HudText{};
    if (scriptsStarted_) {
        shutdownScriptHost();
        scriptsStarted_ = false;
    }
    if (sceneManager) {
        engine->root->destroySceneManager(sceneManager);
        sceneManager = nullptr;
    }
    frameTime = 0.0;
    if (!workDir_.empty()) {
        std::error_code ec;
        std::filesystem::current_path(previousDir_, ec);
        std::filesystem::remove_all(workDir_, ec);
        workDir_.clear();
    }
}

void HeadlessTest::startScripts(const std::map<std::string, std::string>& scripts) {
    if (scriptsStarted_) {
        shutdownScriptHost();
        scriptsStarted_ = false;
    }
    if (workDir_.empty()) {
        previousDir_ = std::filesystem::current_path();
        workDir_ = makeTempDir("nb_scripts_");
    }
    const std::filesystem::path folder = workDir_ / "Resources" / "Scripts";
    std::filesystem::remove_all(workDir_ / "Resources");
    std::filesystem::create_directories(folder);
    for (const auto& [name, text] : scripts) {
        std::ofstream file(folder / (name + ".lua"), std::ios::binary);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::filesystem::current_path(workDir_);
    initScriptHost();
    scriptsStarted_ = true;
    resetZones();
}

void HeadlessTest::addScript(const std::string& name, const std::string& text) {
    if (!scriptsStarted_)
        startScripts();
    registerScript(name.c_str(), text.c_str(), text.size());
}

std::string HeadlessTest::run(const std::string& code) {
    addScript("__test", code);
    return captureStderr([] { runScript("__test", nullptr); });
}

std::string HeadlessTest::show(const std::string& expression) {
    const std::string errors = run("__shown = (" + expression + ")");
    if (!errors.empty())
        return "error: " + errors;
    lua_getglobal(scriptState, "__shown");
    std::string text = describeLuaValue(scriptState, -1);
    lua_pop(scriptState, 1);
    return text;
}

int HeadlessTest::countResults(const std::string& callExpression) {
    const std::string errors = run("__count = select('#', " + callExpression + ")");
    EXPECT_EQ(errors, "") << callExpression;
    lua_getglobal(scriptState, "__count");
    const int n = static_cast<int>(lua_tonumber(scriptState, -1));
    lua_pop(scriptState, 1);
    return n;
}

std::string describeLuaValue(lua_State* L, int idx) {
    idx = idx < 0 ? lua_gettop(L) + idx + 1 : idx;
    std::string out;
    switch (lua_type(L, idx)) {
    case LUA_TNIL:
        return "nil";
    case LUA_TBOOLEAN:
        return lua_toboolean(L, idx) ? "true" : "false";
    case LUA_TNUMBER:
        describeNumber(out, lua_tonumber(L, idx));
        return out;
    case LUA_TSTRING: {
        std::size_t n = 0;
        const char* s = lua_tolstring(L, idx, &n);
        describeString(out, s, n);
        return out;
    }
    case LUA_TTABLE:
        break;
    default:
        return lua_typename(L, lua_type(L, idx));
    }
    // The sequence 1..n first, then every other key described and sorted.
    const int n = static_cast<int>(lua_objlen(L, idx));
    std::vector<std::string> parts;
    for (int i = 1; i <= n; ++i) {
        lua_rawgeti(L, idx, i);
        parts.push_back(describeLuaValue(L, -1));
        lua_pop(L, 1);
    }
    std::vector<std::string> others;
    lua_pushnil(L);
    while (lua_next(L, idx)) {
        const bool inSequence = lua_type(L, -2) == LUA_TNUMBER && lua_tonumber(L, -2) >= 1 &&
                                lua_tonumber(L, -2) <= n &&
                                lua_tonumber(L, -2) == std::floor(lua_tonumber(L, -2));
        if (!inSequence) {
            std::string key = lua_type(L, -2) == LUA_TSTRING ? lua_tostring(L, -2)
                                                             : "[" + describeLuaValue(L, -2) + "]";
            others.push_back(key + "=" + describeLuaValue(L, -1));
        }
        lua_pop(L, 1);
    }
    std::sort(others.begin(), others.end());
    parts.insert(parts.end(), others.begin(), others.end());
    out = "{";
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i ? ", " : "") + parts[i];
    return out + "}";
}

} // namespace nbtest
