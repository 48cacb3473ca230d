// Small geometry and skeleton builders for the generated characters and props.
// Vertices are gathered per material (one sub-mesh each) in one shared vertex
// buffer, each vertex bound rigidly to one bone, and written with the engine's
// own serializers so that the game loads exactly what was built here.
#pragma once
#include <Ogre.h>

#include <map>
#include <string>
#include <vector>

namespace media {

class SkeletonBuilder;

class MeshBuilder {
public:
    // `unit` scales every position given to the builder.
    explicit MeshBuilder(float unit = 1) : unit(unit) {}

    // Following primitives are drawn with this material (a sub-mesh each).
    void material(const std::string& name);
    // Following vertices move with this bone (ignored for meshes without skeleton).
    void bone(unsigned short handle) { currentBone = handle; }

    uint32_t vertex(const Ogre::Vector3& p, const Ogre::Vector3& n, const Ogre::Vector2& uv);
    // A vertex with a second set of texture coordinates. Once one is given,
    // the mesh carries two sets, the second (0, 0) on vertices given without.
    uint32_t vertex(const Ogre::Vector3& p, const Ogre::Vector3& n, const Ogre::Vector2& uv,
                    const Ogre::Vector2& uv2);
    // Winding follows the vertex normals, so callers need not care about order.
    void triangle(uint32_t a, uint32_t b, uint32_t c);

    // An ellipsoid from its three semi-axes; the poles lie along c, u runs
    // around and v from the -c pole to the +c pole.
    void ellipsoid(const Ogre::Vector3& centre, const Ogre::Vector3& a, const Ogre::Vector3& b,
                   const Ogre::Vector3& c, int slices, int stacks);
    void sphere(const Ogre::Vector3& centre, float r, int slices, int stacks) {
        ellipsoid(centre, {r, 0, 0}, {0, 0, r}, {0, r, 0}, slices, stacks);
    }
    // A (possibly tapered) tube from `from` to `to`; caps close its ends.
    void tube(const Ogre::Vector3& from, const Ogre::Vector3& to, float r0, float r1, int sides,
              bool caps = true);
    // A six-faced block given by its bottom four corners and top four corners,
    // both in the same turning order. Flat faces.
    void block(const Ogre::Vector3 (&bottom)[4], const Ogre::Vector3 (&top)[4]);
    // An upright block: the bottom rectangle at `bottom` (half sizes hx0, hz0),
    // the top one at `top` (hx1, hz1); the centres may be offset to lean it.
    void uprightBlock(const Ogre::Vector3& bottom, const Ogre::Vector3& top, float hx0, float hz0,
                      float hx1, float hz1);
    void box(const Ogre::Vector3& min, const Ogre::Vector3& max) {
        Ogre::Vector3 c = (min + max) * 0.5f, h = (max - min) * 0.5f;
        uprightBlock({c.x, min.y, c.z}, {c.x, max.y, c.z}, h.x, h.z, h.x, h.z);
    }
    // A flat quad p0 p1 p2 p3 (in order round its edge) with texture corners
    // (0,0) (1,0) (1,1) (0,1), facing `normal`; doubleSided adds the back face.
    void quad(const Ogre::Vector3& p0, const Ogre::Vector3& p1, const Ogre::Vector3& p2,
              const Ogre::Vector3& p3, const Ogre::Vector3& normal, bool doubleSided = false,
              const Ogre::Vector2& uvScale = {1, 1});

    size_t triangleCount() const;
    const Ogre::AxisAlignedBox& bounds() const { return box_; }

    // Builds the mesh resource (bound to the skeleton when one is given) and
    // writes it as outDir/name. The resource is removed from the engine again.
    void write(const std::string& outDir, const std::string& name,
               SkeletonBuilder* skeleton = nullptr) const;

private:
    struct Vertex {
        Ogre::Vector3 p, n;
        Ogre::Vector2 uv;
        unsigned short bone;
        Ogre::Vector2 uv2 = Ogre::Vector2::ZERO;
    };
    std::vector<Vertex> vertices;
    std::vector<std::string> materials;                 // in sub-mesh order
    std::map<std::string, std::vector<uint32_t>> faces; // material -> indices
    float unit;
    std::string current;
    unsigned short currentBone = 0;
    bool twoUvSets = false;
    Ogre::AxisAlignedBox box_;
};

// A skeleton whose bones are placed by their model-space positions in the
// binding pose (all with identity orientation), and whose animation key
// frames are given relative to that pose, as the engine applies them.
class SkeletonBuilder {
public:
    // `unit` scales the bone positions and key frame translations, to match
    // a MeshBuilder of the same unit.
    explicit SkeletonBuilder(const std::string& name, float unit = 1);
    ~SkeletonBuilder();
    SkeletonBuilder(const SkeletonBuilder&) = delete;
    SkeletonBuilder& operator=(const SkeletonBuilder&) = delete;

    unsigned short bone(const std::string& name, const std::string& parent,
                        const Ogre::Vector3& modelPos);
    unsigned short handle(const std::string& name) const;
    Ogre::Vector3 modelPosition(const std::string& name) const;

    Ogre::Animation* animation(const std::string& name, float length);
    void key(Ogre::Animation* anim, const std::string& bone, float time,
             const Ogre::Quaternion& rotation,
             const Ogre::Vector3& translation = Ogre::Vector3::ZERO);

    const std::string& name() const { return name_; }
    Ogre::SkeletonPtr& skeleton() { return skel; }
    void write(const std::string& outDir);

private:
    std::string name_;
    float unit;
    Ogre::SkeletonPtr skel;
    std::map<std::string, Ogre::Vector3> positions;
};

Ogre::Quaternion rotX(float degrees);
Ogre::Quaternion rotY(float degrees);
Ogre::Quaternion rotZ(float degrees);

} // namespace media
