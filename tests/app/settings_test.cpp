#include "app/command_line.h"
#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdlib.h>
#include <sys/stat.h>

namespace {

class SettingsFolder : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nb_settings_XXXXXX";
        folder = mkdtemp(pattern);
        file = folder + "/nightbite.cfg";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void put(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    std::string text() const {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    size_t entries() const {
        size_t n = 0;
        for (auto& e : std::filesystem::directory_iterator(folder))
            n += e.exists();
        return n;
    }
    std::string folder, file;
};

} // namespace

TEST_F(SettingsFolder, AHandEditedFileKeepsEveryOtherLineAndNamesRoundTripExactly) {
    put("# chosen by hand\r\n"
        "not a setting at all\n"
        "colour = blue\n"
        "microphone = Old one \r\n"
        "=no key\n"
        "microphone=Older\n"
        "volume=7"); // no line end at the very end
    EXPECT_EQ(settings::read(file, "microphone"), "Older"); // the last one counts
    EXPECT_EQ(settings::read(file, "colour"), "blue");
    EXPECT_EQ(settings::read(file, "missing"), std::nullopt);

    const std::string name = "USB Audio  Mikrofón «Ω» 🦟";
    std::string error;
    ASSERT_TRUE(settings::write(file, "microphone", name, error)) << error;
    EXPECT_EQ(settings::read(file, "microphone"), name);
    EXPECT_EQ(text(), "# chosen by hand\r\n"
                      "not a setting at all\n"
                      "colour = blue\n"
                      "microphone=" + name + "\n"
                      "=no key\n"
                      "volume=7\n");
    ASSERT_TRUE(settings::write(file, "other", "x", error)) << error;
    EXPECT_EQ(settings::read(file, "microphone"), name);
    EXPECT_EQ(settings::read(file, "other"), "x");
    EXPECT_EQ(entries(), 1u) << "a temporary file was left behind";
}

TEST_F(SettingsFolder, MissingFilesAndValuesThatCannotBeStored) {
    EXPECT_EQ(settings::read(file, "microphone"), std::nullopt);
    std::string error;
    ASSERT_TRUE(settings::write(file, "microphone", "", error)) << error;
    EXPECT_EQ(settings::read(file, "microphone"), "");
    // A line break would smuggle in a line of its own; blanks at the ends
    // would not read back.
    for (const char* bad : {"A\nvolume=0", "A\r", " A", "A\t"}) {
        EXPECT_FALSE(settings::write(file, "microphone", bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(text(), "microphone=\n");
    EXPECT_FALSE(settings::write(folder + "/no/such/folder/nightbite.cfg", "microphone", "A", error));
    EXPECT_FALSE(error.empty());
}

// Only a regular file of modest size is a settings file: a FIFO once held the
// game at start, and a link to /dev/zero filled the memory. Reading gives
// nothing at once; writing refuses, with the reason, and changes nothing.
TEST_F(SettingsFolder, OnlyARegularFileOfModestSizeIsRead) {
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[&] { mkfifo(file.c_str(), 0600); }, "not a regular file"},
        {[&] { std::filesystem::create_symlink("/dev/zero", file); }, "not a regular file"},
        {[&] { std::filesystem::create_directory(file); }, "not a regular file"},
        {[&] { put("microphone=far\n" + std::string(70000, '#')); }, "longer than 65536 bytes"},
    };
    for (const auto& [make, reason] : rows) {
        std::filesystem::remove_all(file);
        make();
        EXPECT_EQ(settings::read(file, "microphone"), std::nullopt) << reason;
        std::string error;
        EXPECT_FALSE(settings::write(file, "microphone", "A", error)) << reason;
        EXPECT_EQ(error, reason);
    }
    EXPECT_EQ(text().size(), 70015u);
}

TEST(CommandLine, OptionsAndMistakes) {
    auto parse = [](std::initializer_list<const char*> args) {
        std::vector<const char*> argv{"nightbite"};
        argv.insert(argv.end(), args);
        return parseCommandLine(int(argv.size()), argv.data());
    };
    using A = CommandLine::Action;
    CommandLine plain = parse({});
    EXPECT_EQ(plain.action, A::Play);
    EXPECT_FALSE(plain.microphone);
    EXPECT_EQ(parse({"--microphone", "--help"}).microphone, "--help"); // a name, whatever it is
    EXPECT_EQ(parse({"--microphone="}).microphone, "");
    EXPECT_EQ(parse({"--list-microphones", "--version"}).action, A::Version);
    CommandLine missing = parse({"--microphone"});
    EXPECT_EQ(missing.action, A::Invalid);
    EXPECT_NE(missing.problem.find("--microphone"), std::string::npos);
    CommandLine unknown = parse({"--help", "extra"});
    EXPECT_EQ(unknown.action, A::Invalid);
    EXPECT_NE(unknown.problem.find("extra"), std::string::npos);
}
