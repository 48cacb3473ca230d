// The pause screen's words on what the microphone hears and on the room
// measure.
#include "hud/pause_screen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

TEST(PauseWords, HearingAndTheRoomMeasure) {
    using Set = std::function<void(PauseView&)>;
    const struct {
        Set set;
        bool hearing; // describeHearing, else describeSensitivity
        const char* words;
    } rows[] = {
        {[](PauseView& v) { v.peakHz = 5, v.clearTone = true; }, true, "No tone heard"},
        {[](PauseView& v) { v.peakHz = 22, v.peakDbfs = -46; }, true, "No tone heard"},
        {[](PauseView& v) { v.peakHz = NAN; }, true, "No tone heard"},
        {[](PauseView& v) { v.peakHz = 1240, v.clearTone = true; }, true, "1240 Hz: whistle higher"},
        {[](PauseView& v) { v.peakHz = 2000, v.hearing = true; }, true, "2000 Hz: that climbs"},
        {[](PauseView& v) { v.peakHz = 900, v.peakDbfs = -70; }, true,
         "Too quiet to count: whistle louder"},
        {[](PauseView&) {}, false, "The quietest tone that counts. Raise it in a noisy room."},
        {[](PauseView& v) { v.roomMeasures = 1, v.roomSetDbfs = -60; }, false,
         "Measured: nothing in the room counts. Set to -60 dBFS."},
        {[](PauseView& v) { v.roomMeasures = 2, v.roomLoudestDbfs = -48.2f, v.roomSetDbfs = -45; },
         false, "Measured: a tone at -48 dBFS in the room. Set to -45 dBFS."},
    };
    for (const auto& row : rows) {
        PauseView view;
        view.microphone = PauseView::Microphone::Listening;
        view.peakDbfs = -30;
        row.set(view);
        char words[96];
        if (row.hearing)
            PauseScreen::describeHearing(view, words, sizeof words);
        else
            PauseScreen::describeSensitivity(view, words, sizeof words);
        EXPECT_STREQ(words, row.words);
    }
}
