// CompileHelp: the maker's launcher started on the help project the writers made, with the
// maker folder's own templates.
#include "core/text.h"
#include "maker/compiler/help.h"
#include "maker/generators/contentslist.h"
#include "tests/unit/help/helptest.h"

#include <gtest/gtest.h>

using namespace folio;
using namespace helptest;
using compiler::HelpInputs;
namespace fs = std::filesystem;

namespace {

const std::string Dist = FOLIO_DIST_DIR;

// Writes the three help files for `list` with the assembled maker folder's templates.
void writeHelpFiles(const HelpInputs& in, Observer& observer) {
    ASSERT_TRUE(compiler::WriteHelpProject(in, observer));
    ASSERT_TRUE(compiler::WriteHelpContents(in, observer));
    ASSERT_TRUE(compiler::WriteHelpIndex(in, observer));
}

} // namespace

TEST(CompileHelp, ChineseTitleWithSpacesCompilesEveryListedPage) {
    HELP_REQUIRE_CHMCMD();
    HELP_REQUIRE_LIBCHM();
    TempDir project;
    const std::vector<std::string> pages = writePages(project, 5);
    generators::ContentsList list;
    for (std::size_t i = 0; i < pages.size(); ++i)
        list.appendEntry(std::to_string(i + 1), "-1", "第" + std::to_string(i + 1) + "页",
                         pages[i]);
    folio::ProjectSettings settings;
    settings.title = "我的 Book";
    // A relative maker folder still finds the launcher, which runs in the project folder.
    const HelpInputs in{list, settings, fs::relative(Dist).string(), project.str()};
    Recorder observer;
    writeHelpFiles(in, observer);

    auto r = compiler::CompileHelp(in, observer);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_TRUE(observer.boxes.empty());
    EXPECT_NE(r->find("我的 Book.chm"), std::string::npos) << *r;
    const auto files =
        expectPagesExtracted(project.path, project.file("我的 Book.chm"), pages, project.file("x"));
    // The contents and index go in as written.
    ASSERT_TRUE(files.contains("/我的 Book.hhc"));
    EXPECT_EQ(files.at("/我的 Book.hhc"), project.read("我的 Book.hhc"));
    // chmcmd gets the index without the keyword objects it cannot take; the entries stay.
    std::string index = project.read("我的 Book.hhk");
    for (std::size_t at; (at = index.find("<OBJECT type=\"Keyword\"")) != std::string::npos;)
        index.erase(at, index.find("\r\n", at) + 2 - at);
    EXPECT_EQ(files.at("/我的 Book.hhk"), index);
    EXPECT_EQ(index.size() + 5 * toAnsi("<OBJECT type=\"Keyword\" value=\"第1页\"/>\r\n").size(),
              project.read("我的 Book.hhk").size());
}

TEST(CompileHelp, FailuresAreShownAndReturned) {
    HELP_REQUIRE_CHMCMD();
    TempDir project;
    writePages(project, 2);
    generators::ContentsList list;
    list.appendEntry("1", "-1", "One", "page0001.html");
    list.appendEntry("2", "-1", "Gone", "gone.html");
    folio::ProjectSettings settings;
    settings.title = "Book";
    Recorder observer;
    HelpInputs in{list, settings, Dist, project.str()};

    // Before the contents command has written the project.
    auto none = compiler::CompileHelp(in, observer);
    ASSERT_FALSE(none);
    EXPECT_NE(none.error().message.find(project.file("Book.hhp")), std::string::npos);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Critical);

    // The launcher's own report of a page that is not there reaches the window.
    writeHelpFiles(in, observer);
    auto missing = compiler::CompileHelp(in, observer);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("gone.html"), std::string::npos)
        << missing.error().message;
    ASSERT_EQ(observer.boxes.size(), 2u);
    EXPECT_NE(observer.boxes[1].text.find("gone.html"), std::string::npos);
    EXPECT_FALSE(fs::exists(project.file("Book.chm")));

    // A maker folder without the launcher.
    TempDir emptyMaker;
    in.makerFolder = emptyMaker.str();
    auto noLauncher = compiler::CompileHelp(in, observer);
    ASSERT_FALSE(noLauncher);
    EXPECT_NE(noLauncher.error().message.find(emptyMaker.file("chm/hhc")), std::string::npos);
}
