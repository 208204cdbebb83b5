// Reading the book aloud (see readaloud.h).
#include "reader/core/readaloud.h"

#include "core/text.h"
#include "reader/core/contentshighlight.h"
#include "reader/core/reading.h"

#include <algorithm>
#include <charconv>

namespace folio::reader {

namespace {

// ---- characters ------------------------------------------------------------------------------

bool isSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == 0xA0 ||
           c == 0x3000;
}

bool endsSentence(char32_t c) {
    return c == U'。' || c == U'！' || c == U'？' || c == U'；' || c == '!' || c == '?' || c == ';';
}

bool closesQuote(char32_t c) {
    return c == U'”' || c == U'’' || c == U'」' || c == U'』' || c == U'）' || c == U'》' ||
           c == '"' || c == '\'' || c == ')';
}

bool isEllipsis(char32_t c) {
    return c == U'…' || c == U'⋯';
}

bool isSoftBreak(char32_t c) {
    return c == U'，' || c == U'、' || c == ',' || isSpace(c);
}

// Nothing a voice reads: white space, punctuation, arrows, rules and boxes.
bool isMute(char32_t c) {
    return isSpace(c) || (c >= '!' && c <= '/') || (c >= ':' && c <= '@') ||
           (c >= '[' && c <= '`') || (c >= '{' && c <= '~') || (c >= 0xA1 && c <= 0xBF) ||
           (c >= 0x2000 && c <= 0x206F) || (c >= 0x2190 && c <= 0x21FF) ||
           (c >= 0x2500 && c <= 0x25FF) || (c >= 0x3000 && c <= 0x303F) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF01 && c <= 0xFF0F) ||
           (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
           (c >= 0xFF5B && c <= 0xFF65);
}

// ---- cutting -----------------------------------------------------------------------------------

constexpr std::size_t LineBreakAfter = 120; // a single line break ends a sentence this long
constexpr std::size_t RunOnLimit = 300;     // a sentence without an end is cut past this

// One routine for a selection (every line break ends a sentence, nothing else) and for a page
// (blocks, long lines and run-on sentences as readaloud.h says), so both hear the same marks.
std::vector<SpokenSentence> cutSentences(std::string_view utf8, bool page) {
    const std::u32string cps = codePoints(utf8);
    std::vector<std::uint32_t> offset; // the UTF-16 offset of each code point, the end last
    offset.reserve(cps.size() + 1);
    offset.push_back(0);
    for (const char32_t c : cps)
        offset.push_back(offset.back() + (c > 0xFFFF ? 2 : 1));
    const std::size_t n = cps.size();
    constexpr std::size_t None = std::size_t(-1);

    std::vector<SpokenSentence> out;
    std::size_t start = 0, first = None, soft = None;
    auto flush = [&](std::size_t end) {
        std::size_t a = start, b = end;
        while (a < b && isSpace(cps[a]))
            ++a;
        while (b > a && isSpace(cps[b - 1]))
            --b;
        start = end;
        first = soft = None;
        if (a == b || (page && std::all_of(cps.begin() + a, cps.begin() + b, isMute)))
            return;
        SpokenSentence s{{}, offset[a], offset[b]};
        for (std::size_t k = a; k < b; ++k) {
            if (page && isSpace(cps[k])) {
                if (!s.text.ends_with(' '))
                    s.text += ' ';
            } else {
                appendUtf8(s.text, cps[k]);
            }
        }
        out.push_back(std::move(s));
    };
    auto lineBreak = [&](char32_t c) {
        return c == '\n' || c == 0x2029 || (page ? c == 0x2028 : c == '\r');
    };
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t c = cps[i];
        if (lineBreak(c)) {
            if (!page) {
                flush(i + 1);
                continue;
            }
            std::size_t j = i + 1;
            while (j < n && isSpace(cps[j]) && !lineBreak(cps[j]))
                ++j;
            // A blank line is a block's end; a single break only ends a long line.
            if ((j < n && lineBreak(cps[j])) || (first != None && i - first > LineBreakAfter))
                flush(i);
            else if (first != None)
                soft = i + 1;
            continue;
        }
        if (first == None && !isSpace(c))
            first = i;
        const bool stop = endsSentence(c) || (c == '.' && (i + 1 == n || isSpace(cps[i + 1]))) ||
                          (page && isEllipsis(c));
        if (stop) {
            std::size_t end = i + 1;
            // Runs of marks ("?!", "……。") and closing quotes belong to the sentence they end.
            while (end < n && (endsSentence(cps[end]) || closesQuote(cps[end]) ||
                               (page && isEllipsis(cps[end]))))
                ++end;
            flush(end);
            i = end - 1;
            continue;
        }
        if (!page || first == None)
            continue;
        if (isSoftBreak(c) && i > first)
            soft = i + 1;
        if (i + 1 - first > RunOnLimit) {
            // Without a comma or a space to cut at, this character begins the next piece.
            flush(soft != None ? soft : i);
            for (std::size_t k = start; k <= i && first == None; ++k) {
                if (!isSpace(cps[k]))
                    first = k;
            }
        }
    }
    flush(n);
    return out;
}

// ---- navigation ------------------------------------------------------------------------------

// What the site's links for moving about say; Latin words in lower case.
// clang-format off
constexpr std::string_view NavigationWords[] = {
    "上一章", "下一章", "上一页", "下一页", "上一节", "下一节", "上一篇", "下一篇", "目录",
    "返回目录", "返回书页", "章节目录", "章节列表", "加入书签", "书签", "加入书架", "返回", "首页",
    "返回首页", "返回顶部", "投推荐票", "previous", "prev", "next", "contents", "index", "home",
    "back", "top", "next chapter", "previous chapter", "next page", "previous page",
    "table of contents"};
// clang-format on

// What stands around and between those words: arrows, brackets, bars, dots and dashes.
constexpr std::string_view NavigationSeparators =
    "←→↑↓<>【】[]《》〈〉«»‹›|｜()（）「」/\\·•・-–—:：,，、;；";

} // namespace

std::u32string codePoints(std::string_view utf8) {
    const std::u16string units = utf8ToUtf16(utf8);
    std::u32string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(u);
        }
    }
    return out;
}

bool isNavigationText(std::string_view utf8) {
    const std::u16string text = utf8ToUtf16(utf8);
    static const std::u16string separators = utf8ToUtf16(NavigationSeparators);
    auto known = [](std::string_view word) {
        return std::find(std::begin(NavigationWords), std::end(NavigationWords), word) !=
               std::end(NavigationWords);
    };
    std::size_t pieces = 0;
    std::vector<std::string> words;
    std::u16string word;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool separator = i == text.size() || separators.find(text[i]) != std::u16string::npos;
        if (!separator && !isSpace(text[i])) {
            const char16_t u = text[i];
            word += u >= 'A' && u <= 'Z' ? static_cast<char16_t>(u - 'A' + 'a') : u;
            continue;
        }
        if (!word.empty())
            words.push_back(utf16ToUtf8(word));
        word.clear();
        if (!separator || words.empty())
            continue;
        // A piece between separators: a known phrase, or known words one by one.
        ++pieces;
        std::string phrase;
        for (const std::string& w : words)
            phrase += (phrase.empty() ? "" : " ") + w;
        if (!known(phrase) && !std::all_of(words.begin(), words.end(), known))
            return false;
        words.clear();
    }
    return pieces > 0;
}

std::vector<SpokenSentence> pageSentences(std::string_view pageText) {
    return cutSentences(pageText, true);
}

std::vector<SpokenSentence> selectionSentences(std::string_view text) {
    return cutSentences(text, false);
}

std::optional<std::size_t> sentenceAt(const std::vector<SpokenSentence>& sentences,
                                      std::size_t offset) {
    const auto it = std::find_if(sentences.begin(), sentences.end(),
                                 [&](const SpokenSentence& s) { return s.end > offset; });
    if (it == sentences.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - sentences.begin());
}

// ---- the scripts -------------------------------------------------------------------------------

namespace {

// The one walk over the page every script here makes, so that the offsets the reading text
// gives are the offsets the mark and the click use. It builds the text from the text nodes, one
// record per node ({n: node, at: offset in the text, skip: its leading characters left out});
// the white space after a block's or a line's end is left out character by character, so a
// text node split by a mark (or joined again) gives the same text. `mark`, when given, is an
// element whose place in the text is wanted (markAt).
constexpr std::string_view WalkBody = R"JS(
var W = window, d = document;
var SP = /[ \t\n\r\f\v\u00a0\u3000]/, SPS = /[ \t\n\r\f\v\u00a0\u3000]+/, LB = /[\t\n\r\f\v]/g;
var SKIP = /^(script|style|noscript|template|head|iframe|frame|object|embed|select|textarea|button|nav)$/i;
var BLOCK = /^(address|article|aside|blockquote|body|caption|center|dd|details|dialog|div|dl|dt|fieldset|figcaption|figure|footer|form|h[1-6]|header|hr|li|main|ol|p|pre|section|summary|table|tbody|tfoot|thead|tr|ul)$/i;
function folioNav(s) {
  var n = 0, piece = '', i, j, ch, words, ws;
  for (i = 0; i <= s.length; i++) {
    ch = i < s.length ? s.charAt(i) : '|';
    if (SEP.indexOf(ch) < 0) { piece += ch; continue; }
    words = piece.split(SPS); ws = []; piece = '';
    for (j = 0; j < words.length; j++) if (words[j]) ws.push(words[j].toLowerCase());
    if (!ws.length) continue;
    n++;
    if (NAV.hasOwnProperty(ws.join(' '))) continue;
    for (j = 0; j < ws.length; j++) if (!NAV.hasOwnProperty(ws[j])) return false;
  }
  return n > 0;
}
function folioHidden(e) {
  var s = null;
  try { s = W.getComputedStyle ? W.getComputedStyle(e, null) : e.currentStyle; } catch (x) {}
  return !!s && (s.display === 'none' || s.visibility === 'hidden');
}
function folioText(e) { return e.textContent || e.innerText || ''; }
function folioNavBar(e) {
  var links = 0;
  function check(p) {
    for (var c = p.firstChild; c; c = c.nextSibling) {
      if (c.nodeType === 3) {
        for (var i = 0; i < c.nodeValue.length; i++) {
          var ch = c.nodeValue.charAt(i);
          if (!SP.test(ch) && SEP.indexOf(ch) < 0) return false;
        }
      } else if (c.nodeType === 1 && !SKIP.test(c.nodeName)) {
        if (/^a$/i.test(c.nodeName)) { if (!folioNav(folioText(c))) return false; links++; }
        else if (!check(c)) return false;
      }
    }
    return true;
  }
  return check(e) && links > 0;
}
function folioWalk(mark) {
  var text = '', recs = [], pend = 2, markAt = -1;
  function add(n, v) {
    var skip = 0;
    if (pend) {
      while (skip < v.length && SP.test(v.charAt(skip))) skip++;
      if (skip === v.length) return;
      if (text.length) text += pend > 1 ? '\n\n' : '\n';
      pend = 0;
    }
    recs.push({ n: n, at: text.length, skip: skip });
    text += skip ? v.substring(skip) : v;
  }
  function walk(p, pre) {
    for (var c = p.firstChild; c; c = c.nextSibling) {
      if (c.nodeType === 3) { add(c, pre ? c.nodeValue : c.nodeValue.replace(LB, ' ')); continue; }
      if (c.nodeType !== 1) continue;
      if (c === mark) { markAt = text.length; continue; }
      var tag = c.nodeName.toLowerCase();
      if (tag === 'br') { if (pend < 2) pend++; continue; }
      if (SKIP.test(tag) || (c.getAttribute && c.getAttribute('role') === 'navigation') || folioHidden(c)) continue;
      if (tag === 'a' && folioNav(folioText(c))) continue;
      var block = BLOCK.test(tag);
      if (block) { if (folioNavBar(c)) continue; pend = 2; }
      else if ((tag === 'td' || tag === 'th') && !pend) pend = 1;
      walk(c, pre || tag === 'pre');
      if (block) pend = 2;
    }
  }
  if (d.body) walk(d.body, false);
  return { text: text, recs: recs, markAt: markAt };
}
function folioViewHeight() {
  var e = d.documentElement, b = d.body;
  return W.innerHeight || (d.compatMode == 'CSS1Compat' ? e && e.clientHeight : b && b.clientHeight) || 0;
}
)JS";

// The walk with the navigation words and separators of the C++ side put in.
std::string walker() {
    std::string words = "{";
    for (const std::string_view w : NavigationWords)
        words += (words.size() > 1 ? "," : "") + scriptStringLiteral(w) + ":1";
    words += "}";
    return "var NAV = " + words + ", SEP = " + scriptStringLiteral(NavigationSeparators) + ";" +
           std::string(WalkBody);
}

constexpr std::string_view ReadableBody = R"JS(
var w = folioWalk(null), recs = w.recs, vh = folioViewHeight(), first = 0, i;
function rectOf(n, a, b) {
  try {
    if (d.createRange) {
      var r = d.createRange();
      if (a === undefined) r.selectNodeContents(n); else { r.setStart(n, a); r.setEnd(n, b); }
      if (r.getBoundingClientRect) return r.getBoundingClientRect();
    }
  } catch (x) {}
  return n.parentNode && n.parentNode.getBoundingClientRect ? n.parentNode.getBoundingClientRect() : null;
}
for (i = 0; i < recs.length; i++) {
  var n = recs[i].n, rc = rectOf(n);
  if (!rc || (!rc.width && !rc.height) || rc.bottom <= 0 || rc.top >= vh) continue;
  first = recs[i].at;
  if (rc.top < 0 && d.createRange) {
    // A paragraph begun above the view: its first line in view, by halves.
    var lo = recs[i].skip, hi = n.nodeValue.length - 1;
    while (lo < hi) {
      var mid = (lo + hi) >> 1, cr = rectOf(n, mid, mid + 1);
      if (cr && cr.bottom > 0) hi = mid; else lo = mid + 1;
    }
    first += lo - recs[i].skip;
  }
  break;
}
W.__folioReadable = first + '|' + w.text;
return W.__folioReadable;
)JS";

constexpr std::string_view HighlightBody = R"JS(
var old = W.__folioSpeaking || [], made = [], i;
for (i = 0; i < old.length; i++) {
  var m = old[i], p = m.parentNode;
  if (!p) continue;
  while (m.firstChild) p.insertBefore(m.firstChild, m);
  p.removeChild(m);
  if (p.normalize) p.normalize();
}
W.__folioSpeaking = made;
if (S >= E) return 0;
var recs = folioWalk(null).recs;
for (i = 0; i < recs.length; i++) {
  var r = recs[i], len = r.n.nodeValue.length - r.skip;
  if (r.at + len <= S) continue;
  if (r.at >= E) break;
  var a = Math.max(S, r.at) - r.at + r.skip, b = Math.min(E, r.at + len) - r.at + r.skip, t = r.n;
  if (a > 0) t = t.splitText(a);
  if (b - a < t.nodeValue.length) t.splitText(b - a);
  var span = d.createElement('span');
  span.className = CLS;
  // Inline and important: the reading themes clear every background the page sets.
  span.style.cssText = 'background-color:rgba(255,200,0,.45)!important;border-radius:2px';
  t.parentNode.replaceChild(span, t);
  span.appendChild(t);
  made.push(span);
}
if (made.length && made[0].getBoundingClientRect) {
  var rc = made[0].getBoundingClientRect(), vh = folioViewHeight();
  if (rc.top < 0 || rc.bottom > vh) W.scrollBy(0, Math.round(rc.top - vh / 3));
}
return made.length;
)JS";

constexpr std::string_view ClickBody = R"JS(
if (W.__folioReadAt) return;
W.__folioReadAt = 1;
function inside(n, e) { for (; n; n = n.parentNode) if (n === e) return true; return false; }
function onClick(e) {
  e = e || W.event;
  if (!W.__folioSpeaking || !W.__folioSpeaking.length) return;
  var t = e.target || e.srcElement, p, w = null, at = -1, i, node = null, off = 0;
  for (p = t; p; p = p.parentNode)
    if (p.nodeType === 1 && /^(a|button|input|select|textarea|label)$/i.test(p.nodeName)) return;
  if (W.getSelection && W.getSelection() && !W.getSelection().isCollapsed) return;
  if (d.selection && d.selection.type === 'Text') return;
  if (d.caretRangeFromPoint) {
    var r = d.caretRangeFromPoint(e.clientX, e.clientY);
    if (r) { node = r.startContainer; off = r.startOffset; }
  } else if (d.caretPositionFromPoint) {
    var c = d.caretPositionFromPoint(e.clientX, e.clientY);
    if (c) { node = c.offsetNode; off = c.offset; }
  } else if (d.body.createTextRange) {
    // The old browser gives no node for a point: a mark put there tells the place.
    try {
      var tr = d.body.createTextRange();
      tr.moveToPoint(e.clientX, e.clientY);
      tr.pasteHTML('<span id="folio-read-at"></span>');
      var mk = d.getElementById('folio-read-at');
      if (mk) {
        at = folioWalk(mk).markAt;
        p = mk.parentNode;
        p.removeChild(mk);
        if (p.normalize) p.normalize();
      }
    } catch (x) {}
  }
  if (node && node.nodeType === 3) {
    w = folioWalk(null);
    for (i = 0; i < w.recs.length; i++)
      if (w.recs[i].n === node) { at = w.recs[i].at + Math.max(0, off - w.recs[i].skip); break; }
  }
  if (at < 0) {
    w = w || folioWalk(null);
    for (i = 0; i < w.recs.length; i++) if (inside(w.recs[i].n, t)) { at = w.recs[i].at; break; }
  }
  if (at >= 0) W.location.href = PLACE + at;
}
if (d.addEventListener) d.addEventListener('click', onClick, false);
else if (d.attachEvent) d.attachEvent('onclick', onClick);
)JS";

std::string readAtPrefix() {
    return std::string(ChapterKeyScheme) + ":read-at/";
}

} // namespace

std::string readableTextScript() {
    return "(function () {" + walker() + std::string(ReadableBody) + "})();";
}

std::optional<ReadableText> parseReadableText(std::string_view answer) {
    const std::size_t bar = answer.find('|');
    std::size_t first = 0;
    if (bar == std::string_view::npos || bar == 0 ||
        std::from_chars(answer.data(), answer.data() + bar, first).ptr != answer.data() + bar)
        return std::nullopt;
    return ReadableText{std::string(answer.substr(bar + 1)), first};
}

std::string highlightSentenceScript(std::size_t start, std::size_t end) {
    return "(function (S, E) {var CLS = " + scriptStringLiteral(SpeakingClass) + ";" + walker() +
           std::string(HighlightBody) + "})(" + std::to_string(start) + ", " + std::to_string(end) +
           ");";
}

std::string readAtClickScript() {
    return "(function () {var PLACE = " + scriptStringLiteral(readAtPrefix()) + ";" + walker() +
           std::string(ClickBody) + "})();";
}

std::optional<std::size_t> parseReadAt(std::string_view address) {
    const std::string prefix = readAtPrefix();
    if (address.size() <= prefix.size() ||
        !std::equal(prefix.begin(), prefix.end(), address.begin(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        }))
        return std::nullopt;
    std::size_t offset = 0;
    const char* last = address.data() + address.size();
    if (std::from_chars(address.data() + prefix.size(), last, offset).ptr != last)
        return std::nullopt;
    return offset;
}

// ---- the walk ----------------------------------------------------------------------------------

namespace {

std::uint64_t sleepMinutes(SleepChoice choice) {
    switch (choice) {
    case SleepChoice::Minutes15:
        return 15;
    case SleepChoice::Minutes30:
        return 30;
    case SleepChoice::Minutes60:
        return 60;
    case SleepChoice::Minutes90:
        return 90;
    default:
        return 0;
    }
}

constexpr std::uint64_t FadeMs = 30'000;
constexpr int FailuresToStop = 3;

} // namespace

std::string_view sleepChoiceCaption(SleepChoice choice) {
    switch (choice) {
    case SleepChoice::Off:
        return "不定时";
    case SleepChoice::Minutes15:
        return "15 分钟";
    case SleepChoice::Minutes30:
        return "30 分钟";
    case SleepChoice::Minutes60:
        return "60 分钟";
    case SleepChoice::Minutes90:
        return "90 分钟";
    case SleepChoice::EndOfChapter:
        return "本章读完";
    }
    return {};
}

std::optional<std::size_t> ReadAloud::startSelection(std::string_view text) {
    m_mode = Mode::Selection;
    m_sentences = selectionSentences(text);
    m_index = 0;
    m_order = nullptr;
    m_page.clear();
    m_paused = false;
    m_failures = 0;
    m_state = m_sentences.empty() ? State::Idle : State::Reading;
    if (m_sentences.empty())
        return std::nullopt;
    return 0;
}

std::optional<std::size_t> ReadAloud::startPage(std::vector<SpokenSentence> sentences,
                                                std::size_t first,
                                                const std::vector<std::string>* order,
                                                std::string_view page) {
    if (m_mode != Mode::Book || m_state != State::AwaitingPage)
        m_failures = 0;
    m_mode = Mode::Book;
    m_state = State::Reading;
    m_sentences = std::move(sentences);
    m_index = std::min(first, m_sentences.size());
    m_order = order;
    m_page = std::string(page);
    m_paused = false;
    if (m_index == m_sentences.size())
        return std::nullopt;
    return m_index;
}

const SpokenSentence* ReadAloud::current() const {
    if (m_state != State::Reading || m_index >= m_sentences.size())
        return nullptr;
    return &m_sentences[m_index];
}

ReadAloud::Step ReadAloud::stopWith(std::string_view message, std::vector<std::string> log) {
    m_state = State::Idle;
    m_paused = false;
    m_sentences = {};
    return {Step::Stop, 0, {}, std::string(message), std::move(log)};
}

ReadAloud::Step ReadAloud::speakCurrent() {
    if (m_state == State::AwaitingPage)
        return {Step::OpenPage, 0, m_page, {}, {}};
    if (m_state == State::Idle)
        return {};
    if (const SpokenSentence* s = current())
        return {Step::Speak, m_index, {}, {}, {"speech: " + s->text}};
    // The page's end.
    if (m_mode == Mode::Selection)
        return stopWith({}, {});
    if (m_sleep == SleepChoice::EndOfChapter) {
        m_sleep = SleepChoice::Off;
        return stopWith(ChapterReadText, {});
    }
    const auto next = m_order ? nextChapter(*m_order, m_page) : std::nullopt;
    if (!next)
        return stopWith(LastChapterText, {});
    m_state = State::AwaitingPage;
    m_page = (*m_order)[*next];
    m_sentences = {};
    m_index = 0;
    return {Step::OpenPage, 0, m_page, {}, {}};
}

ReadAloud::Step ReadAloud::next(std::uint64_t nowMs, std::vector<std::string> log) {
    if (m_state != State::Reading) {
        Step step = speakCurrent();
        step.log.insert(step.log.begin(), log.begin(), log.end());
        return step;
    }
    if (sleepMinutes(m_sleep) && nowMs >= m_sleepEnd) {
        m_sleep = SleepChoice::Off;
        return stopWith(SleepEndedText, std::move(log));
    }
    if (m_index < m_sentences.size())
        ++m_index;
    Step step = speakCurrent();
    log.insert(log.end(), step.log.begin(), step.log.end());
    step.log = std::move(log);
    return step;
}

void ReadAloud::pause() {
    if (m_state == State::Reading)
        m_paused = true;
}

ReadAloud::Step ReadAloud::resume() {
    m_paused = false;
    return speakCurrent();
}

ReadAloud::Step ReadAloud::moveTo(std::size_t index) {
    if (m_state == State::Reading) {
        m_index = std::min(index, m_sentences.size());
        m_paused = false;
    }
    return speakCurrent();
}

void ReadAloud::stop() {
    stopWith({}, {});
}

ReadAloud::Step ReadAloud::sentenceEnded(std::uint64_t nowMs) {
    m_failures = 0;
    return next(nowMs, {});
}

ReadAloud::Step ReadAloud::sentenceFailed(std::string_view why, std::uint64_t nowMs) {
    if (m_state != State::Reading)
        return speakCurrent();
    std::vector<std::string> log;
    if (const SpokenSentence* s = current())
        log.push_back("speech: skipped " + s->text + ": " + std::string(why));
    if (++m_failures >= FailuresToStop) {
        const std::string engine = m_engine.empty() ? "" : " " + m_engine + " ";
        return stopWith("朗读已停止：语音引擎" + engine + "连续 " + std::to_string(FailuresToStop) +
                            " 句没有读出（" + std::string(why) + "）。",
                        std::move(log));
    }
    return next(nowMs, std::move(log));
}

void ReadAloud::setSleep(SleepChoice choice, std::uint64_t nowMs) {
    m_sleep = choice;
    m_sleepEnd = nowMs + sleepMinutes(choice) * 60'000;
}

std::optional<std::uint64_t> ReadAloud::sleepLeftMs(std::uint64_t nowMs) const {
    if (!sleepMinutes(m_sleep))
        return std::nullopt;
    return m_sleepEnd > nowMs ? m_sleepEnd - nowMs : 0;
}

double ReadAloud::volumeFactor(std::uint64_t nowMs) const {
    const auto left = sleepLeftMs(nowMs);
    if (!left)
        return 1.0;
    return std::min(1.0, static_cast<double>(*left) / static_cast<double>(FadeMs));
}

std::string ReadAloud::sleepStatusText(std::uint64_t nowMs) const {
    if (m_sleep == SleepChoice::EndOfChapter)
        return "定时：本章读完停止";
    const auto left = sleepLeftMs(nowMs);
    if (!left)
        return {};
    const std::uint64_t seconds = (*left + 999) / 1000;
    const std::uint64_t s = seconds % 60;
    return "定时：还剩 " + std::string(seconds / 60 < 10 ? "0" : "") +
           std::to_string(seconds / 60) + ":" + (s < 10 ? "0" : "") + std::to_string(s);
}

} // namespace folio::reader
