// The project as an EPUB 3 book, for every e-reader: its pages in contents order as XHTML, the
// style sheets, pictures, fonts and sounds they use, the navigation document and the EPUB 2
// contents beside it, in one zip written through a staged file.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "core/projectsettings.h"
#include "maker/generators/contentslist.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

struct EpubInputs {
    std::string projectFolder;
    folio::ProjectSettings settings; // the title, author, index and contents pages
    std::string identifier;          // "urn:uuid:...", the same for every build of the book
    std::string outputPath;          // the .epub written
    // The project's own files (its settings, its contents list ...), which are no part of
    // the book; by their names in the project folder.
    std::function<bool(const std::string& name)> isOwnFile;
};

struct EpubOutcome {
    std::string path;
    std::string title, author, language;
    std::string cover;           // the cover picture's name in the book, "" when it has none
    std::size_t pages = 0;       // every page in the book
    std::size_t linearPages = 0; // the pages read in order (the contents' pages)
    std::size_t resources = 0;   // style sheets, pictures, fonts and sounds
    std::uintmax_t bytes = 0;
    bool nameOrder = false; // the contents named no page: the pages went in name order
    // Links left out or made plain text, pages that could not be read or decoded, contents
    // entries that name no page: each names the file.
    std::vector<std::string> warnings;
};

// The entry of the contents list that is the book's card on its home page: the first entry
// linking to the index page, else the first that has a cover, author or synopsis; 0 for none.
int bookCardRow(const ContentsList& list, std::string_view indexPage);

// Writes the book. The spine follows the contents list (nesting by SID in the navigation);
// pages not in it but linked from its pages follow, out of the reading order; a list that
// names no page gives the folder's pages in name order. The contents page itself is left out
// (the navigation stands for it, and links to it lead there). Each page is read in its own
// encoding, parsed by the HTML parser and written as XHTML in UTF-8 (convertToXhtml); a page
// that cannot be read or decoded is named in a warning and converted as well as it goes. Only
// what the pages use goes in. The title, author and cover come from the settings and the home
// page's book card; the dates from the newest file of the project. Progress counts pages.
// Nothing is left at `outputPath` unless the whole book was written.
Result<EpubOutcome> WriteEpub(const EpubInputs& in, const ContentsList& contents,
                              Observer& observer);

} // namespace folio::generators
