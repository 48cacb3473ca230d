// Build-time media generators. Each generator source registers itself with a
// static MediaGenerator object; nb_media runs them all into one folder.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct MediaGenerator {
    using Fn = std::function<void(const std::string& outDir)>;
    // needsEngine: the generator uses Ogre's managers (meshes, images), so a
    // headless engine root must exist while it runs.
    MediaGenerator(const char* name, Fn fn, bool needsEngine = true);
    static std::vector<MediaGenerator*>& all();
    const char* name;
    Fn run;
    bool needsEngine;
};
