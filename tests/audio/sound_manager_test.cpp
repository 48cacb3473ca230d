#include "audio/active_object.h"
#include "audio/sound_manager.h"
#include "util/exception.h"
#include "util/globals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Notes whether the worker ever saw the object only partly built.
class SlowToBuild : public ActiveObject {
public:
    SlowToBuild() {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        built = true;
        resumeThread();
    }
    ~SlowToBuild() override { stop(); }
    void wakeThread() override { wake = true; }
    void onThreadStart() override { sawBuilt = built.load(); }
    void threadMain() override {
        while (!dying.load())
            std::this_thread::yield();
        ended = true;
    }
    std::atomic<bool> built{false};
    std::atomic<bool> sawBuilt{false};
    std::atomic<bool> wake{false};
    std::atomic<bool> ended{false};
};

class NeverReleased : public ActiveObject {
public:
    NeverReleased() { throw 42; }
    void wakeThread() override {}
    void onThreadStart() override { ADD_FAILURE() << "worker ran on a half-built object"; }
    void threadMain() override {}
};

} // namespace

TEST(ActiveObject, WorkerStartsOnlyOnceTheObjectIsBuilt) {
    SlowToBuild object;
    object.stop();
    EXPECT_TRUE(object.sawBuilt);
    EXPECT_TRUE(object.wake);
    EXPECT_TRUE(object.ended);
    EXPECT_FALSE(object.thread.joinable());
    object.stop(); // a second stop is harmless
}

TEST(ActiveObject, WorkerHeldAtTheGateEndsWithItsObject) {
    EXPECT_THROW(NeverReleased(), int);
}

TEST(SoundManager, StartsWithTheDefaultFormatAndNoDevice) {
    SoundManager manager;
    EXPECT_FALSE(manager.formatChanged);
    EXPECT_EQ(manager.format.wFormatTag, MyAudio::WAVE_FORMAT_PCM);
    EXPECT_EQ(manager.format.nChannels, 1);
    EXPECT_EQ(manager.format.nSamplesPerSec, 11025u);
    EXPECT_EQ(manager.format.nAvgBytesPerSec, 11025u);
    EXPECT_EQ(manager.format.nBlockAlign, 1);
    EXPECT_EQ(manager.format.wBitsPerSample, 8);
    EXPECT_EQ(manager.format.cbSize, 0);
    EXPECT_EQ(manager.samplesPerBuffer, 0);
    EXPECT_EQ(manager.fftSize, 0);
    EXPECT_EQ(manager.ring.bufferCount, 16);
    EXPECT_EQ(manager.device, nullptr);
    EXPECT_EQ(manager.fft, nullptr);
    EXPECT_EQ(manager.rule.peakThreshold, 300);
    EXPECT_EQ(manager.rule.riseDivisor, 5);
    EXPECT_EQ(manager.rule.fallDivisor, 8);
    EXPECT_EQ(manager.rule.riseStep, 0.5f);
    EXPECT_EQ(manager.rule.fallStep, 0.15f);
    EXPECT_EQ(manager.level.load(), 0.0f);
}

TEST(SoundManager, ConfigureAsksForTheGameFormatOnce) {
    SoundManager manager;
    manager.format.nChannels = 2; // not compared
    manager.configureCapture();
    EXPECT_TRUE(manager.formatChanged);
    EXPECT_EQ(manager.format.wFormatTag, MyAudio::WAVE_FORMAT_PCM);
    EXPECT_EQ(manager.format.nChannels, 1);
    EXPECT_EQ(manager.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(manager.format.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(manager.format.nBlockAlign, 2);
    EXPECT_EQ(manager.format.wBitsPerSample, 16);
    EXPECT_EQ(manager.format.cbSize, 0);
    EXPECT_EQ(manager.samplesPerBuffer, 4096);
    EXPECT_EQ(manager.fftSize, 4096);

    manager.formatChanged = false;
    manager.format.nChannels = 2;
    manager.configureCapture();
    EXPECT_FALSE(manager.formatChanged);
    EXPECT_EQ(manager.format.nChannels, 2);
    manager.applyCaptureSettings(); // nothing changed: no device is made
    EXPECT_EQ(manager.device, nullptr);
}

TEST(SoundManager, WorkerSaysHelloOnceAndStopsOnRequest) {
    testing::internal::CaptureStdout();
    {
        SoundManager manager;
        manager.wakeThread(); // a wake-up with nothing finished changes nothing
        manager.stop();
        EXPECT_FALSE(manager.thread.joinable());
        EXPECT_EQ(manager.level.load(), 0.0f);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Sprava");
}

TEST(SoundManager, GlobalOperationsWithoutAManagerDoNothing) {
    ASSERT_EQ(soundManager, nullptr);
    configureCapture();
    applyCaptureSettings();
    EXPECT_FALSE(startCapture());
}

TEST(SoundManager, FailureText) {
    EXPECT_EQ(describeFailure(MyUtils::Exception{87, "Cannot open device"}),
              "Cannot open device, Error 57");
    EXPECT_EQ(describeFailure(MyUtils::Exception{0, "Cannot open device"}),
              "Cannot open device, Error 0");
    EXPECT_EQ(describeFailure(MyUtils::Exception{5, "Sample buffer larger than FFT capacity"}),
              "Sample buffer larger than FFT capacity, Error 5");
    EXPECT_EQ(describeFailure(MyUtils::Exception{0xDEADBEEF, "x"}), "x, Error deadbeef");
}
