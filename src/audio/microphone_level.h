// The published microphone level (0 to 8), as the player's keyboard step reads
// it: once per frame, without the sound manager's lock.
#pragma once
#include <atomic>

// Points at the sound manager's level once start-up has made it; null before.
extern std::atomic<float>* microphoneLevelSource;

// 0 when there is no sound manager.
float microphoneLevel();

// Everything the frame loop and the display read of the microphone in one
// frame. All zero/false when there is no sound manager.
struct MicrophoneReadout {
    float level = 0.0f;   // 0 to 8
    bool hearing = false; // the current buffer counts as high
    float peakHz = 0.0f;  // frequency of the current buffer's peak
    bool available = false;
    bool tried = true; // false while the device is still being opened
    float peakDbfs = -200.0f;  // the peak's loudness
    bool clearTone = false;    // a clear tone, loud enough, at any pitch
    bool hearsNothing = false; // nothing but zeros for about ten seconds
    bool switching = false;    // a device the player chose is being opened
};
MicrophoneReadout microphoneReadout();
