// Renaming by title: the names files end up with, and the names they must never get.
#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/rename.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

using namespace folio;
using namespace folio::generators;

namespace {

class Rename : public ::testing::Test {
  protected:
    TempDir dir;
    folio::testing::RecordingObserver observer;
    RenameInputs in;

    void SetUp() override { observer.answer = Answer::Yes; }

    void page(const std::string& name, const std::string& utf8) { dir.write(name, toAnsi(utf8)); }

    RenameSummary run(RenameSource source, std::initializer_list<std::string> selectedNames) {
        in.source = source;
        in.list.folder = dir.str();
        in.list.names.clear();
        in.list.selected.clear();
        for (const std::string& name : selectedNames) {
            in.list.names.push_back(name);
            in.list.selected.push_back(true);
        }
        return RenamePagesByTitle(in, observer);
    }

    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path))
            names.insert(e.path().filename().string());
        return names;
    }
};

TEST_F(Rename, AsksFirstAndNoRenamesNothing) {
    page("a.html", "<title>第一章</title>");
    observer.answer = Answer::No;
    const RenameSummary r = run(RenameSource::HtmlTitle, {"a.html"});
    EXPECT_FALSE(r.confirmed);
    EXPECT_EQ(files(), std::set<std::string>{"a.html"});
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text,
              "该操作极具危险性，可以大批量修改文件名称！\r\n请确认批量改名选项，如果仍然确定修改，"
              "请选择“确定”，否则请选择屈“取消”，请选择？");
    EXPECT_EQ(observer.boxes[0].title, "folioMake");
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(observer.boxes[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(observer.maximums.empty());
}

TEST_F(Rename, AnEmptyListIsReportedWithoutAQuestion) {
    run(RenameSource::FirstLine, {});
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text, "没有文件可以处理！！");
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Exclamation);
}

TEST_F(Rename, TitlesAreUpperCasedCleanedAndKeepEverythingFromTheFirstDot) {
    page("a.html", "<html><title>第一章 天下</title>");
    page("b.html", "<TITLE>《雪》第3章</TITLE>");
    page("c.html", "<Title>Intro</Title>");
    page("chapter.01.html", "<title>序</title>");
    const RenameSummary r =
        run(RenameSource::HtmlTitle, {"a.html", "b.html", "c.html", "chapter.01.html"});
    EXPECT_TRUE(r.confirmed);
    EXPECT_EQ(r.renamed.size(), 4u);
    EXPECT_EQ(files(), (std::set<std::string>{"第一章天下.html", "雪 第3章.html", "INTRO.html",
                                              "序.01.html"}));
    // The caption counts the item's index, not a percentage.
    EXPECT_EQ(observer.captions,
              (std::vector<std::string>{"folioMake-正在更改文件0%", "folioMake-正在更改文件1%",
                                        "folioMake-正在更改文件2%", "folioMake-正在更改文件3%"}));
    EXPECT_EQ(observer.maximums, std::vector<int>{3});
}

TEST_F(Rename, HeadingsAndFirstLines) {
    page("h1.html", "<body><h1>第二章</h1><h2>小节</h2>");
    page("h2.html", "<body><h1>第二章</h1><h2>小节</h2>");
    page("t.txt", "第五章 归来\r\n正文\r\n");
    page("lf.txt", "甲\n乙\r\n");
    page("readme", "说明\r\n");
    run(RenameSource::HtmlH1, {"h1.html"});
    run(RenameSource::HtmlH2, {"h2.html"});
    const RenameSummary r = run(RenameSource::FirstLine, {"t.txt", "lf.txt", "readme"});
    EXPECT_EQ(r.renamed.size(), 3u);
    // A lone LF stays inside the first line and is no part of a name.
    EXPECT_EQ(files(), (std::set<std::string>{"第二章.html", "小节.html", "第五章归来.txt",
                                              "甲乙.txt", "说明"}));
}

TEST_F(Rename, LongNamesAreCutToFifteenCharactersBeforeCleaning) {
    const std::string forty =
        "一二三四五六七八九十 一二三四五六七八九十一二三四五六七八九十一二三四五六七八";
    page("long.txt", forty + "\r\n");
    page("thirty.txt", "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十\r\n");
    run(RenameSource::FirstLine, {"long.txt", "thirty.txt"});
    EXPECT_EQ(files(), (std::set<std::string>{"一二三四五六七八九十一二三四.txt",
                                              "一二三四五六七八九十一二三四五六七八九十一二三四五"
                                              "六七八九十.txt"}));
    EXPECT_EQ(CutLongName(std::string(31, 'a')), std::string(15, 'a'));
    EXPECT_EQ(CutLongName(std::string(30, 'a')), std::string(30, 'a'));
}

TEST_F(Rename, StripSymbolsCleansTheNameBeforeItsFirstDot) {
    dir.write("(1)-序.html", "");
    dir.write("【第2章】.txt.bak", "");
    run(RenameSource::StripSymbols, {"(1)-序.html", "【第2章】.txt.bak"});
    EXPECT_EQ(files(), (std::set<std::string>{"1序.html", "第2章.txt.bak"}));
}

TEST_F(Rename, ATakenNameIsNeverReusedNotEvenBySameBatch) {
    page("a.html", "<title>同名</title>");
    page("b.html", "<title>同名</title>");
    page("c.html", "<title>旧</title>");
    page("旧.html", "already here");
    std::filesystem::create_directory(dir.path / "序章.html");
    page("d.html", "<title>序章</title>");
    const RenameSummary r = run(RenameSource::HtmlTitle, {"a.html", "b.html", "c.html", "d.html"});
    ASSERT_EQ(r.renamed.size(), 1u);
    EXPECT_EQ(r.renamed[0].from, "a.html");
    EXPECT_EQ(files(), (std::set<std::string>{"同名.html", "b.html", "c.html", "旧.html",
                                              "序章.html", "d.html"}));
    EXPECT_EQ(dir.read("旧.html"), "already here");
    EXPECT_EQ(r.kept.size(), 3u);
}

TEST_F(Rename, ANameDifferingOnlyInCaseIsTakenUnlessItIsTheFilesOwn) {
    // A book names its pages in upper case: intro.html and INTRO.html would be one page.
    page("intro.html", "<title>x</title>");
    page("a.html", "<title>Intro</title>");
    page("c.html", "<title>c</title>");
    const RenameSummary r = run(RenameSource::HtmlTitle, {"a.html", "c.html"});
    ASSERT_EQ(r.renamed.size(), 1u);
    EXPECT_EQ(files(), (std::set<std::string>{"intro.html", "a.html", "C.html"}));
}

TEST_F(Rename, FilesWithoutANameKeepTheirsAndTheRestGoOn) {
    page("none.html", "<p>no title</p>");
    page("open.html", "<title>never closed");
    page("empty.txt", "");
    page("blank.txt", "   \r\n");
    page("marks.txt", "《》？\r\n");
    page("ok.txt", "好\r\n");
    const RenameSummary r = run(RenameSource::HtmlTitle, {"none.html", "open.html", "gone.html"});
    EXPECT_TRUE(r.renamed.empty());
    EXPECT_EQ(r.kept.size(), 3u);
    const RenameSummary lines =
        run(RenameSource::FirstLine, {"empty.txt", "blank.txt", "marks.txt", "ok.txt"});
    ASSERT_EQ(lines.renamed.size(), 1u);
    EXPECT_EQ(lines.renamed[0].to, "好.txt");
    EXPECT_EQ(files(), (std::set<std::string>{"none.html", "open.html", "empty.txt", "blank.txt",
                                              "marks.txt", "好.txt"}));
}

TEST_F(Rename, NamesAreAlwaysNamesTheFileSystemCanHold) {
    page("lines.html", "<title>\r\n第一章\r\n</title>");
    page("slash.html", "<title>上\\下/左</title>");
    page("ctl.txt", "a\tb\x01"
                    "c\r\n");
    // An extension that leaves little room: the name is shortened to fit in 255 bytes.
    const std::string extension = "." + std::string(240, 'e');
    page("x" + extension, "一二三四五六七八九十\r\n");
    run(RenameSource::HtmlTitle, {"lines.html", "slash.html"});
    run(RenameSource::FirstLine, {"ctl.txt", "x" + extension});
    EXPECT_EQ(files(), (std::set<std::string>{"第一章.html", "上 下 左.html", "abc.txt",
                                              "一二三四" + extension}));
}

// After the renames every page's links that name an old name follow it, each page in its own
// encoding and otherwise byte for byte as it was; so does the contents list.
TEST_F(Rename, RelinkingRewritesTheLinksOfEveryPageAndOfTheContentsList) {
    dir.write("1.html",
              toAnsi("<meta charset=gbk><title>第一章</title><a href='./2.HTML#t'>下</a>"));
    dir.write("2.html", "\xEF\xBB\xBF<title>《雪》한</title><a href=\"1.html?x=1&amp;y=2\">上</a>"
                        "<a href=%31.html>上</a><img src=\" &#49;.html \"><a href=http://x/1.html>"
                        "<a href=\"sub/1.html\">");
    dir.write("3.html", toAnsi("<p>第三章</p><a href=\"2.html\">上一章</a>"));
    dir.write("4.html", toAnsi("<a href=\"1.html\">坏</a>") + "\xFF");
    dir.write("index.html", "<head><link href=\"1.html\"></head><frameset><frame src=\"2.html\">");
    in.relink = true;
    const RenameSummary r = run(RenameSource::HtmlTitle, {"1.html", "2.html"});
    ASSERT_EQ(r.renamed.size(), 2u);
    EXPECT_EQ(r.relinked,
              (std::vector<std::string>{"3.html", "index.html", "第一章.html", "雪 한.html"}));
    // A CP936 page holds the new name in CP936, and percent-encodes what CP936 lacks.
    EXPECT_EQ(
        dir.read("第一章.html"),
        toAnsi("<meta charset=gbk><title>第一章</title><a href='./雪%20%ED%95%9C.html#t'>下</a>"));
    EXPECT_EQ(dir.read("雪 한.html"),
              "\xEF\xBB\xBF<title>《雪》한</title><a href=\"第一章.html?x=1&amp;y=2\">上</a>"
              "<a href=第一章.html>上</a><img src=\" 第一章.html \"><a href=http://x/1.html>"
              "<a href=\"sub/1.html\">");
    EXPECT_EQ(dir.read("3.html"),
              toAnsi("<p>第三章</p><a href=\"雪%20%ED%95%9C.html\">上一章</a>"));
    EXPECT_EQ(dir.read("index.html"),
              "<head><link href=\"第一章.html\"></head><frameset><frame src=\"雪%20한.html\">");
    // Bytes that are no CP936 would not survive the rewrite: the page is left alone, and said.
    EXPECT_EQ(dir.read("4.html"), toAnsi("<a href=\"1.html\">坏</a>") + "\xFF");
    ASSERT_EQ(r.notRelinked.size(), 1u);
    EXPECT_EQ(r.notRelinked[0].name, "4.html");
    EXPECT_NE(RelinkReport(r).find("4.html"), std::string::npos);

    ContentsList list;
    list.appendEntry("1", "-1", "一", "./1.HTML#p");
    list.appendEntry("2", "-1", "二", "2.html");
    list.appendEntry("3", "-1", "三", "http://x/1.html");
    EXPECT_EQ(RelinkContentsList(list, r.renamed), 2);
    EXPECT_EQ(list.cell(1, ColURL), "./第一章.html#p");
    EXPECT_EQ(list.cell(2, ColURL), "雪 %ED%95%9C.html");
    EXPECT_EQ(list.cell(3, ColURL), "http://x/1.html");
}

TEST(CleanFileName, AppliesTheTableInOrderAndTrimsOnlyLeadingSpaces) {
    EXPECT_EQ(CleanFileName(
                  "a b　c（d）e?f？g(h)i-j／k—l_m、n【o】p[q]r，s《t》u“v”w/x：y\"z:1。2{3}4.5"),
              "abcdefghij k l mnopqrs t u v w x y z 1 2345");
    EXPECT_EQ(CleanFileName("《雪》"), "雪 ");
    EXPECT_EQ(CleanFileName(" 《 雪"), "雪");
    EXPECT_EQ(CleanFileName("a*b<c>d|e"), "a*b<c>d|e");
    EXPECT_EQ(CleanFileName("——"), "");
    // What no page's bytes made is no part of a name: U+FFFD and bytes that are not UTF-8.
    EXPECT_EQ(CleanFileName("第\xEF\xBF\xBD一\xB5章"), "第一章");
}

} // namespace
