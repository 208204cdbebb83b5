// The Windows reader template and skin DLL, run under Wine on a virtual display, and checked
// with pefile and wrestool. Book images are made from the template with Wine's own resource
// update calls (tests/e2e/win32/addresource.cpp).
#include "tests/tools/shell.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using folio::testing::runCommand;
using folio::testing::shellQuote;

namespace {

const fs::path Dist = FOLIO_DIST_DIR;
const fs::path Template = Dist / "folioPage" / "folioPage.dat";
const fs::path WinBin = fs::path(FOLIO_BINARY_DIR) / "win32";
const fs::path Here = fs::path(FOLIO_SOURCE_DIR) / "tests" / "e2e" / "win32";
const fs::path CheckPe = fs::path(FOLIO_SOURCE_DIR) / "tests" / "tools" / "check_pe.py";

using Outcome = folio::testing::CommandOutput; // stdout and stderr together

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

class Win32 : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Template)) << Template;
        dir = fs::path(FOLIO_BINARY_DIR) / "win32-e2e" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
        prefix =
            "WINEPREFIX=" + shellQuote((fs::path(FOLIO_BINARY_DIR) / "wineprefix").string()) + " ";
    }

    // Runs a command under Wine, in `dir`.
    Outcome wine(const std::string& args) {
        return runCommand("cd " + shellQuote(dir.string()) + " && " + prefix +
                          shellQuote((Here / "wine-run.sh").string()) + " " + args);
    }

    // A copy of the template with the given resources added: (type, name, data) in 1033.
    fs::path makeBook(const std::string& file,
                      const std::vector<std::array<std::string, 3>>& resources) {
        const fs::path book = dir / file;
        fs::copy_file(Template, book);
        std::string args =
            "wine " + shellQuote((WinBin / "addresource.exe").string()) + " " + shellQuote(file);
        int n = 0;
        for (const auto& [type, name, data] : resources) {
            const std::string dataFile = "res" + std::to_string(n++) + ".bin";
            writeFile(dir / dataFile, data);
            args += " " + shellQuote(type) + " " + shellQuote(name) + " 1033 " + dataFile;
        }
        const Outcome r = wine(args);
        EXPECT_EQ(r.status, 0) << r.output;
        return book;
    }

    std::string caption(const fs::path& program) {
        const Outcome r = wine("sh " + shellQuote((Here / "caption.sh").string()) + " " +
                               shellQuote(program.string()));
        EXPECT_EQ(r.status, 0) << r.output;
        std::string text = r.output;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    }

    Outcome checkpe(const std::string& mode, const fs::path& file, const std::string& extra = "") {
        return runCommand("/usr/bin/python3 " + shellQuote(CheckPe.string()) + " " +
                          shellQuote(file.string()) + " --" + mode +
                          (extra.empty() ? "" : " " + shellQuote(extra)));
    }

    fs::path dir;
    std::string prefix;
};

const std::string Page = "<html><body>page</body></html>";

TEST_F(Win32, TemplateCarriesExactlyIconGroupAndVersion) {
    const Outcome pe = checkpe("template", Template);
    EXPECT_EQ(pe.status, 0) << pe.output;
    // wrestool reads the resource tree its own way: the same three entries and no manifest.
    const Outcome w = runCommand("wrestool -l " + shellQuote(Template.string()));
    EXPECT_EQ(w.status, 0);
    EXPECT_NE(w.output.find("--type=3 --name=30001 --language=0 [type=icon"), std::string::npos)
        << w.output;
    EXPECT_NE(w.output.find("size=3240]"), std::string::npos) << w.output;
    EXPECT_NE(w.output.find("--type=14 --name=1 --language=0"), std::string::npos) << w.output;
    EXPECT_NE(w.output.find("--type=16 --name=1 --language=2052"), std::string::npos) << w.output;
    EXPECT_EQ(std::count(w.output.begin(), w.output.end(), '\n'), 3) << w.output;
}

TEST_F(Win32, BookShowsTitleAndAuthorInItsCaption) {
    const std::string descriptor = "Book:Me:index.html:tree.html:::::2026-12-06";
    const fs::path book = makeBook(
        "mybook.exe",
        {{"CUSTOM", "101", descriptor}, {"2110", "INDEX.HTML", Page}, {"2110", "TREE.HTML", Page}});
    const Outcome pe = checkpe("book", book, descriptor);
    EXPECT_EQ(pe.status, 0) << pe.output;
    EXPECT_EQ(caption(book), "folioPage-Book-Me");
}

TEST_F(Win32, UnreadableDescriptorGivesThePlainCaption) {
    // Two fields only, and no descriptor at all: both fall back to the about page.
    const fs::path shortBook = makeBook("short.exe", {{"CUSTOM", "101", "Book:Me"}});
    EXPECT_EQ(caption(shortBook), "folioPage");
    fs::copy_file(Template, dir / "bare.exe");
    EXPECT_EQ(caption(dir / "bare.exe"), "folioPage");
}

TEST_F(Win32, ChineseDescriptorIsReadAsCodePage936) {
    // "书名" and "作者" in CP936
    const fs::path book = makeBook(
        "cn.exe", {{"CUSTOM", "101", "\xCA\xE9\xC3\xFB:\xD7\xF7\xD5\xDF:index.html:tree.html"}});
    EXPECT_EQ(caption(book), "folioPage-书名-作者");
}

TEST_F(Win32, SkinLibraryExportsTheThreeCallsByName) {
    fs::copy_file(Dist / "folioPage" / "SkinH_VB6.dll", dir / "SkinH_VB6.dll");
    fs::copy_file(fs::path(FOLIO_SOURCE_DIR) / "data" / "skin" / "aero.she", dir / "aero.she");
    fs::copy_file(WinBin / "skincall.exe", dir / "skincall.exe");
    const Outcome r = wine("wine skincall.exe aero.she Aero");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("OK"), std::string::npos) << r.output;
    // undecorated stdcall names, as GetProcAddress callers spell them
    const Outcome exports =
        runCommand("i686-w64-mingw32-objdump -p " + shellQuote((dir / "SkinH_VB6.dll").string()));
    for (const char* name : {"SkinH_Attach", "SkinH_SetWindowAlpha", "SkinH_AttachEx"}) {
        EXPECT_NE(exports.output.find(std::string("] ") + name + "\n"), std::string::npos) << name;
    }
    EXPECT_EQ(exports.output.find("@8"), std::string::npos);
}

TEST_F(Win32, SkinnedBookStartsWithTheSkinBesideIt) {
    fs::copy_file(Dist / "folioPage" / "SkinH_VB6.dll", dir / "SkinH_VB6.dll");
    fs::copy_file(fs::path(FOLIO_SOURCE_DIR) / "data" / "skin" / "jade.she", dir / "aero.she");
    const fs::path book = makeBook("skinned.exe", {{"CUSTOM", "101", "A:B:index.html:tree.html"}});
    EXPECT_EQ(caption(book), "folioPage-A-B");
    // A skin file without the library beside it must not stop the book either.
    fs::remove(dir / "SkinH_VB6.dll");
    EXPECT_EQ(caption(book), "folioPage-A-B");
}

TEST_F(Win32, BookPagesRunNoActiveContentAndReachNoFilesOrLoopback) {
    // The panes' host services, without a browser: no engine runs under this Wine.
    fs::copy_file(WinBin / "security_probe.exe", dir / "security_probe.exe");
    const Outcome r = wine("wine security_probe.exe");
    ASSERT_EQ(r.status, 0) << r.output;
    // Refused: URLPOLICY_DISALLOW with S_FALSE, and the navigation cancelled.
    for (const char* refused : {"activex-run 3 0x00000001", "activex-download 3 0x00000001",
                                "java 3 0x00000001", "file 3 0x00000001", "loopback 3 0x00000001",
                                "navigate-file cancel", "navigate-loopback cancel"})
        EXPECT_NE(r.output.find(refused), std::string::npos) << refused << "\n" << r.output;
    // The book's own pages keep their scripts and their way to each other.
    EXPECT_NE(r.output.find("own-script default"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("navigate-own open"), std::string::npos) << r.output;
    // Pictures, videos, sounds (0x70) and scripts (no 0x80) come; ActiveX run or download,
    // Java, behaviours (0x700, 0x8000) and the control's dialogs (0x40000000) do not.
    const std::size_t at = r.output.find("dlcontrol 0x");
    ASSERT_NE(at, std::string::npos) << r.output;
    const unsigned long flags = std::stoul(r.output.substr(at + 12, 8), nullptr, 16);
    EXPECT_EQ(flags & 0x400087F0UL, 0x40008770UL) << r.output;
}

} // namespace
