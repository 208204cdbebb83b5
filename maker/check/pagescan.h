// What one page or style sheet holds for the check: its addresses with their places, its ids
// and anchors, its title and charset declaration. Pages are parsed with gumbo; style sheets
// (files, <style> elements and style attributes) are read for url() and @import.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace folio::check {

// How a page uses an address: it is loaded with the page (a picture, a script, a style sheet,
// a frame, a font...) or followed when the reader clicks it (a link).
enum class LinkUse { Embed, Follow };

struct PageAddress {
    std::string value;      // as the parser hands it over (entities decoded)
    std::size_t offset = 0; // byte offset of the address in the scanned text
    LinkUse use = LinkUse::Follow;
    const char* what = ""; // "picture", "script", "style sheet", "frame", "link" ...
};

struct PageScan {
    std::vector<PageAddress> addresses;
    std::vector<std::string> ids; // id attributes and <a name> anchors, as written
    // Quoted strings of the page's scripts: a script's own links (the contents page's
    // d.add(..., 'page.html') entries), for what the page reaches, not checked as links.
    std::vector<std::string> scriptStrings;
    bool hasTitle = false;    // a <title> with more than blanks
    std::string title;        // its text, blanks collapsed
    bool showsNothing = true; // no text, picture, frame, form control or script in its body
    bool hasBase = false;     // a <base href> resolves its addresses elsewhere
    std::string charset;      // the <meta> charset it declares, lower-cased; empty for none
    std::size_t charsetOffset = 0;
};

// Parses a page's text (UTF-8).
PageScan scanPage(std::string_view text);

// The url() and @import addresses of style sheet text; offsets from the start of `css` plus
// `base`.
void scanStyleSheet(std::string_view css, std::size_t base, std::vector<PageAddress>& out,
                    const char* what = "style sheet address");

// Line and column (1-based, the column in characters) of byte `offset` of `text`.
struct TextPlace {
    int line = 1, column = 1;
};
class LineTable {
  public:
    explicit LineTable(std::string_view text);
    TextPlace place(std::size_t offset) const;

  private:
    std::string_view m_text;
    std::vector<std::size_t> m_starts;
};

} // namespace folio::check
