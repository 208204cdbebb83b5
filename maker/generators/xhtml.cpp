// Pages rebuilt as EPUB content documents from the HTML parser's tree.
#include "maker/generators/xhtml.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <unordered_map>
#include <utility>

namespace folio::generators {

namespace {

using Output = std::unique_ptr<GumboOutput, void (*)(GumboOutput*)>;

Output parse(std::string_view html) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // the errors are not shown; counting them costs time on messy pages
    return Output(gumbo_parse_with_options(&options, html.data(), html.size()),
                  [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

bool isUnsigned(std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           s.find_first_not_of("0123456789") == std::string_view::npos;
}

// A value from a presentational attribute, safe inside a style attribute.
std::string cssValue(std::string_view v) {
    std::string out;
    for (const char c : trimmed(v)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || std::isalnum(u) ||
            std::string_view("#%.,()- ").find(c) != std::string_view::npos)
            out += c;
    }
    return trimmed(out);
}

// A length: digits are pixels, "50%" and "12px" stay.
std::string cssLength(std::string_view v) {
    const std::string s = cssValue(v);
    if (isUnsigned(s))
        return s + "px";
    if (s.size() > 1 && s.back() == '%' && isUnsigned(s.substr(0, s.size() - 1)))
        return s;
    if (s.size() > 2 && s.ends_with("px") && isUnsigned(s.substr(0, s.size() - 2)))
        return s;
    return {};
}

const GumboAttribute* attribute(const GumboElement& e, const char* name) {
    return gumbo_get_attribute(&e.attributes, name);
}

// How an element of the page is written.
enum class Action { Keep, Unwrap, Drop };
enum class Model {
    Phrasing,    // holds phrasing only: a block inside makes it a <div>
    Flow,        // holds anything
    Transparent, // holds what its parent may hold
    Void,
    List,    // <li> only
    DefList, // <dt> and <dd> only
    Table,   // the table parts as the parser arranged them
};

struct Rule {
    Action action = Action::Unwrap;
    const char* name = nullptr; // what it is written as
    Model model = Model::Flow;
    bool block = false;          // flow content only: it cannot stand inside a phrase
    const char* style = nullptr; // style the renamed element carries
    const char* asDiv = nullptr; // style it keeps when it becomes a <div>
};

Rule keep(const char* name, Model model, bool block = false, const char* style = nullptr,
          const char* asDiv = nullptr) {
    return Rule{Action::Keep, name, model, block, style, asDiv};
}

Rule ruleFor(const GumboElement& e) {
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
        return Rule{Action::Drop};
    constexpr Model P = Model::Phrasing, F = Model::Flow;
    switch (e.tag) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_FIGURE:
        return keep(gumbo_normalized_tagname(e.tag), F, true);
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_MULTICOL:
        return keep("div", F, true);
    case GUMBO_TAG_CENTER:
        return keep("div", F, true, "text-align:center");
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIGCAPTION:
        return keep(gumbo_normalized_tagname(e.tag), F, true);
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return keep(gumbo_normalized_tagname(e.tag), F);
    case GUMBO_TAG_P:
        return keep("p", P, true);
    case GUMBO_TAG_H1:
        return keep("h1", P, true, nullptr, "font-weight:bold;font-size:2em");
    case GUMBO_TAG_H2:
        return keep("h2", P, true, nullptr, "font-weight:bold;font-size:1.5em");
    case GUMBO_TAG_H3:
        return keep("h3", P, true, nullptr, "font-weight:bold;font-size:1.17em");
    case GUMBO_TAG_H4:
        return keep("h4", P, true, nullptr, "font-weight:bold");
    case GUMBO_TAG_H5:
        return keep("h5", P, true, nullptr, "font-weight:bold;font-size:0.83em");
    case GUMBO_TAG_H6:
        return keep("h6", P, true, nullptr, "font-weight:bold;font-size:0.67em");
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
        return keep("pre", P, true, nullptr, "white-space:pre");
    case GUMBO_TAG_B:
    case GUMBO_TAG_STRONG:
        return keep(gumbo_normalized_tagname(e.tag), P, false, nullptr, "font-weight:bold");
    case GUMBO_TAG_I:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_VAR:
        return keep(gumbo_normalized_tagname(e.tag), P, false, nullptr, "font-style:italic");
    case GUMBO_TAG_U:
        return keep("u", P, false, nullptr, "text-decoration:underline");
    case GUMBO_TAG_S:
        return keep("s", P, false, nullptr, "text-decoration:line-through");
    case GUMBO_TAG_STRIKE:
        return keep("s", P, false, nullptr, "text-decoration:line-through");
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_SAMP:
        return keep(gumbo_normalized_tagname(e.tag), P, false, nullptr, "font-family:monospace");
    case GUMBO_TAG_TT:
        return keep("span", P, false, "font-family:monospace", "font-family:monospace");
    case GUMBO_TAG_SMALL:
        return keep("small", P, false, nullptr, "font-size:smaller");
    case GUMBO_TAG_BIG:
        return keep("span", P, false, "font-size:larger", "font-size:larger");
    case GUMBO_TAG_NOBR:
        return keep("span", P, false, "white-space:nowrap", "white-space:nowrap");
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_RUBY:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RP:
        return keep(gumbo_normalized_tagname(e.tag), P);
    case GUMBO_TAG_ACRONYM:
        return keep("abbr", P);
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_BLINK:
    case GUMBO_TAG_MARQUEE:
        return keep("span", P);
    case GUMBO_TAG_A:
        return keep("a", Model::Transparent);
    case GUMBO_TAG_INS:
    case GUMBO_TAG_DEL:
        return keep(gumbo_normalized_tagname(e.tag), Model::Transparent);
    case GUMBO_TAG_BR:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_COL:
        return keep(gumbo_normalized_tagname(e.tag), Model::Void);
    case GUMBO_TAG_HR:
        return keep("hr", Model::Void, true);
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_IMAGE:
        return keep("img", Model::Void);
    case GUMBO_TAG_AUDIO:
        return keep("audio", Model::Transparent);
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
        return keep(gumbo_normalized_tagname(e.tag), Model::List, true);
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_DIR:
        return keep("ul", Model::List, true);
    case GUMBO_TAG_DL:
        return keep("dl", Model::DefList, true);
    case GUMBO_TAG_TABLE:
        return keep("table", Model::Table, true);
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_COLGROUP:
        return keep(gumbo_normalized_tagname(e.tag), Model::Table);
    // What a reader that runs no scripts shows instead of them, or what stands in for what
    // it cannot show: the content stays, the element goes.
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_UNKNOWN:
        return Rule{Action::Unwrap};
    default: // scripts, frames, form controls, image maps, embedded players, head elements
        return Rule{Action::Drop};
    }
}

// The size of a <font>: 1 to 7, or relative to 3.
std::string fontSize(std::string_view v) {
    static constexpr const char* Sizes[] = {"x-small", "small",    "medium",  "large",
                                            "x-large", "xx-large", "xx-large"};
    const std::string s = trimmed(v);
    if (s.size() >= 2 && (s[0] == '+' || s[0] == '-') && isUnsigned(s.substr(1)))
        return s[0] == '+' ? "larger" : "smaller";
    if (isUnsigned(s)) {
        const int n = std::stoi(s);
        return Sizes[std::clamp(n, 1, 7) - 1];
    }
    return {};
}

std::string fontFamily(std::string_view v) {
    std::string out;
    std::size_t from = 0;
    const std::string s(v);
    while (from <= s.size()) {
        const std::size_t comma = std::min(s.find(',', from), s.size());
        std::string name;
        for (const char c : s.substr(from, comma - from))
            if (std::string_view("\"';{}\\<>").find(c) == std::string_view::npos &&
                static_cast<unsigned char>(c) >= 0x20)
                name += c;
        name = trimmed(name);
        if (!name.empty())
            out += (out.empty() ? "\"" : ",\"") + name + "\"";
        from = comma + 1;
    }
    return out;
}

enum class Context { Flow, Phrasing, List, DefList, Table };

constexpr int MaxDepth = 400; // deeper elements give their text only

class Writer {
  public:
    Writer(const LinkResolver& resolve) : m_resolve(resolve) {}

    std::string body;
    std::string title;
    std::vector<std::string> styleSheets; // hrefs
    std::vector<std::string> styles;      // style elements, rewritten
    std::set<std::string> emitted;        // ids written
    std::set<std::string> wanted;         // ids the page's own "#id" links name

    void collectHead(const GumboNode* node) {
        if (node->type != GUMBO_NODE_ELEMENT)
            return;
        const GumboElement& e = node->v.element;
        if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
            return;
        if (e.tag == GUMBO_TAG_TITLE) {
            if (title.empty())
                title = collapsed(textOf(node));
        } else if (e.tag == GUMBO_TAG_STYLE) {
            styles.push_back(rewriteStyleSheet(textOf(node), m_resolve));
        } else if (e.tag == GUMBO_TAG_LINK) {
            const GumboAttribute* rel = attribute(e, "rel");
            const GumboAttribute* href = attribute(e, "href");
            if (rel && href &&
                (" " + lowered(rel->value) + " ").find(" stylesheet ") != std::string::npos) {
                if (auto target = m_resolve(href->value, LinkUse::StyleSheet))
                    styleSheets.push_back(target->href);
            }
        } else if (e.tag == GUMBO_TAG_HEAD || e.tag == GUMBO_TAG_NOSCRIPT) {
            for (unsigned i = 0; i < e.children.length; ++i)
                collectHead(static_cast<const GumboNode*>(e.children.data[i]));
        }
    }

    void bodyElement(const GumboNode* node) {
        const GumboElement& e = node->v.element;
        body += "<body";
        std::string style;
        presentation(e, "body", style);
        commonAttributes(e, style);
        body += ">\n";
        children(node, Context::Flow, 1);
        body += "\n</body>\n";
    }

    static std::string textOf(const GumboNode* node) {
        std::string out;
        std::vector<const GumboNode*> stack{node};
        while (!stack.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
                n->type == GUMBO_NODE_CDATA) {
                out += n->v.text.text;
            } else if (n->type == GUMBO_NODE_ELEMENT) {
                const GumboVector& c = n->v.element.children;
                for (unsigned i = c.length; i-- > 0;)
                    stack.push_back(static_cast<const GumboNode*>(c.data[i]));
            }
        }
        return out;
    }

    static std::string collapsed(std::string_view text) {
        std::string out;
        bool blank = false;
        for (const char c : text) {
            if (isBlank(c)) {
                blank = !out.empty();
                continue;
            }
            if (blank)
                out += ' ';
            blank = false;
            out += c;
        }
        return out;
    }

  private:
    const LinkResolver& m_resolve;
    std::unordered_map<const GumboNode*, bool> m_flow;

    // Whether the element's content holds a block, counting through the elements that are
    // written as their content or take their parent's model.
    bool containsFlow(const GumboNode* node, int depth) {
        if (depth > MaxDepth)
            return false;
        if (const auto it = m_flow.find(node); it != m_flow.end())
            return it->second;
        bool flow = false;
        const GumboVector& c = node->v.element.children;
        for (unsigned i = 0; i < c.length && !flow; ++i) {
            const auto* child = static_cast<const GumboNode*>(c.data[i]);
            if (child->type != GUMBO_NODE_ELEMENT)
                continue;
            const Rule r = ruleFor(child->v.element);
            if (r.action == Action::Drop)
                continue;
            flow = r.block || ((r.action == Action::Unwrap || r.model == Model::Phrasing ||
                                r.model == Model::Transparent) &&
                               containsFlow(child, depth + 1));
        }
        m_flow.emplace(node, flow);
        return flow;
    }

    void text(std::string_view t) { appendXmlEscaped(body, t); }

    // A <dl> holding groups of terms then descriptions and nothing else; any other is written
    // as a <div> of its parts.
    static bool isWellFormedList(const GumboNode* node) {
        const GumboVector& c = node->v.element.children;
        GumboTag last = GUMBO_TAG_UNKNOWN;
        for (unsigned i = 0; i < c.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(c.data[i]);
            if (child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_COMMENT)
                continue;
            if (child->type != GUMBO_NODE_ELEMENT)
                return false;
            const GumboTag tag = child->v.element.tag;
            if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_TEMPLATE)
                continue;
            if (tag != GUMBO_TAG_DT && (tag != GUMBO_TAG_DD || last == GUMBO_TAG_UNKNOWN))
                return false;
            last = tag;
        }
        return last != GUMBO_TAG_DT;
    }

    void children(const GumboNode* node, Context ctx, int depth) {
        const GumboVector& c = node->v.element.children;
        const char* wrapper = ctx == Context::List ? "li" : nullptr;
        bool open = false;
        for (unsigned i = 0; i < c.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(c.data[i]);
            if (wrapper) {
                bool fits =
                    child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_COMMENT;
                if (child->type == GUMBO_NODE_ELEMENT) {
                    const GumboTag tag = child->v.element.tag;
                    fits = tag == GUMBO_TAG_LI || ruleFor(child->v.element).action == Action::Drop;
                }
                if (fits && open) {
                    body += "</";
                    body += wrapper;
                    body += ">";
                    open = false;
                } else if (!fits && !open) {
                    body += "<";
                    body += wrapper;
                    body += ">";
                    open = true;
                }
                node_(child, open ? Context::Flow : ctx, depth);
            } else {
                node_(child, ctx, depth);
            }
        }
        if (open) {
            body += "</";
            body += wrapper;
            body += ">";
        }
    }

    void node_(const GumboNode* node, Context ctx, int depth) {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            if (ctx != Context::Table || node->type == GUMBO_NODE_WHITESPACE)
                text(node->v.text.text);
            return;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            element(node, ctx, depth);
            return;
        default: // comments, the document
            return;
        }
    }

    void element(const GumboNode* node, Context ctx, int depth) {
        const GumboElement& e = node->v.element;
        if (depth > MaxDepth) {
            text(textOf(node));
            return;
        }
        if (e.tag == GUMBO_TAG_TITLE || e.tag == GUMBO_TAG_STYLE || e.tag == GUMBO_TAG_LINK) {
            collectHead(node); // where the parser left them in the body: they go to the head
            return;
        }
        Rule r = ruleFor(e);
        if (r.action == Action::Drop)
            return;
        if (r.action == Action::Unwrap) {
            children(node, ctx, depth + 1);
            return;
        }
        if (e.tag == GUMBO_TAG_A) {
            anchor(node, ctx, depth);
            return;
        }
        if (e.tag == GUMBO_TAG_IMG || e.tag == GUMBO_TAG_IMAGE) {
            image(e);
            return;
        }
        if (e.tag == GUMBO_TAG_AUDIO) {
            audio(node, ctx, depth);
            return;
        }
        std::string name = r.name;
        std::string style = r.style ? r.style : "";
        // An element that may stand only where its parent belongs.
        const GumboTag parentTag = node->parent && node->parent->type == GUMBO_NODE_ELEMENT
                                       ? node->parent->v.element.tag
                                       : GUMBO_TAG_UNKNOWN;
        if ((e.tag == GUMBO_TAG_LI && ctx != Context::List) ||
            ((e.tag == GUMBO_TAG_DT || e.tag == GUMBO_TAG_DD) && ctx != Context::DefList) ||
            (e.tag == GUMBO_TAG_FIGCAPTION && parentTag != GUMBO_TAG_FIGURE)) {
            name = "div";
        } else if ((e.tag == GUMBO_TAG_RT || e.tag == GUMBO_TAG_RP) &&
                   parentTag != GUMBO_TAG_RUBY) {
            name = "span";
        }
        Model model = r.model;
        if (model == Model::DefList && !isWellFormedList(node)) {
            name = "div";
            model = Model::Flow;
        }
        if (model == Model::Phrasing && containsFlow(node, depth)) {
            name = "div";
            model = Model::Flow;
            if (r.asDiv)
                style += std::string(style.empty() ? "" : ";") + r.asDiv;
        }
        body += '<';
        body += name;
        presentation(e, name, style);
        typedAttributes(e, name, parentTag == GUMBO_TAG_OL);
        commonAttributes(e, style);
        if (model == Model::Void) {
            body += "/>";
            return;
        }
        body += '>';
        const Context inner = model == Model::Flow       ? Context::Flow
                              : model == Model::Phrasing ? Context::Phrasing
                              : model == Model::List     ? Context::List
                              : model == Model::DefList  ? Context::DefList
                              : model == Model::Table    ? Context::Table
                                                         : ctx;
        children(node, inner, depth + 1);
        body += "</";
        body += name;
        body += '>';
    }

    // <a>: a link to a page or an address outside, a sound to play, or its text alone.
    void anchor(const GumboNode* node, Context ctx, int depth) {
        const GumboElement& e = node->v.element;
        std::string style;
        std::string href;
        bool sound = false;
        if (const GumboAttribute* h = attribute(e, "href")) {
            const std::string address = trimmed(h->value);
            if (address.starts_with("#")) {
                // An anchor of this page; a missing one is made at the top of the body.
                const std::string id = address.substr(1);
                if (isValidId(id)) {
                    wanted.insert(id);
                    href = fragmentHref(id);
                }
            } else if (auto target = m_resolve(h->value, LinkUse::Hyperlink)) {
                sound = target->kind == LinkTarget::Kind::Sound;
                href = target->href;
            }
        }
        if (sound) {
            // EPUB readers open no sound as a page: the link's text, then a player.
            children(node, ctx, depth + 1);
            body += "<audio controls=\"controls\" src=\"";
            appendXmlEscaped(body, href, true);
            body += "\"></audio>";
            return;
        }
        const bool named = href.empty() && (attribute(e, "id") || attribute(e, "name"));
        if (href.empty() && !named) {
            children(node, ctx, depth + 1);
            return;
        }
        body += "<a";
        if (!href.empty()) {
            body += " href=\"";
            appendXmlEscaped(body, href, true);
            body += '"';
        }
        commonAttributes(e, style);
        body += '>';
        children(node, ctx, depth + 1);
        body += "</a>";
    }

    void image(const GumboElement& e) {
        const GumboAttribute* src = attribute(e, "src");
        const GumboAttribute* alt = attribute(e, "alt");
        auto target = src ? m_resolve(src->value, LinkUse::Picture) : std::nullopt;
        if (!target) {
            if (alt)
                text(alt->value);
            return;
        }
        std::string style;
        body += "<img src=\"";
        appendXmlEscaped(body, target->href, true);
        body += "\" alt=\"";
        if (alt)
            appendXmlEscaped(body, alt->value, true);
        body += '"';
        presentation(e, "img", style);
        for (const char* size : {"width", "height"}) {
            if (const GumboAttribute* a = attribute(e, size)) {
                if (isUnsigned(trimmed(a->value))) {
                    body += std::string(" ") + size + "=\"" + trimmed(a->value) + "\"";
                } else if (const std::string l = cssLength(a->value); !l.empty()) {
                    style += std::string(style.empty() ? "" : ";") + size + ":" + l;
                }
            }
        }
        commonAttributes(e, style);
        body += "/>";
    }

    // <audio>: kept when its sound (its src, or its first <source>) is in the package.
    void audio(const GumboNode* node, Context ctx, int depth) {
        const GumboElement& e = node->v.element;
        std::optional<LinkTarget> target;
        if (const GumboAttribute* src = attribute(e, "src"))
            target = m_resolve(src->value, LinkUse::Sound);
        for (unsigned i = 0; !target && i < e.children.length; ++i) {
            const auto* c = static_cast<const GumboNode*>(e.children.data[i]);
            if (c->type == GUMBO_NODE_ELEMENT && c->v.element.tag == GUMBO_TAG_SOURCE)
                if (const GumboAttribute* src = attribute(c->v.element, "src"))
                    target = m_resolve(src->value, LinkUse::Sound);
        }
        if (!target) {
            children(node, ctx, depth + 1);
            return;
        }
        std::string style;
        body += "<audio controls=\"controls\" src=\"";
        appendXmlEscaped(body, target->href, true);
        body += '"';
        commonAttributes(e, style);
        body += "></audio>";
    }

    void appendStyle(std::string& style, const std::string& declaration) {
        if (!style.empty())
            style += ';';
        style += declaration;
    }

    // The presentational attributes the element had, as style.
    void presentation(const GumboElement& e, std::string_view name, std::string& style) {
        const bool img = name == "img";
        const bool table = name == "table";
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            const std::string_view n = a->name;
            const std::string v = lowered(trimmed(a->value));
            if (n == "align") {
                if (img && (v == "left" || v == "right"))
                    appendStyle(style, "float:" + v);
                else if (img && (v == "top" || v == "middle" || v == "bottom"))
                    appendStyle(style, "vertical-align:" + v);
                else if (table && (v == "left" || v == "right"))
                    appendStyle(style, "float:" + v);
                else if (table && v == "center")
                    appendStyle(style, "margin-left:auto;margin-right:auto");
                else if (v == "left" || v == "right" || v == "center" || v == "justify")
                    appendStyle(style, "text-align:" + v);
            } else if (n == "valign") {
                if (v == "top" || v == "middle" || v == "bottom" || v == "baseline")
                    appendStyle(style, "vertical-align:" + v);
            } else if (n == "bgcolor") {
                if (const std::string c = cssValue(a->value); !c.empty())
                    appendStyle(style, "background-color:" + c);
            } else if ((n == "color" && e.tag == GUMBO_TAG_FONT) ||
                       (n == "text" && e.tag == GUMBO_TAG_BODY)) {
                if (const std::string c = cssValue(a->value); !c.empty())
                    appendStyle(style, "color:" + c);
            } else if (n == "face" && e.tag == GUMBO_TAG_FONT) {
                if (const std::string f = fontFamily(a->value); !f.empty())
                    appendStyle(style, "font-family:" + f);
            } else if (n == "size" && e.tag == GUMBO_TAG_FONT) {
                if (const std::string s = fontSize(a->value); !s.empty())
                    appendStyle(style, "font-size:" + s);
            } else if ((n == "width" || n == "height") && !img) {
                if (const std::string l = cssLength(a->value); !l.empty())
                    appendStyle(style, std::string(n) + ":" + l);
            } else if (n == "border" && (table || img)) {
                if (isUnsigned(v) && v != "0")
                    appendStyle(style, "border:" + v + "px solid");
            } else if (n == "nowrap") {
                appendStyle(style, "white-space:nowrap");
            } else if (n == "clear" && e.tag == GUMBO_TAG_BR) {
                if (v == "left" || v == "right" || v == "both")
                    appendStyle(style, "clear:" + v);
                else if (v == "all")
                    appendStyle(style, "clear:both");
            } else if (n == "background") {
                if (auto target = m_resolve(a->value, LinkUse::Picture))
                    appendStyle(style, "background-image:url(\"" + target->href + "\")");
            } else if (n == "type" && e.tag == GUMBO_TAG_UL) {
                if (v == "disc" || v == "circle" || v == "square")
                    appendStyle(style, "list-style-type:" + v);
            }
        }
    }

    void attr(std::string_view name, std::string_view value) {
        body += ' ';
        body += name;
        body += "=\"";
        appendXmlEscaped(body, value, true);
        body += '"';
    }

    // The attributes an element of its kind may carry.
    void typedAttributes(const GumboElement& e, std::string_view name, bool inOl) {
        auto number = [&](const char* a, bool positive) {
            if (const GumboAttribute* at = attribute(e, a)) {
                const std::string v = trimmed(at->value);
                if (isUnsigned(v) && (!positive || std::stoi(v) > 0))
                    attr(a, v);
            }
        };
        if (name == "td" || name == "th") {
            number("colspan", true);
            number("rowspan", true);
        } else if (name == "col" || name == "colgroup") {
            number("span", true);
        } else if (name == "ol") {
            number("start", false);
            if (const GumboAttribute* t = attribute(e, "type")) {
                const std::string v = trimmed(t->value);
                if (v == "1" || v == "a" || v == "A" || v == "i" || v == "I")
                    attr("type", v);
            }
        } else if (name == "li" && inOl) {
            number("value", false);
        }
        if (name == "th")
            if (const GumboAttribute* s = attribute(e, "scope")) {
                const std::string v = lowered(trimmed(s->value));
                if (v == "row" || v == "col" || v == "rowgroup" || v == "colgroup")
                    attr("scope", v);
            }
    }

    // id (unique in the page), class, title, lang, dir and style.
    void commonAttributes(const GumboElement& e, std::string& style) {
        std::string id;
        if (const GumboAttribute* a = attribute(e, "id"))
            id = a->value;
        else if (e.tag == GUMBO_TAG_A)
            if (const GumboAttribute* n = attribute(e, "name"))
                id = n->value;
        if (isValidId(id) && emitted.insert(id).second)
            attr("id", id);
        if (const GumboAttribute* a = attribute(e, "class"))
            if (const std::string v = trimmed(a->value); !v.empty())
                attr("class", v);
        if (const GumboAttribute* a = attribute(e, "title"))
            attr("title", a->value);
        if (const GumboAttribute* a = attribute(e, "lang"))
            if (const std::string tag = languageTag(a->value); !tag.empty()) {
                attr("lang", tag);
                attr("xml:lang", tag);
            }
        if (const GumboAttribute* a = attribute(e, "dir")) {
            const std::string v = lowered(trimmed(a->value));
            if (v == "ltr" || v == "rtl" || v == "auto")
                attr("dir", v);
        }
        if (const GumboAttribute* a = attribute(e, "style")) {
            const std::string own = trimmed(rewriteStyleSheet(a->value, m_resolve));
            if (!own.empty())
                style += std::string(style.empty() ? "" : ";") + own;
        }
        if (!style.empty())
            attr("style", style);
    }
};

} // namespace

std::string percentEncoded(std::string_view text, std::string_view reserved) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || reserved.find(c) != std::string_view::npos) {
            out += '%';
            out += Hex[u >> 4];
            out += Hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string fragmentHref(std::string_view id) {
    return "#" + percentEncoded(id, "%\"<>#");
}

bool isValidId(std::string_view id) {
    if (id.empty())
        return false;
    for (const char c : id)
        if (isBlank(c) || static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

std::string languageTag(std::string_view text) {
    std::string tag = trimmed(text);
    for (char& c : tag)
        if (c == '_')
            c = '-';
    // Parts of one to eight letters and digits joined by "-", the first of letters alone.
    std::size_t from = 0;
    for (bool first = true;; first = false) {
        const std::size_t dash = std::min(tag.find('-', from), tag.size());
        const std::string_view part = std::string_view(tag).substr(from, dash - from);
        if (part.empty() || part.size() > 8)
            return {};
        for (const char c : part)
            if (!(first ? std::isalpha(static_cast<unsigned char>(c))
                        : std::isalnum(static_cast<unsigned char>(c))))
                return {};
        if (dash == tag.size())
            return tag;
        from = dash + 1;
    }
}

void appendXmlEscaped(std::string& out, std::string_view text, bool attribute) {
    // Runs of bytes that need nothing go over whole; pages are mostly such runs.
    auto plain = [](unsigned char u) {
        return u >= 0x20 && u != '&' && u != '<' && u != '>' && u != '"' && u != 0x7F &&
               u != 0xEF && u != 0xC2;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t run = i;
        while (run < text.size() && plain(static_cast<unsigned char>(text[run])))
            ++run;
        out.append(text.substr(i, run - i));
        i = run;
        if (i >= text.size())
            break;
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\t':
        case '\n':
            out += attribute ? ' ' : c;
            break;
        default:
            // U+FFFE and U+FFFF (EF BF BE, EF BF BF) are no XML characters; the C1 controls
            // (C2 80 .. C2 9F) are discouraged and mean nothing on a page; CR and the other
            // C0 controls go.
            if (u == 0xEF && i + 2 < text.size() &&
                static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
                i += 2;
            } else if (u == 0xC2 && i + 1 < text.size() &&
                       static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                       static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
                ++i;
            } else if (u >= 0x80) {
                out += c;
            }
            break;
        }
        ++i;
    }
}

std::string xmlEscaped(std::string_view text, bool attribute) {
    std::string out;
    out.reserve(text.size() + 16);
    appendXmlEscaped(out, text, attribute);
    return out;
}

ParsedHtml::ParsedHtml(std::string html) : m_text(std::move(html)) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // the errors are not shown; counting them costs time on messy pages
    m_tree = gumbo_parse_with_options(&options, m_text.data(), m_text.size());
}

ParsedHtml::~ParsedHtml() {
    if (m_tree)
        gumbo_destroy_output(&kGumboDefaultOptions, m_tree);
}

ParsedHtml::ParsedHtml(ParsedHtml&& other) noexcept
    : m_text(std::move(other.m_text)), m_tree(std::exchange(other.m_tree, nullptr)) {}

XhtmlPage convertToXhtml(std::string_view html, const LinkResolver& resolve,
                         const std::string& fallbackTitle,
                         const std::set<std::string>* requiredIds) {
    return convertToXhtml(ParsedHtml(std::string(html)), resolve, fallbackTitle, requiredIds);
}

XhtmlPage convertToXhtml(const ParsedHtml& parsed, const LinkResolver& resolve,
                         const std::string& fallbackTitle,
                         const std::set<std::string>* requiredIds) {
    XhtmlPage page;
    Writer w(resolve);
    const std::string_view html = parsed.text();
    const GumboOutput* output = parsed.tree();
    const GumboNode* root = output ? output->root : nullptr;
    if (!root || root->type != GUMBO_NODE_ELEMENT) {
        page.parsed = false;
        w.body = "<body>\n<pre>" + xmlEscaped(html) + "</pre>\n</body>\n";
    } else {
        const GumboElement& h = root->v.element;
        const GumboAttribute* lang = attribute(h, "lang");
        if (!lang)
            lang = attribute(h, "xml:lang");
        if (lang)
            page.language = languageTag(lang->value);
        const GumboNode* bodyNode = nullptr;
        for (unsigned i = 0; i < h.children.length; ++i) {
            const auto* c = static_cast<const GumboNode*>(h.children.data[i]);
            if (c->type != GUMBO_NODE_ELEMENT)
                continue;
            if (c->v.element.tag == GUMBO_TAG_HEAD)
                w.collectHead(c);
            else if (c->v.element.tag == GUMBO_TAG_BODY)
                bodyNode = c;
        }
        if (bodyNode)
            w.bodyElement(bodyNode);
        else
            w.body = "<body>\n</body>\n";
    }
    page.title = w.title.empty() ? fallbackTitle : w.title;
    if (page.title.empty())
        page.title = "-";

    // The anchors that links to this page name and it lacks.
    std::string anchors;
    std::set<std::string> missing = w.wanted;
    if (requiredIds)
        missing.insert(requiredIds->begin(), requiredIds->end());
    for (const std::string& id : missing) {
        if (w.emitted.insert(id).second)
            anchors += "<span id=\"" + xmlEscaped(id, true) + "\"></span>";
    }
    page.ids = std::move(w.emitted);

    std::string& out = page.text;
    out.reserve(w.body.size() + 512);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\"";
    if (!page.language.empty())
        out += " lang=\"" + page.language + "\" xml:lang=\"" + page.language + "\"";
    out += ">\n<head>\n<title>";
    appendXmlEscaped(out, page.title);
    out += "</title>\n";
    for (const std::string& href : w.styleSheets)
        out += "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + xmlEscaped(href, true) +
               "\"/>\n";
    for (const std::string& css : w.styles)
        out += "<style type=\"text/css\">\n" + xmlEscaped(css) + "\n</style>\n";
    out += "</head>\n";
    if (anchors.empty()) {
        out += w.body;
    } else {
        const std::size_t open = w.body.find(">\n");
        out.append(w.body, 0, open + 2);
        out += anchors;
        out.append(w.body, open + 2);
    }
    out += "</html>\n";
    return page;
}

namespace {

bool startsWithNoCase(std::string_view s, std::size_t pos, std::string_view word) {
    if (pos + word.size() > s.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[pos + i])) != word[i])
            return false;
    return true;
}

bool isIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// A string token at `pos` (its quote there); returns the position after it.
std::size_t skipString(std::string_view css, std::size_t pos) {
    const char quote = css[pos];
    std::size_t i = pos + 1;
    while (i < css.size() && css[i] != quote && css[i] != '\n') {
        if (css[i] == '\\')
            ++i;
        ++i;
    }
    return std::min(i + 1, css.size());
}

std::string unquoted(std::string_view s) {
    std::string v = trimmed(s);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// url( ... ) at `pos`: the address and the position after ")"; nullopt when it is not one.
std::optional<std::pair<std::string, std::size_t>> urlToken(std::string_view css, std::size_t pos) {
    std::size_t i = pos + 4;
    while (i < css.size() && isBlank(css[i]))
        ++i;
    std::size_t end;
    if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
        const std::size_t after = skipString(css, i);
        end = css.find(')', after);
        if (end == std::string_view::npos)
            return std::nullopt;
        return std::make_pair(unquoted(css.substr(i, after - i)), end + 1);
    }
    end = css.find(')', i);
    if (end == std::string_view::npos)
        return std::nullopt;
    return std::make_pair(trimmed(css.substr(i, end - i)), end + 1);
}

} // namespace

std::string rewriteStyleSheet(std::string_view css, const LinkResolver& resolve, LinkUse use) {
    std::string out;
    out.reserve(css.size());
    std::size_t i = 0;
    while (i < css.size()) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t end = css.find("*/", i + 2);
            const std::size_t stop = end == std::string_view::npos ? css.size() : end + 2;
            out.append(css.substr(i, stop - i));
            i = stop;
        } else if (c == '"' || c == '\'') {
            const std::size_t stop = skipString(css, i);
            out.append(css.substr(i, stop - i));
            i = stop;
        } else if (startsWithNoCase(css, i, "url(") && (i == 0 || !isIdentChar(css[i - 1]))) {
            const auto token = urlToken(css, i);
            if (!token) {
                out += c;
                ++i;
                continue;
            }
            if (auto target = resolve(token->first, use))
                out += "url(\"" + target->href + "\")";
            else
                out += "none";
            i = token->second;
        } else if (c == '@' &&
                   (startsWithNoCase(css, i, "@import") || startsWithNoCase(css, i, "@charset"))) {
            // The rule runs to its ";" (outside strings).
            std::size_t end = i;
            while (end < css.size() && css[end] != ';')
                end = (css[end] == '"' || css[end] == '\'') ? skipString(css, end) : end + 1;
            const std::string rule(css.substr(i, end - i));
            i = std::min(end + 1, css.size());
            if (startsWithNoCase(rule, 0, "@charset"))
                continue;
            std::string body = trimmed(std::string_view(rule).substr(7));
            std::string address;
            if (startsWithNoCase(body, 0, "url(")) {
                if (const auto token = urlToken(body, 0)) {
                    address = token->first;
                    body = body.substr(token->second);
                }
            } else if (!body.empty() && (body[0] == '"' || body[0] == '\'')) {
                const std::size_t after = skipString(body, 0);
                address = unquoted(body.substr(0, after));
                body = body.substr(after);
            }
            if (auto target =
                    address.empty() ? std::nullopt : resolve(address, LinkUse::StyleSheet))
                out += "@import url(\"" + target->href + "\")" + body + ";";
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string htmlText(std::string_view html) {
    const Output output = parse(html);
    if (!output)
        return {};
    std::string text;
    std::vector<const GumboNode*> stack{output->root};
    while (!stack.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
            n->type == GUMBO_NODE_CDATA) {
            text += n->v.text.text;
        } else if (n->type == GUMBO_NODE_ELEMENT && n->v.element.tag != GUMBO_TAG_SCRIPT &&
                   n->v.element.tag != GUMBO_TAG_STYLE) {
            const GumboVector& c = n->v.element.children;
            for (unsigned i = c.length; i-- > 0;)
                stack.push_back(static_cast<const GumboNode*>(c.data[i]));
        }
    }
    return Writer::collapsed(text);
}

} // namespace folio::generators
