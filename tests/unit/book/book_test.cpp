// The Book image contract: descriptor text and its limits, page names, reader addresses, and
// reading a book back through the mapped, indexed view.
#include "core/book.h"

#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"
#include "tests/unit/book/bookcheck.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

using namespace folio;
using namespace folio::book;
namespace fs = std::filesystem;

namespace {

class BookFile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("folio_book_test_" + std::to_string(getpid()) + "_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_book = (m_dir / "book.exe").string();
        fs::copy_file(FOLIO_BOOK_FIXTURE, m_book);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void addPages(const std::vector<std::pair<std::string, std::string>>& pages) {
        auto u = pe::ResourceUpdater::begin(m_book, false);
        ASSERT_TRUE(u) << u.error().message;
        for (const auto& [name, body] : pages)
            u->update(pe::ResourceId::fromId(PageType), pageResourceName(name), ResourceLanguage,
                      Bytes(body.begin(), body.end()));
        auto e = u->end(false);
        ASSERT_TRUE(e) << e.error().message;
    }

    fs::path m_dir;
    std::string m_book;
};

std::string asText(std::span<const std::uint8_t> s) {
    return std::string(s.begin(), s.end());
}

} // namespace

TEST(Descriptor, NineFieldsEightColonsNothingTrimmed) {
    DescriptorFieldsIn f;
    f.title = "Book";
    f.indexPage = "index.html";
    f.contentsPage = "tree.html";
    f.date = "2026-12-06";
    EXPECT_EQ(descriptorText(f), "Book::index.html:tree.html:::::2026-12-06");
    EXPECT_EQ(splitDescriptor(descriptorText(f)).size(), 9u);

    f.title = " 书 ";
    f.webAddress = "http://x";
    const auto fields = splitDescriptor(descriptorText(f));
    ASSERT_EQ(fields.size(), 10u); // the web address's scheme colon splits it
    EXPECT_EQ(fields[0], " 书 ");
    EXPECT_EQ(fields[7], "http");
    EXPECT_EQ(fields[8], "//x");
}

TEST(Descriptor, AnsiByteLengthCountsCp936BytesAndRefusesOverflow) {
    EXPECT_EQ(AnsiByteLength("道德经:a").value(), 8);
    EXPECT_EQ(AnsiByteLength(std::string(32767, 'a')).value(), 32767);
    auto over = AnsiByteLength(std::string(32766, 'a') + "中"); // 32768 bytes
    ASSERT_FALSE(over);
    EXPECT_NE(over.error().message.find("32767"), std::string::npos);
    // 16384 Chinese characters are 32768 bytes even though they are fewer characters.
    std::string wide;
    for (int i = 0; i < 16384; ++i)
        wide += "书";
    EXPECT_FALSE(AnsiByteLength(wide));
}

TEST(PageNames, OwnNameUpperCasedWithoutFolder) {
    EXPECT_EQ(pageResourceName("index.html"), pe::ResourceId::fromName("INDEX.HTML"));
    EXPECT_EQ(pageResourceName("sub/Tree.html").name, utf8ToUtf16("TREE.HTML"));
    EXPECT_EQ(pageResourceName("第一章.html").name, utf8ToUtf16("第一章.HTML"));
    EXPECT_TRUE(pageResourceName("a.mp3").isString);
}

TEST(ReaderAddresses, PrefixUsesOwnNameWithoutFinalExtension) {
    EXPECT_EQ(resourcePrefix("/books", "mybook.exe.exe"), "RES:///books/mybook.exe.exe/");
    EXPECT_EQ(resourcePrefix("/books/", "/books/mybook.exe.exe"), "RES:///books/mybook.exe.exe/");
    EXPECT_EQ(resourcePrefix("C:\\Books", "mybook.exe", '\\'), "RES://C:\\Books\\mybook.exe/");

    auto a = readerAddresses("Book:Me:index.html:tree.html:::::2026-12-06",
                             "RES://C:\\Books\\mybook.exe/");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->caption, "folioPage-Book-Me");
    EXPECT_EQ(a->contentsUrl, "RES://C:\\Books\\mybook.exe/tree.html");
    EXPECT_EQ(a->homeUrl, "RES://C:\\Books\\mybook.exe/index.html");

    // A colon in the title shifts every later field.
    auto shifted = readerAddresses("A:B:Me:index.html:tree.html", "p/");
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->caption, "folioPage-A-B");
    EXPECT_EQ(shifted->homeUrl, "p/Me");
    EXPECT_FALSE(readerAddresses("Book:Me:index.html", "p/"));
}

TEST_F(BookFile, ChineseDescriptorStoredAsCp936AndReadBackUnchanged) {
    const std::string text = "道德经:老子:index.html:tree.html:::::2026-12-06";
    std::string why;
    ASSERT_EQ(WriteDescriptor(m_book, text, &why), 1) << why;

    auto book = BookImage::open(m_book);
    ASSERT_TRUE(book) << book.error().message;
    auto raw = (*book)->find(pe::ResourceId::fromName("custom"), "#101");
    ASSERT_TRUE(raw);
    EXPECT_EQ(asText(*raw), toAnsi(text)); // no terminator, no byte-order mark
    EXPECT_EQ((*book)->descriptor().value(), text);
    const pe::Resource* r = (*book)->image().find(pe::ResourceId::fromName("CUSTOM"),
                                                  pe::ResourceId::fromId(DescriptorId));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->language, ResourceLanguage);

    const auto pefile = bookcheck::pefileResources(m_book);
    EXPECT_NE(pefile.output.find("RES CUSTOM #101 1033 " + std::to_string(toAnsi(text).size())),
              std::string::npos)
        << pefile.output;
    EXPECT_NE(pefile.output.find("RES 3 #1"), std::string::npos) << pefile.output;
    EXPECT_NE(pefile.output.find("CHECKSUM ok"), std::string::npos) << pefile.output;
    const auto wrestool = bookcheck::wrestoolList(m_book);
    EXPECT_EQ(wrestool.status, 0) << wrestool.output;
    EXPECT_NE(wrestool.output.find("--type='CUSTOM' --name=101 --language=1033"), std::string::npos)
        << wrestool.output;
}

TEST_F(BookFile, DescriptorFailuresReturnZeroWithReasonAndLeaveFileAlone) {
    const auto before = readFileBytes(m_book).value();
    std::string why;
    EXPECT_EQ(WriteDescriptor(m_book, std::string(40000, 'a'), &why), 0);
    EXPECT_NE(why.find("32767"), std::string::npos) << why;
    EXPECT_EQ(readFileBytes(m_book).value(), before);

    const std::string notPe = (m_dir / "notes.txt").string();
    ASSERT_TRUE(writeFileAtomic(notPe, std::string("plain text, not a program")));
    why.clear();
    EXPECT_EQ(WriteDescriptor(notPe, "Book::index.html:tree.html:::::d", &why), 0);
    EXPECT_NE(why.find("notes.txt"), std::string::npos) << why;
    EXPECT_EQ(WriteDescriptor((m_dir / "absent.exe").string(), "x"), 0);
}

TEST_F(BookFile, PagesFoundByAnyCaseThroughTheSortedIndex) {
    std::vector<std::pair<std::string, std::string>> pages = {
        {"index.html", "<html>home</html>"},
        {"Tree.html", "tree"},
        {"第一章.html", "one"},
        {"cover.PNG", std::string("\x89PNG\0\x01", 6)}};
    for (int i = 0; i < 200; ++i)
        pages.emplace_back("p" + std::to_string(i) + ".html", "page " + std::to_string(i));
    addPages(pages);
    ASSERT_EQ(WriteDescriptor(m_book, "Book::index.html:tree.html:::::d"), 1);

    auto book = BookImage::open(m_book);
    ASSERT_TRUE(book) << book.error().message;
    const BookImage& b = **book;
    EXPECT_EQ(asText(b.find("index.html").value()), "<html>home</html>");
    EXPECT_EQ(asText(b.find("INDEX.HTML").value()), "<html>home</html>");
    EXPECT_EQ(asText(b.find("tree.HTML").value()), "tree");
    EXPECT_EQ(asText(b.find("第一章.html").value()), "one");
    EXPECT_EQ(asText(b.find("cover.png").value()), std::string("\x89PNG\0\x01", 6));
    for (int i = 0; i < 200; i += 37)
        EXPECT_EQ(asText(b.find("P" + std::to_string(i) + ".html").value()),
                  "page " + std::to_string(i));
    EXPECT_FALSE(b.find("missing.html"));
    EXPECT_FALSE(b.find("index.htm"));
    EXPECT_FALSE(b.find(pe::ResourceId::fromId(23), "index.html")); // another type
    EXPECT_TRUE(b.find(pe::ResourceId::parse("#2110"), "index.html"));
    EXPECT_TRUE(b.find(pe::ResourceId::fromId(pe::RT_GROUP_ICON), "#1"));

    const auto names = b.pageNames();
    EXPECT_EQ(names.size(), pages.size());
    EXPECT_NE(std::find(names.begin(), names.end(), "第一章.HTML"), names.end());

    const auto wrestool = bookcheck::wrestoolList(m_book);
    EXPECT_NE(wrestool.output.find("--type=2110 --name='INDEX.HTML' --language=1033"),
              std::string::npos)
        << wrestool.output;
    const auto pefile = bookcheck::pefileResources(m_book);
    EXPECT_NE(pefile.output.find("RES 2110 TREE.HTML 1033 4"), std::string::npos) << pefile.output;
    EXPECT_NE(pefile.output.find("CHECKSUM ok"), std::string::npos);
}

// Found by fuzzing: a damaged book's page name holding a lone UTF-16 surrogate. Names are asked
// for in UTF-8, which cannot hold one, so such a page was listed but never found.
TEST_F(BookFile, EveryListedPageIsFoundEvenWithALoneSurrogateInItsName) {
    auto u = pe::ResourceUpdater::begin(m_book, false);
    ASSERT_TRUE(u) << u.error().message;
    pe::ResourceId odd;
    odd.isString = true;
    odd.name = u"TREE.HTML\xDADA\x0198";
    u->update(pe::ResourceId::fromId(PageType), odd, ResourceLanguage, Bytes{'o', 'k'});
    ASSERT_TRUE(u->end(false));

    auto book = BookImage::open(m_book);
    ASSERT_TRUE(book) << book.error().message;
    for (const std::string& name : (*book)->pageNames())
        EXPECT_TRUE((*book)->find(name)) << name;
    EXPECT_FALSE((*book)->find("TREE.HTML"));
}

TEST_F(BookFile, BookWithoutDescriptorOpensButSaysSo) {
    auto book = BookImage::open(m_book);
    ASSERT_TRUE(book) << book.error().message;
    auto d = (*book)->descriptor();
    ASSERT_FALSE(d);
    EXPECT_NE(d.error().message.find("book.exe"), std::string::npos);
    EXPECT_TRUE((*book)->pageNames().empty());
}

TEST_F(BookFile, NonPeAndMissingFilesAreRefusedNamingThem) {
    const std::string junk = (m_dir / "junk.exe").string();
    ASSERT_TRUE(writeFileAtomic(junk, std::string("MZ but nothing more")));
    auto j = BookImage::open(junk);
    ASSERT_FALSE(j);
    EXPECT_NE(j.error().message.find("junk.exe"), std::string::npos);

    const std::string empty = (m_dir / "empty.exe").string();
    ASSERT_TRUE(writeFileAtomic(empty, std::string()));
    EXPECT_FALSE(BookImage::open(empty));

    auto missing = BookImage::open((m_dir / "gone.exe").string());
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("gone.exe"), std::string::npos);
}

TEST(ReaderAddresses, PrefixOfAFolderWithUrlSyntaxIsEncodedAndDecodesBack) {
    const std::string folder = "/books/C#/p%41q/a b?/中文";
    const std::string prefix = resourcePrefix(folder, "Book.exe");
    EXPECT_EQ(prefix, "RES:///books/C%23/p%2541q/a%20b%3F/%E4%B8%AD%E6%96%87/Book.exe/");
    // What a browser hands back as the decoded path is the book's own path again.
    std::string decoded;
    const std::string path = prefix.substr(6);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            decoded += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            EXPECT_EQ(std::string("#?% ").find(path[i]), std::string::npos) << path;
            decoded += path[i];
        }
    }
    EXPECT_EQ(decoded, folder + "/Book.exe/");
    // The Windows form stays as Windows builds it.
    EXPECT_EQ(resourcePrefix("C:\\C#", "b.exe", '\\'), "RES://C:\\C#\\b.exe/");
}
