// folio compile / info / extract on the sample project, run as a user would.
#include "book.h"
#include "bookcheck.h"
#include "fileio.h"
#include "independent_check.h"
#include "pe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace folio;
namespace fs = std::filesystem;
using bookcheck::runCommand;
using bookcheck::shellQuote;

namespace {

const std::string Dist = FOLIO_DIST_DIR;
const std::string Folio = Dist + "/folio";

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        m_tmp = fs::temp_directory_path() /
                ("folio_cli_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_tmp);
        fs::create_directories(m_tmp);
    }
    void TearDown() override { fs::remove_all(m_tmp); }

    bookcheck::CommandOutput runFolio(const std::string& args) {
        return runCommand(shellQuote(Folio) + " " + args);
    }

    // Compiles the sample project into m_tmp/out and returns the book path.
    std::string compileSample() {
        if (!fs::exists(Dist + "/folioPage/folioPage.dat"))
            return {};
        const auto r = runFolio("compile " + shellQuote(Dist + "/Book") + " --out " +
                                shellQuote((m_tmp / "out").string()) + " --date 2026-12-06");
        EXPECT_EQ(r.status, 0) << r.output;
        return (m_tmp / "out" / "Book.exe").string();
    }

    fs::path m_tmp;
};

std::map<std::string, fs::path> sampleFilesByUpperName() {
    std::map<std::string, fs::path> files;
    for (const auto& e : fs::directory_iterator(Dist + "/Book")) {
        std::string upper = e.path().filename().string();
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        files[upper] = e.path();
    }
    return files;
}

} // namespace

TEST_F(Cli, CompileThenInfoListsEveryPageAndTheDescriptor) {
    fs::create_directories(m_tmp / "out");
    const std::string book = compileSample();
    if (book.empty())
        FAIL() << "the reader template is not built (the build lacks mingw-w64?)";
    ASSERT_TRUE(fs::exists(book));
    EXPECT_TRUE(fs::exists(m_tmp / "out" / "aero.she"));
    EXPECT_TRUE(fs::exists(m_tmp / "out" / "SkinH_VB6.dll"));

    const auto info = runFolio("info " + shellQuote(book));
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("descriptor: Book:老子:index.html:tree.html:::::2026-12-06"),
              std::string::npos)
        << info.output;
    EXPECT_NE(info.output.find("  8 date"), std::string::npos) << info.output;
    const auto files = sampleFilesByUpperName();
    ASSERT_GE(files.size(), 10u);
    for (const auto& [name, path] : files)
        EXPECT_NE(info.output.find("2110     " + name), std::string::npos) << name;
    EXPECT_NE(info.output.find("CUSTOM   101"), std::string::npos) << info.output;

    const auto pefile = bookcheck::pefileResources(book, Dist + "/Book");
    EXPECT_NE(pefile.output.find("CHECKSUM ok"), std::string::npos) << pefile.output;
    EXPECT_EQ(pefile.output.find("differs"), std::string::npos) << pefile.output;
    const auto wrestool = bookcheck::wrestoolList(book);
    EXPECT_NE(wrestool.output.find("--name='TREE.HTML' --language=1033"), std::string::npos)
        << wrestool.output;
}

TEST_F(Cli, SampleBookReadThroughWinesOwnResourceLoader) {
    FOLIO_REQUIRE_TOOL("wine", "apt-get install wine wine32");
    const std::string book = compileSample();
    if (book.empty())
        FAIL() << "the reader template is not built (the build lacks mingw-w64?)";
    std::string error;
    const std::string descriptor = check::wineReadResource(book, "CUSTOM", "#101", &error);
    EXPECT_EQ(descriptor, std::string("Book:\xC0\xCF\xD7\xD3:index.html:tree.html:::::2026-12-06"))
        << error; // the author 老子 in code page 936
    EXPECT_EQ(check::wineReadResource(book, "#2110", "tree.html", &error), [] {
        auto b = readFileBytes(Dist + "/Book/tree.html").value();
        return std::string(b.begin(), b.end());
    }()) << error;
}

TEST_F(Cli, ExtractRoundTripsEveryPageByteForByte) {
    const std::string book = compileSample();
    if (book.empty())
        FAIL() << "the reader template is not built (the build lacks mingw-w64?)";
    const fs::path dir = m_tmp / "pages";
    const auto r = runFolio("extract " + shellQuote(book) + " " + shellQuote(dir.string()));
    ASSERT_EQ(r.status, 0) << r.output;
    const auto files = sampleFilesByUpperName();
    std::size_t seen = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        const auto it = files.find(e.path().filename().string());
        ASSERT_NE(it, files.end()) << e.path();
        EXPECT_EQ(readFileBytes(e.path().string()).value(), readFileBytes(it->second).value())
            << e.path();
        ++seen;
    }
    EXPECT_EQ(seen, files.size());
}

TEST_F(Cli, ExtractNeverWritesOutsideTheFolder) {
    const std::string book = (m_tmp / "evil.exe").string();
    fs::copy_file(FOLIO_BOOK_FIXTURE, book);
    {
        auto u = pe::ResourceUpdater::begin(book, false);
        ASSERT_TRUE(u) << u.error().message;
        for (const char* name : {"../ESCAPED.HTML", "..", "A\\B.HTML", "GOOD.HTML"})
            u->update(pe::ResourceId::fromId(book::PageType), pe::ResourceId::fromName(name),
                      book::ResourceLanguage, Bytes{'x'});
        ASSERT_TRUE(u->end(false));
    }
    const fs::path dir = m_tmp / "inner" / "pages";
    const auto r = runFolio("extract " + shellQuote(book) + " " + shellQuote(dir.string()));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("../ESCAPED.HTML"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(dir / "GOOD.HTML"));
    EXPECT_FALSE(fs::exists(m_tmp / "inner" / "ESCAPED.HTML"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Cli, UsageErrorsAndFailuresNameTheirCause) {
    EXPECT_EQ(runFolio("").status, 2);
    EXPECT_EQ(runFolio("frobnicate").status, 2);
    EXPECT_EQ(runFolio("compile").status, 2);
    EXPECT_EQ(runFolio("compile x --date").status, 2);
    EXPECT_EQ(runFolio("info a b").status, 2);
    const auto help = runFolio("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("folio compile"), std::string::npos);

    const auto noFolder = runFolio("compile " + shellQuote((m_tmp / "nowhere").string()));
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.output.find("nowhere"), std::string::npos) << noFolder.output;

    fs::create_directories(m_tmp / "Proj");
    const auto noSettings = runFolio("compile " + shellQuote((m_tmp / "Proj").string()));
    EXPECT_EQ(noSettings.status, 1);
    EXPECT_NE(noSettings.output.find("Proj.ini"), std::string::npos) << noSettings.output;

    const std::string junk = (m_tmp / "junk.exe").string();
    ASSERT_TRUE(writeFileAtomic(junk, std::string("not a program")));
    const auto info = runFolio("info " + shellQuote(junk));
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.output.find("junk.exe"), std::string::npos) << info.output;
}
