// The Windows reading window under Wine on a virtual display: a book compiled by `folio` from
// the sample project is started by tests/e2e/win32/probe.cpp, which lists the window's
// controls and sends it toolbar commands.
//
// NOTICE: Wine here has no browser engine (no Gecko), so the panes never show a page. What
// pages look like, links followed inside them, the zoom of a shown page, find and copy are NOT
// checked here; everything around the panes is.
#include "tests/tools/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using folio::testing::runCommand;
using folio::testing::shellQuote;

namespace {

const fs::path Dist = FOLIO_DIST_DIR;
const fs::path WinBin = fs::path(FOLIO_BINARY_DIR) / "win32";
const fs::path Here = fs::path(FOLIO_SOURCE_DIR) / "tests" / "e2e" / "win32";

// The system may have no locales generated, and Wine then runs every program in US English
// whatever LANG says: the locales the tests name are compiled once into the build folder.
const fs::path Locales = fs::path(FOLIO_BINARY_DIR) / "win32-locales";

void makeLocale(const std::string& name, const std::string& source) {
    if (fs::exists(Locales / (name + ".UTF-8")))
        return;
    fs::create_directories(Locales);
    runCommand("localedef -i " + source + " -f UTF-8 " +
               shellQuote((Locales / (name + ".UTF-8")).string()));
}

bool has(const std::string& output, const std::string& line) {
    return output.find(line) != std::string::npos;
}

class ReaderWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::printf("NOTICE: Wine has no browser engine here; page content is NOT checked.\n");
        for (const char* name : {"zh_CN", "en_US", "de_DE"})
            makeLocale(name, name);
    }

    void SetUp() override {
        dir = fs::path(FOLIO_BINARY_DIR) / "win32-reader" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        fs::copy(Dist / "Book", dir / "Book", fs::copy_options::recursive);
        const auto compiled = runCommand(shellQuote((Dist / "folio").string()) + " compile " +
                                         shellQuote((dir / "Book").string()) + " --maker " +
                                         shellQuote(Dist.string()) + " --out " +
                                         shellQuote((dir / "out").string()) + " --date 2026-12-06");
        ASSERT_EQ(compiled.status, 0) << compiled.output;
        ASSERT_TRUE(fs::exists(dir / "out" / "Book.exe")) << compiled.output;
        fs::copy_file(WinBin / "probe.exe", dir / "out" / "probe.exe");
    }

    // Runs the probe on the book under the given locale; its report.
    // `debug` names Wine's debug channels to show ("+debugstr": the book's own log).
    std::string probe(const std::string& lang, const std::string& commands,
                      const std::string& debug = {}) {
        const std::string prefix =
            "WINEPREFIX=" + shellQuote((fs::path(FOLIO_BINARY_DIR) / "wineprefix").string());
        return runCommand("cd " + shellQuote((dir / "out").string()) +
                          " && LOCPATH=" + shellQuote(Locales.string()) + " LANG=" + lang +
                          (debug.empty() ? "" : " FOLIO_WINEDEBUG=" + debug) + " " + prefix + " " +
                          shellQuote((Here / "wine-run.sh").string()) +
                          " wine probe.exe Book.exe " + commands)
            .output;
    }

    fs::path dir;
};

TEST_F(ReaderWindow, BothToolbarsAndTheSpeechPanelWithTheirBuiltInCaptions) {
    fs::remove(dir / "out" / "Language.lng"); // the window's own captions
    const std::string r = probe("zh_CN.UTF-8", "controls panes zoom");
    EXPECT_TRUE(has(r, "caption folioPage-Book-")) << r;
    // 23 and 11 positions, separators counted; pause and expand hidden, update disabled.
    EXPECT_TRUE(has(r, "toolbar Toolbar1 buttons=23 hidden= 19 disabled= 1 7 12 17 21\n")) << r;
    EXPECT_TRUE(has(r, "captions Toolbar1 ,后退,前进,刷新,停止,首页,,书签,查找,放大,缩小,,全屏,"
                       "朗读,停止,设置,,播放,暂停,停止,,关于,退出\n"))
        << r;
    EXPECT_TRUE(has(r, "toolbar Toolbar2 buttons=11 hidden= 3 disabled= 1 6 8\n")) << r;
    EXPECT_TRUE(
        has(r, "captions Toolbar2 ,关闭,展开,复制,保存,更新,书架,,上一章,下一章,阅读设置\n"))
        << r;
    // The speech and player panel.
    EXPECT_TRUE(has(r, "control 106 FolioPanel Picture1\n")) << r;
    EXPECT_TRUE(has(r, "control 110 Button 真人语音\n")) << r;
    EXPECT_TRUE(has(r, "control 121 Static 语音：\n")) << r;
    EXPECT_TRUE(has(r, "control 126 Static 总时长：\n")) << r;
    EXPECT_TRUE(has(r, "control 111 ComboBox ")) << r;
    EXPECT_TRUE(has(r, "control 112 msctls_trackbar32 Slider1 range=0..0 pos=0\n")) << r;
    EXPECT_TRUE(has(r, "control 113 msctls_trackbar32 Volume range=0..100 pos=100\n")) << r;
    EXPECT_TRUE(has(r, "control 114 msctls_trackbar32 Rate range=-10..10 pos=-3\n")) << r;
    EXPECT_TRUE(has(r, "control 115 Static 00:00\n")) << r;
    EXPECT_TRUE(has(r, "control 116 Static 00:00\n")) << r;
    // 3000 twips of contents pane, the 100-twip bar, the page pane in the rest (96 DPI).
    EXPECT_TRUE(has(r, "pane WebTree left=0 width=200\n")) << r;
    EXPECT_TRUE(has(r, "pane Pic left=200 width=7\n")) << r;
    EXPECT_TRUE(has(r, "pane WebBook left=207 ")) << r;
    EXPECT_TRUE(has(r, "zoom 100\n")) << r;
}

TEST_F(ReaderWindow, ZoomKeepsWithinItsLimitsThePaneClosesAndOpensPlayNeedsMedia) {
    std::string commands = "toolbar1 10 toolbar1 10 zoom";
    for (int i = 0; i < 6; ++i)
        commands += " toolbar1 11";
    commands += " zoom toolbar2 2 panes toolbar1 18 controls toolbar2 3 panes";
    const std::string r = probe("zh_CN.UTF-8", commands);
    EXPECT_TRUE(has(r, "zoom 140\nzoom 40\n")) << r; // 100 + 2 x 20; then never below 40
    // Closed: 10 twips of contents pane, the page pane beside the bar; close hidden,
    // expand shown.
    EXPECT_TRUE(has(r, "pane WebTree left=0 width=1\npane WebBook left=7 ")) << r;
    EXPECT_TRUE(has(r, "toolbar Toolbar2 buttons=11 hidden= 2 disabled= 1 6 8\n")) << r;
    // Play with nothing loaded does nothing: pause stays hidden.
    EXPECT_TRUE(has(r, "toolbar Toolbar1 buttons=23 hidden= 19 ")) << r;
    // Open again at 3000 twips.
    EXPECT_TRUE(has(r, "pane WebTree left=0 width=200\npane WebBook left=207 ")) << r;
}

TEST_F(ReaderWindow, TheSplitterMovesOnReleaseAndKeepsTenTwipsOfContentsPane) {
    const std::string r = probe("zh_CN.UTF-8", "drag 150 panes drag -2000 panes");
    // 3000 twips + 150 pixels (2250 twips): 5250 twips, 350 pixels.
    EXPECT_TRUE(has(r, "pane WebTree left=0 width=350\npane WebBook left=357 ")) << r;
    // Beyond the window's left edge: 10 twips.
    EXPECT_TRUE(has(r, "pane WebTree left=0 width=1\npane WebBook left=7 ")) << r;
}

TEST_F(ReaderWindow, SaveWritesTheClipboardAndAsksBeforeOverwriting) {
    const fs::path saved = dir / "out" / "saved.txt";
    const std::string r = probe("zh_CN.UTF-8",
                                // nothing on the clipboard: no dialog, no file
                                "clipempty toolbar2 5 awaitbox boxes answer 1 "
                                // two lines saved, reported, the clipboard emptied
                                "clip '第一行\nsecond' toolbar2 5 savedialog saved.txt awaitbox "
                                "boxes clipboard answer 1 "
                                // saved again under the same name, answering No
                                "clip other toolbar2 5 savedialog saved.txt awaitbox boxes "
                                "answer 7 boxes");
    EXPECT_TRUE(has(r, "box folioPage|剪贴板中没有文字，没有保存。")) << r;
    EXPECT_TRUE(has(r, "box folioMake|文件 ")) << r;
    EXPECT_TRUE(has(r, "saved.txt，保存成功。\nclipboard []\n")) << r;
    EXPECT_TRUE(has(r, "box folioPage|文件已存在，要覆盖它吗？\n")) << r;
    // Written in CP936 with CR LF line ends and one more CR LF; No left it alone.
    std::ifstream in(saved, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "\xB5\xDA\xD2\xBB\xD0\xD0\r\nsecond\r\n");
}

TEST_F(ReaderWindow, ZoomInStopsAt400) {
    std::string commands;
    for (int i = 0; i < 16; ++i)
        commands += " toolbar1 10";
    const std::string r = probe("zh_CN.UTF-8", commands + " zoom");
    EXPECT_TRUE(has(r, "zoom 400\n")) << r;
}

TEST_F(ReaderWindow, CompanionWindowsOpenFromTheToolbar) {
    const std::string r = probe("zh_CN.UTF-8", "toolbar1 13 await FrmFullScreen awaittop "
                                               "windows keys Esc windows "
                                               "toolbar1 8 await '#32770' windows dismiss "
                                               "toolbar1 22 await '#32770' windows dismiss");
    // Full screen: the page window and the exit window, kept on top.
    EXPECT_TRUE(has(r, "window FrmFullScreen ")) << r;
    EXPECT_TRUE(has(r, " topmost=1 ")) << r;
    // Esc left it: the book's windows listed after the key have no full-screen window.
    EXPECT_EQ(r.find("window FrmFullScreen ", r.find("window FrmFullScreen ") + 1),
              std::string::npos)
        << r;
    // Bookmarks: the list is written beside the book when the window closes.
    EXPECT_TRUE(fs::exists(dir / "out" / "BookTag.ini")) << r;
    EXPECT_TRUE(has(r, "关于 folioPage")) << r;
}

TEST_F(ReaderWindow, CaptionsFollowTheLocaleFromTheLanguageFileBesideTheBook) {
    // The compiler put the readers' Language.lng beside the book.
    ASSERT_TRUE(fs::exists(dir / "out" / "Language.lng"));
    const std::string r = probe("en_US.UTF-8", "controls");
    EXPECT_TRUE(has(r, "captions Toolbar1 ,Back,Forward,Refresh,Stop,Home,,Bookmarks,Find,Zoom "
                       "in,Zoom out,,Full screen,Read aloud,Stop,Settings,,Play,Pause,Stop,,About,"
                       "Exit\n"))
        << r;
    EXPECT_TRUE(has(
        r, "captions Toolbar2 ,Close,Expand,Copy,Save,Update,Bookshelf,,Previous,Next,Reading\n"))
        << r;
    EXPECT_TRUE(has(r, "control 110 Button Recorded voice\n")) << r;
    EXPECT_TRUE(has(r, "control 121 Static Voice:\n")) << r;
    // Without a browser engine the panes say so, in the interface language.
    EXPECT_TRUE(has(r, "Edit The system's web browser component is missing")) << r;
    // The windows opened later follow the language too: the bookmarks window's own buttons.
    const std::string bookmarks = probe("en_US.UTF-8", "toolbar1 8 await '#32770' windows dismiss");
    EXPECT_TRUE(has(bookmarks, "child 106 Add\nchild 107 Delete\nchild 105 Cancel\n")) << bookmarks;
    // A locale the file has no section for: each control shows its name; a strip's first
    // position takes the strip's name, which Toolbar1's separator does not show.
    const std::string other = probe("de_DE.UTF-8", "controls");
    EXPECT_TRUE(has(other, "captions Toolbar1 ,后退,前进,")) << other;
    EXPECT_TRUE(has(other, "control 110 Button Check1\n")) << other;
    EXPECT_TRUE(has(other, "control 121 Static Label1\n")) << other;
}

TEST_F(ReaderWindow, KeysFindTheBookSearchListsItsPagesAndTheBookReopensAtThePlaceLeft) {
    // The places file of Wine's user, beside everything else Windows programs keep.
    const fs::path users = fs::path(FOLIO_BINARY_DIR) / "wineprefix" / "drive_c" / "users";
    auto placesFiles = [&] {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& user : fs::directory_iterator(users, ec))
            if (fs::exists(user.path() / "AppData" / "Roaming" / "folio" / "places"))
                found.push_back(user.path() / "AppData" / "Roaming" / "folio" / "places");
        return found;
    };
    for (const fs::path& f : placesFiles())
        fs::remove(f);
    const std::string r =
        probe("zh_CN.UTF-8", "keys Ctrl+F focus keys Esc keys Ctrl+Shift+F focus type 圣人 "
                             "keys Return list 154 text 155 choose 154 2 text 104 close");
    // Ctrl+F opens the find bar ready for typing; Ctrl+Shift+F the search panel.
    EXPECT_TRUE(has(r, "focus 142\nfocus 151\n")) << r;
    // Exactly the four chapters holding the word, in the book's order, with the text around it.
    EXPECT_TRUE(has(r, "list 154 visible=1 count=4\n"
                       "item 道德经 第二章（1 处）  "))
        << r;
    EXPECT_TRUE(has(r, "\nitem 道德经 第三章（")) << r;
    EXPECT_TRUE(has(r, "\nitem 道德经 第五章（")) << r;
    EXPECT_TRUE(has(r, "\nitem 道德经 第七章（")) << r;
    EXPECT_TRUE(has(r, "text 155 “圣人”：4 页，共 ")) << r;
    // The third result opens its page in the page pane.
    EXPECT_TRUE(has(r, "Book.exe/CHAPTER05.HTML\n")) << r;
    const auto kept = placesFiles();
    ASSERT_EQ(kept.size(), 1u) << r;

    // Opened again, the book shows the page it was left at; Ctrl+PageDown and "下一章" go on to
    // the next entries of the contents, Ctrl+PageUp back, as the reader's log says.
    const std::string again =
        probe("zh_CN.UTF-8",
              "text 104 keys Ctrl+PgDown toolbar2 10 keys Ctrl+PgUp keys Ctrl+PgUp text 160",
              "+debugstr");
    EXPECT_TRUE(has(again, "Book.exe/CHAPTER05.HTML\n")) << again;
    std::size_t at = again.find("Book.exe/CHAPTER05.HTML");
    for (const std::string page :
         {"chapter06.html", "chapter07.html", "chapter06.html", "chapter05.html"}) {
        at = again.find("folio.reader: page: RES://", at + 1);
        ASSERT_NE(at, std::string::npos) << again;
        const std::size_t name = again.find("Book.exe/", at) + 9;
        EXPECT_EQ(again.substr(name, page.size()), page) << again;
    }
    EXPECT_TRUE(has(again, "folio.reader: reading: Theme=original")) << again;
    // The status line says where in the contents order the page is; the pages shown are kept
    // as read beside the place.
    EXPECT_TRUE(has(again, "text 160 第 ")) << again;
    std::ifstream read(kept[0].parent_path() / "read", std::ios::binary);
    const std::string marks((std::istreambuf_iterator<char>(read)), {});
    EXPECT_NE(marks.find("chapter07.html"), std::string::npos) << marks;

    // The reading settings panel: the night theme and no status line, at once and for this book;
    // "设为默认" writes them to reading.ini too. Opened again without reading.ini, the book keeps
    // its own.
    const fs::path state = kept[0].parent_path();
    const std::string panel = probe("zh_CN.UTF-8",
                                    "toolbar2 11 await '#32770' pick 301 2 click 311 click 314 "
                                    "windows dismiss panes",
                                    "+debugstr");
    EXPECT_TRUE(has(panel, "child 310 使用书本身的样式\n")) << panel;
    EXPECT_TRUE(has(panel, "folio.reader: reading: Theme=night")) << panel;
    EXPECT_TRUE(has(panel, "folio.reader: reading: StatusLine=0")) << panel;
    std::ifstream ini(state / "reading.ini", std::ios::binary);
    const std::string defaults((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_NE(defaults.find("Theme=night\r\n"), std::string::npos) << defaults;
    EXPECT_NE(defaults.find("StatusLine=0\r\n"), std::string::npos) << defaults;
    ini.close();
    fs::remove(state / "reading.ini");
    const std::string own = probe("zh_CN.UTF-8", "panes", "+debugstr");
    EXPECT_TRUE(has(own, "folio.reader: reading: Theme=night")) << own;
    for (const char* name : {"places", "read", "reading", "reading.ini"})
        fs::remove(state / name); // the other tests start at the home page, as written

    // Read aloud with nothing selected: the page's first sentence goes to SAPI, as the log
    // says. Wine's SAPI speaks nothing, so three sentences in a row fail and one box says so.
    const std::string aloud =
        probe("zh_CN.UTF-8", "keys Ctrl+Shift+U awaitbox boxes answer 1 text 160", "+debugstr");
    EXPECT_TRUE(has(aloud, "folio.reader: speech: Book")) << aloud;
    EXPECT_TRUE(has(aloud, "folio.reader: speech: skipped Book")) << aloud;
    EXPECT_TRUE(has(aloud, "box folioPage|朗读已停止：语音引擎 SAPI 连续 3 句没有读出")) << aloud;
    EXPECT_TRUE(has(aloud, "text 160 第 ")) << aloud;
}

} // namespace
