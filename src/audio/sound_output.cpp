#include "audio/sound_output.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdio>

SoundOutput::SoundOutput() {
    // The mixer would initialise SDL's audio itself but never release it;
    // doing it here keeps the count right for the microphone side.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        audioInitialised = true;
        device = Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, MIX_DEFAULT_CHANNELS,
                               2048) == 0;
    }
    if (!device) {
        std::fprintf(stderr, "Chyba - nevytvoreny audio device.\n");
        std::fflush(stderr);
    }
}

SoundOutput::~SoundOutput() {
    close();
}

int32_t SoundOutput::playBackground(const char* path) {
    if (background) {
        Mix_HaltMusic();
        Mix_FreeMusic(background);
        background = nullptr;
    }
    if (!device)
        return 1;
    Mix_Music* music = Mix_LoadMUS(path);
    if (!music)
        return 1;
    if (Mix_PlayMusic(music, -1) != 0) {
        Mix_FreeMusic(music);
        return 1;
    }
    background = music;
    return 0;
}

void SoundOutput::close() {
    if (background) {
        Mix_HaltMusic();
        Mix_FreeMusic(background);
        background = nullptr;
    }
    if (device) {
        Mix_CloseAudio();
        device = false;
    }
    if (audioInitialised) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioInitialised = false;
    }
}
