// The Lua host: one state for the whole game, a table of scripts loaded from
// "Resources/Scripts", and runScript, the one way the program raises a script
// event. Main thread only.
#pragma once
#include <cstddef>
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

// Runs the script called name with a fresh global table args built from the
// (key, value) string pairs that follow, ended by a null key.
void runScript(const char* name, ...);

// The registered text of the script called name, or null when there is none;
// valid until the script table changes.
const std::string* registeredScriptText(const char* name);

// Introspection for tests and tools.
int scriptCount();
bool scriptIsCompiled(const char* name);
