// The home page generator, the entry template file and the card editor, byte for byte.
#include "maker/generators/homepage.h"
#include "tests/unit/generators/contentstestsupport.h"

#include <gtest/gtest.h>

using namespace folio::generators;
namespace fs = std::filesystem;

namespace {

const std::string CardTag = "<div>{$title}|{$url}|{$author}|{$len}|{$img}|{$newchapter}|"
                            "{$state}|{$synopsis}|{$Title}|{$Caption}</div>";

struct Maker {
    TempDir dir;
    HomePageInputs in;
    explicit Maker(const std::string& indexTemplate = "<h1>{$Caption}</h1>\r\n{$LoopTag}end\r\n") {
        writeAnsi(dir.path / "list/index/index.html", indexTemplate);
        writeAnsi(dir.path / "list/index/logo.jpg", "jpeg");
        writeAnsi(dir.path / "list/index/xs.css", "xs");
        writeAnsi(dir.path / "list/index/common.css", "common");
        in.makerFolder = dir.str();
        in.bookName = "书架";
        in.projectFolder = dir.file("Book");
        fs::create_directories(in.projectFolder);
        in.entryTemplate = CardTag;
    }
    std::string project(const std::string& name) const {
        return readBytes(fs::path(in.projectFolder) / name);
    }
};

ContentsList cards(int n) {
    ContentsList list;
    for (int i = 1; i <= n; ++i)
        list.appendEntry(std::to_string(i), "-1", "T" + std::to_string(i), "p.html");
    return list;
}

} // namespace

TEST(GenerateHomePage, FillsEveryCardFieldInOrderAndCopiesCovers) {
    Maker m;
    writeAnsi(m.dir.path / "pics/book1.jpg", "cover");
    ContentsList list;
    list.appendEntry("1", "-1", "道德经", "index.html");
    list.setCell(1, ColAuthor, "老子");
    list.setCell(1, ColLen, "0.5");
    list.setCell(1, ColImg, m.dir.file("pics/book1.jpg"));
    list.setCell(1, ColNewChapter, "第八十一章");
    list.setCell(1, ColState, "完结");
    list.setCell(1, ColSynopsis, "{$url} stays: filled before");
    list.appendEntry("2", "-1", "Second", "b.html");
    RecordingObserver obs;
    auto out = GenerateHomePage(m.in, list, obs);
    ASSERT_TRUE(out) << out.error().message;
    const std::string page =
        "<h1>书架</h1>\r\n"
        "<div>道德经|index.html|老子|0.5|book1.jpg|第八十一章|完结|{$url} stays: filled "
        "before|{$Title}|{$Caption}</div>\r\n"
        "<div>Second|b.html|||logo.jpg||||{$Title}|{$Caption}</div>\r\n"
        "end\r\n";
    EXPECT_EQ(out->pageText, page);
    EXPECT_EQ(m.project("index.html"), marked(folio::toAnsi(page + "\r\n")));
    EXPECT_EQ(m.project("book1.jpg"), "cover");
    EXPECT_EQ(m.project("logo.jpg"), "jpeg");
    EXPECT_EQ(m.project("xs.css"), "xs");
    EXPECT_EQ(m.project("common.css"), "common");
    EXPECT_TRUE(out->problems.empty());
    ASSERT_EQ(obs.boxes.size(), 1u);
    EXPECT_EQ(obs.boxes[0].text, "成功创建首页！");
    EXPECT_EQ(obs.boxes[0].icon, folio::MessageIcon::Information);
}

TEST(GenerateHomePage, SeparatorsFollowEveryFourthCardOnly) {
    Maker m("{$LoopTag}");
    m.in.entryTemplate = "{$title}";
    RecordingObserver obs;
    ASSERT_TRUE(GenerateHomePage(m.in, cards(9), obs));
    const std::string hr = "<span class='hr'></span>";
    EXPECT_EQ(m.project("index.html"),
              marked("T1\r\nT2\r\nT3\r\nT4" + hr + "\r\nT5\r\nT6\r\nT7\r\nT8" + hr +
                     "\r\nT9\r\n\r\n\r\n"));
    EXPECT_EQ(obs.lastMaximum(), 10);
}

TEST(GenerateHomePage, EmptyListStillCopiesSupportFilesAndDefaultTagStaysUnfilled) {
    Maker m;
    RecordingObserver obs;
    ASSERT_TRUE(GenerateHomePage(m.in, ContentsList{}, obs));
    EXPECT_EQ(m.project("index.html"), marked(folio::toAnsi("<h1>书架</h1>\r\nend\r\n\r\n")));
    EXPECT_EQ(m.project("common.css"), "common");

    m.in.entryTemplate = std::string(DefaultHomePageTag);
    ASSERT_TRUE(GenerateHomePage(m.in, cards(2), obs));
    EXPECT_EQ(m.project("index.html"),
              marked(folio::toAnsi("<h1>书架</h1>\r\n<a href=\"$URL\">$Caption</a></br>\r\n\r\n"
                                   "<a href=\"$URL\">$Caption</a></br>\r\n\r\nend\r\n\r\n")));
}

TEST(GenerateHomePage, MissingCoversAndSupportFilesAreSkippedAndTheCardStillNamesThem) {
    Maker m("{$LoopTag}");
    m.in.entryTemplate = "{$img}";
    fs::remove(m.dir.path / "list/index/xs.css");
    ContentsList list = cards(3);
    list.setCell(1, ColImg, "D:\\pics\\book1.jpg");
    list.setCell(2, ColImg, "/nowhere/cover.png");
    list.setCell(3, ColImg, "/pics/");
    RecordingObserver obs;
    auto out = GenerateHomePage(m.in, list, obs);
    ASSERT_TRUE(out);
    EXPECT_EQ(m.project("index.html"), marked("book1.jpg\r\ncover.png\r\n\r\n\r\n\r\n"));
    EXPECT_EQ(out->problems.size(), 4u);
    EXPECT_EQ(out->copied, (std::vector<std::string>{"logo.jpg", "common.css"}));
    EXPECT_EQ(obs.boxes.back().text, "成功创建首页！");
}

TEST(GenerateHomePage, ACoverInTheProjectIsLeftAloneAndARelativeOneIsLookedForThere) {
    Maker m("{$LoopTag}");
    m.in.entryTemplate = "{$img}";
    writeAnsi(fs::path(m.in.projectFolder) / "cover.png", "png");
    ContentsList list = cards(1);
    list.setCell(1, ColImg, (fs::path(m.in.projectFolder) / "cover.png").string());
    RecordingObserver obs;
    auto out = GenerateHomePage(m.in, list, obs);
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->problems.empty());
    EXPECT_EQ(m.project("cover.png"), "png");
    // Named without a folder, the cover is the project's own, wherever the maker runs.
    list.setCell(1, ColImg, "cover.png");
    out = GenerateHomePage(m.in, list, obs);
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->problems.empty());
    EXPECT_EQ(m.project("index.html"), marked("cover.png\r\n\r\n\r\n"));
}

TEST(GenerateHomePage, MissingTemplateOrProjectFolderIsAnErrorNotASuccess) {
    Maker m;
    fs::remove(m.dir.path / "list/index/index.html");
    RecordingObserver obs;
    auto out = GenerateHomePage(m.in, cards(1), obs);
    ASSERT_FALSE(out);
    EXPECT_NE(out.error().message.find("list/index/index.html"), std::string::npos);
    ASSERT_EQ(obs.boxes.size(), 1u);
    EXPECT_EQ(obs.boxes[0].icon, folio::MessageIcon::Critical);

    Maker noProject;
    noProject.in.projectFolder = noProject.dir.file("missing");
    RecordingObserver obs2;
    auto out2 = GenerateHomePage(noProject.in, cards(1), obs2);
    ASSERT_FALSE(out2);
    EXPECT_NE(out2.error().message.find("missing/index.html"), std::string::npos);
    ASSERT_EQ(obs2.boxes.size(), 1u);
    EXPECT_NE(obs2.boxes[0].text, "成功创建首页！");
}

TEST(LoadHomePageTag, EveryLineEndsInCrLfAndAMissingFileGivesTheDefault) {
    TempDir dir;
    EXPECT_EQ(LoadHomePageTag(dir.str()), DefaultHomePageTag);
    writeAnsi(dir.path / "HomePageTag.ini", "<li>{$title}</li>\r\n<p>简介</p>");
    EXPECT_EQ(LoadHomePageTag(dir.str()), "<li>{$title}</li>\r\n<p>简介</p>\r\n");
    EXPECT_EQ(LoadHomePageTag(dir.str(), "x"), "x<li>{$title}</li>\r\n<p>简介</p>\r\n");
    // Saving appends CR LF, loading ends every line: each cycle adds one empty line.
    writeAnsi(dir.path / "HomePageTag.ini", "a\r\n\r\n");
    EXPECT_EQ(LoadHomePageTag(dir.str()), "a\r\n\r\n");
}

TEST(HomePageFields, EditOneRowAndNeverTheHeadings) {
    ContentsList list = cards(2);
    ContentsEntry f = homePageFields(list, 2);
    EXPECT_EQ(f.Caption, "T2");
    f.author = "老子";
    f.state = "连载中";
    f.synopsis = "x";
    f.img = "D:\\c.jpg";
    ASSERT_TRUE(applyHomePageFields(list, 2, f));
    EXPECT_EQ(list.cell(2, ColAuthor), "老子");
    EXPECT_EQ(list.cell(2, ColState), "连载中");
    EXPECT_EQ(list.cell(2, ColImg), "D:\\c.jpg");
    EXPECT_EQ(list.cell(2, ColBlank), " ");
    EXPECT_FALSE(applyHomePageFields(list, 0, f));
    EXPECT_FALSE(applyHomePageFields(list, 4, f));
    // The blank row takes the edit but no generator reads it.
    EXPECT_TRUE(applyHomePageFields(list, 3, f));
    EXPECT_EQ(list.entryCount(), 2);
    EXPECT_EQ(coverFileName("D:\\pics\\book1.jpg"), "book1.jpg");
    EXPECT_EQ(coverFileName("cover.png"), "cover.png");
}
