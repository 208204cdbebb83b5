// A project's page as an EPUB content document: parsed by the HTML parser and written again as
// well-formed XHTML in UTF-8, holding only what EPUB readers take.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct GumboInternalOutput;

namespace folio::generators {

// A page's text with the parser's tree of it, made apart from the conversion so that a book's
// pages can be parsed ahead on another thread.
class ParsedHtml {
  public:
    explicit ParsedHtml(std::string html);
    ~ParsedHtml();
    ParsedHtml(ParsedHtml&& other) noexcept;
    ParsedHtml& operator=(ParsedHtml&&) = delete;
    ParsedHtml(const ParsedHtml&) = delete;
    ParsedHtml& operator=(const ParsedHtml&) = delete;

    const std::string& text() const { return m_text; }
    const GumboInternalOutput* tree() const { return m_tree; } // null when the parser gave up

  private:
    std::string m_text;
    GumboInternalOutput* m_tree = nullptr;
};

// What a page or a style sheet names a file for.
enum class LinkUse {
    Hyperlink,  // <a href>: a page to go to, or a sound to play
    Picture,    // <img src>, a background picture
    StyleSheet, // <link rel="stylesheet">, @import
    CssFile,    // url() in a style sheet: a picture or a font
    Sound,      // <audio src>
};

// What a link becomes in the package.
struct LinkTarget {
    enum class Kind { Page, Sound, Other };
    Kind kind = Kind::Other;
    std::string href; // as the converted document writes it: escaped for an address
};

// Answers for every address of one document; nullopt leaves the link out (the resolver says
// why in its warnings): an <a> becomes its text, an <img> its alt text, a url() "none".
using LinkResolver = std::function<std::optional<LinkTarget>(std::string_view address, LinkUse)>;

struct XhtmlPage {
    std::string text;     // the whole document
    std::string title;    // its <title>, blanks collapsed (the fallback title when it has none)
    std::string language; // the language its <html> declares, when that is a language tag
    std::set<std::string> ids; // every id it defines
    bool parsed = true;        // false when the parser gave up: the text is the page's text alone
};

// The page (UTF-8) rebuilt: scripts, event attributes, forms and frames dropped; obsolete
// elements and presentational attributes turned into their style; every address through
// `resolve` (an address "#id" within the page is the converter's own); what cannot stand where
// the parser put it (a block inside a phrase, an item outside a list) made to fit; ids made
// unique. Each of `requiredIds` that the page lacks (other pages link to it) is given to an
// empty element at the start of the body, where a reader lands on a missing anchor anyway.
XhtmlPage convertToXhtml(const ParsedHtml& html, const LinkResolver& resolve,
                         const std::string& fallbackTitle,
                         const std::set<std::string>* requiredIds = nullptr);
XhtmlPage convertToXhtml(std::string_view html, const LinkResolver& resolve,
                         const std::string& fallbackTitle,
                         const std::set<std::string>* requiredIds = nullptr);

// A style sheet (UTF-8) with its url() and @import addresses given by `resolve` (@import as a
// StyleSheet, url() as `use`); a url() left out becomes "none", an @import left out goes, and
// so does the @charset rule (the package's style sheets are UTF-8).
std::string rewriteStyleSheet(std::string_view css, const LinkResolver& resolve,
                              LinkUse use = LinkUse::CssFile);

// The text of an HTML fragment: tags, scripts and styles left out, entities decoded, blanks
// collapsed.
std::string htmlText(std::string_view html);

// Text escaped for XML character data, or for an attribute value in double quotes; characters
// XML cannot carry (C0 controls but TAB and LF, U+FFFE, U+FFFF) are dropped, and so is CR.
void appendXmlEscaped(std::string& out, std::string_view text, bool attribute = false);
std::string xmlEscaped(std::string_view text, bool attribute = false);

// `text` with every byte up to the space, DEL, and each byte of `reserved` as %XX; other bytes
// (those of Chinese characters too) stay, as an address in a UTF-8 document may hold them.
std::string percentEncoded(std::string_view text, std::string_view reserved);

// "#" and the id, as a link to an anchor writes it.
std::string fragmentHref(std::string_view id);

// An id as the pages may use it: not empty, no blanks.
bool isValidId(std::string_view id);

// A language tag as EPUB takes it ("zh", "zh-CN", "en-US"; "zh_CN" becomes "zh-CN"); empty
// when the text is none.
std::string languageTag(std::string_view text);

} // namespace folio::generators
