// The people's spacing rule as a plain function over position arrays.
#pragma once

namespace spacing {

constexpr float kRadius = 60.0f;

// How many of the n points (xs[j], zs[j]) lie horizontally closer than 60 to
// (x, z), with exactly the result of sqrt(dx*dx + dz*dz) < 60 in single
// precision. A NaN coordinate marks an empty entry and is never counted.
int countWithin(const float* xs, const float* zs, int n, float x, float z);

// The same by the square root of every distance: the rule as written.
int countWithinBySqrt(const float* xs, const float* zs, int n, float x, float z);

// The positions of up to kEntries numbered entries hashed into square cells
// of kCell, a little more than twice the radius, so that a count looks at the
// four cells nearest a point instead of every entry. It gives exactly the count of
// countWithinBySqrt over the placed entries. Fixed storage: nothing is
// allocated after construction.
class Grid {
public:
    static constexpr int kEntries = 512;

    Grid();
    // Places entry i at (x, z), moving it if it was placed before.
    void place(int i, float x, float z);
    void remove(int i);
    void clear();
    int countWithin(float x, float z) const;

private:
    static constexpr int kBuckets = 1024;
    static constexpr float kCell = 128.0f; // a power of two: x / kCell is exact
    // Beyond this a cell number would not fit; such entries (far outside the
    // world, after a runaway step) are kept in a list of their own.
    static constexpr double kGridReach = 1e15;

    struct Cell {
        long long x, z;
        bool operator==(const Cell& o) const { return x == o.x && z == o.z; }
    };
    static bool inGrid(float x, float z);
    static Cell cellOf(float x, float z);
    static int bucketOf(const Cell& c);
    void unlink(int i);
    void link(int i, int list);

    // Doubly linked lists through next/prev, one per bucket plus the far list
    // (index kBuckets); list[i] is entry i's list, -1 when not placed.
    int head[kBuckets + 1];
    int next[kEntries], prev[kEntries], list[kEntries];
    float xs[kEntries], zs[kEntries];
    Cell cells[kEntries];
};

} // namespace spacing
