// Link lists: the parallel texts and targets of a page's "A" elements.
#pragma once

#include <string>
#include <vector>

namespace folio::fetch {

struct LinkLists {
    std::vector<std::string> texts;   // inner text of each link
    std::vector<std::string> targets; // its address (absolute, as a browser reports href)
    std::vector<std::string> htmls;   // its inner HTML (the keyword filter looks at it)
};

// Extracts every <a> element of an HTML text (UTF-8) in document order, for use without a
// browser (tests, the command line). Inner text has its tags removed, the common
// entities decoded and runs of blanks folded; href is resolved against `baseUrl` (an <a>
// without href gives ""). Never fails: malformed markup yields what can be read.
LinkLists extractLinks(const std::string& html, const std::string& baseUrl = {});

// Resolves a reference against a base address the way a browser does for http(s)/file
// addresses: absolute references stay, "//host", "/path", "?query", "#frag" and relative
// paths (with "." and "..") are joined to the base.
std::string resolveUrl(const std::string& base, const std::string& reference);

// Keeps the links whose inner HTML contains a keyword of the comma-separated list
// (exact, case-sensitive), testing the keywords in order: a link holding two keywords is
// kept twice, and an empty keyword keeps every link.
LinkLists filterLinksByKeywords(const LinkLists& links, const std::string& keywords);

} // namespace folio::fetch
