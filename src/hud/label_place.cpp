#include "hud/label_place.h"

#include <algorithm>
#include <cmath>

namespace {

PixelBox moved(const PixelBox& b, float left, float top) {
    return {left, top, left + (b.right - b.left), top + (b.bottom - b.top)};
}

PixelBox intoWindow(const PixelBox& b, float width, float height) {
    const float w = b.right - b.left, h = b.bottom - b.top;
    return moved(b, std::clamp(b.left, 0.0f, width - w), std::clamp(b.top, 0.0f, height - h));
}

bool clear(const PixelBox& b, const PixelBox* avoid, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (b.overlaps(avoid[i]))
            return false;
    return true;
}

} // namespace

LabelPlace placeLabel(const PixelBox& wanted, float width, float height, const PixelBox* avoid,
                      std::size_t count) {
    const float w = wanted.right - wanted.left, h = wanted.bottom - wanted.top;
    LabelPlace place;
    if (!(w >= 0 && h >= 0 && w <= width && h <= height) || !std::isfinite(wanted.left) ||
        !std::isfinite(wanted.top))
        return place;
    const PixelBox start = intoWindow(wanted, width, height);
    float best = INFINITY;
    auto consider = [&](const PixelBox& candidate) {
        const PixelBox b = intoWindow(candidate, width, height);
        if (!clear(b, avoid, count))
            return;
        const float d = std::hypot(b.left - wanted.left, b.top - wanted.top);
        if (d < best) {
            best = d;
            place = {true, b.left, b.top};
        }
    };
    consider(start);
    if (place.shown)
        return place;
    for (std::size_t i = 0; i < count; ++i) {
        const PixelBox& a = avoid[i];
        if (!start.overlaps(a))
            continue;
        consider(moved(start, a.left - w, start.top));
        consider(moved(start, a.right, start.top));
        consider(moved(start, start.left, a.top - h));
        consider(moved(start, start.left, a.bottom));
    }
    return place;
}
