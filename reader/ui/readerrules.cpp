// The reading window's rules as plain functions (see readerrules.h).
#include "readerrules.h"

#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace folio::readerui {

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
    return variant == Variant::Net ? 80 : 100;
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

int splitterLeft(int barLeft, int releaseX) {
    return std::max(MinSplitterLeft, barLeft + releaseX);
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

std::string onlineCaption(std::string_view title) {
    return "folioNet-" + std::string(title);
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

} // namespace folio::readerui
