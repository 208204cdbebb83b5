// The built folioNet, started from the maker folder the build assembles, against an online
// library on 127.0.0.1: the files it keeps and what its two panes show, with the library up
// and with it down.
#include "core/text.h"
#include "tests/tools/localserver.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const fs::path Program = fs::path(FOLIO_DIST_DIR) / "folioPage" / "folioNet";
const fs::path Sample = fs::path(FOLIO_SOURCE_DIR) / "data" / "Book";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The sample book served as the library's book/ folder.
void serveSample(LocalServer& server) {
    for (const auto& entry : fs::directory_iterator(Sample))
        server.set("/book/" + entry.path().filename().string(),
                   Reply(200, readBytes(entry.path())));
}

struct PaneLine {
    std::string pane, url, text;
};

std::vector<PaneLine> readReport(const std::string& file) {
    std::vector<PaneLine> lines;
    std::istringstream in(readBytes(file));
    for (std::string line; std::getline(in, line);) {
        const auto a = line.find('\t');
        const auto b = line.find('\t', a + 1);
        if (a != std::string::npos && b != std::string::npos)
            lines.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return lines;
}

// The last document a pane reported.
std::optional<PaneLine> lastOf(const std::vector<PaneLine>& lines, const std::string& pane) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->pane == pane)
            return *it;
    return std::nullopt;
}

// folioNet on `folder`, offscreen, reporting its panes into folder/report.txt; ended when
// `done` holds for the report (read every 200 ms) or after the tests' wait bound.
void runReader(const TempDir& folder,
               const std::function<bool(const std::vector<PaneLine>&)>& done) {
    const std::string report = folder.file("report.txt");
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("QTWEBENGINE_DISABLE_SANDBOX=1");
    env.push_back("QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox");
    env.push_back("FOLIO_READER_REPORT=" + report);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = Program.string(), dir = folder.str();
    char* argv[] = {program.data(), dir.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(folio::testing::WaitBoundMs);
    int status = 0;
    bool exited = false;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        }
        if (done(readReport(report)))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (!exited) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, &status, 0);
    }
    EXPECT_FALSE(exited) << "folioNet ended by itself (status " << status << ")";
}

void writeSettings(const TempDir& folder, const std::string& base) {
    folder.write("folioNet.ini", "[folioNet]\r\nLibrary=" + base + "/\r\n");
}

// The style sheets, scripts and pictures a page names by a plain relative name.
std::vector<std::string> namedFiles(const std::string& page) {
    static const std::regex named(R"re((href|src)="([A-Za-z0-9_.-]+\.(css|js|png|jpg|gif))")re");
    std::vector<std::string> names;
    for (auto m = std::sregex_iterator(page.begin(), page.end(), named);
         m != std::sregex_iterator(); ++m)
        if (std::find(names.begin(), names.end(), (*m)[2].str()) == names.end())
            names.push_back((*m)[2].str());
    return names;
}

// A page's title, in UTF-8.
std::string titleOf(const std::string& ansiPage) {
    const std::string page = folio::fromAnsi(ansiPage);
    const auto start = page.find("<title>"), end = page.find("</title>");
    return start == std::string::npos || end == std::string::npos
               ? std::string()
               : page.substr(start + 7, end - start - 7);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(FolioNet, TheMakerFolderHoldsTheReaderWithItsSettings) {
    ASSERT_TRUE(fs::is_regular_file(Program)) << Program;
    const std::string ini = readBytes(Program.parent_path() / "folioNet.ini");
    EXPECT_TRUE(contains(ini, "Library=")) << "folioNet.ini is not beside folioNet";
}

TEST(FolioNet, KeepsAndShowsTheLibrarysPages) {
    LocalServer server;
    serveSample(server);
    TempDir folder;
    writeSettings(folder, server.base());

    runReader(folder, [&](const std::vector<PaneLine>& lines) {
        const auto tree = lastOf(lines, "WebTree"), book = lastOf(lines, "WebBook");
        return tree && book && contains(tree->url, "tree/tree.html") &&
               contains(book->url, "index.html") && contains(tree->text, "第一章");
    });

    // The two pages, byte for byte as served, in the folders the reader keeps them in, with
    // the style sheets, scripts and pictures they name beside them.
    EXPECT_EQ(folder.read("tree/tree.html"), readBytes(Sample / "tree.html"));
    EXPECT_EQ(folder.read("index.html"), readBytes(Sample / "index.html"));
    for (const auto& [page, kept] :
         {std::pair{"tree.html", "tree/"}, std::pair{"index.html", ""}}) {
        const auto needed = namedFiles(readBytes(Sample / page));
        EXPECT_FALSE(needed.empty()) << page;
        for (const std::string& name : needed)
            EXPECT_EQ(folder.read(kept + name), readBytes(Sample / name)) << kept << name;
    }

    const auto lines = readReport(folder.file("report.txt"));
    const auto tree = lastOf(lines, "WebTree"), book = lastOf(lines, "WebBook");
    ASSERT_TRUE(tree && book);
    EXPECT_EQ(tree->url, "file://" + folder.str() + "/tree/tree.html");
    EXPECT_TRUE(contains(tree->text, "第一章")) << tree->text;
    EXPECT_EQ(book->url, "file://" + folder.str() + "/index.html");
    EXPECT_TRUE(contains(book->text, titleOf(readBytes(Sample / "index.html")) + " | "))
        << book->text;
    for (const auto& line : lines)
        EXPECT_FALSE(contains(line.text, "ERR_")) << line.pane << ": " << line.text;

    const auto requests = server.requests();
    for (const char* page : {"/book/tree.html", "/book/index.html"})
        EXPECT_NE(std::find(requests.begin(), requests.end(), page), requests.end()) << page;
}

TEST(FolioNet, SaysSoWhenTheLibraryCannotBeReached) {
    std::string base;
    {
        LocalServer gone; // its port is closed again when it goes
        base = gone.base();
    }
    TempDir folder;
    writeSettings(folder, base);

    const std::string message = "无法连接在线书库";
    runReader(folder, [&](const std::vector<PaneLine>& lines) {
        const auto tree = lastOf(lines, "WebTree"), book = lastOf(lines, "WebBook");
        return tree && book && contains(tree->text, message) && contains(book->text, message);
    });
    const auto lines = readReport(folder.file("report.txt"));
    const auto tree = lastOf(lines, "WebTree"), book = lastOf(lines, "WebBook");
    ASSERT_TRUE(tree && book);
    EXPECT_TRUE(contains(tree->text, message)) << tree->text;
    EXPECT_TRUE(contains(book->text, message)) << book->text;
    EXPECT_TRUE(contains(book->text, base)) << "the message names the library: " << book->text;
    EXPECT_FALSE(fs::exists(folder.path / "index.html"));
    EXPECT_FALSE(fs::exists(folder.path / "tree" / "tree.html"));
}
