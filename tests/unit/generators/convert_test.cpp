// Text to page and page to text: the files written, byte for byte, and what the user is told.
#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/convert.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <utility>

using namespace folio;
using namespace folio::generators;

namespace {

ExplorerList listOf(const TempDir& dir,
                    std::initializer_list<std::pair<std::string, bool>> entries) {
    ExplorerList list;
    list.folder = dir.str();
    for (const auto& [name, selected] : entries) {
        list.names.push_back(name);
        list.selected.push_back(selected);
    }
    return list;
}

// Files of the system: CP936 bytes of the UTF-8 text.
void writeAnsi(const TempDir& dir, const std::string& name, const std::string& utf8) {
    dir.write(name, toAnsi(utf8));
}

class TextToPages : public ::testing::Test {
  protected:
    TempDir dir;
    folio::testing::RecordingObserver observer;
    TextToPagesInputs in;

    void SetUp() override {
        // The template's last line has no line end: reading adds one, writing one more.
        writeAnsi(dir, "page.html", "<title>$Title</title>\r\n<body>$body</body>");
        in.templatePath = dir.file("page.html");
    }
    Result<ConvertSummary> run(std::initializer_list<std::pair<std::string, bool>> entries) {
        in.list = listOf(dir, entries);
        return ConvertTextToPages(in, observer);
    }
};

TEST_F(TextToPages, EscapesEveryLineAndFillsTheTitleBeforeTheBody) {
    writeAnsi(dir, "第一章.txt", "a<b & c\r\n  x>y\r\n$Title\"\t　z\rlast\nline");
    auto r = run({{"第一章.txt", true}});
    ASSERT_TRUE(r) << r.error().message;
    ASSERT_EQ(r->written, std::vector<std::string>{dir.file("第一章.html")});
    EXPECT_EQ(dir.read("第一章.html"),
              toAnsi("<title>第一章</title>\r\n<body>a&lt;b&nbsp;&amp;&nbsp;c<br>"
                     "&nbsp;&nbsp;x&gt;y<br>$Title\"\t　z<br>last\nline<br></body>\r\n\r\n"));
    // The page is in the system's code page: 第一章 as GBK bytes.
    EXPECT_NE(dir.read("第一章.html").find("\xB5\xDA\xD2\xBB\xD5\xC2"), std::string::npos);
    EXPECT_EQ(dir.read("第一章.txt"), toAnsi("a<b & c\r\n  x>y\r\n$Title\"\t　z\rlast\nline"));
    EXPECT_TRUE(observer.boxes.empty());
}

TEST_F(TextToPages, AUtf8ChapterComesOutInThePagesCodePage) {
    dir.write("u.txt", "\xEF\xBB\xBF第一章 한\r\n");
    dir.write("v.txt", "第二章\r\n");
    ASSERT_TRUE(run({{"u.txt", true}, {"v.txt", true}}));
    EXPECT_EQ(dir.read("u.html"),
              toAnsi("<title>u</title>\r\n<body>第一章&nbsp;?<br></body>\r\n\r\n"));
    EXPECT_EQ(dir.read("v.html"), toAnsi("<title>v</title>\r\n<body>第二章<br></body>\r\n\r\n"));
}

TEST_F(TextToPages, EmptySourceGivesAnEmptyBodyAndAnExistingPageIsOverwritten) {
    dir.write("empty.txt", "");
    dir.write("empty.html", "an older page that is much longer than the new one");
    ASSERT_TRUE(run({{"empty.txt", true}}));
    EXPECT_EQ(dir.read("empty.html"), "<title>empty</title>\r\n<body></body>\r\n\r\n");
}

TEST_F(TextToPages, OnlySelectedLowerCaseTxtNamesAreConverted) {
    for (const char* name : {"a.txt", "notes.TXT", "b.txt", "c.text", "d.txt"})
        dir.write(name, "x");
    // d.txt has no selection entry at all: not selected.
    auto r = run({{"a.txt", false},
                  {"notes.TXT", true},
                  {"b.txt", true},
                  {"c.text", true},
                  {"d.txt", false}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->written, std::vector<std::string>{dir.file("b.html")});
    for (const char* name : {"a.html", "notes.html", "notes.TXT.html", "c.html", "d.html"})
        EXPECT_FALSE(fileExists(dir.file(name))) << name;
    EXPECT_TRUE(observer.boxes.empty()); // nothing selected that qualifies is not reported
    EXPECT_EQ(observer.maximums, std::vector<int>{4});
    EXPECT_EQ(observer.values, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(TextToPages, AnEmptyListIsReportedAndNothingIsWritten) {
    in.programTitle = "folioMake";
    auto r = run({});
    ASSERT_TRUE(r);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text, "没有文件可以处理！！");
    EXPECT_EQ(observer.boxes[0].title, "folioMake");
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(observer.maximums.empty());
}

TEST_F(TextToPages, AMissingTemplateStopsTheCommandNamingTheFile) {
    dir.write("a.txt", "x");
    dir.write("b.txt", "y");
    in.templatePath = dir.file("list/page/page.html");
    auto r = run({{"a.txt", true}, {"b.txt", true}});
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find(in.templatePath), std::string::npos);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Critical);
    EXPECT_NE(observer.boxes[0].text.find(in.templatePath), std::string::npos);
    EXPECT_FALSE(fileExists(dir.file("a.html")));
    EXPECT_FALSE(fileExists(dir.file("b.html")));
}

TEST_F(TextToPages, AMissingSourceStopsAfterThePagesBeforeIt) {
    dir.write("a.txt", "x");
    dir.write("c.txt", "z");
    auto r = run({{"a.txt", true}, {"gone.txt", true}, {"c.txt", true}});
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find(dir.file("gone.txt")), std::string::npos);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_NE(observer.boxes[0].text.find(dir.file("gone.txt")), std::string::npos);
    EXPECT_TRUE(fileExists(dir.file("a.html")));
    EXPECT_FALSE(fileExists(dir.file("c.html")));
}

TEST(EscapeTextBody, AppliesTheFiveReplacementsOnRawBytes) {
    EXPECT_EQ(EscapeTextBody("a<b & c\r\n"), "a&lt;b&nbsp;&amp;&nbsp;c<br>");
    EXPECT_EQ(EscapeTextBody("  "), "&nbsp;&nbsp;<br>");
    EXPECT_EQ(EscapeTextBody("&amp;"), "&amp;amp;<br>");
    EXPECT_EQ(EscapeTextBody("\r\n\r\n"), "<br><br>");
    EXPECT_EQ(EscapeTextBody(""), "");
    // A GBK character whose trail byte is "@" or "[" is left whole.
    EXPECT_EQ(EscapeTextBody("\x81\x40\x81\x5B"), "\x81\x40\x81\x5B<br>");
}

TEST(RemovalPhrases, UseEveryPieceButTheLast) {
    EXPECT_TRUE(RemovalPhrases("").empty());
    EXPECT_TRUE(RemovalPhrases("只有一个").empty());
    EXPECT_EQ(RemovalPhrases("甲,乙,"), (std::vector<std::string>{"甲", "乙"}));
    EXPECT_EQ(RemovalPhrases("甲 , 乙,丙"), (std::vector<std::string>{"甲 ", " 乙"}));
    EXPECT_EQ(RemovalPhrases(",,"), (std::vector<std::string>{"", ""}));
}

TEST(PageTitle, TitleElementLosesTheRemovalPhrases) {
    const std::string page = "<html><title>第一章_某某小说网</title><TITLE>x</TITLE>";
    EXPECT_EQ(PageTitle(page, TitleElement::Title, RemovalPhrases("_某某小说网,")), "第一章");
    // Without the trailing comma the only phrase is the unused last piece.
    EXPECT_EQ(PageTitle(page, TitleElement::Title, RemovalPhrases("_某某小说网")),
              "第一章_某某小说网");
    EXPECT_EQ(PageTitle("<TITLE>x</TITLE>", TitleElement::Title, {}), "");
    EXPECT_EQ(PageTitle("<title>open only", TitleElement::Title, {}), "");
}

TEST(PageTitle, HeadingIsReducedToTheTextInsideItsMarkup) {
    const auto h1 = [](const std::string& page) { return PageTitle(page, TitleElement::H1, {}); };
    EXPECT_EQ(h1("<h1><a href=\"c2.html\">第二章</a></h1>"), "第二章");
    EXPECT_EQ(h1("<h1>第二章</h1>"), "第二章");
    // The phrases are not applied to a heading.
    EXPECT_EQ(PageTitle("<h1>第二章_网</h1>", TitleElement::H1, {"_网"}), "第二章_网");
    // Markup opened and never closed: what follows it.
    EXPECT_EQ(h1("<h1><span>第二章</h1>"), "第二章");
    EXPECT_EQ(h1("<H1>第二章</H1>"), "");
}

TEST(PageBody, CutsOneCharacterAfterTheStartMarkerUpToTheEndMarker) {
    const std::string page = "head<div>X甲&nbsp;乙<br>丙</div>tail</div>";
    EXPECT_EQ(PageBody(page, "<div>", "</div>", {}), "甲 乙\r\n丙");
    // The skipped character is a whole character, not a byte of one.
    EXPECT_EQ(PageBody("<div>甲乙</div>", "<div>", "</div>", {}), "乙");
    // An end marker inside the start marker's reach is not the end.
    EXPECT_EQ(PageBody("[[]]x]]", "[[", "]]", {}), "]x");
}

TEST(PageBody, MarkersLeftEmptyOrNotFoundLeaveThatEndUncut) {
    EXPECT_EQ(PageBody("甲<br>乙", "", "", {}), "甲\r\n乙");
    EXPECT_EQ(PageBody("甲<br>乙", "<nothere>", "", {}), "甲\r\n乙");
    EXPECT_EQ(PageBody("<d>X甲<br>乙", "<d>", "</d>", {}), "甲\r\n乙");
    EXPECT_EQ(PageBody("甲<br>乙</d>", "", "</d>", {}), "甲\r\n乙");
    EXPECT_EQ(PageBody("<d>", "<d>", "</d>", {}), "");
}

TEST(PageBody, DecodesInTheFixedOrderAndOnlyLowerCaseMarkup) {
    EXPECT_EQ(PageBody("&amp;lt;", "", "", {}), "&lt;");
    EXPECT_EQ(PageBody("&amp;nbsp;&gt;&lt;", "", "", {}), "&nbsp;><");
    EXPECT_EQ(PageBody("a<br/>b<br />c<p>d</p>e<BR>f<P>", "", "", {}),
              "a\r\nb\r\nc\r\nd\r\ne<BR>f<P>");
    EXPECT_EQ(PageBody("广告甲广告乙", "", "", {"广告"}), "甲乙");
    // The phrases go before the markup: a phrase can hold markup.
    EXPECT_EQ(PageBody("甲<br>本站<br>乙", "", "", {"<br>本站"}), "甲\r\n乙");
}

class PagesToText : public ::testing::Test {
  protected:
    TempDir dir;
    folio::testing::RecordingObserver observer;
    PagesToTextInputs in;

    Result<ConvertSummary> run(std::initializer_list<std::pair<std::string, bool>> entries) {
        in.list = listOf(dir, entries);
        return ConvertPagesToText(in, observer);
    }
};

TEST_F(PagesToText, WritesTitleAndBodyWithCrLf) {
    writeAnsi(dir, "c1.html",
              "<html>\n<head><title>第一章_某某小说网</title></head>\n<body>\n"
              "<div id=\"content\">\n甲&nbsp;乙<br>丙<br />\n丁</div>\n</body></html>\n");
    in.titleFrom = TitleElement::Title;
    in.startMarker = "<div id=\"content\">";
    in.endMarker = "</div>";
    in.removeList = "_某某小说网,";
    auto r = run({{"c1.html", true}});
    ASSERT_TRUE(r) << r.error().message;
    // The page's lone LF line ends come out as CR LF.
    const std::string expected = toAnsi("第一章\r\n甲 乙\r\n丙\r\n\r\n丁\r\n");
    EXPECT_EQ(dir.read("c1.txt"), expected);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text, "所有文件转换完成！");
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(observer.boxes[0].title, "folioMake");

    // Converting again gives the same file.
    ASSERT_TRUE(run({{"c1.html", true}}));
    EXPECT_EQ(dir.read("c1.txt"), expected);
}

TEST_F(PagesToText, APageWithoutItsHeadingIsNamedAfterItsFile) {
    writeAnsi(dir, "第三章.html", "<p>正文</p>\r\n");
    ASSERT_TRUE(run({{"第三章.html", true}}));
    EXPECT_EQ(dir.read("第三章.txt"), toAnsi("第三章\r\n\r\n正文\r\n\r\n\r\n"));
}

TEST_F(PagesToText, OnlySelectedLowerCaseHtmlNamesAreConvertedAndTheEndIsAlwaysReported) {
    for (const char* name : {"page.htm", "PAGE.HTML", "chapter.html", "ok.html"})
        dir.write(name, "<h1>t</h1>");
    auto r =
        run({{"page.htm", true}, {"PAGE.HTML", true}, {"chapter.html", false}, {"ok.html", true}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->written, std::vector<std::string>{dir.file("ok.txt")});
    EXPECT_EQ(dir.read("ok.txt"), "t\r\n<h1>t</h1>\r\n\r\n");
    for (const char* name : {"page.txt", "PAGE.txt", "chapter.txt"})
        EXPECT_FALSE(fileExists(dir.file(name))) << name;
    EXPECT_EQ(observer.maximums, std::vector<int>{3});

    observer.boxes.clear();
    observer.maximums.clear();
    ASSERT_TRUE(run({}));
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text, "所有文件转换完成！");
    EXPECT_TRUE(observer.maximums.empty()); // one item or none sets no maximum
}

TEST_F(PagesToText, AMissingPageStopsTheCommandNamingTheFile) {
    auto r = run({{"gone.html", true}});
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find(dir.file("gone.html")), std::string::npos);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Critical);
}

} // namespace
