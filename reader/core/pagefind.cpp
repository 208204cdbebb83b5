// Finding in the page and in the book (see pagefind.h).
#include "reader/core/pagefind.h"

#include "reader/core/contentshighlight.h"

#include <charconv>

namespace folio::reader {

namespace {

// The browser's oldest document mode has no textContent, getElementsByClassName or
// addEventListener: the script walks text nodes and splits them itself. Marks are kept on the
// window so that the next step finds them, and so that a new text can take them away first.
constexpr std::string_view Script = R"JS((function (T, M) {
var W = window, d = document, s = W.__folioFindState, i;
function clear() {
  if (!s) return;
  for (i = 0; i < s.marks.length; i++) {
    var m = s.marks[i], p = m.parentNode;
    if (!p) continue;
    p.replaceChild(d.createTextNode(m.firstChild ? m.firstChild.nodeValue : ''), m);
    if (p.normalize) p.normalize();
  }
  s = null;
  W.__folioFindState = null;
}
function paint(m, current) {
  m.style.backgroundColor = current ? '#ff9632' : '#ffff00';
  m.style.color = '#000000';
}
if (M === 3 || (s && s.text !== T)) clear();
if (M === 3 || !T.length || !d.body) { W.__folioFind = '0/0'; return W.__folioFind; }
if (!s) {
  s = { text: T, marks: [], active: -1 };
  W.__folioFindState = s;
  var needle = T.toLowerCase();
  var mark = function (t) {
    var at = t.nodeValue.toLowerCase().indexOf(needle);
    while (at >= 0) {
      var hit = t.splitText(at);
      var after = hit.splitText(needle.length);
      var span = d.createElement('span');
      span.className = 'folio-find';
      paint(span, false);
      hit.parentNode.replaceChild(span, hit);
      span.appendChild(hit);
      s.marks.push(span);
      t = after;
      at = t.nodeValue.toLowerCase().indexOf(needle);
    }
  };
  var walk = function (n) {
    var c = n.firstChild, next;
    while (c) {
      next = c.nextSibling;
      if (c.nodeType === 3) mark(c);
      else if (c.nodeType === 1 && !/^(script|style|noscript|textarea|select)$/i.test(c.nodeName)) walk(c);
      c = next;
    }
  };
  walk(d.body);
}
var n = s.marks.length;
if (n) {
  if (s.active >= 0) paint(s.marks[s.active], false);
  if (M === 0 || s.active < 0) s.active = M === 2 ? n - 1 : 0;
  else if (M === 1) s.active = (s.active + 1) % n;
  else s.active = (s.active + n - 1) % n;
  paint(s.marks[s.active], true);
  if (s.marks[s.active].scrollIntoView) s.marks[s.active].scrollIntoView(false);
}
W.__folioFind = (n ? s.active + 1 : 0) + '/' + n;
return W.__folioFind;
}))JS";

} // namespace

std::string fillText(std::string_view pattern, const std::vector<std::string>& arguments) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < arguments.size()) {
                out += arguments[n];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string findStatusText(int active, int count, const ReaderTextLookup& text) {
    if (count < 0)
        return {};
    if (count == 0)
        return text(FindNotFound);
    return fillText(text(FindMatches), {std::to_string(active), std::to_string(count)});
}

std::string findInPageScript(std::string_view text, FindMove move) {
    std::string script(Script);
    script += '(';
    script += scriptStringLiteral(text);
    script += ", ";
    script += std::to_string(static_cast<int>(move));
    script += ");";
    return script;
}

std::pair<int, int> parseFindResult(std::string_view answer) {
    const std::size_t slash = answer.find('/');
    int active = 0, count = 0;
    if (slash == std::string_view::npos ||
        std::from_chars(answer.data(), answer.data() + slash, active).ptr !=
            answer.data() + slash ||
        std::from_chars(answer.data() + slash + 1, answer.data() + answer.size(), count).ptr !=
            answer.data() + answer.size() ||
        active < 0 || count < 0 || active > count)
        return {0, 0};
    return {active, count};
}

std::string scrollPositionScript() {
    // Quirks-mode pages scroll the body, standards-mode pages the root element.
    return "(function(){var d=document,e=d.documentElement,b=d.body;"
           "window.__folioScroll=((e&&e.scrollLeft)||(b&&b.scrollLeft)||0)+','+"
           "((e&&e.scrollTop)||(b&&b.scrollTop)||0);return window.__folioScroll;})();";
}

std::string scrollToScript(int x, int y) {
    return "window.scrollTo(" + std::to_string(x) + "," + std::to_string(y) + ");";
}

std::string scrollDepthScript() {
    return "(function(){var W=window,d=document,e=d.documentElement,b=d.body;"
           "var y=(e&&e.scrollTop)||(b&&b.scrollTop)||0;"
           "var h=Math.max((e&&e.scrollHeight)||0,(b&&b.scrollHeight)||0);"
           // The viewport's height: quirks-mode pages give it on the body, not the root.
           "var v=W.innerHeight||(d.compatMode=='CSS1Compat'?"
           "e&&e.clientHeight:b&&b.clientHeight)||0;"
           "window.__folioDepth=String(h>v?Math.min(1000,Math.round(1000*y/(h-v))):1000);"
           "return window.__folioDepth;})();";
}

std::optional<double> parseScrollDepth(std::string_view answer) {
    int depth = 0;
    if (std::from_chars(answer.data(), answer.data() + answer.size(), depth).ptr !=
            answer.data() + answer.size() ||
        depth < 0 || depth > 1000)
        return std::nullopt;
    return depth / 1000.0;
}

std::optional<std::pair<int, int>> parseScrollPosition(std::string_view answer) {
    const std::size_t comma = answer.find(',');
    int x = 0, y = 0;
    if (comma == std::string_view::npos ||
        std::from_chars(answer.data(), answer.data() + comma, x).ptr != answer.data() + comma ||
        std::from_chars(answer.data() + comma + 1, answer.data() + answer.size(), y).ptr !=
            answer.data() + answer.size() ||
        x < 0 || y < 0)
        return std::nullopt;
    return std::pair{x, y};
}

std::string searchHitHeading(const SearchHit& hit, const ReaderTextLookup& text) {
    return fillText(text(SearchPageMatches), {hit.title, std::to_string(hit.count)});
}

std::string searchStatusText(const std::vector<SearchHit>& hits, std::string_view searched,
                             const ReaderTextLookup& text) {
    if (hits.empty())
        return fillText(text(SearchNotFound), {std::string(searched)});
    std::size_t matches = 0;
    for (const SearchHit& hit : hits)
        matches += hit.count;
    return fillText(text(SearchFound),
                    {std::string(searched), std::to_string(hits.size()), std::to_string(matches)});
}

} // namespace folio::reader
