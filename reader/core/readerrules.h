// The reading window's rules without a window, shared by the Linux and Windows readers: the
// starting zoom, pane layout (in twips), the advert's show time, link routing, sound links, the
// online reader's addresses, saving text, the built-in about page, the reader's own pages and
// notices, the player's time text, link names and the keyboard shortcuts.
#pragma once

#include "core/zoom.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folio::reader {

enum class Variant { Page, Net };

// ---- zoom ------------------------------------------------------------------------------

// The zoom steps themselves are common/core's (core/zoom.h); where a reader starts is its own.
int initialZoom(Variant variant); // 100 offline, 80 online

// ---- layout ----------------------------------------------------------------------------

inline constexpr int TreeWidth = 3000;     // contents pane after every resize and on expand
inline constexpr int ClosedTreeWidth = 10; // contents pane when closed
inline constexpr int BarWidth = 100;       // the splitter bar Pic
inline constexpr int MinSplitterLeft = 10; // the splitter never narrows the pane below this

struct TwipRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipRect&) const = default;
};

struct PaneLayout {
    TwipRect tree; // WebTree
    TwipRect bar;  // Pic
    TwipRect book; // WebBook
};

// Places the two panes and the bar for a client area of innerWidth x innerHeight, below the
// stacked toolbars (toolbarHeight) with the contents pane `treeWidth` wide. The bar's height is
// measured from the first toolbar only, as the window always did. Sizes never go negative.
PaneLayout layoutPanes(int innerWidth, int innerHeight, int toolbarHeight, int toolbar1Height,
                       int treeWidth);

// Where the splitter bar lands when released `releaseX` twips from its own left edge.
int splitterLeft(int barLeft, int releaseX);

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ScreenRect&) const = default;
};
// A window of `wanted` size placed on a screen whose free area is `available` (both in the
// same units): no larger than that area, centred on it.
ScreenRect fitOnScreen(int wantedWidth, int wantedHeight, const ScreenRect& available);

// ---- the advert window ----------------------------------------------------------------

// A date-time value converted to a whole number: rounds to the nearest integer, halves to the
// even neighbour, and saturates at the 32-bit range instead of overflowing.
std::int32_t roundToWholeNumber(double value);

// The advert window closes once the time shown, as a difference in days, exceeds its show time
// converted to a whole number (a show time of 0 closes it as soon as any time has passed).
bool advertTimeIsUp(std::int64_t elapsedMilliseconds, double showTime);

// ---- links -----------------------------------------------------------------------------

// A contents-pane navigation goes to the page pane instead, unless it names a contents page
// ("...tree.html" in any case), is a script link, or is about:blank.
bool routeContentsLinkToPage(std::string_view url);

// A page-pane navigation to "....mp3" (any case) is a sound link.
bool isSoundLink(std::string_view url);

// The page resource a sound link names: the text after the last "/", upper-cased.
std::string soundResourceName(std::string_view url);

// A link's text as a list shows it: white space (line breaks, ideographic and no-break spaces
// included) trimmed at both ends and every run inside made one space.
std::string cleanLinkName(std::string_view text);

// ---- addresses in the book ---------------------------------------------------------------

// What follows the book's resource `prefix` in `address`, as written (escapes, "?" and "#"
// kept), the prefix compared without regard to case; empty for an address outside the
// book or the prefix itself.
std::string afterBookPrefix(std::string_view address, std::string_view prefix);
// The book page that names: its "?" or "#" part left out and its escapes decoded.
std::string bookPageOf(std::string_view afterPrefix);

// ---- the online reader -----------------------------------------------------------------

// "file://" + the folder with a trailing "/" ensured and every "\" turned into "/".
std::string localPrefix(const std::string& programFolder);

struct Download {
    std::string url;
    std::string localFile;
};
// The online library's contents page and index page, and where they are stored.
Download contentsDownload(const std::string& base, const std::string& programFolder);
Download indexDownload(const std::string& base, const std::string& programFolder);

// The addresses of what a page needs to be shown (style sheets, pictures, scripts, sounds of
// link/img/script/embed/source elements), relative ones only, each once, in page order.
// Links to other pages (A elements) are not among them: they are fetched when followed.
std::vector<std::string> pageResources(std::string_view html);

// A local file's place in the online library, relative to its "book/" folder; empty when the
// file lies outside the program folder. The contents page is kept as "tree/tree.html" but is
// "tree.html" there, and the addresses of its relative links ("tree/chapter01.html") mean
// the book's pages beside the home page ("chapter01.html").
std::string libraryPath(const std::string& programFolder, const std::string& localFile);

// base + "book/" + libraryPath(), or empty.
std::string libraryAddress(const std::string& base, const std::string& programFolder,
                           const std::string& localFile);

// The page shown in a pane when the library could not be reached and no copy is kept.
std::string unreachablePage(std::string_view address, std::string_view reason);

// "folioNet-" + the page title.
std::string onlineCaption(std::string_view title);

// ---- saving ----------------------------------------------------------------------------

// Whether the clipboard holds anything to save: an empty clipboard writes no file at all.
bool hasTextToSave(std::string_view clipboardUtf8);
inline constexpr std::string_view NothingToSaveMessage =
    "剪贴板中没有文字，没有保存。请先在页面中选中文字并点“复制”。";

// What the save command writes for the clipboard text: every line end made CR LF, converted to
// the ANSI code page, followed by one more CR LF.
std::string savedFileBytes(std::string_view clipboardUtf8);

// "文件 " + path + "，保存成功。"
std::string savedMessage(std::string_view path);

// ---- about page, player, keyboard ------------------------------------------------------

// The built-in about page shown when a book cannot be loaded and by home without a home
// address.
std::string AboutHtml();

// ---- the reader's own pages and notices -----------------------------------------------

// A text of the reader that is no control's caption: its key in the language file and the
// built-in text, used when there is no file, no language chosen or no such entry.
struct ReaderText {
    const char* key;
    const char* fallback;
};
// The text in the interface language; each face reads its language file its own way.
using ReaderTextLookup = std::function<std::string(const ReaderText&)>;

inline constexpr ReaderText MissingPageTitle{"MissingPageTitle", "找不到这一页"};
inline constexpr ReaderText MissingPageText{"MissingPageText", "这本书里没有“%1”这一页。"};
inline constexpr ReaderText MissingPageHint{
    "MissingPageHint", "目录或链接指向的文件没有编译进这本书，或者它的名字写错了。"};
inline constexpr ReaderText MissingPageHome{"MissingPageHome", "回到首页"};
inline constexpr ReaderText MissingPageBack{"MissingPageBack", "返回上一页"};
inline constexpr ReaderText NoBrowserEngine{
    "NoBrowserEngine",
    "系统缺少网页浏览组件，这本书的网页无法显示。请安装或修复系统的浏览器组件后再打开这本书。"};

// Whether a name the book lacks gets the page below in its place: a page (a name without an
// extension, or one ending in .htm, .html, .xhtml or .shtml, any case), not a picture, a style
// sheet or a script, which simply fail.
bool showsMissingPage(std::string_view name);

// The page shown in place of a page the book lacks: it names `pageName` (the name the link
// asked for, "%1" of MissingPageText) and offers the way back, to `homeAddress` when there is
// one and to the previous page. Plain ES5 and HTML 4, so both browsers show it.
std::string missingPageHtml(std::string_view pageName, std::string_view homeAddress,
                            const ReaderTextLookup& text);

// The player's position texts: "mm:ss", or "h:mm:ss" from one hour on.
std::string playerTimeText(long long milliseconds);

struct ReaderShortcut {
    const char* keys;   // "Ctrl+F"
    const char* action; // "在页面中查找"
};
// The reading window's keyboard shortcuts, as the about box lists them.
const std::vector<ReaderShortcut>& readerShortcuts();
// The list as lines of text ("Ctrl+F\t在页面中查找"), for the about box.
std::string shortcutsText();

} // namespace folio::reader
