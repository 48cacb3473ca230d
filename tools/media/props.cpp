// Street props that scripts place as world objects: a unit box, a crate, a
// bench and a flat poster (a mesh with no depth at all).
#include "media.h"

#include <Ogre.h>
#include <OgreMeshSerializer.h>

#include <string>

namespace {

class PropBuilder {
public:
    // The street has one grey sun and no ambient light, so each prop's
    // material carries some light of its own (nightbite_props.material).
    // The tool loads no material scripts, and a mesh only keeps the name of a
    // material the engine knows (the manual object falls back to plain white
    // otherwise): so the name is made known first. The real definitions are
    // the game's material scripts.
    PropBuilder(const std::string& name, const std::string& material) : object(name) {
        auto& materials = Ogre::MaterialManager::getSingleton();
        if (!materials.resourceExists(material, Ogre::RGN_DEFAULT))
            materials.create(material, Ogre::RGN_DEFAULT);
        object.begin(material, Ogre::RenderOperation::OT_TRIANGLE_LIST);
    }

    // An axis-aligned block with flat-shaded faces, wound outwards.
    void block(const Ogre::Vector3& lo, const Ogre::Vector3& hi) {
        const Ogre::Vector3 c[8] = {
            {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
            {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z},
        };
        quad(c[4], c[5], c[6], c[7], Ogre::Vector3::UNIT_Z);
        quad(c[1], c[0], c[3], c[2], Ogre::Vector3::NEGATIVE_UNIT_Z);
        quad(c[5], c[1], c[2], c[6], Ogre::Vector3::UNIT_X);
        quad(c[0], c[4], c[7], c[3], Ogre::Vector3::NEGATIVE_UNIT_X);
        quad(c[7], c[6], c[2], c[3], Ogre::Vector3::UNIT_Y);
        quad(c[0], c[1], c[5], c[4], Ogre::Vector3::NEGATIVE_UNIT_Y);
    }

    // A quad p0..p3 counter-clockwise seen from the side `normal` points to.
    void quad(const Ogre::Vector3& p0, const Ogre::Vector3& p1, const Ogre::Vector3& p2,
              const Ogre::Vector3& p3, const Ogre::Vector3& normal) {
        const Ogre::Vector3 p[4] = {p0, p1, p2, p3};
        const Ogre::Vector2 uv[4] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
        for (int i = 0; i < 4; ++i) {
            object.position(p[i]);
            object.normal(normal);
            object.textureCoord(uv[i]);
            box.merge(p[i]);
        }
        object.quad(next, next + 1, next + 2, next + 3);
        next += 4;
    }

    void write(const std::string& outDir, const std::string& file) {
        object.end();
        Ogre::MeshPtr mesh = object.convertToMesh(file);
        // Exact bounds, without the engine's padding: scripts read them back
        // as the prop's size.
        mesh->_setBounds(box, false);
        mesh->_setBoundingSphereRadius(
            std::max(box.getMaximum().length(), box.getMinimum().length()));
        Ogre::MeshSerializer().exportMesh(mesh.get(), outDir + "/" + file);
        Ogre::MeshManager::getSingleton().remove(mesh);
    }

private:
    Ogre::ManualObject object;
    Ogre::AxisAlignedBox box;
    Ogre::uint32 next = 0;
};

void writeProps(const std::string& outDir) {
    {
        // One unit on every side, standing on the ground at its centre.
        PropBuilder b("box", "Nightbite/Props/Box");
        b.block({-0.5f, 0, -0.5f}, {0.5f, 1, 0.5f});
        b.write(outDir, "box.mesh");
    }
    {
        // A crate with a lid that overhangs a little.
        PropBuilder b("crate", "Nightbite/Props/Crate");
        b.block({-0.4f, 0, -0.4f}, {0.4f, 0.72f, 0.4f});
        b.block({-0.42f, 0.72f, -0.42f}, {0.42f, 0.8f, 0.42f});
        b.write(outDir, "crate.mesh");
    }
    {
        // A bench: seat, back rest and four legs; 2 long, 0.9 high, 0.6 deep.
        PropBuilder b("bench", "Nightbite/Props/Bench");
        b.block({-1, 0.42f, -0.3f}, {1, 0.48f, 0.25f});
        b.block({-1, 0.48f, 0.25f}, {1, 0.9f, 0.3f});
        for (float x : {-0.9f, 0.85f})
            for (float z : {-0.25f, 0.2f})
                b.block({x, 0, z}, {x + 0.05f, 0.42f, z + 0.05f});
        b.write(outDir, "bench.mesh");
    }
    {
        // A poster: a flat sheet, 1 wide and 1.5 high, with no depth.
        PropBuilder b("poster", "Nightbite/Props/Poster");
        b.quad({-0.5f, 0, 0}, {0.5f, 0, 0}, {0.5f, 1.5f, 0}, {-0.5f, 1.5f, 0},
               Ogre::Vector3::UNIT_Z);
        b.quad({0.5f, 0, 0}, {-0.5f, 0, 0}, {-0.5f, 1.5f, 0}, {0.5f, 1.5f, 0},
               Ogre::Vector3::NEGATIVE_UNIT_Z);
        b.write(outDir, "poster.mesh");
    }
}

MediaGenerator props("props", writeProps);

} // namespace
