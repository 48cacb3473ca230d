#include "mesh_builder.h"

#include <cmath>
#include <stdexcept>

namespace media {

using Ogre::Vector2;
using Ogre::Vector3;

namespace {

// Meshes and skeletons built here are filled in by hand; loading them through
// this loader only marks them loaded, so that unloading frees their parts.
class FilledByHand : public Ogre::ManualResourceLoader {
public:
    void loadResource(Ogre::Resource*) override {}
};
FilledByHand filledByHand;

} // namespace

Ogre::Quaternion rotX(float degrees) {
    return Ogre::Quaternion(Ogre::Degree(degrees), Vector3::UNIT_X);
}
Ogre::Quaternion rotY(float degrees) {
    return Ogre::Quaternion(Ogre::Degree(degrees), Vector3::UNIT_Y);
}
Ogre::Quaternion rotZ(float degrees) {
    return Ogre::Quaternion(Ogre::Degree(degrees), Vector3::UNIT_Z);
}

void MeshBuilder::material(const std::string& name) {
    current = name;
    if (!faces.count(name)) {
        materials.push_back(name);
        faces[name];
    }
}

uint32_t MeshBuilder::vertex(const Vector3& p, const Vector3& n, const Vector2& uv) {
    vertices.push_back({p * unit, n.normalisedCopy(), uv, currentBone});
    box_.merge(p * unit);
    return uint32_t(vertices.size() - 1);
}

uint32_t MeshBuilder::vertex(const Vector3& p, const Vector3& n, const Vector2& uv,
                             const Vector2& uv2) {
    uint32_t index = vertex(p, n, uv);
    vertices[index].uv2 = uv2;
    twoUvSets = true;
    return index;
}

void MeshBuilder::triangle(uint32_t a, uint32_t b, uint32_t c) {
    if (current.empty())
        throw std::logic_error("MeshBuilder: no material chosen");
    const Vertex &va = vertices[a], &vb = vertices[b], &vc = vertices[c];
    Vector3 face = (vb.p - va.p).crossProduct(vc.p - va.p);
    // Collapsed triangles at the poles of round shapes draw nothing.
    if (face.squaredLength() < 1e-12f)
        return;
    std::vector<uint32_t>& list = faces[current];
    if (face.dotProduct(va.n + vb.n + vc.n) < 0)
        std::swap(b, c);
    list.insert(list.end(), {a, b, c});
}

void MeshBuilder::ellipsoid(const Vector3& centre, const Vector3& a, const Vector3& b,
                            const Vector3& c, int slices, int stacks) {
    Ogre::Matrix3 m;
    m.SetColumn(0, a);
    m.SetColumn(1, b);
    m.SetColumn(2, c);
    // Normals of a linearly stretched sphere go through the inverse transpose.
    Ogre::Matrix3 normalMap = m.Inverse().Transpose();
    uint32_t first = uint32_t(vertices.size());
    for (int i = 0; i <= stacks; ++i) {
        float lat = Ogre::Math::PI * (float(i) / float(stacks) - 0.5f);
        for (int j = 0; j <= slices; ++j) {
            float lon = Ogre::Math::TWO_PI * float(j) / float(slices);
            Vector3 s(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat));
            vertex(centre + m * s, normalMap * s,
                   {float(j) / float(slices), float(i) / float(stacks)});
        }
    }
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            uint32_t v00 = first + uint32_t(i * (slices + 1) + j), v01 = v00 + 1;
            uint32_t v10 = v00 + uint32_t(slices + 1), v11 = v10 + 1;
            triangle(v00, v01, v11);
            triangle(v00, v11, v10);
        }
}

void MeshBuilder::tube(const Vector3& from, const Vector3& to, float r0, float r1, int sides,
                       bool caps) {
    Vector3 axis = to - from;
    float length = axis.normalise();
    Vector3 u = axis.perpendicular(), v = axis.crossProduct(u);
    uint32_t first = uint32_t(vertices.size());
    for (int j = 0; j <= sides; ++j) {
        float t = Ogre::Math::TWO_PI * float(j) / float(sides);
        Vector3 radial = u * std::cos(t) + v * std::sin(t);
        Vector3 n = radial * length + axis * (r0 - r1);
        float s = float(j) / float(sides);
        vertex(from + radial * r0, n, {s, 0});
        vertex(to + radial * r1, n, {s, 1});
    }
    for (int j = 0; j < sides; ++j) {
        uint32_t a = first + uint32_t(2 * j);
        triangle(a, a + 2, a + 3);
        triangle(a, a + 3, a + 1);
    }
    if (!caps)
        return;
    for (int end = 0; end < 2; ++end) {
        Vector3 centre = end ? to : from, n = end ? axis : -axis;
        float r = end ? r1 : r0;
        if (r <= 0)
            continue;
        uint32_t mid = vertex(centre, n, {0.5f, 0.5f});
        for (int j = 0; j <= sides; ++j) {
            float t = Ogre::Math::TWO_PI * float(j) / float(sides);
            vertex(centre + (u * std::cos(t) + v * std::sin(t)) * r, n,
                   {0.5f + 0.5f * std::cos(t), 0.5f + 0.5f * std::sin(t)});
        }
        for (int j = 0; j < sides; ++j)
            triangle(mid, mid + 1 + uint32_t(j), mid + 2 + uint32_t(j));
    }
}

void MeshBuilder::block(const Vector3 (&bottom)[4], const Vector3 (&top)[4]) {
    Vector3 centre = Vector3::ZERO;
    for (int i = 0; i < 4; ++i)
        centre += bottom[i] + top[i];
    centre /= 8;
    auto face = [&](const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3) {
        Vector3 n = (p2 - p0).crossProduct(p3 - p1);
        if (n.dotProduct((p0 + p1 + p2 + p3) * 0.25f - centre) < 0)
            n = -n;
        quad(p0, p1, p2, p3, n);
    };
    face(bottom[0], bottom[1], bottom[2], bottom[3]);
    face(top[0], top[1], top[2], top[3]);
    for (int i = 0; i < 4; ++i) {
        int k = (i + 1) % 4;
        face(bottom[i], bottom[k], top[k], top[i]);
    }
}

void MeshBuilder::uprightBlock(const Vector3& bottom, const Vector3& top, float hx0, float hz0,
                               float hx1, float hz1) {
    const Vector3 b[4] = {bottom + Vector3(-hx0, 0, -hz0), bottom + Vector3(hx0, 0, -hz0),
                          bottom + Vector3(hx0, 0, hz0), bottom + Vector3(-hx0, 0, hz0)};
    const Vector3 t[4] = {top + Vector3(-hx1, 0, -hz1), top + Vector3(hx1, 0, -hz1),
                          top + Vector3(hx1, 0, hz1), top + Vector3(-hx1, 0, hz1)};
    block(b, t);
}

void MeshBuilder::quad(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                       const Vector3& normal, bool doubleSided, const Vector2& uvScale) {
    for (int side = 0; side < (doubleSided ? 2 : 1); ++side) {
        Vector3 n = side ? -normal : normal;
        uint32_t a = vertex(p0, n, Vector2(0, 0) * uvScale);
        uint32_t b = vertex(p1, n, Vector2(1, 0) * uvScale);
        uint32_t c = vertex(p2, n, Vector2(1, 1) * uvScale);
        uint32_t d = vertex(p3, n, Vector2(0, 1) * uvScale);
        triangle(a, b, c);
        triangle(a, c, d);
    }
}

size_t MeshBuilder::triangleCount() const {
    size_t n = 0;
    for (const auto& f : faces)
        n += f.second.size() / 3;
    return n;
}

void MeshBuilder::write(const std::string& outDir, const std::string& name,
                        SkeletonBuilder* skeleton) const {
    auto& buffers = Ogre::HardwareBufferManager::getSingleton();
    Ogre::MeshPtr mesh =
        Ogre::MeshManager::getSingleton().createManual(name, Ogre::RGN_DEFAULT, &filledByHand);
    mesh->load();

    // Positions and normals in one buffer, texture coordinates in another:
    // software skinning replaces the first buffer with its own blended copy,
    // which carries nothing but positions and normals.
    mesh->sharedVertexData = new Ogre::VertexData();
    Ogre::VertexData* data = mesh->sharedVertexData;
    Ogre::VertexDeclaration* decl = data->vertexDeclaration;
    decl->addElement(0, 0, Ogre::VET_FLOAT3, Ogre::VES_POSITION);
    decl->addElement(0, 12, Ogre::VET_FLOAT3, Ogre::VES_NORMAL);
    decl->addElement(1, 0, Ogre::VET_FLOAT2, Ogre::VES_TEXTURE_COORDINATES, 0);
    if (twoUvSets)
        decl->addElement(1, 8, Ogre::VET_FLOAT2, Ogre::VES_TEXTURE_COORDINATES, 1);
    data->vertexCount = vertices.size();
    std::vector<float> geometry, uvs;
    geometry.reserve(vertices.size() * 6);
    uvs.reserve(vertices.size() * (twoUvSets ? 4 : 2));
    float radius = 0;
    for (const Vertex& v : vertices) {
        geometry.insert(geometry.end(), {v.p.x, v.p.y, v.p.z, v.n.x, v.n.y, v.n.z});
        uvs.insert(uvs.end(), {v.uv.x, v.uv.y});
        if (twoUvSets)
            uvs.insert(uvs.end(), {v.uv2.x, v.uv2.y});
        radius = std::max(radius, v.p.length());
    }
    for (unsigned short source = 0; source < 2; ++source) {
        const std::vector<float>& values = source ? uvs : geometry;
        auto vbuf = buffers.createVertexBuffer(decl->getVertexSize(source), vertices.size(),
                                               Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY);
        vbuf->writeData(0, vbuf->getSizeInBytes(), values.data(), true);
        data->vertexBufferBinding->setBinding(source, vbuf);
    }

    bool wide = vertices.size() > 0xFFFF;
    for (const std::string& m : materials) {
        const std::vector<uint32_t>& idx = faces.at(m);
        if (idx.empty())
            continue;
        Ogre::SubMesh* sub = mesh->createSubMesh();
        sub->useSharedVertices = true;
        // A sub-mesh only keeps the name of a material the engine knows; the
        // real definitions are the game's material scripts.
        auto& materialManager = Ogre::MaterialManager::getSingleton();
        if (!materialManager.resourceExists(m, Ogre::RGN_DEFAULT))
            materialManager.create(m, Ogre::RGN_DEFAULT);
        sub->setMaterialName(m);
        auto ibuf = buffers.createIndexBuffer(
            wide ? Ogre::HardwareIndexBuffer::IT_32BIT : Ogre::HardwareIndexBuffer::IT_16BIT,
            idx.size(), Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY);
        if (wide) {
            ibuf->writeData(0, ibuf->getSizeInBytes(), idx.data(), true);
        } else {
            std::vector<uint16_t> narrow(idx.begin(), idx.end());
            ibuf->writeData(0, ibuf->getSizeInBytes(), narrow.data(), true);
        }
        sub->indexData->indexBuffer = ibuf;
        sub->indexData->indexStart = 0;
        sub->indexData->indexCount = idx.size();
    }
    mesh->_setBounds(box_, false);
    mesh->_setBoundingSphereRadius(radius);

    if (skeleton) {
        mesh->_notifySkeleton(skeleton->skeleton());
        for (size_t i = 0; i < vertices.size(); ++i) {
            Ogre::VertexBoneAssignment vba;
            vba.vertexIndex = unsigned(i);
            vba.boneIndex = vertices[i].bone;
            vba.weight = 1.0f;
            mesh->addBoneAssignment(vba);
        }
        mesh->_compileBoneAssignments();
    }
    Ogre::MeshSerializer().exportMesh(mesh.get(), outDir + "/" + name);
    Ogre::MeshManager::getSingleton().remove(mesh);
}

SkeletonBuilder::SkeletonBuilder(const std::string& name, float unit)
    : name_(name), unit(unit), skel(Ogre::SkeletonManager::getSingleton().create(
                                   name, Ogre::RGN_DEFAULT, true, &filledByHand)) {
    skel->load();
    // Several animations may play at once (a person slaps while walking):
    // each adds its own turn instead of being averaged down by the others.
    skel->setBlendMode(Ogre::ANIMBLEND_CUMULATIVE);
}

SkeletonBuilder::~SkeletonBuilder() {
    Ogre::SkeletonManager::getSingleton().remove(skel);
}

unsigned short SkeletonBuilder::bone(const std::string& name, const std::string& parent,
                                     const Vector3& modelPos) {
    auto handle = static_cast<unsigned short>(skel->getNumBones());
    Ogre::Bone* b = skel->createBone(name, handle);
    Vector3 local = modelPos;
    if (!parent.empty()) {
        skel->getBone(parent)->addChild(b);
        local -= positions.at(parent);
    }
    b->setPosition(local * unit);
    positions[name] = modelPos;
    return handle;
}

unsigned short SkeletonBuilder::handle(const std::string& name) const {
    return skel->getBone(name)->getHandle();
}

Vector3 SkeletonBuilder::modelPosition(const std::string& name) const {
    return positions.at(name);
}

Ogre::Animation* SkeletonBuilder::animation(const std::string& name, float length) {
    Ogre::Animation* anim = skel->createAnimation(name, length);
    anim->setInterpolationMode(Ogre::Animation::IM_LINEAR);
    anim->setRotationInterpolationMode(Ogre::Animation::RIM_SPHERICAL);
    return anim;
}

void SkeletonBuilder::key(Ogre::Animation* anim, const std::string& boneName, float time,
                          const Ogre::Quaternion& rotation, const Vector3& translation) {
    unsigned short h = handle(boneName);
    Ogre::NodeAnimationTrack* track =
        anim->hasNodeTrack(h) ? anim->getNodeTrack(h) : anim->createNodeTrack(h, skel->getBone(h));
    Ogre::TransformKeyFrame* frame = track->createNodeKeyFrame(time);
    frame->setRotation(rotation);
    frame->setTranslate(translation * unit);
}

void SkeletonBuilder::write(const std::string& outDir) {
    skel->setBindingPose();
    Ogre::SkeletonSerializer().exportSkeleton(skel.get(), outDir + "/" + name_);
}

} // namespace media
