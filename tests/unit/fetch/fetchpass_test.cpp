#include "fetch/fetchpass.h"
#include "tests/tools/localserver.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::fetch;

namespace {

// Records what the pass reports; after `stopAfter` event pumps during a wait it presses
// the stop button, as a user would.
class Recorder : public FetchObserver {
  public:
    FetchPass* pass = nullptr;
    int stopAfter = -1;
    int pumps = 0;
    int maximum = -1;
    std::vector<int> values;
    std::vector<std::string> titles, files, failures;

    void setProgressMaximum(int m) override { maximum = m; }
    void setProgressValue(int v) override { values.push_back(v); }
    void showChapter(const std::string& title, const std::string&) override {
        titles.push_back(title);
    }
    void chapterStarted(int, const std::string&, const std::string& file) override {
        files.push_back(file);
    }
    void downloadFailed(int, const std::string& reason) override { failures.push_back(reason); }
    void processEvents() override {
        ++pumps;
        if (stopAfter >= 0 && pumps >= stopAfter && pass != nullptr)
            pass->stop();
    }
    // A pass that keeps waiting past what any test asks for is a fault: end it, and fail.
    bool keepWaiting() override {
        if (pumps < MaxPumps)
            return true;
        ADD_FAILURE() << "the pass kept waiting after " << pumps << " event pumps";
        return false;
    }
    static constexpr int MaxPumps = 1000;
};

FetchOptions generic(const TempDir& dir) {
    FetchOptions o;
    o.novelSite = false;
    o.targetFolder = dir.str();
    return o;
}

} // namespace

TEST(FetchPass, GenericLinksFetchOnlyTheSelectedChaptersAndAdvanceOverAll) {
    LocalServer server;
    server.set("/1.html", {200, "one"});
    server.set("/2.html", {200, "two"});
    server.set("/3.html", {200, "three"});
    TempDir dir;
    FetchPass pass;
    Recorder rec;
    const auto summary =
        pass.run({"第一章", "第二章", "第三章"},
                 {server.base() + "/1.html", server.base() + "/2.html", server.base() + "/3.html"},
                 {true, false, true}, generic(dir), rec);
    EXPECT_EQ(summary.downloaded, 2);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_EQ(dir.read("第一章.html"), "one");
    EXPECT_EQ(dir.read("第三章.html"), "three");
    EXPECT_FALSE(std::filesystem::exists(dir.file("第二章.html")));
    EXPECT_EQ(rec.maximum, 2);
    EXPECT_EQ(rec.values, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(rec.titles, (std::vector<std::string>{"第一章", "第三章"}));
    EXPECT_TRUE(pass.isRunning()); // only the stop button clears it
    EXPECT_FALSE(pass.isActive());
}

TEST(FetchPass, OneItemLeavesTheProgressMaximumAlone) {
    LocalServer server;
    server.set("/1.html", {200, "one"});
    TempDir dir;
    FetchPass pass;
    Recorder rec;
    pass.run({"a"}, {server.base() + "/1.html"}, {true}, generic(dir), rec);
    EXPECT_EQ(rec.maximum, -1);
    FetchPass empty;
    Recorder none;
    const auto summary = empty.run({}, {}, {}, generic(dir), none);
    EXPECT_EQ(summary.selected, 0);
}

TEST(FetchPass, AFailedDownloadWaitsUntilStopThenLaterFailuresDoNot) {
    LocalServer server;
    server.set("/ok.html", {200, "ok"});
    TempDir dir;
    FetchPass pass;
    Recorder rec;
    rec.pass = &pass;
    rec.stopAfter = 25;
    const auto summary =
        pass.run({"bad1", "good", "bad2"},
                 {server.base() + "/404a", server.base() + "/ok.html", server.base() + "/404b"},
                 {true, true, true}, generic(dir), rec);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summary.downloaded, 1);
    EXPECT_FALSE(pass.isRunning());
    // It waited exactly until the stop, and did not wait again for the second failure.
    EXPECT_GE(rec.pumps, 25);
    EXPECT_LT(rec.pumps, 25 + 200);
    ASSERT_EQ(rec.failures.size(), 2u);
    EXPECT_NE(rec.failures[0].find("/404a"), std::string::npos);
    EXPECT_EQ(dir.read("good.html"), "ok");
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad1.html")));
}

// Nobody presses stop and the event pump does nothing: the observer's "no more waiting"
// ends the wait, so the pass returns by itself.
TEST(FetchPass, AWaitWithNobodyToPressStopEndsWhenTheObserverStopsWaiting) {
    LocalServer server;
    server.set("/ok.html", {200, "ok"});
    TempDir dir;
    class Unattended : public FetchObserver {
      public:
        int asked = 0;
        bool keepWaiting() override { return ++asked < 3; }
    } observer;
    FetchPass pass;
    const auto summary =
        pass.run({"bad", "good", "bad2"},
                 {server.base() + "/404", server.base() + "/ok.html", server.base() + "/404b"},
                 {true, true, true}, generic(dir), observer);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summary.downloaded, 1);
    EXPECT_EQ(observer.asked, 3) << "asked until the first no, and not again for the second "
                                    "failure";
    EXPECT_FALSE(pass.isRunning());
    EXPECT_FALSE(pass.isActive());
}

TEST(FetchPass, StartingAgainWhileThePassRunsIsRefused) {
    LocalServer server;
    TempDir dir;
    FetchPass pass;
    // The user presses stop, then start again, while the first pass waits.
    class Restarter : public Recorder {
      public:
        FetchSummary inner;
        const FetchOptions* options = nullptr;
        void processEvents() override {
            Recorder::processEvents();
            if (pumps == 3) {
                pass->stop();
                Recorder quiet;
                inner = pass->run({"x"}, {"http://127.0.0.1:1/x"}, {true}, *options, quiet);
            }
        }
    } rec;
    const FetchOptions o = generic(dir);
    rec.pass = &pass;
    rec.options = &o;
    const auto summary = pass.run({"bad"}, {server.base() + "/404"}, {true}, o, rec);
    EXPECT_TRUE(rec.inner.refused);
    EXPECT_FALSE(summary.refused);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_FALSE(pass.isActive());
}

TEST(FetchPass, LinkTextsNeverWriteOutsideTheFolder) {
    LocalServer server;
    server.set("/x", {200, "x"});
    TempDir outer;
    const std::string inner = outer.file("books");
    std::filesystem::create_directories(inner);
    FetchOptions o;
    o.novelSite = false;
    o.targetFolder = inner;
    FetchPass pass;
    Recorder rec;
    const auto summary = pass.run(
        {"../../x", "..", "a/b\\c", ""},
        {server.base() + "/x", server.base() + "/x", server.base() + "/x", server.base() + "/x"},
        {true, true, true, true}, o, rec);
    EXPECT_EQ(summary.downloaded, 4);
    for (const std::string& file : summary.files)
        EXPECT_EQ(std::filesystem::path(file).parent_path(), std::filesystem::path(inner)) << file;
    EXPECT_TRUE(std::filesystem::exists(inner + "/.._.._x.html"));
    EXPECT_TRUE(std::filesystem::exists(inner + "/...html"));
    EXPECT_TRUE(std::filesystem::exists(inner + "/a_b_c.html"));
    EXPECT_TRUE(std::filesystem::exists(inner + "/_.html"));
    EXPECT_FALSE(std::filesystem::exists(outer.path.parent_path() / "x.html"));
}

TEST(FetchPass, NovelSiteReadsTheServerOnceAndRewritesChapterLinks) {
    LocalServer server;
    const std::string prefix = server.base() + "/Author";
    server.set("/book/123,456.aspx",
               {200, "<html>see <a href='" + prefix + "7/123/456.txt'>text</a></html>"});
    server.set("/Author7/123/456.txt", {200, "chapter 456"});
    server.set("/Author7/123/457.txt", {200, "chapter 457"});
    TempDir dir;
    FetchOptions o;
    o.novelSite = true;
    o.authorPrefix = prefix;
    o.targetFolder = dir.str();
    FetchPass pass;
    Recorder rec;
    const auto summary =
        pass.run({"第456章", "第457章"},
                 {server.base() + "/book/123,456.aspx", server.base() + "/book/123,457.aspx"},
                 {true, true}, o, rec);
    EXPECT_EQ(summary.downloaded, 2);
    EXPECT_EQ(dir.read("第456章.html"), "chapter 456");
    EXPECT_EQ(dir.read("第457章.html"), "chapter 457");
    const auto requests = server.requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "/book/123,456.aspx"), 1);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "/book/123,457.aspx"), 0);
}

TEST(FetchPass, NovelSitePageWithoutServerNumberFailsItsChapters) {
    LocalServer server;
    server.set("/book/1,2.aspx", {200, "no prefix here"});
    TempDir dir;
    FetchOptions o;
    o.authorPrefix = server.base() + "/Author";
    o.targetFolder = dir.str();
    FetchPass pass;
    Recorder rec;
    rec.pass = &pass;
    rec.stopAfter = 1;
    const auto summary = pass.run({"c"}, {server.base() + "/book/1,2.aspx"}, {true}, o, rec);
    EXPECT_EQ(summary.failed, 1);
    ASSERT_EQ(rec.failures.size(), 1u);
    EXPECT_NE(rec.failures[0].find("server"), std::string::npos);
}

TEST(FetchPass, ChapterUrlRewritingAndServerNumber) {
    EXPECT_EQ(novelSiteChapterUrl("http://h/Author", 3, "http://h/book/123,456.aspx"),
              "http://h/Author3/123/456.txt");
    EXPECT_EQ(novelSiteChapterUrl("http://h/Author", 3, "http://h/a/b/1,2.aspx"),
              "http://h/Author3/b"); // piece 4 only: deeper links lose their tail
    EXPECT_FALSE(novelSiteChapterUrl("http://h/Author", 3, "http://h/1,2.aspx"));
    EXPECT_EQ(findServerNumber("..http://h/Author5/x", "http://h/Author"), 5);
    EXPECT_FALSE(findServerNumber("..http://h/AuthorX", "http://h/Author"));
    EXPECT_FALSE(findServerNumber("..http://h/Author", "http://h/Author"));
    EXPECT_FALSE(findServerNumber("nothing", "http://h/Author"));
}

TEST(FetchPass, SafeFileNamesArePlainAndBounded) {
    EXPECT_EQ(safeFileName("第一章 开始"), "第一章 开始");
    EXPECT_EQ(safeFileName("a\r\nb\tc"), "a__b_c");
    std::string longName;
    for (int i = 0; i < 100; ++i)
        longName += "章";
    const std::string cut = safeFileName(longName);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 3, 0u); // whole characters only
    EXPECT_EQ(chapterFilePath("/d/", "x"), "/d/x.html");
    EXPECT_EQ(chapterFilePath("/d", "x"), "/d/x.html");
}
