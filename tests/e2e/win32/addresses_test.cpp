// The Windows reader builds its caption and pane addresses with its own small code (the core
// does not build with the Windows tool chain); these cases hold it to the core's rules.
#include "core/book.h"
#include "reader/win32/descriptor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using folio::win32::bookStart;
using folio::win32::resourcePrefix;

std::wstring wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct Case {
    const char* folder;
    const char* file;
    const char* descriptor;
};

TEST(ReaderAddresses, AgreeWithTheCoreForEveryEdgeCase) {
    const Case cases[] = {
        {"C:\\Books", "mybook.exe", "Book:Me:index.html:tree.html:::::2026-12-06"},
        {"D:", "mybook.exe", "Book:Me:index.html:tree.html"},       // drive root: one "\"
        {"C:\\Books", "book2.exe", "Book:Me:index.html:tree.html"}, // a renamed copy
        {"C:\\out", "mybook.exe.exe", "Book::index.html:tree.html:::::2026-12-06"},
        {"C:\\Books", "b.exe", "Vol:1:Me:index.html:tree.html"}, // ':' in the title
        {"C:\\Books", "b.exe", ":::"},                           // four empty fields
        {"C:\\Books", "b.exe", "Book:Me"},
        {"C:\\Books", "b.exe", ""},
        {"C:\\Books", "b.exe", "Book:Me:index.html"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " | " + c.file + " | " + c.descriptor);
        const std::string corePrefix = folio::book::resourcePrefix(c.folder, c.file, '\\');
        const std::wstring prefix = resourcePrefix(wide(c.folder) + L"\\" + wide(c.file));
        EXPECT_EQ(prefix, wide(corePrefix));
        const auto core = folio::book::readerAddresses(c.descriptor, corePrefix);
        const auto ours = bookStart(wide(c.descriptor), prefix);
        ASSERT_EQ(core.has_value(), ours.has_value());
        if (!ours)
            continue;
        EXPECT_EQ(ours->caption, wide(core->caption));
        EXPECT_EQ(ours->contentsUrl, wide(core->contentsUrl));
        EXPECT_EQ(ours->homeUrl, wide(core->homeUrl));
    }
}

TEST(ReaderAddresses, MatchTheBookLayoutExamples) {
    const auto start = bookStart(L"Book:Me:index.html:tree.html:::::2026-12-06",
                                 resourcePrefix(L"C:\\Books\\mybook.exe"));
    ASSERT_TRUE(start);
    EXPECT_EQ(start->caption, L"folioPage-Book-Me");
    EXPECT_EQ(start->contentsUrl, L"RES://C:\\Books\\mybook.exe/tree.html");
    EXPECT_EQ(start->homeUrl, L"RES://C:\\Books\\mybook.exe/index.html");
    EXPECT_EQ(resourcePrefix(L"D:\\mybook.exe"), L"RES://D:\\mybook.exe/");
    EXPECT_EQ(resourcePrefix(L"C:\\out\\mybook.exe.exe"), L"RES://C:\\out\\mybook.exe.exe/");

    // A colon in the title shifts everything after it.
    const auto shifted = bookStart(L"Vol:1:Me:index.html", L"P/");
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->caption, L"folioPage-Vol-1");
    EXPECT_EQ(shifted->homeUrl, L"P/Me");
    EXPECT_EQ(shifted->contentsUrl, L"P/index.html");
}

TEST(ContentsLinks, OnlyTreePagesScriptsAndBlankStayInTheContentsPane) {
    using folio::win32::contentsLinkGoesToPagePane;
    const std::wstring prefix = L"RES://C:\\Books\\mybook.exe/";
    EXPECT_FALSE(contentsLinkGoesToPagePane(prefix + L"tree.html"));
    EXPECT_FALSE(contentsLinkGoesToPagePane(prefix + L"TREE.HTML"));
    EXPECT_FALSE(contentsLinkGoesToPagePane(prefix + L"mytree.Html")); // any name ending so
    EXPECT_FALSE(contentsLinkGoesToPagePane(L"javascript:d.o(3)"));
    EXPECT_FALSE(contentsLinkGoesToPagePane(L"JavaScript:void(0)"));
    EXPECT_FALSE(contentsLinkGoesToPagePane(L"about:blank"));
    EXPECT_TRUE(contentsLinkGoesToPagePane(prefix + L"chapter2.html"));
    EXPECT_TRUE(contentsLinkGoesToPagePane(prefix + L"tree.html#top"));
    EXPECT_TRUE(contentsLinkGoesToPagePane(L"about:blank#x"));
    EXPECT_TRUE(contentsLinkGoesToPagePane(L"http://example.org/"));
    EXPECT_TRUE(contentsLinkGoesToPagePane(L""));
}

} // namespace
