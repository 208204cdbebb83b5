// The reading window's rules without a window (see readerrules.h).
#include "reader/core/readerrules.h"

#include "core/booklink.h"
#include "core/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace folio::reader {

namespace {

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool endsWithUpper(std::string_view s, std::string_view upperSuffix) {
    return s.size() >= upperSuffix.size() &&
           upperAscii(s.substr(s.size() - upperSuffix.size())) == upperSuffix;
}

} // namespace

int initialZoom(Variant variant) {
    return variant == Variant::Net ? 80 : NormalZoom;
}

PaneLayout layoutPanes(int innerWidth, int innerHeight, int toolbarHeight, int toolbar1Height,
                       int treeWidth) {
    PaneLayout l;
    l.tree = {0, toolbarHeight, treeWidth, std::max(0, innerHeight - toolbarHeight)};
    l.bar = {treeWidth, toolbarHeight, BarWidth, std::max(0, innerHeight - toolbar1Height)};
    l.book = {treeWidth + BarWidth, toolbarHeight, std::max(0, innerWidth - treeWidth - BarWidth),
              std::max(0, innerHeight - toolbarHeight)};
    return l;
}

std::int32_t roundToWholeNumber(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    if (value <= low)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= high)
        return std::numeric_limits<std::int32_t>::max();
    // std::nearbyint follows the default rounding mode, which rounds halves to even.
    return static_cast<std::int32_t>(std::nearbyint(value));
}

bool advertTimeIsUp(std::int64_t elapsedMilliseconds, double showTime) {
    constexpr double msPerDay = 24.0 * 60 * 60 * 1000;
    const double elapsedDays = static_cast<double>(elapsedMilliseconds) / msPerDay;
    return elapsedDays > static_cast<double>(roundToWholeNumber(showTime));
}

int splitterLeft(int barLeft, int releaseX) {
    return std::max(MinSplitterLeft, barLeft + releaseX);
}

ScreenRect fitOnScreen(int wantedWidth, int wantedHeight, const ScreenRect& available) {
    const int w = std::clamp(wantedWidth, 0, std::max(0, available.width));
    const int h = std::clamp(wantedHeight, 0, std::max(0, available.height));
    return {available.x + (available.width - w) / 2, available.y + (available.height - h) / 2, w,
            h};
}

bool routeContentsLinkToPage(std::string_view url) {
    const std::string upper = upperAscii(url);
    const bool contentsPage = endsWithUpper(url, "TREE.HTML");
    const bool script = upper.starts_with("JAVASCRIPT");
    const bool blank = upper == "ABOUT:BLANK";
    return !contentsPage && !script && !blank;
}

bool isSoundLink(std::string_view url) {
    return endsWithUpper(url, ".MP3");
}

std::string soundResourceName(std::string_view url) {
    const auto slash = url.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? url : url.substr(slash + 1);
    return toUpperUnicode(name);
}

std::string afterBookPrefix(std::string_view address, std::string_view prefix) {
    if (prefix.empty() || address.size() <= prefix.size())
        return {};
    // Windows paths ignore case beyond ASCII too: the folder of "C:\Книги\" may come back as
    // "C:\КНИГИ\".
    const std::string_view head = address.substr(0, prefix.size());
    if (head != prefix && toUpperUnicode(head) != toUpperUnicode(prefix))
        return {};
    return std::string(address.substr(prefix.size()));
}

std::string bookPageOf(std::string_view afterPrefix) {
    return book::percentDecoded(afterPrefix.substr(0, afterPrefix.find_first_of("?#")));
}

std::string localPrefix(const std::string& programFolder) {
    std::string folder = programFolder;
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) {
        folder += '/';
    }
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return "file://" + folder;
}

Download contentsDownload(const std::string& base, const std::string& programFolder) {
    return {base + "book/tree.html", programFolder + "/tree/tree.html"};
}

Download indexDownload(const std::string& base, const std::string& programFolder) {
    return {base + "book/index.html", programFolder + "/index.html"};
}

std::string libraryPath(const std::string& programFolder, const std::string& localFile) {
    std::string folder = programFolder;
    std::replace(folder.begin(), folder.end(), '\\', '/');
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    std::string file = localFile;
    std::replace(file.begin(), file.end(), '\\', '/');
    if (file.size() <= folder.size() || file.compare(0, folder.size(), folder) != 0)
        return {};
    std::string relative = file.substr(folder.size());
    // A path that climbs out again is not the book's.
    if (relative == ".." || relative.starts_with("../") ||
        relative.find("/../") != std::string::npos)
        return {};
    constexpr std::string_view TreeFolder = "tree/";
    if (relative.starts_with(TreeFolder))
        relative.erase(0, TreeFolder.size());
    return relative;
}

std::string libraryAddress(const std::string& base, const std::string& programFolder,
                           const std::string& localFile) {
    const std::string relative = libraryPath(programFolder, localFile);
    return relative.empty() ? std::string() : base + "book/" + relative;
}

namespace {

// Text put into a page of the reader's own, as text or inside a quoted attribute.
std::string escape(std::string_view t) {
    std::string out;
    for (char c : t) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string unreachablePage(std::string_view address, std::string_view reason) {
    return "<html><head><meta charset='utf-8'><title>无法连接在线书库</title></head>"
           "<body style='font-family:sans-serif;margin:2em'><h3>无法连接在线书库</h3>"
           "<p>在线书库 " +
           escape(address) +
           " 现在无法访问，本地也还没有这本书的副本。</p><p>请检查网络连接，稍后点工具栏上的"
           "“更新”或“刷新”再试。</p><p style='color:#777;font-size:small'>" +
           escape(reason) + "</p></body></html>";
}

std::string onlineCaption(std::string_view title) {
    return "folioNet-" + std::string(title);
}

bool hasTextToSave(std::string_view clipboardUtf8) {
    return !clipboardUtf8.empty();
}

std::string savedFileBytes(std::string_view clipboardUtf8) {
    // The clipboard holds LF line ends here and CR LF on Windows; the file is the same either way.
    std::string text;
    text.reserve(clipboardUtf8.size() + 2);
    for (std::size_t i = 0; i < clipboardUtf8.size(); ++i) {
        const char c = clipboardUtf8[i];
        if (c == '\r') {
            text += "\r\n";
            if (i + 1 < clipboardUtf8.size() && clipboardUtf8[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }
    return toAnsi(text) + "\r\n";
}

std::string savedMessage(std::string_view path) {
    return "文件 " + std::string(path) + "，保存成功。";
}

std::string AboutHtml() {
    std::string html;
    html += "<!DOCTYPE html PUBLIC '-//W3C//DTD XHTML 1.0 Transitional//EN' "
            "'http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd'>";
    html += "<html xmlns='http://www.w3.org/1999/xhtml'>";
    html += "<head>";
    html += "<meta http-equiv='Content-Type' content='text/html; charset=gb2312' />";
    html += "<title>Mirelo电子书</title>";
    html += "</head>";
    html += "<body>";
    html += "<div align='center'><a href='http://www.example.com/' target='_blank'>Mirelo电子书</a>"
            "</div>";
    html += "<div align='center'>联系：folio@example.com</div>";
    html += "<div align='center'>把一个文件夹的HTML网页制作成一本电子书，<br />"
            "一个程序文件就是一本书，打开即可阅读。</div>";
    html += "</body>";
    html += "</html>";
    return html;
}

bool showsMissingPage(std::string_view name) {
    name = name.substr(0, name.find_first_of("#?"));
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name = name.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (name.empty())
        return false;
    if (dot == std::string_view::npos)
        return true;
    const std::string ext = upperAscii(name.substr(dot + 1));
    return ext == "HTM" || ext == "HTML" || ext == "XHTML" || ext == "SHTML";
}

std::string missingPageHtml(std::string_view pageName, std::string_view homeAddress,
                            const ReaderTextLookup& text) {
    auto say = [&](const ReaderText& t) { return text ? text(t) : std::string(t.fallback); };
    std::string sentence = say(MissingPageText);
    if (const auto at = sentence.find("%1"); at != std::string::npos)
        sentence = escape(sentence.substr(0, at)) + "<b>" + escape(pageName) + "</b>" +
                   escape(sentence.substr(at + 2));
    else
        sentence = escape(sentence);
    std::string html = "<!DOCTYPE html><html><head><meta charset='utf-8'>"
                       "<meta http-equiv='X-UA-Compatible' content='IE=edge'><title>" +
                       escape(say(MissingPageTitle)) +
                       "</title></head><body style='font-family:sans-serif;margin:2em'><h3>" +
                       escape(say(MissingPageTitle)) + "</h3><p>" + sentence + "</p><p>" +
                       escape(say(MissingPageHint)) + "</p><p>";
    if (!homeAddress.empty())
        html += "<a id='folio-home' href=\"" + escape(homeAddress) + "\">" +
                escape(say(MissingPageHome)) + "</a>&nbsp;&nbsp;&nbsp;";
    html += "<a id='folio-back' href='javascript:history.back()'>" + escape(say(MissingPageBack)) +
            "</a></p></body></html>";
    return html;
}

std::string playerTimeText(long long milliseconds) {
    const long long total = std::max(0LL, milliseconds) / 1000;
    const long long h = total / 3600, m = (total / 60) % 60, s = total % 60;
    char buf[32];
    if (h > 0) {
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", h, m, s);
    } else {
        std::snprintf(buf, sizeof buf, "%02lld:%02lld", m, s);
    }
    return buf;
}

std::string cleanLinkName(std::string_view text) {
    // Byte length of a white-space character at `i` (0 when there is none).
    auto space = [&](std::size_t i) -> std::size_t {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')
            return 1;
        if (text.substr(i, 2) == "\xC2\xA0") // no-break space
            return 2;
        if (text.substr(i, 3) == "\xE3\x80\x80") // ideographic space
            return 3;
        return 0;
    };
    std::string out;
    bool pending = false;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t n = space(i)) {
            pending = !out.empty();
            i += n;
            continue;
        }
        if (pending)
            out += ' ';
        pending = false;
        out += text[i++];
    }
    return out;
}

const std::vector<ReaderShortcut>& readerShortcuts() {
    static const std::vector<ReaderShortcut> list = {
        {"Ctrl+O", "打开电子书"},
        {"Ctrl+S", "保存剪贴板中的文字"},
        {"Ctrl+D", "添加书签"},
        {"Ctrl+F", "在页面中查找"},
        {"F3 / Shift+F3", "查找下一个 / 上一个"},
        {"Ctrl+Shift+F", "在全书中查找"},
        {"Ctrl+PgDown / Ctrl+PgUp", "下一章 / 上一章"},
        {"Space / PgDown", "到页末时翻到下一章"},
        {"Ctrl+Shift+R", "阅读设置"},
        {"Ctrl+Shift+U", "朗读全书 / 暂停 / 继续"},
        {"Ctrl++ / Ctrl+-", "放大 / 缩小"},
        {"Ctrl+0", "恢复原始大小"},
        {"Alt+Left / Backspace", "后退"},
        {"Alt+Right", "前进"},
        {"F5", "刷新"},
        {"F11", "全屏"},
        {"Esc", "关闭查找栏，退出全屏"},
    };
    return list;
}

std::string shortcutsText() {
    std::string text;
    for (const ReaderShortcut& s : readerShortcuts()) {
        text += std::string(s.keys) + "\t" + s.action + "\n";
    }
    return text;
}

} // namespace folio::reader
