// A Book image written by our own resource writer from the template: it must still be a shell
// launcher on Linux, a PE file that pefile reads, and a program that Wine runs with its
// caption taken from the descriptor.
#include "core/book.h"
#include "core/pe.h"
#include "tests/tools/shell.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using folio::testing::runCommand;
using folio::testing::shellQuote;

namespace {

const fs::path Template = fs::path(FOLIO_DIST_DIR) / "folioPage" / "folioPage.dat";
const fs::path Here = fs::path(FOLIO_SOURCE_DIR) / "tests" / "e2e" / "win32";
const fs::path CheckPe = fs::path(FOLIO_SOURCE_DIR) / "tests" / "tools" / "check_pe.py";

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class OurBook : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Template)) << Template;
        dir = fs::path(FOLIO_BINARY_DIR) / "win32-e2e" /
              ("ours-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        book = dir / "mybook.exe";
        fs::copy_file(Template, book);
        fs::permissions(book, fs::perms::owner_all);
        auto updater = folio::pe::ResourceUpdater::begin(book.string(), false);
        ASSERT_TRUE(updater) << updater.error().message;
        const std::string page = "<html><body>page</body></html>";
        for (const char* name : {"index.html", "Tree.html"})
            updater->update(folio::pe::ResourceId::fromId(folio::book::PageType),
                            folio::book::pageResourceName(name), folio::book::ResourceLanguage,
                            folio::Bytes(page.begin(), page.end()));
        auto done = updater->end(false);
        ASSERT_TRUE(done) << done.error().message;
        std::string why;
        ASSERT_EQ(folio::book::WriteDescriptor(book.string(), Descriptor, &why), 1) << why;
    }

    static constexpr const char* Descriptor = "Book:Me:index.html:tree.html:::::2026-12-06";
    fs::path dir, book;
};

TEST_F(OurBook, KeepsTheLauncherHeaderAndReadsBackEverywhere) {
    // The script part of the header is the template's, byte for byte.
    const std::string tmpl = readFile(Template), ours = readFile(book);
    std::uint32_t lfanew = 0;
    std::memcpy(&lfanew, tmpl.data() + 60, 4);
    EXPECT_EQ(ours.substr(0, lfanew), tmpl.substr(0, lfanew));

    // Launched from Linux, the stand-in reader gets the book: the rewritten file kept the
    // template's executable bit.
    EXPECT_NE(fs::status(book).permissions() & fs::perms::owner_exec, fs::perms::none);
    const fs::path record = dir / "args.txt";
    {
        std::ofstream(dir / "reader")
            << "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + shellQuote(record.string()) + "\n";
    }
    fs::permissions(dir / "reader", fs::perms::owner_all);
    const auto [rc, out] =
        runCommand("cd " + shellQuote(dir.string()) + " && env -i PATH=/usr/bin:/bin " +
                   "FOLIO_READER=" + shellQuote((dir / "reader").string()) + " ./mybook.exe");
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(readFile(record), "./mybook.exe\n");

    // pefile: valid, descriptor as stored, icon resources intact.
    const auto [prc, pout] =
        runCommand("/usr/bin/python3 " + shellQuote(CheckPe.string()) + " " +
                   shellQuote(book.string()) + " --book " + shellQuote(Descriptor));
    EXPECT_EQ(prc, 0) << pout;

    auto image = folio::book::BookImage::open(book.string());
    ASSERT_TRUE(image) << image.error().message;
    auto text = (*image)->descriptor();
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, Descriptor);
    EXPECT_TRUE((*image)->find("TREE.HTML"));
}

TEST_F(OurBook, RunsUnderWineWithItsCaption) {
    const auto [rc, out] =
        runCommand("cd " + shellQuote(dir.string()) + " && WINEPREFIX=" +
                   shellQuote((fs::path(FOLIO_BINARY_DIR) / "wineprefix").string()) + " " +
                   shellQuote((Here / "wine-run.sh").string()) + " sh " +
                   shellQuote((Here / "caption.sh").string()) + " " + shellQuote(book.string()));
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "folioPage-Book-Me\n");
}

} // namespace
