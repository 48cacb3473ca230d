// Where a label tied to the world goes so that it can be read: inside the
// window and off the display's panels. Plain arithmetic, without an overlay.
#pragma once
#include <cstddef>

// A rectangle in pixels from the window's top left corner.
struct PixelBox {
    float left = 0, top = 0, right = 0, bottom = 0;
    bool overlaps(const PixelBox& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

struct LabelPlace {
    bool shown = false; // false: no place within the window is clear
    float left = 0, top = 0;
};

// The place nearest to `wanted` for a box of its size that lies inside a
// window of width x height and overlaps none of the `count` boxes in
// `avoid`: the wanted place pulled into the window, else beside one of the
// boxes it meets (left, right, above or below), pulled into the window too.
LabelPlace placeLabel(const PixelBox& wanted, float width, float height, const PixelBox* avoid,
                      std::size_t count);
