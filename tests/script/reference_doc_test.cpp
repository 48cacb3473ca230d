// The scripting reference for content authors (docs/scripting.md) against the
// functions the game really registers: every registered function has its
// "### `name`" section, and every section names a registered function. The
// sections are grouped by topic, not in registration order.
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

std::string readReference() {
    std::ifstream file(std::string(NB_SOURCE_DIR) + "/docs/scripting.md");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
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

} // namespace
