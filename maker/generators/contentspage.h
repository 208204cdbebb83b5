// The contents page: tree.html and tree.ini written into the project folder from the list.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/convert.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

// TxtTag's text until the author changes it.
inline constexpr std::string_view DefaultTreeTag = "d.add($ID,$SID,'$Caption','$URL');";

inline constexpr const char* ContentsPageDone = "成功创建目录页！";

// The project folder of a book: maker folder + "/" + book name. A name that is empty or would
// lead out of the maker folder ("/", "\", "." or "..") is refused.
Result<std::string> projectFolderFor(const std::string& makerFolder, const std::string& bookName);

// What the generators put at the end of every page they write (after the page and its CR LF):
// a page without it was written by someone else, and is not replaced unasked.
inline constexpr std::string_view GeneratedMark =
    "<!-- made by folioMake from its template: generating it again replaces this file -->";

// The bytes of a generated page: the page text, CR LF, the mark and CR LF, in CP936.
std::string generatedPageBytes(const std::string& pageText);

// Whether the page at `path` may be written over: yes when there is none or it carries the
// mark; otherwise the observer is asked (Yes/No) whether to replace the author's own page.
bool mayReplacePage(const std::string& path, const std::string& programTitle, Observer& observer);

struct ContentsPageInputs {
    std::string makerFolder;   // holds list/tree/tree.html and list/
    std::string projectFolder; // where the files go; created when missing
    std::string bookName;      // TxtTitle
    std::string entryTemplate = std::string(DefaultTreeTag); // TxtTag
    std::string programTitle = MakerTitle;
};

struct ContentsPageOutcome {
    std::string pageText;              // what the code editor shows
    bool createdProjectFolder = false; // the project chooser gains the book
    std::vector<std::string> copied;   // support files copied, in order
    std::vector<std::string> skipped;  // names in list/ with no file in list/tree/
    bool kept = false;                 // the author's own tree.html was kept: nothing was written
};

// Fills the page template's "$Title" and "$LoopTag" (one filled TxtTag per data row), writes
// tree.html (the page, one more CR LF and the mark) and tree.ini (columns 0-4 of every data row
// joined by TAB), and copies every file named in list/ except "tree.html" from list/tree/. A
// template that cannot be read or a file that cannot be written is shown in a message box
// naming the file and ends the command. A tree.html without the mark is replaced only when the
// observer answers Yes; No writes nothing and returns the outcome with `kept`.
Result<ContentsPageOutcome> GenerateContentsPage(const ContentsPageInputs& in,
                                                 const ContentsList& list, Observer& observer);

// The filled page text alone (steps shared by the generator and its tests).
std::string fillContentsPage(std::string pageText, const std::string& bookName,
                             const std::string& entryTemplate, const ContentsList& list,
                             Observer& observer);

} // namespace folio::generators
