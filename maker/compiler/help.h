// The compiled help output: the help project, contents and index files written from the
// contents list, and the run of the maker's help compiler launcher on the project.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/compiler/compilebook.h"
#include "maker/generators/contentslist.h"

#include <string>

namespace folio::compiler {

struct HelpInputs {
    const generators::ContentsList& contents; // entries: data rows 1 .. R - 2
    const ProjectSettings& settings;          // the title names the files
    std::string makerFolder;                  // holds list/chm/ and chm/hhc
    std::string projectFolder;                // where the files are written
};

// project folder + "/" + title + `extension` (".hhp", ".hhc", ".hhk", ".chm").
std::string helpFilePath(const HelpInputs& in, const std::string& extension);

// Each writer fills its template (maker folder + "/list/chm/chm.hhp|hhc|hhk") and writes
// title + ".hhp|.hhc|.hhk" into the project folder, replacing any earlier file. A missing
// template, a title that cannot name a file, or a failed write is shown as a message box and
// returned as the error; the earlier file is then left as it was. Returns the path written.
Result<std::string> WriteHelpProject(const HelpInputs& in, Observer& observer);
Result<std::string> WriteHelpContents(const HelpInputs& in, Observer& observer);
Result<std::string> WriteHelpIndex(const HelpInputs& in, Observer& observer);

// Starts maker folder + "/chm/hhc" with the project file as its one argument (no shell, so
// spaces are safe) and waits for it while the window keeps handling events. A failure (no
// project file, no launcher, or the compiler's own report) is shown as a message box and
// returned. Returns what the launcher printed.
Result<std::string> CompileHelp(const HelpInputs& in, Observer& observer);

} // namespace folio::compiler
