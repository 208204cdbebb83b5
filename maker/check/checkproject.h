// Checking a project before it becomes a book: every link, picture, frame, script, style sheet
// and contents entry resolved as the readers will resolve it in the compiled book.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "core/projectsettings.h"

#include <optional>
#include <string>
#include <vector>

namespace folio::check {

enum class Severity { Error, Warning, Note };

// "error", "warning", "note".
const char* severityName(Severity s);

struct Finding {
    std::string file; // relative to the project folder ("ch1.html", "img/a.css", "Book.toc")
    int line = 1;     // 1-based; a finding about the whole file is at 1:1
    int column = 1;   // 1-based, in characters
    Severity severity = Severity::Error;
    std::string code;    // broken-link, not-in-book, same-resource, bad-name, ...
    std::string message; // what is wrong and what to do, in plain words
    std::string target;  // the address or name concerned, as written; may be empty
};

struct CheckInputs {
    std::string projectFolder;
    folio::ProjectSettings settings; // with the sub-folder setting
    // The entries a compile will take (names in the project folder, as the page list holds
    // them; a selected folder stands for its files with sub-folders on); nullopt: every file
    // the command-line compile takes (the folder's files but the project's own).
    std::optional<std::vector<std::string>> selected;
};

struct CheckReport {
    std::vector<Finding> findings; // by file, then line and column
    int pages = 0;                 // pages parsed
    int links = 0;                 // addresses resolved
    int errors() const;
    int warnings() const;
};

// Reads the project folder, its saved contents list and what a compile would put into the book,
// parses every page (gumbo) and style sheet (url() and @import), and reports what is wrong with
// the book it would make. Pages are parsed on the machine's cores. An error only when the
// folder cannot be listed.
Result<CheckReport> CheckProject(const CheckInputs& in);

// The compile's question when the check found errors: Yes compiles anyway, No leaves the book
// as it is (the window then shows the report). True when the compile goes on: no error found,
// or Yes.
bool compileDespiteFindings(const CheckReport& report, Observer& observer);

} // namespace folio::check
