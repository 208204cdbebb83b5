// hhc: the maker's help compiler launcher, started with the path of a help project file.
#include "maker/hhc/helpcompiler.h"

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).empty()) {
        std::cerr << "usage: hhc <project file.hhp>\n"
                     "Compiles the help project with chmcmd into the help file it names.\n";
        return 2;
    }
    auto r = folio::chm::compileHelpProject(argv[1]);
    if (!r) {
        std::cerr << "hhc: " << r.error().message << "\n";
        return 1;
    }
    std::cout << r->log;
    if (!r->log.empty() && r->log.back() != '\n')
        std::cout << "\n";
    if (r->directory.needsMend())
        std::cout << "hhc: directory header mended: first listing chunk "
                  << r->directory.recordedHead << " -> " << r->directory.actualHead << "\n";
    std::cout << "hhc: wrote " << r->chmPath << "\n";
    return 0;
}
