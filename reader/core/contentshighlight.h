// The scripts that mark, in the contents pane, the link of the page being read and the links of
// the pages read before.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

// The class the marked links carry (the script also adds a style rule for it).
inline constexpr std::string_view CurrentLinkClass = "folio-current";

// A script for the contents pane's document: takes the mark off the links marked before, marks
// every link whose target is `pageUrl` (compared without the fragment, after percent-decoding,
// without regard to case; links resolved against the document as the browser resolves them),
// opens any collapsed branch around the first one and scrolls it into view if it is out of
// sight. Works on any contents page, the generated tree and an author's own; plain ES5. Its
// value is the number of links marked.
std::string contentsHighlightScript(std::string_view pageUrl);

// The class the links of pages read carry (dimmed by a style rule the script adds).
inline constexpr std::string_view ReadLinkClass = "folio-read";

// A script for the contents pane's document: marks every link whose target is one of
// `pageUrls` (matched as contentsHighlightScript matches its page); marks already there stay.
// Plain ES5. Its value is the number of links carrying the mark.
std::string readMarksScript(const std::vector<std::string>& pageUrls);

// `text` as a double-quoted script string literal.
std::string scriptStringLiteral(std::string_view text);

} // namespace folio::reader
