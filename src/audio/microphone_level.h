// The published microphone level (0 to 8), as the player's keyboard step reads
// it: once per frame, without the sound manager's lock.
#pragma once
#include <atomic>

// Points at the sound manager's level once start-up has made it; null before.
extern std::atomic<float>* microphoneLevelSource;

// 0 when there is no sound manager.
float microphoneLevel();
