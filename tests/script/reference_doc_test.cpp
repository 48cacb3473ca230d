// The scripting reference for content authors (docs/scripting.md) against the
// functions the game really registers: every registered function has its
// "### `name`" section, and every section names a registered function. The
// sections are grouped by topic, not in registration order. The editors'
// annotations (docs/nightbite.lua) follow the reference: the same functions in
// the same order, each with the parameters of its call.
#include "script/script_api.h"
#include "script/script_host.h"

#include <gtest/gtest.h>
#include <lua.hpp>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Functions the reference already describes but that no table registers yet.
// Whoever registers one removes it from here; the test fails while a name
// listed here is registered, so the list cannot go stale.
const std::set<std::string> kDocumentedButNotYetRegistered = {};

std::string readDoc(const char* name) {
    std::ifstream file(std::string(NB_SOURCE_DIR) + "/docs/" + name);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string readReference() {
    return readDoc("scripting.md");
}

std::vector<std::string> documentedFunctions(const std::string& reference) {
    std::vector<std::string> names;
    std::istringstream lines(reference);
    const std::string marker = "### `";
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, marker.size(), marker) != 0)
            continue;
        const auto end = line.find('`', marker.size());
        if (end != std::string::npos)
            names.push_back(line.substr(marker.size(), end - marker.size()));
    }
    return names;
}

// A function and its parameter names, "f(a, b)".
using Call = std::string;

Call call(const std::string& name, const std::string& parameters) {
    return name + "(" + std::regex_replace(parameters, std::regex("\\s*,\\s*"), ", ") + ")";
}

// Each section's first "`name(...)`": how its function is called.
std::vector<Call> documentedCalls(const std::string& reference) {
    std::vector<Call> calls;
    for (const std::string& name : documentedFunctions(reference)) {
        const std::regex form("`" + name + "\\(([^)]*)\\)`");
        std::smatch m;
        const std::string section = reference.substr(reference.find("### `" + name + "`"));
        if (std::regex_search(section, m, form))
            calls.push_back(call(name, m[1]));
    }
    return calls;
}

// Each "function name(...) end" of the annotations, and the names of the
// "---@param" lines just above it, as calls of their own.
void annotatedCalls(const std::string& annotations, std::vector<Call>& functions,
                    std::vector<Call>& params) {
    const std::regex function("^function (\\w+)\\(([^)]*)\\) end$"), param("^---@param (\\w+)");
    std::istringstream lines(annotations);
    std::string names;
    std::smatch m;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, m, param)) {
            names += (names.empty() ? "" : ", ") + m[1].str();
        } else if (std::regex_search(line, m, function)) {
            functions.push_back(call(m[1], m[2]));
            params.push_back(call(m[1], names));
            names.clear();
        } else if (line.compare(0, 3, "---") != 0) {
            names.clear();
        }
    }
}

std::vector<std::string> registeredFunctions() {
    std::vector<std::string> names;
    for (const luaL_Reg* const* table = scriptFunctionTables; *table; ++table)
        for (const luaL_Reg* f = *table; f->name; ++f)
            names.push_back(f->name);
    return names;
}

TEST(ScriptingReference, DocumentsExactlyTheRegisteredFunctions) {
    const std::string reference = readReference();
    ASSERT_FALSE(reference.empty()) << "docs/scripting.md is missing";
    const std::vector<std::string> documented = documentedFunctions(reference);
    const std::vector<std::string> registered = registeredFunctions();

    // What the scripts actually get: a global function for each entry.
    lua_State* L = createLuaState();
    for (const std::string& name : registered) {
        lua_getglobal(L, name.c_str());
        EXPECT_TRUE(lua_iscfunction(L, -1)) << name << " is not a global function";
        lua_pop(L, 1);
    }
    lua_close(L);

    const std::set<std::string> documentedSet(documented.begin(), documented.end());
    const std::set<std::string> registeredSet(registered.begin(), registered.end());
    EXPECT_EQ(documentedSet.size(), documented.size()) << "a function is documented twice";
    for (const std::string& name : registered) {
        EXPECT_TRUE(documentedSet.count(name)) << name << " is registered but not documented";
        EXPECT_FALSE(kDocumentedButNotYetRegistered.count(name))
            << name << " is registered now: remove it from kDocumentedButNotYetRegistered";
    }
    for (const std::string& name : documented)
        EXPECT_TRUE(registeredSet.count(name) || kDocumentedButNotYetRegistered.count(name))
            << name << " is documented but not registered";
}

// Every count of the functions in the reference ("63 global functions", "the
// 63 functions below") is the number registered.
TEST(ScriptingReference, CountsTheFunctionsThereAre) {
    const std::string reference = readReference();
    const std::regex count("([0-9]+) (global |script )?functions");
    int counts = 0;
    for (std::sregex_iterator it(reference.begin(), reference.end(), count), end; it != end;
         ++it, ++counts)
        EXPECT_EQ(std::stoul((*it)[1]), registeredFunctions().size()) << (*it)[0];
    EXPECT_GT(counts, 0);
}

TEST(ScriptingReference, DescribesEveryEventAndItsArguments) {
    const std::string reference = readReference();
    for (const char* item : {"`new_game`", "`frame_started`", "`save_game`", "`load_game`",
                             "`args.file`", "`args.trigger`", "a trigger's script"})
        EXPECT_NE(reference.find(item), std::string::npos) << item;
}

TEST(ScriptingReference, EditorAnnotationsMatchTheReference) {
    const std::string reference = readReference();
    const std::string annotations = readDoc("nightbite.lua");
    ASSERT_FALSE(annotations.empty()) << "docs/nightbite.lua is missing";
    const std::vector<std::string> documented = documentedFunctions(reference);
    const std::vector<Call> calls = documentedCalls(reference);
    EXPECT_EQ(calls.size(), documented.size()) << "a section does not show its call";
    // Every count of the functions in the reference is the number of sections.
    const std::regex count("(\\d+) (global )?functions");
    for (std::sregex_iterator it(reference.begin(), reference.end(), count), end; it != end; ++it)
        EXPECT_EQ(std::stoul((*it)[1]), documented.size()) << it->str();

    std::vector<Call> functions, params;
    annotatedCalls(annotations, functions, params);
    EXPECT_EQ(functions, calls);
    EXPECT_EQ(params, calls) << "every parameter has its ---@param line, in order";
    for (const char* item : {"---@meta\n", "\n---@type nightbite.Args\nargs = {}",
                             "\n---@type table\ngame = {}", "\n---@class nightbite.Args"})
        EXPECT_NE(annotations.find(item), std::string::npos) << item;

    // The file is Lua that an editor can read.
    lua_State* L = luaL_newstate();
    EXPECT_EQ(luaL_loadbuffer(L, annotations.data(), annotations.size(), "nightbite.lua"), 0)
        << lua_tostring(L, -1);
    lua_close(L);
}

} // namespace
