#include "core/fileio.h"
#include "core/text.h"
#include "reader/core/bookmarks.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using folio::reader::BookmarkList;

TEST(Bookmarks, FirstOpeningListsNoBookmarkAndWritesNothing) {
    TempDir dir;
    auto list = BookmarkList::load(dir.str());
    ASSERT_TRUE(list) << list.error().message;
    EXPECT_TRUE(list->empty());
    EXPECT_EQ(list->nextName(), "书签0");
    EXPECT_FALSE(folio::fileExists(dir.file("BookTag.ini")));
}

TEST(Bookmarks, KeyRunsToTheFirstEqualsAndTheRestRoundTrips) {
    TempDir dir;
    dir.write("BookTag.ini", "a=b=c\r\n" + folio::toAnsi("第一章=http://x/?a=1&b=2") + "\r\n");
    auto list = BookmarkList::load(dir.str());
    ASSERT_TRUE(list) << list.error().message;
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ(list->entries()[0].name, "a");
    EXPECT_EQ(list->entries()[0].address, "b=c");
    EXPECT_EQ(list->entries()[1].name, "第一章");
    EXPECT_EQ(list->entries()[1].address, "http://x/?a=1&b=2");
    ASSERT_TRUE(list->save(dir.str()));
    EXPECT_EQ(dir.read("BookTag.ini"),
              "a=b=c\r\n" + folio::toAnsi("第一章=http://x/?a=1&b=2") + "\r\n");
}

TEST(Bookmarks, LinesWithoutEqualsAreSkippedNotFatal) {
    TempDir dir;
    dir.write("BookTag.ini", "x=1\r\n\r\nno equals here\r\ny=2\r\n=empty name\r\n");
    auto list = BookmarkList::load(dir.str());
    ASSERT_TRUE(list) << list.error().message;
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ(list->entries()[1].name, "y");
    EXPECT_EQ(list->entries()[2].name, "");
    EXPECT_EQ(list->entries()[2].address, "empty name");
    EXPECT_EQ(list->nextName(), "书签3");
}

TEST(Bookmarks, AddRenumbersDeleteRespectsSelectionAndSaveKeepsEverything) {
    TempDir dir;
    auto list = BookmarkList::load(dir.str());
    ASSERT_TRUE(list);
    list->add(list->nextName(), "index.html");
    list->add(list->nextName(), "res:///b.exe/ch1.html");
    list->add(list->nextName(), "res:///b.exe/ch2.html");
    EXPECT_EQ(list->entries()[1].name, "书签1");
    EXPECT_EQ(list->entries()[2].name, "书签2");
    EXPECT_EQ(list->nextName(), "书签3");

    EXPECT_FALSE(list->remove(-1)); // nothing selected
    EXPECT_FALSE(list->remove(3));
    EXPECT_EQ(list->size(), 3u);
    EXPECT_TRUE(list->remove(0));
    EXPECT_EQ(list->addressAt(0), "res:///b.exe/ch1.html");
    EXPECT_FALSE(list->addressAt(2).has_value());

    ASSERT_TRUE(list->save(dir.str()));
    auto again = BookmarkList::load(dir.str());
    ASSERT_TRUE(again);
    ASSERT_EQ(again->size(), 2u);
    EXPECT_EQ(again->entries()[1].name, "书签2");
    EXPECT_EQ(again->entries()[1].address, "res:///b.exe/ch2.html");
}

TEST(Bookmarks, UnwritableFolderIsReportedWithTheFileName) {
    auto list = BookmarkList::load("/nonexistent-folio-folder/sub");
    ASSERT_TRUE(list);
    list->add("a", "b");
    auto saved = list->save("/nonexistent-folio-folder/sub");
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.error().message.find("BookTag.ini"), std::string::npos);
}
