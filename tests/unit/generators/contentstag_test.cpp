// The text of a page's first TITLE/H1/H2 element.
#include "maker/generators/contentstag.h"

#include "core/text.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::generators;
using folio::toAnsi;

TEST(ExtractTagText, UpperCasesLatinOnlyAndKeepsLineBreaks) {
    EXPECT_EQ(ExtractTagText("<html><title>Intro</title>", "<TITLE>", "</TITLE>"), "INTRO");
    EXPECT_EQ(ExtractTagText("<TiTlE>第一章 α b</tItLe>", "<TITLE>", "</TITLE>"), "第一章 α B");
    EXPECT_EQ(ExtractTagText("<h1> a\r\nb </h1>", "<H1>", "</H1>"), " A\r\nB ");
    EXPECT_EQ(ExtractTagText("<title></title>", "<TITLE>", "</TITLE>"), "");
    // Only the first pair counts.
    EXPECT_EQ(ExtractTagText("<h2>one</h2><h2>two</h2>", "<H2>", "</H2>"), "ONE");
}

TEST(ExtractTagText, NoResultWithoutABarePairInOrder) {
    EXPECT_EQ(ExtractTagText("<title lang=en>x</title>", "<TITLE>", "</TITLE>"), std::nullopt);
    EXPECT_EQ(ExtractTagText("<title >x</title>", "<TITLE>", "</TITLE>"), std::nullopt);
    EXPECT_EQ(ExtractTagText("<title>x", "<TITLE>", "</TITLE>"), std::nullopt);
    EXPECT_EQ(ExtractTagText("</h1>x<h1>y", "<H1>", "</H1>"), std::nullopt);
    EXPECT_EQ(ExtractTagText("", "<H1>", "</H1>"), std::nullopt);
}

// The same chapter saved four ways gives one caption: the exact Chinese text, nothing lost.
TEST(ReadElementText, EveryPageAndTextFileIsReadInItsOwnEncoding) {
    TempDir dir;
    const std::string chapter = "<title>第四十二章 风起云涌</title><h1>第四十二章 风起云涌</h1>";
    dir.write("gbk.html", toAnsi("<meta charset=gbk>" + chapter));
    dir.write("utf8.html", "<meta charset=\"utf-8\">" + chapter);
    dir.write("bom.html", "\xEF\xBB\xBF" + chapter);
    dir.write("plain.html", toAnsi(chapter));
    for (const char* name : {"gbk.html", "utf8.html", "bom.html", "plain.html"}) {
        EXPECT_EQ(ReadElementText(dir.file(name), PageElement::H1).value(), "第四十二章 风起云涌")
            << name;
        EXPECT_EQ(ReadElementText(dir.file(name), PageElement::Title).value(),
                  "第四十二章 风起云涌")
            << name;
    }
    dir.write("bom.TXT", "\xEF\xBB\xBF第一章\n正文");
    dir.write("gbk.txt", toAnsi("第一章\r\n正文"));
    EXPECT_EQ(ReadFirstLine(dir.file("bom.TXT")).value(), "第一章\n正文");
    EXPECT_EQ(ReadFirstLine(dir.file("gbk.txt")).value(), "第一章");
}
