// The scripts the readers put into pages, run in a real browser (headless Chromium): the
// contents-pane highlight on an author's own contents page and on a page built like the
// generated tree, find in the page, the scroll position kept, and the text read aloud.
#include "reader/core/contentshighlight.h"
#include "reader/core/pagefind.h"
#include "reader/core/readaloud.h"

#include "core/fileio.h"
#include "tests/tools/shell.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace folio::reader;

namespace {

// The document as the browser holds it after the page's scripts ran; empty without Chromium.
std::string dumpDom(const std::string& file) {
    if (!std::filesystem::exists("/usr/bin/chromium"))
        return {};
    return folio::testing::runCommand("/usr/bin/chromium --headless --no-sandbox --disable-gpu "
                                      "--virtual-time-budget=2000 --dump-dom " +
                                          folio::testing::shellQuote("file://" + file),
                                      folio::testing::Stderr::Dropped)
        .output;
}

// The ids of the links that carry the mark, in document order.
std::vector<std::string> markedIds(const std::string& dom,
                                   std::string_view mark = CurrentLinkClass) {
    std::vector<std::string> ids;
    const std::regex link("<a ([^>]*)>");
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), link); it != std::sregex_iterator();
         ++it) {
        const std::string attributes = (*it)[1];
        if (attributes.find(std::string(mark)) == std::string::npos)
            continue;
        std::smatch id;
        if (std::regex_search(attributes, id, std::regex("id=\"([^\"]*)\"")))
            ids.push_back(id[1]);
    }
    return ids;
}

// Runs `script` on the page `body`, reporting its value in the title.
std::string runScript(const TempDir& dir, const std::string& head, const std::string& body,
                      const std::string& script) {
    dir.write("tree.html", "<html><head>" + head + "</head><body>" + body +
                               "<script>document.title = 'marked ' + " +
                               script.substr(0, script.size() - 1) + ";</script></body></html>");
    return dumpDom(dir.file("tree.html"));
}

// The highlight of `pageUrl` (relative to the folder).
std::string runOn(const TempDir& dir, const std::string& head, const std::string& body,
                  const std::string& pageUrl) {
    return runScript(dir, head, body,
                     contentsHighlightScript("file://" + dir.str() + "/" + pageUrl));
}

} // namespace

TEST(ContentsHighlight, StringLiteralEscapesWhatWouldEndOrBreakIt) {
    EXPECT_EQ(scriptStringLiteral("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(scriptStringLiteral("x\ny\x01"), "\"x\\u000Ay\\u0001\"");
    EXPECT_EQ(scriptStringLiteral("第\xE2\x80\xA8"), "\"第\\u2028\"");
}

TEST(ContentsHighlight, AuthorsPageMarksTheMatchingLinksOnly) {
    TempDir dir;
    std::string filler;
    for (int i = 0; i < 200; ++i)
        filler += "<p>filler</p>";
    // Same page in another case, percent-encoded, with a fragment, and through "./": all are
    // the page being read. A similar name and a script link are not.
    const std::string body = "<a id='one' href='ch1.html'>1</a>" + filler +
                             "<a id='two' class='chapter' href='CH2.HTML'>2</a>"
                             "<a id='two-again' href='./ch2.html#part'>2b</a>"
                             "<a id='similar' href='ch2.html.bak'>x</a>"
                             "<a id='script' href='javascript:void(0)'>s</a>"
                             "<a id='chinese' href='%E7%AC%AC%E4%B8%89.html'>3</a>";
    const std::string dom = runOn(dir, "", body, "ch2.html");
    if (dom.empty())
        GTEST_SKIP() << "no Chromium on this machine";
    EXPECT_EQ(markedIds(dom), (std::vector<std::string>{"two", "two-again"})) << dom;
    EXPECT_NE(dom.find("<title>marked 2</title>"), std::string::npos);
    EXPECT_NE(dom.find("class=\"chapter folio-current\""), std::string::npos); // own class kept

    // A non-ASCII name written plainly in the contents page matches the encoded address.
    const std::string dom2 =
        runOn(dir, "", "<a id='c' href='第三.html'>3</a>", "%E7%AC%AC%E4%B8%89.html");
    EXPECT_EQ(markedIds(dom2), (std::vector<std::string>{"c"})) << dom2;

    // Nothing matching: nothing marked, no failure.
    const std::string dom3 = runOn(dir, "", body, "elsewhere.html");
    EXPECT_TRUE(markedIds(dom3).empty());
    EXPECT_NE(dom3.find("<title>marked 0</title>"), std::string::npos);
}

TEST(ContentsHighlight, PagesReadAreMarkedBesideTheCurrentOneAndStayMarked) {
    TempDir dir;
    const std::string base = "file://" + dir.str() + "/";
    const std::string script = readMarksScript(
        {base + "ch1.html", base + "第三.html#x", base + "CH2.HTML", base + "ch9.html"});
    // Run once by the page itself and once more: the marks and the style rule are not doubled.
    const std::string dom = runScript(dir, "",
                                      "<a id='one' class='folio-current' href='./Ch1.html#a'>1</a>"
                                      "<a id='two' href='ch2.html'>2</a>"
                                      "<a id='three' href='%E7%AC%AC%E4%B8%89.html'>3</a>"
                                      "<a id='four' href='ch4.html'>4</a><script>" +
                                          script + "</script>",
                                      script);
    if (dom.empty())
        GTEST_SKIP() << "no Chromium on this machine";
    EXPECT_EQ(markedIds(dom, ReadLinkClass), (std::vector<std::string>{"one", "two", "three"}))
        << dom;
    EXPECT_NE(dom.find("<title>marked 3</title>"), std::string::npos) << dom;
    EXPECT_NE(dom.find("class=\"folio-current folio-read\""), std::string::npos) << dom;
    EXPECT_NE(dom.find("href=\"ch2.html\" class=\"folio-read\">"), std::string::npos) << dom;
    const std::string style =
        "<style id=\"folio-read-style\" type=\"text/css\">.folio-read{opacity:.55}</style>";
    EXPECT_NE(dom.find(style), std::string::npos) << dom;
    EXPECT_EQ(dom.find(style), dom.rfind(style));
}

TEST(ContentsHighlight, MarkMovesAndCollapsedTreeBranchOpens) {
    TempDir dir;
    std::filesystem::copy_file(std::string(FOLIO_SOURCE_DIR) + "/data/list/tree/tree.js",
                               dir.path / "tree.js");
    // The generated contents page's shape: the tree script draws the entries; chapter 2 sits
    // in a branch that starts collapsed.
    const std::string head = "<script src='tree.js'></script>";
    const std::string body = "<div id='tree'></div><script>var d = new ContentsTree('d');"
                             "d.add(1, 0, 'Part', 'part.html');"
                             "d.add(2, 1, 'Volume', 'volume.html');"
                             "d.add(3, 2, 'Chapter 2', 'ch2.html');"
                             "d.draw(document.getElementById('tree'));"
                             "document.getElementsByTagName('a')[0].className += ' folio-current';"
                             "</script>";
    const std::string dom = runOn(dir, head, body, "ch2.html");
    if (dom.empty())
        GTEST_SKIP() << "no Chromium on this machine";
    // Only the chapter's link is marked (the old mark on the first link is gone) ...
    const auto marked =
        std::regex_search(dom, std::regex("<a class=\"tree-link\" href=\"part.html\">"));
    EXPECT_TRUE(marked) << dom;
    EXPECT_NE(dom.find("<a class=\"tree-link folio-current\" href=\"ch2.html\">Chapter 2</a>"),
              std::string::npos)
        << dom;
    // ... and its branch was opened through the tree, sign and all.
    EXPECT_EQ(dom.find("display: none"), std::string::npos) << dom;
    EXPECT_NE(dom.find("tree-branch tree-open"), std::string::npos);
}

TEST(PageScripts, FindMarksStepsAndClearsAndTheScrollPositionIsReadBack) {
    TempDir dir;
    auto find = [](const char* text, FindMove move) {
        const std::string script = findInPageScript(text, move);
        return script.substr(0, script.size() - 1);
    };
    std::string filler;
    for (int i = 0; i < 100; ++i)
        filler += "<p>filler</p>";
    // Three matches in the text, whatever the case and the inline markup around them; none in
    // the script or the style.
    dir.write("page.html", "<html><head><meta charset=utf-8><style>.apple{}</style></head><body>"
                           "<p>Apple 苹果 <b>apple</b></p>" +
                               filler +
                               "<p>APPLE!</p>"
                               "<script>var apple = 1;</script><script>var t = [];"
                               "t.push(" +
                               find("apple", FindMove::First) +
                               ");"
                               "t.push(" +
                               find("apple", FindMove::Next) +
                               ");"
                               "t.push(" +
                               find("apple", FindMove::Next) +
                               ");"
                               "t.push(" +
                               find("apple", FindMove::Next) +
                               ");"
                               "t.push(" +
                               find("apple", FindMove::Previous) +
                               ");"
                               "t.push(document.getElementsByTagName('span').length);"
                               "t.push(" +
                               find("苹果", FindMove::First) +
                               ");"
                               "t.push(" +
                               find("pear", FindMove::Next) +
                               ");"
                               "t.push(" +
                               find("", FindMove::Clear) +
                               ");"
                               "t.push(document.getElementsByTagName('span').length);" +
                               scrollToScript(0, 300) + "t.push(" +
                               scrollPositionScript().substr(0, scrollPositionScript().size() - 1) +
                               ");t.push(" +
                               scrollDepthScript().substr(0, scrollDepthScript().size() - 1) +
                               ");document.title = t.join(' ');</script></body></html>");
    const std::string dom = dumpDom(dir.file("page.html"));
    if (dom.empty())
        GTEST_SKIP() << "no Chromium on this machine";
    // Scrolled 300 px down a longer page: part of the way, not at its end.
    const std::size_t title = dom.find("<title>1/3 2/3 3/3 1/3 3/3 3 1/1 0/0 0/0 0 0,300 ");
    ASSERT_NE(title, std::string::npos) << dom;
    const auto depth =
        parseScrollDepth(dom.substr(title + 49, dom.find('<', title + 1) - title - 49));
    EXPECT_TRUE(depth && *depth > 0 && *depth < 1) << dom;
    EXPECT_EQ(parseScrollDepth("1000"), 1.0);
    EXPECT_FALSE(parseScrollDepth("1001") || parseScrollDepth("x"));
    // The page's text is whole again once the marks are cleared.
    EXPECT_NE(dom.find("<p>Apple 苹果 <b>apple</b></p>"), std::string::npos) << dom;
    EXPECT_EQ(parseFindResult("2/3"), std::pair(2, 3));
    EXPECT_EQ(parseFindResult("4/3"), std::pair(0, 0));
    EXPECT_EQ(parseScrollPosition("0,300"), std::pair(0, 300));
    EXPECT_FALSE(parseScrollPosition("x,1"));
}

TEST(PageScripts, ReadAloudHearsTheChapterAloneAndMarksOneSentenceAtATime) {
    TempDir dir;
    const std::string page =
        "<html><head><meta charset=utf-8></head><body>"
        "<div>&lt;&lt; <a href='1.htm'>上一章</a> | <a href='toc.htm'>目录</a> | "
        "<a href='3.htm'>下一章</a> &gt;&gt;</div><h1>第二章</h1>\n"
        "<p>  他走进房间。“你好！”她<b>笑着</b>说。</p><div style='display:none'>藏起的字。</div>"
        "<script>var s = '脚本里的字。';</script><p>第一行<br>第二行。</p><pre id=out></pre>";
    // The value of `script`, run at the page's end, as the page shows it in <pre id=out>.
    auto run = [&](const std::string& script) -> std::pair<std::string, std::string> {
        dir.write("read.html", page + "<script>document.getElementById('out').textContent = " +
                                   script + "</script></body></html>");
        const std::string dom = dumpDom(dir.file("read.html"));
        const std::string open = "<pre id=\"out\">";
        const std::size_t at = dom.find(open);
        if (at == std::string::npos)
            return {dom, {}};
        const std::size_t from = at + open.size();
        return {dom, dom.substr(from, dom.find("</pre>", from) - from)};
    };
    const auto [dom, answer] = run(readableTextScript());
    if (dom.empty())
        GTEST_SKIP() << "no Chromium on this machine";
    const auto read = parseReadableText(answer);
    ASSERT_TRUE(read) << dom;
    // No navigation bar, hidden text or script; a block ends in a blank line, <br> in a break.
    EXPECT_EQ(read->text, "第二章\n\n他走进房间。“你好！”她笑着说。\n\n第一行\n第二行。");
    EXPECT_EQ(read->firstVisible, 0u);
    const auto sentences = pageSentences(read->text);
    ASSERT_EQ(sentences.size(), 5u);

    // The second sentence marked, then the fourth (across the <b>): the first mark is gone.
    auto mark = [](const SpokenSentence& s) {
        const std::string script = highlightSentenceScript(s.start, s.end);
        return script.substr(0, script.size() - 1) + ";";
    };
    const auto [marked, texts] =
        run("(function () {var t = [];" + mark(sentences[1]) +
            "function spans() { var s = document.getElementsByTagName('span'), x = '', i;"
            "for (i = 0; i < s.length; i++) x += s[i].textContent; return x; }"
            "t.push(spans());" +
            mark(sentences[3]) + "t.push(spans()); return t.join('/');})();");
    EXPECT_EQ(texts, sentences[1].text + "/" + sentences[3].text) << marked;
    std::size_t spans = 0;
    for (std::size_t at = marked.find("<span class=\"folio-speaking\""); at != std::string::npos;
         at = marked.find("<span class=\"folio-speaking\"", at + 1))
        ++spans;
    EXPECT_EQ(spans, 3u) << marked;
}
