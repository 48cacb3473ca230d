#include "audio/microphone_level.h"

#include "audio/sound_manager.h"

std::atomic<float>* microphoneLevelSource = nullptr;

float microphoneLevel() {
    std::atomic<float>* source = microphoneLevelSource;
    return source ? source->load(std::memory_order_relaxed) : 0.0f;
}

MicrophoneReadout microphoneReadout() {
    MicrophoneReadout r;
    SoundManager* manager = soundManager;
    if (!manager)
        return r;
    r.level = manager->level.load(std::memory_order_relaxed);
    r.hearing = manager->hearing.load(std::memory_order_relaxed);
    r.peakHz = manager->peakHz.load(std::memory_order_relaxed);
    r.available = manager->microphoneAvailable.load(std::memory_order_relaxed);
    r.tried = manager->microphoneTried.load(std::memory_order_relaxed);
    r.peakDbfs = manager->peakDbfs.load(std::memory_order_relaxed);
    r.clearTone = manager->clearTone.load(std::memory_order_relaxed);
    r.hearsNothing = manager->hearsNothing.load(std::memory_order_relaxed);
    r.switching = manager->switching.load(std::memory_order_relaxed);
    return r;
}
