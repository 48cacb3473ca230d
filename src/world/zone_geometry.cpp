#include "world/zone_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Limits that keep the grid small whatever the scripts place: at most about
// kMaxCells cells, and a zone that would cover more than kMaxCellsPerZone of
// them is tested for every point instead.
constexpr double kMaxCells = 65536;
constexpr double kMaxCellsPerAxis = 4096;
constexpr double kMaxCellsPerZone = 1024;

bool isFinite(double v) {
    return std::isfinite(v);
}

} // namespace

ZoneIndex::ZoneIndex() = default;

void ZoneIndex::set(int slot, const ZoneBox& box) {
    Entry& e = entries_[slot];
    e = Entry{};
    e.box = box;
    e.used = true;
    // The very functions the plain scan calls, so the cached values are the
    // same bits.
    e.c = std::cos(box.angle);
    e.s = std::sin(box.angle);
    const double sx = box.size[0], sy = box.size[1], sz = box.size[2];
    const double ox = box.origin[0], oy = box.origin[1], oz = box.origin[2];
    // The strict tests 0 < l < size fail for every point when a size is not
    // positive or anything involved is NaN; an infinite origin or angle gives
    // local coordinates that are infinite or NaN, which fail them too.
    e.inert = !(sx > 0 && sy > 0 && sz > 0) || !isFinite(e.c) || !isFinite(e.s) || !isFinite(ox) ||
              !isFinite(oy) || !isFinite(oz);
    if (!e.inert && isFinite(sx) && isFinite(sz)) {
        const double hx = sx / 2, hz = sz / 2;
        e.cx = ox + hx * e.c + hz * e.s;
        e.cz = oz - hx * e.s + hz * e.c;
        // Half the diagonal plus a margin many orders of magnitude above the
        // rounding of the local coordinates and of the centre.
        const double half = std::sqrt(sx * sx + sz * sz) / 2;
        const double margin = 1e-9 * (half + std::fabs(ox) + std::fabs(oz) + 1);
        e.r = half + margin;
        e.r2 = e.r * e.r;
        e.hx = (std::fabs(e.c) * sx + std::fabs(e.s) * sz) / 2 + margin;
        e.hz = (std::fabs(e.s) * sx + std::fabs(e.c) * sz) / 2 + margin;
        e.bounded = isFinite(e.cx) && isFinite(e.cz) && isFinite(e.r2) && isFinite(e.cx - e.r) &&
                    isFinite(e.cx + e.r) && isFinite(e.cz - e.r) && isFinite(e.cz + e.r);
    }
    if (!e.bounded) {
        e.cx = e.cz = 0;
        e.r = e.r2 = e.hx = e.hz = std::numeric_limits<double>::infinity();
    }
    stale_ = true;
}

void ZoneIndex::clear(int slot) {
    entries_[slot] = Entry{};
    stale_ = true;
}

void ZoneIndex::clearAll() {
    for (Entry& e : entries_)
        e = Entry{};
    stale_ = true;
}

void ZoneIndex::rebuild() {
    stale_ = false;
    wide_.clear();
    cellSlots_.clear();
    cellStart_.assign(1, 0);
    nx_ = nz_ = 0;

    double minX = std::numeric_limits<double>::infinity(), minZ = minX;
    double maxX = -minX, maxZ = -minX;
    std::vector<double> diameters;
    for (const Entry& e : entries_) {
        if (!e.used || e.inert || !e.bounded)
            continue;
        minX = std::min(minX, e.cx - e.r);
        maxX = std::max(maxX, e.cx + e.r);
        minZ = std::min(minZ, e.cz - e.r);
        maxZ = std::max(maxZ, e.cz + e.r);
        diameters.push_back(2 * e.r);
    }
    if (!diameters.empty()) {
        const double width = maxX - minX, depth = maxZ - minZ;
        std::nth_element(diameters.begin(), diameters.begin() + diameters.size() / 2,
                         diameters.end());
        double cell = diameters[diameters.size() / 2];
        cell = std::max({cell, std::sqrt(width * depth / kMaxCells), width / kMaxCellsPerAxis,
                         depth / kMaxCellsPerAxis});
        if (isFinite(width) && isFinite(depth) && isFinite(cell) && cell > 0) {
            minX_ = minX;
            minZ_ = minZ;
            invCell_ = 1 / cell;
            nx_ = int(width * invCell_) + 1;
            nz_ = int(depth * invCell_) + 1;
        }
    }

    // Counting pass, then a filling pass in slot order, so that each cell's
    // list comes out sorted by slot.
    auto span = [&](const Entry& e, int& x0, int& x1, int& z0, int& z1) {
        auto clampIndex = [](double f, int n) { return f <= 0 ? 0 : f >= n - 1 ? n - 1 : int(f); };
        x0 = clampIndex((e.cx - e.r - minX_) * invCell_, nx_);
        x1 = clampIndex((e.cx + e.r - minX_) * invCell_, nx_);
        z0 = clampIndex((e.cz - e.r - minZ_) * invCell_, nz_);
        z1 = clampIndex((e.cz + e.r - minZ_) * invCell_, nz_);
    };
    std::vector<std::uint32_t> counts(std::size_t(nx_) * nz_, 0);
    std::array<bool, kSlots> gridded{};
    for (int slot = 0; slot < kSlots; ++slot) {
        const Entry& e = entries_[slot];
        if (!e.used || e.inert)
            continue;
        int x0 = 0, x1 = 0, z0 = 0, z1 = 0;
        if (e.bounded && nx_ > 0) {
            span(e, x0, x1, z0, z1);
            if (double(x1 - x0 + 1) * double(z1 - z0 + 1) <= kMaxCellsPerZone) {
                gridded[slot] = true;
                for (int z = z0; z <= z1; ++z)
                    for (int x = x0; x <= x1; ++x)
                        ++counts[std::size_t(z) * nx_ + x];
                continue;
            }
        }
        wide_.push_back(candidate(e, slot));
    }
    cellStart_.assign(counts.size() + 1, 0);
    for (std::size_t i = 0; i < counts.size(); ++i)
        cellStart_[i + 1] = cellStart_[i] + counts[i];
    cellSlots_.resize(cellStart_.back());
    std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!gridded[slot])
            continue;
        const Entry& e = entries_[slot];
        int x0, x1, z0, z1;
        span(e, x0, x1, z0, z1);
        for (int z = z0; z <= z1; ++z)
            for (int x = x0; x <= x1; ++x)
                cellSlots_[fill[std::size_t(z) * nx_ + x]++] = candidate(e, slot);
    }
}

ZoneIndex::Candidate ZoneIndex::candidate(const Entry& e, int slot) {
    return {e.cx, e.cz, e.hx, e.hz, e.c, e.s, e.box, std::uint32_t(slot)};
}

int ZoneIndex::cellOf(const float q[3]) const {
    // Written so that NaN fails the range tests: outside the grid no bounded
    // zone can contain the point.
    const double fx = (double(q[0]) - minX_) * invCell_;
    const double fz = (double(q[2]) - minZ_) * invCell_;
    if (!(fx >= 0 && fx < nx_ && fz >= 0 && fz < nz_))
        return -1;
    return int(fz) * nx_ + int(fx);
}

bool ZoneIndex::resolve(const float in[3], float out[3], bool& onTop) {
    if (stale_)
        rebuild();
    float q[3] = {in[0], in[1], in[2]};
    bool touched = false;

    const Candidate* cells = cellSlots_.data();
    const Candidate *ci = nullptr, *ce = nullptr;
    auto enterCell = [&](int after) {
        const int cell = cellOf(q);
        if (cell < 0) {
            ci = ce = nullptr;
            return;
        }
        ci = cells + cellStart_[cell];
        ce = cells + cellStart_[cell + 1];
        if (after >= 0)
            ci = std::upper_bound(ci, ce, std::uint32_t(after),
                                  [](std::uint32_t s, const Candidate& c) { return s < c.slot; });
    };
    enterCell(-1);
    const Candidate* wi = wide_.data();
    const Candidate* we = wi + wide_.size();

    // Merge the cell's list and the wide list in slot order. A push moves the
    // point, possibly into another cell: carry on there after the same slot.
    double qx = q[0], qz = q[2];
    for (;;) {
        const Candidate* c;
        if (ci != ce && (wi == we || ci->slot < wi->slot))
            c = ci++;
        else if (wi != we)
            c = wi++;
        else
            break;
        if (std::fabs(qx - c->cx) > c->hx || std::fabs(qz - c->cz) > c->hz)
            continue;
        if (pushOutOfZone(c->box, c->c, c->s, q, onTop)) {
            qx = q[0];
            qz = q[2];
            const int slot = int(c->slot);
            touched = true;
            enterCell(slot);
        }
    }
    if (touched) {
        out[0] = q[0];
        out[1] = q[1];
        out[2] = q[2];
    }
    return touched;
}
