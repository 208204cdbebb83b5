// The contents list grid and its project file.
#include "core/text.h"
#include "maker/generators/contentslist.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::generators;

TEST(ContentsList, StartsWithHeadingsAndOneBlankRow) {
    ContentsList list;
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.entryCount(), 0);
    const char* expected[] = {"",     "编号", "子编号",   "标题", "链接", "作者",
                              "字数", "封面", "最新章节", "状态", "简介"};
    for (int c = 0; c < ContentsColumns; ++c)
        EXPECT_EQ(list.cell(0, c), expected[c]) << c;
    for (int c = 0; c < ContentsColumns; ++c)
        EXPECT_EQ(list.cell(1, c), "") << c;
    // Widths count ANSI characters of the format string, centring marks included.
    EXPECT_EQ(contentsHeadings()[0].width, 3);
    EXPECT_EQ(contentsHeadings()[3].width, 16);
    EXPECT_FALSE(contentsHeadings()[4].centred);
    EXPECT_TRUE(contentsHeadings()[5].centred);
    EXPECT_EQ(contentsHeadings()[10].width, 41);
}

TEST(ContentsList, EntriesGoAboveTheBlankRowWhichStaysLast) {
    ContentsList list;
    list.appendEntry("1", "-1", "Preface", "preface.html");
    list.insertRowText(" \t2\t1\tOne\tone.html", list.rowCount() - 1);
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.cell(1, ColCaption), "Preface");
    EXPECT_EQ(list.cell(2, ColBlank), " ");
    EXPECT_EQ(list.cell(2, ColSID), "1");
    EXPECT_EQ(list.cell(2, ColURL), "one.html");
    EXPECT_EQ(list.cell(3, ColID), "");
    // An insertion past the blank row or over the headings is kept between them.
    list.insertRowText(" \t9", 99);
    list.insertRowText(" \t0", 0);
    EXPECT_EQ(list.cell(1, ColID), "0");
    EXPECT_EQ(list.cell(4, ColID), "9");
    EXPECT_EQ(list.cell(5, ColID), "");
    EXPECT_EQ(list.cell(0, ColID), "编号");
}

TEST(ContentsList, TabsInARowTextShiftTheCellsAndExtraCellsAreDropped) {
    ContentsList list;
    list.insertRowText(" \t1\t-1\tA\tB\tlink", 1);
    EXPECT_EQ(list.cell(1, ColCaption), "A");
    EXPECT_EQ(list.cell(1, ColURL), "B");
    EXPECT_EQ(list.cell(1, ColAuthor), "link");
    list.insertRowText("0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12", 1);
    EXPECT_EQ(list.cell(1, ColSynopsis), "10");
    EXPECT_EQ(list.rowCount(), 4);
}

TEST(ContentsList, CellsOutOfRangeReadEmptyAndAreNotWritten) {
    ContentsList list;
    EXPECT_EQ(list.cell(-1, 0), "");
    EXPECT_EQ(list.cell(2, 0), "");
    EXPECT_EQ(list.cell(1, 11), "");
    EXPECT_FALSE(list.setCell(2, 1, "x"));
    EXPECT_FALSE(list.setCell(1, -1, "x"));
    EXPECT_TRUE(list.setCell(1, ColState, "完结"));
    EXPECT_EQ(list.entry(1).state, "完结");
}

TEST(ContentsList, RemoveKeepsHeadingsAndBlankRowAndClearEmpties) {
    ContentsList list;
    list.appendEntry("1", "-1", "a", "a.html");
    list.appendEntry("2", "-1", "b", "b.html");
    EXPECT_FALSE(list.remove(0));
    EXPECT_FALSE(list.remove(3));
    EXPECT_TRUE(list.remove(1));
    EXPECT_EQ(list.cell(1, ColCaption), "b");
    list.clear();
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.cell(0, ColCaption), "标题");
}

TEST(ContentsListFile, RoundTripKeepsEveryCellByteExact) {
    TempDir dir;
    const std::string project = dir.file("Book");
    std::filesystem::create_directories(project);
    ContentsList list;
    list.appendEntry("1", "-1", "序言", "index.html");
    list.appendEntry("2", "1", "tab\there", "a\\b.html");
    list.setCell(2, ColSynopsis, "line one\r\nline two\rthree\nfour");
    list.setCell(2, ColImg, "D:\\pics\\book1.jpg");
    list.setCell(2, ColState, "连载中");
    ASSERT_TRUE(saveContentsList(project, list));

    const std::string expected =
        folio::toAnsi("folio contents 1\r\n"
                      " \t1\t-1\t序言\tindex.html\t\t\t\t\t\t\r\n"
                      " \t2\t1\ttab\\there\ta\\\\b.html\t\t\tD:\\\\pics\\\\book1.jpg\t\t连载中\t"
                      "line one\\r\\nline two\\rthree\\nfour\r\n");
    EXPECT_EQ(std::filesystem::path(contentsListPath(project)).filename(), "Book.toc");
    std::ifstream in(contentsListPath(project), std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(written, expected);

    auto loaded = loadContentsList(project);
    ASSERT_TRUE(loaded) << loaded.error().message;
    ASSERT_EQ(loaded->rowCount(), list.rowCount());
    for (int r = 0; r < list.rowCount(); ++r)
        EXPECT_EQ(loaded->row(r), list.row(r)) << r;
}

TEST(ContentsListFile, MissingFileIsAnEmptyListAndDamagedFilesAreRefused) {
    TempDir dir;
    auto empty = loadContentsList(dir.str());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->rowCount(), 2);

    const std::string path = contentsListPath(dir.str());
    const std::string name = std::filesystem::path(path).filename().string();
    dir.write(name, "something else\r\n");
    auto wrong = loadContentsList(dir.str());
    ASSERT_FALSE(wrong);
    EXPECT_NE(wrong.error().message.find(path), std::string::npos);

    dir.write(name, "folio contents 1\r\n \t1\t-1\r\n");
    auto shortRow = loadContentsList(dir.str());
    ASSERT_FALSE(shortRow);
    EXPECT_NE(shortRow.error().message.find("line 2"), std::string::npos);

    dir.write(name, "folio contents 1\r\n \t1\t-1\tbad\\q\t\t\t\t\t\t\t\r\n");
    EXPECT_FALSE(loadContentsList(dir.str()));

    // A blank line added by hand is no row.
    dir.write(name, "folio contents 1\r\n\r\n \t1\t-1\tok\t\t\t\t\t\t\t\r\n\r\n");
    auto blankLines = loadContentsList(dir.str());
    ASSERT_TRUE(blankLines) << blankLines.error().message;
    EXPECT_EQ(blankLines->entryCount(), 1);

    // An empty saved list comes back empty.
    ContentsList none;
    ASSERT_TRUE(saveContentsList(dir.str(), none));
    EXPECT_EQ(dir.read(name), "folio contents 1\r\n");
    auto reloaded = loadContentsList(dir.str());
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->rowCount(), 2);
}
