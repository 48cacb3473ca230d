// The street ambience: one looping background sound on the default output
// device, through SDL_mixer. Shares nothing with the microphone side.
#pragma once
#include <cstdint>

struct _Mix_Music;

class SoundOutput {
public:
    // Opens the default output device; without one, writes one line to
    // stderr and stays silent.
    SoundOutput();
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Streams the file and repeats it without end. Returns 0 when it plays and
    // 1 when nothing plays (no device, file missing or unreadable); nothing is
    // printed either way. A second call replaces the first sound.
    int32_t playBackground(const char* path = "Resources/sound/background_street.wav");

    // Stops the sound and closes the device; the destructor does the same.
    void close();

    bool device = false;
    _Mix_Music* background = nullptr;

private:
    bool audioInitialised = false;
};
