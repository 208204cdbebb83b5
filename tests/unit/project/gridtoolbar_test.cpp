// The contents grid toolbar over the contents list, and the link lists in step.
#include "maker/project/gridtoolbar.h"

#include <gtest/gtest.h>

using namespace folio::generators;
using namespace folio::project;

TEST(AddSelectedLinks, ThreeLinksAfterAClearGetIdsOneTwoThreeUnderTheCurrentRow) {
    ContentsList list;
    list.appendEntry("1", "-1", "old", "old.html");
    ClearContents(list);
    EXPECT_EQ(list.rowCount(), 2);

    const std::vector<std::string> texts = {"第一章", "skip", "第二章", "第三章"};
    const std::vector<std::string> targets = {"http://x/1", "http://x/s", "http://x/2",
                                              "http://x/3"};
    const std::vector<bool> selected = {true, false, true, true};
    // The current row is the blank row: every new row stands at the top level.
    EXPECT_EQ(AddSelectedLinks(list, 1, texts, targets, selected), 3);
    ASSERT_EQ(list.rowCount(), 5);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(list.cell(r, ColBlank), " ");
        EXPECT_EQ(list.cell(r, ColID), std::to_string(r));
        EXPECT_EQ(list.cell(r, ColSID), "-1");
        EXPECT_EQ(list.cell(r, ColAuthor), "");
    }
    EXPECT_EQ(list.cell(2, ColCaption), "第二章");
    EXPECT_EQ(list.cell(2, ColURL), "http://x/2");

    // Rows added under row 2 take its ID as parent, all of them.
    EXPECT_EQ(AddSelectedLinks(list, 2, texts, targets, {false, true, false, true}), 2);
    EXPECT_EQ(list.cell(4, ColID), "4");
    EXPECT_EQ(list.cell(4, ColSID), "2");
    EXPECT_EQ(list.cell(5, ColSID), "2");
    EXPECT_EQ(list.cell(5, ColCaption), "第三章");
}

TEST(AddSelectedLinks, TabsAndLineBreaksCannotShiftColumns) {
    ContentsList list;
    EXPECT_EQ(AddSelectedLinks(list, 1, {"a\tb\r\nc"}, {"u\tv"}, {true}), 1);
    EXPECT_EQ(list.cell(1, ColCaption), "a b  c");
    EXPECT_EQ(list.cell(1, ColURL), "u v");
    // A selection longer than the lists adds nothing more.
    EXPECT_EQ(AddSelectedLinks(list, 1, {}, {}, {true, true}), 0);
}

TEST(GridClick, OnlyAnEntryBecomesTheParentAndTheBlankRowGivesTheTopLevel) {
    ContentsList list;
    list.appendEntry("1", "-1", "书名", "index.html");
    const GridPick row = gridClick(list, 1);
    EXPECT_EQ(row.sid, "1");
    EXPECT_EQ(row.title, "书名");
    const GridPick blank = gridClick(list, 2);
    EXPECT_EQ(blank.sid, "-1");
    EXPECT_EQ(blank.title, "");
    EXPECT_EQ(gridClick(list, 7).sid, "-1");
}

TEST(LinkLists, ClicksAndScrollsKeepTheTwoListsInStep) {
    LinkListPair p;
    p.append("一", "http://x/1");
    p.append("二", "http://x/2");
    p.append("三", "http://x/3");
    p.clickText(1, true);
    EXPECT_EQ(p.targetCurrent, 1);
    EXPECT_EQ(p.textTip, "二");
    EXPECT_TRUE(p.targetSelected[1]);
    p.clickText(1, false);
    EXPECT_FALSE(p.targetSelected[1]);
    p.clickTarget(2);
    EXPECT_EQ(p.textCurrent, 2);
    EXPECT_EQ(p.targetTip, "http://x/3");
    EXPECT_FALSE(p.textSelected[2]);
    p.scrollText(2);
    EXPECT_EQ(p.targetTop, 2);
    p.scrollTarget(0);
    EXPECT_EQ(p.textTop, 0);
    p.clickText(7, true); // out of range: nothing moves
    EXPECT_EQ(p.textCurrent, 2);
    p.clear();
    EXPECT_EQ(p.size(), 0);
}
