#include "hud/text_fit.h"

#include <Overlay/OgreFont.h>
#include <Overlay/OgreFontManager.h>

#include <vector>

namespace {

constexpr char kEllipsis[] = "\u2026";
constexpr double kGlyphWithoutFont = 0.6;

unsigned decodeAt(const std::string& text, std::size_t at, std::size_t n) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data() + at);
    if (n == 1)
        return p[0];
    unsigned c = p[0] & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    return c;
}

std::string trimEnd(std::string line) {
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

} // namespace

std::size_t utf8Length(const std::string& text, std::size_t at) {
    if (at >= text.size())
        return 0;
    const unsigned char b = static_cast<unsigned char>(text[at]);
    std::size_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    for (std::size_t i = 1; i < n; ++i)
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

std::size_t utf8Back(const std::string& text, std::size_t at) {
    if (at == 0)
        return 0;
    std::size_t back = at - 1;
    while (back > 0 && at - back < 4 && (static_cast<unsigned char>(text[back]) & 0xC0) == 0x80)
        --back;
    return utf8Length(text, back) == at - back ? back : at - 1;
}

TextFit::TextFit(const char* fontName, double charHeight, double spaceWidth)
    : charHeight(charHeight), spaceWidth(spaceWidth) {
    try {
        Ogre::FontPtr f = Ogre::FontManager::getSingleton().getByName(fontName);
        if (f) {
            f->load();
            font = f.get(); // the font manager keeps it
        }
    } catch (const std::exception&) {
        // No font (no window, no media): the estimate stands in.
    }
}

double TextFit::glyphWidth(unsigned codePoint) const {
    if (codePoint == ' ')
        return spaceWidth;
    const double aspect = font
                              ? static_cast<const Ogre::Font*>(font)->getGlyphAspectRatio(codePoint)
                              : kGlyphWithoutFont;
    return aspect * charHeight;
}

double TextFit::width(const std::string& text) const {
    double w = 0;
    for (std::size_t at = 0, n; (n = utf8Length(text, at)); at += n)
        w += glyphWidth(decodeAt(text, at, n));
    return w;
}

namespace {

// How far from at the characters of text fit in pixels; at least one.
std::size_t fitEnd(const TextFit& fit, const std::string& text, std::size_t at, double pixels) {
    double w = 0;
    std::size_t end = at;
    for (std::size_t n; (n = utf8Length(text, end));) {
        w += fit.width(text.substr(end, n));
        if (w > pixels && end > at)
            break;
        end += n;
    }
    return end;
}

} // namespace

std::string TextFit::wrap(const std::string& text, double pixels, std::size_t maxLines,
                          const std::string& suffix) const {
    const std::string whole = text + suffix;
    std::vector<std::string> lines;
    std::size_t at = 0, lastStart = 0;
    while (at < whole.size() && lines.size() < maxLines) {
        lastStart = at;
        std::size_t end = fitEnd(*this, whole, at, pixels);
        if (end < whole.size() && whole[end] != ' ') {
            const std::size_t space = whole.rfind(' ', end - 1);
            if (space != std::string::npos && space > at)
                end = space + 1;
        }
        lines.push_back(trimEnd(whole.substr(at, end - at)));
        at = end;
        while (at < whole.size() && whole[at] == ' ')
            ++at;
    }
    if (at < whole.size() && !lines.empty()) {
        // Cut: the last line starts again, as much as fits before "…" and the
        // suffix.
        const std::string tail = kEllipsis + suffix;
        const double room = pixels - width(tail);
        std::string last;
        if (lastStart < text.size())
            last = room > 0
                       ? text.substr(lastStart, fitEnd(*this, text, lastStart, room) - lastStart)
                       : std::string();
        lines.back() = trimEnd(last) + tail;
    }
    std::string out;
    for (const std::string& line : lines)
        out += (out.empty() ? "" : "\n") + line;
    return out;
}

std::string TextFit::around(const std::string& text, std::size_t at, double pixels) const {
    if (width(text) <= pixels)
        return text;
    const double room = pixels - 2 * width(kEllipsis);
    std::size_t begin = at, end = at;
    double used = 0;
    auto take = [&](std::size_t from, std::size_t n) {
        const double w = width(text.substr(from, n));
        if (used + w > room)
            return false;
        used += w;
        return true;
    };
    // One character after the caret, then what was typed before it, then
    // what follows.
    if (std::size_t n = utf8Length(text, end); n && take(end, n))
        end += n;
    while (begin > 0) {
        const std::size_t back = utf8Back(text, begin);
        if (!take(back, begin - back))
            break;
        begin = back;
    }
    for (std::size_t n; (n = utf8Length(text, end)) && take(end, n);)
        end += n;
    return (begin > 0 ? kEllipsis : "") + text.substr(begin, end - begin) +
           (end < text.size() ? kEllipsis : "");
}
