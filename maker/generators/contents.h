// The entry makers of the contents list: the builder window's run over the explorer selection,
// the home entry and one entry per subfolder.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/convert.h"

#include <string>
#include <vector>

namespace folio::generators {

// Where a new entry's caption comes from (Option1 .. Option6 of the builder window).
enum class TitleSource { FileName, FirstLine, HtmlTitle, HtmlH1, HtmlH2, Custom };

struct BuildInputs {
    ExplorerList list;
    TitleSource source = TitleSource::FileName;
    std::string sid = "-1";  // TxtSID: the parent of every entry of the run
    std::string customTitle; // TxtTitle
    std::string customUrl;   // TxtURL
};

struct BuildSummary {
    int added = 0;
    struct Skipped {
        std::string name, why;
    };
    std::vector<Skipped> skipped; // selected pages that could not be read
    // Links that had an entry already (compared as the Book image compares names, upper-cased)
    // and got another one in this run; each named once.
    std::vector<std::string> duplicates;
};

// One entry per selected page, numbered by the row it takes (R - 1), all under `sid`; the
// pages are taken in natural order (naturalorder.h), whatever order the list has.
// A caption the page cannot give (no element, an empty file, a name without ".") is the file
// name without its extension; TABs and line breaks in captions and links become blanks so that
// the row keeps its columns. A page that cannot be read adds no entry.
BuildSummary BuildContentsEntries(const BuildInputs& in, ContentsList& list, Observer& observer);

// The caption a page gives under `source` (not Custom); an error when it cannot be read.
Result<std::string> captionFor(const std::string& folder, const std::string& name,
                               TitleSource source);

// The book's home entry: number R - 2, top level, the book name, "index.html".
void AddHomeEntry(const std::string& bookName, ContentsList& list);

// The files (or the subfolders) of `folder` as the workbench's lists show them: in natural
// order (numbers by value, Latin letters without regard to case), the order the builder adds
// pages in.
Result<std::vector<std::string>> folderEntries(const std::string& folder, bool folders);

// One entry per subfolder of `folder`, in name order: number R - 2, parent "0", the folder's
// name, no link. Returns how many were added.
Result<int> AddFolderEntries(const std::string& folder, ContentsList& list, Observer& observer);

} // namespace folio::generators
