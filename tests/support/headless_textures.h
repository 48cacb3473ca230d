// Textures without a render system. Material, overlay and font scripts name
// textures; parsing them asks the texture manager for each, and only a render
// system brings one. This manager makes texture resources that are never
// uploaded anywhere, so that the real media can be parsed and loaded headless.
#pragma once

namespace nbtest {

// Creates the headless texture manager unless a texture manager exists.
void installHeadlessTextureManager();

// Destroys it again, if this module made it.
void removeHeadlessTextureManager();

} // namespace nbtest
