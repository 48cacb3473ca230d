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

// The settings file in the resource folder, and the key of the chosen
// microphone's name (empty or missing: the system's default).
std::string settingsFile(const std::string& resourcePath);
constexpr const char* microphoneKey = "microphone";

} // namespace settings
