// Text chapters to pages and pages back to text, over the selection of the workbench's explorer.
#pragma once

#include "core/error.h"
#include "core/observer.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

// The explorer list as a routine sees it: the folder it shows and its entries in list order.
struct ExplorerList {
    std::string folder;             // File1's path
    std::vector<std::string> names; // List1's entries
    std::vector<bool> selected;     // parallel to names; a missing entry counts as not selected

    bool isSelected(std::size_t i) const { return i < selected.size() && selected[i]; }
    std::string pathOf(std::size_t i) const;
};

// What the messages of the page generators are titled with unless the window says otherwise.
inline constexpr const char* MakerTitle = "folioMake";

// Shown when a command meets an empty explorer list.
inline constexpr const char* NoFilesMessage = "没有文件可以处理！！";

// Replaces every occurrence of `what` (case-sensitive, left to right, never rescanning the
// replacement). An empty `what` changes nothing.
void replaceAll(std::string& text, std::string_view what, std::string_view with);

struct TextToPagesInputs {
    ExplorerList list;
    std::string templatePath; // list/page/page.html in the maker folder
    std::string programTitle = MakerTitle;
};

struct ConvertSummary {
    std::vector<std::string> written; // full paths of the files written, in list order
};

// Every selected "*.txt" of the list becomes title + ".html" beside it, from the page template.
// The text is read in its own encoding (a byte-order mark, else UTF-8 when valid, else CP936)
// and the page written in CP936.
// A template or source that cannot be read, or a page that cannot be written, is shown in a
// message box naming the file and ends the command; the error is also returned.
Result<ConvertSummary> ConvertTextToPages(const TextToPagesInputs& in, Observer& observer);

// The escaped body of a text file's bytes (CP936 in, CP936 out): every line followed by "<br>",
// with "&", " ", ">" and "<" made safe for markup.
std::string EscapeTextBody(std::string_view ansiText);

enum class TitleElement { Title, H1 };

struct PagesToTextInputs {
    ExplorerList list;
    TitleElement titleFrom = TitleElement::H1; // Option1 / Option2
    std::string startMarker;                   // Text1
    std::string endMarker;                     // Text2
    std::string removeList;                    // Text3: phrases separated by ","
    std::string programTitle = MakerTitle;
};

// Shown when a page-to-text run ends.
inline constexpr const char* PagesConvertedMessage = "所有文件转换完成！";

// Every selected "*.html" of the list becomes a ".txt" beside it: the title, CR LF, the body cut
// out between the markers and turned back into plain text, CR LF. Each page is read in the
// encoding it declares (or its bytes tell); the text file is CP936.
Result<ConvertSummary> ConvertPagesToText(const PagesToTextInputs& in, Observer& observer);

// The phrases the removal list deletes: every piece before the last ",", in order.
std::vector<std::string> RemovalPhrases(std::string_view removeList);

// The title of a page text (UTF-8, as ReadPageText gives it); empty when the element is missing.
std::string PageTitle(const std::string& page, TitleElement from,
                      const std::vector<std::string>& phrases);

// The body of a page text between the markers, turned back into plain text.
std::string PageBody(const std::string& page, std::string_view startMarker,
                     std::string_view endMarker, const std::vector<std::string>& phrases);

} // namespace folio::generators
