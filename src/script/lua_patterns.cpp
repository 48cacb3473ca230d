// The pattern matching of Lua 5.1's string library (lstrlib.c, Copyright (C)
// 1994-2008 Lua.org, PUC-Rio, MIT licence), kept as it is but for two
// additions: a recursion limit and a look at the watchdog's clock. Keeping
// the rest unchanged is what keeps every ordinary pattern's result the same.
#include "script/lua_patterns.h"

#include "script/script_limits.h"

#include <lua.hpp>

#include <cctype>
#include <cstddef>
#include <cstring>

namespace {

// Between two looks at the clock. A step is one call of match(), which does
// at most one scan of the subject; a thousand of them take well under a
// millisecond on ordinary subjects.
constexpr int kStepsBetweenChecks = 1000;
// lmemfind's candidate positions between two looks at the clock.
constexpr std::size_t kScansBetweenChecks = 4096;

constexpr int kCapUnfinished = -1;
constexpr int kCapPosition = -2;
constexpr char kEscape = '%';
const char* const kSpecials = "^$*+?.([%-";

inline int uchar(char c) { return static_cast<unsigned char>(c); }

struct MatchState {
    const char* srcInit; // start of the subject
    const char* srcEnd;  // its end (the terminating zero)
    lua_State* L;
    int level; // captures made so far, finished or not
    int depth; // recursion levels left
    int stepsToCheck;
    struct {
        const char* init;
        std::ptrdiff_t len;
    } capture[LUA_MAXCAPTURES];
};

void startMatch(MatchState& ms, lua_State* L, const char* s, std::size_t length) {
    ms.L = L;
    ms.srcInit = s;
    ms.srcEnd = s + length;
    ms.level = 0;
    ms.depth = kMaxPatternDepth;
    ms.stepsToCheck = kStepsBetweenChecks;
}

int checkCapture(MatchState* ms, int l) {
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].len == kCapUnfinished)
        return luaL_error(ms->L, "invalid capture index");
    return l;
}

int captureToClose(MatchState* ms) {
    int level = ms->level;
    for (level--; level >= 0; level--)
        if (ms->capture[level].len == kCapUnfinished)
            return level;
    return luaL_error(ms->L, "invalid pattern capture");
}

const char* classEnd(MatchState* ms, const char* p) {
    switch (*p++) {
    case kEscape:
        if (*p == '\0')
            luaL_error(ms->L, "malformed pattern (ends with " LUA_QL("%%") ")");
        return p + 1;
    case '[':
        if (*p == '^')
            p++;
        do { // look for a ']'
            if (*p == '\0')
                luaL_error(ms->L, "malformed pattern (missing " LUA_QL("]") ")");
            if (*(p++) == kEscape && *p != '\0')
                p++; // skip escapes (e.g. '%]')
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

int matchClass(int c, int cl) {
    int res;
    switch (std::tolower(cl)) {
    case 'a': res = std::isalpha(c); break;
    case 'c': res = std::iscntrl(c); break;
    case 'd': res = std::isdigit(c); break;
    case 'l': res = std::islower(c); break;
    case 'p': res = std::ispunct(c); break;
    case 's': res = std::isspace(c); break;
    case 'u': res = std::isupper(c); break;
    case 'w': res = std::isalnum(c); break;
    case 'x': res = std::isxdigit(c); break;
    case 'z': res = (c == 0); break;
    default: return (cl == c);
    }
    if (std::islower(cl))
        return res;
    return !res;
}

int matchBracketClass(int c, const char* p, const char* ec) {
    int sig = 1;
    if (*(p + 1) == '^') {
        sig = 0;
        p++; // skip the '^'
    }
    while (++p < ec) {
        if (*p == kEscape) {
            p++;
            if (matchClass(c, uchar(*p)))
                return sig;
        } else if ((*(p + 1) == '-') && (p + 2 < ec)) {
            p += 2;
            if (uchar(*(p - 2)) <= c && c <= uchar(*p))
                return sig;
        } else if (uchar(*p) == c) {
            return sig;
        }
    }
    return !sig;
}

int singleMatch(int c, const char* p, const char* ep) {
    switch (*p) {
    case '.': return 1;
    case kEscape: return matchClass(c, uchar(*(p + 1)));
    case '[': return matchBracketClass(c, p, ep - 1);
    default: return (uchar(*p) == c);
    }
}

const char* match(MatchState* ms, const char* s, const char* p);

const char* matchBalance(MatchState* ms, const char* s, const char* p) {
    if (*p == 0 || *(p + 1) == 0)
        luaL_error(ms->L, "unbalanced pattern");
    if (*s != *p)
        return nullptr;
    int b = *p;
    int e = *(p + 1);
    int cont = 1;
    while (++s < ms->srcEnd) {
        if (*s == e) {
            if (--cont == 0)
                return s + 1;
        } else if (*s == b) {
            cont++;
        }
    }
    return nullptr; // the subject ends out of balance
}

const char* maxExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    std::ptrdiff_t i = 0; // the most repetitions of the item
    while ((s + i) < ms->srcEnd && singleMatch(uchar(*(s + i)), p, ep))
        i++;
    // try the rest with as many repetitions as possible, then one fewer...
    while (i >= 0) {
        const char* res = match(ms, (s + i), ep + 1);
        if (res)
            return res;
        i--;
    }
    return nullptr;
}

const char* minExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    for (;;) {
        const char* res = match(ms, s, ep + 1);
        if (res != nullptr)
            return res;
        else if (s < ms->srcEnd && singleMatch(uchar(*s), p, ep))
            s++; // one more repetition
        else
            return nullptr;
    }
}

const char* startCapture(MatchState* ms, const char* s, const char* p, int what) {
    const char* res;
    int level = ms->level;
    if (level >= LUA_MAXCAPTURES)
        luaL_error(ms->L, "too many captures");
    ms->capture[level].init = s;
    ms->capture[level].len = what;
    ms->level = level + 1;
    if ((res = match(ms, s, p)) == nullptr)
        ms->level--; // undo the capture
    return res;
}

const char* endCapture(MatchState* ms, const char* s, const char* p) {
    int l = captureToClose(ms);
    const char* res;
    ms->capture[l].len = s - ms->capture[l].init; // close the capture
    if ((res = match(ms, s, p)) == nullptr)
        ms->capture[l].len = kCapUnfinished; // undo it
    return res;
}

const char* matchCapture(MatchState* ms, const char* s, int l) {
    std::size_t len;
    l = checkCapture(ms, l);
    len = static_cast<std::size_t>(ms->capture[l].len);
    if (static_cast<std::size_t>(ms->srcEnd - s) >= len &&
        std::memcmp(ms->capture[l].init, s, len) == 0)
        return s + len;
    return nullptr;
}

const char* doMatch(MatchState* ms, const char* s, const char* p) {
init: // gotos instead of tail calls
    switch (*p) {
    case '(':
        if (*(p + 1) == ')') // position capture?
            return startCapture(ms, s, p + 2, kCapPosition);
        return startCapture(ms, s, p + 1, kCapUnfinished);
    case ')':
        return endCapture(ms, s, p + 1);
    case kEscape:
        switch (*(p + 1)) {
        case 'b': // balanced string?
            s = matchBalance(ms, s, p + 2);
            if (s == nullptr)
                return nullptr;
            p += 4;
            goto init;
        case 'f': { // frontier?
            const char* ep;
            char previous;
            p += 2;
            if (*p != '[')
                luaL_error(ms->L, "missing " LUA_QL("[") " after " LUA_QL("%%f") " in pattern");
            ep = classEnd(ms, p);
            previous = (s == ms->srcInit) ? '\0' : *(s - 1);
            if (matchBracketClass(uchar(previous), p, ep - 1) ||
                !matchBracketClass(uchar(*s), p, ep - 1))
                return nullptr;
            p = ep;
            goto init;
        }
        default:
            if (std::isdigit(uchar(*(p + 1)))) { // back reference %1-%9?
                s = matchCapture(ms, s, uchar(*(p + 1)));
                if (s == nullptr)
                    return nullptr;
                p += 2;
                goto init;
            }
            goto dflt;
        }
    case '\0': // end of pattern
        return s;
    case '$':
        if (*(p + 1) == '\0') // the last character of the pattern?
            return (s == ms->srcEnd) ? s : nullptr;
        goto dflt;
    default:
    dflt: { // a pattern item
        const char* ep = classEnd(ms, p);
        int m = s < ms->srcEnd && singleMatch(uchar(*s), p, ep);
        switch (*ep) {
        case '?': {
            const char* res;
            if (m && ((res = match(ms, s + 1, ep + 1)) != nullptr))
                return res;
            p = ep + 1;
            goto init;
        }
        case '*':
            return maxExpand(ms, s, p, ep);
        case '+':
            return (m ? maxExpand(ms, s + 1, p, ep) : nullptr);
        case '-':
            return minExpand(ms, s, p, ep);
        default:
            if (!m)
                return nullptr;
            s++;
            p = ep;
            goto init;
        }
    }
    }
}

// Every recursion passes here: the depth limit keeps the C stack safe, the
// step count keeps the watchdog informed. An error leaves the state behind,
// which is fine: each search starts with startMatch.
const char* match(MatchState* ms, const char* s, const char* p) {
    if (ms->depth-- == 0)
        luaL_error(ms->L, "pattern too complex");
    if (--ms->stepsToCheck == 0) {
        ms->stepsToCheck = kStepsBetweenChecks;
        if (scriptTimeIsUp())
            raiseScriptTimeout(ms->L, 1);
    }
    const char* res = doMatch(ms, s, p);
    ms->depth++;
    return res;
}

const char* lmemfind(lua_State* L, const char* s1, std::size_t l1, const char* s2, std::size_t l2) {
    if (l2 == 0)
        return s1; // the empty string is everywhere
    if (l2 > l1)
        return nullptr;
    const char* init; // where *s2 is found in s1
    std::size_t scans = 0;
    l2--;         // memchr checks the first character
    l1 = l1 - l2; // s2 cannot start after that
    while (l1 > 0 && (init = static_cast<const char*>(std::memchr(s1, *s2, l1))) != nullptr) {
        init++;
        if (std::memcmp(init, s2 + 1, l2) == 0)
            return init - 1;
        l1 -= init - s1;
        s1 = init;
        if (++scans % kScansBetweenChecks == 0 && scriptTimeIsUp())
            raiseScriptTimeout(L, 1);
    }
    return nullptr;
}

void pushOneCapture(MatchState* ms, int i, const char* s, const char* e) {
    if (i >= ms->level) {
        if (i == 0) // ms->level == 0 as well
            lua_pushlstring(ms->L, s, e - s); // the whole match
        else
            luaL_error(ms->L, "invalid capture index");
    } else {
        std::ptrdiff_t l = ms->capture[i].len;
        if (l == kCapUnfinished)
            luaL_error(ms->L, "unfinished capture");
        if (l == kCapPosition)
            lua_pushinteger(ms->L, ms->capture[i].init - ms->srcInit + 1);
        else
            lua_pushlstring(ms->L, ms->capture[i].init, l);
    }
}

int pushCaptures(MatchState* ms, const char* s, const char* e) {
    int nlevels = (ms->level == 0 && s) ? 1 : ms->level;
    luaL_checkstack(ms->L, nlevels, "too many captures");
    for (int i = 0; i < nlevels; i++)
        pushOneCapture(ms, i, s, e);
    return nlevels;
}

std::ptrdiff_t posrelat(std::ptrdiff_t pos, std::size_t len) {
    // negative means back from the end
    if (pos < 0)
        pos += static_cast<std::ptrdiff_t>(len) + 1;
    return (pos >= 0) ? pos : 0;
}

int strFindAux(lua_State* L, int find) {
    std::size_t l1, l2;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    std::ptrdiff_t init = posrelat(luaL_optinteger(L, 3, 1), l1) - 1;
    if (init < 0)
        init = 0;
    else if (static_cast<std::size_t>(init) > l1)
        init = static_cast<std::ptrdiff_t>(l1);
    if (find && (lua_toboolean(L, 4) || std::strpbrk(p, kSpecials) == nullptr)) {
        // a plain search
        const char* s2 = lmemfind(L, s + init, l1 - init, p, l2);
        if (s2) {
            lua_pushinteger(L, s2 - s + 1);
            lua_pushinteger(L, s2 - s + l2);
            return 2;
        }
    } else {
        MatchState ms;
        int anchor = (*p == '^') ? (p++, 1) : 0;
        const char* s1 = s + init;
        startMatch(ms, L, s, l1);
        do {
            const char* res;
            ms.level = 0;
            ms.depth = kMaxPatternDepth;
            if ((res = match(&ms, s1, p)) != nullptr) {
                if (find) {
                    lua_pushinteger(L, s1 - s + 1); // start
                    lua_pushinteger(L, res - s);    // end
                    return pushCaptures(&ms, nullptr, nullptr) + 2;
                }
                return pushCaptures(&ms, s1, res);
            }
        } while (s1++ < ms.srcEnd && !anchor);
    }
    lua_pushnil(L); // not found
    return 1;
}

int strFind(lua_State* L) { return strFindAux(L, 1); }

int strMatch(lua_State* L) { return strFindAux(L, 0); }

int gmatchAux(lua_State* L) {
    MatchState ms;
    std::size_t ls;
    const char* s = lua_tolstring(L, lua_upvalueindex(1), &ls);
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    startMatch(ms, L, s, ls);
    for (const char* src = s + static_cast<std::size_t>(lua_tointeger(L, lua_upvalueindex(3)));
         src <= ms.srcEnd; src++) {
        const char* e;
        ms.level = 0;
        ms.depth = kMaxPatternDepth;
        if ((e = match(&ms, src, p)) != nullptr) {
            lua_Integer newstart = e - s;
            if (e == src)
                newstart++; // an empty match: move on at least one position
            lua_pushinteger(L, newstart);
            lua_replace(L, lua_upvalueindex(3));
            return pushCaptures(&ms, src, e);
        }
    }
    return 0; // not found
}

int gmatch(lua_State* L) {
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushinteger(L, 0);
    lua_pushcclosure(L, gmatchAux, 3);
    return 1;
}

void addS(MatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    std::size_t l;
    const char* news = lua_tolstring(ms->L, 3, &l);
    for (std::size_t i = 0; i < l; i++) {
        if (news[i] != kEscape) {
            luaL_addchar(b, news[i]);
        } else {
            i++; // skip the escape
            if (!std::isdigit(uchar(news[i]))) {
                luaL_addchar(b, news[i]);
            } else if (news[i] == '0') {
                luaL_addlstring(b, s, e - s);
            } else {
                pushOneCapture(ms, news[i] - '1', s, e);
                luaL_addvalue(b);
            }
        }
    }
}

void addValue(MatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    lua_State* L = ms->L;
    switch (lua_type(L, 3)) {
    case LUA_TNUMBER:
    case LUA_TSTRING:
        addS(ms, b, s, e);
        return;
    case LUA_TFUNCTION: {
        lua_pushvalue(L, 3);
        int n = pushCaptures(ms, s, e);
        lua_call(L, n, 1);
        break;
    }
    case LUA_TTABLE:
        pushOneCapture(ms, 0, s, e);
        lua_gettable(L, 3);
        break;
    }
    if (!lua_toboolean(L, -1)) { // nil or false?
        lua_pop(L, 1);
        lua_pushlstring(L, s, e - s); // keep the original text
    } else if (!lua_isstring(L, -1)) {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    luaL_addvalue(b);
}

int strGsub(lua_State* L) {
    std::size_t srcl;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    int tr = lua_type(L, 3);
    int maxS = luaL_optint(L, 4, static_cast<int>(srcl + 1));
    int anchor = (*p == '^') ? (p++, 1) : 0;
    int n = 0;
    MatchState ms;
    luaL_Buffer b;
    luaL_argcheck(L,
                  tr == LUA_TNUMBER || tr == LUA_TSTRING || tr == LUA_TFUNCTION ||
                      tr == LUA_TTABLE,
                  3, "string/function/table expected");
    luaL_buffinit(L, &b);
    startMatch(ms, L, src, srcl);
    while (n < maxS) {
        const char* e;
        ms.level = 0;
        ms.depth = kMaxPatternDepth;
        e = match(&ms, src, p);
        if (e) {
            n++;
            addValue(&ms, &b, src, e);
        }
        if (e && e > src) // a non-empty match?
            src = e;      // skip it
        else if (src < ms.srcEnd)
            luaL_addchar(&b, *src++);
        else
            break;
        if (anchor)
            break;
    }
    luaL_addlstring(&b, src, ms.srcEnd - src);
    luaL_pushresult(&b);
    lua_pushinteger(L, n); // number of substitutions
    return 2;
}

} // namespace

void installLimitedPatterns(lua_State* L) {
    static const luaL_Reg functions[] = {
        {"find", strFind},
        {"match", strMatch},
        {"gmatch", gmatch},
        {"gsub", strGsub},
        {nullptr, nullptr},
    };
    lua_getglobal(L, LUA_STRLIBNAME);
    for (const luaL_Reg* f = functions; f->name; ++f) {
        lua_pushcfunction(L, f->func);
        lua_setfield(L, -2, f->name);
    }
    // The old name of gmatch, still there in this build of Lua.
    lua_getfield(L, -1, "gfind");
    const bool hasGfind = lua_isfunction(L, -1);
    lua_pop(L, 1);
    if (hasGfind) {
        lua_pushcfunction(L, gmatch);
        lua_setfield(L, -2, "gfind");
    }
    lua_pop(L, 1);
}
