// Start-up, opening, creating and saving projects, shut-down, copying files in, the contents
// list kept with its project and the pages generated from it.
#include "maker/generators/contentslist.h"
#include "maker/project/contentscommands.h"
#include "maker/project/projectfiles.h"
#include "maker/project/workbench.h"
#include "tests/unit/project/makerfolder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace folio;
using namespace folio::project;

namespace {

const std::vector<std::string> TwoLanguages = {"English", "简体中文", ""};

} // namespace

TEST(StartUp, OpensTheLastProjectOfTheListAndStartsOnTheSecondLanguageAndSkin) {
    MakerFolder m;
    m.project("One", {"电子书名称：One", "作者：first"});
    m.project("Two", {"电子书名称：Two", "作者：second"});
    m.writeLines("Pro.ini", {"One", "Two"});
    m.writeLines("HomePageTag.ini", {"<p>{$title}</p>"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);

    EXPECT_EQ(s.languages, (std::vector<std::string>{"English", "简体中文"}));
    EXPECT_EQ(s.languageIndex, 1);
    EXPECT_EQ(s.skins, (std::vector<std::string>{"aero.she", "jade.she"}));
    EXPECT_EQ(s.skinIndex, 1);
    EXPECT_EQ(s.skinPath(1), m.file("skin/jade.she"));
    EXPECT_EQ(s.startSkin, m.file("skin/aero.she"));
    EXPECT_EQ(s.projects, (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(s.projectText, "Two");
    EXPECT_EQ(s.openFolder, m.file("Two"));
    EXPECT_EQ(s.settings.author, "second");
    EXPECT_EQ(s.settings.indexPage, "index.html");
    EXPECT_EQ(s.settings.outPath, m.file("out/"));
    // The page list is read before the snapshot is written.
    EXPECT_EQ(s.pages, std::vector<std::string>{"Two.ini"});
    EXPECT_TRUE(std::filesystem::exists(m.path / "Two" / "config.ini"));
    EXPECT_EQ(s.homePageTag, "<p>{$title}</p>\r\n");
    EXPECT_EQ(s.treeTag, "d.add($ID,$SID,'$Caption','$URL');");
    EXPECT_TRUE(s.startPage.empty());
    EXPECT_TRUE(rec.boxes.empty());
}

TEST(StartUp, MissingFilesAndShortListsGiveDefaultsWithoutAnError) {
    MakerFolder m;
    std::filesystem::remove(m.file("skin/jade.she"));
    std::filesystem::create_directories(m.path / "help");
    m.write("help/help.html", "<p>help</p>");
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str() + "/", {"简体中文", ""}, rec);
    EXPECT_EQ(s.makerFolder, m.str());
    EXPECT_EQ(s.languageIndex, 0);
    EXPECT_EQ(s.skinIndex, 0);
    EXPECT_TRUE(s.projects.empty());
    EXPECT_TRUE(s.openFolder.empty());
    EXPECT_EQ(s.homePageTag, "<a href=\"$URL\">$Caption</a></br>\r\n");
    EXPECT_EQ(s.startPage, m.file("help/help.html"));
    EXPECT_TRUE(s.problems.empty());
    EXPECT_TRUE(rec.boxes.empty());

    // Without a language file the list holds only "None", which is not offered.
    MakerState none = StartMaker(m.str(), {"None"}, rec);
    EXPECT_TRUE(none.languages.empty());
    EXPECT_EQ(none.languageIndex, -1);
}

TEST(OpenProject, SettingsLinesFollowTheColonAndEmptyLineRules) {
    MakerFolder m;
    m.project("Book", {"网址：a：b", "作者 ：nobody", "作者：me", "no colon at all", "更新：u", "",
                       "广告：after the gap"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.advert = "kept";
    OpenProjectFolder(s, m.file("Book"), rec);
    EXPECT_EQ(s.settings.webAddress, "a：b");
    EXPECT_EQ(s.settings.author, "me");
    EXPECT_EQ(s.settings.update, "u");
    EXPECT_EQ(s.settings.advert, "kept");
}

TEST(OpenProject, AFolderWithoutConfigGetsTheValuesShownBefore) {
    MakerFolder m;
    m.project("Book", {"电子书名称：Book", "作者：own author"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.author = "shown before";
    OpenProjectFolder(s, m.file("Book"), rec);
    EXPECT_EQ(s.settings.author, "own author");
    const std::string config = m.readUtf8("Book/config.ini");
    EXPECT_NE(config.find("作者：shown before\r\n"), std::string::npos) << config;
    EXPECT_NE(config.find("输出文件夹：" + m.file("out/") + "\r\n"), std::string::npos);

    // An existing snapshot is left as it is.
    s.settings.author = "later";
    OpenProjectFolder(s, m.file("Book"), rec);
    EXPECT_EQ(m.readUtf8("Book/config.ini"), config);
}

TEST(OpenProject, EntriesThatNameNoFolderInsideTheMakerLeaveTheOpenProject) {
    MakerFolder m;
    m.project("Book", {"作者：book"});
    TempDir outside;
    outside.write("x.ini", "");
    const std::string rel = "../" + outside.path.filename().string();
    m.writeLines("Pro.ini", {"Book", outside.str(), rel, "Missing"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    // The last entry's folder is missing: nothing opened at all.
    EXPECT_TRUE(s.openFolder.empty());
    ASSERT_TRUE(SelectProject(s, 0, rec));
    for (int i : {1, 2, 3}) {
        EXPECT_FALSE(SelectProject(s, i, rec));
        EXPECT_EQ(s.projectText, s.projects[static_cast<std::size_t>(i)]);
        EXPECT_EQ(s.openFolder, m.file("Book"));
    }
    EXPECT_FALSE(std::filesystem::exists(outside.path / "config.ini"));

    // The folder picker opens any folder and its path becomes the project text.
    PickProjectFolder(s, outside.str(), rec);
    EXPECT_EQ(s.projectText, outside.str());
    EXPECT_EQ(s.openFolder, outside.str());
    EXPECT_TRUE(std::filesystem::exists(outside.path / "config.ini"));
}

TEST(CreateProject, AnEmptyTitleDoesNothing) {
    MakerFolder m;
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    ASSERT_TRUE(CreateProject(s, rec));
    ASSERT_TRUE(SaveSettings(s, rec));
    EXPECT_FALSE(std::filesystem::exists(m.path / "Pro.ini"));
    EXPECT_FALSE(std::filesystem::exists(m.path / "config.ini"));
    EXPECT_FALSE(std::filesystem::exists(m.path / "TreeTag.ini"));
    EXPECT_TRUE(rec.boxes.empty());
}

TEST(CreateProject, WritesItsSettingsJoinsTheListOpensItAndCopiesTheTreeFiles) {
    MakerFolder m;
    m.write("list/tree.html", "list page");
    m.write("list/Tree.html", "list page, other case");
    m.write("list/tree/tree.html", "tree page");
    m.write("list/tree/Tree.html", "Tree page");
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.title = "新书";
    s.settings.author = "作者甲";
    ASSERT_TRUE(CreateProject(s, rec));
    EXPECT_EQ(
        m.readUtf8("新书/新书.ini"),
        "电子书名称：新书\r\n索引页：index.html\r\n目录树：tree.html\r\n输出文件夹：" +
            m.file("out/") +
            "\r\n输出文件：新书\r\n作者：作者甲\r\n网址：\r\n更新：\r\n在线书架：\r\n广告：\r\n");
    EXPECT_EQ(s.projects, std::vector<std::string>{"新书"});
    EXPECT_EQ(s.openFolder, m.file("新书"));
    EXPECT_TRUE(std::filesystem::exists(m.path / "新书" / "config.ini"));
    EXPECT_EQ(m.readUtf8("Pro.ini"), "新书\r\n");
    EXPECT_EQ(m.read("新书/tree.css"), "tree css");
    EXPECT_EQ(m.read("新书/Tree.html"), "Tree page");
    EXPECT_FALSE(std::filesystem::exists(m.path / "新书" / "tree.html"));
    EXPECT_TRUE(rec.boxes.empty());
}

TEST(CreateProject, ATitleThatLeavesTheMakerFolderIsRefused) {
    MakerFolder m;
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.title = "../escape";
    EXPECT_FALSE(CreateProject(s, rec));
    EXPECT_FALSE(std::filesystem::exists(m.path.parent_path() / "escape"));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].title, "folioMake");
    EXPECT_EQ(rec.boxes[0].icon, MessageIcon::Critical);
}

TEST(SaveSettings, TwoSavesAppendTwiceAndAShutDownLeavesExactlyTheList) {
    MakerFolder m;
    m.project("Book", {"电子书名称：Book", "作者：old"});
    m.writeLines("Pro.ini", {"Book"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.author = "new";
    s.treeTag = "d.add($ID);";
    s.homePageTag = "<b>$Caption</b>\r\n";
    ASSERT_TRUE(SaveSettings(s, rec));
    ASSERT_TRUE(SaveSettings(s, rec));
    EXPECT_EQ(m.readUtf8("Pro.ini"), "Book\r\nBook\r\nBook\r\n");
    EXPECT_EQ(m.read("TreeTag.ini"), "d.add($ID);\r\n");
    EXPECT_EQ(m.read("HomePageTag.ini"), "<b>$Caption</b>\r\n");
    EXPECT_NE(m.readUtf8("config.ini").find("作者：new\r\n"), std::string::npos);
    EXPECT_EQ(m.read("Book/tree.css"), "css");

    // The edits are the project's: opening it again brings them back.
    s.settings.author = "unsaved";
    OpenProjectFolder(s, m.file("Book"), rec);
    EXPECT_EQ(s.settings.author, "new");

    ASSERT_TRUE(ShutDown(s));
    EXPECT_EQ(m.readUtf8("Pro.ini"), "Book\r\n");
    EXPECT_TRUE(rec.boxes.empty());
}

TEST(SaveSettings, AMissingFolderIsCreatedAndOpened) {
    MakerFolder m;
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.title = "Fresh";
    ASSERT_TRUE(SaveSettings(s, rec));
    EXPECT_EQ(s.projects, std::vector<std::string>{"Fresh"});
    EXPECT_EQ(s.openFolder, m.file("Fresh"));
    EXPECT_EQ(m.readUtf8("Pro.ini"), "Fresh\r\n");
}

TEST(SaveSettings, AFileThatCannotBeWrittenIsNamedAndEndsTheCommand) {
    MakerFolder m;
    m.project("Book", {"电子书名称：Book"});
    std::filesystem::create_directories(m.path / "Pro.ini"); // in the way of the list
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.title = "Book";
    auto r = SaveSettings(s, rec);
    ASSERT_FALSE(r);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_NE(rec.boxes[0].text.find("Pro.ini"), std::string::npos) << rec.boxes[0].text;
    EXPECT_FALSE(std::filesystem::exists(m.path / "TreeTag.ini"));
}

TEST(TagFiles, SavingWhatWasReadGivesTheSameFile) {
    MakerFolder m;
    m.writeLines("HomePageTag.ini", {"<a href=\"$URL\">", "$Caption</a></br>"});
    folio::testing::RecordingObserver rec;
    const std::string first = m.read("HomePageTag.ini");
    for (int round = 0; round < 3; ++round) {
        MakerState s = StartMaker(m.str(), TwoLanguages, rec);
        ASSERT_TRUE(writeHomePageTag(s.makerFolder, s.homePageTag));
        EXPECT_EQ(m.read("HomePageTag.ini"), first) << "round " << round;
    }
    // The contents tag saved with the settings is the one the next start shows.
    ASSERT_TRUE(writeTreeTag(m.str(), "d.add($ID,$SID,'$Caption','$URL','x');"));
    EXPECT_EQ(StartMaker(m.str(), TwoLanguages, rec).treeTag,
              "d.add($ID,$SID,'$Caption','$URL','x');");

    // Lone line feeds from an edit box become CR LF; a text without a final line end gets one.
    ASSERT_TRUE(writeTreeTag(m.str(), "a\nb"));
    EXPECT_EQ(m.read("TreeTag.ini"), "a\r\nb\r\n");
}

TEST(ProjectList, AnAppendNeverJoinsAnUnfinishedLastLine) {
    MakerFolder m;
    m.write("Pro.ini", "One\r\n\r\nTwo");
    ASSERT_TRUE(appendProjectList(m.str(), "Three"));
    auto list = readProjectList(m.str());
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<std::string>{"One", "", "Two", "Three"}));
}

TEST(CopyFiles, SelectedFilesArriveAndTheSummaryCountsThem) {
    MakerFolder m;
    m.project("Book", {"电子书名称：Book"});
    m.writeLines("Pro.ini", {"Book"});
    TempDir source;
    for (const char* n : {"a.html", "b.html", "c.html"})
        source.write(n, n);
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    generators::ExplorerList ex{
        source.str(), {"a.html", "b.html", "c.html", "gone.html"}, {true, false, true, true}};
    rec = folio::testing::RecordingObserver{};
    auto copied = CopyFilesIntoProject(s, ex, rec);
    ASSERT_TRUE(copied);
    EXPECT_EQ(*copied, 2);
    EXPECT_EQ(m.read("Book/a.html"), "a.html");
    EXPECT_FALSE(std::filesystem::exists(m.path / "Book" / "b.html"));
    // The missing file is named; the summary comes last.
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_NE(rec.boxes[0].text.find("gone.html"), std::string::npos);
    EXPECT_EQ(rec.boxes[1].text, "复制完成,共复制文件 2个文件。");
    EXPECT_EQ(rec.boxes[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(rec.captions,
              (std::vector<std::string>{"folioMake-正在复制文件0%", "folioMake-正在复制文件2%",
                                        "folioMake-正在复制文件3%", "folioMake"}));
    ASSERT_GE(rec.values.size(), 4u);
    EXPECT_EQ(std::vector<int>(rec.values.begin(), rec.values.begin() + 4),
              (std::vector<int>{0, 1, 2, 3}));
    EXPECT_NE(std::find(s.pages.begin(), s.pages.end(), "c.html"), s.pages.end());
}

TEST(CopyFiles, WithoutATitleNothingLandsInTheMakerFolder) {
    MakerFolder m;
    TempDir source;
    source.write("a.html", "a");
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    generators::ExplorerList ex{source.str(), {"a.html"}, {true}};
    EXPECT_FALSE(CopyFilesIntoProject(s, ex, rec));
    EXPECT_FALSE(std::filesystem::exists(m.path / "a.html"));
    EXPECT_EQ(rec.boxes.size(), 1u);
}

TEST(AboutPage, IsTheTransitionalPageWithItsTitle) {
    const std::string page = MakerAboutPage();
    EXPECT_NE(page.find("XHTML 1.0 Transitional"), std::string::npos);
    EXPECT_NE(page.find("<title>Mirelo电子书</title>"), std::string::npos);
    EXPECT_NE(page.find("charset=utf-8"), std::string::npos);
}

TEST(StartUp, TheStateCarriesTheDrivesTemplatesZoomAndTab) {
    MakerFolder m;
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    ASSERT_FALSE(s.drives.empty());
    EXPECT_EQ(s.drives[0].key, "/");
    EXPECT_EQ(s.templates, std::vector<std::string>{"tree.css"});
    EXPECT_EQ(s.zoom, 100);
    EXPECT_EQ(s.startTab, 6);
}

TEST(TitleProject, TheCompileOpensTheTitlesFolderOnlyWhenItIsAnotherOne) {
    MakerFolder m;
    m.project("One", {"电子书名称：One", "作者：one"});
    m.project("Two", {"电子书名称：Two", "作者：two"});
    m.writeLines("Pro.ini", {"One"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.author = "edited";
    auto same = OpenTitleProject(s, rec);
    ASSERT_TRUE(same);
    EXPECT_EQ(*same, m.file("One"));
    EXPECT_EQ(s.settings.author, "edited"); // not read again

    s.settings.title = "Two";
    s.settings.outFile = "One's book";
    ASSERT_TRUE(OpenTitleProject(s, rec));
    EXPECT_EQ(s.openFolder, m.file("Two"));
    EXPECT_EQ(s.settings.author, "two");
    EXPECT_EQ(s.settings.outFile, "Two"); // never the book of the project shown before

    RefreshProject(s, rec);
    s.settings.author = "unsaved";
    RefreshProject(s, rec);
    EXPECT_EQ(s.settings.author, "two");

    s.settings.title = "Three";
    EXPECT_FALSE(OpenTitleProject(s, rec));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_NE(rec.boxes[0].text.find("Three"), std::string::npos);
    EXPECT_EQ(s.openFolder, m.file("Two"));
}

TEST(ProjectContents, TheListFollowsTheOpenProjectAndItsFileComesWithTheFirstEntry) {
    MakerFolder m;
    m.project("One", {"电子书名称：One"});
    m.project("Two", {"电子书名称：Two"});
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    OpenProjectFolder(s, m.file("One"), rec);
    std::string held;
    generators::ContentsList list;
    EXPECT_TRUE(FollowOpenProject(s, held, list, rec));
    EXPECT_EQ(held, m.file("One"));
    EXPECT_FALSE(FollowOpenProject(s, held, list, rec));
    ASSERT_TRUE(SaveProjectContents(held, list, rec));
    EXPECT_FALSE(std::filesystem::exists(generators::contentsListPath(held)));

    list.appendEntry("1", "-1", "第一章", "1.html");
    OpenProjectFolder(s, m.file("Two"), rec);
    EXPECT_TRUE(FollowOpenProject(s, held, list, rec));
    EXPECT_EQ(list.entryCount(), 0); // Two's own, which it never had
    OpenProjectFolder(s, m.file("One"), rec);
    EXPECT_TRUE(FollowOpenProject(s, held, list, rec));
    ASSERT_EQ(list.entryCount(), 1);
    EXPECT_EQ(list.cell(1, 3), "第一章");
    EXPECT_FALSE(std::filesystem::exists(generators::contentsListPath(m.file("Two"))));
    EXPECT_TRUE(rec.boxes.empty());
}

TEST(GeneratePages, ANewTitlesFolderIsListedAndOpenedAndTheOpenProjectShowsWhatWasWritten) {
    MakerFolder m;
    m.write("list/tree/tree.html", "<title>$Title</title>$LoopTag");
    std::filesystem::create_directories(m.path / "list/chm");
    for (const char* name : {"list/chm/chm.hhp", "list/chm/chm.hhc", "list/chm/chm.hhk"})
        m.write(name, "$title");
    folio::testing::RecordingObserver rec;
    MakerState s = StartMaker(m.str(), TwoLanguages, rec);
    s.settings.title = "新书";
    generators::ContentsList list;
    list.appendEntry("1", "-1", "第一章", "1.html");

    GenerateRun made = GenerateContents(s, list, {}, rec);
    EXPECT_TRUE(made.openedProject);
    EXPECT_EQ(s.openFolder, m.file("新书"));
    EXPECT_EQ(s.projects, std::vector<std::string>{"新书"});
    ASSERT_TRUE(made.pageText);
    EXPECT_NE(made.pageText->find("第一章"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(m.path / "新书" / "新书.hhk"));
    EXPECT_EQ(rec.boxes.size(), 1u); // the contents page's own success

    // A home page without its template fails, yet the open project's list is read afresh: a
    // whole selection takes in the pages that appeared.
    m.write("新书/1.html", "");
    const GenerateRun home = GenerateHome(s, list, {{}, true}, rec);
    EXPECT_FALSE(home.pageText);
    ASSERT_TRUE(home.selected);
    EXPECT_EQ(std::count(home.selected->begin(), home.selected->end(), true),
              static_cast<long>(s.pages.size()));
    EXPECT_NE(std::find(s.pages.begin(), s.pages.end(), "1.html"), s.pages.end());
    EXPECT_FALSE(rec.boxes.empty());

    // A title that names no folder inside the maker folder writes nothing and says so.
    s.settings.title = "..";
    const std::size_t shown = rec.boxes.size();
    EXPECT_FALSE(GenerateContents(s, list, {}, rec).pageText);
    EXPECT_EQ(rec.boxes.size(), shown + 1);
}

TEST(ContentsPreview, TheProjectsContentsPageElseTheHelpPageElseTheBuiltInOne) {
    MakerFolder m;
    EXPECT_EQ(ContentsPreviewPage(m.str(), "Book", "tree.html"), m.file("Book/tree.html"));
    EXPECT_EQ(ContentsPreviewPage(m.str(), "", "tree.html"), "");
    std::filesystem::create_directories(m.path / "help");
    m.write("help/help.html", "<p>help</p>");
    EXPECT_EQ(ContentsPreviewPage(m.str(), "", "tree.html"), m.file("help/help.html"));
}
