#include "support/headless_textures.h"

#include <OgreTexture.h>
#include <OgreTextureManager.h>

namespace nbtest {
namespace {

// Keeps its size from the image header it would have loaded; holds no pixels.
class HeadlessTexture : public Ogre::Texture {
public:
    HeadlessTexture(Ogre::ResourceManager* creator, const Ogre::String& name,
                    Ogre::ResourceHandle handle, const Ogre::String& group, bool isManual,
                    Ogre::ManualResourceLoader* loader)
        : Texture(creator, name, handle, group, isManual, loader) {}
    ~HeadlessTexture() override { unload(); }

protected:
    void loadImpl() override {}
    void createInternalResourcesImpl() override {}
    void freeInternalResourcesImpl() override {}
};

class HeadlessTextureManager : public Ogre::TextureManager {
public:
    ~HeadlessTextureManager() override { removeAll(); }
    Ogre::PixelFormat getNativeFormat(Ogre::TextureType, Ogre::PixelFormat format, int) override {
        return format;
    }

protected:
    Ogre::Resource* createImpl(const Ogre::String& name, Ogre::ResourceHandle handle,
                               const Ogre::String& group, bool isManual,
                               Ogre::ManualResourceLoader* loader,
                               const Ogre::NameValuePairList*) override {
        return new HeadlessTexture(this, name, handle, group, isManual, loader);
    }
};

HeadlessTextureManager* manager = nullptr;

} // namespace

void installHeadlessTextureManager() {
    if (!Ogre::TextureManager::getSingletonPtr())
        manager = new HeadlessTextureManager;
}

void removeHeadlessTextureManager() {
    delete manager;
    manager = nullptr;
}

} // namespace nbtest
