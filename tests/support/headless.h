// The headless test fixture: a real Ogre engine without a window or render
// system, a fresh scene manager per test, and a real Lua script host working
// in a temporary folder of the test's own.
//
//   class MyTest : public nbtest::HeadlessTest {};
//   TEST_F(MyTest, Something) {
//       startScripts({{"new_game", "x = 1"}});
//       EXPECT_EQ(run("create_world_object('a', 'box.mesh')"), "");
//       EXPECT_EQ(show("get_world_object_position('a')"), "{0, 0, 0}");
//   }
//
// The engine (log, Root, software buffers, material manager, the media
// folder as the resource group "General") is made once per process on first
// use and torn down after the last test. Each test gets its own scene manager
// in the global sceneManager; TearDown destroys the world objects, triggers
// and zones, the script host and the scene, so the sanitizer's leak check
// sees nothing of one test in the next. A test that overrides TearDown must
// call HeadlessTest::TearDown.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

struct lua_State;

namespace nbtest {

// Creates the process's headless engine if it does not exist yet. The global
// root points at it from then on.
void ensureHeadlessEngine();

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes a fresh temporary folder holding Resources/Scripts/<name>.lua for
    // each entry, makes it the working directory and starts the script host
    // (which reads the folder). Files are written byte for byte.
    void startScripts(const std::map<std::string, std::string>& scripts = {});

    // Registers text as the script called name (no file involved); replaces a
    // script of that name.
    void addScript(const std::string& name, const std::string& text);

    // Runs code as the script "__test" through the host, exactly as an event
    // would run, and returns everything written to standard error meanwhile.
    std::string run(const std::string& code);

    // Evaluates a Lua expression (in a script run by the host) and describes
    // its first value: nil, true, false, numbers (%.17g, integers plainly),
    // strings in double quotes with \0 and other control bytes escaped, tables
    // as {1, 2, 3} or {1, 2, k=v} with the sequence first and other keys
    // sorted. A failing expression gives "error: " and the message.
    std::string show(const std::string& expression);

    // Number of values the expression gives, e.g. a function call's results.
    int countResults(const std::string& callExpression);

    // Calls fn and returns what it wrote to standard error.
    template <class Fn> static std::string captureStderr(Fn&& fn) {
        ::testing::internal::CaptureStderr();
        fn();
        return ::testing::internal::GetCapturedStderr();
    }

    const std::filesystem::path& workDir() const { return workDir_; }

private:
    std::filesystem::path workDir_;
    std::filesystem::path previousDir_;
    bool scriptsStarted_ = false;
};

// Describes the value at index idx of L's stack as HeadlessTest::show does.
std::string describeLuaValue(lua_State* L, int idx);

} // namespace nbtest
