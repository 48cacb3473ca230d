// The player's own settings beside the engine's ogre.cfg: Resources/nightbite.cfg,
// one "key=value" per line, meant to be edited by hand as well.
//
// Reading never fails the game: a missing or unreadable file, one that is not
// a regular file or is longer than 64 KiB, lines without '=', unknown keys
// and comments ('#' as the first non-blank character) are simply not
// settings. Blanks around the key and the value are dropped, so
// "microphone = USB Audio" reads as "USB Audio"; everything between them, inner
// spaces and any UTF-8 included, is kept byte for byte. A key given twice reads
// as its last value.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace settings {

// The value of `key`, or nothing when the file or the key is missing.
std::optional<std::string> read(const std::string& path, const std::string& key);

// Sets `key` to `value` and keeps every other line as it was, comments and
// lines this program does not understand included. The new file is written
// beside the old one and renamed over it, so a crash or a full disk leaves
// either the old file or the new one, never half of one. Returns false with a
// reason in `error` when the value cannot be stored (a line break in it) or
// the file cannot be written; the old file is then untouched.
bool write(const std::string& path, const std::string& key, const std::string& value,
           std::string& error);

// The whole of a small file of the player's into text, if it is a regular
// file of at most maxBytes; false with the reason in error otherwise (empty
// for a missing file).
bool readSmallFile(const std::string& path, std::size_t maxBytes, std::string& text,
                   std::string& error);

// Puts text in place as the whole file at path: written to a new file of a
// unique name beside it, synced, given mode, and renamed over the old one,
// so that a crash or a full disk leaves the old file or the new one, never
// a part. False with the reason in error (the old file untouched).
bool replaceFile(const std::string& path, const std::string& text, mode_t mode, std::string& error);

// The settings file in the resource folder, and the key of the chosen
// microphone's name (empty or missing: the system's default).
std::string settingsFile(const std::string& resourcePath);
constexpr const char* microphoneKey = "microphone";

// The pause screen's settings. A value that is missing, unreadable or out of
// its range reads as the default.
constexpr const char* sensitivityKey = "sensitivity";              // dBFS, -60 to -20
constexpr const char* ambienceVolumeKey = "ambience_volume";       // per cent, 0 to 100
constexpr const char* effectsVolumeKey = "effects_volume";         // per cent, 0 to 100
constexpr const char* fullScreenKey = "full_screen";               // yes or no
constexpr const char* pauseOnFocusLossKey = "pause_on_focus_loss"; // yes or no
// Not on the pause screen: the scripts saved while the game runs are taken in.
constexpr const char* watchScriptsKey = "watch_scripts"; // yes or no, no by default

struct PlayerSettings {
    double sensitivity = -60.0;
    int ambienceVolume = 100;
    int effectsVolume = 100;
    // Missing: the rendering configuration's choice stands.
    std::optional<bool> fullScreen;
    bool pauseOnFocusLoss = true;
};

// A whole number within lo..hi; nothing for anything else.
std::optional<int> readNumber(const std::string& path, const std::string& key, int lo, int hi);
// "yes"/"no" (also "on"/"off", "true"/"false", "1"/"0"); nothing for anything else.
std::optional<bool> readFlag(const std::string& path, const std::string& key);
PlayerSettings readPlayerSettings(const std::string& path);
const char* flagText(bool on);

} // namespace settings
