// The project check: one project holding every kind of fault gets exactly its findings, and
// links that do resolve (escaped, entities, "./", other case) get none.
#include "core/text.h"
#include "maker/check/checkproject.h"
#include "maker/generators/contentslist.h"
#include "tests/tools/shell.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace folio;
using namespace folio::check;

namespace {

const char* Head = "<html><head><meta charset=\"utf-8\"><title>";

class Check : public ::testing::Test {
  protected:
    TempDir dir;
    CheckInputs in;

    void SetUp() override {
        in.projectFolder = dir.file("Book");
        in.settings.title = "Book";
        in.settings.indexPage = "index.html";
        in.settings.contentsPage = "tree.html";
        put("Book.ini", toAnsi("电子书名称：Book\r\n索引页：index.html\r\n目录树：tree.html\r\n"));
        page("index.html", "首页</title><link rel=stylesheet href=\"./Style.CSS\">\n"
                           "<script src=\"https://cdn.example.com/x.js\"></script></head><body>\n"
                           "<a href=\"ch%201.html\">1</a> <a href=\"CH2.HTML#sec\">2</a>"
                           " <a href=\"caf&eacute;.html\">3</a> <a href=\"#here\" id=here>4</a>\n"
                           "<a href=\"missing.html\">x</a> <a href=\"ch2.html#nope\">x</a>"
                           " <img src=\"img/pic.png\"> <img srcset=\"pic.png 1x, gone.png 2x\">\n"
                           "<img src=\"file:///C:/a.png\"> <a href=\"http://example.com/\">w</a>"
                           " <a href=\"big.html\">b</a> <a href=\"img/deeper/d.png\">d</a>"
                           " <a href=\"../outside.png\">o</a></body></html>");
        page("ch 1.html", "第一章</title></head><body>正文</body></html>");
        page("ch2.html", "第一章</title></head><body><h2 id=sec "
                         "style=\"background:url('bg.png')\">二</h2><p>gbk.html</p></body></html>");
        put("café.html", "<html><head><title>c</title></head><body>é</body></html>");
        page("tree.html", "目录</title></head><body><script>d.add(1,-1,'x','gbk.html');"
                          "</script></body></html>");
        put("gbk.html", "<meta charset=gbk><title>乙</title><a href=lonely.html>l</a>");
        page("lonely.html", "l</title></head><body> </body></html>");
        put("orphan.html", "<p>nobody links here</p>");
        put("big.html",
            std::string(Head) + "big</title><p>x</p><!--" + std::string(9u << 20, 'x') + "-->");
        put("style.css", "body { background: url( pic.png ) }\n@import \"more.css\";");
        for (const char* f :
             {"pic.png", "Pic.png", "50%.png", "img/pic.png", "img/deeper/d.png", "../outside.png"})
            put(f, "x");
        generators::ContentsList list;
        list.appendEntry("1", "-1", "序", "ch2.html");
        list.appendEntry("2", "-1", "无", "gone.html");
        ASSERT_TRUE(generators::saveContentsList(in.projectFolder, list));
    }
    void put(const std::string& name, const std::string& bytes) {
        const auto path = std::filesystem::path(in.projectFolder) / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    void page(const std::string& name, const std::string& rest) { put(name, Head + rest); }
    // "file:line:column code" for each finding, sorted.
    std::vector<std::string> found() {
        const auto r = CheckProject(in);
        std::vector<std::string> out;
        if (!r)
            return {r.error().message};
        for (const Finding& f : r->findings)
            out.push_back(f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) +
                          " " + f.code + " " + severityName(f.severity)[0]);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(Check, EachFaultIsFoundOnceAndLinksThatResolveAreNot) {
    // (sorted as text: 4:109 before 4:39)
    EXPECT_EQ(found(), (std::vector<std::string>{
                           "50%.png:1:1 bad-name e",         "Book.toc:3:1 contents-target e",
                           "big.html:1:1 large-page w",      "café.html:1:1 encoding w",
                           "ch2.html:1:1 duplicate-title n", "ch2.html:1:100 broken-link e",
                           "gbk.html:1:15 encoding w",       "index.html:2:14 online w",
                           "index.html:4:10 broken-link e",  "index.html:4:109 broken-link e",
                           "index.html:4:39 broken-link w",  "index.html:4:70 not-in-book e",
                           "index.html:5:100 not-in-book e", "index.html:5:11 local-path e",
                           "index.html:5:133 not-in-book e", "index.html:5:39 online n",
                           "lonely.html:1:1 empty-page w",   "orphan.html:1:1 no-title w",
                           "orphan.html:1:1 unreachable w",  "pic.png:1:1 same-resource e",
                           "style.css:2:10 broken-link e",
                       }));
}

// Every broken local link Debian's linkchecker finds (following the pages from the home page)
// is among the findings, but those that only differ in case: the book resolves them.
TEST_F(Check, EveryBrokenLinkLinkcheckerFindsIsAFinding) {
    if (folio::testing::runCommand("command -v linkchecker").status != 0)
        GTEST_SKIP() << "linkchecker is not installed (scripts/install-deps.sh installs it)";
    std::filesystem::remove(std::filesystem::path(in.projectFolder) / "big.html");
    std::set<std::string> ours;
    const auto report = CheckProject(in);
    ASSERT_TRUE(report);
    for (const Finding& f : report->findings)
        ours.insert(f.file + ":" + std::to_string(f.line) + ":" + f.target);
    const std::string url = "file://" + in.projectFolder + "/";
    const auto lc = folio::testing::runCommand("linkchecker --no-status --no-warnings -o csv " +
                                                   folio::testing::shellQuote(url + "index.html"),
                                               folio::testing::Stderr::Dropped);
    int broken = 0;
    std::istringstream rows(lc.output);
    for (std::string row; std::getline(rows, row);) {
        std::vector<std::string> cell;
        std::istringstream cells(row);
        for (std::string c; std::getline(cells, c, ';');)
            cell.push_back(c);
        // urlname;parentname;base;result;warningstring;infostring;valid;url;line;...
        if (cell.size() < 9 || cell[6] != "False" || !cell[1].starts_with(url))
            continue;
        ++broken;
        const std::string target = cell[7].substr(7); // the file: URL's path
        bool foldedThere = false;
        std::error_code ec;
        for (const auto& e :
             std::filesystem::directory_iterator(std::filesystem::path(target).parent_path(), ec))
            foldedThere |= toUpperUnicode(e.path().filename().string()) ==
                           toUpperUnicode(std::filesystem::path(target).filename().string());
        if (!foldedThere) {
            EXPECT_TRUE(ours.contains(cell[1].substr(url.size()) + ":" + cell[8] + ":" + cell[0]))
                << row;
        }
    }
    EXPECT_GE(broken, 4) << lc.output;
}

// With the sub-folder setting the picture of img/ is in the book, a folder named like a type
// number is not, and a folder two levels down is named as such.
TEST_F(Check, SubfoldersBringTheirFilesIntoTheBook) {
    in.settings.subfolders = true;
    put("23/x.png", "x");
    const auto all = found();
    const auto has = [&](const std::string& f) {
        return std::find(all.begin(), all.end(), f) != all.end();
    };
    EXPECT_FALSE(has("index.html:4:70 not-in-book e"));
    EXPECT_TRUE(has("index.html:5:100 not-in-book e"));
    EXPECT_TRUE(has("23/:1:1 bad-name e"));
}

} // namespace
