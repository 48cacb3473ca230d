#include "audio/capture_ring.h"
#include "audio/wave_in_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using MyAudio::WaveFormat;
using MyAudio::WHDR_DONE;

namespace {

WaveFormat pcm(uint16_t bits, uint16_t channels) {
    uint16_t align = static_cast<uint16_t>(bits * channels / 8);
    return WaveFormat{MyAudio::WAVE_FORMAT_PCM, channels, 22050, 22050u * align, align, bits, 0};
}

// A device that is never opened and only notes which buffers were queued.
class RecordingDevice : public MyAudio::WaveInDevice {
public:
    explicit RecordingDevice(const WaveFormat& f) : WaveInDevice(f) {}
    void onBufferQueued(uint8_t* data, uint32_t bytes) override {
        queued.push_back(data);
        sizes.push_back(bytes);
    }
    std::vector<uint8_t*> queued;
    std::vector<uint32_t> sizes;
};

std::vector<int32_t> convert(const std::vector<uint8_t>& bytes, uint16_t bits, uint16_t channels,
                             uint32_t frames) {
    std::vector<int32_t> out(frames);
    convertSamples(bytes.data(), pcm(bits, channels), frames, out.data());
    return out;
}

} // namespace

TEST(Conversion, EightBit) {
    EXPECT_EQ(convert({128, 255, 0}, 8, 1, 3), (std::vector<int32_t>{0, 8128, -8192}));
    EXPECT_EQ(convert({128, 128, 255, 255, 0, 0, 0, 255}, 8, 2, 4),
              (std::vector<int32_t>{0, 32512, -32768, -128}));
}

TEST(Conversion, SixteenBit) {
    // Little-endian words: 1, -1, 32767, -32768.
    EXPECT_EQ(convert({1, 0, 0xff, 0xff, 0xff, 0x7f, 0, 0x80}, 16, 1, 4),
              (std::vector<int32_t>{1, -1, 32767, -32768}));
    // Two channels averaged, rounding toward zero: (-3 + 0) / 2 and (3 + 0) / 2.
    EXPECT_EQ(convert({0xfd, 0xff, 0, 0, 3, 0, 0, 0}, 16, 2, 2), (std::vector<int32_t>{-1, 1}));
    EXPECT_EQ(convert({0xff, 0x7f, 0xff, 0x7f, 0, 0x80, 0, 0x80}, 16, 2, 2),
              (std::vector<int32_t>{32767, -32768}));
}

TEST(Conversion, OtherWidthsAreRefusedAsPlainText) {
    std::vector<uint8_t> bytes(12);
    int32_t out[4];
    try {
        convertSamples(bytes.data(), pcm(24, 1), 4, out);
        FAIL() << "no exception";
    } catch (const char* text) {
        EXPECT_STREQ(text, "Unsupported format");
    }
}

TEST(CaptureRing, AttachSizesAndQueuesAllButTheLast) {
    CaptureRing ring;
    EXPECT_EQ(ring.bufferCount, 16);
    EXPECT_EQ(ring.headers.size(), 16u);
    EXPECT_FALSE(ring.isCurrentDone());

    RecordingDevice device(pcm(16, 1));
    ring.attach(&device, 4096);
    EXPECT_EQ(ring.bufferBytes, 8192);
    EXPECT_EQ(ring.memory.size(), 131072u);
    EXPECT_EQ(ring.framesPerBuffer, 4096u);
    EXPECT_EQ(ring.current, 0);
    ASSERT_EQ(device.queued.size(), 15u);
    for (size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(device.queued[i], ring.memory.data() + i * 8192) << i;
        EXPECT_EQ(device.sizes[i], 8192u);
        EXPECT_EQ(ring.headers[i].lpData, device.queued[i]);
        EXPECT_EQ(ring.headers[i].dwBufferLength, 8192u);
    }
    EXPECT_EQ(ring.headers[15].lpData, nullptr);
}

TEST(CaptureRing, ReadingRequeuesTheBufferBefore) {
    CaptureRing ring;
    RecordingDevice device(pcm(16, 1));
    ring.attach(&device, 4);
    device.queued.clear();
    std::vector<int32_t> samples;

    // Buffer 0 holds the words 0..3, buffer 15 the words 60..63.
    for (int i = 0; i < 64; ++i)
        ring.memory[2 * static_cast<size_t>(i)] = static_cast<uint8_t>(i);

    EXPECT_FALSE(ring.isCurrentDone());
    ring.headers[0].dwFlags |= WHDR_DONE;
    ASSERT_TRUE(ring.isCurrentDone());
    ring.takeCurrent(samples);
    EXPECT_EQ(samples, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(ring.current, 1);
    ASSERT_EQ(device.queued.size(), 1u);
    EXPECT_EQ(device.queued[0], ring.memory.data() + 15 * 8);

    for (int32_t i = 1; i < 15; ++i) {
        ring.headers[static_cast<size_t>(i)].dwFlags |= WHDR_DONE;
        ring.takeCurrent(samples);
    }
    EXPECT_EQ(ring.current, 15);
    ring.headers[15].dwFlags |= WHDR_DONE;
    ring.takeCurrent(samples);
    EXPECT_EQ(samples, (std::vector<int32_t>{60, 61, 62, 63}));
    EXPECT_EQ(ring.current, 0);
    EXPECT_EQ(device.queued.back(), ring.memory.data() + 14 * 8);
    // Every buffer was handed back exactly once, in ring order.
    ASSERT_EQ(device.queued.size(), 16u);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(device.queued[i], ring.memory.data() + ((i + 15) % 16) * 8) << i;
}

TEST(CaptureRing, FailedConversionDoesNotAdvance) {
    CaptureRing ring;
    RecordingDevice device(pcm(24, 1));
    ring.attach(&device, 4);
    EXPECT_EQ(ring.bufferBytes, 12);
    ring.headers[0].dwFlags |= WHDR_DONE;
    std::vector<int32_t> samples;
    EXPECT_THROW(ring.takeCurrent(samples), const char*);
    EXPECT_EQ(ring.current, 0);
}

TEST(CaptureRing, MultiChannelReadsStayInsideTheBuffer) {
    // Four channels: the buffer holds 8 whole frames, 8 / 4 = 2 are converted.
    CaptureRing ring;
    RecordingDevice device(pcm(16, 4));
    ring.attach(&device, 8);
    EXPECT_EQ(ring.bufferBytes, 64);
    EXPECT_EQ(ring.framesPerBuffer, 2u);
    ring.headers[0].dwFlags |= WHDR_DONE;
    std::vector<int32_t> samples;
    ring.takeCurrent(samples);
    EXPECT_EQ(samples.size(), 2u);

    RecordingDevice silent(pcm(16, 0));
    EXPECT_THROW(ring.attach(&silent, 8), const char*);
    EXPECT_FALSE(ring.isCurrentDone());
}
