// Triggers through the script functions and the per-frame check.
#include "support/headless.h"
#include "util/globals.h"
#include "world/triggers.h"

#include <limits>
#include <string>

namespace {

std::string scriptError(const std::string& message, int line = 1) {
    return "error running script __test: [string \"line\"]:" + std::to_string(line) + ": " +
           message + "\n";
}

const Ogre::Vector3 kInside(1, 1, 1);
const Ogre::Vector3 kOutside(10, 10, 10);

class TriggerTest : public nbtest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        startScripts({{"count", "runs = (runs or 0) + 1\n"
                                "seen = (seen or '') .. args.trigger .. ';'"}});
    }
    // One frame's check; returns what it wrote to standard error.
    std::string frame(const Ogre::Vector3& position) {
        return captureStderr([&] { EXPECT_TRUE(checkTriggers(position)); });
    }
    std::string frames(const Ogre::Vector3& position, int n) {
        std::string errors;
        for (int i = 0; i < n; ++i)
            errors += frame(position);
        return errors;
    }
    std::string runs() { return show("runs or 0"); }
    std::string seen() { return show("seen or ''"); }
};

TEST_F(TriggerTest, WithoutAutorepeatItRunsOncePerEntry) {
    ASSERT_EQ(run("create_trigger('door', 0, 0, 0, 2, 2, 2, 'count')\n"
                  "set_trigger_autorepeat('door', false)"),
              "");
    EXPECT_EQ(frames(kInside, 10), "");
    EXPECT_EQ(runs(), "1");
    frame(kOutside);
    frames(kInside, 3);
    EXPECT_EQ(runs(), "2");
    EXPECT_EQ(seen(), "\"door;door;\"");
}

TEST_F(TriggerTest, WithAutorepeatItRunsOnEveryFrameInside) {
    ASSERT_EQ(run("create_trigger('door', 0, 0, 0, 2, 2, 2, 'count')"), "");
    EXPECT_EQ(show("get_trigger_autorepeat('door')"), "true") << "the default";
    frames(kInside, 10);
    EXPECT_EQ(runs(), "10");
    frames(kOutside, 3);
    EXPECT_EQ(runs(), "10");
}

TEST_F(TriggerTest, TurningAutorepeatOffInsideWaitsForTheNextEntry) {
    ASSERT_EQ(run("create_trigger('door', 0, 0, 0, 2, 2, 2, 'count')"), "");
    frames(kInside, 3);
    ASSERT_EQ(run("set_trigger_autorepeat('door', nil)"), "");
    frames(kInside, 5);
    EXPECT_EQ(runs(), "3");
    frame(kOutside);
    frames(kInside, 2);
    EXPECT_EQ(runs(), "4");
    // And back on: every frame again, without leaving first.
    ASSERT_EQ(run("set_trigger_autorepeat('door', 1)"), "");
    frames(kInside, 2);
    EXPECT_EQ(runs(), "6");
}

TEST_F(TriggerTest, FacesAreOutsideAndTheTwoCornersInside) {
    ASSERT_EQ(run("create_trigger('box', 0, 0, 0, 2, 2, 2, 'count')"), "");
    for (const Ogre::Vector3& p : {Ogre::Vector3(0, 1, 1), Ogre::Vector3(1, 2, 1),
                                   Ogre::Vector3(2, 2, 0), Ogre::Vector3(0, 0, 2)})
        frame(p);
    EXPECT_EQ(runs(), "0");
    frame(Ogre::Vector3(0, 0, 0));
    frame(Ogre::Vector3(2, 2, 2));
    EXPECT_EQ(runs(), "2");
}

TEST_F(TriggerTest, TheScriptSeesTheTriggerNameAndTheLastFrameTime) {
    addScript("probe", "who = args.trigger\ndt = get_time_since_last_frame()");
    ASSERT_EQ(run("create_trigger('gate', 0, 0, 0, 2, 2, 2, 'probe')"), "");
    frameTime = 0.25;
    frame(kInside);
    EXPECT_EQ(show("who"), "\"gate\"");
    EXPECT_EQ(show("dt"), "0.25");
}

TEST_F(TriggerTest, FreedSlotsAreReusedLowestFirst) {
    ASSERT_EQ(run("create_trigger('T1', 0, 0, 0, 1, 1, 1, 's')\n"
                  "create_trigger('T2', 0, 0, 0, 1, 1, 1, 's')\n"
                  "create_trigger('T3', 0, 0, 0, 1, 1, 1, 's')\n"
                  "destroy_trigger('T2')\n"
                  "create_trigger('T4', 0, 0, 0, 1, 1, 1, 's')"),
              "");
    EXPECT_EQ(show("get_all_triggers()"), "{\"T1\", \"T4\", \"T3\"}");
    EXPECT_EQ(triggerCount(), 3);
    ASSERT_EQ(run("destroy_trigger('T1')\ndestroy_trigger('T3')\ndestroy_trigger('T4')"), "");
    EXPECT_EQ(show("get_all_triggers()"), "{}");
    EXPECT_EQ(triggerCount(), 3) << "the count never shrinks";
}

TEST_F(TriggerTest, QueriesAndDestroyTakeTheLowerOfTwoEqualNamesBothFire) {
    ASSERT_EQ(run("create_trigger('twin', 0, 0, 0, 2, 2, 2, 'count')\n"
                  "create_trigger('twin', -1, -1, -1, 3, 3, 3, 'other')"),
              "");
    addScript("other", "others = (others or 0) + 1");
    EXPECT_EQ(show("get_trigger_bbox('twin')"), "{0, 0, 0, 2, 2, 2}");
    EXPECT_EQ(show("get_trigger_script('twin')"), "\"count\"");
    frame(kInside);
    EXPECT_EQ(runs(), "1");
    EXPECT_EQ(show("others"), "1");
    ASSERT_EQ(run("set_trigger_autorepeat('twin', false)"), "");
    frame(kInside);
    EXPECT_EQ(runs(), "1") << "the lower one no longer repeats";
    EXPECT_EQ(show("others"), "2");
    ASSERT_EQ(run("destroy_trigger('twin')"), "");
    EXPECT_EQ(show("trigger_exists('twin')"), "true");
    EXPECT_EQ(show("get_trigger_script('twin')"), "\"other\"");
    ASSERT_EQ(run("destroy_trigger('twin')"), "");
    EXPECT_EQ(show("trigger_exists('twin')"), "false");
}

TEST_F(TriggerTest, MissingNamesGiveNilFalseOrTheNotFoundError) {
    ASSERT_EQ(run("create_trigger('here', 0, 0, 0, 1, 1, 1, 's')"), "");
    EXPECT_EQ(countResults("get_trigger_bbox('gone')"), 1);
    EXPECT_EQ(show("get_trigger_bbox('gone')"), "nil");
    EXPECT_EQ(show("trigger_exists('gone')"), "false");
    EXPECT_EQ(show("trigger_exists('HERE')"), "false");
    EXPECT_EQ(run("destroy_trigger('gone')"), "");
    EXPECT_EQ(run("get_trigger_script('gone')"), scriptError("Trigger by name gone not found"));
    EXPECT_EQ(run("x = get_trigger_autorepeat('gone')"),
              scriptError("Trigger by name gone not found"));
    // The name is looked up before the flag is even read.
    EXPECT_EQ(run("set_trigger_autorepeat('gone')"), scriptError("Trigger by name gone not found"));
    // Every byte of the name is kept in the message.
    EXPECT_EQ(show("select(2, pcall(get_trigger_script, 'a\\0b'))"),
              "\"Trigger by name a\\0b not found\"");
    EXPECT_EQ(show("get_all_triggers()"), "{\"here\"}");
}

TEST_F(TriggerTest, CreateReadsItsArgumentsFromTheLastToTheFirst) {
    EXPECT_EQ(run("create_trigger({}, 'x', 0, 0, 0, 0, 0, {})"),
              scriptError("bad argument #8 to 'create_trigger' (string expected, got table)"));
    EXPECT_EQ(run("create_trigger({}, 'x', 0, 0, 0, 0, {}, 's')"),
              scriptError("bad argument #7 to 'create_trigger' (number expected, got table)"));
    EXPECT_EQ(run("create_trigger({}, 'x', 0, 0, 0, 0, 0, 's')"),
              scriptError("bad argument #2 to 'create_trigger' (number expected, got string)"));
    EXPECT_EQ(run("create_trigger({}, 0, 0, 0, 0, 0, 0, 's')"),
              scriptError("bad argument #1 to 'create_trigger' (string expected, got table)"));
    EXPECT_EQ(run("trigger_exists()"),
              scriptError("bad argument #1 to 'trigger_exists' (string expected, got no value)"));
    EXPECT_EQ(show("get_all_triggers()"), "{}");
    EXPECT_EQ(triggerCount(), 0);
}

TEST_F(TriggerTest, The513thTriggerIsRefusedAndChangesNothing) {
    ASSERT_EQ(run("for i = 1, 512 do create_trigger('t' .. i, 0, 0, 0, 2, 2, 2, 'count') end"), "");
    EXPECT_EQ(run("create_trigger('extra', 0, 0, 0, 2, 2, 2, 'count')\nreached = true"),
              scriptError("Too many triggers"));
    EXPECT_EQ(show("reached"), "nil");
    EXPECT_EQ(show("trigger_exists('extra')"), "false");
    EXPECT_EQ(show("#get_all_triggers()"), "512");
    EXPECT_EQ(triggerCount(), kTriggerSlots);
    frame(kInside);
    EXPECT_EQ(runs(), "512");
    ASSERT_EQ(run("destroy_trigger('t300')\ncreate_trigger('extra', 0, 0, 0, 2, 2, 2, 'count')"),
              "");
    EXPECT_EQ(show("get_all_triggers()[300]"), "\"extra\"");
}

TEST_F(TriggerTest, AScriptMayDestroyItsOwnTriggerWhileItRuns) {
    // The script outlives its trigger's record and then fails: the host's
    // message must still name it correctly.
    addScript("vanish", "destroy_trigger(args.trigger)\nvanished = true\nerror('after')");
    ASSERT_EQ(run("create_trigger('self', 0, 0, 0, 2, 2, 2, 'vanish')\n"
                  "create_trigger('next', 0, 0, 0, 2, 2, 2, 'count')"),
              "");
    EXPECT_EQ(frame(kInside), "error running script vanish: [string \"line\"]:3: after\n");
    EXPECT_EQ(show("vanished"), "true");
    EXPECT_EQ(runs(), "1") << "the later trigger is still checked";
    EXPECT_EQ(show("get_all_triggers()"), "{\"next\"}");
    frame(kInside);
    EXPECT_EQ(runs(), "2");
}

TEST_F(TriggerTest, TriggersMadeDuringTheCheckRunNowOnlyBeyondTheCount) {
    // Slot 0 is freed, "maker" sits in slot 1. Its script makes "low", which
    // takes slot 0 (behind the check), and "high", beyond the count.
    addScript("make", "create_trigger('low', 0, 0, 0, 2, 2, 2, 'count')\n"
                      "create_trigger('high', 0, 0, 0, 2, 2, 2, 'count')\n"
                      "set_trigger_autorepeat('maker', false)");
    ASSERT_EQ(run("create_trigger('first', 0, 0, 0, 2, 2, 2, 's')\n"
                  "create_trigger('maker', 0, 0, 0, 2, 2, 2, 'make')\n"
                  "destroy_trigger('first')"),
              "");
    EXPECT_EQ(frame(kInside), "");
    EXPECT_EQ(seen(), "\"high;\"");
    EXPECT_EQ(show("get_all_triggers()"), "{\"low\", \"maker\", \"high\"}");
    EXPECT_EQ(triggerCount(), 3);
    frame(kInside);
    EXPECT_EQ(seen(), "\"high;low;high;\"");
}

TEST_F(TriggerTest, AScriptMayDestroyTriggersAheadOfTheCheck) {
    addScript("sweep", "destroy_trigger('later')");
    ASSERT_EQ(run("create_trigger('sweeper', 0, 0, 0, 2, 2, 2, 'sweep')\n"
                  "create_trigger('later', 0, 0, 0, 2, 2, 2, 'count')"),
              "");
    frame(kInside);
    EXPECT_EQ(runs(), "0");
}

TEST_F(TriggerTest, UnknownOrFailingScriptsAreReportedAndTheCheckGoesOn) {
    ASSERT_EQ(run("create_trigger('a', 0, 0, 0, 2, 2, 2, 'nope')\n"
                  "create_trigger('b', 0, 0, 0, 2, 2, 2, 'count\\0x')\n"
                  "create_trigger('c', 0, 0, 0, 2, 2, 2, 'count')"),
              "");
    EXPECT_EQ(frame(kInside), "Couldn't execute script nope: script not found\n"
                              "Couldn't execute script count: script not found\n");
    EXPECT_EQ(seen(), "\"c;\"") << "a name with a zero byte does not run the script before it";
    EXPECT_EQ(show("get_trigger_script('b')"), "\"count\\0x\"");
}

TEST_F(TriggerTest, NonFiniteCornersAreStoredAndHoldNoPosition) {
    ASSERT_EQ(run("create_trigger('nan', 0/0, 0, 0, 2, 2, 2, 'count')\n"
                  "create_trigger('all', -math.huge, -math.huge, -math.huge, math.huge, "
                  "math.huge, 1e300, 'count')"),
              "");
    EXPECT_EQ(show("get_trigger_bbox('all')"), "{-inf, -inf, -inf, inf, inf, inf}");
    EXPECT_EQ(show("get_trigger_bbox('nan')[1] ~= get_trigger_bbox('nan')[1]"), "true");
    frame(kInside);
    EXPECT_EQ(seen(), "\"all;\"");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    frame(Ogre::Vector3(nan, 1, 1));
    EXPECT_EQ(seen(), "\"all;\"");
}

} // namespace
