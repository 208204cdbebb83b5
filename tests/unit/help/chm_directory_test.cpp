// The help file directory check and mend on real chmcmd output, and the launcher around chmcmd.
#include "core/fileio.h"
#include "maker/hhc/chmformat.h"
#include "maker/hhc/chmheader.h"
#include "maker/hhc/helpcompiler.h"
#include "tests/unit/help/helptest.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace folio;
using namespace helptest;
namespace fs = std::filesystem;

namespace {

// Enough pages that chmcmd needs several listing chunks for the directory.
constexpr int LargeBook = 600;

struct Compiled {
    std::vector<std::string> pages;
    std::string chm;
};

// chmcmd's own output for `n` pages, made in `dir`, before any mend.
Compiled chmcmdBook(const TempDir& dir, int n) {
    Compiled c;
    c.pages = writePages(dir, n);
    dir.write("Book.hhp", bareProject("Book", c.pages));
    const auto r = chmcmd(dir.str(), "Book.hhp");
    EXPECT_EQ(r.status, 0) << r.output;
    c.chm = dir.file("Book.chm");
    return c;
}

std::uint32_t dirOffset(const std::string& bytes) {
    chm::format::itsf_header h;
    std::memcpy(&h, bytes.data(), sizeof h);
    return static_cast<std::uint32_t>(h.dir_offset);
}

template <class T> void poke(std::string& bytes, std::size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

} // namespace

TEST(HelpDirectory, LargeBookFromChmcmdIsMendedAndEveryPageExtractsUnchanged) {
    HELP_REQUIRE_CHMCMD();
    HELP_REQUIRE_LIBCHM();
    TempDir dir;
    const Compiled book = chmcmdBook(dir, LargeBook);
    const std::string asWritten = dir.read("Book.chm");

    auto before = chm::checkDirectory(
        std::span(reinterpret_cast<const std::uint8_t*>(asWritten.data()), asWritten.size()),
        book.chm);
    ASSERT_TRUE(before) << before.error().message;
    ASSERT_GT(before->listingChunks, 1u);
    EXPECT_TRUE(before->needsMend()) << "chmcmd named chunk " << before->recordedHead;
    // The fault is real: libchm starts at the wrong chunk and misses pages.
    EXPECT_LT(extractAll(book.chm, dir.file("unmended")).size(), book.pages.size());

    auto mended = chm::mendListingStart(book.chm);
    ASSERT_TRUE(mended) << mended.error().message;
    EXPECT_EQ(mended->actualHead, before->actualHead);
    const std::string after = dir.read("Book.chm");
    ASSERT_EQ(after.size(), asWritten.size());
    // Exactly the one field changed.
    const std::size_t field = dirOffset(asWritten) + chm::format::IndexHeadOffset;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i < field || i >= field + 4) {
            ASSERT_EQ(after[i], asWritten[i]) << "byte " << i;
        }
    }
    expectPagesExtracted(dir.path, book.chm, book.pages, dir.file("mended"));

    // A mended file is sound: a second pass leaves it alone.
    auto again = chm::mendListingStart(book.chm);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->needsMend());
    EXPECT_EQ(dir.read("Book.chm"), after);
}

TEST(HelpDirectory, SoundSmallBookIsLeftAloneAndAWrongHeadIsMended) {
    HELP_REQUIRE_CHMCMD();
    HELP_REQUIRE_LIBCHM();
    TempDir dir;
    const Compiled book = chmcmdBook(dir, 3);
    const std::string sound = dir.read("Book.chm");
    auto check = chm::mendListingStart(book.chm);
    ASSERT_TRUE(check) << check.error().message;
    EXPECT_FALSE(check->needsMend());
    EXPECT_EQ(check->listingChunks, 1u);
    EXPECT_EQ(dir.read("Book.chm"), sound);

    // The same field damaged by hand is put right again.
    std::string damaged = sound;
    poke<std::int32_t>(damaged, dirOffset(sound) + chm::format::IndexHeadOffset, 5);
    dir.write("Book.chm", damaged);
    auto mended = chm::mendListingStart(book.chm);
    ASSERT_TRUE(mended) << mended.error().message;
    EXPECT_EQ(mended->recordedHead, 5);
    EXPECT_EQ(dir.read("Book.chm"), sound);
    expectPagesExtracted(dir.path, book.chm, book.pages, dir.file("x"));
}

TEST(HelpDirectory, DamagedFilesAreRefusedWithTheFileNamedAndLeftUnchanged) {
    HELP_REQUIRE_CHMCMD();
    TempDir dir;
    const Compiled book = chmcmdBook(dir, LargeBook);
    const std::string good = dir.read("Book.chm");
    const std::size_t itsp = dirOffset(good);
    const std::size_t chunks = itsp + sizeof(chm::format::itsp_header);
    const std::size_t chunkSize = 0x1000;

    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
        const char* expected; // part of the message
    };
    const std::vector<Damage> damages = {
        {"not a help file", [](std::string& b) { b.replace(0, 4, "MZ\0\0", 4); }, "ITSF"},
        {"cut short", [&](std::string& b) { b.resize(itsp + 0x40); }, "end of the file"},
        {"directory header signature", [&](std::string& b) { b.replace(itsp, 4, "XXXX"); }, "ITSP"},
        {"chunk size", [&](std::string& b) { poke<std::uint32_t>(b, itsp + 0x10, 3000); },
         "power of two"},
        {"chunk count", [&](std::string& b) { poke<std::uint32_t>(b, itsp + 0x2c, 100000); },
         "do not fit"},
        {"chunk signature", [&](std::string& b) { b.replace(chunks + chunkSize, 4, "ABCD"); },
         "PMGL"},
        {"back link", [&](std::string& b) { poke<std::int32_t>(b, chunks + chunkSize + 12, 7); },
         "chunk"},
        {"two first chunks",
         [&](std::string& b) { poke<std::int32_t>(b, chunks + chunkSize + 12, -1); }, "both"},
        {"forward link loops",
         [&](std::string& b) { poke<std::int32_t>(b, chunks + chunkSize + 16, 1); }, "chain"},
        {"last chunk", [&](std::string& b) { poke<std::int32_t>(b, itsp + 0x24, 0); }, "last"},
        {"directory past the end",
         [&](std::string& b) { poke<std::uint64_t>(b, 0x50, std::uint64_t{1} << 62); },
         "past the end"},
    };
    for (const Damage& d : damages) {
        std::string bytes = good;
        d.apply(bytes);
        dir.write("Damaged.chm", bytes);
        auto r = chm::mendListingStart(dir.file("Damaged.chm"));
        ASSERT_FALSE(r) << d.what;
        EXPECT_NE(r.error().message.find(dir.file("Damaged.chm")), std::string::npos)
            << d.what << ": " << r.error().message;
        EXPECT_NE(r.error().message.find(d.expected), std::string::npos)
            << d.what << ": " << r.error().message;
        EXPECT_EQ(dir.read("Damaged.chm"), bytes) << d.what;
    }
}

TEST(HelpLauncher, ListedPagesLieBesideTheProjectUnderThisSystemsNames) {
    HELP_REQUIRE_CHMCMD();
    HELP_REQUIRE_LIBCHM();
    TempDir dir;
    // A Chinese page name is listed in CP936 by the maker and lies on disk in UTF-8; a page in a
    // subfolder is listed with a backslash; repeats and blank lines are dropped.
    const std::string chinese = "第一章.html";
    dir.write(chinese, pageText(1));
    fs::create_directories(dir.path / "sub");
    dir.write("sub/two.html", pageText(2));
    dir.write("My Book.hhp", bareProject("My Book", {"\xB5\xDA\xD2\xBB\xD5\xC2.html",
                                                     "sub\\two.html", "", "sub\\two.html"}));
    auto r = chm::compileHelpProject(dir.file("My Book.hhp"));
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r->chmPath, dir.file("My Book.chm"));
    expectPagesExtracted(dir.path, r->chmPath, {chinese, "sub/two.html"}, dir.file("x"));
    // Nothing of the run is left behind but the help file.
    for (const auto& e : fs::directory_iterator(dir.path))
        EXPECT_FALSE(e.path().filename().string().starts_with(".")) << e.path();
}

TEST(HelpLauncher, FailuresAreReportedAndKeepTheEarlierHelpFile) {
    HELP_REQUIRE_CHMCMD();
    TempDir dir;
    writePages(dir, 2);
    dir.write("Book.chm", "earlier");
    auto expectFailure = [&](const std::string& project, const std::string& chmcmd,
                             const std::string& expected) {
        dir.write("Book.hhp", project);
        auto r = chm::compileHelpProject(dir.file("Book.hhp"), chmcmd);
        ASSERT_FALSE(r) << expected;
        EXPECT_NE(r.error().message.find(expected), std::string::npos) << r.error().message;
        EXPECT_EQ(dir.read("Book.chm"), "earlier");
        EXPECT_FALSE(fs::exists(dir.file(".Book.hhc-run")));
    };
    // chmcmd would stop with an exception on the first missing file; all are named instead.
    expectFailure(bareProject("Book", {"page0001.html", "gone.html", "lost.html"}), "chmcmd",
                  "2 listed file(s) missing");
    expectFailure(bareProject("Book", {"page0001.html", "lost.html"}), "chmcmd", "lost.html");
    // The maker folder path a project might carry is refused, not silently dropped.
    expectFailure(bareProject("Book", {"/srv/maker/page0001.html"}), "chmcmd",
                  "line 6: the file \"/srv/maker/page0001.html\" lies outside");
    expectFailure(bareProject("Book", {"C:\\maker\\page0001.html"}), "chmcmd", "outside");
    expectFailure(bareProject("Book", {"../page0001.html"}), "chmcmd", "outside");
    // The help file would replace a page of the book.
    expectFailure("[OPTIONS]\r\nCompiled file=page0001.html\r\n[FILES]\r\npage0001.html\r\n",
                  "chmcmd", "ending in .chm");
    EXPECT_EQ(dir.read("page0001.html"), pageText(1));
    expectFailure(bareProject("Book", {"page0001.html"}), dir.file("no-such-chmcmd"),
                  "cannot start");
    // A compiler that runs but writes nothing.
    expectFailure(bareProject("Book", {"page0001.html"}), "true", "wrote no help file");

    auto missing = chm::compileHelpProject(dir.file("Nothing.hhp"));
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find(dir.file("Nothing.hhp")), std::string::npos);
}
