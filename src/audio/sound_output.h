// The game's sound through SDL_mixer: the street ambience as a looping stream,
// short effects on mixer channels beside it, and the insect's buzz on channels
// of its own. Shares nothing with the microphone side.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

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

    // The effects the scripts may play, by name.
    static bool isEffect(const std::string& name);

    // Plays <name>.wav of the sound folder once, on a free channel; the
    // ambience and the buzz go on. The file is read on its first use and kept.
    // False when nothing plays (an unknown name, no device, no file, or every
    // effect channel busy).
    bool playEffect(const std::string& name);

    // The wings, for each frame: silent unless flying; while flying, louder
    // and higher with the thrust (0 to 1). Four loops of rising pitch play
    // together on their own channels and only the one for the thrust is
    // heard, so that a change of pitch never restarts a sound.
    void setBuzz(float thrust, bool flying);

    // Which buzz loop is heard (0 to 3) and how loud (0 to 128, the mixer's
    // scale, before the effects' volume); -1 and 0 while silent.
    int buzzLoop() const { return heardLoop; }
    int buzzVolume() const { return heardVolume; }

    // The player's volumes, 0 to 100 per cent (clamped): the ambience, and
    // the effects with the buzz. They hold for sounds started later too.
    void setAmbienceVolume(int percent);
    void setEffectsVolume(int percent);
    int ambienceVolume() const { return ambiencePercent; }
    int effectsVolume() const { return effectsPercent; }

    // Stops every sound and closes the device; the destructor does the same.
    void close();

    bool device = false;
    // Where the effect and buzz files are read from, relative to the working
    // folder like the ambience.
    std::string soundFolder = "Resources/sound";

    static constexpr int kBuzzLoops = 4;
    static constexpr int kEffects = 4; // slap, drink, bank, warning

private:
    void startBuzz();

    bool audioInitialised = false;
    static constexpr int kEffectChannels = 6;
    // What the mixer has loaded: the ambience and the sound files
    // (sound_output.cpp keeps the mixer's types to itself).
    struct Loaded;
    std::unique_ptr<Loaded> loaded;
    bool buzzStarted = false;
    int heardLoop = -1;
    int heardVolume = 0;
    int ambiencePercent = 100;
    int effectsPercent = 100;
};

// The game's sound output; made at start-up, deleted when the game ends.
extern SoundOutput* soundOutput;

// play_sound.
struct luaL_Reg;
extern const luaL_Reg soundFunctions[];
