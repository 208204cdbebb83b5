// A project's EPUB book: the routine behind `folio epub` and the workbench's "EPUB" box.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "core/projectsettings.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/epub.h"

#include <string>

namespace folio::project {

// Where the book goes when nobody says: <output folder>/<output file>.epub.
std::string epubPathOf(const ProjectSettings& settings);

// Writes the project's EPUB to `outputPath` ("" for epubPathOf) from its settings and
// contents list, with the identifier its settings file keeps (made and written there the
// first time). The project's own files are no part of it. A failure names the file.
Result<generators::EpubOutcome> MakeProjectEpub(const std::string& projectFolder,
                                                const ProjectSettings& settings,
                                                const generators::ContentsList& contents,
                                                const std::string& outputPath, Observer& observer);

// The workbench's message after the book was written: where it is, what it holds, and the
// first of its warnings.
std::string epubDoneMessage(const generators::EpubOutcome& outcome);

} // namespace folio::project
