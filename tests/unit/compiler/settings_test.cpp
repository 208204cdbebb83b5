// The project settings file: key lines with the full-width colon, read key by key.
#include "maker/project/settings.h"

#include "core/fileio.h"
#include "core/text.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace folio;
using namespace folio::project;

TEST(Settings, OnlyTheFirstFullWidthColonSeparates) {
    ProjectSettings s;
    EXPECT_EQ(applySettingsLines({"网址：a：b"}, s), 1);
    EXPECT_EQ(s.webAddress, "a：b");
}

TEST(Settings, KeysMustMatchExactlyUnknownAndColonlessLinesIgnored) {
    ProjectSettings s = initialSettings("/maker/out/");
    EXPECT_EQ(
        applySettingsLines(
            {"作者 ：x", "Author：y", "no colon here", "作者:ascii colon", "电子书名称：书"}, s),
        1);
    EXPECT_EQ(s.author, "");
    EXPECT_EQ(s.title, "书");
    EXPECT_EQ(s.indexPage, "index.html"); // keys the file lacks keep their values
    EXPECT_EQ(s.outPath, "/maker/out/");
}

TEST(Settings, EmptyLineEndsReading) {
    ProjectSettings s;
    EXPECT_EQ(applySettingsLines({"作者：甲", "", "广告：乙"}, s), 1);
    EXPECT_EQ(s.author, "甲");
    EXPECT_EQ(s.advert, "");
}

TEST(Settings, WrittenInTableOrderAsCp936WithCrLfAndReadBack) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("folio_settings_test_" + std::to_string(getpid())) / "Book";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = settingsFilePath(dir.string() + "/");
    EXPECT_EQ(path, dir.string() + "/Book.ini");

    ProjectSettings s;
    s.title = "道德经";
    s.indexPage = "index.html";
    s.contentsPage = "tree.html";
    s.outPath = "/out/";
    s.outFile = "ddj";
    s.author = "老子";
    s.webAddress = "http://x/";
    s.update = "u";
    s.bookshelf = "b";
    s.advert = "ad";
    ASSERT_TRUE(writeSettingsFile(path, s));

    const auto lines = settingsLines(s);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "电子书名称：道德经");
    EXPECT_EQ(lines[3], "输出文件夹：/out/");
    EXPECT_EQ(lines[6], "网址：http://x/");
    EXPECT_EQ(lines[9], "广告：ad");

    auto bytes = readFileBytes(path);
    ASSERT_TRUE(bytes);
    std::string expected;
    for (const auto& l : lines)
        expected += toAnsi(l) + "\r\n";
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), expected);

    ProjectSettings back;
    ASSERT_EQ(readSettingsFile(path, back).value(), 10);
    EXPECT_EQ(settingsLines(back), lines);
    EXPECT_FALSE(back.subfolders);
    // The sub-folder setting is an eleventh line, only when on; the ten keys read the same.
    s.subfolders = true;
    ASSERT_TRUE(writeSettingsFile(path, s));
    bytes = readFileBytes(path);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()),
              expected + toAnsi("子文件夹资源：1") + "\r\n");
    ASSERT_EQ(readSettingsFile(path, back).value(), 10);
    EXPECT_TRUE(back.subfolders);
    // The book's identifier is made once, appended, and kept when the settings are saved.
    const std::string id = keepBookId(path).value();
    EXPECT_EQ(id.size(), 45u);
    EXPECT_EQ(keepBookId(path).value(), id);
    ASSERT_TRUE(writeSettingsFile(path, s));
    bytes = readFileBytes(path);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()),
              expected + toAnsi("子文件夹资源：1\r\n标识：") + id + "\r\n");
    ASSERT_EQ(readSettingsFile(path, back).value(), 10);

    ProjectSettings untouched = initialSettings("/o/");
    EXPECT_FALSE(readSettingsFile((dir / "none.ini").string(), untouched));
    EXPECT_EQ(untouched.indexPage, "index.html");
    std::filesystem::remove_all(dir.parent_path());
}

// A settings file from another editor: UTF-8 (with or without a byte-order mark), LF or lone CR
// line ends. A file that sets no key at all is a fault of the file, not an empty project.
TEST(Settings, Utf8AndOtherLineEndsAreReadAndAFileWithoutKeysIsAnErrorNamingIt) {
    TempDir dir;
    const std::string path = dir.file("Book.ini");
    for (const std::string& bytes :
         {std::string("\xEF\xBB\xBF电子书名称：书\n作者：甲\n"),
          std::string("电子书名称：书\r作者：甲"), toAnsi("电子书名称：书\n作者：甲\r\n")}) {
        dir.write("Book.ini", bytes);
        ProjectSettings s;
        ASSERT_EQ(readSettingsFile(path, s).value_or(-1), 2) << bytes;
        EXPECT_EQ(s.title, "书");
        EXPECT_EQ(s.author, "甲");
    }
    dir.write("Book.ini", "title=x\n");
    ProjectSettings s = initialSettings("/o/");
    const auto none = readSettingsFile(path, s);
    ASSERT_FALSE(none);
    EXPECT_NE(none.error().message.find(path + ": no settings lines found"), std::string::npos);
    EXPECT_NE(none.error().message.find("电子书名称："), std::string::npos);
    EXPECT_EQ(s.indexPage, "index.html");
}
