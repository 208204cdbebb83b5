// Reading one page for the check: gumbo's tree walked once (see pagescan.h).
#include "maker/check/pagescan.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace folio::check {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

// Where `needle` (lower case) starts in `s`, compared without regard to ASCII case.
std::size_t findNoCase(std::string_view s, std::string_view needle, std::size_t from = 0) {
    for (std::size_t i = from; i + needle.size() <= s.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && lower(s[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

const GumboAttribute* attribute(const GumboElement& e, const char* name) {
    return gumbo_get_attribute(&e.attributes, name);
}

// Byte offset of an attribute's value in the text (after its quote).
std::size_t valueOffset(const GumboAttribute& a) {
    std::size_t offset = a.value_start.offset;
    if (a.original_value.length > 0 &&
        (a.original_value.data[0] == '"' || a.original_value.data[0] == '\''))
        ++offset;
    return offset;
}

// The candidates of a srcset ("a.png 1x, b.png 2x"): each address up to its blank.
void srcsetAddresses(const GumboAttribute& a, std::vector<PageAddress>& out) {
    const std::string_view v = a.value;
    std::size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && (isBlank(v[i]) || v[i] == ','))
            ++i;
        const std::size_t start = i;
        while (i < v.size() && !isBlank(v[i]))
            ++i;
        std::size_t end = i;
        while (end > start && v[end - 1] == ',')
            --end;
        if (end > start)
            out.push_back({std::string(v.substr(start, end - start)), valueOffset(a) + start,
                           LinkUse::Embed, "picture"});
        // The descriptor runs to the next comma.
        if (end == i)
            while (i < v.size() && v[i] != ',')
                ++i;
    }
}

// The quoted strings of a script, for what it links to.
void scriptStrings(std::string_view js, std::vector<std::string>& out) {
    for (std::size_t i = 0; i < js.size(); ++i) {
        const char q = js[i];
        if (q != '\'' && q != '"')
            continue;
        std::string s;
        std::size_t k = i + 1;
        for (; k < js.size() && js[k] != q && js[k] != '\n'; ++k) {
            if (js[k] == '\\' && k + 1 < js.size())
                ++k;
            s += js[k];
        }
        if (k < js.size() && js[k] == q && !s.empty() && s.size() < 512)
            out.push_back(std::move(s));
        i = k;
    }
}

// The charset=... inside a content-type value.
std::string charsetIn(std::string_view content) {
    const std::size_t at = findNoCase(content, "charset");
    if (at == std::string_view::npos)
        return {};
    std::size_t i = at + 7;
    while (i < content.size() &&
           (isBlank(content[i]) || content[i] == '=' || content[i] == '"' || content[i] == '\''))
        ++i;
    std::size_t end = i;
    while (end < content.size() && !isBlank(content[end]) && content[end] != ';' &&
           content[end] != '"' && content[end] != '\'')
        ++end;
    return lowered(content.substr(i, end - i));
}

// The element's (and its children's) text, blanks collapsed.
void collectText(const GumboNode* node, std::string& out) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
        node->type == GUMBO_NODE_CDATA) {
        for (const char* c = node->v.text.text; *c; ++c) {
            if (isBlank(*c)) {
                if (!out.empty() && out.back() != ' ')
                    out += ' ';
            } else {
                out += *c;
            }
        }
    } else if (node->type == GUMBO_NODE_ELEMENT) {
        const GumboVector& children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i)
            collectText(static_cast<const GumboNode*>(children.data[i]), out);
    }
}

bool blankText(const char* text) {
    for (const char* c = text; *c; ++c)
        if (!isBlank(*c))
            return false;
    return true;
}

// The attributes of `e` that hold addresses.
void elementAddresses(const GumboElement& e, PageScan& scan) {
    auto add = [&](const char* name, LinkUse use, const char* what) {
        if (const GumboAttribute* a = attribute(e, name))
            scan.addresses.push_back({a->value, valueOffset(*a), use, what});
    };
    switch (e.tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_AREA:
        add("href", LinkUse::Follow, "link");
        break;
    case GUMBO_TAG_LINK: {
        const GumboAttribute* rel = attribute(e, "rel");
        const std::string r = rel ? lowered(rel->value) : std::string();
        if (r.find("stylesheet") != std::string::npos)
            add("href", LinkUse::Embed, "style sheet");
        else if (r.find("icon") != std::string::npos || r.find("preload") != std::string::npos)
            add("href", LinkUse::Embed, "icon or preloaded file");
        else if (r.find("dns-prefetch") == std::string::npos &&
                 r.find("preconnect") == std::string::npos)
            add("href", LinkUse::Follow, "link");
        break;
    }
    case GUMBO_TAG_IMG:
        add("src", LinkUse::Embed, "picture");
        if (const GumboAttribute* a = attribute(e, "srcset"))
            srcsetAddresses(*a, scan.addresses);
        break;
    case GUMBO_TAG_SOURCE:
        add("src", LinkUse::Embed, "media source");
        if (const GumboAttribute* a = attribute(e, "srcset"))
            srcsetAddresses(*a, scan.addresses);
        break;
    case GUMBO_TAG_SCRIPT:
        add("src", LinkUse::Embed, "script");
        break;
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAME:
        add("src", LinkUse::Embed, "frame");
        break;
    case GUMBO_TAG_EMBED:
        add("src", LinkUse::Embed, "embedded file");
        break;
    case GUMBO_TAG_OBJECT:
        add("data", LinkUse::Embed, "embedded file");
        break;
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
        add("src", LinkUse::Embed, "media source");
        add("poster", LinkUse::Embed, "picture");
        break;
    case GUMBO_TAG_TRACK:
        add("src", LinkUse::Embed, "media source");
        break;
    case GUMBO_TAG_INPUT:
        add("src", LinkUse::Embed, "picture");
        break;
    case GUMBO_TAG_IMAGE: // an SVG picture
        add("href", LinkUse::Embed, "picture");
        add("xlink:href", LinkUse::Embed, "picture");
        break;
    case GUMBO_TAG_META: {
        if (const GumboAttribute* c = attribute(e, "charset")) {
            scan.charset = lowered(c->value);
            scan.charsetOffset = valueOffset(*c);
        }
        const GumboAttribute* equiv = attribute(e, "http-equiv");
        const GumboAttribute* content = attribute(e, "content");
        if (!equiv || !content)
            break;
        const std::string how = lowered(equiv->value);
        if (how == "content-type" && scan.charset.empty()) {
            scan.charset = charsetIn(content->value);
            scan.charsetOffset = valueOffset(*content);
        } else if (how == "refresh") {
            const std::string_view v = content->value;
            if (const std::size_t url = findNoCase(v, "url"); url != std::string_view::npos) {
                std::size_t i = url + 3;
                while (i < v.size() && (isBlank(v[i]) || v[i] == '='))
                    ++i;
                std::size_t end = v.size();
                if (i < v.size() && (v[i] == '\'' || v[i] == '"')) {
                    const std::size_t close = v.find(v[i], i + 1);
                    end = close == std::string_view::npos ? v.size() : close;
                    ++i;
                }
                scan.addresses.push_back({std::string(v.substr(i, end - i)),
                                          valueOffset(*content) + i, LinkUse::Follow,
                                          "refresh address"});
            }
        }
        break;
    }
    case GUMBO_TAG_BASE:
        if (attribute(e, "href"))
            scan.hasBase = true;
        break;
    default:
        break;
    }
    add("background", LinkUse::Embed, "background picture");
    if (const GumboAttribute* style = attribute(e, "style"))
        scanStyleSheet(style->value, valueOffset(*style), scan.addresses);
    if (const GumboAttribute* id = attribute(e, "id"); id && *id->value)
        scan.ids.emplace_back(id->value);
    if (e.tag == GUMBO_TAG_A)
        if (const GumboAttribute* name = attribute(e, "name"); name && *name->value)
            scan.ids.emplace_back(name->value);
}

bool showsSomething(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_SCRIPT: // may write the page itself, as the contents page's does
        return true;
    default:
        return false;
    }
}

} // namespace

void scanStyleSheet(std::string_view css, std::size_t base, std::vector<PageAddress>& out,
                    const char* what) {
    auto quoted = [&](std::size_t i, std::size_t& end) {
        const char q = css[i];
        end = i + 1;
        while (end < css.size() && css[end] != q && css[end] != '\n') {
            if (css[end] == '\\')
                ++end;
            ++end;
        }
        return std::min(end, css.size());
    };
    for (std::size_t i = 0; i < css.size(); ++i) {
        if (css.compare(i, 2, "/*") == 0) {
            const std::size_t close = css.find("*/", i + 2);
            if (close == std::string_view::npos)
                return;
            i = close + 1;
            continue;
        }
        const char c = lower(css[i]);
        if (c == 'u' && css.size() - i >= 4 && findNoCase(css.substr(i, 4), "url(") == 0 &&
            (i == 0 ||
             !(std::isalnum(static_cast<unsigned char>(css[i - 1])) || css[i - 1] == '-'))) {
            std::size_t k = i + 4;
            while (k < css.size() && isBlank(css[k]))
                ++k;
            std::size_t start = k, end = k;
            if (k < css.size() && (css[k] == '"' || css[k] == '\'')) {
                quoted(k, end);
                start = k + 1;
                i = end;
            } else {
                while (end < css.size() && css[end] != ')')
                    ++end;
                while (end > start && isBlank(css[end - 1]))
                    --end;
                i = end;
            }
            out.push_back(
                {std::string(css.substr(start, end - start)), base + start, LinkUse::Embed, what});
        } else if (c == '@' && findNoCase(css.substr(i, 7), "@import") == 0) {
            std::size_t k = i + 7;
            while (k < css.size() && isBlank(css[k]))
                ++k;
            if (k < css.size() && (css[k] == '"' || css[k] == '\'')) {
                std::size_t end = k;
                quoted(k, end);
                out.push_back({std::string(css.substr(k + 1, end - k - 1)), base + k + 1,
                               LinkUse::Embed, "imported style sheet"});
                i = end;
            } else {
                i = k - 1; // url(...) follows, read as above
            }
        } else if (c == '"' || c == '\'') {
            std::size_t end = i;
            quoted(i, end);
            i = end;
        }
    }
}

PageScan scanPage(std::string_view text) {
    PageScan scan;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // the check reports links, not markup errors: record none
    const std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&options, text.data(), text.size()),
        [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
    if (!output)
        return scan;
    bool titleSeen = false;
    std::vector<const GumboNode*> stack{output->root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA) {
            const GumboNode* parent = node->parent;
            const GumboTag tag = parent && parent->type == GUMBO_NODE_ELEMENT
                                     ? parent->v.element.tag
                                     : GUMBO_TAG_UNKNOWN;
            if (tag == GUMBO_TAG_STYLE)
                scanStyleSheet(node->v.text.text, node->v.text.start_pos.offset, scan.addresses);
            else if (tag == GUMBO_TAG_SCRIPT)
                scriptStrings(node->v.text.text, scan.scriptStrings);
            else if (tag != GUMBO_TAG_TITLE && tag != GUMBO_TAG_NOSCRIPT &&
                     !blankText(node->v.text.text))
                scan.showsNothing = false;
            continue;
        }
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboElement& e = node->v.element;
        elementAddresses(e, scan);
        if (showsSomething(e.tag))
            scan.showsNothing = false;
        if (e.tag == GUMBO_TAG_TITLE && !titleSeen) {
            titleSeen = true;
            collectText(node, scan.title);
            while (!scan.title.empty() && scan.title.back() == ' ')
                scan.title.pop_back();
            if (!scan.title.empty() && scan.title.front() == ' ')
                scan.title.erase(0, 1);
            scan.hasTitle = !scan.title.empty();
        }
        for (unsigned c = e.children.length; c-- > 0;)
            stack.push_back(static_cast<const GumboNode*>(e.children.data[c]));
    }
    return scan;
}

LineTable::LineTable(std::string_view text) : m_text(text) {
    m_starts.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n')
            m_starts.push_back(i + 1);
}

TextPlace LineTable::place(std::size_t offset) const {
    offset = std::min(offset, m_text.size());
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    const std::size_t line = static_cast<std::size_t>(it - m_starts.begin());
    const std::size_t start = m_starts[line - 1];
    int column = 1;
    for (std::size_t i = start; i < offset; ++i)
        if ((static_cast<unsigned char>(m_text[i]) & 0xC0) != 0x80)
            ++column;
    return {static_cast<int>(line), column};
}

} // namespace folio::check
