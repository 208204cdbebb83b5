// The maker folder's own files: the project list Pro.ini, the config.ini snapshot, TreeTag.ini
// and HomePageTag.ini, and the template copies that creating and saving a project make.
#pragma once

#include "core/error.h"
#include "maker/compiler/compilebook.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio::project {

using folio::ProjectSettings;

inline constexpr const char* ProjectListFile = "Pro.ini";
inline constexpr const char* ConfigFile = "config.ini";
inline constexpr const char* TreeTagFile = "TreeTag.ini";
inline constexpr const char* HomePageTagFile = "HomePageTag.ini";

// Pro.ini: one project per line in list order; empty lines are entries too. A missing file is
// an error (start-up treats it as an empty list).
Result<std::vector<std::string>> readProjectList(const std::string& makerFolder);

// Appends one line to Pro.ini, creating it when missing (the file is rewritten whole through a
// temporary file, so a failed append leaves the old list).
Result<void> appendProjectList(const std::string& makerFolder, const std::string& entry);

// Rewrites Pro.ini from scratch: one line per entry, in order (the shut-down rewrite).
Result<void> writeProjectList(const std::string& makerFolder,
                              const std::vector<std::string>& entries);

// folder + "/config.ini": the ten settings lines, a snapshot nothing reads back.
Result<void> writeConfig(const std::string& folder, const ProjectSettings& settings);

// TreeTag.ini and HomePageTag.ini: the text and a line end. Line ends inside the text become
// CR LF, and a text that already ends in one gets no second one, so that reading the file back
// line by line and saving again gives the same file (the home-page tag is read with a line end
// after every line).
// TxtTag at start-up: the first line of TreeTag.ini, so that a tag saved with the settings
// survives a restart; the built-in tag when the file is missing or empty.
std::string readTreeTag(const std::string& makerFolder);

Result<void> writeTagFile(const std::string& path, std::string_view text);
Result<void> writeTreeTag(const std::string& makerFolder, std::string_view text);
Result<void> writeHomePageTag(const std::string& makerFolder, std::string_view text);

// The project's own files, which are no pages of its book: its settings file (<folder>.ini,
// which carries the author's local output folder), its contents list (<folder>.toc), the
// settings snapshot config.ini, and the help project (<title>.hhp, .hhc, .hhk) with the help
// file compiled from it (<title>.chm). Names compare as the book compares its pages' names
// (upper-cased), so "BOOK.INI" is the settings file too.
// The list is made once, for every name of a listing to be asked about.
class ProjectOwnFiles {
  public:
    ProjectOwnFiles(const std::string& projectFolder, const std::string& title);
    bool contains(std::string_view name) const;

  private:
    std::vector<std::string> m_folded; // upper-cased
};

// The files copied into a project by creating it or saving it: for every file name in
// maker/list/ (the template list, in list order) except exactly "tree.html", the file of that
// name in `fromFolder` is copied over the project's. Creating copies from list/tree/, saving
// from list/ itself.
struct TemplateCopy {
    std::vector<std::string> copied;
    std::vector<std::string> missing; // names with no file in `fromFolder`
};
Result<TemplateCopy> copyTemplateFiles(const std::string& makerFolder,
                                       const std::string& fromFolder,
                                       const std::string& projectFolder);

} // namespace folio::project
