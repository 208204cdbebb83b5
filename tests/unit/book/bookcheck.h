// Test helpers: checks of a Book image by tools that are not ours (pefile, wrestool).
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace folio::bookcheck {

struct CommandOutput {
    int status = -1;
    std::string output; // stdout and stderr
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

inline CommandOutput runCommand(const std::string& command) {
    CommandOutput r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return r;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

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
