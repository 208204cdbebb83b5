// Writes the sources from which the test build links its small PE32 programs: the icon tests'
// raw resources and resource scripts, the Book image tests' reader stand-in, and the icon of the
// PE tests' programs.
#include "tests/tools/ico_builder.h"

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

// An .ico of one image whose colour rows come from `pixel(x, y)` (bottom row first, as stored),
// with an all-zero mask; `imageSize` fills the header's image size field or leaves it 0.
template <class Pixel>
Bytes patternIco(int width, int height, int bitCount, bool imageSize, Pixel pixel) {
    Bytes colour;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Bytes p = pixel(x, y);
            colour.insert(colour.end(), p.begin(), p.end());
        }
    const std::size_t mask = 4 * static_cast<std::size_t>(height); // one bit a pixel, 4-byte rows
    Bytes image(40, 0);
    put32(image, 0, 40);
    put32(image, 4, static_cast<std::uint32_t>(width));
    put32(image, 8, static_cast<std::uint32_t>(height * 2));
    put16(image, 12, 1);
    put16(image, 14, static_cast<std::uint32_t>(bitCount));
    if (imageSize)
        put32(image, 20, static_cast<std::uint32_t>(colour.size() + mask));
    image.insert(image.end(), colour.begin(), colour.end());
    image.resize(image.size() + mask, 0);
    Bytes ico(6 + 16, 0);
    put16(ico, 2, 1);
    put16(ico, 4, 1);
    ico[6] = static_cast<std::uint8_t>(width);
    ico[7] = static_cast<std::uint8_t>(height);
    put16(ico, 10, 1);
    put16(ico, 12, static_cast<std::uint32_t>(bitCount));
    put32(ico, 14, static_cast<std::uint32_t>(image.size()));
    put32(ico, 18, 6 + 16);
    ico.insert(ico.end(), image.begin(), image.end());
    return ico;
}

std::uint8_t byte(int v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}

// The reader template's stand-in for the Book image tests: a program, a 32x32 icon (3240 bytes
// of image) and a version block, the resources a reader template carries.
bool writeBookFixture(const std::string& dir) {
    const Bytes ico = patternIco(32, 32, 24, false, [](int x, int y) {
        return Bytes{byte(x * 8), byte(y * 8), 0x80};
    });
    return writeFile(dir + "main.c", "int main(void) { return 0; }\n") &&
           writeFile(dir + "fixture.ico", ico) &&
           writeFile(dir + "fixture.rc", R"(1 ICON "fixture.ico"
LANGUAGE 4, 2
1 VERSIONINFO
 FILEVERSION 1,0,0,0
 PRODUCTVERSION 1,0,0,0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "080404b0"
    BEGIN
      VALUE "FileDescription", "fixture"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x804, 1200
  END
END
)");
}

// The PE tests' programs' icon: 16x16 at 32 bits.
bool writePeIcon(const std::string& path) {
    return writeFile(path, patternIco(16, 16, 32, true, [](int x, int y) {
                         return Bytes{byte(x * 16), byte(y * 16), 128, 255};
                     }));
}

int usage() {
    std::cerr << "usage: folio_fixture_gen icon-tests FOLDER | book FOLDER | pe-icon FILE\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return usage();
    const std::string mode = argv[1];
    if (mode == "book" || mode == "pe-icon") {
        const bool ok =
            mode == "book" ? writeBookFixture(std::string(argv[2]) + "/") : writePeIcon(argv[2]);
        if (!ok)
            std::cerr << "folio_fixture_gen: cannot write " << argv[2] << "\n";
        return ok ? 0 : 1;
    }
    if (mode != "icon-tests")
        return usage();
    const std::string dir = std::string(argv[2]) + "/";
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
        std::cerr << "folio_fixture_gen: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
