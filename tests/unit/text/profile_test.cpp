// The profile reader and writer: the semantics callers rely on from the system's profile calls.
#include "core/profile.h"

#include "core/fileio.h"
#include "core/text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace folio;

namespace {

Profile parseUtf8(const std::string& text) {
    return Profile::parse(toAnsi(text));
}

std::string tempPath(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("folio_profile_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto p = dir / name;
    std::filesystem::remove(p);
    return p.string();
}

} // namespace

TEST(Profile, SectionsAndKeysMatchWithoutRegardToCaseValuesTrimmed) {
    const Profile p = parseUtf8("[English]\r\n  Caption =  Open file  \r\n"
                                "[简体中文]\r\nCaption=打开\r\n");
    EXPECT_EQ(p.get("english", "CAPTION"), "Open file");
    EXPECT_EQ(p.get(" English ", "caption"), "Open file");
    EXPECT_EQ(p.get("简体中文", "Caption"), "打开");
    EXPECT_TRUE(p.contains("ENGLISH", "caption"));
    EXPECT_FALSE(p.contains("English", "Title"));
}

TEST(Profile, DefaultWhenSectionOrKeyMissingTrailingBlanksDropped) {
    const Profile p = parseUtf8("[a]\r\nk=v\r\n");
    EXPECT_EQ(p.get("b", "k", "fallback  "), "fallback");
    EXPECT_EQ(p.get("a", "x", "d"), "d");
    EXPECT_EQ(p.get("a", "x"), "");
}

TEST(Profile, LinesWithoutEqualsAndKeysBeforeAnySectionCarryNothing) {
    const Profile p = parseUtf8("orphan=1\r\n[s]\r\njust text\r\n; note\r\nk=a=b\r\n");
    EXPECT_EQ(p.get("", "orphan", "none"), "none");
    EXPECT_EQ(p.keys("s"), (std::vector<std::string>{"k"}));
    EXPECT_EQ(p.get("s", "k"), "a=b"); // only the first "=" separates
}

TEST(Profile, FirstOfDuplicateSectionsAndKeysAnswers) {
    const Profile p = parseUtf8("[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n");
    EXPECT_EQ(p.get("s", "k"), "1");
    EXPECT_EQ(p.get("s", "j", "-"), "-");
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"s"}));
}

TEST(Profile, ValueCutToBufferNeverInsideDoubleByteCharacter) {
    const std::string longAscii(300, 'x');
    const Profile p = parseUtf8("[s]\r\nascii=" + longAscii + "\r\nwide=中文字\r\n");
    EXPECT_EQ(p.get("s", "ascii").size(), 254u);
    EXPECT_EQ(p.get("s", "ascii", "", 10), std::string(9, 'x'));
    // 4 bytes of room hold two of the three double-byte characters; 5 bytes also only two.
    EXPECT_EQ(p.get("s", "wide", "", 5), "中文");
    EXPECT_EQ(p.get("s", "wide", "", 6), "中文");
    EXPECT_EQ(p.get("s", "wide", "", 1), "");
    EXPECT_EQ(p.get("s", "wide", "", 0), "");
}

TEST(Profile, SectionNameWithTrailByteThatLooksLikeABracket) {
    // "癩" is 0xB0 0x5D in CP936: its trail byte is "]".
    const Profile p = parseUtf8("[癩x]\r\nk=v\r\n");
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"癩x"}));
    EXPECT_EQ(p.get("癩x", "k"), "v");
}

TEST(Profile, LoadMissingFileNamesIt) {
    auto p = Profile::load(tempPath("absent.lng"));
    ASSERT_FALSE(p);
    EXPECT_NE(p.error().message.find("absent.lng"), std::string::npos);
}

TEST(ProfileWrite, ReplacesAddsKeyAndSectionKeepsOtherLines) {
    const std::string path = tempPath("w.ini");
    ASSERT_TRUE(writeProfileString(path, "语言", "Caption", "打开"));
    ASSERT_TRUE(writeProfileString(path, "语言", "Title", "书"));
    ASSERT_TRUE(writeProfileString(path, "other", "k", "1"));
    ASSERT_TRUE(writeProfileString(path, "语言", "caption", "关闭"));
    ASSERT_TRUE(writeProfileString(path, "语言", "Third", "3"));

    auto lines = readAnsiLines(path);
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{"[语言]", "caption=关闭", "Title=书", "Third=3",
                                                "[other]", "k=1"}));
    auto bytes = readFileBytes(path);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->back(), '\n');
    EXPECT_EQ((*bytes)[bytes->size() - 2], '\r');
    auto p = Profile::load(path);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->get("语言", "CAPTION"), "关闭");
}
