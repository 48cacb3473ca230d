#include "script/host_work.h"

#include "script/lua_binding.h"

#include <lua.hpp>

#include <cstdio>
#include <cstring>

namespace {

int enterHostWork(lua_State* L) {
    const HostWork work = *static_cast<const HostWork*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    return guardedCall(L, [&] {
        work.call(work.context, L);
        return 0;
    });
}

void writeEscaped(const char* bytes, std::size_t length) {
    for (const char* zero; (zero = static_cast<const char*>(std::memchr(bytes, '\0', length)));) {
        const std::size_t before = static_cast<std::size_t>(zero - bytes);
        std::fwrite(bytes, 1, before, stderr);
        std::fputs("\\0", stderr);
        bytes += before + 1;
        length -= before + 1;
    }
    std::fwrite(bytes, 1, length, stderr);
}

} // namespace

bool runHostWork(lua_State* L, const char* event, HostWork work) {
    if (lua_cpcall(L, enterHostWork, &work) == 0)
        return true;
    reportScriptError(L, event);
    lua_pop(L, 1);
    return false;
}

void reportScriptError(lua_State* L, const char* event, int index) {
    std::fprintf(stderr, "error running script %s: ", event);
    writeScriptMessage(L, index);
    std::fputc('\n', stderr);
}

void writeScriptMessage(lua_State* L, int index) {
    if (lua_type(L, index) == LUA_TSTRING) {
        std::size_t length = 0;
        const char* message = lua_tolstring(L, index, &length);
        writeEscaped(message, length);
    } else if (lua_type(L, index) == LUA_TNUMBER) {
        std::fprintf(stderr, LUA_NUMBER_FMT, lua_tonumber(L, index));
    } else {
        std::fputs("(error object is not a string)", stderr);
    }
}
