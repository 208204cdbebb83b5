// Writes the raw resources and resource scripts from which the test build links the small
// PE32 programs the icon tests patch.
#include "ico_builder.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

using namespace icontest;

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

bool writeFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out.flush());
}

// A page of `size` bytes that differs from every other page.
std::string page(const std::string& name, std::size_t size) {
    std::string text = "<html><head><title>" + name + "</title></head><body>\r\n";
    for (std::size_t line = 0; text.size() < size; ++line)
        text += "<p>" + name + " line " + std::to_string(line) + "</p>\r\n";
    text.resize(size);
    return text;
}

const char* const VersionBlock = R"(LANGUAGE 4, 2
1 VERSIONINFO
FILEVERSION 1,0,0,0
PRODUCTVERSION 1,0,0,0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "080403a8"
    BEGIN
      VALUE "FileDescription", "icon test fixture"
    END
  END
END
)";

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: icon_fixture_gen OUTPUT_FOLDER\n";
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const IconShape big{32, 32, 24, 1};
    const IconShape small{16, 16, 24, 2};
    bool ok = writeFile(dir + "img30001.bin", makeIconImage(big)) &&
              writeFile(dir + "img30002.bin", makeIconImage(small)) &&
              // planes and bit count 0, as some resource compilers leave them, so that the
              // rewrite of every group entry field shows.
              writeFile(dir + "group1.bin", makeGroup({{big, 30001}}, 0, 0)) &&
              writeFile(dir + "group_two.bin", makeGroup({{big, 30001}, {small, 30002}}, 0, 0)) &&
              writeFile(dir + "group_small.bin", makeGroup({{small, 30002}}, 0, 0)) &&
              writeFile(dir + "index.html", page("index", 3000)) &&
              writeFile(dir + "tree.html", page("tree", 1500)) &&
              writeFile(dir + "chapter1.html", page("chapter1", 7000)) &&
              writeFile(dir + "main.c", "int main(void) { return 0; }\n");

    const std::string icons = "LANGUAGE 0, 0\n30001 3 \"img30001.bin\"\n1 14 \"group1.bin\"\n";
    const std::string pages =
        "LANGUAGE 9, 1\nINDEX.HTML 2110 \"index.html\"\n"
        "TREE.HTML 2110 \"tree.html\"\nCHAPTER1.HTML 2110 \"chapter1.html\"\n";
    ok = ok && writeFile(dir + "template.rc", icons + VersionBlock) &&
         writeFile(dir + "book.rc", icons + VersionBlock + pages) &&
         writeFile(dir + "twoicons.rc", "LANGUAGE 0, 0\n30001 3 \"img30001.bin\"\n"
                                        "30002 3 \"img30002.bin\"\n1 14 \"group_two.bin\"\n"
                                        "2 14 \"group_small.bin\"\n" +
                                            std::string(VersionBlock)) &&
         writeFile(dir + "noicon.rc", std::string(VersionBlock) + pages);
    if (!ok) {
        std::cerr << "icon_fixture_gen: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
