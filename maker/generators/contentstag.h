// The text of a page's first TITLE/H1/H2 element, as the contents builder and renaming read it.
#pragma once

#include "core/error.h"

#include <optional>
#include <string>
#include <string_view>

namespace folio::generators {

// The page text is upper-cased (Latin letters only); the result is what stands between the
// first opening tag and the first closing tag of that upper-cased text, untrimmed, line breaks
// kept. Only bare tags match ("<TITLE>", not "<TITLE lang=x>"). No result when the opening tag
// is missing, or when the closing tag is missing or stands before the end of the opening tag.
std::optional<std::string> ExtractTagText(std::string_view pageText, std::string_view openTag,
                                          std::string_view closeTag);

enum class PageElement { Title, H1, H2 };

// ExtractTagText of the page file's text for "<TITLE>", "<H1>" or "<H2>": nullopt when the
// page has no such element, an error when it cannot be read. The page is read in its own
// encoding (readDecodedText), its lines as ReadPageText gives them.
Result<std::optional<std::string>> ReadElementText(const std::string& path, PageElement element);

// The first line of a page or text file, read in its own encoding, without its line end;
// nullopt for an empty file.
Result<std::optional<std::string>> ReadFirstLine(const std::string& path);

// Latin letters a-z to A-Z; every other byte (so every multi-byte character) unchanged.
std::string upperLatin(std::string_view text);

} // namespace folio::generators
