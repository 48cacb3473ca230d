#include "script/host_work.h"

#include "script/lua_binding.h"
#include "script/script_errors.h"

#include <lua.hpp>

#include <algorithm>
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

void reportScriptError(lua_State* L, const char* event, int index, ScriptErrorKind kind) {
    if (kind == ScriptErrorKind::Compile)
        std::fprintf(stderr, "Couldn't execute script %s: script compilation error: ", event);
    else
        std::fprintf(stderr, "error running script %s: ", event);
    writeScriptMessage(L, index);
    std::fputc('\n', stderr);
    char number[64];
    std::size_t length = 0;
    const char* message = scriptMessageText(L, index, number, sizeof number, length);
    scriptErrors().note(event, message, length);
}

void reportScriptNotFound(const char* event) {
    std::fprintf(stderr, "Couldn't execute script %s: script not found\n", event);
    constexpr char kMessage[] = "script not found";
    scriptErrors().note(event, kMessage, sizeof kMessage - 1);
}

void reportScriptTableFull(const char* name) {
    std::fprintf(stderr, "Script %s not registered: the script table is full\n", name);
    constexpr char kMessage[] = "not registered: the script table is full";
    scriptErrors().note(name, kMessage, sizeof kMessage - 1);
}

void writeScriptMessage(lua_State* L, int index) {
    char number[64];
    std::size_t length = 0;
    const char* message = scriptMessageText(L, index, number, sizeof number, length);
    writeEscaped(message, length);
}

const char* scriptMessageText(lua_State* L, int index, char* buffer, std::size_t size,
                              std::size_t& length) {
    if (lua_type(L, index) == LUA_TSTRING)
        return lua_tolstring(L, index, &length);
    if (lua_type(L, index) == LUA_TNUMBER) {
        const int n = std::snprintf(buffer, size, LUA_NUMBER_FMT, lua_tonumber(L, index));
        length = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), size - 1);
        return buffer;
    }
    static constexpr char kNotString[] = "(error object is not a string)";
    length = sizeof kNotString - 1;
    return kNotString;
}
