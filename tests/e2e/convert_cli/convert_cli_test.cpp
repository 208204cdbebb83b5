// folio txt2html, html2txt and rename on files in two folders, with the installed page template.
#include "core/text.h"
#include "tests/tools/shell.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using folio::fromAnsi;
using folio::toAnsi;
using folio::testing::shellQuote;

namespace {

const std::string Folio = std::string(FOLIO_DIST_DIR) + "/folio";

using Outcome = folio::testing::CommandOutput; // stdout and stderr together

Outcome folio(const std::string& args) {
    return folio::testing::runCommand(shellQuote(Folio) + " " + args);
}

TEST(ConvertCli, TextToPageToTextAndRenameAcrossTwoFolders) {
    TempDir dir;
    std::filesystem::create_directories(dir.path / "b");
    dir.write("第一章.txt", toAnsi("天下 大势\r\n"));
    dir.write("b/x.txt", toAnsi("<甲>\r\n"));
    const std::string one = dir.file("第一章.txt"), two = dir.file("b/x.txt");

    Outcome r = folio("txt2html " + shellQuote(one) + " " + shellQuote(two));
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string page = fromAnsi(dir.read("第一章.html"));
    EXPECT_NE(page.find("<title>第一章</title>"), std::string::npos) << page;
    EXPECT_NE(page.find(">天下&nbsp;大势<br><"), std::string::npos) << page;
    EXPECT_NE(page.find("IE=edge"), std::string::npos);
    EXPECT_EQ(page.find('\n'), page.find("\r\n") + 1); // CR LF line ends
    EXPECT_NE(fromAnsi(dir.read("b/x.html")).find("&lt;甲&gt;<br>"), std::string::npos);

    // Back to text: the title from the heading, the body between the template's own markers.
    r = folio("html2txt --start '<div class=\"text\">' --end '</div>' " +
              shellQuote(dir.file("第一章.html")));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("wrote " + dir.file("第一章.txt")), std::string::npos) << r.output;
    // The body starts one character after the start marker.
    EXPECT_EQ(dir.read("第一章.txt"), toAnsi("第一章\r\n下 大势\r\n\r\n"));

    // Without --yes the question is answered no.
    r = folio("rename --by title " + shellQuote(dir.file("第一章.html")) + " " +
              shellQuote(dir.file("b/x.html")));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("confirm with --yes"), std::string::npos) << r.output;
    EXPECT_TRUE(std::filesystem::exists(dir.path / "b" / "x.html"));

    r = folio("rename --by title --yes " + shellQuote(dir.file("b/x.html")));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(std::filesystem::exists(dir.path / "b" / "X.html")) << r.output;
}

// The same chapter saved four ways gives one name and one text file, the exact Chinese text;
// renaming with --relink takes the other chapters' links and the project's list along.
TEST(ConvertCli, EveryEncodingReadAsDeclaredAndRelinkFollowsTheNewNames) {
    TempDir dir;
    const std::string chapter = "<title>第四十二章 风起云涌</title></head><body><h1>第四十二章 "
                                "风起云涌</h1><div>　　天下大势，分久必合。</div>";
    const std::pair<std::string, std::string> saved[] = {
        {"gbk", toAnsi("<head><meta charset=gbk>" + chapter)},
        {"utf8", "<head><meta charset=\"utf-8\">" + chapter},
        {"bom", "\xEF\xBB\xBF<head>" + chapter},
        {"plain", toAnsi("<head>" + chapter)},
    };
    for (const auto& [folder, bytes] : saved) {
        std::filesystem::create_directories(dir.path / folder);
        dir.write(folder + "/1.html", bytes);
        const std::string page = shellQuote(dir.file(folder + "/1.html"));
        Outcome r = folio("html2txt --start '<div>' --end '</div>' " + page);
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(dir.read(folder + "/1.txt"),
                  toAnsi("第四十二章 风起云涌\r\n　天下大势，分久必合。\r\n"))
            << folder;
        r = folio("rename --by h1 --yes " + page);
        EXPECT_TRUE(std::filesystem::exists(dir.path / folder / "第四十二章风起云涌.html"))
            << r.output;
    }

    std::filesystem::create_directories(dir.path / "书");
    dir.write("书/书.ini", toAnsi("电子书名称：书\r\n"));
    dir.write("书/书.toc", toAnsi("folio contents 1\r\n \t1\t-1\t一\t1.html\t\t\t\t\t\t\r\n"));
    dir.write("书/1.html", toAnsi("<h1>第一章</h1><a href=\"2.html#top\">下一章</a>"));
    dir.write("书/2.html", "<h1>第二章</h1><a href=\"1.html\">上一章</a>");
    const Outcome r = folio("rename --by h1 --relink --yes " + shellQuote(dir.file("书/1.html")) +
                            " " + shellQuote(dir.file("书/2.html")));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(dir.read("书/第一章.html"),
              toAnsi("<h1>第一章</h1><a href=\"第二章.html#top\">下一章</a>"));
    EXPECT_EQ(dir.read("书/第二章.html"), "<h1>第二章</h1><a href=\"第一章.html\">上一章</a>");
    EXPECT_NE(fromAnsi(dir.read("书/书.toc")).find("\t一\t第一章.html\t"), std::string::npos);
    EXPECT_NE(r.output.find("relinked " + dir.file("书/第二章.html")), std::string::npos)
        << r.output;
}

TEST(ConvertCli, BadUseAndMissingFilesAreRefused) {
    TempDir dir;
    EXPECT_EQ(folio("txt2html").status, 2);
    EXPECT_EQ(folio("html2txt --title-from h3 a.html").status, 2);
    EXPECT_EQ(folio("rename --by colour --yes a.txt").status, 2);
    EXPECT_EQ(folio("txt2html --frobnicate a.txt").status, 2);
    const Outcome r = folio("txt2html " + shellQuote(dir.file("gone.txt")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(dir.file("gone.txt")), std::string::npos) << r.output;
    const Outcome t =
        folio("txt2html --maker " + shellQuote(dir.str()) + " " + shellQuote(dir.file("a.txt")));
    EXPECT_EQ(t.status, 1);
}

} // namespace
