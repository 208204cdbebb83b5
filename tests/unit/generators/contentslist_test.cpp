// The contents list grid and its project file.
#include "core/text.h"
#include "maker/generators/contentsedit.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/naturalorder.h"
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

namespace {

// The list as "ID/SID caption" cells, one string per row, for comparing whole lists at once.
std::vector<std::string> tree(const ContentsList& list) {
    std::vector<std::string> rows;
    for (int r = 1; r <= list.rowCount() - 2; ++r)
        rows.push_back(list.cell(r, ColID) + "/" + list.cell(r, ColSID) + " " +
                       list.cell(r, ColCaption));
    return rows;
}

ContentsList listOf(std::initializer_list<std::array<const char*, 3>> rows) {
    ContentsList list;
    for (const auto& [id, sid, caption] : rows)
        list.appendEntry(id, sid, caption, std::string(caption) + ".html");
    return list;
}

} // namespace

TEST(NaturalOrder, NumbersByValueInDigitsOrChineseNumeralsAndLettersWithoutCase) {
    const std::vector<std::string> sorted = {"1.html",   "2.html",     "10.html",      "b.html",
                                             "B2.html",  "b10.html",   "卷壹第拾章",   "卷贰第伍章",
                                             "序章",     "第二章",     "第九章",       "第十章",
                                             "第十二章", "第四十一章", "第一百零五章", "第两千章"};
    std::vector<std::string> names(sorted.rbegin(), sorted.rend());
    sortNaturally(names);
    EXPECT_EQ(names, sorted);
    EXPECT_TRUE(naturalLess("第9章", "第十章"));
    EXPECT_TRUE(naturalLess("二〇二三年", "二〇二四年"));
    // Equal by the rules, yet a fixed order.
    EXPECT_NE(naturalLess("A.html", "a.html"), naturalLess("a.html", "A.html"));
    EXPECT_FALSE(naturalLess("a.html", "a.html"));
}

TEST(ContentsEdit, DeleteHangsChildrenUnderTheParentAndRenumbersFromTheListsBase) {
    // The home entry makes the list count from 0.
    ContentsList list = listOf({{"0", "-1", "home"},
                                {"2", "0", "vol1"},
                                {"3", "2", "ch1"},
                                {"4", "2", "ch2"},
                                {"5", "3", "note"},
                                {"7", "9", "lost"}});
    auto done = deleteEntries(list, {2, 99});
    ASSERT_TRUE(done);
    EXPECT_EQ(tree(list), (std::vector<std::string>{"0/-1 home", "1/0 ch1", "2/0 ch2", "3/1 note",
                                                    "4/-1 lost"}));
    EXPECT_EQ(done->rows, (std::vector<int>{2}));
    EXPECT_EQ(done->ids.at("4"), "2");
    EXPECT_FALSE(done->ids.contains("2"));
    EXPECT_EQ(list.cell(4, ColURL), "note.html");

    // Without an entry 0, "0" is a top-level mark: it stays, and numbers start at 1.
    ContentsList marks = listOf({{"1", "-1", "a"}, {"2", "0", "folder"}, {"3", "2", "page"}});
    ASSERT_TRUE(deleteEntries(marks, {1}));
    ASSERT_TRUE(deleteEntries(marks, {1}));
    EXPECT_EQ(tree(marks), (std::vector<std::string>{"1/0 page"}));
    EXPECT_FALSE(deleteEntries(marks, {0, 2}));
}

TEST(ContentsEdit, MovesGoByBlocksAndNeverPutAParentBelowItsChild) {
    const ContentsList start = listOf({{"1", "-1", "vol1"},
                                       {"2", "1", "ch1"},
                                       {"3", "1", "ch3"},
                                       {"4", "1", "ch2"},
                                       {"5", "-1", "vol2"}});
    ContentsList list = start;
    auto up = moveEntries(list, {4}, -1);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->rows, (std::vector<int>{3}));
    EXPECT_EQ(tree(list)[2], "3/1 ch2");

    // A parent cannot pass its child, nor a child its parent; nothing moves then.
    auto refused = moveEntries(list, {1}, 1);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().why, EditRefusal::ChildBelow);
    EXPECT_EQ(refused.error().other, 2);
    refused = moveEntries(list, {2, 3}, -1);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().why, EditRefusal::ParentAbove);
    EXPECT_EQ(moveEntries(list, {5}, 1).error().why, EditRefusal::AtBottom);

    // vol2 moved up three rows, as one run and numbered along its rows; the children follow
    // vol1 to its new number.
    list = start;
    auto far = moveEntries(list, {5}, -3);
    ASSERT_TRUE(far);
    EXPECT_EQ(tree(list), (std::vector<std::string>{"1/-1 vol1", "2/-1 vol2", "3/1 ch1", "4/1 ch3",
                                                    "5/1 ch2"}));
    EXPECT_EQ(far->ids.at("5"), "2");
    auto tooFar = moveEntries(list, {2}, -2);
    ASSERT_FALSE(tooFar);
    EXPECT_EQ(tooFar.error().why, EditRefusal::AtTop);
    EXPECT_EQ(tooFar.error().done, 1);

    // Two separate blocks move together and stay selected.
    list = start;
    auto blocks = moveEntries(list, {3, 5}, -1);
    ASSERT_TRUE(blocks);
    EXPECT_EQ(blocks->rows, (std::vector<int>{2, 4}));
    EXPECT_EQ(tree(list)[3], "4/-1 vol2");
}

TEST(ContentsEdit, IndentUnderTheSiblingAboveAndOutdentToTheGrandparent) {
    ContentsList list = listOf({{"1", "-1", "vol1"},
                                {"2", "1", "ch1"},
                                {"3", "1", "ch2"},
                                {"4", "3", "ch2.1"},
                                {"5", "1", "ch3"}});
    // ch2 takes its child along; ch3 finds ch1 as the sibling above once ch2 is under it.
    ASSERT_TRUE(indentEntries(list, {3, 4, 5}));
    EXPECT_EQ(tree(list), (std::vector<std::string>{"1/-1 vol1", "2/1 ch1", "3/2 ch2", "4/3 ch2.1",
                                                    "5/2 ch3"}));
    EXPECT_EQ(indentEntries(list, {1}).error().why, EditRefusal::NoSibling);
    ASSERT_TRUE(outdentEntries(list, {3, 5}));
    EXPECT_EQ(tree(list)[2], "3/1 ch2");
    EXPECT_EQ(tree(list)[4], "5/1 ch3");
    EXPECT_EQ(outdentEntries(list, {1, 2}).error().why, EditRefusal::TopLevel);

    // Typed parent numbers: the marks, or an entry above.
    EXPECT_TRUE(isParentAllowed(list, 4, "3"));
    EXPECT_TRUE(isParentAllowed(list, 1, "0"));
    EXPECT_FALSE(isParentAllowed(list, 3, "3"));
    EXPECT_FALSE(isParentAllowed(list, 3, "4"));
    EXPECT_FALSE(isParentAllowed(list, 3, "x"));
    EXPECT_TRUE(isExistingParent(list, "5"));
    EXPECT_FALSE(isExistingParent(list, "6"));
}

TEST(ContentsHistory, UndoTakesBackEachCommittedChangeInTurn) {
    ContentsList list = listOf({{"1", "-1", "a"}, {"2", "-1", "b"}});
    const ContentsList start = list;
    ContentsHistory history(2);
    history.reset(list);
    EXPECT_FALSE(history.commit(list, "nothing"));
    ASSERT_TRUE(moveEntries(list, {2}, -1));
    EXPECT_TRUE(history.commit(list, "move"));
    const ContentsList moved = list;
    list.setCell(1, ColCaption, "edited");
    history.commit(list, "edit");
    list.clear();
    history.commit(list, "clear");
    EXPECT_EQ(history.lastChange(), "clear");
    EXPECT_EQ(history.undo(list), "clear");
    EXPECT_EQ(list.cell(1, ColCaption), "edited");
    EXPECT_EQ(history.undo(list), "edit");
    EXPECT_EQ(list, moved);
    // Two steps kept: the move is gone from the history.
    EXPECT_FALSE(history.undo(list));
    // A change nobody committed is the one undo takes back.
    list.clear();
    EXPECT_EQ(history.undo(list), "");
    EXPECT_EQ(list, moved);
    history.reset(start);
    EXPECT_FALSE(history.canUndo());
}
