#include "audio/sound_output.h"

#include "audio/wave_in_device.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace {

const char* const kEffectNames[] = {"slap", "drink", "bank", "warning"};

// A volume of 0 to 128, the mixer's scale, scaled by a player's percentage.
int scaled(int volume, int percent) {
    return volume * percent / 100;
}

int effectIndex(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kEffectNames)); ++i)
        if (name == kEffectNames[i])
            return i;
    return -1;
}

} // namespace

static_assert(std::size(kEffectNames) == SoundOutput::kEffects,
              "a slot for every effect the scripts may name");

struct SoundOutput::Loaded {
    Mix_Music* background = nullptr;
    // Read once, in the order of the effect names, then the buzz loops;
    // `tried` keeps a missing file from being looked for again every frame.
    std::array<Mix_Chunk*, kEffects + kBuzzLoops> chunks{};
    std::array<bool, kEffects + kBuzzLoops> tried{};

    // An effect or "buzz_0".."buzz_3" from folder; null for another name or
    // a file that cannot be read.
    Mix_Chunk* chunk(const std::string& folder, const std::string& name);
    void freeBackground();
};

Mix_Chunk* SoundOutput::Loaded::chunk(const std::string& folder, const std::string& name) {
    int index = effectIndex(name);
    if (index < 0 && name.size() == 6 && name.compare(0, 5, "buzz_") == 0 && name[5] >= '0' &&
        name[5] < char('0' + kBuzzLoops))
        index = kEffects + (name[5] - '0');
    if (index < 0)
        return nullptr;
    if (!tried[size_t(index)]) {
        tried[size_t(index)] = true;
        chunks[size_t(index)] = Mix_LoadWAV((folder + "/" + name + ".wav").c_str());
    }
    return chunks[size_t(index)];
}

void SoundOutput::Loaded::freeBackground() {
    if (background) {
        Mix_HaltMusic();
        Mix_FreeMusic(background);
        background = nullptr;
    }
}

SoundOutput* soundOutput = nullptr;

SoundOutput::SoundOutput() : loaded(std::make_unique<Loaded>()) {
    // The mixer would initialise SDL's audio itself but never release it;
    // doing it here keeps the count right for the microphone side.
    if (MyAudio::acquireAudio()) {
        audioInitialised = true;
        device = Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, MIX_DEFAULT_CHANNELS,
                               2048) == 0;
    }
    if (!device) {
        std::fprintf(stderr, "Chyba - nevytvoreny audio device.\n");
        std::fflush(stderr);
        return;
    }
    // The buzz loops keep the first channels; effects take any of the rest.
    Mix_AllocateChannels(kBuzzLoops + kEffectChannels);
    Mix_ReserveChannels(kBuzzLoops);
}

void SoundOutput::setAmbienceVolume(int percent) {
    ambiencePercent = std::clamp(percent, 0, 100);
    if (device)
        Mix_VolumeMusic(scaled(MIX_MAX_VOLUME, ambiencePercent));
}

void SoundOutput::setEffectsVolume(int percent) {
    effectsPercent = std::clamp(percent, 0, 100);
    if (!device)
        return;
    for (int i = kBuzzLoops; i < kBuzzLoops + kEffectChannels; ++i)
        Mix_Volume(i, scaled(MIX_MAX_VOLUME, effectsPercent));
    if (heardLoop >= 0)
        Mix_Volume(heardLoop, scaled(heardVolume, effectsPercent));
}

SoundOutput::~SoundOutput() {
    close();
}

int32_t SoundOutput::playBackground(const char* path) {
    loaded->freeBackground();
    if (!device)
        return 1;
    Mix_Music* music = Mix_LoadMUS(path);
    if (!music)
        return 1;
    Mix_VolumeMusic(scaled(MIX_MAX_VOLUME, ambiencePercent));
    if (Mix_PlayMusic(music, -1) != 0) {
        Mix_FreeMusic(music);
        return 1;
    }
    loaded->background = music;
    return 0;
}

bool SoundOutput::isEffect(const std::string& name) {
    return effectIndex(name) >= 0;
}

bool SoundOutput::playEffect(const std::string& name) {
    // The buzz loops have channels of their own and are not effects.
    if (!isEffect(name) || !device)
        return false;
    Mix_Chunk* c = loaded->chunk(soundFolder, name);
    return c && Mix_PlayChannel(-1, c, 0) >= 0;
}

void SoundOutput::startBuzz() {
    buzzStarted = true;
    for (int i = 0; i < kBuzzLoops; ++i) {
        if (Mix_Chunk* c = loaded->chunk(soundFolder, "buzz_" + std::to_string(i))) {
            Mix_Volume(i, 0);
            Mix_PlayChannel(i, c, -1);
            Mix_Pause(i);
        }
    }
}

void SoundOutput::setBuzz(float thrust, bool flying) {
    if (!device)
        return;
    if (!buzzStarted)
        startBuzz();
    float t = std::isfinite(thrust) ? std::clamp(thrust, 0.0f, 1.0f) : 0.0f;
    int loop = -1, volume = 0;
    if (flying && t > 0.0f) {
        loop = std::min(kBuzzLoops - 1, int(t * kBuzzLoops));
        // Audible from the lightest wing beat, full at full thrust.
        volume = int(std::lround(24.0f + 104.0f * t));
        if (!Mix_Playing(loop)) // its file was missing
            loop = -1, volume = 0;
    }
    if (loop == heardLoop && volume == heardVolume)
        return;
    // Silent loops are paused, not mixed at volume 0.
    for (int i = 0; i < kBuzzLoops; ++i) {
        if (i == loop) {
            Mix_Volume(i, scaled(volume, effectsPercent));
            Mix_Resume(i);
        } else if (i == heardLoop) {
            Mix_Volume(i, 0);
            Mix_Pause(i);
        }
    }
    heardLoop = loop;
    heardVolume = volume;
}

void SoundOutput::close() {
    loaded->freeBackground();
    if (device) {
        Mix_HaltChannel(-1);
        for (Mix_Chunk*& c : loaded->chunks) {
            if (c)
                Mix_FreeChunk(c);
            c = nullptr;
        }
        loaded->tried.fill(false);
        buzzStarted = false;
        heardLoop = -1;
        heardVolume = 0;
        Mix_CloseAudio();
        device = false;
    }
    if (audioInitialised) {
        MyAudio::releaseAudio();
        audioInitialised = false;
    }
}
