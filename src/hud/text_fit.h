// Fitting display text (displayText's output: valid UTF-8 in the font's
// characters) into a width in pixels, measured with the display's font as a
// text area draws it: each character as wide as its glyph at the character
// height, a space as wide as the area's space width. Without the font (no
// window) a glyph counts as 0.6 of the height.
#pragma once
#include <cstddef>
#include <string>

class TextFit {
public:
    TextFit(const char* fontName, double charHeight, double spaceWidth);

    double width(const std::string& text) const;

    // Breaks one line of text into lines of at most pixels, after a space
    // where there is one, and keeps at most maxLines; when text is left over,
    // the last line ends in "…". suffix (a count, say) always ends the last
    // line. Lines are joined with '\n'.
    std::string wrap(const std::string& text, double pixels, std::size_t maxLines,
                     const std::string& suffix = "") const;

    // The part of text around the byte offset at that fits in pixels, with
    // "…" where text was cut off: at stays in sight, as a caret must.
    std::string around(const std::string& text, std::size_t at, double pixels) const;

private:
    double glyphWidth(unsigned codePoint) const;

    const void* font = nullptr; // an Ogre::Font, loaded
    double charHeight;
    double spaceWidth;
};

// The length in bytes of the UTF-8 character that starts at text[at] (1 for
// a stray byte); 0 at the end.
std::size_t utf8Length(const std::string& text, std::size_t at);
// Where the character before at starts.
std::size_t utf8Back(const std::string& text, std::size_t at);
