// Whole-book search: what counts as a page's text, and what a search over a book finds.
#include "reader/core/booksearch.h"

#include "core/book.h"
#include "core/pe.h"
#include "core/text.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>
#include <utility>

using namespace folio;
using folio::reader::BookSearch;
using folio::reader::ExtractPageText;
using folio::reader::SearchHit;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

reader::PageText extract(const std::string& page) {
    return ExtractPageText(bytesOf(page));
}

// A book on the PE32 stand-in holding the given (file name, bytes) resources as pages.
class SearchBook : public ::testing::Test {
  protected:
    std::unique_ptr<book::BookImage>
    build(const std::vector<std::pair<std::string, std::string>>& pages) {
        const std::string path = m_dir.file("book.exe");
        std::filesystem::copy_file(FOLIO_BOOK_FIXTURE, path,
                                   std::filesystem::copy_options::overwrite_existing);
        auto u = pe::ResourceUpdater::begin(path, false);
        EXPECT_TRUE(u.has_value());
        for (const auto& [name, bytes] : pages)
            u->update(pe::ResourceId::fromId(book::PageType), book::pageResourceName(name),
                      book::ResourceLanguage, Bytes(bytes.begin(), bytes.end()));
        EXPECT_TRUE(u->end(false).has_value());
        auto book = book::BookImage::open(path);
        EXPECT_TRUE(book.has_value());
        return std::move(*book);
    }
    TempDir m_dir;
};

std::string gbPage(const std::string& title, const std::string& body) {
    return toAnsi("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                  "charset=gb2312\"><title>" +
                  title + "</title></head><body>" + body + "</body></html>");
}

std::string utf8Page(const std::string& title, const std::string& body) {
    return "<html><head><meta charset='utf-8'><title>" + title + "</title></head><body>" + body +
           "</body></html>";
}

} // namespace

TEST(PageText, MarkupScriptsStylesCommentsAndAttributesAreNoText) {
    const auto t = extract(
        "<!DOCTYPE html><html><head><title> 第一章\r\n  开端 </title>"
        "<style>p { color: red } .秘密 {}</style>"
        "<script type='text/javascript'>var s = '<p>脚本</p>'; if (a < b) x();</script></head>"
        "<body><!-- 注释 <p>不显示</p> --><p class=\"note\" title='属性值'>正文"
        "<img alt=\"图片说明\" src=\"a.png\">继续</p><SCRIPT>alert('大写脚本')</SCRIPT>"
        "<a href=\"x.html\" onclick=\"return a>b\">链接</a></body></html>");
    EXPECT_EQ(t.title, "第一章 开端");
    EXPECT_EQ(t.text, "正文继续 链接");
}

TEST(PageText, InlineTagsJoinWordsBlockTagsAndBlanksSeparateThem) {
    EXPECT_EQ(extract("<p>中<b>华</b><span class=x>人民</span>共和国</p><p>第二段</p>").text,
              "中华人民共和国 第二段");
    EXPECT_EQ(extract("line one<br>line\r\n\t  two<div>three</div>four").text,
              "line one line two three four");
    EXPECT_EQ(extract("a < b and c > d, 1<2").text, "a < b and c > d, 1<2");
}

TEST(PageText, EntitiesAreDecodedUnknownOnesKept) {
    EXPECT_EQ(extract("<p>Tom &amp; Jerry &lt;b&gt; &#20013;&#x6587; &ldquo;引&rdquo;</p>").text,
              "Tom & Jerry <b> 中文 “引”");
    EXPECT_EQ(extract("<p>a&nbsp;&nbsp;b &bogus; AT&T &#0; &#xD800;</p>").text,
              "a b &bogus; AT&T \xEF\xBF\xBD \xEF\xBF\xBD");
    // In a CP936 page an entity sits between decoded Chinese characters.
    EXPECT_EQ(extract(gbPage("标题", "<p>前&middot;后&#x4E2D;</p>")).text, "前·后中");
}

TEST(PageText, CharsetDeclaredOrRecognised) {
    const std::string chinese = "汉字与English";
    // Declared CP936, declared UTF-8, undeclared in each, and the UTF-8 byte order mark.
    EXPECT_EQ(extract(gbPage("t", chinese)).text, chinese);
    EXPECT_EQ(extract(utf8Page("t", chinese)).text, chinese);
    EXPECT_EQ(extract(toAnsi("<p>" + chinese + "</p>")).text, chinese);
    EXPECT_EQ(extract("<p>" + chinese + "</p>").text, chinese);
    EXPECT_EQ(extract("\xEF\xBB\xBF<p>" + chinese + "</p>").text, chinese);
    // A plain-text page: "<" and "&" are text.
    const std::string plain = toAnsi("纯文本 <b>&amp;</b>");
    EXPECT_EQ(ExtractPageText(bytesOf(plain), false).text, "纯文本 <b>&amp;</b>");
}

TEST(PageText, UnclosedMarkupEndsTheTextWithoutFailing) {
    EXPECT_EQ(extract("<p>before<!-- never closed <p>hidden").text, "before");
    EXPECT_EQ(extract("<p>before<script>var x = 1;").text, "before");
    EXPECT_EQ(extract("<p>before<a href='x").text, "before");
    EXPECT_EQ(extract("<title>only title").title, "only title");
    EXPECT_EQ(extract("").text, "");
    EXPECT_EQ(extract("&").text, "&");
    EXPECT_EQ(extract("<").text, "<");
}

TEST_F(SearchBook, ChineseWithoutWordBreaksInCp936AndUtf8PagesInPageOrder) {
    auto book = build({
        {"a.html", gbPage("第一章", "<p>天下皆知美之为美，斯恶已。</p>")},
        {"b.htm", utf8Page("第二章", "<p>知者不言，言者不知。知美</p>")},
        {"c.html", gbPage("", "<p>与此无关的的</p>")},
        {"pic.png", "知美知美"},
        {"style.css", "/* 知美 */"},
    });
    BookSearch search(*book);
    EXPECT_FALSE(search.indexed());
    EXPECT_EQ(search.pageCount(), 3u);
    EXPECT_TRUE(search.indexed());

    const auto hits = search.find("知美");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].name, "A.HTML");
    EXPECT_EQ(hits[0].title, "第一章");
    EXPECT_EQ(hits[0].count, 1u);
    EXPECT_EQ(hits[0].snippet, "天下皆知美之为美，斯恶已。");
    EXPECT_EQ(hits[1].name, "B.HTM");
    EXPECT_EQ(hits[1].count, 1u);

    const auto zhi = search.find("知");
    ASSERT_EQ(zhi.size(), 2u);
    EXPECT_EQ(zhi[1].count, 3u);

    // In CP936 "的的" holds the bytes of "牡" across its two characters: no match.
    EXPECT_TRUE(search.find("牡").empty());

    // A page without a title is listed by its name.
    const auto c = search.find("无关");
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].title, "C.HTML");
}

TEST_F(SearchBook, LatinLettersMatchInAnyCaseAndTheSnippetKeepsThePagesCase) {
    auto book = build({
        {"en.html",
         utf8Page("English", "<p>The Quick brown fox. the QUICK one. Ｆｕｌｌ Café</p>")},
        {"gb.html", gbPage("GB", "<p>学习Python与QT编程</p>")},
    });
    BookSearch search(*book);
    auto hits = search.find("quick");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].count, 2u);
    EXPECT_EQ(hits[0].snippet, "The Quick brown fox. the QUICK one. Ｆｕｌｌ Café");
    EXPECT_EQ(hits[0].snippet.substr(hits[0].snippetMatch, hits[0].snippetLength), "Quick");

    EXPECT_EQ(search.find("ＦＵＬＬ").size(), 1u);
    EXPECT_EQ(search.find("CAFÉ").size(), 1u);
    EXPECT_EQ(search.find("  brown\r\n FOX ").size(), 1u);
    hits = search.find("python与qt");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].name, "GB.HTML");
    EXPECT_EQ(hits[0].snippet.substr(hits[0].snippetMatch, hits[0].snippetLength), "Python与QT");
}

TEST_F(SearchBook, TextInsideMarkupIsNeverFoundAndEmptyOrAbsentTextFindsNothing) {
    auto book =
        build({{"p.html", utf8Page("标题词", "<!-- 注释词 --><p title='属性词' class='Klass'>"
                                             "正文</p><script>var 脚本词;</script>"
                                             "<style>.样式词{}</style>")}});
    BookSearch search(*book);
    for (const char* hidden : {"标题词", "注释词", "属性词", "klass", "脚本词", "样式词", "title",
                               "script", "<p", "没有"})
        EXPECT_TRUE(search.find(hidden).empty()) << hidden;
    EXPECT_TRUE(search.find("").empty());
    EXPECT_TRUE(search.find(" \t ").empty());
    EXPECT_EQ(search.find("正文").size(), 1u);
}

TEST_F(SearchBook, SnippetsHoldFortyCharactersEachSideCutAtThePageEnds) {
    std::string before, after;
    for (int i = 0; i < 60; ++i) {
        before += "甲";
        after += "乙";
    }
    auto book = build({{"long.html", utf8Page("t", "<p>" + before + "目标" + after + "</p>")},
                       {"start.html", utf8Page("t", "<p>目标在开头 " + after + "</p>")},
                       {"end.html", utf8Page("t", "<p>" + before + " 结尾是目标</p>")}});
    BookSearch search(*book);
    const auto hits = search.find("目标");
    ASSERT_EQ(hits.size(), 3u);
    std::map<std::string, SearchHit> byName;
    for (const SearchHit& h : hits)
        byName[h.name] = h;

    std::string forty_before, forty_after;
    for (int i = 0; i < 40; ++i) {
        forty_before += "甲";
        forty_after += "乙";
    }
    const SearchHit& mid = byName["LONG.HTML"];
    EXPECT_EQ(mid.snippet, "…" + forty_before + "目标" + forty_after + "…");
    EXPECT_EQ(mid.snippet.substr(mid.snippetMatch, mid.snippetLength), "目标");

    const SearchHit& start = byName["START.HTML"];
    EXPECT_EQ(start.snippetMatch, 0u);
    EXPECT_EQ(start.snippet, "目标在开头 " + forty_after.substr(0, 36 * 3) + "…");

    const SearchHit& end = byName["END.HTML"];
    EXPECT_EQ(end.snippet, "…" + forty_before.substr(0, 36 * 3) + " 结尾是目标");
    EXPECT_EQ(end.snippet.substr(end.snippetMatch), "目标");
}

TEST_F(SearchBook, SearchesFromTwoThreadsAtOnceShareOneIndexAndAgree) {
    std::vector<std::pair<std::string, std::string>> pages;
    for (int i = 0; i < 200; ++i)
        pages.emplace_back("p" + std::to_string(i) + ".html",
                           i % 2
                               ? gbPage("单", "<p>第" + std::to_string(i) + "页 共同的词</p>")
                               : utf8Page("双", "<p>共同的词 page " + std::to_string(i) + "</p>"));
    auto book = build(pages);
    BookSearch search(*book);
    std::vector<SearchHit> a, b;
    {
        std::jthread first([&] { a = search.find("共同的词"); });
        std::jthread second([&] { b = search.find("共同的词"); });
    }
    ASSERT_EQ(a.size(), 200u);
    ASSERT_EQ(b.size(), 200u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].snippet, b[i].snippet);
    }
    // Odd pages are the CP936 ones.
    EXPECT_EQ(search.find("第17页").size(), 1u);
    EXPECT_EQ(search.find("第18页").size(), 0u);
    EXPECT_EQ(search.find("PAGE 198").size(), 1u);
}

// Pages are read several bytes at a time: every case must come out the same wherever in the
// text (and at whichever byte alignment) the letters, blanks and entities fall.
TEST_F(SearchBook, LettersBlanksAndEntitiesAtEveryPlaceInLongRuns) {
    std::vector<std::pair<std::string, std::string>> pages;
    const std::string han = "汉字中文书页正文";
    for (int lead = 0; lead < 12; ++lead) {
        std::string prefix;
        for (int k = 0; k < lead; ++k)
            prefix += han.substr(static_cast<std::size_t>(k % 8) * 3, 3);
        // An ASCII letter before the run shifts it by one byte.
        const std::string body = (lead % 2 ? "x" : "") + prefix +
                                 "ＦＵＬＬ汉字ΑΒΓ中文АБВ书页ABC。亮正文Q" + prefix +
                                 "  \t分开 &amp;连上" + prefix + "末尾";
        pages.emplace_back("g" + std::to_string(lead) + ".html", gbPage("标题", "<p>" + body));
        pages.emplace_back("u" + std::to_string(lead) + ".html", utf8Page("标题", "<p>" + body));
    }
    auto book = build(pages);
    BookSearch search(*book);
    for (const char* text :
         {"ｆｕｌｌ汉字", "αβγ中文", "абв书页", "书页abc", "。亮", "q", "正文q", "分开 &连上"}) {
        const auto hits = search.find(text);
        EXPECT_EQ(hits.size(), pages.size()) << text;
        for (const SearchHit& hit : hits)
            EXPECT_EQ(hit.count, 1u) << text << " " << hit.name;
    }
    for (const auto& hit : search.find("αβγ"))
        EXPECT_NE(hit.snippet.find("ＦＵＬＬ汉字ΑΒΓ中文АБВ书页ABC。亮正文Q"), std::string::npos)
            << hit.name;
    // The blanks before 分开 are one space; the entity is no blank.
    EXPECT_TRUE(search.find("q分开").empty());
    EXPECT_TRUE(search.find("分开&").empty());
}

TEST_F(SearchBook, CancelStopsABuildUnderWayAndEverySearchAfterIt) {
    std::vector<std::pair<std::string, std::string>> pages;
    for (int i = 0; i < 400; ++i)
        pages.emplace_back("c" + std::to_string(i) + ".html",
                           gbPage("章", std::string(2000, 'x') + "<p>要找的字</p>"));
    auto book = build(pages);
    {
        BookSearch search(*book);
        std::jthread builder([&] { search.buildIndex(); });
        search.cancel();
        builder.join();
        EXPECT_TRUE(search.cancelled());
        EXPECT_FALSE(search.indexed());
        EXPECT_TRUE(search.find("要找的字").empty());
        EXPECT_EQ(search.pageCount(), 0u);
    }
    // A search that was never cancelled finds every page: cancelling is per search object.
    BookSearch search(*book);
    EXPECT_EQ(search.find("要找的字").size(), 400u);
    // Cancelled after the build, the kept text is no longer searched either.
    search.cancel();
    EXPECT_TRUE(search.find("要找的字").empty());
}

// The pages a folder holds, as files.
class SearchFolder : public ::testing::Test {
  protected:
    void put(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories((m_dir.path / name).parent_path());
        m_dir.write(name, bytes);
    }
    static std::vector<std::string> names(const std::vector<SearchHit>& hits) {
        std::vector<std::string> out;
        for (const SearchHit& h : hits)
            out.push_back(h.name);
        return out;
    }
    TempDir m_dir;
};

TEST_F(SearchFolder, PagesInTheFolderAndItsSubfoldersByRelativeNameInNameOrder) {
    put("index.html", utf8Page("首页", "<p>书里的词 Index</p>"));
    put("tree/tree.html", gbPage("目录", "<a href='x.html'>书里的词</a>"));
    put("download/第2章.htm", gbPage("第二章", "<p>正文有书里的词，书里的词</p>"));
    put("notes.txt", toAnsi("纯文本里也有书里的词"));
    // Not pages: style sheets, pictures, anything in a hidden folder.
    put("style.css", "p:after { content: '书里的词' }");
    put("cover.png", "书里的词");
    put(".cache/old.html", utf8Page("旧", "<p>书里的词</p>"));
    std::filesystem::create_directories(m_dir.path / "empty.html"); // a folder, not a page

    BookSearch search(m_dir.path);
    EXPECT_EQ(search.pageCount(), 4u);
    const auto hits = search.find("书里的词");
    EXPECT_EQ(names(hits), (std::vector<std::string>{"download/第2章.htm", "index.html",
                                                     "notes.txt", "tree/tree.html"}));
    ASSERT_EQ(hits.size(), 4u);
    EXPECT_EQ(hits[0].title, "第二章");
    EXPECT_EQ(hits[0].count, 2u);
    EXPECT_EQ(hits[0].snippet, "正文有书里的词，书里的词");
    // A page without a title is listed by its name.
    EXPECT_EQ(hits[2].title, "notes.txt");
    EXPECT_EQ(names(search.find("INDEX")), (std::vector<std::string>{"index.html"}));
}

TEST_F(SearchFolder, AMissingOrEmptyFolderHasNoPagesAndNoFailure) {
    BookSearch missing(m_dir.path / "nothing here");
    EXPECT_EQ(missing.pageCount(), 0u);
    EXPECT_TRUE(missing.find("字").empty());
    EXPECT_TRUE(missing.indexed());
    BookSearch empty(m_dir.path);
    EXPECT_TRUE(empty.find("字").empty());
}
