// CompileBook: validation, the three output files, descriptor and pages, what the window is
// told, and the failure paths.
#include "maker/compiler/compilebook.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/text.h"
#include "maker/compiler/icon.h"
#include "maker/project/workbench.h"
#include "tests/tools/independent_check.h"
#include "tests/tools/recordingobserver.h"
#include "tests/unit/book/bookcheck.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace folio;
using namespace folio::compiler;
namespace fs = std::filesystem;

namespace {

using Recorder = folio::testing::RecordingObserver;
using Event = Recorder::Event;

void writeFile(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& p) {
    auto b = readFileBytes(p.string());
    return b ? std::string(b->begin(), b->end()) : std::string("<unreadable>");
}

class Compile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("folio_compile_" + std::to_string(getpid()) + "_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_root);
        m_maker = m_root / "maker";
        m_project = m_maker / "Book";
        m_out = m_root / "out";
        fs::create_directories(m_maker / "folioPage");
        fs::copy_file(FOLIO_BOOK_FIXTURE, m_maker / "folioPage" / "folioPage.dat");
        writeFile(m_maker / "folioPage" / "SkinH_VB6.dll", "skin library");
        writeFile(m_maker / "skin" / "jade.she", "jade skin");
        fs::create_directories(m_out);
        writeFile(m_project / "index.html", "<html>\xCA\xD7\xD2\xB3</html>\r\n");
        writeFile(m_project / "Tree.html", "<html>tree</html>");
        writeFile(m_project / "style.css", "body{}");
        writeFile(m_project / "sub" / "deep.html", "never in a book");

        m_in.settings.title = "Book";
        m_in.settings.indexPage = "index.html";
        m_in.settings.contentsPage = "tree.html";
        m_in.settings.outPath = m_out.string();
        m_in.settings.outFile = "mybook";
        m_in.makerFolder = m_maker.string();
        m_in.skinFileName = "jade.she";
        m_in.projectFolder = m_project.string();
        m_in.dateText = "2026-12-06";
        m_in.pages = {{"index.html", true}, {"Tree.html", true}, {"style.css", true}};
        m_in.recordFolder = (m_root / "records").string();
    }
    void TearDown() override { fs::remove_all(m_root); }

    Result<CompiledBook> run(IconStep icon = {}) {
        return CompileBook(m_in, m_rec, std::move(icon));
    }

    // Every book is also read by pefile: pages equal to their files, checksum right.
    std::unique_ptr<book::BookImage> openBook(const std::string& path) {
        const auto pefile = bookcheck::pefileResources(path, m_project.string());
        EXPECT_NE(pefile.output.find("CHECKSUM ok"), std::string::npos) << pefile.output;
        EXPECT_EQ(pefile.output.find("differs"), std::string::npos) << pefile.output;
        auto b = book::BookImage::open(path);
        EXPECT_TRUE(b) << (b ? "" : b.error().message);
        return b ? std::move(*b) : nullptr;
    }

    fs::path m_root, m_maker, m_project, m_out;
    CompileInputs m_in;
    Recorder m_rec;
};

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST_F(Compile, ValidationStopsAtFirstEmptySettingInOrder) {
    const std::string messages[] = {"没有输出路径！！！！", "没有标题请输入标题！！！！",
                                    "没有输出文件名！！！！"};
    m_in.settings.outPath.clear();
    m_in.settings.title.clear();
    m_in.settings.outFile.clear();
    for (int step = 0; step < 3; ++step) {
        m_rec.clear();
        const auto r = run();
        EXPECT_EQ(outcomeOf(r), CompileOutcome::Invalid);
        ASSERT_EQ(m_rec.log.size(), 1u);
        EXPECT_EQ(m_rec.log[0].text, messages[step]);
        EXPECT_EQ(m_rec.log[0].title, "提示！！");
        EXPECT_EQ(m_rec.log[0].icon, MessageIcon::Information);
        if (step == 0)
            m_in.settings.outPath = m_out.string();
        else if (step == 1)
            m_in.settings.title = "Book";
    }
    EXPECT_TRUE(fs::is_empty(m_out)); // nothing copied
}

TEST_F(Compile, BuildsBookWithDescriptorPagesSkinAndLibrary) {
    m_in.settings.outFile = "mybook.exe";
    m_in.settings.author = "老子";
    m_in.settings.webAddress = "http://example.com/";
    m_in.pages.push_back({"sub", true});           // a folder is never a page
    m_in.pages.push_back({"sub/deep.html", true}); // nor anything inside one
    const auto r = run();
    ASSERT_EQ(outcomeOf(r), CompileOutcome::Done) << r.error().message;
    const std::string bookPath = (m_out / "mybook.exe.exe").string();
    EXPECT_EQ(r->bookPath, bookPath);
    EXPECT_EQ(r->pagesAdded, 3);
    EXPECT_EQ(readFile(m_out / "aero.she"), "jade skin");
    EXPECT_EQ(readFile(m_out / "SkinH_VB6.dll"), "skin library");

    auto book = openBook(bookPath);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->descriptor().value(),
              "Book:老子:index.html:tree.html::::http://example.com/:2026-12-06");
    EXPECT_EQ(sorted(book->pageNames()),
              (std::vector<std::string>{"INDEX.HTML", "STYLE.CSS", "TREE.HTML"}));
    EXPECT_EQ(std::string(book->find("index.html")->begin(), book->find("index.html")->end()),
              readFile(m_project / "index.html"));
    EXPECT_FALSE(book->find("deep.html"));
    EXPECT_TRUE(book->find(pe::ResourceId::fromId(pe::RT_ICON), "#1")); // template's own

    const auto pefile = bookcheck::pefileResources(bookPath, m_project.string());
    for (const char* line :
         {"RES 2110 INDEX.HTML 1033", "RES 2110 TREE.HTML 1033 17 same", "RES 2110 STYLE.CSS",
          "RES CUSTOM #101 1033", "RES 14 #1", "CHECKSUM ok"})
        EXPECT_NE(pefile.output.find(line), std::string::npos) << line << "\n" << pefile.output;
    EXPECT_EQ(pefile.output.find("differs"), std::string::npos) << pefile.output;
    EXPECT_EQ(pefile.output.find("DEEP"), std::string::npos) << pefile.output;
    const auto wrestool = bookcheck::wrestoolList(bookPath);
    EXPECT_NE(wrestool.output.find("--type=2110 --name='STYLE.CSS' --language=1033"),
              std::string::npos)
        << wrestool.output;

    const auto messages = m_rec.of(Event::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "你的电子书现在已经编译为\r\n\r\n" + bookPath + "\r\n\r\n共 3 个页面。");
    EXPECT_EQ(messages[0].title, "编译完成。");
    const auto captions = m_rec.of(Event::Caption);
    ASSERT_EQ(captions.size(), 3u);                     // in the book's order: INDEX, STYLE, TREE
    EXPECT_EQ(captions[2].text, "folioMake-Tree.html"); // as listed, not upper-cased
    // The bar counts the pages' bytes (19 + 17 + 6), not the entries.
    EXPECT_EQ(m_rec.of(Event::Maximum).at(0).number, 42);
    EXPECT_EQ(m_rec.of(Event::Events).size(), 5u);
}

TEST_F(Compile, BookCarriesTheReadersLanguageFileBesideIt) {
    // Without the file in the maker folder the book is still made, with no language file.
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    EXPECT_FALSE(fs::exists(m_out / "Language.lng"));

    const std::string lng =
        "[English]\r\nToolbar1=,Back,Forward\r\n[\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4]\r\n";
    writeFile(m_maker / "folioPage" / "Language.lng", lng);
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    EXPECT_EQ(readFile(m_out / "Language.lng"), lng);

    // A copy edited beside an earlier build is replaced byte for byte.
    writeFile(m_out / "Language.lng", "old");
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    EXPECT_EQ(readFile(m_out / "Language.lng"), lng);

    // A build that fails leaves the earlier copy alone.
    writeFile(m_out / "Language.lng", "earlier");
    fs::remove(m_maker / "folioPage" / "folioPage.dat");
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Failed);
    EXPECT_EQ(readFile(m_out / "Language.lng"), "earlier");
}

TEST_F(Compile, BookReadThroughWinesOwnResourceLoader) {
    FOLIO_REQUIRE_TOOL("wine", "apt-get install wine wine32");
    m_in.settings.author = "老子";
    // With the sub-folder setting img/pic.png is the resource IMG/PIC.PNG, as both readers'
    // res: addresses "<book>.exe/img/pic.png" name it.
    writeFile(m_project / "img" / "pic.png", "picture");
    m_in.settings.subfolders = true;
    m_in.pages.push_back({"img", true});
    const auto r = run();
    ASSERT_EQ(outcomeOf(r), CompileOutcome::Done) << r.error().message;
    std::string error;
    EXPECT_EQ(check::wineReadResource(r->bookPath, "IMG", "PIC.PNG", &error), "picture") << error;
    EXPECT_EQ(check::wineReadResource(r->bookPath, "CUSTOM", "#101", &error),
              toAnsi("Book:老子:index.html:tree.html:::::2026-12-06"))
        << error;
    // The loader upper-cases the name it is asked for, as the reader's links rely on.
    EXPECT_EQ(check::wineReadResource(r->bookPath, "#2110", "index.html", &error),
              readFile(m_project / "index.html"))
        << error;
    EXPECT_EQ(check::wineReadResource(r->bookPath, "#2110", "Tree.HTML", &error),
              readFile(m_project / "Tree.html"))
        << error;
}

TEST_F(Compile, UnselectedEntriesLeftOutButStillYieldToEvents) {
    m_in.pages = {{"index.html", true}, {"style.css", false}, {"Tree.html", true}};
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    auto book = openBook((m_out / "mybook.exe").string());
    ASSERT_TRUE(book);
    EXPECT_EQ(sorted(book->pageNames()), (std::vector<std::string>{"INDEX.HTML", "TREE.HTML"}));
    EXPECT_EQ(m_rec.of(Event::Events).size(), 3u);
    const auto values = m_rec.of(Event::Value);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values.back().number, 36); // full: the bytes of the two pages
}

// Another project's book under the same output name is replaced only when the user says so.
TEST_F(Compile, AnotherTitlesBookIsReplacedOnlyWhenTheAnswerIsYes) {
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    const std::string book = (m_out / "mybook.exe").string();
    const std::string before = readFile(book);
    m_in.settings.title = "空工程";
    m_rec.clear();
    m_rec.answer = Answer::No;
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Declined);
    ASSERT_EQ(m_rec.boxes.size(), 1u);
    EXPECT_EQ(m_rec.boxes[0].buttons, MessageButtons::YesNo);
    EXPECT_NE(m_rec.boxes[0].text.find("另一本电子书《Book》"), std::string::npos);
    EXPECT_EQ(readFile(book), before);
    m_rec.answer = Answer::Yes;
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    EXPECT_EQ(book::splitDescriptor(openBook(book)->descriptor().value()).front(), "空工程");
    m_rec.clear(); // the same title again is asked nothing
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    EXPECT_EQ(m_rec.boxes.size(), 1u);
}

TEST_F(Compile, OutputFolderWithOrWithoutFinalSlashSameBook) {
    const std::string a = run()->bookPath;
    m_in.settings.outPath = m_out.string() + "/";
    const std::string b = run()->bookPath;
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, (m_out / "mybook.exe").string());
}

TEST_F(Compile, SecondCompilationReplacesResourcesNotUnion) {
    m_in.pages.push_back({"sub", true});
    writeFile(m_project / "old.html", "gone next time");
    m_in.pages.push_back({"old.html", true});
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    m_in.settings.indexPage = m_in.settings.contentsPage = "style.css";
    m_in.pages = {{"style.css", true}};
    writeFile(m_project / "style.css", "body{color:red}");
    const auto r = run();
    ASSERT_EQ(outcomeOf(r), CompileOutcome::Done);
    auto book = openBook(r->bookPath);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->pageNames(), std::vector<std::string>{"STYLE.CSS"});
    EXPECT_EQ(book->find("style.css")->size(), 15u);
    const auto pefile = bookcheck::pefileResources(r->bookPath, m_project.string());
    EXPECT_EQ(pefile.output.find("OLD.HTML"), std::string::npos) << pefile.output;
    EXPECT_NE(pefile.output.find("STYLE.CSS 1033 15 same"), std::string::npos) << pefile.output;
}

// A rebuild copies the pages unchanged since the last build out of that book, reads the edited
// ones (same size or not) and new ones, and is byte for byte what a full build makes.
TEST_F(Compile, ARebuildTakesUnchangedPagesFromTheLastBookAndEqualsAFullBuild) {
    for (int i = 0; i < 40; ++i) {
        const std::string name = "p" + std::to_string(i) + ".html";
        writeFile(m_project / name, std::string(100 + 37 * i, static_cast<char>('a' + i % 26)));
        m_in.pages.push_back({name, true});
    }
    // A page whose times are not older than the last build may have changed after it was read.
    auto pastFileTimes = [&] {
        std::int64_t newest = 0;
        for (const auto& e : fs::directory_iterator(m_project))
            newest = std::max(newest, fileFacts(e.path().string()).ctimeNs);
        while (buildStamp() <= newest)
            std::this_thread::yield();
    };
    // A sub-folder's file is a resource of its own type, taken over like the pages.
    writeFile(m_project / "img" / "a.png", "picture");
    m_in.settings.subfolders = true;
    m_in.pages.push_back({"img", true});
    pastFileTimes();
    ASSERT_EQ(run()->pagesReused, 0);
    const std::string book = (m_out / "mybook.exe").string();
    const std::string first = readFile(book);
    ASSERT_EQ(run()->pagesReused, 44);
    EXPECT_EQ(readFile(book), first);

    writeFile(m_project / "p3.html", std::string(100 + 37 * 3, 'Z')); // same size
    writeFile(m_project / "p5.html", std::string(7, 'Y'));            // shorter
    writeFile(m_project / "new.html", "<p>new</p>");                  // new
    m_in.pages.erase(m_in.pages.begin() + 10);                        // p7 left out
    m_in.pages.push_back({"new.html", true});
    pastFileTimes();
    const auto rebuilt = run();
    ASSERT_EQ(outcomeOf(rebuilt), CompileOutcome::Done);
    EXPECT_EQ(rebuilt->pagesReused, 41); // all but p3, p5 and new.html
    EXPECT_EQ(rebuilt->pagesAdded, 44);
    auto opened = openBook(book); // pefile: every page equal to its file
    ASSERT_TRUE(opened);
    EXPECT_FALSE(opened->find("p7.html"));

    m_in.full = true;
    m_in.settings.outFile = "full";
    ASSERT_EQ(run()->pagesReused, 0);
    EXPECT_EQ(readFile(m_out / "full.exe"), readFile(book));

    // A previous book that does not hold what its record says lends no page, then or later.
    m_in.full = false;
    m_in.settings.outFile = "mybook";
    for (const auto& e : fs::directory_iterator(m_in.recordFolder)) {
        std::string record = readFile(e.path());
        const std::size_t line = record.find("\tp10.html\r\n"); // its word sum before it
        if (record.find("\t" + book + "\r\n") != std::string::npos && line != std::string::npos)
            writeFile(e.path(), record.insert(record.rfind('\t', line - 1) + 1, "1"));
    }
    const auto forged = run();
    ASSERT_FALSE(forged);
    EXPECT_NE(forged.error().message.find(book + " changed since"), std::string::npos);
    EXPECT_EQ(readFile(book), readFile(m_out / "full.exe"));
    EXPECT_EQ(run()->pagesReused, 0);
    EXPECT_EQ(readFile(book), readFile(m_out / "full.exe"));
}

// The files of an earlier build, to check that a failed run leaves them as they were.
struct EarlierBuild {
    std::map<fs::path, std::string> files;
    explicit EarlierBuild(const fs::path& out) {
        for (const char* name : {"mybook.exe", "aero.she", "SkinH_VB6.dll"}) {
            files[out / name] = std::string("earlier ") + name;
            writeFile(out / name, files[out / name]);
        }
    }
    // Every earlier file as it was, and nothing else in the folder.
    void expectUntouched(const fs::path& out) const {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(out)) {
            const auto it = files.find(e.path());
            EXPECT_NE(it, files.end()) << "left behind: " << e.path();
            if (it != files.end()) {
                EXPECT_EQ(readFile(e.path()), it->second) << e.path();
            }
            ++n;
        }
        EXPECT_EQ(n, files.size());
    }
};

// A book without its home or contents page, or with a page hidden by another of the same
// resource name, is no book: nothing is written and the page is named.
TEST_F(Compile, ABookThatIsNotWholeIsRefusedBeforeAnythingIsWritten) {
    writeFile(m_project / "INDEX.html", "<html>another</html>");
    const EarlierBuild earlier(m_out);
    const std::pair<std::vector<PageEntry>, const char*> cases[] = {
        {{{"index.html", false}, {"Tree.html", false}, {"style.css", false}},
         "没有选择要编译的页面"},
        {{{"Tree.html", true}, {"style.css", true}}, "首页“index.html”不在要编译的页面中"},
        {{{"index.html", true}, {"style.css", true}}, "目录页“tree.html”不在要编译的页面中"},
        {{{"index.html", true}, {"INDEX.html", true}, {"Tree.html", true}},
         "页面“index.html”和“INDEX.html”在电子书中是同一个资源“INDEX.HTML”"},
    };
    // One more page than a resource directory can count, none of them looked at.
    std::vector<PageEntry> tooMany(pe::MaxDirectoryEntries + 1);
    for (std::size_t i = 0; i < tooMany.size(); ++i)
        tooMany[i] = {"p" + std::to_string(i) + ".html", true};
    for (const auto& [pages, shown] :
         {cases[0], cases[1], cases[2], cases[3], {tooMany, "最多只能有 65535 个"}}) {
        m_rec.clear();
        m_in.pages = pages;
        const auto r = run();
        EXPECT_EQ(outcomeOf(r), CompileOutcome::Invalid) << shown;
        ASSERT_EQ(m_rec.boxes.size(), 1u) << shown;
        EXPECT_NE(m_rec.boxes[0].text.find(shown), std::string::npos) << m_rec.boxes[0].text;
        earlier.expectUntouched(m_out);
    }
    // A home page that is also the contents page makes a book of one page.
    m_in.settings.contentsPage = "index.html";
    m_in.pages = {{"index.html", true}};
    ASSERT_EQ(outcomeOf(run()), CompileOutcome::Done);
    EXPECT_EQ(m_rec.of(Event::Maximum).back().number, 19); // the one page's bytes
}

TEST_F(Compile, OversizedDescriptorRefusedBeforeAnythingIsTouched) {
    const EarlierBuild earlier(m_out);
    m_in.settings.advert = std::string(33000, 'a');
    const auto r = run();
    EXPECT_EQ(outcomeOf(r), CompileOutcome::DescriptorFailed);
    const auto messages = m_rec.of(Event::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.starts_with("当编译你的ebook时出现错误。")) << messages[0].text;
    EXPECT_NE(messages[0].text.find("32767"), std::string::npos);
    EXPECT_EQ(messages[0].title, "编译错误");
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    earlier.expectUntouched(m_out);
    EXPECT_TRUE(m_rec.of(Event::Maximum).empty());
}

TEST_F(Compile, DescriptorFailureRemovesOnlyWhatThisRunMade) {
    const EarlierBuild earlier(m_out);
    // A template the resource writer refuses: the descriptor cannot be added.
    writeFile(m_maker / "folioPage" / "folioPage.dat", std::string(300, 'x'));
    const auto r = run();
    EXPECT_EQ(outcomeOf(r), CompileOutcome::DescriptorFailed);
    EXPECT_NE(r.error().message.find("not a PE file"), std::string::npos) << r.error().message;
    earlier.expectUntouched(m_out);
}

TEST_F(Compile, MissingCopySourcesFallIntoTheTrap) {
    auto expectTrap = [&](const std::string& named) {
        const auto messages = m_rec.of(Event::Message);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].text.starts_with("你的电子书编译过程发生\r\n\r\n"));
        EXPECT_TRUE(messages[0].text.ends_with("错误！"));
        EXPECT_NE(messages[0].text.find(named), std::string::npos) << messages[0].text;
        EXPECT_EQ(messages[0].title, "编译失败。");
        EXPECT_EQ(messages[0].icon, MessageIcon::Information);
    };
    m_in.skinFileName = "missing.she";
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Failed);
    expectTrap("missing.she");

    m_rec.clear();
    m_in.skinFileName.clear();
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Failed);
    expectTrap("skin");

    m_rec.clear();
    m_in.skinFileName = "jade.she";
    fs::remove(m_maker / "folioPage" / "folioPage.dat");
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Failed);
    expectTrap("folioPage.dat");
    EXPECT_TRUE(fs::is_empty(m_out)) << "a skin copied before the failure replaced the old one";

    m_rec.clear();
    m_in.settings.outPath = (m_root / "no-such-folder").string();
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Failed);
    expectTrap("no-such-folder");
}

TEST_F(Compile, UnreadablePageStopsWithTrapKeepingTheEarlierBuild) {
    const EarlierBuild earlier(m_out);
    m_in.pages = {{"index.html", true}, {"vanished.html", true}, {"Tree.html", true}};
    const auto r = run();
    EXPECT_EQ(outcomeOf(r), CompileOutcome::Failed);
    EXPECT_NE(r.error().message.find("vanished.html"), std::string::npos) << r.error().message;
    EXPECT_EQ(m_rec.of(Event::Message).at(0).title, "编译失败。");
    earlier.expectUntouched(m_out);
}

TEST_F(Compile, FullDiskLeavesTheEarlierBuild) {
    const EarlierBuild earlier(m_out);
    writeFile(m_project / "big.html", std::string(300000, 'b'));
    m_in.pages.push_back({"big.html", true});
    // A file size limit makes every write past it fail as a full disk does.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{200000, 200000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(static_cast<int>(outcomeOf(run())));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(CompileOutcome::Failed));
    earlier.expectUntouched(m_out);
}

TEST_F(Compile, OutputFileNamesReachingOutsideTheOutputFolderAreRefused) {
    for (const char* name : {"../../escaped_a", "sub/book", "..", "a\\b", "x..y"}) {
        m_rec.clear();
        m_in.settings.outFile = name;
        const auto r = run();
        EXPECT_EQ(outcomeOf(r), CompileOutcome::Failed) << name;
        EXPECT_NE(r.error().message.find("输出文件"), std::string::npos) << r.error().message;
        EXPECT_EQ(m_rec.of(Event::Message).at(0).title, "编译失败。");
    }
    EXPECT_TRUE(fs::is_empty(m_out));
    EXPECT_FALSE(fs::exists(m_root.parent_path() / "escaped_a.exe"));
}

TEST_F(Compile, ColonsInJoinedDescriptorFieldsAreRefusedNamingTheField) {
    const std::pair<std::string ProjectSettings::*, const char*> fields[] = {
        {&ProjectSettings::title, "title"},
        {&ProjectSettings::author, "author"},
        {&ProjectSettings::indexPage, "home page"},
        {&ProjectSettings::contentsPage, "contents page"},
    };
    for (const auto& [member, field] : fields) {
        CompileInputs in = m_in;
        in.settings.*member = "T:X:evil.html";
        const auto r = CompileBook(in, m_rec, {});
        EXPECT_EQ(outcomeOf(r), CompileOutcome::Failed) << field;
        EXPECT_NE(r.error().message.find(field), std::string::npos) << r.error().message;
    }
    EXPECT_TRUE(fs::is_empty(m_out));
    m_in.settings.webAddress = "http://example.com/"; // an address keeps its ":"
    EXPECT_EQ(outcomeOf(run()), CompileOutcome::Done);
}

TEST_F(Compile, PagesThatAreNoFilesAreSkippedAndNamed) {
    ASSERT_EQ(mkfifo((m_project / "pipe.html").c_str(), 0600), 0);
    fs::create_symlink(m_project / "gone.html", m_project / "dangling.html");
    m_in.pages.push_back({"pipe.html", true});
    m_in.pages.push_back({"dangling.html", true});
    const auto r = run();
    ASSERT_EQ(outcomeOf(r), CompileOutcome::Done) << r.error().message;
    EXPECT_EQ(r->pagesAdded, 3);
    ASSERT_EQ(r->skipped.size(), 2u);
    EXPECT_EQ(r->skipped[0].name, "pipe.html");
    EXPECT_EQ(r->skipped[0].why, "a FIFO");
    EXPECT_EQ(r->skipped[1].name, "dangling.html");
    EXPECT_EQ(r->skipped[1].why, "a dangling symbolic link");
}

TEST_F(Compile, IconStepRunsOnTheBookBeingBuiltAndItsErrorIsTrapped) {
    int calls = 0;
    std::string seenIcon, seenBook;
    auto step = [&](const std::string& icon, const std::string& book,
                    CompileObserver&) -> Result<void> {
        ++calls;
        seenIcon = icon;
        seenBook = book;
        EXPECT_TRUE(book::BookImage::open(book)) << "the icon step got no whole book";
        return {};
    };
    ASSERT_EQ(outcomeOf(run(step)), CompileOutcome::Done);
    EXPECT_EQ(calls, 0);

    m_in.iconPath = "/icons/book.ico";
    const auto r = run(step);
    ASSERT_EQ(outcomeOf(r), CompileOutcome::Done);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenIcon, "/icons/book.ico");
    EXPECT_EQ(fs::path(seenBook).parent_path(), fs::path(r->bookPath).parent_path());
    EXPECT_FALSE(fs::exists(seenBook)) << "the book was built in place of its temporary file";

    const auto before = readFile(r->bookPath);
    m_rec.clear();
    const auto failed = run([](const std::string&, const std::string&, CompileObserver&) {
        return Result<void>(fail("icon 1003"));
    });
    EXPECT_EQ(outcomeOf(failed), CompileOutcome::Failed);
    const auto messages = m_rec.of(Event::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "你的电子书编译过程发生\r\n\r\nicon 1003错误！");
    EXPECT_EQ(readFile(r->bookPath), before) << "a failed icon step replaced the book";
    EXPECT_EQ(std::distance(fs::directory_iterator(m_out), fs::directory_iterator()), 3);
}

TEST_F(Compile, FuzzFindingsAsTemplateAreRefusedAndNothingIsWritten) {
    const EarlierBuild earlier(m_out);
    for (const char* name : {"va0-section.exe", "rsrc-raw-in-headers.exe",
                             "overlapping-raw-sections.exe", "huge-filealign.exe"}) {
        fs::copy_file(std::string(FOLIO_SOURCE_DIR) + "/tests/fixtures/findings/" + name,
                      m_maker / "folioPage" / "folioPage.dat",
                      fs::copy_options::overwrite_existing);
        fs::permissions(m_maker / "folioPage" / "folioPage.dat",
                        fs::perms::owner_read | fs::perms::owner_write);
        const auto r = run();
        EXPECT_EQ(outcomeOf(r), CompileOutcome::DescriptorFailed) << name;
        EXPECT_NE(r.error().message.find("folioPage.dat"), std::string::npos) << r.error().message;
        earlier.expectUntouched(m_out);
    }
}

TEST_F(Compile, IconRebuildRefusesAFileItsWriterCannotRebuild) {
    // The template with an absurd FileAlignment: the rebuild must refuse it before allocating
    // anything near that size.
    auto bytes = readFileBytes(FOLIO_BOOK_FIXTURE).value();
    const std::uint32_t pe = bytes[60] | (bytes[61] << 8) | (bytes[62] << 16) | (bytes[63] << 24);
    const std::uint32_t fileAlignment = pe + 4 + 20 + 36;
    bytes[fileAlignment] = bytes[fileAlignment + 1] = bytes[fileAlignment + 2] = 0;
    bytes[fileAlignment + 3] = 0x40;
    const std::string exe = (m_root / "odd.exe").string();
    ASSERT_TRUE(writeFileAtomic(exe, bytes));

    // An icon far larger than the template's, so that the icon resources must be rebuilt.
    std::string ico("\0\0\1\0\1\0", 6);
    const std::uint32_t size = 70000, offset = 22;
    ico += std::string("\x40\x40\0\0\1\0\x20\0", 8);
    for (std::uint32_t v : {size, offset})
        for (int k = 0; k < 4; ++k)
            ico += static_cast<char>((v >> (8 * k)) & 0xFF);
    ico += std::string(size, '\x11');
    writeFile(m_root / "big.ico", ico);

    auto replaced = icon::ReplaceIcon((m_root / "big.ico").string(), exe, m_rec);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(*readFileBytes(exe), bytes);
    const auto messages = m_rec.of(Event::Message);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().title.find("FileAlignment is 0x40000000"), std::string::npos)
        << messages.back().title;
}

// The workbench's compile: what is compiled when nothing, everything or the project's own
// files are selected.
TEST_F(Compile, TheWorkbenchAsksWhatToCompileAndLeavesTheProjectsOwnFilesOut) {
    writeFile(m_project / "Book.ini", toAnsi("电子书名称：Book\r\n输出文件夹：" + m_out.string() +
                                             "\r\n输出文件：mybook\r\n"));
    writeFile(m_project / "Book.toc", "folio contents 1\r\n");
    project::MakerState s = project::StartMaker(m_maker.string(), {"简体中文", ""}, m_rec);
    s.settings.title = "Book";
    project::CompileRequest request;
    request.skinFileName = "jade.she";
    request.dateText = "2026-12-06";
    const fs::path book = m_out / "mybook.exe";

    m_rec.answer = Answer::No;
    auto r = project::CompileProject(s, {}, request, m_rec);
    EXPECT_EQ(r.error().code, static_cast<int>(CompileOutcome::Declined));
    EXPECT_TRUE(m_rec.shown("要编译工程中的全部 3 个页面吗？")) << m_rec.boxes.at(0).text;
    EXPECT_FALSE(fs::exists(book));

    m_rec.answer = Answer::Yes;
    r = project::CompileProject(s, {}, request, m_rec);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(sorted(openBook(book.string())->pageNames()),
              (std::vector<std::string>{"INDEX.HTML", "STYLE.CSS", "TREE.HTML"}));

    // Own files picked by hand are asked about; a whole selection leaves them out unasked and
    // takes the pages written since.
    m_rec.clear();
    m_rec.answer = Answer::No;
    request.selection.names = {"Book.ini", "index.html", "Tree.html"};
    ASSERT_TRUE(project::CompileProject(s, {}, request, m_rec));
    EXPECT_TRUE(m_rec.shown("工程自己的文件：Book.ini"));
    EXPECT_EQ(openBook(book.string())->pageNames().size(), 2u);
    writeFile(m_project / "new.html", "<p>new</p>");
    request.selection = {s.pages, true};
    m_rec.clear();
    r = project::CompileProject(s, {}, request, m_rec);
    ASSERT_TRUE(r);
    EXPECT_EQ(m_rec.boxes.size(), 1u); // only the book's own message
    EXPECT_EQ(openBook(book.string())->pageNames().size(), 4u);
    EXPECT_EQ(std::count(r->selected.begin(), r->selected.end(), true), 4);

    // "EPUB" alone: the book beside it, from the contents (empty here: the pages by name).
    request.exe = false;
    request.epub = true;
    m_rec.clear();
    r = project::CompileProject(s, {}, request, m_rec);
    ASSERT_TRUE(r && r->epub) << m_rec.boxes.at(0).text;
    EXPECT_EQ(r->epub->path, (m_out / "mybook.epub").string());
    EXPECT_TRUE(m_rec.shown("EPUB 电子书已写成：")) << m_rec.boxes.at(0).text;
    EXPECT_EQ(r->epub->pages, 2u); // index.html and new.html: tree.html is the contents page
}
