// The Windows reader's companion windows (bookmarks, voice settings, full screen, advert,
// about) opened under Wine on a virtual display by companions_probe.exe, which drives each one
// through its controls and prints what it saw. Wine has no browser engine here: the full-screen
// and advert windows are opened without a page, and page content is NOT checked.
#include "core/text.h"
#include "tests/tools/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using folio::testing::runCommand;
using folio::testing::shellQuote;
using folio::testing::Stderr;

namespace {

const fs::path Probe = fs::path(FOLIO_BINARY_DIR) / "win32" / "companions_probe.exe";
const fs::path WineRun = fs::path(FOLIO_SOURCE_DIR) / "tests" / "e2e" / "win32" / "wine-run.sh";

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// Lines in the system's code page, each ended by CR LF.
std::string ansiFile(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& line : lines)
        out += folio::toAnsi(line) + "\r\n";
    return out;
}

// What one probe run printed: key -> value (the last one wins), and the whole text.
struct Seen {
    int exitCode = -1;
    std::string text;
    std::multimap<std::string, std::string> values;
    std::string operator[](const std::string& key) const {
        auto [first, last] = values.equal_range(key);
        return first == last ? std::string("<missing>") : std::prev(last)->second;
    }
    std::size_t count(const std::string& key) const { return values.count(key); }
};

class Companions : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Probe)) << Probe;
        dir = fs::path(FOLIO_BINARY_DIR) / "win32-companions" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }

    // The test folder as the Windows side names it.
    std::string windowsDir() const {
        std::string path = "Z:" + dir.string();
        for (char& c : path)
            if (c == '/')
                c = '\\';
        return path;
    }

    Seen probe(const std::string& args) {
        const std::string command =
            "cd " + shellQuote(dir.string()) +
            " && WINEPREFIX=" + shellQuote((fs::path(FOLIO_BINARY_DIR) / "wineprefix").string()) +
            " " + shellQuote(WineRun.string()) + " wine " + shellQuote(Probe.string()) + " " + args;
        const auto ran = runCommand(command, Stderr::Dropped);
        Seen seen;
        seen.exitCode = ran.status;
        seen.text = ran.output;
        std::istringstream lines(seen.text);
        for (std::string line; std::getline(lines, line);) {
            const auto eq = line.find('=');
            if (eq != std::string::npos)
                seen.values.emplace(line.substr(0, eq), line.substr(eq + 1));
        }
        return seen;
    }

    fs::path dir;
};

TEST_F(Companions, BookmarksAreCreatedAddedDeletedAndSavedBesideTheBook) {
    const Seen s = probe("booktag " + shellQuote(windowsDir()) + " 'http://example.org/a=b.html'");
    ASSERT_EQ(s.exitCode, 0) << s.text;
    // First opening without BookTag.ini: no bookmark the reader did not make, the first name,
    // and the reading window's address in the (hidden) address box.
    EXPECT_EQ(s["list"], "") << s.text;
    EXPECT_EQ(s["name"], "书签0");
    EXPECT_EQ(s["address"], "http://example.org/a=b.html");
    EXPECT_EQ(s["addresses-hidden"], "1");
    EXPECT_EQ(s["after-delete-none"], "");
    // Two adds without touching the name box: the box is renumbered after each.
    EXPECT_EQ(s["after-add"], "书签0|书签1");
    EXPECT_EQ(s["addresses"], "http://example.org/a=b.html|http://example.org/a=b.html");
    EXPECT_EQ(s["next-name"], "书签2");
    EXPECT_EQ(s["after-delete"], "书签1");
    EXPECT_EQ(s["closed"], "1");
    EXPECT_EQ(s.count("navigate"), 0u);
    // Cancel still writes what was changed, beside the book, in the code page with CR LF.
    EXPECT_EQ(readBytes(dir / "BookTag.ini"), ansiFile({"书签1=http://example.org/a=b.html"}));
}

TEST_F(Companions, BookmarksAreKeptForABookInAFolderNamedInChinese) {
    // The core's files are named in UTF-8; on Windows they must reach the system as UTF-16.
    fs::create_directories(dir / "书架");
    const Seen s = probe("booktag-chinese " + shellQuote(windowsDir()) + " page.html");
    ASSERT_EQ(s.exitCode, 0) << s.text;
    EXPECT_EQ(s.count("message"), 0u) << s.text;
    EXPECT_EQ(s["list"], "") << s.text;
    EXPECT_EQ(readBytes(dir / "书架" / "BookTag.ini"), ansiFile({"书签1=page.html"}));
}

TEST_F(Companions, BookmarksThatCannotBeReadAreNeverOverwritten) {
    const std::string kept = ansiFile({"第一=one.html", "第二=two.html"});
    writeBytes(dir / "BookTag.ini", kept);
    const Seen s = probe("booktag-locked " + shellQuote(windowsDir()));
    ASSERT_EQ(s.exitCode, 0) << s.text;
    ASSERT_EQ(s["held"], "1") << s.text;
    EXPECT_NE(s["message"].find("书签文件保持原样"), std::string::npos) << s.text;
    EXPECT_EQ(s["list"], "");
    EXPECT_EQ(s["closed"], "1");
    // The window's empty list and its changes are not written over the two bookmarks.
    EXPECT_EQ(readBytes(dir / "BookTag.ini"), kept);
}

TEST_F(Companions, DoubleClickOpensTheAddressAndKeepsTheFileAsItWas) {
    // A name ends at the first "=": the address keeps the others. A line without "=" is no
    // bookmark and is not written back.
    writeBytes(dir / "BookTag.ini",
               ansiFile({"a=b=c", "not a bookmark", "第二=http://example.org/"}));
    const Seen s = probe("booktag-open " + shellQuote(windowsDir()));
    ASSERT_EQ(s.exitCode, 0) << s.text;
    EXPECT_EQ(s["list"], "a|第二") << s.text;
    EXPECT_EQ(s["name"], "书签2");
    EXPECT_EQ(s["navigate"], "b=c");
    EXPECT_EQ(s["closed"], "1");
    EXPECT_EQ(readBytes(dir / "BookTag.ini"), ansiFile({"a=b=c", "第二=http://example.org/"}));
}

TEST_F(Companions, VoiceSettingsWithoutASpeechComponentSayCleanlyAndStillSave) {
    const Seen s = probe("set-none " + shellQuote(windowsDir()));
    ASSERT_EQ(s.exitCode, 0) << s.text;
    // One message, over the window, naming the missing component and the missing file.
    const std::string message = s["message"];
    EXPECT_NE(message.find("语音组件不能使用"), std::string::npos) << s.text;
    EXPECT_NE(s.text.find("Voice.ini do not exist"), std::string::npos) << s.text;
    EXPECT_EQ(s["voices"], "");
    EXPECT_EQ(s["outputs"], "没有音频输出");
    EXPECT_EQ(s["output-enabled"], "0");
    EXPECT_EQ(s["format-count"], "36");
    EXPECT_EQ(s["format"], "SAFT48kHz16BitMono");
    EXPECT_EQ(s["format-type"], "38");
    EXPECT_EQ(s["rate"], "-3");
    EXPECT_EQ(s["volume"], "100");
    EXPECT_EQ(s["test-text"], "欢迎使用folioPage！");
    EXPECT_EQ(s["saved"], "1");
    EXPECT_EQ(readBytes(dir / "Voice.ini"),
              ansiFile({"语音=", "语速=-3", "音量=100", "路径=", "真人语音=0"}));
}

TEST_F(Companions, VoiceSettingsApplyVoiceIniAndOkHandsTheSettingsBack) {
    writeBytes(dir / "Voice.ini",
               ansiFile({"语音=Voice B", "语速=2", "音量 = 5", "路径=D:\\Voice", "真人语音=1"}));
    const Seen s = probe("set-fake " + shellQuote(windowsDir()));
    ASSERT_EQ(s.exitCode, 0) << s.text;
    EXPECT_EQ(s.count("message"), 0u) << s.text;
    EXPECT_EQ(s["voices"], "Voice A|Voice B");
    EXPECT_EQ(s["voice-index"], "1");
    EXPECT_EQ(s["outputs"], "没有音频输出");
    EXPECT_EQ(s["output-enabled"], "0");
    EXPECT_EQ(s["rate"], "2");
    // "音量 = 5" has a space before "=": not the volume key, so the volume stays 100.
    EXPECT_EQ(s["volume"], "100");
    EXPECT_EQ(s["recorded"], "1");
    EXPECT_EQ(s["folder"], "D:\\Voice");
    EXPECT_EQ(s["speak"], "欢迎使用folioPage！");
    EXPECT_EQ(s["applied"], "Voice B 2 100 1");
    EXPECT_EQ(readBytes(dir / "Voice.ini"),
              ansiFile({"语音=Voice B", "语速=2", "音量=100", "路径=D:\\Voice", "真人语音=1"}));
}

TEST_F(Companions, VoiceSettingsOnTheSystemsSpeechComponentOpenAndSaveTheRate) {
    // Wine's own component: a voice without a description (listed by its token name) or none
    // at all; either way the window opens, and the rate moved to 5 is stored.
    writeBytes(dir / "Voice.ini", ansiFile({"语音=Microsoft Sam", "语速 = -3", "音量 = 100",
                                            "路径=", "真人语音 = 0"}));
    const Seen s = probe("set " + shellQuote(windowsDir()));
    ASSERT_EQ(s.exitCode, 0) << s.text;
    EXPECT_EQ(s["format-count"], "36") << s.text;
    if (s["voices"].empty())
        EXPECT_NE(s["message"].find("没有安装语音"), std::string::npos) << s.text;
    else
        EXPECT_EQ(s["voices"].find("||"), std::string::npos) << "an empty voice name: " << s.text;
    EXPECT_EQ(s["saved"], "1");
    const std::string file = readBytes(dir / "Voice.ini");
    EXPECT_NE(file.find("\r\n" + folio::toAnsi("语速=5") + "\r\n"), std::string::npos) << file;
    // Without a voice to choose, the voice the file named is kept.
    if (s["voices"].empty()) {
        EXPECT_EQ(file.rfind(folio::toAnsi("语音=Microsoft Sam") + "\r\n", 0), 0u) << file;
    }
}

TEST_F(Companions, FullScreenCoversTheScreenAndOnlyItsExitButtonEndsIt) {
    const Seen s = probe("fullscreen");
    ASSERT_EQ(s.exitCode, 0) << s.text;
    std::printf("NOTE: no browser engine under Wine here: the full-screen page itself is not "
                "checked.\n");
    EXPECT_EQ(s["created"], "1") << s.text;
    EXPECT_EQ(s["caption"], "全屏");
    EXPECT_EQ(s["fullscreen-has-title-bar"], "0");
    EXPECT_EQ(s["covers-screen"], "1");
    // The exit window: made topmost by the first tick, not at once; no Close command.
    EXPECT_EQ(s["exit-window"], "1");
    EXPECT_EQ(s["exit-topmost-at-once"], "0");
    EXPECT_EQ(s["exit-topmost"], "1");
    EXPECT_EQ(s["exit-tool-window"], "1");
    EXPECT_EQ(s["exit-caption"], "");
    EXPECT_EQ(s["exit-has-close-command"], "0");
    EXPECT_EQ(s["exit-buttons"], "1");
    EXPECT_EQ(s["exit-client"], "27x27"); // 405 twips at 96 DPI
    EXPECT_EQ(s["exit-left-top"], "750,428");
    EXPECT_EQ(s["after-close-request"], "1");
    // The button closes both windows; the reading window stays.
    EXPECT_EQ(s["after-exit-fullscreen"], "0");
    EXPECT_EQ(s["after-exit-exit-window"], "0");
    EXPECT_EQ(s["after-exit-owner"], "1");
    EXPECT_EQ(s["again-exit-window"], "1");
    EXPECT_EQ(s["again-gone"], "1");
}

TEST_F(Companions, AdvertWindowClosesItselfOnceItsShowTimeHasPassed) {
    // Time is up at the first tick after loading; twenty ticks are room to spare.
    const Seen zero = probe("adshow 0 20");
    ASSERT_EQ(zero.exitCode, 0) << zero.text;
    EXPECT_EQ(zero["client"], "306x205") << zero.text; // 4590 x 3075 twips
    EXPECT_EQ(zero["has-title-bar"], "0");
    EXPECT_EQ(zero["open"], "0");
    // A day to show: three ticks have each found time left.
    const Seen day = probe("adshow 1 3");
    EXPECT_EQ(day["open"], "1") << day.text;
}

TEST_F(Companions, AboutBoxShowsTitleVersionAndDescription) {
    const Seen s = probe("about");
    ASSERT_EQ(s.exitCode, 0) << s.text;
    EXPECT_EQ(s["title"], "folioPage");
    // The probe carries no version resource: the reader's own default.
    EXPECT_EQ(s["version"], "版本 1.0.0");
    EXPECT_FALSE(s["description"].empty());
    EXPECT_EQ(s["ok"], "确定");
    EXPECT_EQ(s["closed"], "1");
}

TEST_F(Companions, FormatShapesFollowTheirNamesAndTheAdvertRuleRounds) {
    const Seen s = probe("rules");
    ASSERT_EQ(s.exitCode, 0) << s.text;
    // Every one of the 36 names spells the wave format the engine is given.
    int formats = 0;
    for (const auto& [key, value] : s.values) {
        if (key.rfind("SAFT", 0) != 0)
            continue;
        ++formats;
        const int khz = std::stoi(key.substr(4));
        const auto bitAt = key.find("kHz") + 3;
        const int bits = std::stoi(key.substr(bitAt));
        const int channels = key.ends_with("Stereo") ? 2 : 1;
        const int rate = khz == 11 ? 11025 : khz == 22 ? 22050 : khz == 44 ? 44100 : khz * 1000;
        EXPECT_EQ(value, std::to_string(rate) + " " + std::to_string(bits) + " " +
                             std::to_string(channels))
            << key;
    }
    EXPECT_EQ(formats, 36);
    EXPECT_EQ(s["type-3"], "0");
    EXPECT_EQ(s["type-40"], "0");
    EXPECT_EQ(s["ad-0-nothing"], "0");
    EXPECT_EQ(s["ad-0-tick"], "1");
    EXPECT_EQ(s["ad-1-day"], "0");
    EXPECT_EQ(s["ad-1-day-and-tick"], "1");
    EXPECT_EQ(s["ad-half-rounds-to-0"], "1");
    EXPECT_EQ(s["ad-1.5-rounds-to-2"], "0");
    EXPECT_EQ(s["ad-huge"], "0");
    EXPECT_EQ(s["ad-negative"], "1");
}

} // namespace
