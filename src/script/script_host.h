// The Lua host: one state for the whole game, a table of scripts loaded from
// "Resources/Scripts", and runScript, the one way the program raises a script
// event. Main thread only.
#pragma once
#include <cstddef>
#include <initializer_list>
#include <string>

struct lua_State;

constexpr int kScriptSlots = 512;
constexpr std::size_t kMaxScriptBytes = 0x20000;
constexpr const char* kScriptFolder = "Resources/Scripts";

// Clears the script table, creates the Lua state (stored in scriptState) and
// registers every "*.lua" of "Resources/Scripts".
void initScriptHost();

// Closes the state and frees the script table. The game never calls it; tests do.
void shutdownScriptHost();

lua_State* createLuaState();
void loadAllScripts();
void loadScriptFile(const char* name, const char* path);
void registerScript(const char* name, const char* text, std::size_t length);
void removeScript(const char* name);

// One argument of a script event: args[key] = value.
struct ScriptArg {
    const char* key;
    const char* value;
};

// Runs the script called name with a fresh global table args holding the
// pairs in order (a later pair of the same key wins):
// runScript("save_game", {{"file", "test"}}), or runScript("new_game", {}).
void runScript(const char* name, std::initializer_list<ScriptArg> args);
void runScript(const char* name, const ScriptArg* args, std::size_t count);

// The same with the pairs as (key, value) strings ended by a null key:
// runScript("save_game", "file", "test", nullptr). The compiler warns of a
// missing null, and a call with the name alone does not compile.
void runScript(const char* name, ...) __attribute__((sentinel));
void runScript(const char* name) = delete;

// The registered text of the script called name, or null when there is none;
// valid until the script table changes.
const std::string* registeredScriptText(const char* name);

// Introspection for tests and tools.
int scriptCount();
bool scriptIsCompiled(const char* name);
