// What the display makes of script text: only valid UTF-8 in the font's
// characters reaches the engine, and long text is clipped on a character
// boundary.
#include "hud/display_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string shown(const std::string& text, std::size_t characters, std::size_t lines) {
    return displayText(text.data(), text.size(), characters, lines);
}

TEST(DisplayText, KeepsWhatTheFontDrawsAndMarksTheRest) {
    EXPECT_EQ(shown("Größe · Ωmega · Жук — 5 €", 80, 1), "Größe · Ωmega · Жук — 5 €");
    // Not UTF-8: a lone continuation byte, a cut sequence, an overlong "/", a
    // surrogate; then a control character, a zero byte and a character the
    // font lacks (a CJK ideograph). Each becomes one "?".
    EXPECT_EQ(shown(std::string("a\x80" "b\xC3" "c\xC0\xAF" "d\xED\xA0\x80" "e"), 80, 1),
              "a?b?c??d???e");
    EXPECT_EQ(shown(std::string("\x07x\0y\xE6\xBC\xA2z", 8), 80, 1), "?x?y?z");
    // A tab is a space; so is a line break where only one line is drawn.
    EXPECT_EQ(shown("a\tb\nc\r\n", 80, 1), "a b c ");
}

TEST(DisplayText, ClipsLongLinesAndDropsExtraLines) {
    EXPECT_EQ(shown("abcdef", 6, 1), "abcdef");
    EXPECT_EQ(shown("abcdefg", 6, 1), "abcde…");
    // The ellipsis replaces a whole character, never half of one.
    EXPECT_EQ(shown("ääääääää", 4, 1), "äää…");
    EXPECT_EQ(shown("one\ntwo is long\nthree\nfour\nfive", 6, 4), "one\ntwo i…\nthree\nfour");
    EXPECT_EQ(shown("last\n\n", 10, 4), "last");
    EXPECT_EQ(shown(std::string(1 << 20, 'x'), 60, 4).size(), 59 + std::string("…").size());
    EXPECT_EQ(shown("", 10, 4), "");
}

TEST(DisplayText, AMessageShowsForItsGameTimeAndAtLeastOneFrame) {
    HudText text;
    text.showMessage("hi", 2, 0);
    text.advance(0.5);
    EXPECT_EQ(text.message(), "hi"); // the frame that draws it
    text.advance(0.5);
    EXPECT_EQ(text.message(), "");

    text.showMessage("hi", 2, 1.0);
    const unsigned before = text.version();
    for (int frame = 0; frame < 4; ++frame)
        text.advance(0.3);
    EXPECT_EQ(text.message(), "hi");
    text.advance(0.3);
    EXPECT_EQ(text.message(), "");
    EXPECT_NE(text.version(), before);

    // Setting the same status again is no change for the display.
    text.setStatus("Score 1", 7);
    const unsigned set = text.version();
    text.setStatus("Score 1", 7);
    EXPECT_EQ(text.version(), set);
}

} // namespace
