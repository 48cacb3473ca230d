#include "audio/microphone_level.h"

std::atomic<float>* microphoneLevelSource = nullptr;

float microphoneLevel() {
    std::atomic<float>* source = microphoneLevelSource;
    return source ? source->load(std::memory_order_relaxed) : 0.0f;
}
