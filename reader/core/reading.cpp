// Reading order, chapter steps and reading settings (see reading.h).
#include "reader/core/reading.h"

#include "core/book.h"
#include "core/booklink.h"
#include "core/text.h"
#include "reader/core/contentshighlight.h"
#include "reader/core/readerrules.h"
#include "reader/core/statefile.h"

#include "core/fileio.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_set>

namespace folio::reader {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[at + i]) != word[i])
            return false;
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The character references an attribute value may hold; the rest stay as written.
std::string decodeEntities(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const std::size_t semi = s.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        const std::string_view name = s.substr(i + 1, semi - i - 1);
        std::string replacement;
        if (name == "amp")
            replacement = "&";
        else if (name == "quot")
            replacement = "\"";
        else if (name == "apos")
            replacement = "'";
        else if (name == "lt")
            replacement = "<";
        else if (name == "gt")
            replacement = ">";
        else if (name.size() > 1 && name[0] == '#') {
            unsigned code = 0;
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            const auto r =
                std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (r.ptr == digits.data() + digits.size() && code > 0 && code < 0x110000) {
                const std::u16string units =
                    code < 0x10000
                        ? std::u16string(1, static_cast<char16_t>(code))
                        : std::u16string{
                              static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)),
                              static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF))};
                replacement = utf16ToUtf8(units);
            }
        }
        if (replacement.empty()) {
            out += s[i];
            continue;
        }
        out += replacement;
        i = semi;
    }
    return out;
}

// The value of attribute `name` in the tag text `tag` ("<a ... >"); nullopt when absent.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = 0; (at = tag.find_first_of(" \t\r\n", at)) != std::string_view::npos;) {
        while (at < tag.size() && blank(tag[at]))
            ++at;
        if (!startsWithNoCase(tag, at, name))
            continue;
        std::size_t p = at + name.size();
        while (p < tag.size() && blank(tag[p]))
            ++p;
        if (p >= tag.size() || tag[p] != '=')
            continue;
        ++p;
        while (p < tag.size() && blank(tag[p]))
            ++p;
        if (p >= tag.size())
            return std::string();
        if (tag[p] == '"' || tag[p] == '\'') {
            const std::size_t end = tag.find(tag[p], p + 1);
            return decodeEntities(tag.substr(
                p + 1, end == std::string_view::npos ? std::string_view::npos : end - p - 1));
        }
        std::size_t end = p;
        while (end < tag.size() && !blank(tag[end]) && tag[end] != '>')
            ++end;
        return decodeEntities(tag.substr(p, end - p));
    }
    return std::nullopt;
}

// One argument of a script call at `at`: a quoted string (its escapes undone) or the bare text
// up to the next "," or ")"; `at` moves past it and its comma.
std::optional<std::string> scriptArgument(std::string_view text, std::size_t& at) {
    while (at < text.size() && blank(text[at]))
        ++at;
    if (at >= text.size())
        return std::nullopt;
    std::string value;
    if (text[at] == '\'' || text[at] == '"') {
        const char quote = text[at++];
        while (at < text.size() && text[at] != quote) {
            if (text[at] == '\\' && at + 1 < text.size())
                ++at;
            if (text[at] == '\n')
                return std::nullopt;
            value += text[at++];
        }
        if (at >= text.size())
            return std::nullopt;
        ++at;
    } else {
        while (at < text.size() && text[at] != ',' && text[at] != ')')
            value += text[at++];
    }
    while (at < text.size() && blank(text[at]))
        ++at;
    if (at < text.size() && text[at] == ',')
        ++at;
    return value;
}

bool isPageName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = path.substr(slash == std::string_view::npos ? 0 : slash + 1);
    if (name.empty())
        return false;
    // The contents page itself is no chapter.
    if (name.size() >= 9 && equalsNoCase(name.substr(name.size() - 9), "tree.html"))
        return false;
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos)
        return true;
    const std::string_view ext = name.substr(dot + 1);
    for (std::string_view page : {"htm", "html", "xhtml", "shtml", "txt"})
        if (equalsNoCase(ext, page))
            return true;
    return false;
}

std::string folded(std::string_view page) {
    return toUpperUnicode(page);
}

} // namespace

std::vector<std::string> readingOrder(std::string_view html, std::string_view contentsFolder) {
    std::vector<std::string> order;
    // The pages met so far, folded: a contents page of thousands of chapters is looked up in
    // once per link, not walked.
    std::unordered_set<std::string> seen;
    auto take = [&](const std::string& address) {
        const book::BookLink link = book::resolveBookLink(address, contentsFolder);
        if (link.kind != book::LinkKind::InBook || !isPageName(link.path))
            return;
        if (!seen.insert(folded(link.path)).second)
            return;
        order.push_back(link.path);
    };
    for (std::size_t at = 0; at < html.size(); ++at) {
        if (html[at] == '<' && startsWithNoCase(html, at + 1, "a") && at + 2 < html.size() &&
            blank(html[at + 2])) {
            const std::size_t end = html.find('>', at);
            if (end == std::string_view::npos)
                break;
            if (const auto href = attribute(html.substr(at, end - at), "href"))
                take(*href);
            at = end;
        } else if (html[at] == '.' && html.compare(at, 5, ".add(") == 0) {
            // The generated tree: add(id, parent, 'title', 'page', ...).
            std::size_t p = at + 5;
            std::optional<std::string> args[4];
            for (auto& arg : args)
                if (!(arg = scriptArgument(html, p)))
                    break;
            if (args[3])
                take(*args[3]);
            at = p - 1;
        }
    }
    return order;
}

std::optional<std::size_t> chapterIndex(const std::vector<std::string>& order,
                                        std::string_view page) {
    const std::string key = folded(page);
    for (std::size_t i = 0; i < order.size(); ++i)
        if (folded(order[i]) == key)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> nextChapter(const std::vector<std::string>& order,
                                       std::string_view page) {
    if (order.empty())
        return std::nullopt;
    const auto at = chapterIndex(order, page);
    if (!at)
        return 0;
    if (*at + 1 >= order.size())
        return std::nullopt;
    return *at + 1;
}

std::optional<std::size_t> previousChapter(const std::vector<std::string>& order,
                                           std::string_view page) {
    const auto at = chapterIndex(order, page);
    if (!at || *at == 0)
        return std::nullopt;
    return *at - 1;
}

std::string chapterPlaceText(std::size_t index, std::size_t count) {
    return "第 " + std::to_string(index + 1) + "/" + std::to_string(count) + " 章";
}

std::string chapterKeysScript() {
    return R"JS((function () {
var d = document;
function onKey(e) {
  e = e || window.event;
  if (e.ctrlKey || e.altKey || e.metaKey) return;
  var t = e.target || e.srcElement;
  if (t && (t.isContentEditable || /^(input|textarea|select)$/i.test(t.nodeName))) return;
  var k = e.keyCode, down = (k === 32 && !e.shiftKey) || k === 34, up = k === 33 || (k === 32 && e.shiftKey);
  if (!down && !up) return;
  var el = d.scrollingElement || d.documentElement || d.body;
  var top = el.scrollTop || d.body.scrollTop || 0;
  var view = window.innerHeight || el.clientHeight;
  var go = '';
  if (down && top + view >= el.scrollHeight - 2) go = 'next';
  else if (up && top <= 0) go = 'previous-end';
  if (!go) return;
  if (e.preventDefault) e.preventDefault(); else e.returnValue = false;
  window.location.href = 'folio-reader:' + go;
}
if (d.addEventListener) d.addEventListener('keydown', onKey, true);
else if (d.attachEvent) d.attachEvent('onkeydown', onKey);
})();)JS";
}

// ---- settings --------------------------------------------------------------------------------

namespace {

struct ThemeRow {
    Theme theme;
    std::string_view name, caption, foreground, background, link;
};
constexpr ThemeRow Themes[] = {
    {Theme::Original, "original", "原样", "", "", ""},
    {Theme::Sepia, "sepia", "护眼", "#5b4636", "#f4ecd8", "#8a4b12"},
    {Theme::Night, "night", "夜间", "#d2d2d2", "#2b2b2b", "#8ab4f8"},
    {Theme::Black, "black", "纯黑", "#b4b4b4", "#000000", "#7aa7e0"},
    {Theme::Custom, "custom", "自定义", "", "", ""},
};

const ThemeRow& row(Theme theme) {
    for (const ThemeRow& r : Themes)
        if (r.theme == theme)
            return r;
    return Themes[0];
}

bool isColour(std::string_view s) {
    if (s.size() != 7 || s[0] != '#')
        return false;
    return std::all_of(s.begin() + 1, s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

// A plain decimal ("14", "1.8"). Written out by hand: the standard library's floating-point
// parser would bring its locale code into the Windows reader.
std::optional<double> decimal(std::string_view s) {
    double value = 0, scale = 1;
    bool digits = false, point = false;
    for (const char c : s) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (point)
                value += (c - '0') * (scale /= 10);
            else
                value = value * 10 + (c - '0');
            if (value > 1e6)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return digits ? std::optional<double>(value) : std::nullopt;
}

template <typename Number>
std::optional<Number> number(std::string_view s, Number min, Number max) {
    const auto v = decimal(s);
    if (!v || *v < min || *v > max)
        return std::nullopt;
    // A whole number setting takes no fraction.
    if (static_cast<double>(static_cast<Number>(*v)) != *v)
        return std::nullopt;
    return static_cast<Number>(*v);
}

std::string formatted(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// A font name or a path goes into a style sheet or a file name: nothing that could end the
// value it stands in.
bool plainText(std::string_view s) {
    return s.find_first_of(";{}<>\"\\\r\n") == std::string_view::npos;
}

} // namespace

std::string_view themeName(Theme theme) {
    return row(theme).name;
}

std::string_view themeCaption(Theme theme) {
    return row(theme).caption;
}

std::optional<ThemeColours> themeColours(const ReadingSettings& s) {
    if (s.theme == Theme::Original)
        return std::nullopt;
    if (s.theme == Theme::Custom)
        return ThemeColours{s.foreground, s.background, s.foreground};
    const ThemeRow& r = row(s.theme);
    return ThemeColours{std::string(r.foreground), std::string(r.background), std::string(r.link)};
}

std::optional<std::string> setReadingValue(ReadingSettings& s, std::string_view key,
                                           std::string_view value) {
    const ReadingSettings defaults;
    bool ok = true;
    std::string fallback;
    if (equalsNoCase(key, "theme")) {
        ok = false;
        for (const ThemeRow& r : Themes)
            if (equalsNoCase(value, r.name)) {
                s.theme = r.theme;
                ok = true;
            }
        fallback = themeName(defaults.theme);
    } else if (equalsNoCase(key, "foreground") || equalsNoCase(key, "background")) {
        std::string& colour = equalsNoCase(key, "foreground") ? s.foreground : s.background;
        ok = isColour(value);
        if (ok)
            colour = std::string(value);
        fallback = equalsNoCase(key, "foreground") ? defaults.foreground : defaults.background;
    } else if (equalsNoCase(key, "font")) {
        ok = plainText(value);
        if (ok)
            s.font = std::string(value);
        fallback = "the book's own";
    } else if (equalsNoCase(key, "fontsize")) {
        const auto v = value.empty() ? std::optional<int>(0) : number<int>(value, 6, 96);
        ok = v.has_value() && (*v == 0 || *v >= 6);
        s.fontSize = ok ? *v : defaults.fontSize;
        fallback = "0";
    } else if (equalsNoCase(key, "lineheight")) {
        const auto v = value.empty() ? std::optional<double>(0) : number<double>(value, 0, 4);
        ok = v.has_value() && (*v == 0 || *v >= 0.8);
        s.lineHeight = ok ? *v : defaults.lineHeight;
        fallback = "0";
    } else if (equalsNoCase(key, "paragraphspacing")) {
        const auto v = value.empty() ? std::optional<double>(0) : number<double>(value, 0, 5);
        ok = v.has_value();
        s.paragraphSpacing = ok ? *v : defaults.paragraphSpacing;
        fallback = "0";
    } else if (equalsNoCase(key, "margin")) {
        const auto v = value.empty() ? std::optional<int>(0) : number<int>(value, 0, 400);
        ok = v.has_value();
        s.margin = ok ? *v : defaults.margin;
        fallback = "0";
    } else if (equalsNoCase(key, "maxwidth")) {
        const auto v = value.empty() ? std::optional<int>(0) : number<int>(value, 0, 20000);
        ok = v.has_value() && (*v == 0 || *v >= 200);
        s.maxWidth = ok ? *v : defaults.maxWidth;
        fallback = "0";
    } else if (equalsNoCase(key, "bookstyle") || equalsNoCase(key, "statusline")) {
        ok = value == "1" || value == "0" || equalsNoCase(value, "true") ||
             equalsNoCase(value, "false");
        bool& flag = equalsNoCase(key, "bookstyle") ? s.bookStyle : s.statusLine;
        flag = ok ? (value == "1" || equalsNoCase(value, "true")) : true;
        fallback = "1";
    } else if (equalsNoCase(key, "userstyle")) {
        ok = plainText(value);
        if (ok)
            s.userStyle = std::string(value);
        fallback = "none";
    } else {
        return std::nullopt; // a key of a later version: left for it
    }
    if (ok)
        return std::string();
    return std::string(key) + "=" + std::string(value) + ": not a value this setting takes, " +
           fallback + " used";
}

ReadingSettingsRead parseReadingSettings(std::string_view bytes) {
    ReadingSettingsRead read;
    ReadingSettings& s = read.settings;
    const std::string text = decodeToUtf8(bytes, false);
    bool inSection = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            inSection = equalsNoCase(line, "[reading]");
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos)
            continue;
        const std::string_view key = trimmed(line.substr(0, eq));
        const std::string_view value = trimmed(line.substr(eq + 1));
        if (auto problem = setReadingValue(s, key, value); problem && !problem->empty())
            read.problems.push_back(std::move(*problem));
    }
    return read;
}

std::vector<std::pair<std::string, std::string>> readingSettingValues(const ReadingSettings& s) {
    return {
        {"Theme", std::string(themeName(s.theme))},
        {"Foreground", s.foreground},
        {"Background", s.background},
        {"Font", s.font},
        {"FontSize", std::to_string(s.fontSize)},
        {"LineHeight", formatted(s.lineHeight)},
        {"ParagraphSpacing", formatted(s.paragraphSpacing)},
        {"Margin", std::to_string(s.margin)},
        {"MaxWidth", std::to_string(s.maxWidth)},
        {"BookStyle", s.bookStyle ? "1" : "0"},
        {"UserStyle", s.userStyle},
        {"StatusLine", s.statusLine ? "1" : "0"},
    };
}

std::string readingSettingsText(const ReadingSettings& s) {
    std::string text = "[Reading]\r\n";
    for (const auto& [key, value] : readingSettingValues(s))
        text += key + "=" + value + "\r\n";
    return text;
}

std::string themeStyleSheet(const ReadingSettings& s) {
    std::string css;
    if (const auto c = themeColours(s)) {
        css += "html,body{background:" + c->background + "!important;color:" + c->foreground +
               "!important}body *{color:inherit!important;background-color:transparent!important;"
               "border-color:" +
               c->foreground + "!important}a,a *{color:" + c->link + "!important}";
    }
    return css;
}

std::string readingStyleSheet(const ReadingSettings& s, std::string_view userCss) {
    std::string css = themeStyleSheet(s);
    const std::string text = "body,body p,body div,body li,body td,body th,body span,body font";
    if (!s.font.empty())
        css += text + "{font-family:\"" + s.font + "\"!important}";
    if (s.fontSize > 0)
        css += "html{font-size:" + std::to_string(s.fontSize) + "px!important}" + text +
               "{font-size:" + std::to_string(s.fontSize) +
               "px!important}h1{font-size:1.6em!important}h2{font-size:1.4em!important}"
               "h3{font-size:1.2em!important}";
    if (s.lineHeight > 0)
        css += text + "{line-height:" + formatted(s.lineHeight) + "!important}";
    if (s.paragraphSpacing > 0)
        css += "p{margin-top:0!important;margin-bottom:" + formatted(s.paragraphSpacing) +
               "em!important}";
    if (s.margin > 0)
        css += "body{padding:" + std::to_string(s.margin) + "px!important;margin:0!important}";
    if (s.maxWidth > 0)
        css += "body{max-width:" + std::to_string(s.maxWidth) +
               "px!important;margin-left:auto!important;margin-right:auto!important}";
    css += userCss;
    return css;
}

std::string readingStyleScript(std::string_view css, bool bookStyle, std::string_view id) {
    // Run as early as the document exists, the style goes in before the first paint; at the
    // document's end it is moved last again and the book's sheets are switched off if asked.
    static constexpr std::string_view Script = R"JS((function (css, own, id) {
var d = document;
function put() {
  var s = d.getElementById(id);
  if (!s) {
    s = d.createElement('style');
    s.id = id;
    s.type = 'text/css';
  }
  var at = d.head || d.documentElement;
  if (!at) return;
  if (s.parentNode !== at || at.lastChild !== s) at.appendChild(s);
  if (s.styleSheet) s.styleSheet.cssText = css; else if (s.textContent !== css) s.textContent = css;
  // The book's sheets this script switched off are marked, so that turning the book's style
  // on again while the page is shown brings back those and no sheet the book itself had off.
  for (var i = 0; i < d.styleSheets.length; i++) {
    var sheet = d.styleSheets[i];
    var node = sheet.ownerNode || sheet.owningElement;
    if (node && String(node.id).indexOf('folio-') === 0) continue;
    try {
      if (!own) { if (!sheet.disabled && node) node.setAttribute('data-folio-off', '1'); sheet.disabled = true; }
      else if (node && node.getAttribute('data-folio-off')) { node.removeAttribute('data-folio-off'); sheet.disabled = false; }
    } catch (e) {}
  }
}
if (d.documentElement) put();
else if (window.MutationObserver) {
  var watch = new MutationObserver(function () { if (d.documentElement) { watch.disconnect(); put(); } });
  watch.observe(d, { childList: true });
}
if (d.readyState !== 'complete' && d.addEventListener) d.addEventListener('DOMContentLoaded', put, false);
return css.length;
}))JS";
    std::string script(Script);
    script += '(';
    script += scriptStringLiteral(css);
    script += bookStyle ? ", true, " : ", false, ";
    script += scriptStringLiteral(id);
    script += ");";
    return script;
}

namespace {
constexpr std::string_view ReadingHeader = "folio reading settings 1";
}

ReadingStore::ReadingStore(std::string folder, std::size_t capacity)
    : m_folder(folder.empty() ? stateFolder() : std::move(folder)), m_capacity(capacity) {}

std::string ReadingStore::filePath() const {
    return m_folder.empty() ? std::string() : FixPath(m_folder) + "reading";
}

std::optional<ReadingSettings> ReadingStore::find(std::string_view key) const {
    for (const auto& fields : readStateFile(filePath(), ReadingHeader)) {
        if (fields.size() < 2 || fields[0] != key)
            continue;
        const auto text = decodeField(fields[1]);
        if (!text)
            return std::nullopt;
        return parseReadingSettings(*text).settings;
    }
    return std::nullopt;
}

Result<void> ReadingStore::remember(std::string_view key, const ReadingSettings& settings) const {
    if (filePath().empty())
        return fail("reading settings: no state folder to keep them in");
    std::vector<std::vector<std::string>> rows{
        {std::string(key), encodeField(readingSettingsText(settings))}};
    for (auto& fields : readStateFile(filePath(), ReadingHeader))
        if (!fields.empty() && fields[0] != key && rows.size() < m_capacity)
            rows.push_back(std::move(fields));
    return writeStateFile(filePath(), ReadingHeader, rows);
}

ReadingLengths readingLengths(const std::vector<std::string>& order,
                              const std::function<std::uint64_t(const std::string&)>& lengthOf) {
    ReadingLengths l;
    l.length.reserve(order.size());
    l.before.reserve(order.size());
    for (const std::string& page : order) {
        l.before.push_back(l.total);
        l.length.push_back(lengthOf(page));
        l.total += l.length.back();
    }
    return l;
}

double shareRead(const ReadingLengths& l, std::size_t index, double fraction) {
    if (index >= l.length.size() || l.total == 0)
        return 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    return (static_cast<double>(l.before[index]) +
            fraction * static_cast<double>(l.length[index])) /
           static_cast<double>(l.total);
}

namespace {
constexpr std::string_view SpeedHeader = "folio reading speed 1";
}

ReadingSpeed::ReadingSpeed(std::string folder)
    : m_folder(folder.empty() ? stateFolder() : std::move(folder)) {}

std::optional<double> ReadingSpeed::bytesPerMinute() const {
    if (m_folder.empty())
        return std::nullopt;
    for (const auto& fields : readStateFile(FixPath(m_folder) + std::string(FileName), SpeedHeader))
        if (!fields.empty())
            if (const auto v = decimal(fields[0]); v && *v > 0)
                return *v;
    return std::nullopt;
}

Result<void> ReadingSpeed::learn(std::uint64_t bytes, double seconds) const {
    if (seconds < 5 || seconds > 30 * 60 || bytes == 0)
        return {};
    if (m_folder.empty())
        return fail("reading speed: no state folder to keep it in");
    const double sample = static_cast<double>(bytes) * 60 / seconds;
    // Each page moves the speed a third of the way: one odd page does not make it.
    const auto known = bytesPerMinute();
    const double speed = known ? *known + (sample - *known) / 3 : sample;
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", speed);
    return writeStateFile(FixPath(m_folder) + std::string(FileName), SpeedHeader, {{text}});
}

std::string whereText(std::size_t index, std::size_t count, double share,
                      std::optional<double> chapterMinutes, std::optional<double> bookMinutes) {
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.1f%%", share * 100);
    std::string text = chapterPlaceText(index, count) + " · 已读 " + percent;
    auto minutes = [](double m) {
        if (m < 1)
            return std::string("不到 1 分钟");
        if (m < 90)
            return "约 " + std::to_string(static_cast<long long>(m + 0.5)) + " 分钟";
        char hours[32];
        std::snprintf(hours, sizeof hours, "约 %.1f 小时", m / 60);
        return std::string(hours);
    };
    if (chapterMinutes)
        text += " · 本章还剩" + minutes(*chapterMinutes);
    if (bookMinutes)
        text += " · 全书还剩" + minutes(*bookMinutes);
    return text;
}

void ReadingSpeed::learnStep(const BookReading& reading, std::optional<std::size_t> left,
                             std::optional<std::size_t> reached, double seconds) const {
    if (left && reached && *reached == *left + 1 && *left < reading.lengths.length.size())
        (void)learn(reading.lengths.length[*left], seconds);
}

BookReading bookReading(const book::BookImage& image) {
    BookReading reading;
    const auto descriptor = image.descriptor();
    const auto fields =
        descriptor ? book::splitDescriptor(*descriptor) : std::vector<std::string>();
    if (fields.size() < 4)
        return reading;
    const std::string& contents = fields[3];
    const auto bytes = image.find(contents);
    if (!bytes)
        return reading;
    const std::string html = decodeToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), true);
    const std::size_t slash = contents.find_last_of('/');
    reading.order = readingOrder(html, slash == std::string::npos
                                           ? std::string_view()
                                           : std::string_view(contents).substr(0, slash));
    reading.lengths = readingLengths(reading.order, [&image](const std::string& page) {
        const auto page_bytes = image.find(page);
        return page_bytes ? static_cast<std::uint64_t>(page_bytes->size()) : 0;
    });
    return reading;
}

std::string readingStatusText(const BookReading& reading, std::optional<std::size_t> index,
                              double fraction, std::optional<double> bytesPerMinute) {
    if (!index || *index >= reading.order.size() || *index >= reading.lengths.length.size())
        return {};
    fraction = std::clamp(fraction, 0.0, 1.0);
    const double share = shareRead(reading.lengths, *index, fraction);
    std::optional<double> chapter, whole;
    if (bytesPerMinute && *bytesPerMinute > 0) {
        chapter = (1 - fraction) * reading.lengths.length[*index] / *bytesPerMinute;
        whole = (1 - share) * reading.lengths.total / *bytesPerMinute;
    }
    return whereText(*index, reading.order.size(), share, chapter, whole);
}

} // namespace folio::reader
