// Finding in the page and in the whole book, as both reading windows show it: the texts of the
// find bar and the search panel, and the find script for a browser that has no find of its own.
#pragma once

#include "reader/core/booksearch.h"
#include "reader/core/readerrules.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

// ---- find in the page ----------------------------------------------------------------------

inline constexpr ReaderText FindLabel{"LabelFind", "查找："};
inline constexpr ReaderText FindPreviousText{"CommandFindPrevious", "上一个"};
inline constexpr ReaderText FindNextText{"CommandFindNext", "下一个"};
inline constexpr ReaderText FindCloseText{"CommandFindClose", "关闭"};
inline constexpr ReaderText FindNotFound{"FindNotFound", "未找到"};
inline constexpr ReaderText FindMatches{"FindMatches", "第 %1/%2 处"};

// What the find bar's status says: "第 active/count 处", "未找到" for no match, nothing before
// a search (count < 0).
std::string findStatusText(int active, int count, const ReaderTextLookup& text);

enum class FindMove { First, Next, Previous, Clear };

// The window property where findInPageScript leaves its answer: "active/count" (1-based; "0/0"
// when nothing matched or the marks were cleared).
inline constexpr std::string_view FindResultProperty = "__folioFind";

// A script that marks every match of `text` in the page's text (Latin letters without regard to
// case; scripts and styles left alone), then makes the first, next or previous one the current
// match, scrolled into view; Clear takes the marks away. A new text clears the marks of the one
// before. Plain ES5 and DOM level 1, for the oldest document mode of the Windows browser. Its
// value, and the window's FindResultProperty, is "active/count".
std::string findInPageScript(std::string_view text, FindMove move);

// Reads "active/count"; {0, 0} when malformed.
std::pair<int, int> parseFindResult(std::string_view answer);

// ---- the page's place ------------------------------------------------------------------------

// The window property where scrollPositionScript leaves "x,y" (pixels).
inline constexpr std::string_view ScrollResultProperty = "__folioScroll";
// A script that leaves the page's scroll position in ScrollResultProperty; plain ES5 for every
// document mode.
std::string scrollPositionScript();
// The window property where scrollDepthScript leaves how far down the page is read, in
// thousandths: 0 at its top, 1000 at its end or for a page with nothing to scroll.
inline constexpr std::string_view ScrollDepthProperty = "__folioDepth";
// That script; plain ES5 for every document mode.
std::string scrollDepthScript();
// Reads the thousandths as a fraction, 0 to 1; nullopt when malformed.
std::optional<double> parseScrollDepth(std::string_view answer);
// A script that scrolls the page to x, y.
std::string scrollToScript(int x, int y);
// Reads "x,y"; nullopt when malformed.
std::optional<std::pair<int, int>> parseScrollPosition(std::string_view answer);

// ---- search the whole book -----------------------------------------------------------------

inline constexpr ReaderText SearchHint{"SearchHint", "在全书中查找"};
inline constexpr ReaderText SearchButtonText{"CommandSearch", "搜索"};
inline constexpr ReaderText SearchCloseText{"SearchClose", "关闭"};
inline constexpr ReaderText SearchNoBook{"SearchNoBook", "没有打开的电子书"};
inline constexpr ReaderText SearchBusy{"SearchBusy", "正在搜索…"};
inline constexpr ReaderText SearchPageMatches{"SearchPageMatches", "%1（%2 处）"};
inline constexpr ReaderText SearchNotFound{"SearchNotFound", "未找到“%1”"};
inline constexpr ReaderText SearchFound{"SearchFound", "“%1”：%2 页，共 %3 处"};

// A result's first line: the page's title and its number of matches.
std::string searchHitHeading(const SearchHit& hit, const ReaderTextLookup& text);
// The status line after a search for `searched` (blanks folded): not found, or pages and
// matches.
std::string searchStatusText(const std::vector<SearchHit>& hits, std::string_view searched,
                             const ReaderTextLookup& text);

// `pattern` with "%1", "%2", ... replaced by the arguments in order.
std::string fillText(std::string_view pattern, const std::vector<std::string>& arguments);

} // namespace folio::reader
