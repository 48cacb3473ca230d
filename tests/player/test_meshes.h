// Small stand-in meshes for tests and benchmarks that run without the
// generated media: a tetrahedron on one bone whose skeleton carries the named
// animations. Header-only, so that benchmarks (which do not link the test
// support) can use it too.
#pragma once
#include <Ogre.h>

#include <initializer_list>
#include <string>

namespace nbtest {

// Makes a mesh called name unless the engine already knows one (loaded, or a
// file in a resource location). An empty list gives a mesh without skeleton.
inline void ensureAnimatedMesh(const std::string& name,
                               std::initializer_list<const char*> animations) {
    auto& groups = Ogre::ResourceGroupManager::getSingleton();
    auto& meshes = Ogre::MeshManager::getSingleton();
    if (meshes.getByName(name, Ogre::RGN_DEFAULT) || groups.resourceExistsInAnyGroup(name))
        return;

    Ogre::ManualObject shape(name + "_shape");
    shape.begin("BaseWhite", Ogre::RenderOperation::OT_TRIANGLE_LIST, Ogre::RGN_DEFAULT);
    const Ogre::Vector3 corners[] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
    for (const auto& c : corners)
        shape.position(c);
    const int faces[][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    for (const auto& f : faces)
        shape.triangle(f[0], f[1], f[2]);
    shape.end();
    Ogre::MeshPtr mesh = shape.convertToMesh(name, Ogre::RGN_DEFAULT);
    if (animations.size() == 0)
        return;

    Ogre::SkeletonPtr skeleton =
        Ogre::SkeletonManager::getSingleton().create(name + ".skeleton", Ogre::RGN_DEFAULT, true);
    Ogre::Bone* bone = skeleton->createBone("root", 0);
    skeleton->setBindingPose();
    for (const char* a : animations) {
        Ogre::Animation* animation = skeleton->createAnimation(a, 1.0f);
        Ogre::NodeAnimationTrack* track = animation->createNodeTrack(0, bone);
        track->createNodeKeyFrame(0.0f);
        track->createNodeKeyFrame(0.5f)->setTranslate(Ogre::Vector3(0, 1, 0));
        track->createNodeKeyFrame(1.0f);
    }
    mesh->setSkeletonName(skeleton->getName());
    for (unsigned i = 0; i < 4; ++i) {
        Ogre::VertexBoneAssignment vba;
        vba.vertexIndex = i;
        vba.boneIndex = 0;
        vba.weight = 1.0f;
        mesh->getSubMesh(0)->addBoneAssignment(vba);
    }
    mesh->_compileBoneAssignments();
}

} // namespace nbtest
