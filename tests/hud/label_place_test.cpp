// Where a label goes: inside the window, off the display's panels, nearest
// to where it was wanted.
#include "hud/label_place.h"

#include <gtest/gtest.h>

#include <vector>

TEST(LabelPlace, InsideTheWindowAndOffThePanels) {
    // An 800 x 600 window; the read-outs top left, the guide bottom left.
    const PixelBox readouts{10, 10, 210, 90}, guide{10, 466, 610, 550};
    const struct {
        const char* what;
        PixelBox wanted;
        std::vector<PixelBox> panels;
        bool shown;
        float left, top;
    } rows[] = {
        {"clear: where wanted", {300, 200, 380, 226}, {readouts, guide}, true, 300, 200},
        {"past the right edge", {760, 200, 840, 226}, {}, true, 720, 200},
        {"past the bottom, as a bar under a label", {300, 590, 404, 636}, {}, true, 300, 554},
        {"on the read-outs: below them, the nearest side", {150, 50, 230, 76}, {readouts}, true,
         150, 90},
        {"on the guide: above it", {100, 480, 180, 506}, {readouts, guide}, true, 100, 440},
        {"half off the left edge onto the read-outs", {-30, 40, 50, 66}, {readouts}, true, 0, 90},
        {"wider than the window", {0, 0, 900, 26}, {}, false, 0, 0},
        {"no room anywhere", {300, 200, 380, 226}, {{0, 0, 800, 600}}, false, 0, 0},
    };
    for (const auto& row : rows) {
        const LabelPlace at = placeLabel(row.wanted, 800, 600, row.panels.data(), row.panels.size());
        EXPECT_EQ(at.shown, row.shown) << row.what;
        if (!row.shown || !at.shown)
            continue;
        EXPECT_FLOAT_EQ(at.left, row.left) << row.what;
        EXPECT_FLOAT_EQ(at.top, row.top) << row.what;
        const PixelBox placed{at.left, at.top, at.left + row.wanted.right - row.wanted.left,
                              at.top + row.wanted.bottom - row.wanted.top};
        for (const PixelBox& p : row.panels)
            EXPECT_FALSE(placed.overlaps(p)) << row.what;
    }
}
