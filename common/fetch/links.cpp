// Plain-text link extraction and address resolution.
#include "fetch/links.h"

#include "core/text.h"

#include <cctype>
#include <cstdint>
#include <string_view>

namespace folio::fetch {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view what) {
    if (at + what.size() > text.size())
        return false;
    for (std::size_t i = 0; i < what.size(); ++i) {
        if (lower(text[at + i]) != lower(what[i]))
            return false;
    }
    return true;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out.push_back(text[i]);
            continue;
        }
        const auto semi = text.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out.push_back('&');
            continue;
        }
        const std::string_view name = text.substr(i + 1, semi - i - 1);
        bool known = true;
        if (name == "amp")
            out.push_back('&');
        else if (name == "lt")
            out.push_back('<');
        else if (name == "gt")
            out.push_back('>');
        else if (name == "quot")
            out.push_back('"');
        else if (name == "apos")
            out.push_back('\'');
        else if (name == "nbsp")
            out.push_back(' ');
        else if (!name.empty() && name[0] == '#') {
            std::uint32_t cp = 0;
            const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
            const std::string_view digits = name.substr(hex ? 2 : 1);
            known = !digits.empty();
            for (char d : digits) {
                const int v = std::isdigit(static_cast<unsigned char>(d)) ? d - '0'
                              : hex && std::isxdigit(static_cast<unsigned char>(d))
                                  ? lower(d) - 'a' + 10
                                  : -1;
                if (v < 0 || cp > 0x10FFFF) {
                    known = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
            }
            // "&#0;" would cut the text short wherever it is used as a C string.
            if (known)
                appendUtf8(out, cp == 0 ? char32_t{0xFFFD} : char32_t{cp});
        } else {
            known = false;
        }
        if (!known) {
            out.push_back('&');
            continue;
        }
        i = semi;
    }
    return out;
}

// Text of an HTML fragment: tags removed, entities decoded, blanks folded, trimmed.
std::string innerText(std::string_view html) {
    std::string raw;
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') {
            const auto close = html.find('>', i);
            if (close == std::string_view::npos)
                break;
            if (startsWithNoCase(html, i, "<br"))
                raw.push_back(' ');
            i = close;
            continue;
        }
        raw.push_back(html[i]);
    }
    const std::string decoded = decodeEntities(raw);
    std::string out;
    bool pendingSpace = false;
    for (char c : decoded) {
        if (isSpace(c)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace)
            out.push_back(' ');
        pendingSpace = false;
        out.push_back(c);
    }
    return out;
}

// Value of attribute `name` inside a start tag's text (after the tag name), or nullopt.
bool findAttribute(std::string_view tag, std::string_view name, std::string& value) {
    std::size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() && (isSpace(tag[i]) || tag[i] == '/'))
            ++i;
        const std::size_t nameStart = i;
        while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '=' && tag[i] != '>' &&
               tag[i] != '/')
            ++i;
        const std::string_view attr = tag.substr(nameStart, i - nameStart);
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        std::string_view attrValue;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && isSpace(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                const auto end = tag.find(quote, i);
                const std::size_t stop = end == std::string_view::npos ? tag.size() : end;
                attrValue = tag.substr(i, stop - i);
                i = stop + 1;
            } else {
                const std::size_t start = i;
                while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '>')
                    ++i;
                attrValue = tag.substr(start, i - start);
            }
        }
        if (attr.empty()) {
            ++i;
            continue;
        }
        if (attr.size() == name.size() && startsWithNoCase(attr, 0, name)) {
            value = decodeEntities(attrValue);
            return true;
        }
    }
    return false;
}

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b]))
        ++b;
    while (e > b && isSpace(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

// Removes "." and ".." segments of a path that starts with "/".
std::string removeDotSegments(std::string_view path) {
    std::vector<std::string> out;
    std::size_t i = 0;
    bool trailingSlash = false;
    while (i <= path.size()) {
        auto slash = path.find('/', i);
        if (slash == std::string_view::npos)
            slash = path.size();
        const std::string_view seg = path.substr(i, slash - i);
        trailingSlash = false;
        if (seg == "..") {
            if (!out.empty())
                out.pop_back();
            trailingSlash = true;
        } else if (seg == ".") {
            trailingSlash = true;
        } else if (!(seg.empty() && i == 0)) {
            out.emplace_back(seg);
        }
        i = slash + 1;
    }
    std::string result;
    for (const std::string& seg : out)
        result += "/" + seg;
    if (trailingSlash || result.empty())
        result += "/";
    return result;
}

} // namespace

std::string resolveUrl(const std::string& base, const std::string& referenceIn) {
    const std::string reference = trim(referenceIn);
    // Absolute: a scheme of letters, digits, "+", "-", "." before ":".
    const auto colon = reference.find(':');
    if (colon != std::string::npos && colon > 0 &&
        std::isalpha(static_cast<unsigned char>(reference[0]))) {
        bool scheme = true;
        for (std::size_t i = 0; i < colon; ++i) {
            const char c = reference[i];
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
                scheme = false;
        }
        if (scheme)
            return reference;
    }
    const auto schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos)
        return reference;
    const auto pathStart = base.find('/', schemeEnd + 3);
    const std::string origin = base.substr(0, pathStart);
    std::string basePath = pathStart == std::string::npos ? "/" : base.substr(pathStart);
    const auto cut = basePath.find_first_of("?#");
    const std::string baseQuery =
        cut == std::string::npos ? "" : basePath.substr(cut, basePath.find('#', cut) - cut);
    if (cut != std::string::npos)
        basePath.resize(cut);

    if (reference.empty())
        return base.substr(0, base.find('#'));
    if (reference.starts_with("//"))
        return base.substr(0, schemeEnd + 1) + reference;
    if (reference[0] == '#')
        return origin + basePath + baseQuery + reference;
    if (reference[0] == '?')
        return origin + basePath + reference;

    std::string refPath = reference, suffix;
    if (const auto q = reference.find_first_of("?#"); q != std::string::npos) {
        refPath = reference.substr(0, q);
        suffix = reference.substr(q);
    }
    std::string merged;
    if (refPath.starts_with("/"))
        merged = refPath;
    else
        merged = basePath.substr(0, basePath.rfind('/') + 1) + refPath;
    return origin + removeDotSegments(merged) + suffix;
}

LinkLists extractLinks(const std::string& html, const std::string& baseUrl) {
    LinkLists links;
    const std::string_view text(html);
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lt = text.find('<', i);
        if (lt == std::string_view::npos)
            break;
        if (startsWithNoCase(text, lt, "<!--")) {
            const auto end = text.find("-->", lt + 4);
            i = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        // Script and style bodies are not markup.
        bool skipped = false;
        for (std::string_view raw : {std::string_view("script"), std::string_view("style")}) {
            if (startsWithNoCase(text, lt + 1, raw) && lt + 1 + raw.size() < text.size() &&
                (isSpace(text[lt + 1 + raw.size()]) || text[lt + 1 + raw.size()] == '>')) {
                std::size_t end = lt + 1;
                while ((end = text.find("</", end)) != std::string_view::npos &&
                       !startsWithNoCase(text, end + 2, raw))
                    end += 2;
                i = end == std::string_view::npos ? text.size() : end + 2;
                skipped = true;
                break;
            }
        }
        if (skipped)
            continue;
        const bool isAnchor = lt + 2 < text.size() && lower(text[lt + 1]) == 'a' &&
                              (isSpace(text[lt + 2]) || text[lt + 2] == '>');
        const auto gt = text.find('>', lt);
        if (gt == std::string_view::npos)
            break;
        if (!isAnchor) {
            i = gt + 1;
            continue;
        }
        std::string href;
        const bool hasHref = findAttribute(text.substr(lt + 2, gt - lt - 2), "href", href);
        // The content runs to the closing tag, or to the next link (browsers close an open
        // link when another starts).
        std::size_t end = gt + 1;
        std::size_t contentEnd = text.size();
        while ((end = text.find('<', end)) != std::string_view::npos) {
            if (startsWithNoCase(text, end, "</a") &&
                (end + 3 >= text.size() || text[end + 3] == '>' || isSpace(text[end + 3]))) {
                contentEnd = end;
                break;
            }
            if (end + 2 < text.size() && lower(text[end + 1]) == 'a' &&
                (isSpace(text[end + 2]) || text[end + 2] == '>')) {
                contentEnd = end;
                break;
            }
            ++end;
        }
        const std::string_view content = text.substr(gt + 1, contentEnd - gt - 1);
        links.texts.push_back(innerText(content));
        links.targets.push_back(hasHref ? resolveUrl(baseUrl, href) : std::string());
        links.htmls.emplace_back(content);
        i = contentEnd;
    }
    return links;
}

LinkLists filterLinksByKeywords(const LinkLists& links, const std::string& keywords) {
    std::vector<std::string> words;
    std::size_t start = 0;
    // An empty list splits into no keyword at all (while ",," holds empty keywords).
    while (!keywords.empty()) {
        const auto comma = keywords.find(',', start);
        words.push_back(keywords.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    LinkLists kept;
    for (std::size_t i = 0; i < links.texts.size(); ++i) {
        for (const std::string& word : words) {
            if (links.htmls[i].find(word) == std::string::npos)
                continue;
            kept.texts.push_back(links.texts[i]);
            kept.targets.push_back(links.targets[i]);
            kept.htmls.push_back(links.htmls[i]);
        }
    }
    return kept;
}

} // namespace folio::fetch
