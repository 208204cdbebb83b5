// folio compile / info / extract on the sample project, run as a user would.
#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"
#include "tests/tools/independent_check.h"
#include "tests/unit/book/bookcheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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
                ("folio_cli_" + std::to_string(getpid()) + "_" +
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

// The sample's pages: every file of the project but its own settings and contents list.
std::map<std::string, fs::path> sampleFilesByUpperName() {
    std::map<std::string, fs::path> files;
    for (const auto& e : fs::directory_iterator(Dist + "/Book")) {
        std::string upper = e.path().filename().string();
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper != "BOOK.INI" && upper != "BOOK.TOC")
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

namespace {

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string fileText(const fs::path& p) {
    auto b = readFileBytes(p.string());
    return b ? std::string(b->begin(), b->end()) : std::string("<unreadable>");
}

std::vector<std::string> stagesIn(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(".folio-tmp.") != std::string::npos)
            found.push_back(e.path().filename().string());
    return found;
}

// Starts the tool without a shell, so that the pid is the compiler's own.
pid_t spawnFolio(const std::vector<std::string>& args) {
    std::vector<std::string> all{Folio};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, Folio.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

TEST_F(Cli, KilledCompilationsLeaveTheOldOrTheNewBookAndTheNextRunClearsTheirDebris) {
    if (!fs::exists(Dist + "/folioPage/folioPage.dat"))
        FAIL() << "the reader template is not built (the build lacks mingw-w64?)";
    const fs::path project = m_tmp / "Book";
    fs::copy(Dist + "/Book", project, fs::copy_options::recursive);
    for (int i = 0; i < 3000; ++i)
        std::ofstream(project / ("p" + std::to_string(i) + ".html"))
            << "<html>" << std::string(2000 + i % 97, 'a' + i % 26) << "</html>";
    const fs::path out = m_tmp / "out";
    auto args = [&](const char* date) {
        return std::vector<std::string>{"compile",    project.string(), "--out",
                                        out.string(), "--date",         date};
    };
    auto runToEnd = [&](const char* date) {
        const pid_t pid = spawnFolio(args(date));
        int status = -1;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const fs::path book = out / "Book.exe";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(runToEnd("2026-01-02"), 0);
    const auto full = std::chrono::steady_clock::now() - start;
    const std::string fresh = fileText(book);
    ASSERT_EQ(runToEnd("2020-01-01"), 0);
    const std::string old = fileText(book);
    ASSERT_NE(old, fresh);
    const std::string skin = fileText(out / "aero.she");

    std::mt19937 rng(20261208);
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(full).count());
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 20; ++round) {
        const pid_t pid = spawnFolio(args("2026-01-02"));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(rng)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const std::string now = fileText(book);
        ASSERT_TRUE(now == old || now == fresh)
            << "round " << round << ": a book of " << now.size() << " bytes that is neither";
        (now == old ? sawOld : sawNew)++;
        EXPECT_EQ(fileText(out / "aero.she"), skin);
    }
    // On a busy machine every random moment may fall after the rename; kills soon after the
    // start, with the old book put back, must then find the old book.
    for (int round = 0; sawOld == 0 && round < 20; ++round) {
        std::ofstream(book, std::ios::binary | std::ios::trunc) << old;
        const pid_t pid = spawnFolio(args("2026-01-02"));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(round * 500));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const std::string now = fileText(book);
        ASSERT_TRUE(now == old || now == fresh) << "early kill " << round;
        if (now == old)
            ++sawOld;
    }
    EXPECT_GT(sawOld, 0);
    ASSERT_EQ(runToEnd("2026-01-02"), 0);
    EXPECT_EQ(fileText(book), fresh);
    EXPECT_EQ(stagesIn(out), std::vector<std::string>{}) << "temporary files survived";

    // Rebuilds that take all but ten edited pages from the previous book: killed at any
    // moment they leave the book before the edit or the one after it.
    auto edit = [&](char version) {
        for (int i = 0; i < 3000; i += 300)
            std::ofstream(project / ("p" + std::to_string(i) + ".html"))
                << "<html>" << std::string(1000 + i, version) << "</html>";
    };
    edit('a');
    const auto rebuilt = runFolio("compile " + shellQuote(project.string()) + " --out " +
                                  shellQuote(out.string()) + " --date 2026-01-02");
    ASSERT_EQ(rebuilt.status, 0) << rebuilt.output;
    const std::size_t pages = 3000 + sampleFilesByUpperName().size();
    EXPECT_NE(rebuilt.output.find("added " + std::to_string(pages) + " pages (" +
                                  std::to_string(pages - 10) +
                                  " unchanged, taken from the previous book)"),
              std::string::npos)
        << rebuilt.output;
    const std::string before = fileText(book);
    edit('b');
    const auto again = std::chrono::steady_clock::now();
    ASSERT_EQ(runToEnd("2026-01-02"), 0);
    std::uniform_int_distribution<long long> rebuildMoment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 again)
               .count());
    const std::string after = fileText(book);
    for (int round = 0; round < 20; ++round) {
        const bool wasBefore = fileText(book) == before;
        edit(wasBefore ? 'b' : 'a');
        const pid_t pid = spawnFolio(args("2026-01-02"));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(rebuildMoment(rng)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const std::string now = fileText(book);
        ASSERT_TRUE(now == before || now == after)
            << "rebuild " << round << ": a book of " << now.size() << " bytes that is neither";
    }
}

// A book larger than all the memory the compiler may have: its pages go through, not in.
TEST_F(Cli, ABookOfSixHundredMegabytesCompilesInThreeHundredMegabytesOfAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves terabytes of shadow memory: no program it "
                    "builds starts within an address-space limit";
#endif
    if (!fs::exists(Dist + "/folioPage/folioPage.dat"))
        FAIL() << "the reader template is not built (the build lacks mingw-w64?)";
    const fs::path project = m_tmp / "Book";
    fs::copy(Dist + "/Book", project, fs::copy_options::recursive);
    std::string picture(10 << 20, '\0');
    for (int i = 0; i < 60; ++i) {
        for (std::size_t k = 0; k < picture.size(); k += 4096)
            picture[k] = static_cast<char>(i + k / 4096);
        std::ofstream(project / ("picture" + std::to_string(i) + ".bmp"), std::ios::binary)
            << picture << i; // sizes of both parities
    }
    const auto r = runCommand("ulimit -v 307200 && " + shellQuote(Folio) + " compile " +
                              shellQuote(project.string()) + " --out " +
                              shellQuote((m_tmp / "out").string()) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string book = (m_tmp / "out" / "Book.exe").string();
    ASSERT_GT(fs::file_size(book), 600u << 20);
    const auto pefile = bookcheck::pefileResources(book, project.string());
    EXPECT_NE(pefile.output.find("RES 2110 PICTURE59.BMP 1033 10485762 same"), std::string::npos)
        << pefile.output;
    EXPECT_NE(pefile.output.find("CHECKSUM ok"), std::string::npos) << pefile.output;
    EXPECT_EQ(pefile.output.find("differs"), std::string::npos) << pefile.output;
}

TEST_F(Cli, TemplatesTheResourceWriterCannotRebuildAreRefusedAndNothingIsWritten) {
    const fs::path maker = m_tmp / "maker";
    fs::create_directories(maker / "folioPage");
    fs::copy(Dist + "/skin", maker / "skin", fs::copy_options::recursive);
    fs::copy_file(Dist + "/folioPage/SkinH_VB6.dll", maker / "folioPage" / "SkinH_VB6.dll");
    const fs::path out = m_tmp / "out";
    fs::create_directories(out);
    for (const char* name : {"Book.exe", "aero.she", "SkinH_VB6.dll"})
        std::ofstream(out / name) << "earlier " << name;
    const std::pair<const char*, const char*> findings[] = {
        {"va0-section.exe", "has no size"},
        {"rsrc-raw-in-headers.exe", "inside the headers"},
        {"overlapping-raw-sections.exe", "overlaps that of section"},
        {"huge-filealign.exe", "FileAlignment is 0x40000000"},
    };
    for (const auto& [name, fault] : findings) {
        fs::copy_file(std::string(FOLIO_SOURCE_DIR) + "/tests/fixtures/findings/" + name,
                      maker / "folioPage" / "folioPage.dat", fs::copy_options::overwrite_existing);
        fs::permissions(maker / "folioPage" / "folioPage.dat",
                        fs::perms::owner_read | fs::perms::owner_write);
        const auto r = runFolio("compile " + shellQuote(Dist + "/Book") + " --maker " +
                                shellQuote(maker.string()) + " --out " + shellQuote(out.string()));
        EXPECT_EQ(r.status, 1) << name << "\n" << r.output;
        EXPECT_NE(r.output.find(fault), std::string::npos) << name << "\n" << r.output;
        EXPECT_NE(r.output.find("folioPage.dat"), std::string::npos) << r.output;
        for (const char* kept : {"Book.exe", "aero.she", "SkinH_VB6.dll"})
            EXPECT_EQ(fileText(out / kept), std::string("earlier ") + kept) << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3) << name;
    }
}

// The command line says what happened in its own words: the book on stdout, a failure on
// stderr, and none of the windows' message boxes.
TEST_F(Cli, CompileMessagesAreTheCommandLinesOwnOnTheStreamOfTheirOutcome) {
    if (!fs::exists(Dist + "/folioPage/folioPage.dat"))
        return;
    const std::string compile = shellQuote(Folio) + " compile " + shellQuote(Dist + "/Book") +
                                " --out " + shellQuote((m_tmp / "out").string()) +
                                " --date 2026-12-06";
    const auto done = runCommand("{ " + compile + " 2>&1; }");
    EXPECT_EQ(done.status, 0) << done.output;
    EXPECT_NE(done.output.find("book: " + (m_tmp / "out" / "Book.exe").string()), std::string::npos)
        << done.output;
    EXPECT_NE(done.output.find("not a page: Book.ini"), std::string::npos) << done.output;
    EXPECT_EQ(done.output.find("编译完成"), std::string::npos) << done.output;

    const std::string broken = compile + " --maker " + shellQuote((m_tmp / "nomaker").string());
    const auto stdoutOnly = runCommand("{ " + broken + " 2>/dev/null; }");
    EXPECT_EQ(stdoutOnly.status, 1) << stdoutOnly.output;
    EXPECT_EQ(stdoutOnly.output.find("failed"), std::string::npos) << stdoutOnly.output;
    const auto stderrOnly = runCommand("{ " + broken + " 2>&1 >/dev/null; }");
    EXPECT_NE(stderrOnly.output.find("folio: compilation failed: "), std::string::npos)
        << stderrOnly.output;
    EXPECT_EQ(stderrOnly.output.find("编译失败"), std::string::npos) << stderrOnly.output;
}

// A folder of pages becomes a whole book with no file written by hand, and every trap on the
// way stops with the old book as it was.
TEST_F(Cli, FromAFolderToAWholeBookAndNoBookLostOnTheWay) {
    if (!fs::exists(Dist + "/folioPage/folioPage.dat"))
        FAIL() << "the reader template is not built (the build lacks mingw-w64?)";
    const fs::path maker = m_tmp / "maker";
    fs::copy(Dist, maker, fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    fs::remove_all(maker / "out");
    const fs::path pages = m_tmp / "pages";
    fs::create_directories(pages / "images");
    std::ofstream(pages / "1.html", std::ios::binary)
        << "<meta charset=\"gbk\"><h1>\xB5\xDA\xD2\xBB\xD5\xC2</h1>"; // 第一章 in CP936
    std::ofstream(pages / "2.html", std::ios::binary) << "<h1>第二章</h1><a href=\"1.html\">上</a>";
    std::ofstream(pages / "images" / "a.png", std::ios::binary) << "png";
    const std::string f = shellQuote(Folio) + " ", m = " --maker " + shellQuote(maker.string());
    const std::string project = shellQuote((maker / "小说").string());
    auto run = [&](const std::string& args) { return runCommand(f + args + " 2>&1"); };

    auto r = run("new " + shellQuote(maker.string()) + " 小说 --author 某 --from " +
                 shellQuote(pages.string()) + m);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("images/ not copied"), std::string::npos) << r.output;
    r = run("compile " + project + m); // no home or contents page yet
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("the index page index.html is not among the pages"), std::string::npos)
        << r.output;
    ASSERT_EQ(run("contents home " + project).status, 0);
    ASSERT_EQ(run("contents add " + project + " --title-from h1 --parent 0 " + project +
                  "/1.html " + project + "/2.html")
                  .status,
              0);
    ASSERT_EQ(run("generate " + project + m).status, 0);
    // The check first: JSON that parses, warnings (2.html declares no charset) that fail only
    // under --werror, and a picture of a sub-folder that only --subfolders puts in the book.
    r = run("check " + project + " --json");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(runCommand("printf %s " + shellQuote(r.output) +
                         " | python3 -c 'import json,sys; d=json.load(sys.stdin); "
                         "assert d and all(len(f)==7 and f[\"line\"]>0 for f in d)'")
                  .status,
              0)
        << r.output;
    EXPECT_EQ(run("check " + project + " --werror").status, 1);
    fs::copy(pages / "images", maker / "小说" / "images");
    std::ofstream(maker / "小说" / "2.html", std::ios::app) << "<img src=\"images/a.png\">";
    r = run("compile --check " + project + m);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("/2.html:1:45: error: the picture images/a.png is not in the book"),
              std::string::npos)
        << r.output;
    r = run("compile --check --subfolders " + project + m);
    ASSERT_EQ(r.status, 0) << r.output;
    const fs::path book = maker / "out" / "小说.exe";
    auto opened = book::BookImage::open(book.string());
    ASSERT_TRUE(opened);
    EXPECT_TRUE((*opened)->find("index.html") && (*opened)->find("tree.html") &&
                (*opened)->find("1.html") && (*opened)->find("2.html") &&
                (*opened)->find(pe::ResourceId::fromName("IMAGES"), "a.png"));
    EXPECT_FALSE((*opened)->find("小说.ini"));
    const std::string before = fileText(book);

    // A second project naming the same book, an empty one, and two names that become one.
    ASSERT_EQ(run("new " + shellQuote(maker.string()) + " 空工程" + m).status, 0);
    const fs::path empty = maker / "空工程";
    ASSERT_TRUE(writeFileAtomic((empty / "空工程.ini").string(),
                                toAnsi("电子书名称：空工程\r\n输出文件：小说\r\n")));
    r = run("compile " + shellQuote(empty.string()) + " --out " +
            shellQuote((maker / "out").string()) + m);
    EXPECT_EQ(r.status, 1) << r.output;
    for (const char* name : {"index.html", "tree.html", "a.html", "A.html"})
        std::ofstream(empty / name) << "<p>" << name << "</p>";
    r = run("compile " + shellQuote(empty.string()) + " --out " +
            shellQuote((maker / "out").string()) + m);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("become the one resource A.HTML"), std::string::npos) << r.output;
    fs::remove(empty / "A.html");
    r = run("compile " + shellQuote(empty.string()) + " --out " +
            shellQuote((maker / "out").string()) + m);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("is the book \"小说\""), std::string::npos) << r.output;
    EXPECT_EQ(fileText(book), before);
    EXPECT_EQ(run("compile " + shellQuote(empty.string()) + " --force --out " +
                  shellQuote((maker / "out").string()) + m)
                  .status,
              0);

    // The author's own home page is kept unless --force.
    std::ofstream(empty / "index.html") << "<p>mine</p>";
    r = run("generate " + shellQuote(empty.string()) + m);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("kept " + (empty / "index.html").string()), std::string::npos)
        << r.output;
    EXPECT_EQ(fileText(empty / "index.html"), "<p>mine</p>");
    EXPECT_EQ(run("generate --force " + shellQuote(empty.string()) + m).status, 0);
    EXPECT_NE(fileText(empty / "index.html"), "<p>mine</p>");
}

TEST_F(Cli, PagesThatAreNoFilesAreNamedWhenLeftOut) {
    const fs::path project = m_tmp / "Book";
    fs::copy(Dist + "/Book", project, fs::copy_options::recursive);
    ASSERT_EQ(mkfifo((project / "pipe.html").c_str(), 0600), 0);
    fs::create_symlink(project / "gone.html", project / "dangling.html");
    const auto r = runFolio("compile " + shellQuote(project.string()) + " --out " +
                            shellQuote((m_tmp / "out").string()));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("skipped pipe.html: it is a FIFO"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("skipped dangling.html: it is a dangling symbolic link"),
              std::string::npos)
        << r.output;
}

TEST_F(Cli, InfoSaysWhatIsNoBookAndFailsOnABookWithoutItsPages) {
    ASSERT_EQ(mkfifo((m_tmp / "pipe").c_str(), 0600), 0);
    const std::pair<std::string, const char*> kinds[] = {
        {m_tmp.string(), "a folder"},
        {(m_tmp / "pipe").string(), "a FIFO"},
        {"/dev/null", "a character device"},
        {(m_tmp / "missing.exe").string(), "no such file"},
    };
    for (const auto& [path, what] : kinds) {
        const auto r = runFolio("info " + shellQuote(path));
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_NE(r.output.find(what), std::string::npos) << r.output;
    }

    // The template with its descriptor and no pages: what a torn compilation used to leave.
    const std::string gutted = (m_tmp / "gutted.exe").string();
    fs::copy_file(FOLIO_BOOK_FIXTURE, gutted);
    ASSERT_EQ(book::WriteDescriptor(gutted, "Book:Me:index.html:tree.html:::::2026-12-06"), 1);
    const auto r = runFolio("info " + shellQuote(gutted));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("\"index.html\" named by the descriptor is not in the book"),
              std::string::npos)
        << r.output;
}

TEST_F(Cli, ExtractKeepsEveryCopyRefusesToOverwriteAndEscapesControlCharacters) {
    const std::string book = (m_tmp / "many.exe").string();
    fs::copy_file(FOLIO_BOOK_FIXTURE, book);
    const std::string longName = std::string(245, 'L') + ".HTML"; // 250 bytes
    {
        auto u = pe::ResourceUpdater::begin(book, false);
        ASSERT_TRUE(u) << u.error().message;
        const auto page = pe::ResourceId::fromId(book::PageType);
        u->update(page, pe::ResourceId::fromName("INDEX.HTML"), 2052, bytesOf("chinese"));
        u->update(page, pe::ResourceId::fromName("INDEX.HTML"), 1033, bytesOf("english"));
        u->update(page, pe::ResourceId::fromName(longName), 1033, bytesOf("long"));
        u->update(page, pe::ResourceId::fromName("BELL\x07\x1B[2J.HTML"), 1033, bytesOf("bell"));
        ASSERT_TRUE(u->end(false));
    }
    const auto opened = book::BookImage::open(book);
    ASSERT_TRUE(opened) << opened.error().message;
    const auto reader = (*opened)->find("index.html");
    ASSERT_TRUE(reader);
    const std::string readers(reader->begin(), reader->end());

    const fs::path dir = m_tmp / "pages";
    auto r = runFolio("extract " + shellQuote(book) + " " + shellQuote(dir.string()));
    EXPECT_EQ(r.status, 1) << r.output; // the control-character name is refused
    EXPECT_EQ(r.output.find('\x1B'), std::string::npos) << "a raw escape reached the terminal";
    EXPECT_NE(r.output.find("BELL\\x07\\x1B[2J.HTML"), std::string::npos) << r.output;
    EXPECT_EQ(fileText(dir / "INDEX.HTML"), readers);
    const std::string other = readers == "english" ? "2052" : "1033";
    EXPECT_EQ(fileText(dir / other / "INDEX.HTML"), readers == "english" ? "chinese" : "english");
    EXPECT_NE(r.output.find("another copy of INDEX.HTML"), std::string::npos) << r.output;
    EXPECT_EQ(fileText(dir / longName), "long");

    // A second run finds the files there and writes nothing without --force.
    ASSERT_TRUE(writeFileAtomic((dir / "INDEX.HTML").string(), std::string("mine")));
    r = runFolio("extract " + shellQuote(book) + " " + shellQuote(dir.string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("nothing written"), std::string::npos) << r.output;
    EXPECT_EQ(fileText(dir / "INDEX.HTML"), "mine");
    r = runFolio("extract --force " + shellQuote(book) + " " + shellQuote(dir.string()));
    EXPECT_EQ(fileText(dir / "INDEX.HTML"), readers) << r.output;
    EXPECT_EQ(stagesIn(dir), std::vector<std::string>{});
}

TEST_F(Cli, ContentsAddSortsNaturallyAndDeleteAndMoveKeepEveryChild) {
    const fs::path project = m_tmp / "书";
    fs::create_directories(project);
    for (const char* name : {"10.html", "2.html", "第十章.txt", "第九章.txt"})
        ASSERT_TRUE(writeFileAtomic((project / name).string(), std::string("x\r\n")));
    const std::string p = shellQuote(project.string());
    const auto list = [&] { return runFolio("contents list " + p).output; };
    ASSERT_EQ(runFolio("contents add " + p + " 10.html 第十章.txt 2.html 第九章.txt").status, 0);
    // --caption alone: one custom entry linked to its FILE; with two FILEs, a usage error.
    ASSERT_EQ(runFolio("contents add " + p + " --parent 4 --caption 注 2.html").status, 0);
    EXPECT_EQ(runFolio("contents add " + p + " --caption 注 2.html 10.html").status, 2);
    EXPECT_EQ(list(), "1\t-1\t2\t2.html\n2\t-1\t10\t10.html\n3\t-1\t第九章\t第九章.txt\n"
                      "4\t-1\t第十章\t第十章.txt\n5\t4\t注\t2.html\n");

    const auto deleted = runFolio("contents delete " + p + " 4 1");
    EXPECT_EQ(deleted.status, 0) << deleted.output;
    EXPECT_NE(deleted.output.find("deleted 4 (第十章); its 1 entry moved up a level"),
              std::string::npos)
        << deleted.output;
    EXPECT_EQ(list(), "1\t-1\t10\t10.html\n2\t-1\t第九章\t第九章.txt\n3\t-1\t注\t2.html\n");

    ASSERT_EQ(runFolio("contents add " + p + " --parent 3 --caption 子 x.html").status, 0);
    const auto refused = runFolio("contents move " + p + " 3 down");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("its child 4 (子) is below it; nothing moved"), std::string::npos)
        << refused.output;
    const auto moved = runFolio("contents move " + p + " 3 up 2");
    EXPECT_EQ(moved.status, 0) << moved.output;
    EXPECT_NE(moved.output.find("moved 3 (注) up 2 rows; it is entry 1 now"), std::string::npos);
    EXPECT_EQ(list(), "1\t-1\t注\t2.html\n2\t-1\t10\t10.html\n3\t-1\t第九章\t第九章.txt\n"
                      "4\t1\t子\tx.html\n");
    EXPECT_EQ(runFolio("contents move " + p + " 9 up").status, 1);
    EXPECT_EQ(runFolio("contents move " + p + " 1 sideways").status, 2);
}

// The sample and a project of messy pages as EPUB, checked by epubcheck and read by calibre.
TEST_F(Cli, EpubOfTheSampleAndOfMessyPagesPassesEpubcheckAndCalibreReadsItsCard) {
    FOLIO_REQUIRE_TOOL("/usr/bin/epubcheck", "apt-get install epubcheck");
    FOLIO_REQUIRE_TOOL("ebook-meta", "apt-get install calibre");
    const fs::path sample = m_tmp / "Book";
    fs::copy(Dist + "/Book", sample);
    const std::string epub = (m_tmp / "book.epub").string();
    const auto entry = [](const std::string& file, const std::string& name) {
        return runCommand("python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                          "print(z.infolist()[0].filename, z.infolist()[0].compress_type); "
                          "sys.stdout.write(z.read(sys.argv[2]).decode())' " +
                          shellQuote(file) + " " + shellQuote(name))
            .output;
    };
    auto r = runFolio("epub " + shellQuote(sample.string()) + " --out " + shellQuote(epub));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("pages: 9 (9 in reading order, 0 only linked"), std::string::npos);
    EXPECT_NE(check::epubcheck(epub).output.find("No errors or warnings detected"),
              std::string::npos)
        << check::epubcheck(epub).output;
    const auto meta = runCommand("ebook-meta " + shellQuote(epub) + " --get-cover " +
                                 shellQuote((m_tmp / "cover.png").string()));
    EXPECT_NE(meta.output.find("Title               : 道德经"), std::string::npos) << meta.output;
    EXPECT_NE(meta.output.find("Author(s)           : 老子"), std::string::npos) << meta.output;
    EXPECT_EQ(readFileBytes((m_tmp / "cover.png").string()).value(),
              readFileBytes(Dist + "/Book/cover.png").value());
    // mimetype first and stored; the nested contents; the identifier kept, so a second build
    // of the unchanged project is the same file.
    const std::string opf = entry(epub, "OEBPS/content.opf");
    EXPECT_TRUE(opf.starts_with("mimetype 0\n")) << opf;
    EXPECT_NE(entry(epub, "OEBPS/nav.xhtml").find("道德经</a>\n  <ol>\n   <li><a href=\"chapter01"),
              std::string::npos);
    const std::string id = opf.substr(opf.find("urn:uuid:"), 45);
    const Bytes ini = readFileBytes((sample / "Book.ini").string()).value();
    EXPECT_EQ(fromAnsi(std::string(ini.begin(), ini.end())),
              "电子书名称：Book\r\n索引页：index.html\r\n目录树：tree.html\r\n输出文件：Book\r\n"
              "作者：老子\r\n网址：\r\n更新：\r\n在线书架：\r\n广告：\r\n标识：" +
                  id + "\r\n");
    const std::string again = (m_tmp / "again.epub").string();
    ASSERT_EQ(
        runFolio("epub " + shellQuote(sample.string()) + " --out " + shellQuote(again)).status, 0);
    EXPECT_EQ(readFileBytes(again).value(), readFileBytes(epub).value());

    // Messy pages: unclosed tags, <font>, GBK and UTF-8, &nbsp;, scripts, a picture in a
    // sub-folder, links to what is missing, a Chinese file name, a page only linked to.
    const fs::path messy = m_tmp / "M";
    fs::create_directories(messy / "img");
    const auto put = [&](const std::string& name, const std::string& utf8, bool gbk = true) {
        ASSERT_TRUE(writeFileAtomic((messy / name).string(), gbk ? toAnsi(utf8) : utf8));
    };
    put("M.ini", "电子书名称：乱\r\n索引页：index.html\r\n目录树：tree.html\r\n作者：某人\r\n");
    put("M.toc",
        "folio contents 1\r\n \t1\t-1\t乱书\tindex.html\t\t\t\t\t\t\r\n"
        " \t2\t1\t第一章\t第一章.html\t\t\t\t\t\t\r\n \t3\t1\t二\tchapter2.htm\t\t\t\t\t\t\r\n");
    put("index.html",
        "<html><head><meta charset=gb2312><script>alert(1)</script></head><body onload=x()>"
        "<center><font color=red size=5><p>欢迎&nbsp;光临<p>第二段</font></center><li>孤项"
        "<ul><p>段</ul><table bgcolor=yellow><tr><td nowrap>格<td>子<img src='img/pic.png' "
        "width='50%'><a href='missing.html'>缺页</a><a href='Chapter2.HTM#sec'>节</a>"
        "<a name=top>顶</a><a name=top>重</a><a href='tree.html'>目录</a><b><div>块</div></b>"
        "<a href='extra.html'>附录</a><form><input></form><dl><p>定义</dl>");
    put("第一章.html",
        "<html lang=zh_CN><meta charset=utf-8><link rel=stylesheet href=s.css>"
        "<p style='background:url(img/pic.png)'>UTF-8 &copy;<br>行<a href=#end>尾</a>",
        false);
    put("chapter2.htm",
        "<h2 id=sec>二节</h2><p><font face='宋体'>字</font><a href='index.html#top'>回"
        "</a><a href='res://C:\\b\\M.exe/EXTRA.HTML'>附</a>");
    put("extra.html", "<p>附录<a href='file:///D:/old/M/img/pic.png'>图</a>");
    put("s.css", "/* 注释 */ @charset \"gbk\"; body { background: url(img/pic.png) }"
                 " .x { background: url(gone.png) }");
    fs::copy_file(Dist + "/Book/cover.png", messy / "img" / "pic.png");
    const std::string messyEpub = (m_tmp / "m.epub").string();
    r = runFolio("epub " + shellQuote(messy.string()) + " --out " + shellQuote(messyEpub));
    ASSERT_EQ(r.status, 0) << r.output;
    const auto checked = check::epubcheck(messyEpub);
    EXPECT_NE(checked.output.find("No errors or warnings detected"), std::string::npos)
        << checked.output;
    EXPECT_NE(r.output.find("pages: 4 (3 in reading order, 1 only linked"), std::string::npos)
        << r.output;
    for (const char* warning : {"index.html: \"missing.html\" names no file of the project: the "
                                "link is left as plain text",
                                "s.css: \"gone.png\" names no file of the project: it is left out",
                                "extra.html: \"file:///D:/old/M/img/pic.png\" is no page"})
        EXPECT_NE(r.output.find(warning), std::string::npos) << warning << "\n" << r.output;
    const std::string index = entry(messyEpub, "OEBPS/index.xhtml");
    EXPECT_NE(index.find("<img src=\"img/pic.png\" alt=\"\" style=\"width:50%\"/>缺页"
                         "<a href=\"chapter2.xhtml#sec\">节</a><a id=\"top\">顶</a><a>重</a>"
                         "<a href=\"nav.xhtml\">目录</a>"),
              std::string::npos)
        << index;
    EXPECT_EQ(index.find("script"), std::string::npos);

    // Without a contents list the pages go in name order, and the command says so.
    fs::remove(messy / "M.toc");
    r = runFolio("epub " + shellQuote(messy.string()) + " --out " + shellQuote(messyEpub));
    EXPECT_NE(r.output.find("the contents list is empty: the pages go in name order"),
              std::string::npos)
        << r.output;
    EXPECT_NE(entry(messyEpub, "OEBPS/content.opf")
                  .find("idref=\"i1\"/>\n<itemref idref=\"i2\"/>\n<itemref idref=\"i3\"/>"),
              std::string::npos);
}
