// The text of a page's first TITLE/H1/H2 element.
#include "maker/generators/contentstag.h"

#include <gtest/gtest.h>

using folio::generators::ExtractTagText;

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
