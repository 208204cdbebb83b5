// folio search on a book compiled from a small project, run as a user would.
#include "core/text.h"
#include "tests/tools/testdir.h"
#include "tests/unit/book/bookcheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace folio;
using bookcheck::runCommand;
using bookcheck::shellQuote;

namespace {

const std::string Dist = FOLIO_DIST_DIR;
const std::string Folio = Dist + "/folio";

class SearchCli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(Dist + "/folioPage/folioPage.dat"))
            GTEST_SKIP() << "no reader template in " << Dist;
        const std::string project = m_dir.file("Find");
        std::filesystem::create_directories(project);
        auto write = [&](const std::string& name, const std::string& bytes) {
            std::ofstream(project + "/" + name, std::ios::binary) << bytes;
        };
        write("Find.ini", toAnsi("电子书名称：Find\r\n索引页：one.html\r\n目录树：one.html\r\n"
                                 "输出文件：Find\r\n"));
        write("one.html",
              toAnsi("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                     "charset=gb2312\"><title>第一章</title>\r\n<script>var 脚本 = \"Hidden\";"
                     "</script><style>.样式 { }</style></head>\r\n<body><!-- 注释 -->"
                     "<p class=\"属性\">道可道，非常道。\r\n名可<b>名</b>，非常名。</p>"
                     "<p>The Reader</p></body></html>\r\n"));
        write("two.html", "<html><head><meta charset=\"utf-8\"><title>Two</title></head><body>"
                          "<p>无名天地之始。A READER's book &amp; more</p></body></html>");
        write("tab\tname.html", "<p>制表符</p>");
        write("cover.css", "/* 非常 */");
        const auto r = run("compile " + shellQuote(project) + " --out " +
                           shellQuote(m_dir.file("out")) + " --date 2026-12-08");
        ASSERT_EQ(r.status, 0) << r.output;
        m_book = m_dir.file("out/Find.exe");
    }

    // stdout only; the exit status as the shell gives it.
    bookcheck::CommandOutput run(const std::string& args) {
        return runCommand("(" + shellQuote(Folio) + " " + args + " 2>/dev/null)");
    }
    bookcheck::CommandOutput search(const std::string& text) {
        return run("search " + shellQuote(m_book) + " " + shellQuote(text));
    }

    TempDir m_dir;
    std::string m_book;
};

} // namespace

TEST_F(SearchCli, FindsChineseAndLatinTextOnePageALineInPageOrder) {
    auto r = search("非常");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "ONE.HTML\t道可道，非常道。 名可名，非常名。 The Reader\n");

    r = search("名可名");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "ONE.HTML\t道可道，非常道。 名可名，非常名。 The Reader\n");

    r = search("reader");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "ONE.HTML\t道可道，非常道。 名可名，非常名。 The Reader\n"
                        "TWO.HTML\t无名天地之始。A READER's book & more\n");

    // A control character of a page name reaches the terminal escaped.
    r = search("制表符");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "TAB\\x09NAME.HTML\t制表符\n");
}

TEST_F(SearchCli, TextInsideTagsScriptsStylesAndCommentsIsNotFound) {
    for (const char* hidden : {"脚本", "hidden", "样式", "注释", "属性", "第一章", "charset"}) {
        const auto r = search(hidden);
        EXPECT_EQ(r.status, 1) << hidden;
        EXPECT_EQ(r.output, "") << hidden;
    }
}

TEST_F(SearchCli, TroubleIsExitStatusTwoWithTheFileNamed) {
    auto r = runCommand(shellQuote(Folio) + " search " + shellQuote(m_dir.file("none.exe")) + " x");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find(m_dir.file("none.exe")), std::string::npos) << r.output;

    r = runCommand(shellQuote(Folio) + " search " + shellQuote(m_dir.file("Find/Find.ini")) + " x");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("Find.ini"), std::string::npos) << r.output;

    EXPECT_EQ(run("search " + shellQuote(m_book)).status, 2);
    EXPECT_EQ(run("search " + shellQuote(m_book) + " ' '").status, 2);
}
