// The recent books list: most recent first, one entry per book, gone books not offered.
#include "reader/core/recentbooks.h"

#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace folio::reader;

namespace {
std::vector<std::string> paths(const std::vector<RecentBook>& books) {
    std::vector<std::string> out;
    for (const RecentBook& b : books)
        out.push_back(b.path);
    return out;
}
} // namespace

TEST(RecentBooks, MostRecentFirstOncePerBook) {
    TempDir dir;
    RecentBooks recent(dir.file("state"));
    EXPECT_TRUE(recent.list().empty());
    for (const char* name : {"a.exe", "b.exe", "c.exe"})
        dir.write(name, "MZ");
    ASSERT_TRUE(recent.add(dir.file("a.exe"), "甲"));
    ASSERT_TRUE(recent.add(dir.file("b.exe"), "乙"));
    ASSERT_TRUE(recent.add(dir.file("a.exe"), "甲 second\ttitle"));
    const auto books = recent.list();
    ASSERT_EQ(paths(books), (std::vector<std::string>{dir.file("a.exe"), dir.file("b.exe")}));
    EXPECT_EQ(books[0].title, "甲 second\ttitle");
    EXPECT_EQ(books[1].title, "乙");
}

TEST(RecentBooks, GoneBooksAreDroppedAndTheListIsBounded) {
    TempDir dir;
    RecentBooks recent(dir.file("state"), 2);
    for (const char* name : {"a.exe", "b.exe", "c.exe"})
        dir.write(name, "MZ");
    ASSERT_TRUE(recent.add(dir.file("a.exe"), "A"));
    ASSERT_TRUE(recent.add(dir.file("b.exe"), "B"));
    ASSERT_TRUE(recent.add(dir.file("c.exe"), "C"));
    EXPECT_EQ(paths(recent.list()),
              (std::vector<std::string>{dir.file("c.exe"), dir.file("b.exe")}));

    std::filesystem::remove(dir.path / "b.exe");
    EXPECT_EQ(paths(recent.list()), (std::vector<std::string>{dir.file("c.exe")}));
    // A book opened from a relative path would be found nowhere later.
    EXPECT_FALSE(recent.add("book.exe", "X"));
    EXPECT_FALSE(recent.add("", "X"));
}

TEST(RecentBooks, DamagedFileIsIgnored) {
    TempDir dir;
    dir.write("a.exe", "MZ");
    RecentBooks recent(dir.str());
    dir.write("recent", std::string("\x01\x02\xfe\r\n\x00", 6));
    EXPECT_TRUE(recent.list().empty());
    dir.write("recent", "folio recent books 1\r\nrelative.exe\tR\r\n" + dir.file("a.exe") +
                            "\tA\r\n%Z\tbad\r\nonly-one-field\r\n");
    ASSERT_EQ(recent.list().size(), 1u);
    EXPECT_EQ(recent.list()[0].title, "A");
    ASSERT_TRUE(recent.add(dir.file("a.exe"), "A2"));
    EXPECT_EQ(dir.read("recent"), "folio recent books 1\r\n" + dir.file("a.exe") + "\tA2\r\n");
}
