// Extracting the text of a page's first TITLE/H1/H2 element.
#include "maker/generators/contentstag.h"

#include "core/text.h"

namespace folio::generators {

std::string upperLatin(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::optional<std::string> ExtractTagText(std::string_view pageText, std::string_view openTag,
                                          std::string_view closeTag) {
    const std::string upper = upperLatin(pageText);
    const std::string open = upperLatin(openTag);
    const std::string close = upperLatin(closeTag);
    const std::size_t p = upper.find(open);
    if (p == std::string::npos || open.empty())
        return std::nullopt;
    // The closing tag is searched from the start of the text, as the opening one is.
    const std::size_t q = upper.find(close);
    const std::size_t start = p + open.size();
    if (q == std::string::npos || close.empty() || q < start)
        return std::nullopt;
    return upper.substr(start, q - start);
}

Result<std::optional<std::string>> ReadElementText(const std::string& path, PageElement element) {
    auto decoded = readDecodedText(path);
    FOLIO_TRY(decoded);
    const std::string text = crLfLines(*decoded);
    switch (element) {
    case PageElement::Title:
        return ExtractTagText(text, "<TITLE>", "</TITLE>");
    case PageElement::H1:
        return ExtractTagText(text, "<H1>", "</H1>");
    case PageElement::H2:
        break;
    }
    return ExtractTagText(text, "<H2>", "</H2>");
}

Result<std::optional<std::string>> ReadFirstLine(const std::string& path) {
    auto text = readDecodedText(path);
    FOLIO_TRY(text);
    std::vector<std::string> lines = splitAnsiLines(*text);
    if (lines.empty())
        return std::optional<std::string>();
    return std::optional<std::string>(std::move(lines.front()));
}

} // namespace folio::generators
