#include "script/script_require.h"

#include "script/script_host.h"

#include <lua.hpp>

#include <cstring>
#include <string>

namespace {

// Their addresses are unique keys: the cache's place in the registry, and
// the cache's value for a module whose script is running right now.
const char cacheKey = 0;
const char loadingMark = 0;

void pushCache(lua_State* L) {
    lua_pushlightuserdata(L, const_cast<char*>(&cacheKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
}

// Why a name cannot be a module's, or null. A module is a file of the script
// folder itself: nothing that could lead out of it, or that no file name
// can hold, is looked up at all.
const char* refusal(const char* name, std::size_t length) {
    if (length == 0)
        return "it is empty";
    if (std::memchr(name, '\0', length))
        return "it holds a zero byte";
    if (std::memchr(name, '/', length) || std::memchr(name, '\\', length))
        return "modules are the scripts of Resources/Scripts itself, named without folders";
    if (std::strstr(name, ".."))
        return "it holds \"..\"";
    return nullptr;
}

// Compiles the module's registered text onto the stack, or raises. Its
// messages name the file, as those of Lua's own require do.
int loadModule(lua_State* L, const char* name) {
    const std::string* text = registeredScriptText(name);
    if (!text)
        return luaL_error(L, "module '%s' not found: %s holds no script %s.lua", name,
                          kScriptFolder, name);
    const std::string chunkName = std::string("@") + kScriptFolder + "/" + name + ".lua";
    if (luaL_loadbuffer(L, text->data(), text->size(), chunkName.c_str()) != 0)
        return luaL_error(L, "error loading module '%s': %s", name, lua_tostring(L, -1));
    return 1;
}

void setCached(lua_State* L, int cache, int name) {
    lua_pushvalue(L, name);
    lua_insert(L, -2);
    lua_rawset(L, cache);
}

// Lua 5.1's require, but for the one folder: the cached result when there
// is one (a module that returned false runs again, as there), else the
// script's text run with its name as the argument; nil comes back as true.
int require(lua_State* L) {
    std::size_t length = 0;
    const char* name = luaL_checklstring(L, 1, &length);
    if (const char* why = refusal(name, length))
        return luaL_error(L, "module name '%s' refused: %s", name, why);
    lua_settop(L, 1);
    pushCache(L); // 2
    lua_pushvalue(L, 1);
    lua_rawget(L, 2);
    if (lua_toboolean(L, 3)) {
        if (lua_touserdata(L, 3) == &loadingMark)
            return luaL_error(L, "loop of require calls: module '%s' is still being loaded", name);
        return 1;
    }
    lua_settop(L, 2);
    loadModule(L, name); // 3
    lua_pushlightuserdata(L, const_cast<char*>(&loadingMark));
    setCached(L, 2, 1);
    lua_pushvalue(L, 1);
    if (lua_pcall(L, 1, 1, 0) != 0) {
        // A failed module is not kept: the next require tries it again,
        // instead of reporting a loop that is not there.
        lua_pushnil(L);
        setCached(L, 2, 1);
        return lua_error(L);
    }
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_pushboolean(L, 1);
    }
    lua_pushvalue(L, -1);
    setCached(L, 2, 1);
    return 1;
}

} // namespace

void installRequire(lua_State* L) {
    lua_pushlightuserdata(L, const_cast<char*>(&cacheKey));
    lua_newtable(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_register(L, "require", require);
}

void forgetRequiredModule(lua_State* L, const char* name) {
    pushCache(L);
    if (lua_istable(L, -1)) {
        lua_pushstring(L, name);
        lua_pushnil(L);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
}
