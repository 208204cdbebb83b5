// The entry makers: the builder run over the explorer selection, the home and folder entries.
#include "maker/generators/contents.h"
#include "tests/unit/generators/contentstestsupport.h"

#include <gtest/gtest.h>

using namespace folio::generators;

namespace {

struct Explorer {
    TempDir dir;
    BuildInputs in;
    Explorer() { in.list.folder = dir.str(); }
    void add(const std::string& name, const std::string& utf8Content, bool selected = true) {
        writeAnsi(dir.path / name, utf8Content);
        in.list.names.push_back(name);
        in.list.selected.push_back(selected);
    }
};

} // namespace

TEST(BuildContentsEntries, FileNameCaptionsAndRowNumbersContinueAcrossRuns) {
    Explorer e;
    e.add("chapter.01.html", "");
    e.add("skip.html", "", false);
    e.add("intro.htm", "");
    e.add("README", "");
    ContentsList list;
    RecordingObserver obs;
    auto summary = BuildContentsEntries(e.in, list, obs);
    EXPECT_EQ(summary.added, 3);
    EXPECT_EQ(obs.lastMaximum(), 3);
    EXPECT_EQ(obs.values, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(obs.events, 1);
    EXPECT_TRUE(obs.boxes.empty());
    ASSERT_EQ(list.rowCount(), 5);
    EXPECT_EQ(list.row(1), (ContentsList::Row{" ", "1", "-1", "chapter", "chapter.01.html"}));
    EXPECT_EQ(list.row(2), (ContentsList::Row{" ", "2", "-1", "intro", "intro.htm"}));
    EXPECT_EQ(list.row(3), (ContentsList::Row{" ", "3", "-1", "README", "README"}));

    e.in.sid = "2";
    BuildContentsEntries(e.in, list, obs);
    EXPECT_EQ(list.cell(4, ColID), "4");
    EXPECT_EQ(list.cell(6, ColID), "6");
    EXPECT_EQ(list.cell(6, ColSID), "2");
    EXPECT_EQ(list.cell(7, ColID), "");
}

TEST(BuildContentsEntries, HtmlCaptionsComeFromEachPageItself) {
    Explorer e;
    e.add("a.html", "<html><head><title>Intro</title></head><h1>Head</h1><h2>Sub</h2>");
    e.add("b.html", "<HTML><TITLE>第二章</TITLE><H1>二</H1><H2>貳</H2>");
    e.add("c.html", "<html><body>no elements</body>");
    const std::pair<TitleSource, std::vector<std::string>> cases[] = {
        {TitleSource::HtmlTitle, {"INTRO", "第二章", "c"}},
        {TitleSource::HtmlH1, {"HEAD", "二", "c"}},
        {TitleSource::HtmlH2, {"SUB", "貳", "c"}},
    };
    for (const auto& [source, captions] : cases) {
        ContentsList list;
        RecordingObserver obs;
        e.in.source = source;
        BuildContentsEntries(e.in, list, obs);
        ASSERT_EQ(list.entryCount(), 3);
        for (int r = 1; r <= 3; ++r)
            EXPECT_EQ(list.cell(r, ColCaption), captions[static_cast<std::size_t>(r - 1)]);
    }
}

TEST(BuildContentsEntries, FirstLineIsTakenExactlyAndAnEmptyFileFallsBackToItsName) {
    Explorer e;
    e.add("one.txt", "  第一章 开始  \r\nsecond\r\n");
    e.add("two.txt", "lf\nstays inside\rcut");
    e.add("vacant.txt", "");
    e.in.source = TitleSource::FirstLine;
    ContentsList list;
    RecordingObserver obs;
    BuildContentsEntries(e.in, list, obs);
    EXPECT_EQ(list.cell(1, ColCaption), "  第一章 开始  ");
    // A lone LF stays inside the line; the row keeps its columns with a blank in its place.
    EXPECT_EQ(list.cell(2, ColCaption), "lf stays inside");
    EXPECT_EQ(list.cell(3, ColCaption), "vacant");
}

TEST(BuildContentsEntries, PagesGoInNaturalOrderAndASecondEntryForAPageIsReported) {
    Explorer e;
    for (const char* name : {"第十章.txt", "10.html", "第九章.txt", "2.html", "第四十一章.txt"})
        e.add(name, "");
    ContentsList list;
    list.appendEntry("1", "-1", "old", "2.HTML");
    RecordingObserver obs;
    auto summary = BuildContentsEntries(e.in, list, obs);
    std::vector<std::string> captions;
    for (int r = 2; r <= list.rowCount() - 2; ++r)
        captions.push_back(list.cell(r, ColCaption));
    EXPECT_EQ(captions, (std::vector<std::string>{"2", "10", "第九章", "第十章", "第四十一章"}));
    EXPECT_EQ(summary.duplicates, (std::vector<std::string>{"2.html"}));
    EXPECT_EQ(summary.added, 5);
}

TEST(BuildContentsEntries, LineBreaksAndTabsInCaptionsBecomeBlanks) {
    Explorer e;
    e.add("a.html", "<title>Part\r\nOne\tTwo</title>");
    e.in.source = TitleSource::HtmlTitle;
    ContentsList list;
    RecordingObserver obs;
    BuildContentsEntries(e.in, list, obs);
    EXPECT_EQ(list.row(1), (ContentsList::Row{" ", "1", "-1", "PART ONE TWO", "a.html"}));
}

TEST(BuildContentsEntries, CustomGivesOneEntryPerSelectedPageWithTheSameText) {
    Explorer e;
    e.add("a.html", "");
    e.add("b.html", "");
    e.add("c.html", "");
    e.in.source = TitleSource::Custom;
    e.in.customTitle = "Appendix";
    e.in.customUrl = "http://example.org/x";
    ContentsList list;
    RecordingObserver obs;
    BuildContentsEntries(e.in, list, obs);
    ASSERT_EQ(list.entryCount(), 3);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(list.cell(r, ColID), std::to_string(r));
        EXPECT_EQ(list.cell(r, ColCaption), "Appendix");
        EXPECT_EQ(list.cell(r, ColURL), "http://example.org/x");
    }
}

TEST(BuildContentsEntries, NothingSelectedAddsNothingAndUnreadablePagesAreSkipped) {
    Explorer e;
    ContentsList list;
    RecordingObserver obs;
    BuildContentsEntries(e.in, list, obs);
    EXPECT_EQ(obs.lastMaximum(), -1);
    EXPECT_EQ(list.entryCount(), 0);

    e.add("a.html", "<title>A</title>", false);
    BuildContentsEntries(e.in, list, obs);
    EXPECT_EQ(list.entryCount(), 0);

    e.in.list.names.push_back("gone.html");
    e.in.list.selected.push_back(true);
    e.add("b.html", "<title>B</title>");
    e.in.source = TitleSource::HtmlTitle;
    auto summary = BuildContentsEntries(e.in, list, obs);
    ASSERT_EQ(summary.skipped.size(), 1u);
    EXPECT_EQ(summary.skipped[0].name, "gone.html");
    EXPECT_NE(summary.skipped[0].why.find("gone.html"), std::string::npos);
    ASSERT_EQ(list.entryCount(), 1);
    EXPECT_EQ(list.cell(1, ColCaption), "B");
}

TEST(AddEntries, HomeAndFolderEntriesNumberByDataPosition) {
    TempDir dir;
    for (const char* name : {"beta", "Alpha", "gamma"})
        std::filesystem::create_directories(dir.path / name);
    writeAnsi(dir.path / "file.html", "");
    ContentsList list;
    AddHomeEntry("道德经", list);
    RecordingObserver obs;
    auto added = AddFolderEntries(dir.str(), list, obs);
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, 3);
    ASSERT_EQ(list.entryCount(), 4);
    EXPECT_EQ(list.row(1), (ContentsList::Row{" ", "0", "-1", "道德经", "index.html"}));
    EXPECT_EQ(list.row(2), (ContentsList::Row{" ", "1", "0", "Alpha", ""}));
    EXPECT_EQ(list.row(3), (ContentsList::Row{" ", "2", "0", "beta", ""}));
    EXPECT_EQ(list.row(4), (ContentsList::Row{" ", "3", "0", "gamma", ""}));

    auto missing = AddFolderEntries(dir.file("nope"), list, obs);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("nope"), std::string::npos);
}
