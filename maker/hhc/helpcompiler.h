// The help compiler launcher: runs chmcmd on a help project and hands back a sound help file.
#pragma once

#include "core/error.h"
#include "maker/hhc/chmheader.h"

#include <string>
#include <vector>

namespace folio::chm {

// What the launcher needs of a help project file (CP936 text, as the maker writes it).
struct HelpProject {
    std::string path;         // the project file
    std::string folder;       // its folder: chmcmd works there and the files are relative to it
    std::string compiledFile; // the help file to write: a plain name inside `folder` (UTF-8)
    std::string indexFile;    // the index file named by the options, relative to `folder`
    // The [FILES] entries, relative to `folder` (UTF-8, "/"), in order; blank lines, comments
    // and repeats are left out.
    std::vector<std::string> files;
    std::vector<std::string> lines; // every line of the file as read (CP936), for the rewrite
};

// Reads and checks the project file: an entry that is absolute or climbs out of the project
// folder is refused, since the compiler cannot store it, and so is a compiled file that is not
// a plain name ending in ".chm". A project without "Compiled file=" writes its base name with
// ".chm".
Result<HelpProject> readHelpProject(const std::string& path);

struct HelpCompileReport {
    std::string chmPath;      // the help file written
    DirectoryCheck directory; // its directory as chmcmd wrote it (before the mend)
    std::string log;          // what chmcmd printed
};

// Compiles the project with `chmcmd` (looked up on PATH unless it holds a "/"): every listed
// file must exist; chmcmd runs in a working folder beside the project that mirrors the project
// folder, on a rewritten copy of the project whose paths are this system's file names; its
// help file is checked, its directory header mended, and only then does it replace an earlier
// help file. On failure the error says why (with chmcmd's output) and nothing is left behind.
Result<HelpCompileReport> compileHelpProject(const std::string& projectPath,
                                             const std::string& chmcmd = "chmcmd");

} // namespace folio::chm
