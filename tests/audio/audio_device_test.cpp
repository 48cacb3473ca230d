#include "audio/capture_ring.h"
#include "audio/microphone_level.h"
#include "audio/sound_manager.h"
#include "audio/sound_output.h"
#include "audio/wave_in_device.h"
#include "script/script_host.h"
#include "util/globals.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <lua.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t bufferBytes = 8192; // 4096 samples of 16-bit mono

// A scratch folder for tones and sound files, removed afterwards.
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/nb_audio_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Scratch() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return path + "/" + name; }
    // A tone made by SoX: `seconds` of sine at `hz`, raw or with a header.
    std::string tone(const std::string& name, double hz, double seconds) const {
        std::string out = file(name);
        std::string command = "sox -n -r 22050 -c 1 -b 16 -e signed " + out + " synth " +
                              std::to_string(seconds) + " sine " + std::to_string(hz);
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return out;
    }
    std::string path;
};

void useDriver(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
}

// Raw 16-bit little-endian bytes of `buffers` capture buffers of a sine.
std::vector<uint8_t> sineBytes(double hz, size_t buffers, size_t firstSample = 0) {
    std::vector<uint8_t> bytes;
    for (size_t n = firstSample; n < firstSample + buffers * bufferBytes / 2; ++n) {
        auto s = int16_t(std::lround(12000.0 * std::sin(2.0 * pi * hz * double(n) / 22050.0)));
        bytes.push_back(uint8_t(uint16_t(s) & 0xff));
        bytes.push_back(uint8_t(uint16_t(s) >> 8));
    }
    return bytes;
}

// The longest any wait below lasts before it calls the game stuck: far beyond
// what a loaded machine or a sanitizer needs, so that only a hang decides.
constexpr auto kStuck = 120s;

// Waits until the worker has read `count` buffers since the ring was attached
// (counted from the ring's `current`, which wraps at 16).
bool waitForRead(SoundManager& manager, int32_t position,
                 std::chrono::milliseconds limit = kStuck) {
    auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        {
            std::lock_guard<std::mutex> guard(manager.lock);
            if (manager.ring.current == position)
                return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// A sound manager set up by the three start-up operations, with its device
// paused so that the test itself plays the capture thread.
class DrivenManager : public testing::Test {
protected:
    void SetUp() override {
        useDriver("dummy");
        manager.configureCapture();
        manager.applyCaptureSettings();
        manager.startCapture();
        ASSERT_NE(manager.device, nullptr);
        std::lock_guard<std::mutex> guard(manager.lock);
        ASSERT_NE(manager.device->handle, 0u);
        manager.device->stop();
    }
    void deliver(const std::vector<uint8_t>& bytes) {
        manager.device->deliver(bytes.data(), bytes.size());
    }
    SoundManager manager;
};

} // namespace

TEST(CaptureDevice, ShortAndOddSizedCallbacksFillBuffersWholeAndInOrder) {
    useDriver("dummy");
    MyAudio::AutoResetEvent event;
    MyAudio::WaveFormat format{MyAudio::WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    CaptureRing ring; // outlives the device, which marks its buffers on closing
    MyAudio::WaveInDevice device(format);
    device.open(event);
    ring.attach(&device, 4096);
    ASSERT_EQ(device.queuedCount(), 15u);

    // A ramp: sample n has the value n mod 32768.
    std::vector<uint8_t> stream;
    for (uint32_t n = 0; n < 16 * 4096 + 100; ++n) {
        stream.push_back(uint8_t(n & 0xff));
        stream.push_back(uint8_t((n >> 8) & 0x7f));
    }
    const size_t sizes[] = {1, 3, 4095, 7, 8191, 2, 5, 12289};
    size_t at = 0, step = 0;
    // One byte short of the first buffer: nothing is finished yet.
    while (at + sizes[step % 8] < bufferBytes - 1) {
        MyAudio::WaveInDevice::captureCallback(&device, stream.data() + at, int(sizes[step % 8]));
        at += sizes[step++ % 8];
    }
    MyAudio::WaveInDevice::captureCallback(&device, stream.data() + at, int(bufferBytes - 1 - at));
    at = bufferBytes - 1;
    EXPECT_FALSE(ring.isCurrentDone());
    EXPECT_FALSE(event.waitFor(0ms));
    // The rest of 15 buffers and more, in odd pieces; the surplus is dropped.
    while (at < stream.size()) {
        size_t n = std::min(sizes[step++ % 8], stream.size() - at);
        MyAudio::WaveInDevice::captureCallback(&device, stream.data() + at, int(n));
        at += n;
    }
    EXPECT_TRUE(event.waitFor(0ms));
    EXPECT_EQ(device.queuedCount(), 0u);
    for (size_t i = 0; i < bufferBytes; ++i)
        ASSERT_EQ(ring.memory[15 * bufferBytes + i], 0) << "held-back buffer written at " << i;

    std::vector<int32_t> samples;
    for (int32_t b = 0; b < 15; ++b) {
        ASSERT_TRUE(ring.isCurrentDone()) << b;
        ring.takeCurrent(samples);
        ASSERT_EQ(samples.size(), 4096u);
        for (int32_t i = 0; i < 4096; ++i)
            ASSERT_EQ(samples[size_t(i)], (b * 4096 + i) % 32768) << b << " " << i;
    }
    // Only buffer 15 was given back since: it fills with what comes next.
    EXPECT_FALSE(ring.isCurrentDone());
    EXPECT_EQ(device.queuedCount(), 15u);
    device.deliver(stream.data(), bufferBytes);
    ASSERT_TRUE(ring.isCurrentDone());
    ring.takeCurrent(samples);
    EXPECT_EQ(samples[1], 1);
    EXPECT_EQ(ring.current, 0);
}

TEST(CaptureDevice, NoCaptureDeviceShowsTheBoxTextAndTheLevelStaysZero) {
    useDriver("no_such_driver");
    SoundManager manager;
    manager.configureCapture();
    testing::internal::CaptureStderr();
    manager.applyCaptureSettings();
    EXPECT_TRUE(manager.startCapture());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Exception: Cannot open device, Error "), std::string::npos) << err;
    EXPECT_NE(err.find("Cannot open capture device: "), std::string::npos) << err;
    EXPECT_FALSE(manager.formatChanged);
    ASSERT_NE(manager.device, nullptr);
    EXPECT_EQ(manager.device->handle, 0u);
    EXPECT_NE(manager.device->status, 0u);
    EXPECT_EQ(manager.device->queuedCount(), 0u);
    EXPECT_NE(manager.fft, nullptr);
    EXPECT_EQ(manager.ring.device, nullptr);
    manager.wakeThread();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(manager.level.load(), 0.0f);
}

TEST_F(DrivenManager, StartUpLeavesTheGameFormatAndFifteenBuffersQueued) {
    std::lock_guard<std::mutex> guard(manager.lock);
    EXPECT_FALSE(manager.formatChanged);
    EXPECT_EQ(manager.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(manager.format.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(manager.format.nBlockAlign, 2);
    EXPECT_EQ(manager.format.wBitsPerSample, 16);
    EXPECT_EQ(manager.format.nChannels, 1);
    EXPECT_EQ(manager.device->queuedCount(), 15u);
    EXPECT_EQ(manager.ring.current, 0);
    EXPECT_EQ(manager.fft->size, 4096u);
}

TEST_F(DrivenManager, SettingsAppliedTwiceChangeNothing) {
    MyAudio::WaveInDevice* device = manager.device.get();
    Fft* fft = manager.fft.get();
    manager.configureCapture();
    EXPECT_FALSE(manager.formatChanged);
    manager.applyCaptureSettings();
    EXPECT_EQ(manager.device.get(), device);
    EXPECT_EQ(manager.fft.get(), fft);
}

TEST_F(DrivenManager, HighSoundRaisesTheLevelStepByStepAndLowSoundLowersIt) {
    const float rising[] = {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.0f};
    for (int32_t b = 0; b < 11; ++b) {
        deliver(sineBytes(2000.0, 1, size_t(b) * 4096));
        ASSERT_TRUE(waitForRead(manager, (b + 1) % 16)) << b;
        EXPECT_FLOAT_EQ(manager.level.load(), rising[b]) << "after buffer " << b + 1;
    }
    EXPECT_TRUE(manager.hearing.load());
    EXPECT_NEAR(manager.peakHz.load(), 2000.0f, 5.4f);
    deliver(sineBytes(500.0, 1));
    ASSERT_TRUE(waitForRead(manager, 12));
    EXPECT_FLOAT_EQ(manager.level.load(), 7.85f);
    EXPECT_FALSE(manager.hearing.load());
    EXPECT_NEAR(manager.peakHz.load(), 500.0f, 5.4f);
}

TEST_F(DrivenManager, ABurstOfFinishedBuffersIsReadAtOneGo) {
    // Five buffers finished by one callback give the worker one wake-up at
    // most; it still reads all five, in order.
    deliver(sineBytes(2000.0, 5));
    ASSERT_TRUE(waitForRead(manager, 5));
    EXPECT_FLOAT_EQ(manager.level.load(), 2.5f);
    std::lock_guard<std::mutex> guard(manager.lock);
    EXPECT_EQ(manager.levelState.riseRun, 5);
    EXPECT_EQ(manager.device->queuedCount(), 15u); // all but buffer 4, read last
}

TEST(SoundManagerFailure, TransformFailureShowsTheBoxAndEndsTheWorker) {
    useDriver("dummy");
    SoundManager manager;
    manager.configureCapture();
    manager.fftSize = 2048; // smaller than a capture buffer
    manager.applyCaptureSettings();
    ASSERT_NE(manager.device, nullptr);
    {
        std::lock_guard<std::mutex> guard(manager.lock);
        manager.device->stop();
    }
    testing::internal::CaptureStderr();
    std::vector<uint8_t> tone = sineBytes(2000.0, 1);
    manager.device->deliver(tone.data(), tone.size());
    ASSERT_TRUE(waitForRead(manager, 1));
    std::this_thread::sleep_for(200ms); // the box is shown after the lock is released
    // The worker has ended: further buffers are never read.
    manager.device->deliver(tone.data(), tone.size());
    std::this_thread::sleep_for(200ms);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Exception: Sample buffer larger than FFT capacity, Error "),
              std::string::npos)
        << err;
    std::lock_guard<std::mutex> guard(manager.lock);
    EXPECT_EQ(manager.ring.current, 1);
    EXPECT_EQ(manager.level.load(), 0.0f);
}

TEST(DiskMicrophone, HighToneLiftsTheLevelToEightAndSilenceBringsItBack) {
    Scratch scratch;
    useDriver("disk");
    setenv("SDL_DISKAUDIOFILEIN", scratch.tone("high.raw", 2000, 3).c_str(), 1);
    // Set up the way start-up does it.
    SoundManager manager;
    soundManager = &manager;
    microphoneLevelSource = &manager.level;
    configureCapture();
    applyCaptureSettings();
    auto start = Clock::now();
    EXPECT_TRUE(startCapture());

    // The frame loop's view: read without the lock, many times a buffer.
    float level = 0.0f;
    while (level < 8.0f && Clock::now() - start < kStuck) {
        level = microphoneLevel();
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(level, 8.0f) << "after "
                           << std::chrono::duration<double>(Clock::now() - start).count() << " s";
    // The file ends after 3 s; the driver then delivers silence.
    while (level > 0.0f && Clock::now() - start < kStuck) {
        float next = microphoneLevel();
        EXPECT_LE(next, level + 0.5f);
        level = next;
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(level, 0.0f);
    microphoneLevelSource = nullptr;
    soundManager = nullptr;
    manager.stop();
}

TEST(DiskMicrophone, LowToneLeavesTheLevelAtZero) {
    Scratch scratch;
    useDriver("disk");
    setenv("SDL_DISKAUDIOFILEIN", scratch.tone("low.raw", 500, 3).c_str(), 1);
    SoundManager manager;
    manager.configureCapture();
    manager.applyCaptureSettings();
    manager.startCapture();
    float highest = 0.0f;
    // The tone's time, and then until the worker has analysed most of it,
    // however far behind a loaded machine leaves it.
    auto analysed = [&] {
        std::lock_guard<std::mutex> guard(manager.lock);
        return manager.levelState.fallRun >= 12;
    };
    for (auto start = Clock::now();
         Clock::now() - start < 3s || (!analysed() && Clock::now() - start < kStuck);) {
        highest = std::max(highest, manager.level.load(std::memory_order_relaxed));
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(highest, 0.0f);
    std::lock_guard<std::mutex> guard(manager.lock);
    EXPECT_GE(manager.levelState.fallRun, 12) << "the tone was hardly analysed";
}

TEST(SoundOutputDevice, BackgroundLoopsAndBadFilesPlayNothingQuietly) {
    Scratch scratch;
    useDriver("dummy");
    std::string shortSound = scratch.tone("short.wav", 300, 0.2);
    {
        // A header of an unknown sample format, and a file of plain text.
        const char header[] = "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x77\x77\x01\0"
                              "\x22\x56\0\0\x44\xac\0\0\x02\0\x10\0data\0\0\0\0";
        std::ofstream(scratch.file("corrupt.wav"), std::ios::binary)
            .write(header, sizeof header - 1);
        std::ofstream(scratch.file("text.wav")) << "not a sound at all\n";
    }
    testing::internal::CaptureStderr();
    {
        SoundOutput output;
        EXPECT_TRUE(output.device);
        EXPECT_EQ(output.playBackground(scratch.file("missing.wav").c_str()), 1);
        EXPECT_EQ(output.playBackground(scratch.file("corrupt.wav").c_str()), 1);
        EXPECT_EQ(output.playBackground(scratch.file("text.wav").c_str()), 1);
        EXPECT_EQ(output.playBackground(shortSound.c_str()), 0);
        // Well past the sound's 0.2 s, it is still playing: it repeats.
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(Mix_PlayingMusic(), 1);
        output.close();
        EXPECT_EQ(output.playBackground(shortSound.c_str()), 1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(SoundOutputDevice, TheGeneratedAmbiencePlaysFromTheRunFolder) {
    useDriver("dummy");
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(NB_RUN_DIR);
    SoundOutput output;
    EXPECT_EQ(output.playBackground(), 0);
    output.close();
    std::filesystem::current_path(previous);
}

TEST(SoundOutputDevice, NoOutputDeviceGivesOneLineAndSilence) {
    Scratch scratch;
    std::string sound = scratch.tone("short.wav", 300, 0.2);
    useDriver("no_such_driver");
    testing::internal::CaptureStderr();
    {
        SoundOutput output;
        EXPECT_FALSE(output.device);
        EXPECT_EQ(output.playBackground(sound.c_str()), 1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Chyba - nevytvoreny audio device.\n");
}

namespace {

// Waits until the manager says its microphone is gone, then a while longer,
// so that a second report would be seen too.
void watchLoss(SoundManager& manager, std::chrono::seconds limit) {
    auto start = Clock::now();
    while (manager.microphoneAvailable.load() && Clock::now() - start < limit)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(manager.microphoneAvailable.load()) << "the loss was not noticed";
    std::this_thread::sleep_for(1s);
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Runs a line of Lua; "" when it succeeds, else the error text.
std::string runLua(lua_State* L, const char* code) {
    if (luaL_dostring(L, code) == 0)
        return "";
    std::string error = lua_tostring(L, -1);
    lua_pop(L, 1);
    return error;
}

} // namespace

TEST(VanishingMicrophone, ClosedUnderTheWorkerOrStalledItIsReportedOnceAndTheLevelDrops) {
    Scratch scratch;
    useDriver("disk");

    // 1. The device goes away while a tone holds the level up: SDL reports it
    // stopped, and the insect must not go on climbing.
    setenv("SDL_DISKAUDIOFILEIN", scratch.tone("high.raw", 2000, 10).c_str(), 1);
    {
        SoundManager manager;
        manager.configureCapture();
        manager.applyCaptureSettings();
        manager.startCapture();
        ASSERT_TRUE(manager.microphoneAvailable.load());
        for (auto start = Clock::now();
             manager.level.load() < 8.0f && Clock::now() - start < kStuck;)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(manager.level.load(), 8.0f);
        testing::internal::CaptureStderr();
        {
            std::lock_guard<std::mutex> guard(manager.lock);
            SDL_CloseAudioDevice(manager.device->handle);
        }
        watchLoss(manager, kStuck);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOf(err, "stopped delivering sound"), 1u) << err;
        EXPECT_EQ(countOf(err, "\n"), 1u) << err;
        EXPECT_EQ(manager.level.load(), 0.0f);
        manager.stop();
    }

    // 2. The device stays open but stops delivering (the driver's read blocks):
    // only the silence gives it away. A pipe that the test holds open and stops
    // writing to plays that driver.
    std::string pipe = scratch.file("stalling");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    int writer = ::open(pipe.c_str(), O_RDWR); // never blocks, unlike a write-only open
    ASSERT_GE(writer, 0);
    std::vector<uint8_t> tone = sineBytes(2000.0, 3);
    ASSERT_EQ(::write(writer, tone.data(), tone.size()), ssize_t(tone.size()));
    setenv("SDL_DISKAUDIOFILEIN", pipe.c_str(), 1);
    {
        SoundManager manager;
        // Declared after the manager, so that the pipe ends before the device
        // closes even when an assertion leaves early.
        struct PipeEnd {
            int fd;
            void close() {
                if (fd >= 0)
                    ::close(fd);
                fd = -1;
            }
            ~PipeEnd() { close(); }
        } pipeEnd{writer};
        manager.deviceName = "System audio capture device"; // by name, as the player may ask
        manager.configureCapture();
        manager.applyCaptureSettings();
        manager.startCapture();
        ASSERT_TRUE(manager.microphoneAvailable.load());
        testing::internal::CaptureStderr();
        watchLoss(manager, kStuck);
        // The end of the pipe lets the driver's read return, so that closing
        // the device can finish (and so that flushing every stream, as the
        // capture of standard error does, does not wait on the driver's).
        pipeEnd.close();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOf(err, "The microphone \"System audio capture device\" stopped delivering "
                               "sound; going on without sound input\n"),
                  1u)
            << err;
        EXPECT_EQ(countOf(err, "\n"), 1u) << err;
        EXPECT_EQ(manager.level.load(), 0.0f);
        manager.stop();
    }
}

TEST(SoundOutputDevice, ScriptsPlayEffectsBesideTheAmbience) {
    useDriver("dummy");
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(NB_RUN_DIR);
    lua_State* L = createLuaState();
    {
        SoundOutput output;
        soundOutput = &output;
        ASSERT_EQ(output.playBackground(), 0);
        EXPECT_EQ(runLua(L, "play_sound('slap') play_sound('drink') play_sound('bank')"), "");
        EXPECT_EQ(Mix_Playing(-1), 3) << "each effect on a channel of its own";
        EXPECT_EQ(Mix_PlayingMusic(), 1) << "the ambience stopped";
        EXPECT_FALSE(output.playEffect("buzz_0")) << "only effects, by name";

        EXPECT_NE(runLua(L, "play_sound('kiss')").find("Invalid sound (kiss) specified for play_sound"),
                  std::string::npos);
        EXPECT_NE(runLua(L, "play_sound()").find(
                      "bad argument #1 to 'play_sound' (string expected, got no value)"),
                  std::string::npos);
        EXPECT_NE(runLua(L, "play_sound({})").find(
                      "bad argument #1 to 'play_sound' (string expected, got table)"),
                  std::string::npos);
        EXPECT_EQ(Mix_PlayingMusic(), 1);
        soundOutput = nullptr;
    }
    // Without sound output names are still checked, and nothing else happens.
    EXPECT_EQ(runLua(L, "play_sound('slap')"), "");
    EXPECT_NE(runLua(L, "play_sound('Slap')"), "");
    lua_close(L);
    std::filesystem::current_path(previous);
}

// The buzz as it leaves the mixer, through the disk driver: silent on the
// ground whatever the thrust, and in flight louder and higher with more.
TEST(SoundOutputDevice, BuzzFollowsTheThrustInFlightOnly) {
    Scratch scratch;
    std::string recording = scratch.file("out.raw");
    useDriver("disk");
    setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
    SoundOutput output;
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    ASSERT_TRUE(output.device);
    output.soundFolder = std::string(NB_RUN_DIR) + "/Resources/sound";
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_EQ(Mix_QuerySpec(&rate, &format, &channels), 1);
    ASSERT_EQ(format, AUDIO_S16LSB);
    const size_t frameBytes = size_t(2 * channels);

    // Sets the buzz, lets the mixer's buffers in flight go by, and returns
    // the first channel of what comes next.
    auto hear = [&](float thrust, bool flying) {
        output.setBuzz(thrust, flying);
        auto size = [&] {
            std::error_code e;
            auto s = std::filesystem::file_size(recording, e);
            return e ? 0 : size_t(s);
        };
        const size_t skip = 3 * 2048 * frameBytes, keep = 8192 * frameBytes;
        size_t from = size() + skip;
        auto end = Clock::now() + kStuck;
        while (size() < from + keep && Clock::now() < end)
            std::this_thread::sleep_for(20ms);
        std::ifstream in(recording, std::ios::binary);
        in.seekg(std::streamoff(from));
        std::vector<int16_t> all(keep / 2);
        in.read(reinterpret_cast<char*>(all.data()), std::streamsize(keep));
        EXPECT_EQ(size_t(in.gcount()), keep) << "the mixer wrote too little";
        std::vector<double> mono;
        for (size_t i = 0; i < all.size(); i += size_t(channels))
            mono.push_back(all[i]);
        return mono;
    };
    auto rms = [](const std::vector<double>& s) {
        double e = 0;
        for (double x : s)
            e += x * x;
        return std::sqrt(e / double(s.size()));
    };
    // The repetition period: the shortest lag (150 to 600 Hz) at which the
    // sound matches itself nearly as well as at its best.
    auto pitch = [&](const std::vector<double>& s) {
        int lo = rate / 600, hi = rate / 150;
        std::vector<double> match(size_t(hi + 1), 0.0);
        for (int lag = lo; lag <= hi; ++lag)
            for (size_t i = 0; i + size_t(lag) < s.size(); ++i)
                match[size_t(lag)] += s[i] * s[i + size_t(lag)];
        double best = *std::max_element(match.begin(), match.end());
        for (int lag = lo; lag <= hi; ++lag)
            if (match[size_t(lag)] >= 0.9 * best)
                return double(rate) / lag;
        return 0.0;
    };

    EXPECT_LT(rms(hear(1.0f, false)), 1.0) << "buzzing on the ground";
    std::vector<double> gentle = hear(0.1f, true), hard = hear(0.95f, true);
    EXPECT_GT(rms(gentle), 300.0);
    EXPECT_GT(rms(hard), 2.0 * rms(gentle));
    EXPECT_NEAR(pitch(gentle), 250.0, 10.0);
    // Whole-sample lags put the estimate within a few per cent.
    EXPECT_NEAR(pitch(hard), 430.0, 20.0);
    EXPECT_LT(rms(hear(0.95f, false)), 1.0) << "still buzzing after landing";
    output.close();
}

// The game's own sound heard again by its microphone, the loudspeakers next to
// it: the ambience, the wings at every thrust and each effect, recorded from
// the mixer through the disk driver and fed back in at full scale (peaks at
// -1 dBFS, louder than any room would bring it back), never counts as a high
// sound, so the game can never lift the insect by itself.
TEST(SoundFeedback, TheGamesOwnMixNeverLiftsTheInsect) {
    Scratch scratch;
    const std::string recording = scratch.file("mix.raw"), heard = scratch.file("heard.raw");
    useDriver("disk");
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(NB_RUN_DIR);
    int rate = 0, channels = 0;
    {
        setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
        SoundOutput output;
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        ASSERT_TRUE(output.device);
        Uint16 format = 0;
        ASSERT_EQ(Mix_QuerySpec(&rate, &format, &channels), 1);
        ASSERT_EQ(format, AUDIO_S16LSB);
        ASSERT_EQ(output.playBackground(), 0);
        const char* effects[] = {"slap", "drink", "bank"};
        for (int step = 0; step < 40; ++step) {
            output.setBuzz(float(step % 20) / 19.0f, step < 36);
            if (step % 6 == 1) {
                EXPECT_TRUE(output.playEffect(effects[step / 6 % 3])) << effects[step / 6 % 3];
            }
            std::this_thread::sleep_for(200ms);
        }
        output.close();
    }
    std::filesystem::current_path(previous);
    const std::string convert = "sox -t raw -r " + std::to_string(rate) + " -c " +
                                std::to_string(channels) + " -b 16 -e signed " + recording +
                                " -t raw -r 22050 -c 1 -b 16 -e signed " + heard + " remix - norm -1";
    ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
    const auto bytes = std::filesystem::file_size(heard);
    ASSERT_GT(bytes, 6u * 44100u) << "less than 6 s of the mix was recorded";

    setenv("SDL_DISKAUDIOFILEIN", heard.c_str(), 1);
    SoundManager manager;
    manager.configureCapture();
    manager.applyCaptureSettings();
    ASSERT_TRUE(manager.startCapture());
    float highest = 0.0f;
    bool everHeard = false;
    const auto playing = std::chrono::milliseconds(bytes * 1000 / 44100);
    // The mix's time, and then until the worker has analysed nearly all of it.
    auto analysed = [&] {
        std::lock_guard<std::mutex> guard(manager.lock);
        return manager.levelState.fallRun >= int(bytes / 8192) - 4;
    };
    for (auto start = Clock::now();
         Clock::now() - start < playing || (!analysed() && Clock::now() - start < kStuck);) {
        highest = std::max(highest, manager.level.load(std::memory_order_relaxed));
        everHeard = everHeard || manager.hearing.load(std::memory_order_relaxed);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(highest, 0.0f);
    EXPECT_FALSE(everHeard);
    std::lock_guard<std::mutex> guard(manager.lock);
    // Every buffer of the mix but the last few counted as not high, in a row.
    EXPECT_GE(manager.levelState.fallRun, int(bytes / 8192) - 4) << "the mix was hardly analysed";
}
