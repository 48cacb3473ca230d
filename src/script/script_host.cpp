#include "script/script_host.h"

#include "script/host_work.h"
#include "script/lua_patterns.h"
#include "script/script_api.h"
#include "script/script_limits.h"
#include "script/script_require.h"
#include "util/globals.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Script {
    std::string name;
    std::string text; // as read, up to the first NUL (the text is a C string)
    bool compiled = false;
};

Script* scripts[kScriptSlots];

int findScript(const char* name) {
    for (int i = 0; i < kScriptSlots; ++i)
        if (scripts[i] && scripts[i]->name == name)
            return i;
    return -1;
}

bool compileScript(int slot) {
    lua_State* L = scriptState;
    Script& s = *scripts[slot];
    lua_pushstring(L, s.name.c_str());
    if (luaL_loadbuffer(L, s.text.data(), s.text.size(), "line") != 0) {
        reportScriptError(L, s.name.c_str(), -1, ScriptErrorKind::Compile);
        lua_pop(L, 2); // the message and the pushed name
        return false;
    }
    lua_settable(L, LUA_REGISTRYINDEX);
    s.compiled = true;
    return true;
}

int getTimeSinceLastFrame(lua_State* L) {
    lua_pushnumber(L, frameTime);
    return 1;
}

void openLibrary(lua_State* L, lua_CFunction open, const char* name) {
    lua_pushcfunction(L, open);
    lua_pushstring(L, name);
    lua_call(L, 1, 0);
}

} // namespace

const luaL_Reg hostFunctions[] = {
    {"get_time_since_last_frame", getTimeSinceLastFrame},
    {nullptr, nullptr},
};

lua_State* createLuaState() {
    applyScriptLimitsFromEnvironment();
    lua_State* L = newLimitedLuaState();
    // base also opens coroutine; io comes with os, as the scripts expect.
    openLibrary(L, luaopen_base, "");
    openLibrary(L, luaopen_table, LUA_TABLIBNAME);
    openLibrary(L, luaopen_io, LUA_IOLIBNAME);
    openLibrary(L, luaopen_os, LUA_OSLIBNAME);
    openLibrary(L, luaopen_string, LUA_STRLIBNAME);
    openLibrary(L, luaopen_math, LUA_MATHLIBNAME);
    installLimitedPatterns(L);
    installRequire(L);
    limitFinalizers(L);
    registerScriptFunctions(L, scriptFunctionTables);
    lua_pushstring(L, "game");
    lua_newtable(L);
    lua_settable(L, LUA_GLOBALSINDEX);
    return L;
}

void initScriptHost() {
    for (Script*& s : scripts) {
        delete s;
        s = nullptr;
    }
    scriptState = createLuaState();
    loadAllScripts();
}

void shutdownScriptHost() {
    for (Script*& s : scripts) {
        delete s;
        s = nullptr;
    }
    if (scriptState) {
        closeLimitedLuaState(scriptState);
        scriptState = nullptr;
    }
}

void loadAllScripts() {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(kScriptFolder, ec), end; !ec && it != end; it.increment(ec)) {
        // A folder (or anything else that is not a file) named like a script
        // is not one; a link to a script file is.
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            names.push_back(it->path().filename().string());
    }
    // The listing's own order is arbitrary; sorting keeps registration stable.
    std::sort(names.begin(), names.end());
    for (const std::string& file : names) {
        std::size_t n = file.size();
        if (n <= 4 || file.compare(n - 4, 4, ".lua") != 0)
            continue;
        std::string name = file.substr(0, n - 4);
        std::string path = std::string(kScriptFolder) + "/" + file;
        loadScriptFile(name.c_str(), path.c_str());
    }
}

void loadScriptFile(const char* name, const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return;
    std::vector<char> text(kMaxScriptBytes + 1);
    std::size_t got = std::fread(text.data(), 1, kMaxScriptBytes, f);
    text[got] = '\0';
    std::fclose(f);
    registerScript(name, text.data(), std::strlen(text.data()));
}

void registerScript(const char* name, const char* text, std::size_t length) {
    removeScript(name);
    for (Script*& s : scripts) {
        if (!s) {
            s = new Script{name, std::string(text, strnlen(text, length)), false};
            return;
        }
    }
    reportScriptTableFull(name);
}

void removeScript(const char* name) {
    int slot = findScript(name);
    if (slot >= 0) {
        delete scripts[slot];
        scripts[slot] = nullptr;
    }
}

namespace {

// The fresh args table. It is set with a raw write: the host's args is not
// a script's assignment, so a metatable on the globals (the strict-globals
// idiom) neither refuses nor sees it.
void setArgs(lua_State* L, const ScriptArg* args, std::size_t count) {
    lua_pushstring(L, "args");
    lua_newtable(L);
    for (std::size_t i = 0; i < count; ++i) {
        lua_pushstring(L, args[i].key);
        lua_pushstring(L, args[i].value);
        lua_settable(L, -3);
    }
    lua_rawset(L, LUA_GLOBALSINDEX);
}

// Inside the host's protected work: args, the compiled chunk, the call, and
// the report of the script's own error.
void runEvent(lua_State* L, ScriptEvent& event, int slot, const std::string& name,
              const ScriptArg* args, std::size_t count) {
    setArgs(L, args, count);
    if (!scripts[slot]->compiled && !compileScript(slot))
        return;
    lua_pushlstring(L, name.data(), name.size());
    lua_gettable(L, LUA_REGISTRYINDEX);
    if (event.call() != 0)
        reportScriptError(L, name.c_str());
}

} // namespace

void runScript(const char* name, const ScriptArg* args, std::size_t count) {
    int slot = findScript(name);
    if (slot < 0) {
        reportScriptNotFound(name);
        return;
    }
    // The caller's name may belong to a record that the script itself
    // destroys (a trigger removing itself), so keep a copy for the message.
    const std::string requested = name;
    lua_State* L = scriptState;
    ScriptEvent event(L, requested.c_str());
    runHostWork(L, requested.c_str(),
                [&](lua_State* state) { runEvent(state, event, slot, requested, args, count); });
}

void runScript(const char* name, std::initializer_list<ScriptArg> args) {
    runScript(name, args.begin(), args.size());
}

void runScript(const char* name, ...) {
    std::vector<ScriptArg> args;
    va_list list;
    va_start(list, name);
    while (const char* key = va_arg(list, const char*))
        args.push_back({key, va_arg(list, const char*)});
    va_end(list);
    runScript(name, args.data(), args.size());
}

int scriptCount() {
    return static_cast<int>(std::count_if(std::begin(scripts), std::end(scripts),
                                          [](Script* s) { return s != nullptr; }));
}

const std::string* registeredScriptText(const char* name) {
    const int slot = findScript(name);
    return slot < 0 ? nullptr : &scripts[slot]->text;
}

bool scriptIsCompiled(const char* name) {
    int slot = findScript(name);
    return slot >= 0 && scripts[slot]->compiled;
}
