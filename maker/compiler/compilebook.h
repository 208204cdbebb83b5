// Compiling a project folder into a Book image, without any window.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "core/projectsettings.h"
#include "maker/compiler/bookwriter.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace folio::compiler {

struct PageEntry {
    std::string name; // as listed in List2
    bool selected = false;
};

struct CompileInputs {
    // With settings.subfolders, a selected sub-folder of the project folder adds the files
    // lying directly in it, each as a resource whose type is the folder's upper-cased name
    // (pageResourceType), so that a page's "img/pic.png" reaches it on both systems. Off, a
    // sub-folder is never a page.
    ProjectSettings settings;
    std::string iconPath;      // TxtIconPath; empty keeps the template's icon
    std::string makerFolder;   // program folder of the maker
    std::string skinFileName;  // Combo2's text (file under makerFolder/skin/)
    std::string projectFolder; // File3's path
    std::vector<PageEntry> pages;
    std::string dateText; // today's date in the user's short date format
    // A full build reads every page from its file; otherwise a page unchanged since the
    // previous build of the same book is taken from that book.
    bool full = false;
    // Where each build leaves the record the next one reads; empty keeps none.
    std::string recordFolder = defaultRecordFolder();
};

using folio::MessageIcon;
// The compiler reports through the common observer.
using CompileObserver = folio::Observer;

// How a compilation ended. A failed one carries its outcome in its Error's code, so the caller
// can tell a refused setting from a broken build without reading the message.
// Declined: the user answered No to replacing another book, so nothing was written.
enum class CompileOutcome { Done = 0, Invalid = 1, DescriptorFailed = 2, Failed = 3, Declined = 4 };

struct SkippedEntry {
    std::string name; // the entry as listed
    std::string why;  // what it is: "a FIFO", "a dangling symbolic link", ...
};

struct CompiledBook {
    std::string bookPath;
    int pagesAdded = 0;                // page resources in the finished book
    int pagesReused = 0;               // of them, taken unchanged from the previous book
    std::vector<SkippedEntry> skipped; // selected entries that are neither a page nor a folder
};

// The icon step, called when an icon path is set, on a copy of the reader template beside the
// book (a temporary file) before the pages go in, so that a book of any size is never read back
// whole for its icon. Its error is raised into the failure trap.
using IconStep = std::function<Result<void>(const std::string& iconPath,
                                            const std::string& bookPath, CompileObserver&)>;

// Default icon step: the icon replacement routine of maker/compiler/icon.h.
IconStep defaultIconStep();

// Two entries that become one resource of the book: the book keeps `first`'s file and loses
// `other`'s. `resource` is the resource as an address names it ("INDEX.HTML", "IMG/PIC.PNG").
struct ResourceClash {
    std::string first, other, resource;
};

// Every entry (a name in the project folder, or "folder/name" for a file of a sub-folder) that
// takes the resource of an earlier, different entry, in entry order: names equal once
// upper-cased, as the book stores them, are one resource.
std::vector<ResourceClash> resourceClashes(std::span<const std::string_view> entries);
inline std::vector<ResourceClash> resourceClashes(const std::vector<std::string>& entries) {
    const std::vector<std::string_view> names(entries.begin(), entries.end());
    return resourceClashes(names);
}

// The files a selected sub-folder adds (subfolders on): "folder/name" for each regular file
// lying directly in it, in byte order; what is left out (deeper folders, other kinds of file,
// a folder whose name reads as a type number) is added to `skipped`.
std::vector<std::string> subfolderEntries(const std::string& projectFolder,
                                          const std::string& folder,
                                          std::vector<SkippedEntry>& skipped);

// Every outcome is also shown through the observer's message box, as the workbench reports it.
// The error's message is what a refused setting lacks (Invalid), the reason the descriptor could
// not be written (DescriptorFailed), the failure's description (Failed) or the book that was
// kept (Declined), as a sentence for a log or a console; the boxes carry the window's texts.
//
// Before anything is written the book must be whole: at least one page selected, the index and
// contents pages among the selected ones, and no two selected names that become one resource
// (names equal once upper-cased); otherwise the compile stops (Invalid) naming the page. When
// the output file is already a book of another title, the observer is asked before it is
// replaced; No ends the compile (Declined) with every file as it was.
Result<CompiledBook> CompileBook(const CompileInputs& in, CompileObserver& observer,
                                 IconStep iconStep = defaultIconStep());

inline CompileOutcome outcomeOf(const Result<CompiledBook>& r) {
    return r ? CompileOutcome::Done : static_cast<CompileOutcome>(r.error().code);
}

} // namespace folio::compiler
