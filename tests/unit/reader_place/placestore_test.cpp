// Places kept per book: found again by a copy or a moved book, not by a changed one; the file
// survives damage and stays bounded.
#include "reader/core/placestore.h"
#include "reader/core/readmarks.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "reader/core/statefile.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace folio;
using namespace folio::reader;
namespace fs = std::filesystem;

namespace {

// A Book image: the stand-in template with a descriptor and the given pages.
void makeBook(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& pages,
              const std::string& descriptor = "Book:Me:index.html:tree.html:::::2026-12-06") {
    fs::copy_file(FOLIO_BOOK_FIXTURE, path, fs::copy_options::overwrite_existing);
    auto u = pe::ResourceUpdater::begin(path, false);
    ASSERT_TRUE(u) << u.error().message;
    for (const auto& [name, body] : pages)
        u->update(pe::ResourceId::fromId(book::PageType), book::pageResourceName(name),
                  book::ResourceLanguage, Bytes(body.begin(), body.end()));
    auto e = u->end(false);
    ASSERT_TRUE(e) << e.error().message;
    std::string why;
    ASSERT_EQ(book::WriteDescriptor(path, descriptor, &why), 1) << why;
}

std::string keyOf(const std::string& path) {
    auto image = book::BookImage::open(path);
    EXPECT_TRUE(image) << image.error().message;
    return image ? bookKey(**image) : std::string();
}

const std::vector<std::pair<std::string, std::string>> Pages = {
    {"index.html", "<p>home</p>"},
    {"tree.html", "<a href='ch1.html'>1</a>"},
    {"ch1.html", "<p>one</p>"},
    {"ch2.html", "<p>two</p>"}};

} // namespace

TEST(BookKey, CopiedOrMovedBookKeepsItsKeyAndFindsItsPlace) {
    TempDir dir;
    const std::string first = dir.file("book.exe");
    makeBook(first, Pages);
    fs::create_directories(dir.path / "elsewhere");
    const std::string copy = (dir.path / "elsewhere" / "renamed.exe").string();
    fs::copy_file(first, copy);

    const std::string key = keyOf(first);
    ASSERT_EQ(key.size(), 16u);
    EXPECT_EQ(keyOf(copy), key);

    PlaceStore store(dir.file("state"));
    ASSERT_TRUE(store.remember(key, Place{"CH2.HTML", 0, 640, 140}));
    const auto place = store.find(keyOf(copy));
    ASSERT_TRUE(place);
    EXPECT_EQ(place->page, "CH2.HTML");
    EXPECT_EQ(place->scrollY, 640);
    EXPECT_EQ(place->zoom, 140);
}

TEST(BookKey, ChangedBookDoesNotReuseThePlace) {
    TempDir dir;
    makeBook(dir.file("a.exe"), Pages);
    const std::string key = keyOf(dir.file("a.exe"));

    // One page's text changed, same size: only the checksum tells.
    auto edited = Pages;
    edited[2].second = "<p>ONE</p>";
    makeBook(dir.file("b.exe"), edited);
    EXPECT_NE(keyOf(dir.file("b.exe")), key);

    // A page added.
    auto more = Pages;
    more.push_back({"ch3.html", "<p>three</p>"});
    makeBook(dir.file("c.exe"), more);
    EXPECT_NE(keyOf(dir.file("c.exe")), key);

    // Recompiled another day: only the descriptor's date differs.
    makeBook(dir.file("d.exe"), Pages, "Book:Me:index.html:tree.html:::::2026-12-07");
    EXPECT_NE(keyOf(dir.file("d.exe")), key);

    PlaceStore store(dir.file("state"));
    ASSERT_TRUE(store.remember(key, Place{"CH2.HTML", 0, 10, 100}));
    EXPECT_FALSE(store.find(keyOf(dir.file("b.exe"))));
    EXPECT_FALSE(store.find(keyOf(dir.file("d.exe"))));
}

TEST(BookKey, RebuiltBookGoesOnAtTheSamePageAndOtherBooksStayApart) {
    TempDir dir;
    const std::string path = dir.file("book.exe");
    makeBook(path, Pages);
    auto image = book::BookImage::open(path);
    ASSERT_TRUE(image);
    const std::string lineage = bookLineage(**image);
    PlaceStore store(dir.file("state"));
    ASSERT_TRUE(store.remember(
        keyOf(path), Place{"CH2.HTML", 0, 640, 140, lineage, *pageStamp(**image, "ch2.html")}));
    image->reset();

    // Compiled again with a chapter added: the same page, scroll and zoom.
    auto rebuild = [&](std::vector<std::pair<std::string, std::string>> pages,
                       const std::string& descriptor) {
        makeBook(path, pages, descriptor);
        auto again = book::BookImage::open(path);
        EXPECT_TRUE(again);
        std::shared_ptr<book::BookImage> shared(std::move(*again));
        return store.findFor(bookKey(*shared), bookLineage(*shared),
                             [shared](std::string_view page) { return pageStamp(*shared, page); });
    };
    // Where it opens: page, scroll, zoom.
    auto where = [](const std::optional<Place>& p) {
        return p ? p->page + " " + std::to_string(p->scrollY) + " " + std::to_string(p->zoom)
                 : std::string("home page");
    };
    const std::string title = "Book:Me:index.html:tree.html:::::2026-12-07";
    auto more = Pages;
    more.push_back({"ch3.html", "<p>three</p>"});
    EXPECT_EQ(where(rebuild(more, title)), "CH2.HTML 640 140");
    // The page itself changed: its top, at the zoom read at.
    auto edited = Pages;
    edited[3].second = "<p>two, longer now</p>";
    EXPECT_EQ(where(rebuild(edited, title)), "CH2.HTML 0 140");
    // The page is gone, or another title was compiled over the file.
    EXPECT_EQ(where(rebuild({Pages[0], Pages[1], Pages[2]}, title)), "home page");
    EXPECT_EQ(where(rebuild(more, "Other:Me:index.html:tree.html:::::2026-12-07")), "home page");
    // The same title in another file is another book.
    makeBook(dir.file("other.exe"), more, title);
    EXPECT_NE(bookLineage(**book::BookImage::open(dir.file("other.exe"))), lineage);

    // Reading the new build keeps one place for the book, not one per build.
    makeBook(path, more, title);
    ASSERT_TRUE(store.remember(keyOf(path), Place{"CH3.HTML", 0, 5, 100, lineage, ""}));
    EXPECT_EQ(readStateFile(store.filePath(), "folio places 1").size(), 1u);
}

TEST(PlaceStore, DamagedFileIsIgnoredAndThenReplaced) {
    TempDir dir;
    PlaceStore store(dir.str());
    const std::string key = "0123456789abcdef";

    // Random bytes, an empty file, a foreign header: nothing found, nothing thrown.
    dir.write("places", std::string("\x00\xff\x13garbage\r\n\t\t%%\r", 17));
    EXPECT_FALSE(store.find(key));
    dir.write("places", "");
    EXPECT_FALSE(store.find(key));
    dir.write("places", "something else\r\n" + key + "\t100\t0\t0\tA.HTML\r\n");
    EXPECT_FALSE(store.find(key));

    // Under the right header, broken lines are skipped and the sound ones still serve.
    const std::string good = "fedcba9876543210\t120\t0\t33\tGOOD.HTML";
    dir.write("places", "folio places 1\r\n" + key + "\t9999\t0\t0\tA.HTML\r\n" + // zoom
                            key + "\t100\t-5\t0\tA.HTML\r\n" +                    // scroll
                            key + "\t100\t0\t0\tA%zz.HTML\r\n" +                  // escape
                            key + "\t100\t0\t0\t\r\n" +                           // no page
                            "XYZ\t100\t0\t0\tA.HTML\r\n" + good + "\r\n");
    EXPECT_FALSE(store.find(key));
    ASSERT_TRUE(store.find("fedcba9876543210"));
    EXPECT_EQ(store.find("fedcba9876543210")->scrollY, 33);

    // Remembering rewrites the file with the sound lines only.
    ASSERT_TRUE(store.remember(key, Place{"B.HTML", 1, 2, 80}));
    EXPECT_EQ(dir.read("places"),
              "folio places 1\r\n" + key + "\t80\t1\t2\tB.HTML\t\t\r\n" + good + "\r\n");
}

TEST(PlaceStore, MostRecentFirstAndBounded) {
    TempDir dir;
    PlaceStore store(dir.str(), 3);
    const std::string keys[] = {"000000000000000a", "000000000000000b", "000000000000000c",
                                "000000000000000d"};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(store.remember(keys[i], Place{"P" + std::to_string(i), 0, i, 100}));
    // Reading the oldest again makes it the newest, so the next book pushes out "b".
    ASSERT_TRUE(store.remember(keys[0], Place{"P0", 0, 99, 100}));
    ASSERT_TRUE(store.remember(keys[3], Place{"P3", 0, 3, 100}));
    EXPECT_TRUE(store.find(keys[0]));
    EXPECT_EQ(store.find(keys[0])->scrollY, 99);
    EXPECT_FALSE(store.find(keys[1]));
    EXPECT_TRUE(store.find(keys[2]));
    EXPECT_TRUE(store.find(keys[3]));
    EXPECT_EQ(readStateFile(store.filePath(), "folio places 1").size(), 3u);
}

TEST(PlaceStore, ValuesAreKeptWithinBoundsAndOddPagesSurvive) {
    TempDir dir;
    PlaceStore store(dir.str());
    const std::string key = "00000000000000ff";
    EXPECT_FALSE(store.remember("not a key", Place{"A.HTML"}));
    EXPECT_FALSE(store.remember(key, Place{"", 0, 0, 100}));
    EXPECT_FALSE(fileExists(store.filePath()));

    const std::string page = "第一章 a\tb%20.HTML#x";
    ASSERT_TRUE(store.remember(key, Place{page, -4, 5, 1000}));
    const auto place = store.find(key);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->page, page);
    EXPECT_EQ(place->scrollX, 0);
    EXPECT_EQ(place->zoom, 400);
    // Plain ASCII on disk (so it is CP936 as well), one CR LF line per book.
    for (const char c : dir.read("places"))
        EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << dir.read("places");
}

TEST(ReadMarks, EachPageOnceWhateverItsCaseCarriedToARebuildAndBounded) {
    TempDir dir;
    ReadMarks marks(dir.str(), 2);
    const std::string key = "00000000000000a1", rebuilt = "00000000000000a2";
    const std::string lineage = "00000000000000b1";
    for (const char* page : {"ch1.html", "CH1.HTML#part", "%E7%AC%AC.html", "%e7%ac%ac.HTML?x"})
        ASSERT_TRUE(marks.markRead(key, lineage, page));
    const std::vector<std::string> read{"ch1.html", "%E7%AC%AC.html"};
    EXPECT_EQ(marks.pagesRead(key, lineage), read);
    // Compiled again: the marks go on, and the book keeps one line, not one per build.
    EXPECT_EQ(marks.pagesRead(rebuilt, lineage), read);
    ASSERT_TRUE(marks.markRead(rebuilt, lineage, "ch2.html"));
    EXPECT_EQ(marks.pagesRead(rebuilt, lineage).size(), 3u);
    EXPECT_EQ(readStateFile(marks.filePath(), "folio read pages 1").size(), 1u);
    EXPECT_TRUE(marks.pagesRead("00000000000000c1", "00000000000000d1").empty());
    // Two other books read later push the oldest out.
    ASSERT_TRUE(marks.markRead("00000000000000c1", "", "a.html"));
    ASSERT_TRUE(marks.markRead("00000000000000c2", "", "a.html"));
    EXPECT_TRUE(marks.pagesRead(rebuilt, lineage).empty());
    EXPECT_FALSE(marks.markRead("not a key", "", "a.html"));
    EXPECT_FALSE(marks.markRead(key, "", "#top"));

    // A damaged line is ignored, and left behind at the next write.
    dir.write("read", "folio read pages 1\r\nXYZ\t\ta.html\r\n" + key + "\t\tb%zz\r\n");
    EXPECT_TRUE(marks.pagesRead(key, "").empty());
    ASSERT_TRUE(marks.markRead(key, "", "c d.html"));
    EXPECT_EQ(dir.read("read"), "folio read pages 1\r\n" + key + "\t\tc%20d.html\r\n");
}

TEST(StateFolder, FollowsXdgStateHomeThenHome) {
    const char* oldXdg = std::getenv("XDG_STATE_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("XDG_STATE_HOME", "/x/state", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(stateFolder(), "/x/state/folio");
    ::setenv("XDG_STATE_HOME", "relative/state", 1); // not absolute: ignored
    EXPECT_EQ(stateFolder(), "/home/u/.local/state/folio");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(stateFolder(), "/home/u/.local/state/folio");
    ::unsetenv("HOME");
    EXPECT_EQ(stateFolder(), "");
    EXPECT_FALSE(PlaceStore().find("0000000000000000"));
    EXPECT_FALSE(PlaceStore().remember("0000000000000000", Place{"A.HTML"}));

    if (oldXdg)
        ::setenv("XDG_STATE_HOME", savedXdg.c_str(), 1);
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(StateFolder, MissingFolderIsCreatedOnFirstWrite) {
    TempDir dir;
    PlaceStore store((dir.path / "a" / "b").string());
    ASSERT_TRUE(store.remember("0000000000000001", Place{"A.HTML"}));
    EXPECT_TRUE(store.find("0000000000000001"));
}
