// The explorer listing and FrmSel's patterns.
#include "maker/project/explorer.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::project;

TEST(SelectByPattern, ComparesTheLastFourCharactersExactly) {
    const std::vector<std::string> names = {"a.htm", "b.html", "c.HTM", "d.txt", "第一章.htm"};
    std::vector<bool> sel;
    EXPECT_EQ(selectByPattern(names, sel, "*.htm"), 2);
    EXPECT_EQ(sel, (std::vector<bool>{true, false, false, false, true}));

    // "*.html" ends in "html": the same four as ".html" names, none of the others.
    std::vector<bool> html;
    EXPECT_EQ(selectByPattern(names, html, "*.html"), 1);
    EXPECT_EQ(html, (std::vector<bool>{false, true, false, false, false}));

    // Selections are only added.
    EXPECT_EQ(selectByPattern(names, sel, "*.txt"), 1);
    EXPECT_EQ(sel, (std::vector<bool>{true, false, false, true, true}));
    EXPECT_EQ(selectByPattern(names, sel, "*.*"), 2);
    EXPECT_EQ(sel, std::vector<bool>(5, true));
}

TEST(SelectByPattern, ChineseTailsAreCharactersNotBytes) {
    const std::vector<std::string> names = {"第一章节目", "二章节目", "节目"};
    std::vector<bool> sel;
    EXPECT_EQ(selectByPattern(names, sel, "*一章节目"), 1);
    EXPECT_EQ(sel, (std::vector<bool>{true, false, false}));
}

TEST(ExtPatterns, TheShippedFileListsOnePatternPerLine) {
    auto patterns = readExtPatterns(FOLIO_SOURCE_DIR "/data");
    ASSERT_TRUE(patterns);
    ASSERT_GE(patterns->size(), 3u);
    EXPECT_EQ((*patterns)[0], "*.*");
    EXPECT_EQ((*patterns)[1], "*.html");
    EXPECT_FALSE(readExtPatterns("/nonexistent"));
}

TEST(ListFolderFiles, FilesOnlySortedWithoutRegardToCase) {
    TempDir t;
    for (const char* n : {"b.html", "A.html", "c.txt"})
        t.write(n, "");
    std::filesystem::create_directories(t.path / "sub");
    folio::testing::RecordingObserver rec;
    auto names = listFolderFiles(t.str(), rec);
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string>{"A.html", "b.html", "c.txt"}));
    EXPECT_EQ(rec.maximums.back(), 3);
    EXPECT_FALSE(listFolderFiles(t.str() + "/none", rec));
}
