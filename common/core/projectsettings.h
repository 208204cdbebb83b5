// A book project's ten settings, shared by the workbench that edits them and the compiler that
// builds the book from them (neither depends on the other for them).
#pragma once

#include <string>

namespace folio {

// The ten project settings as the workbench shows them (UTF-8).
struct ProjectSettings {
    std::string title;        // TxtTitle
    std::string indexPage;    // Txtindex
    std::string contentsPage; // TxtTree
    std::string outPath;      // TxtOutPath
    std::string outFile;      // TxtoutFile
    std::string author;       // TxtAuthor
    std::string webAddress;   // TxtURL
    std::string update;       // Txtupdate
    std::string bookshelf;    // Txtonline
    std::string advert;       // Txtad
    // Beyond the ten, kept in a line of its own that the readers of the ten pass over: the
    // files of one level of sub-folders become resources typed by their folder's name.
    bool subfolders = false;
};

} // namespace folio
