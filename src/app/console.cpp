#include "app/console.h"

#include "app/settings.h"
#include "hud/display_text.h"
#include "hud/text_fit.h"

#include <OISKeyboard.h>

#include <cstdio>
#include <sstream>
#include <utility>

namespace {

// 200 lines of a typed length are far less; a larger file is no history.
constexpr std::size_t kMaxHistoryBytes = std::size_t(1) << 20;
// What one output line may hold before the view cuts it to the window.
constexpr std::size_t kMaxOutputCharacters = 400;

const char kHint[] =
    "Lua console: Return runs the line, =expr shows a value, Up/Down recall, ` closes";

bool typeable(unsigned c) {
    return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && !(c >= 0xD800 && c <= 0xDFFF) &&
           c <= 0x10FFFF;
}

std::string utf8(unsigned c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::vector<std::string> readHistory(const std::string& path) {
    std::vector<std::string> lines;
    std::string text, error;
    if (!settings::readSmallFile(path, kMaxHistoryBytes, text, error)) {
        if (!error.empty())
            std::fprintf(stderr, "Cannot read the console history %s: %s\n", path.c_str(),
                         error.c_str());
        return lines;
    }
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.size() <= Console::kMaxLineBytes)
            lines.push_back(std::move(line));
    }
    if (lines.size() > Console::kHistoryLines)
        lines.erase(lines.begin(), lines.end() - Console::kHistoryLines);
    return lines;
}

ConsoleViewLine::Kind viewKind(ConsoleOutput::Kind kind) {
    switch (kind) {
    case ConsoleOutput::Kind::Printed:
        return ConsoleViewLine::Kind::Printed;
    case ConsoleOutput::Kind::Error:
        return ConsoleViewLine::Kind::Error;
    case ConsoleOutput::Kind::Result:
        break;
    }
    return ConsoleViewLine::Kind::Result;
}

} // namespace

Console::Console(std::string path, Runner runner)
    : historyPath(std::move(path)), run(std::move(runner)), typed(readHistory(historyPath)),
      browsing(typed.size()) {
    if (!run)
        run = [](const std::string& text) { return runConsoleLine(text.data(), text.size()); };
}

void Console::setOpen(bool on) {
    if (on == open)
        return;
    open = on;
    if (open && shown.empty())
        add(ConsoleViewLine::Kind::Hint, kHint);
    ++changes;
}

void Console::key(int keyCode, unsigned character) {
    switch (keyCode) {
    case OIS::KC_RETURN:
    case OIS::KC_NUMPADENTER:
        submit();
        break;
    case OIS::KC_UP:
        recall(-1);
        break;
    case OIS::KC_DOWN:
        recall(1);
        break;
    case OIS::KC_LEFT:
        caret = utf8Back(line, caret);
        break;
    case OIS::KC_RIGHT:
        caret += utf8Length(line, caret);
        break;
    case OIS::KC_HOME:
        caret = 0;
        break;
    case OIS::KC_END:
        caret = line.size();
        break;
    case OIS::KC_BACK: {
        const std::size_t back = utf8Back(line, caret);
        line.erase(back, caret - back);
        caret = back;
        break;
    }
    case OIS::KC_DELETE:
        line.erase(caret, utf8Length(line, caret));
        break;
    default:
        insert(character);
        break;
    }
    ++changes;
}

void Console::insert(unsigned character) {
    if (!typeable(character))
        return;
    const std::string bytes = utf8(character);
    if (line.size() + bytes.size() > kMaxLineBytes)
        return;
    line.insert(caret, bytes);
    caret += bytes.size();
}

void Console::recall(int step) {
    if (step < 0 && browsing > 0) {
        if (browsing == typed.size())
            draft = line;
        line = typed[--browsing];
    } else if (step > 0 && browsing < typed.size()) {
        ++browsing;
        line = browsing == typed.size() ? draft : typed[browsing];
    }
    caret = line.size();
}

void Console::add(ConsoleViewLine::Kind kind, const std::string& text) {
    shown.push_back({kind, displayText(text.data(), text.size(), kMaxOutputCharacters, 1)});
    while (shown.size() > kKeptOutput)
        shown.pop_front();
}

void Console::submit() {
    const std::string text = std::move(line);
    line.clear();
    caret = 0;
    draft.clear();
    if (text.find_first_not_of(' ') == std::string::npos) {
        browsing = typed.size();
        return;
    }
    add(ConsoleViewLine::Kind::Typed, "> " + text);
    if (typed.empty() || typed.back() != text) {
        typed.push_back(text);
        if (typed.size() > kHistoryLines)
            typed.erase(typed.begin());
        keepHistory();
    }
    browsing = typed.size();
    std::size_t lines = 0;
    for (const ConsoleOutput& answer : run(text)) {
        if (answer.text.empty())
            add(viewKind(answer.kind), ""); // print(""), or =""
        std::istringstream split(answer.text);
        for (std::string piece; std::getline(split, piece);) {
            if (lines++ == kAnswerLines) {
                add(viewKind(answer.kind), "\u2026");
                return;
            }
            add(viewKind(answer.kind), piece);
        }
    }
}

void Console::keepHistory() {
    std::string text;
    for (const std::string& t : typed)
        text += t + "\n";
    std::string error;
    if (settings::replaceFile(historyPath, text, 0644, error) || historyFailed)
        return;
    // Said once: the console works on without it.
    historyFailed = true;
    std::fprintf(stderr, "Cannot keep the console history in %s: %s\n", historyPath.c_str(),
                 error.c_str());
    add(ConsoleViewLine::Kind::Hint, "The history is not kept: " + error);
}
