// The res: address parsing of the reader's scheme handler, without a browser.
#include "qt/resschemehandler.h"

#include <gtest/gtest.h>

using folio::qt::parseResPath;

TEST(ResPath, NamesInsideTheOpenBookOnly) {
    const std::string prefix = "/books/my book.exe/";
    auto page = parseResPath("/books/my book.exe/index.html", prefix);
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->type.isString);
    EXPECT_EQ(page->type.id, 2110);
    EXPECT_EQ(page->name, "index.html");

    auto typed = parseResPath("/books/my book.exe/#2110/INDEX.HTML", prefix);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->type.id, 2110);
    EXPECT_EQ(typed->name, "INDEX.HTML");

    auto custom = parseResPath("/books/my book.exe/CUSTOM/101", prefix);
    ASSERT_TRUE(custom);
    EXPECT_TRUE(custom->type.isString);
    EXPECT_EQ(custom->name, "101");

    // Another file, a bare prefix, a deeper path, and a sibling whose name merely starts
    // like the book's are all refused.
    EXPECT_FALSE(parseResPath("/etc/passwd", prefix));
    EXPECT_FALSE(parseResPath("/books/other.exe/index.html", prefix));
    EXPECT_FALSE(parseResPath("/books/my book.exe/", prefix));
    EXPECT_FALSE(parseResPath("/books/my book.exe/a/b/c.html", prefix));
    EXPECT_FALSE(parseResPath("/books/my book.exe2/index.html", prefix));
    EXPECT_FALSE(parseResPath("/books/my book.exe/index.html", ""));
}

TEST(ResPath, MimeTypesByExtension) {
    EXPECT_EQ(folio::qt::mimeTypeForName("INDEX.HTML"), "text/html");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.htm"), "text/html");
    EXPECT_EQ(folio::qt::mimeTypeForName("XS.CSS"), "text/css");
    EXPECT_EQ(folio::qt::mimeTypeForName("tree.js"), "text/javascript");
    EXPECT_EQ(folio::qt::mimeTypeForName("LOGO.JPG"), "image/jpeg");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.jpeg"), "image/jpeg");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.png"), "image/png");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.gif"), "image/gif");
    EXPECT_EQ(folio::qt::mimeTypeForName("SONG.MP3"), "audio/mpeg");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.wav"), "audio/wav");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.svg"), "image/svg+xml");
    EXPECT_EQ(folio::qt::mimeTypeForName("README"), "application/octet-stream");
    EXPECT_EQ(folio::qt::mimeTypeForName("a.exe"), "application/octet-stream");
}
