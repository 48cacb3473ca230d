#include "hud/display_text.h"

#include <cstdint>

namespace {

// The characters the display's font is made with (nightbite.fontdef lists the
// same ranges); the space is drawn as a gap.
constexpr uint32_t kFontRanges[][2] = {
    {32, 126},     // ASCII
    {161, 383},    // Latin-1 and Latin Extended-A (a no-break space is a space)
    {913, 1023},   // Greek
    {1024, 1119},  // Cyrillic
    {8211, 8226},  // dashes, quotes, bullet
    {8230, 8230},  // ellipsis
    {8364, 8364},  // euro
};

bool inFont(uint32_t c) {
    for (const auto& r : kFontRanges)
        if (c >= r[0] && c <= r[1])
            return true;
    return false;
}

// Decodes one UTF-8 character at p; returns its length, or 0 when the bytes
// there are not one (overlong forms, surrogates and values past U+10FFFF
// included).
std::size_t decode(const unsigned char* p, std::size_t left, uint32_t& c) {
    const unsigned char b = p[0];
    std::size_t n;
    uint32_t least;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        n = 2, c = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, c = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, c = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (n > left)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

void append(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string displayText(const char* bytes, std::size_t length, std::size_t maxCharacters,
                        std::size_t maxLines) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::string out;
    if (maxCharacters == 0 || maxLines == 0)
        return out;
    std::size_t lines = 1;
    std::size_t onLine = 0;
    bool clipped = false; // the rest of this line is dropped
    for (std::size_t i = 0; i < length;) {
        uint32_t c = 0;
        std::size_t n = decode(p + i, length - i, c);
        i += n ? n : 1;
        if (c == '\r')
            continue;
        if (c == '\n' && maxLines > 1) {
            if (lines == maxLines)
                break;
            ++lines;
            out += '\n';
            onLine = 0;
            clipped = false;
            continue;
        }
        if (clipped)
            continue;
        if (onLine == maxCharacters) {
            // The last character kept gives way to the ellipsis.
            while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
                out.pop_back();
            out.pop_back();
            append(out, 8230);
            clipped = true;
            continue;
        }
        const bool gap = c == '\t' || c == '\n' || c == 160;
        if (n == 0 || (!gap && !inFont(c)))
            c = '?';
        else if (gap)
            c = ' ';
        append(out, c);
        ++onLine;
    }
    // A text that ends in line breaks would only push the rest upwards.
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

void HudText::setStatus(const char* bytes, std::size_t length) {
    std::string text = displayText(bytes, length, statusCharacters, 1);
    if (text != statusLine) {
        statusLine.swap(text);
        ++changes;
    }
}

void HudText::showMessage(const char* bytes, std::size_t length, double seconds) {
    messageText = displayText(bytes, length, messageCharacters, messageLines);
    messageLeft = messageText.empty() ? 0 : seconds;
    shownOnce = false;
    ++changes;
}

void HudText::advance(double dt) {
    if (messageText.empty())
        return;
    // A message is on screen for at least the frame after it was given.
    if (shownOnce && !(dt < messageLeft)) {
        messageText.clear();
        messageLeft = 0;
        ++changes;
        return;
    }
    if (shownOnce)
        messageLeft -= dt;
    shownOnce = true;
}

HudText& hudText() {
    static HudText text;
    return text;
}
