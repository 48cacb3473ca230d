// The push-out written the plain way, step for step from its description:
// every slot in order, sine and cosine computed at each visit, ties decided by
// trying the faces in their fixed order. The fast path must agree with it bit
// for bit; the benchmark measures against it.
#pragma once
#include <array>
#include <cmath>

struct ReferenceZone {
    bool used = false;
    float origin[3] = {0, 0, 0};
    float size[3] = {0, 0, 0};
    double angle = 0;
};

using ReferenceZones = std::array<ReferenceZone, 1024>;

inline bool referenceResolve(const ReferenceZones& zones, const float position[3],
                             float corrected[3], bool& onTop) {
    float q[3] = {position[0], position[1], position[2]};
    bool touched = false;
    for (const ReferenceZone& z : zones) {
        if (!z.used)
            continue;
        const double dx = double(q[0]) - z.origin[0];
        const double dy = double(q[1]) - z.origin[1];
        const double dz = double(q[2]) - z.origin[2];
        const double c = std::cos(z.angle);
        const double s = std::sin(z.angle);
        double lx = dx * c - dz * s;
        double ly = dy;
        double lz = dx * s + dz * c;
        const double sx = z.size[0], sy = z.size[1], sz = z.size[2];
        if (!(0 < lx && lx < sx && 0 < ly && ly < sy && 0 < lz && lz < sz))
            continue;
        onTop = false;
        const double distance[6] = {sx - lx, lx, sy - ly, ly, sz - lz, lz};
        int face = 0;
        for (int f = 0; f < 6; ++f) {
            bool lowest = true;
            for (int g = 0; g < 6; ++g)
                lowest = lowest && distance[f] <= distance[g];
            if (lowest) {
                face = f;
                break;
            }
        }
        switch (face) {
        case 0:
            lx = sx;
            break;
        case 1:
            lx = 0;
            break;
        case 2:
            ly = sy;
            onTop = true;
            break;
        case 3:
            ly = 0;
            break;
        case 4:
            lz = sz;
            break;
        case 5:
            lz = 0;
            break;
        }
        const double wx = z.origin[0] + lx * c + lz * s;
        const double wy = z.origin[1] + ly;
        const double wz = z.origin[2] - lx * s + lz * c;
        q[0] = float(wx);
        q[1] = float(wy);
        q[2] = float(wz);
        corrected[0] = q[0];
        corrected[1] = q[1];
        corrected[2] = q[2];
        touched = true;
    }
    return touched;
}
