#include "app/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace settings {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// The key of a settings line, or nothing for a comment, a blank line or a line
// without '='. A file saved with Windows line ends reads the same.
std::optional<std::string> keyOf(const std::string& line, std::string* value = nullptr) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    std::string trimmed = trim(text);
    size_t equals = trimmed.find('=');
    if (trimmed.empty() || trimmed[0] == '#' || equals == std::string::npos)
        return std::nullopt;
    std::string key = trim(trimmed.substr(0, equals));
    if (key.empty())
        return std::nullopt;
    if (value)
        *value = trim(trimmed.substr(equals + 1));
    return key;
}

// A hand-edited file of a few settings is far smaller; anything larger is
// not one.
constexpr std::size_t kMaxFileBytes = 65536;

} // namespace

// Opened without waiting (a FIFO would otherwise hold the game at the open)
// and looked at before any byte is read (a link to /dev/zero never ends).
bool readSmallFile(const std::string& path, std::size_t maxBytes, std::string& text,
                   std::string& error) {
    const std::string tooLong = "longer than " + std::to_string(maxBytes) + " bytes";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOENT ? "" : std::strerror(errno);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0)
        error = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        error = "not a regular file";
    else if (info.st_size > off_t(maxBytes))
        error = tooLong;
    text.clear();
    char buffer[4096];
    while (error.empty()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR)
            error = std::strerror(errno);
        else if (n > 0 && text.size() + std::size_t(n) > maxBytes)
            error = tooLong; // it grew while being read
        else if (n > 0)
            text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return error.empty();
}

namespace {

bool readWhole(const std::string& path, std::string& text, std::string& error) {
    return readSmallFile(path, kMaxFileBytes, text, error);
}

} // namespace

std::optional<std::string> read(const std::string& path, const std::string& key) {
    std::string text, error;
    if (!readWhole(path, text, error))
        return std::nullopt;
    std::istringstream in(text);
    std::optional<std::string> found;
    std::string line, value;
    while (std::getline(in, line))
        if (keyOf(line, &value) == key)
            found = value;
    return found;
}

bool write(const std::string& path, const std::string& key, const std::string& value,
           std::string& error) {
    if (value.find_first_of("\r\n") != std::string::npos) {
        error = "a line break cannot be stored in a setting";
        return false;
    }
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()))) {
        error = "blanks at the start or end of a setting would be lost";
        return false;
    }

    // Every line of the old file is kept; a file that exists but cannot be
    // read is left alone rather than replaced by one holding only this key.
    std::vector<std::string> lines;
    mode_t mode = 0644;
    struct stat old;
    if (::stat(path.c_str(), &old) == 0) {
        std::string text;
        if (!readWhole(path, text, error))
            return false;
        std::istringstream split(text);
        for (std::string line; std::getline(split, line);)
            lines.push_back(line);
        mode = old.st_mode & 07777;
    }

    const std::string setting = key + "=" + value;
    bool replaced = false;
    std::string out;
    for (const std::string& line : lines) {
        if (keyOf(line) == key) {
            // Later copies would win on reading and bring the old value back.
            if (replaced)
                continue;
            out += setting + "\n";
            replaced = true;
        } else {
            out += line + "\n";
        }
    }
    if (!replaced)
        out += setting + "\n";
    return replaceFile(path, out, mode, error);
}

bool replaceFile(const std::string& path, const std::string& out, mode_t mode, std::string& error) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const char* data = out.data();
    size_t left = out.size();
    int failure = 0;
    while (!failure && left) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : EIO;
        } else {
            data += n;
            left -= size_t(n);
        }
    }
    if (!failure && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0))
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && std::rename(temp.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure) {
        error = std::strerror(failure);
        ::unlink(temp.c_str());
    }
    return !failure;
}

} // namespace settings

namespace settings {

std::string settingsFile(const std::string& resourcePath) {
    return resourcePath + "nightbite.cfg";
}

std::optional<int> readNumber(const std::string& path, const std::string& key, int lo, int hi) {
    std::optional<std::string> text = read(path, key);
    if (!text || text->empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (errno || *end || value < lo || value > hi)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<bool> readFlag(const std::string& path, const std::string& key) {
    std::optional<std::string> text = read(path, key);
    if (!text)
        return std::nullopt;
    for (const char* yes : {"yes", "on", "true", "1"})
        if (*text == yes)
            return true;
    for (const char* no : {"no", "off", "false", "0"})
        if (*text == no)
            return false;
    return std::nullopt;
}

PlayerSettings readPlayerSettings(const std::string& path) {
    PlayerSettings s;
    s.sensitivity = readNumber(path, sensitivityKey, -60, -20).value_or(-60);
    s.ambienceVolume = readNumber(path, ambienceVolumeKey, 0, 100).value_or(100);
    s.effectsVolume = readNumber(path, effectsVolumeKey, 0, 100).value_or(100);
    s.fullScreen = readFlag(path, fullScreenKey);
    s.pauseOnFocusLoss = readFlag(path, pauseOnFocusLossKey).value_or(true);
    return s;
}

const char* flagText(bool on) {
    return on ? "yes" : "no";
}

} // namespace settings
