// Test helpers: checks of a Book image by tools that are not ours (pefile, wrestool).
#pragma once

#include "tests/tools/shell.h"

#include <string>

namespace folio::bookcheck {

using folio::testing::CommandOutput; // status and output (stdout and stderr together)
using folio::testing::runCommand;
using folio::testing::shellQuote;

// pefile's view: "RES <type> <name> <language> <size> <same|differs|->" lines and a checksum
// verdict. With `pagesFolder`, each page is compared with that folder's file.
inline CommandOutput pefileResources(const std::string& book, const std::string& pagesFolder = {}) {
    std::string cmd = "/usr/bin/python3 " + shellQuote(FOLIO_PECHECK_SCRIPT) + " " +
                      shellQuote(book) + " --listing";
    if (!pagesFolder.empty())
        cmd += " " + shellQuote(pagesFolder);
    return runCommand(cmd);
}

// icoutils' resource listing.
inline CommandOutput wrestoolList(const std::string& book) {
    return runCommand("wrestool -l " + shellQuote(book));
}

} // namespace folio::bookcheck
