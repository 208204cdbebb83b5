#include "fetch/links.h"

#include <gtest/gtest.h>

using namespace folio::fetch;

TEST(Links, AnchorsInDocumentOrderWithTextAndResolvedTargets) {
    const std::string html = R"(<html><body>
<A HREF="ch1.html">第一章 <b>开始</b></A>
<a class=x href='/abs/ch2.html' >第二&amp;章</a>
<!-- <a href="hidden.html">no</a> -->
<script>var s = "<a href='js.html'>no</a>";</script>
<a name="top">anchor only</a>
<a href=../up.html>上一页</a><abbr>not a link</abbr>
<a href="http://other/x.html">外部</a>
</body></html>)";
    const auto links = extractLinks(html, "http://127.0.0.1:8080/book/list/index.html");
    ASSERT_EQ(links.texts.size(), 5u);
    EXPECT_EQ(links.texts[0], "第一章 开始");
    EXPECT_EQ(links.targets[0], "http://127.0.0.1:8080/book/list/ch1.html");
    EXPECT_EQ(links.htmls[0], "第一章 <b>开始</b>");
    EXPECT_EQ(links.texts[1], "第二&章");
    EXPECT_EQ(links.targets[1], "http://127.0.0.1:8080/abs/ch2.html");
    EXPECT_EQ(links.texts[2], "anchor only");
    EXPECT_EQ(links.targets[2], "");
    EXPECT_EQ(links.targets[3], "http://127.0.0.1:8080/book/up.html");
    EXPECT_EQ(links.targets[4], "http://other/x.html");
}

TEST(Links, MalformedMarkupNeverCrashes) {
    for (const char* html : {"<a", "<a href=", "<a href='x", "<a href=x>unclosed", "<", "&#xZZ;",
                             "<a href=x>&#99999999999;</a>", "<a>&"}) {
        const auto links = extractLinks(html, "http://h/");
        EXPECT_EQ(links.texts.size(), links.targets.size());
    }
    EXPECT_EQ(extractLinks("<a href=x>a<a href=y>b</a>").texts,
              (std::vector<std::string>{"a", "b"}));
}

TEST(Links, ResolveLikeABrowser) {
    const std::string base = "http://h:1/a/b/c.html?q=1#f";
    EXPECT_EQ(resolveUrl(base, "d.html"), "http://h:1/a/b/d.html");
    EXPECT_EQ(resolveUrl(base, "./d.html"), "http://h:1/a/b/d.html");
    EXPECT_EQ(resolveUrl(base, "../../../d.html"), "http://h:1/d.html");
    EXPECT_EQ(resolveUrl(base, "/x/y"), "http://h:1/x/y");
    EXPECT_EQ(resolveUrl(base, "//g/z"), "http://g/z");
    EXPECT_EQ(resolveUrl(base, "?r=2"), "http://h:1/a/b/c.html?r=2");
    EXPECT_EQ(resolveUrl(base, "#top"), "http://h:1/a/b/c.html?q=1#top");
    EXPECT_EQ(resolveUrl(base, "javascript:void(0)"), "javascript:void(0)");
    EXPECT_EQ(resolveUrl("http://h", "x"), "http://h/x");
    EXPECT_EQ(resolveUrl("http://h/dir/", ".."), "http://h/");
}

TEST(Links, KeywordFilterKeepsALinkOncePerKeywordFound) {
    const auto links = extractLinks("<a href=1>第一章</a><a href=2>序</a>"
                                    "<a href=3>第二章第一节</a><a href=4>卷一</a>",
                                    "http://h/");
    const auto kept = filterLinksByKeywords(links, "章,节,卷");
    EXPECT_EQ(kept.texts,
              (std::vector<std::string>{"第一章", "第二章第一节", "第二章第一节", "卷一"}));
    EXPECT_EQ(kept.targets[1], "http://h/3");
    EXPECT_EQ(filterLinksByKeywords(links, "章,").texts.size(), 2u + 4u);
    EXPECT_TRUE(filterLinksByKeywords(links, "").texts.empty());
}
