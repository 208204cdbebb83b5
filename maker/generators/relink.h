// After files of a folder were renamed: the links of the folder's pages, and of the project's
// contents list, made to name the new names.
#pragma once

#include "core/error.h"
#include "maker/generators/contentslist.h"

#include <string>
#include <vector>

namespace folio::generators {

// One file renamed, both names in its folder.
struct NameChange {
    std::string from, to;
};

struct RelinkSummary {
    struct LeftAlone {
        std::string name, why;
    };
    std::vector<std::string> rewritten; // pages whose links now name the new names
    std::vector<LeftAlone> leftAlone;   // pages that link to a renamed file but were not changed
};

// Every .htm/.html page of `folder` (the renamed ones included) has each link of its elements
// (href, src, and the data, background and poster addresses) that names a renamed file of the
// folder rewritten to the new name. A link names a file as the readers resolve it: its path
// without "./", entities and percent escapes decoded, compared without regard to case (the Book
// image's rule); its "?query" and "#fragment" stay, and absolute addresses, links into other
// folders and pages under a <base> address are left alone. Each page keeps its encoding and
// every other byte; a CP936 page whose bytes would not come back the same through UTF-8 (or a
// UTF-16 page) is left alone and reported. The pages are written together, each through a
// temporary file.
RelinkSummary RelinkPages(const std::string& folder, const std::vector<NameChange>& changes);

// The URL cells of the list's entries that name a renamed file, by the same rule, get the new
// name (their "?query" and "#fragment" kept; a character the CP936 list file cannot hold
// percent-encoded). Returns how many cells changed.
int RelinkContentsList(ContentsList& list, const std::vector<NameChange>& changes);

// The same for the list file a project folder keeps (contentsListPath); a folder without one
// changes nothing. Returns how many cells changed.
Result<int> RelinkProjectContents(const std::string& projectFolder,
                                  const std::vector<NameChange>& changes);

} // namespace folio::generators
