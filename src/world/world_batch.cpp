#include "world/world_batch.h"

#include "util/globals.h"
#include "world/world_objects.h"

#include <Ogre.h>

#include <cstdio>
#include <exception>
#include <vector>

namespace {

const char* const kColourBatch = "Nightbite/WorldObjects/Still";
const char* const kDepthBatch = "Nightbite/WorldObjects/StillDepth";
const char* const kDepthMaterial = "Nightbite/WorldObjects/DepthOnly";

// One region large enough for any street: the whole batch is then one draw
// per material. Its corner sits so that the space around the origin falls in
// a single region, and the engine's 1024 regions a side reach past
// kWorldLimit (from -10250000 to 10230000); an object reaching further is
// drawn on its own.
const Ogre::Vector3 kRegionSize(20000, 20000, 20000);
const Ogre::Vector3 kRegionOrigin(-10000, -10000, -10000);
constexpr float kBatchReach = 1e7f;

struct Batch {
    Ogre::SceneManager* scene = nullptr;
    Ogre::StaticGeometry* colour = nullptr;
    Ogre::StaticGeometry* depth = nullptr;
    bool dirty = false;
    bool givenUp = false; // a build failed: objects are drawn one by one
    int objects = 0;
    int depthObjects = 0;
} batch;

bool keepsItsPlace(const WorldObject& o) {
    const Ogre::SceneNode& node = *o.node;
    return node.getPosition() == o.seenPosition && node.getOrientation() == o.seenOrientation &&
           node.getScale() == o.seenScale;
}

void noteMove(WorldObject& o) {
    o.seenPosition = o.node->getPosition();
    o.seenOrientation = o.node->getOrientation();
    o.seenScale = o.node->getScale();
    o.stillFrames = 0;
}

// The technique the engine draws the part with; the first one when it has
// not chosen (without a render system, as in headless tests).
const Ogre::Technique* techniqueOf(const Ogre::SubEntity& part) {
    if (const Ogre::Technique* t = part.getTechnique())
        return t;
    const Ogre::MaterialPtr& material = part.getMaterial();
    return material && material->getNumTechniques() > 0 ? material->getTechnique(0) : nullptr;
}

// Static geometry draws its meshes as they are in the file: nothing to
// animate, and nothing see-through, whose order among the other see-through
// things of the scene the batch would change.
bool batchable(const WorldObject& o) {
    const Ogre::Entity& e = *o.entity;
    if (e.hasSkeleton() || e.hasVertexAnimation() || e.getMesh()->getNumLodLevels() > 1)
        return false;
    const Ogre::AxisAlignedBox& box = o.entity->getWorldBoundingBox(true);
    if (!box.isFinite())
        return false;
    for (int axis = 0; axis < 3; ++axis)
        if (box.getMinimum()[axis] < -kBatchReach || box.getMaximum()[axis] > kBatchReach)
            return false;
    for (size_t i = 0; i < e.getNumSubEntities(); ++i) {
        const Ogre::Technique* t = techniqueOf(*e.getSubEntity(i));
        if (!t || t->isTransparent() || t->isTransparentSortingForced())
            return false;
    }
    return true;
}

// Whether the depth-only copy writes exactly the depth the object's own
// drawing writes and nothing more: solid, unbiased, fixed-function passes
// that cull back faces (a copy drawing faces the object culls would hide
// what lies behind them).
bool depthMatches(const Ogre::Entity& e) {
    for (size_t i = 0; i < e.getNumSubEntities(); ++i) {
        const Ogre::Technique* t = techniqueOf(*e.getSubEntity(i));
        if (!t || t->getNumPasses() == 0)
            return false;
        const Ogre::Pass* p = t->getPass(0);
        if (!p->getDepthWriteEnabled() || !p->getDepthCheckEnabled() ||
            p->getDepthFunction() != Ogre::CMPF_LESS_EQUAL || p->getDepthBiasConstant() != 0 ||
            p->getDepthBiasSlopeScale() != 0 ||
            p->getAlphaRejectFunction() != Ogre::CMPF_ALWAYS_PASS || p->hasVertexProgram() ||
            p->getCullingMode() != Ogre::CULL_CLOCKWISE ||
            p->getManualCullingMode() != Ogre::MANUAL_CULL_BACK ||
            p->getPolygonMode() != Ogre::PM_SOLID)
            return false;
    }
    return true;
}

// Looked up each time rather than kept: a pointer held in a static would
// outlive the engine in programs that shut it down.
Ogre::MaterialPtr depthMaterial() {
    Ogre::MaterialManager& materials = Ogre::MaterialManager::getSingleton();
    Ogre::MaterialPtr material = materials.getByName(
        kDepthMaterial, Ogre::ResourceGroupManager::INTERNAL_RESOURCE_GROUP_NAME);
    if (material)
        return material;
    material =
        materials.create(kDepthMaterial, Ogre::ResourceGroupManager::INTERNAL_RESOURCE_GROUP_NAME);
    Ogre::Pass* pass = material->getTechnique(0)->getPass(0);
    pass->setColourWriteEnabled(false);
    pass->setLightingEnabled(false);
    material->load();
    return material;
}

// Adds the object to the depth batch under the depth-only material: the
// engine's static geometry takes each part's material from the entity as it
// is added.
void addDepthCopy(Ogre::StaticGeometry& target, const Ogre::MaterialPtr& depth, WorldObject& o) {
    Ogre::Entity& e = *o.entity;
    std::vector<Ogre::MaterialPtr> materials;
    for (size_t i = 0; i < e.getNumSubEntities(); ++i)
        materials.push_back(e.getSubEntity(i)->getMaterial());
    auto restore = [&] {
        for (size_t i = 0; i < materials.size(); ++i)
            e.getSubEntity(i)->setMaterial(materials[i]);
    };
    e.setMaterial(depth);
    try {
        target.addEntity(&e, o.node->getPosition(), o.node->getOrientation(), o.node->getScale());
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void makeBatches(Ogre::SceneManager& scene) {
    // A batch of another scene belongs to that scene, which frees it.
    batch = Batch{};
    batch.scene = &scene;
    batch.colour = scene.createStaticGeometry(kColourBatch);
    batch.depth = scene.createStaticGeometry(kDepthBatch);
    for (Ogre::StaticGeometry* g : {batch.colour, batch.depth}) {
        g->setRegionDimensions(kRegionSize);
        g->setOrigin(kRegionOrigin);
    }
    // Before the sky, which the game draws first.
    batch.depth->setRenderQueueGroup(Ogre::RENDER_QUEUE_BACKGROUND);
}

void fill() {
    const Ogre::MaterialPtr depth = depthMaterial();
    for (int slot = 0; slot < kWorldObjectSlots; ++slot) {
        WorldObject* o = worldObjectAt(slot);
        if (!o || !o->batched)
            continue;
        batch.colour->addEntity(o->entity, o->node->getPosition(), o->node->getOrientation(),
                                o->node->getScale());
        ++batch.objects;
        if (depthMatches(*o->entity)) {
            addDepthCopy(*batch.depth, depth, *o);
            ++batch.depthObjects;
        }
    }
    batch.colour->build();
    batch.depth->build();
}

void rebuild(Ogre::SceneManager& scene) {
    batch.dirty = false;
    if (batch.scene != &scene)
        makeBatches(scene);
    batch.colour->reset();
    batch.depth->reset();
    batch.objects = batch.depthObjects = 0;
    try {
        fill();
    } catch (const std::exception& e) {
        // Drawing object by object always works; the batch is only faster.
        std::fprintf(stderr, "World objects are drawn one by one from now on: %s\n", e.what());
        batch.colour->reset();
        batch.depth->reset();
        batch.objects = batch.depthObjects = 0;
        batch.givenUp = true;
        for (int slot = 0; slot < kWorldObjectSlots; ++slot)
            if (WorldObject* o = worldObjectAt(slot))
                o->batched = false;
    }
    for (int slot = 0; slot < kWorldObjectSlots; ++slot)
        if (WorldObject* o = worldObjectAt(slot); o && o->scene == &scene)
            o->entity->setVisible(!o->batched);
}

} // namespace

void batchStillWorldObjects() {
    if (!sceneManager || batch.givenUp)
        return;
    for (int slot = 0; slot < kWorldObjectSlots; ++slot) {
        WorldObject* o = worldObjectAt(slot);
        if (!o || o->scene != sceneManager)
            continue;
        if (!keepsItsPlace(*o)) {
            noteMove(*o);
            if (o->batched) {
                o->batched = false;
                batch.dirty = true;
            }
        } else if (!o->batched && o->stillFrames < kStillFramesToBatch &&
                   ++o->stillFrames == kStillFramesToBatch && batchable(*o)) {
            o->batched = true;
            batch.dirty = true;
        }
    }
    if (batch.dirty)
        rebuild(*sceneManager);
}

void forgetBatchedObject(WorldObject& object) {
    if (object.batched) {
        object.batched = false;
        batch.dirty = true;
    }
}

void releaseWorldBatch() {
    if (batch.scene) {
        batch.scene->destroyStaticGeometry(batch.colour);
        batch.scene->destroyStaticGeometry(batch.depth);
    }
    batch = Batch{};
}

int batchedWorldObjectCount() {
    return batch.objects;
}

int depthBatchedWorldObjectCount() {
    return batch.depthObjects;
}
