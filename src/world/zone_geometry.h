// The push-out arithmetic of the collision zones, over plain data and with no
// engine in sight, so that it can be tested and measured on its own.
//
// Results are defined by the plain scan: every occupied slot in index order,
// each zone seeing the point as corrected by the zones before it. ZoneIndex
// gives bit-identical results faster by caching each zone's sine and cosine
// and by asking a uniform grid which slots can possibly contain the point.
#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

struct ZoneBox {
    float origin[3] = {0, 0, 0};
    float size[3] = {0, 0, 0};
    double angle = 0; // about the vertical axis through origin, radians
};

// Pushes q out of one zone whose angle has cosine c and sine s. Returns false
// and leaves q and onTop alone when the zone does not contain q; otherwise
// moves q onto the nearest face and sets onTop to whether that face is the top.
inline bool pushOutOfZone(const ZoneBox& z, double c, double s, float q[3], bool& onTop) {
    const double dx = double(q[0]) - double(z.origin[0]);
    const double dy = double(q[1]) - double(z.origin[1]);
    const double dz = double(q[2]) - double(z.origin[2]);
    double lx = dx * c - dz * s;
    double ly = dy;
    double lz = dx * s + dz * c;
    const double sx = z.size[0], sy = z.size[1], sz = z.size[2];
    if (!(0 < lx && lx < sx && 0 < ly && ly < sy && 0 < lz && lz < sz))
        return false;
    // Faces in tie-breaking order: far x, near x, top, bottom, far z, near z.
    // Every distance is a number here (the strict tests above failed on NaN),
    // so "strictly smaller than the best so far" picks the first of equals.
    const double distance[6] = {sx - lx, lx, sy - ly, ly, sz - lz, lz};
    int face = 0;
    for (int i = 1; i < 6; ++i)
        if (distance[i] < distance[face])
            face = i;
    onTop = false;
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
    default:
        lz = 0;
        break;
    }
    q[0] = float(double(z.origin[0]) + lx * c + lz * s);
    q[1] = float(double(z.origin[1]) + ly);
    q[2] = float(double(z.origin[2]) - lx * s + lz * c);
    return true;
}

// Where the segment from a to b first enters the zone's inside, as a fraction
// of the way from a (0..1); a value above 1 when it never does. A segment that
// starts inside the zone counts as never entering it: what looks out from
// inside a box has nothing to keep out of.
inline double segmentEntry(const ZoneBox& z, const float a[3], const float b[3]) {
    const double c = std::cos(z.angle), s = std::sin(z.angle);
    const double from[3] = {(double(a[0]) - z.origin[0]) * c - (double(a[2]) - z.origin[2]) * s,
                            double(a[1]) - z.origin[1],
                            (double(a[0]) - z.origin[0]) * s + (double(a[2]) - z.origin[2]) * c};
    const double dx = double(b[0]) - a[0], dz = double(b[2]) - a[2];
    const double d[3] = {dx * c - dz * s, double(b[1]) - a[1], dx * s + dz * c};
    double enter = -1e300, leave = 1e300;
    for (int i = 0; i < 3; ++i) {
        const double size = z.size[i];
        if (d[i] == 0) {
            if (!(0 < from[i] && from[i] < size))
                return 2;
            continue;
        }
        double t0 = -from[i] / d[i], t1 = (size - from[i]) / d[i];
        if (t0 > t1)
            std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
    }
    // Open boxes: touching a face is not entering; NaN fails every test.
    if (!(enter < leave) || !(enter >= 0) || !(enter < 1))
        return 2;
    return enter;
}

class ZoneIndex {
public:
    static constexpr int kSlots = 1024;

    ZoneIndex();
    void set(int slot, const ZoneBox& box);
    void clear(int slot);
    void clearAll();
    bool used(int slot) const { return entries_[slot].used; }
    const ZoneBox& box(int slot) const { return entries_[slot].box; }

    // The push-out of every zone in slot order: true when some zone contained
    // the point; out and onTop are written only then.
    bool resolve(const float in[3], float out[3], bool& onTop);

private:
    struct Entry {
        ZoneBox box;
        double c = 1, s = 0;
        // A circle in the ground plane that holds every point the zone can
        // contain, with a margin far above the rounding of the local
        // coordinates; rejecting outside it never changes a result.
        double cx = 0, cz = 0, r = 0, r2 = 0;
        // Half the sides of the rectangle around the turned box, with the
        // same margin: tighter than the circle for long, thin zones.
        double hx = 0, hz = 0;
        bool used = false;
        bool inert = false;   // can contain no point at all
        bool bounded = false; // the circle is finite
    };

    void rebuild();
    // The grid cell of a point, or -1 when no bounded zone can contain it.
    int cellOf(const float q[3]) const;

    std::array<Entry, kSlots> entries_;
    bool stale_ = true;

    // A zone as the lists hold it: a copy of everything the push-out reads,
    // so that a point is tested against the zones of its cell one after the
    // other in memory instead of in entries that lie far apart.
    struct Candidate {
        double cx, cz, hx, hz;
        double c, s;
        ZoneBox box;
        std::uint32_t slot;
    };
    static Candidate candidate(const Entry& e, int slot);

    // Uniform grid over the bounded zones' circles. Each cell lists, in
    // ascending slot order, every zone whose circle touches it; the zones
    // too large (or unbounded) for the grid are listed in wide_ instead.
    double minX_ = 0, minZ_ = 0, invCell_ = 1;
    int nx_ = 0, nz_ = 0;
    std::vector<std::uint32_t> cellStart_; // nx_ * nz_ + 1 offsets into cellSlots_
    std::vector<Candidate> cellSlots_;
    std::vector<Candidate> wide_;
};
