// The contents page generator: tree.html, tree.ini and the support files, byte for byte.
#include "maker/generators/contentspage.h"
#include "maker/generators/homepage.h"
#include "tests/unit/generators/contentstestsupport.h"

#include <gtest/gtest.h>

using namespace folio::generators;
namespace fs = std::filesystem;

namespace {

struct Maker {
    TempDir dir;
    ContentsPageInputs in;
    explicit Maker(const std::string& treeTemplate = "<title>$Title</title>\r\n<script>\r\n"
                                                     "$LoopTag</script>\r\n") {
        writeAnsi(dir.path / "list/tree/tree.html", treeTemplate);
        in.makerFolder = dir.str();
        in.bookName = "道德经";
        in.projectFolder = dir.file("道德经");
    }
    std::string project(const std::string& name) const {
        return readBytes(fs::path(in.projectFolder) / name);
    }
};

ContentsList sampleList() {
    ContentsList list;
    list.appendEntry("1", "-1", "序言", "index.html");
    list.appendEntry("2", "1", "It's $URL and $ID", "a b.html");
    list.appendEntry("3", "1", "第二章", "chapter02.html");
    return list;
}

} // namespace

TEST(GenerateContentsPage, FillsTheTemplateAndWritesBothFilesInCp936) {
    Maker m;
    RecordingObserver obs;
    auto out = GenerateContentsPage(m.in, sampleList(), obs);
    ASSERT_TRUE(out) << out.error().message;
    EXPECT_TRUE(out->createdProjectFolder);

    // "$Caption" is filled before "$URL", after "$ID"; quotes are not escaped.
    const std::string page = "<title>道德经</title>\r\n<script>\r\n"
                             "d.add(1,-1,'序言','index.html');\r\n"
                             "d.add(2,1,'It's a b.html and $ID','a b.html');\r\n"
                             "d.add(3,1,'第二章','chapter02.html');\r\n"
                             "</script>\r\n";
    EXPECT_EQ(out->pageText, page);
    EXPECT_EQ(m.project("tree.html"), marked(folio::toAnsi(page + "\r\n")));
    EXPECT_EQ(m.project("tree.ini"), folio::toAnsi(" \t1\t-1\t序言\tindex.html\r\n"
                                                   " \t2\t1\tIt's $URL and $ID\ta b.html\r\n"
                                                   " \t3\t1\t第二章\tchapter02.html\r\n"));
    EXPECT_EQ(obs.lastMaximum(), 4); // R - 1 with R = 5 rows
    ASSERT_EQ(obs.boxes.size(), 1u);
    EXPECT_EQ(obs.boxes[0].text, "成功创建目录页！");
    EXPECT_EQ(obs.boxes[0].title, "folioMake");
    EXPECT_EQ(obs.boxes[0].icon, folio::MessageIcon::Information);
}

TEST(GenerateContentsPage, EmptyListAndPlaceholderCountsAndCase) {
    Maker m("$LoopTag|$Title|$title|$LoopTag\r\n");
    RecordingObserver obs;
    ASSERT_TRUE(GenerateContentsPage(m.in, ContentsList{}, obs));
    EXPECT_EQ(m.project("tree.html"), marked(folio::toAnsi("|道德经|$title|\r\n\r\n")));
    EXPECT_EQ(m.project("tree.ini"), "");

    ContentsList one;
    one.appendEntry("1", "-1", "A", "a.html");
    ASSERT_TRUE(GenerateContentsPage(m.in, one, obs));
    EXPECT_EQ(m.project("tree.html"),
              marked(folio::toAnsi("d.add(1,-1,'A','a.html');\r\n|道德经|$title|"
                                   "d.add(1,-1,'A','a.html');\r\n\r\n\r\n")));

    Maker none("no loop here\r\n");
    ASSERT_TRUE(GenerateContentsPage(none.in, one, obs));
    EXPECT_EQ(none.project("tree.html"), marked("no loop here\r\n\r\n"));
}

TEST(GenerateContentsPage, OwnEntryTemplateAndLfTemplateLines) {
    // A lone LF stays inside a line, so an LF-only template is one line ending in CR LF.
    Maker m("a\nb $LoopTag");
    m.in.entryTemplate = "[$SID/$ID:$Caption>$URL]";
    RecordingObserver obs;
    ASSERT_TRUE(GenerateContentsPage(m.in, sampleList(), obs));
    EXPECT_EQ(m.project("tree.html"),
              marked(folio::toAnsi("a\nb [-1/1:序言>index.html]\r\n[1/2:It's a b.html and "
                                   "$ID>a b.html]\r\n[1/3:第二章>chapter02.html]\r\n\r\n\r\n")));
}

TEST(GenerateContentsPage, CopiesSupportFilesNamedInListFromListTree) {
    Maker m;
    writeAnsi(m.dir.path / "list/tree/tree.js", "js");
    writeAnsi(m.dir.path / "list/tree/tree.css", "css");
    writeAnsi(m.dir.path / "list/tree/unlisted.png", "png");
    for (const char* name : {"tree.js", "Tree.css", "tree.html", "orphan.gif"})
        writeAnsi(m.dir.path / "list" / name, "marker");
    fs::create_directories(m.dir.path / "list/tree.css"); // a folder is not a file name
    fs::rename(m.dir.path / "list/Tree.css", m.dir.path / "list/tree.css/x");
    writeAnsi(m.dir.path / "list/tree.css.bak", "");
    writeAnsi(m.dir.path / "list/tree/tree.css.bak", "bak");

    RecordingObserver obs;
    auto out = GenerateContentsPage(m.in, sampleList(), obs);
    ASSERT_TRUE(out) << out.error().message;
    EXPECT_EQ(out->copied, (std::vector<std::string>{"tree.css.bak", "tree.js"}));
    EXPECT_EQ(out->skipped, (std::vector<std::string>{"orphan.gif"}));
    EXPECT_EQ(m.project("tree.js"), "js");
    EXPECT_EQ(m.project("tree.css.bak"), "bak");
    EXPECT_FALSE(fs::exists(fs::path(m.in.projectFolder) / "unlisted.png"));
    EXPECT_FALSE(fs::exists(fs::path(m.in.projectFolder) / "orphan.gif"));
    // The generated page is not replaced by the template.
    EXPECT_NE(m.project("tree.html").find("d.add(1"), std::string::npos);
}

TEST(GenerateContentsPage, RunningTwiceWritesTheSameBytes) {
    Maker m;
    RecordingObserver obs;
    ASSERT_TRUE(GenerateContentsPage(m.in, sampleList(), obs));
    const std::string html = m.project("tree.html"), ini = m.project("tree.ini");
    auto again = GenerateContentsPage(m.in, sampleList(), obs);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->createdProjectFolder);
    EXPECT_EQ(m.project("tree.html"), html);
    EXPECT_EQ(m.project("tree.ini"), ini);
}

// A page of the same name that the generators did not write is the author's: it is replaced
// only when the answer is Yes, for the contents page and the home page alike.
TEST(GenerateContentsPage, AnAuthorsOwnPageIsReplacedOnlyWhenTheAnswerIsYes) {
    Maker m;
    writeAnsi(m.dir.path / "list/index/index.html", "{$LoopTag}");
    writeAnsi(fs::path(m.in.projectFolder) / "tree.html", "<p>my tree</p>");
    writeAnsi(fs::path(m.in.projectFolder) / "index.html", "<p>my home</p>");
    HomePageInputs home{m.in.makerFolder, m.in.projectFolder, m.in.bookName, "{$title}"};
    RecordingObserver obs;
    auto tree = GenerateContentsPage(m.in, sampleList(), obs);
    auto index = GenerateHomePage(home, sampleList(), obs);
    ASSERT_TRUE(tree && index);
    EXPECT_TRUE(tree->kept && index->kept);
    EXPECT_EQ(m.project("tree.html"), "<p>my tree</p>");
    EXPECT_EQ(m.project("index.html"), "<p>my home</p>");
    EXPECT_FALSE(fs::exists(fs::path(m.in.projectFolder) / "tree.ini"));
    ASSERT_EQ(obs.boxes.size(), 2u); // the two questions, no success
    EXPECT_EQ(obs.boxes[1].buttons, folio::MessageButtons::YesNo);
    EXPECT_NE(obs.boxes[1].text.find("index.html”不是由 folioMake 生成的"), std::string::npos);

    obs.answer = folio::Answer::Yes;
    ASSERT_FALSE(GenerateContentsPage(m.in, sampleList(), obs)->kept);
    ASSERT_FALSE(GenerateHomePage(home, sampleList(), obs)->kept);
    obs.boxes.clear(); // generated pages are replaced without a question
    ASSERT_FALSE(GenerateHomePage(home, sampleList(), obs)->kept);
    EXPECT_EQ(obs.boxes.size(), 1u);
    EXPECT_EQ(m.project("index.html"),
              marked(folio::toAnsi("序言\r\nIt's $URL and $ID\r\n第二章\r\n\r\n\r\n")));
}

TEST(GenerateContentsPage, AMissingTemplateIsReportedByNameAndNothingIsWritten) {
    TempDir dir;
    ContentsPageInputs in;
    in.makerFolder = dir.str();
    in.bookName = "Book";
    in.projectFolder = dir.file("Book");
    RecordingObserver obs;
    auto out = GenerateContentsPage(in, sampleList(), obs);
    ASSERT_FALSE(out);
    EXPECT_NE(out.error().message.find("list/tree/tree.html"), std::string::npos);
    ASSERT_EQ(obs.boxes.size(), 1u);
    EXPECT_EQ(obs.boxes[0].icon, folio::MessageIcon::Critical);
    EXPECT_EQ(obs.boxes[0].text, out.error().message);
    EXPECT_FALSE(fs::exists(in.projectFolder));
}

TEST(ProjectFolderFor, RefusesNamesThatLeaveTheMakerFolder) {
    EXPECT_EQ(projectFolderFor("/maker", "Book"), "/maker/Book");
    EXPECT_EQ(projectFolderFor("/maker/", "道德经"), "/maker/道德经");
    for (const char* bad : {"", ".", "..", "a/b", "..\\x", "/etc"})
        EXPECT_FALSE(projectFolderFor("/maker", bad)) << bad;
}
