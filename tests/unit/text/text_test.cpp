// The ANSI text layer: CP936 conversion, line splitting and name upper-casing.
#include "core/text.h"

#include "core/fileio.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace folio;

namespace {

std::string tempPath(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("folio_text_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

void writeRaw(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(AnsiConversion, ChineseRoundTripsThroughCp936Bytes) {
    const std::string title = "道德经：老子";
    const std::string ansi = toAnsi(title);
    EXPECT_EQ(ansi, "\xB5\xC0\xB5\xC2\xBE\xAD\xA3\xBA\xC0\xCF\xD7\xD3");
    EXPECT_EQ(fromAnsi(ansi), title);
    EXPECT_EQ(toAnsi("index.html"), "index.html");
}

TEST(AnsiConversion, UnmappableAndInvalidBecomeOneQuestionMarkEach) {
    // Two emoji and a Hangul syllable are outside CP936: one "?" per character, not per byte.
    EXPECT_EQ(toAnsi("a\xF0\x9F\x98\x80\xF0\x9F\x98\x81"
                     "b"),
              "a??b");
    EXPECT_EQ(toAnsi("中\xEA\xB0\x80文"), "\xD6\xD0?\xCE\xC4");
    // Bytes that are not UTF-8: each becomes "?", and conversion goes on after them.
    EXPECT_EQ(toAnsi("x\xFF\xFEy"), "x??y");
    EXPECT_EQ(toAnsi("\xE4\xB8"), "??");      // cut-off character at the end
    EXPECT_EQ(toAnsi("\xED\xA0\x80"), "???"); // an encoded surrogate is not UTF-8
}

TEST(AnsiConversion, InvalidCp936BecomesReplacementCharacter) {
    EXPECT_EQ(fromAnsi("a\xFF"
                       "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(fromAnsi("\xD6"), "\xEF\xBF\xBD"); // lead byte without its trail byte
    EXPECT_EQ(fromAnsi("\xD6\xD0\xD6"), "中\xEF\xBF\xBD");
}

// The decoding table gives what the system's converter gives, for every pair of bytes (and a
// byte alone): a pair, else the first byte alone, else U+FFFD for it.
TEST(AnsiConversion, EveryBytePairDecodesAsTheConverterDecodesIt) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    auto converted = [&](std::string bytes) {
        std::string out;
        char* in = bytes.data();
        for (std::size_t left = bytes.size(); left > 0;) {
            char buffer[16], *to = buffer;
            std::size_t room = sizeof buffer;
            const bool stopped =
                iconv(cd, &in, &left, &to, &room) == std::size_t(-1) && errno != E2BIG;
            out.append(buffer, static_cast<std::size_t>(to - buffer));
            if (stopped) {
                out += "\xEF\xBF\xBD"; // the byte it stops at
                ++in, --left;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    };
    for (int a = 0x80; a < 0x100; ++a)
        for (int b = -1; b < 0x100; ++b) {
            std::string bytes(1, static_cast<char>(a));
            if (b >= 0)
                bytes += static_cast<char>(b);
            ASSERT_EQ(fromAnsi(bytes), converted(bytes)) << a << " " << b;
        }
    iconv_close(cd);
}

TEST(Lines, CrLfAndLoneCrEndLinesLoneLfStaysInside) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitAnsiLines("a\r\nb\rc\nd"), (V{"a", "b", "c\nd"}));
    EXPECT_EQ(splitAnsiLines("a\r\n"), (V{"a"}));
    EXPECT_EQ(splitAnsiLines("a\r\n\r\n"), (V{"a", ""}));
    EXPECT_EQ(splitAnsiLines("\r\n"), (V{""}));
    EXPECT_EQ(splitAnsiLines(""), V{});
    EXPECT_EQ(splitAnsiLines("\r\r\n"), (V{"", ""}));
    EXPECT_EQ(splitLinesAnyEnd("a\nb\r\nc\rd\n\n"), (V{"a", "b", "c", "d", ""}));
}

TEST(Encoding, ByteOrderMarkThenMetaDeclarationThenValidUtf8ElseCp936) {
    const std::string utf8 = "第一章", gbk = toAnsi(utf8);
    // A byte-order mark decides, and is no part of the text.
    EXPECT_EQ(decodeToUtf8("\xEF\xBB\xBF<meta charset=gbk>" + utf8, true),
              "<meta charset=gbk>" + utf8);
    EXPECT_EQ(decodeToUtf8(std::string("\xFF\xFE\x2C\x7B", 4), true), "第");
    EXPECT_EQ(decodeToUtf8(std::string("\xFE\xFF\x7B\x2C\x7B", 5), false), "第\xEF\xBF\xBD");
    // Either form of <meta>; a script's charset names the script's encoding, not the page's.
    const auto found = [](const std::string& bytes) {
        return detectEncoding(bytes, true).encoding;
    };
    EXPECT_EQ(found("<META charset=\"GBK\">" + utf8), TextEncoding::Ansi);
    EXPECT_EQ(found("<meta http-equiv=Content-Type content='text/html; charset=utf-8'>" + gbk),
              TextEncoding::Utf8);
    EXPECT_EQ(found("<script charset=utf-8></script><meta charset=gb2312>" + utf8),
              TextEncoding::Ansi);
    EXPECT_EQ(found("<metadata charset=gbk>" + utf8), TextEncoding::Utf8);
    // Undeclared, and always in plain text: valid UTF-8, else CP936.
    EXPECT_EQ(decodeToUtf8("<p>" + gbk, true), "<p>" + utf8);
    EXPECT_EQ(decodeToUtf8("<meta charset=gbk>" + utf8, false), "<meta charset=gbk>" + utf8);
    // Declared UTF-8 that is not: each stray byte is one U+FFFD, so the text is UTF-8.
    EXPECT_EQ(decodeToUtf8("<meta charset=utf-8>\xB5", true), "<meta charset=utf-8>\xEF\xBF\xBD");
}

TEST(ReadPageText, EveryLineFollowedByCrLf) {
    const std::string p = tempPath("page.html");
    writeRaw(p, "<TITLE>\xB5\xC0</TITLE>\nx\ry\r\nlast");
    auto text = ReadPageText(p);
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, "<TITLE>道</TITLE>\nx\r\ny\r\nlast\r\n");

    writeRaw(p, "");
    EXPECT_EQ(ReadPageText(p).value(), "");
}

TEST(ReadPageText, MissingFileIsAnErrorNamingIt) {
    auto text = ReadPageText(tempPath("no-such-page.html"));
    ASSERT_FALSE(text);
    EXPECT_NE(text.error().message.find("no-such-page.html"), std::string::npos);
}

TEST(AnsiLines, WriteThenReadRoundTripsWithCrLf) {
    const std::string p = tempPath("lines.ini");
    ASSERT_TRUE(writeAnsiLines(p, {"电子书名称：书", "", "x"}));
    auto bytes = readFileBytes(p);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()),
              "\xB5\xE7\xD7\xD3\xCA\xE9\xC3\xFB\xB3\xC6\xA3\xBA\xCA\xE9\r\n\r\nx\r\n");
    EXPECT_EQ(readAnsiLines(p).value(), (std::vector<std::string>{"电子书名称：书", "", "x"}));
}

TEST(UpperCase, FoldsAsciiAndOtherLettersLeavesChineseAlone) {
    EXPECT_EQ(toUpperUnicode("index.html"), "INDEX.HTML");
    EXPECT_EQ(toUpperUnicode("Tree.Html"), "TREE.HTML");
    EXPECT_EQ(toUpperUnicode("café"), "CAFÉ");
    EXPECT_EQ(toUpperUnicode("第一章.html"), "第一章.HTML");
    EXPECT_EQ(toUpperUnicode("ß"), "ß"); // never one character into two
}

TEST(Utf16, RoundTripIncludingSupplementaryPlane) {
    const std::string s = "A中\xF0\x9F\x98\x80";
    const std::u16string w = utf8ToUtf16(s);
    EXPECT_EQ(w, (std::u16string{u'A', u'中', char16_t(0xD83D), char16_t(0xDE00)}));
    EXPECT_EQ(utf16ToUtf8(w), s);
    EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xD800)}), "\xEF\xBF\xBD");
}

// Resource names fold one UTF-16 unit at a time, as the loader does: the writer's order and a
// book's lookups must agree even for names a round trip through UTF-8 would change.
TEST(Text, ResourceNamesUpperCaseUnitByUnit) {
    EXPECT_EQ(toUpperUtf16(u"index.html"), u"INDEX.HTML");
    EXPECT_EQ(toUpperUtf16(u"é章ß"), u"É章ß") << "letters without a one-unit upper case stay";
    // A lone surrogate half survives (UTF-8 would turn it into U+FFFD), and the halves of a
    // pair are left alone, so a lookup folds a stored name exactly as the writer did.
    const std::u16string lone = {u'a', 0xD801, u'b'};
    EXPECT_EQ(toUpperUtf16(lone), (std::u16string{u'A', 0xD801, u'B'}));
    const std::u16string pair = {0xD801, 0xDC28};
    EXPECT_EQ(toUpperUtf16(pair), pair);
    EXPECT_EQ(toUpperUnit(u'z'), u'Z');
}
