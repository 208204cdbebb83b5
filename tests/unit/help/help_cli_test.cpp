// folio compile --chm end to end: the sample project and a 600-page book, each help file read
// back with libchm.
#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contentslist.h"
#include "maker/project/settings.h"
#include "tests/unit/help/helptest.h"

#include <gtest/gtest.h>

using namespace folio;
using namespace helptest;
using check::shellQuote;
namespace fs = std::filesystem;

namespace {

const std::string Dist = FOLIO_DIST_DIR;

struct Book {
    std::string folder;
    std::string title;
    generators::ContentsList list;
};

// folio generate writes the contents and home pages and the three help files from the
// project's saved list.
void generate(const Book& b) {
    const auto r = check::run(shellQuote(Dist + "/folio") + " generate " + shellQuote(b.folder));
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* ext : {".hhp", ".hhc", ".hhk"})
        EXPECT_TRUE(fs::exists(b.folder + "/" + b.title + ext)) << ext << "\n" << r.output;
}

// Runs folio compile --chm, then reads the help file back and checks every entry's page and
// the contents file's line for it. `output` gets what folio printed.
void compileAndCheck(const TempDir& tmp, const Book& b, std::string& output) {
    ASSERT_TRUE(fs::exists(Dist + "/folioPage/folioPage.dat"))
        << "the reader template is not built (the build lacks mingw-w64?)";
    const auto r = check::run(shellQuote(Dist + "/folio") + " compile " + shellQuote(b.folder) +
                              " --out " + shellQuote(tmp.file("out")) + " --date 2026-12-08 --chm");
    output = r.output;
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::exists(tmp.file("out/" + b.title + ".exe"))) << r.output;
    const std::string chm = b.folder + "/" + b.title + ".chm";
    ASSERT_TRUE(fs::exists(chm)) << r.output;

    std::vector<std::string> pages;
    for (int row = 1; row <= b.list.rowCount() - 2; ++row)
        pages.push_back(b.list.cell(row, generators::ColURL));
    const auto files = expectPagesExtracted(b.folder, chm, pages, tmp.file("extracted"));
    const auto hhc = files.find("/" + b.title + ".hhc");
    ASSERT_NE(hhc, files.end());
    EXPECT_EQ(hhc->second, helptest::readFile(b.folder + "/" + b.title + ".hhc"));
    for (int row = 1; row <= b.list.rowCount() - 2; ++row) {
        const std::string entry = "<param name=\"Name\" value=\"" +
                                  b.list.cell(row, generators::ColCaption) +
                                  "\">\r\n<param name=\"Local\" value=\"" +
                                  b.list.cell(row, generators::ColURL) + "\">\r\n";
        EXPECT_NE(hhc->second.find(toAnsi(entry)), std::string::npos) << entry;
    }
}

} // namespace

TEST(CompileChm, SampleProject) {
    HELP_REQUIRE_CHMCMD();
    HELP_REQUIRE_LIBCHM();
    TempDir tmp;
    Book b{tmp.file("Book"), "Book", {}};
    fs::copy(Dist + "/Book", b.folder, fs::copy_options::recursive);
    auto list = generators::loadContentsList(b.folder);
    ASSERT_TRUE(list) << list.error().message;
    ASSERT_GE(list->entryCount(), 3);
    b.list = *list;
    generate(b);
    std::string output;
    compileAndCheck(tmp, b, output);
}

TEST(CompileChm, SixHundredPages) {
    HELP_REQUIRE_CHMCMD();
    HELP_REQUIRE_LIBCHM();
    TempDir tmp;
    Book b{tmp.file("Big"), "Big", {}};
    fs::create_directories(b.folder);
    folio::ProjectSettings settings = project::initialSettings("");
    settings.title = "Big";
    settings.outFile = "Big";
    ASSERT_TRUE(project::writeSettingsFile(project::settingsFilePath(b.folder), settings));
    for (int i = 1; i <= 600; ++i) {
        const std::string name = pageName(i);
        tmp.write("Big/" + name, pageText(i));
        b.list.appendEntry(std::to_string(i), "-1", "第" + std::to_string(i) + "章", name);
    }
    ASSERT_TRUE(generators::saveContentsList(b.folder, b.list));
    generate(b);
    std::string output;
    compileAndCheck(tmp, b, output);
    // A directory this size is where chmcmd's header goes wrong.
    EXPECT_NE(output.find("directory header mended"), std::string::npos) << output;
}
