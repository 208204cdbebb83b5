// Checks of PE files by tools no one here wrote: pefile, wrestool, and Wine's resource loader.
// A missing tool fails the test loudly (set FOLIO_ALLOW_MISSING_TOOLS=1 to skip instead).
#pragma once

#include "tests/tools/shell.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#ifndef FOLIO_SOURCE_DIR
#error "independent_check.h needs FOLIO_SOURCE_DIR"
#endif

namespace folio::check {

using folio::testing::shellQuote;
using RunResult = folio::testing::CommandOutput;

// stdout and stderr together.
inline RunResult run(const std::string& command) {
    return folio::testing::runCommand(command);
}

inline const char* kPython = "/usr/bin/python3";

inline bool havePefile() {
    return run(std::string(kPython) + " -c 'import pefile'").status == 0;
}

// The system Python counts as present only with pefile, which is what the tests need it for.
inline bool haveTool(const std::string& path) {
    if (path == kPython) {
        return havePefile();
    }
    return run("command -v " + shellQuote(path) + " >/dev/null").status == 0;
}

// Call at the start of a test that needs `tool`: fails the test (or skips it under
// FOLIO_ALLOW_MISSING_TOOLS=1) when the tool is absent.
#define FOLIO_REQUIRE_TOOL(tool, how) FOLIO_REQUIRE_CHECK(::folio::check::haveTool(tool), tool, how)

// pefile's JSON description of the file (see tests/tools/check_pe.py).
inline RunResult pefileDescribe(const std::string& pePath) {
    return run(std::string(kPython) + " " + FOLIO_SOURCE_DIR "/tests/tools/check_pe.py " +
               shellQuote(pePath));
}

// epubcheck (Debian's package installs it as a jar) on an EPUB: its report, which ends in the
// count of fatals, errors, warnings and infos.
inline RunResult epubcheck(const std::string& epubPath) {
    return run("java -jar /usr/bin/epubcheck " + shellQuote(epubPath));
}

inline RunResult wrestoolList(const std::string& pePath) {
    return run("wrestool -l " + shellQuote(pePath));
}

// The Wine prefix lives in the build tree, one per test program, created on first use.
inline std::string winePrefix() {
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    return std::string(FOLIO_BINARY_DIR) + "/wineprefix-" + exe;
}

inline std::string wineEnv() {
    return "WINEDEBUG=-all WINEPREFIX=" + shellQuote(winePrefix()) + " ";
}

// Creates this test program's Wine prefix once (wineboot -i), so that the first resource read
// does not mix Wine's set-up with its output. Returns false, with the reason, on failure.
inline bool ensureWinePrefix(std::string* error = nullptr) {
    static std::string failure;
    static const bool ready = [] {
        if (std::filesystem::exists(winePrefix() + "/system.reg")) {
            return true;
        }
        RunResult r = run(wineEnv() + "wineboot -i");
        if (r.status != 0 && !std::filesystem::exists(winePrefix() + "/system.reg")) {
            failure = "wineboot -i for " + winePrefix() + " failed: " + r.output;
            return false;
        }
        return true;
    }();
    if (!ready && error) {
        *error = failure;
    }
    return ready;
}

// Reads TYPE/NAME ("#2110", "CUSTOM", "#101", "INDEX.HTML") of `pePath` through Wine's
// FindResourceA/LoadResource. Returns the bytes, or sets `error`.
inline std::string wineReadResource(const std::string& pePath, const std::string& type,
                                    const std::string& name, std::string* error) {
    if (!ensureWinePrefix(error)) {
        return {};
    }
    const std::string out = pePath + ".resread.out";
    std::filesystem::remove(out);
    RunResult r = run(wineEnv() + "wine " + shellQuote(FOLIO_BINARY_DIR "/tools/resread.exe") +
                      " " + shellQuote(pePath) + " " + shellQuote(type) + " " + shellQuote(name) +
                      " " + shellQuote(out));
    if (r.status != 0) {
        if (error) {
            *error = "wine resread failed (" + std::to_string(r.status) + "): " + r.output;
        }
        return {};
    }
    std::ifstream f(out, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// ---- the checkers as plain calls ----
//
// Start the test with FOLIO_REQUIRE_PEFILE(), FOLIO_REQUIRE_WRESTOOL() or FOLIO_REQUIRE_WINE():
// they fail the test (or skip it under FOLIO_ALLOW_MISSING_TOOLS=1) when the tool is missing.
// The calls below record a test failure of their own when the tool cannot be run at all.

inline bool haveWine() {
    return haveTool("wine") && std::filesystem::exists(FOLIO_BINARY_DIR "/tools/resread.exe");
}

#define FOLIO_REQUIRE_CHECK(present, tool, how)                                                    \
    do {                                                                                           \
        if (!(present)) {                                                                          \
            const char* allow = std::getenv("FOLIO_ALLOW_MISSING_TOOLS");                          \
            if (allow && std::string(allow) == "1") {                                              \
                std::fprintf(stderr,                                                               \
                             "\n*** WARNING: %s is missing (%s); independent check "               \
                             "SKIPPED ***\n\n",                                                    \
                             tool, how);                                                           \
                GTEST_SKIP() << tool << " missing";                                                \
            }                                                                                      \
            FAIL() << "independent checker " << tool << " is missing: " << how;                    \
        }                                                                                          \
    } while (0)

#define FOLIO_REQUIRE_PEFILE()                                                                     \
    FOLIO_REQUIRE_CHECK(::folio::check::havePefile(),                                              \
                        "pefile (/usr/bin/python3 -c 'import pefile')",                            \
                        "apt-get install -y python3-pefile")
#define FOLIO_REQUIRE_WRESTOOL()                                                                   \
    FOLIO_REQUIRE_CHECK(::folio::check::haveTool("wrestool"), "wrestool",                          \
                        "apt-get install -y icoutils")
#define FOLIO_REQUIRE_WINE()                                                                       \
    FOLIO_REQUIRE_CHECK(::folio::check::haveWine(), "wine with tools/resread.exe",                 \
                        "dpkg --add-architecture i386 && apt-get install -y wine wine32 "          \
                        "gcc-mingw-w64-i686, then build the folio_resread target")

// One resource as pefile sees it. Ids are written "#2110", names as stored ("INDEX.HTML").
struct PefileResource {
    std::string type;
    std::string name;
    int language = 0;
    std::uint64_t size = 0;
    std::string sha256;
};

struct PefileReport {
    bool parsed = false; // false when pefile refused the file; `error` says why
    std::string error;
    bool checksumOk = false;
    std::vector<std::string> sections;
    std::vector<std::string> warnings;
    std::vector<PefileResource> resources;

    const PefileResource* find(std::string_view type, std::string_view name) const {
        for (const auto& r : resources) {
            if (r.type == type && r.name == name) {
                return &r;
            }
        }
        return nullptr;
    }
};

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        auto tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) {
            return out;
        }
        start = tab + 1;
    }
}

// Every resource, the section names, pefile's warnings and its view of the checksum.
inline PefileReport checkWithPefile(const std::string& pePath) {
    PefileReport rep;
    RunResult r = run(std::string(kPython) + " " + FOLIO_SOURCE_DIR "/tests/tools/check_pe.py " +
                      shellQuote(pePath) + " --lines");
    if (r.status != 0) {
        rep.error = "pefile could not read " + pePath + ": " + r.output;
        return rep;
    }
    rep.parsed = true;
    for (const std::string& line : splitLines(r.output)) {
        const auto f = splitTabs(line);
        if (f[0] == "checksum_ok" && f.size() == 2) {
            rep.checksumOk = f[1] == "1";
        } else if (f[0] == "section" && f.size() == 2) {
            rep.sections.push_back(f[1]);
        } else if (f[0] == "warning" && f.size() >= 2) {
            rep.warnings.push_back(f[1]);
        } else if (f[0] == "resource" && f.size() == 6) {
            rep.resources.push_back({f[1], f[2], std::stoi(f[3]), std::stoull(f[4]), f[5]});
        }
    }
    return rep;
}

// The SHA-256 (lower-case hex) of `bytes`, to compare with PefileResource::sha256.
inline std::string sha256Hex(std::string_view bytes) {
    const std::string tmp = (std::filesystem::temp_directory_path() /
                             ("folio-sha-" + std::to_string(::getpid()) + ".bin"))
                                .string();
    {
        std::ofstream f(tmp, std::ios::binary);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    RunResult r = run("sha256sum " + shellQuote(tmp));
    std::filesystem::remove(tmp);
    return r.status == 0 ? r.output.substr(0, 64) : std::string();
}

// `wrestool -l` output, one line per resource (e.g. "--type=2110 --name='A.CSS' --language=1033
// [offset=0x... size=3]").
inline std::vector<std::string> checkWithWrestool(const std::string& pePath) {
    RunResult r = wrestoolList(pePath);
    if (r.status != 0) {
        ADD_FAILURE() << "wrestool -l " << pePath << " failed (" << r.status << "): " << r.output;
        return {};
    }
    return splitLines(r.output);
}

// Section names in header order as mingw's objdump reads them (long names resolved through
// the symbol table's string table); empty, with a test failure, when objdump refuses the file.
inline std::vector<std::string> checkWithObjdump(const std::string& pePath) {
    RunResult r = run("i686-w64-mingw32-objdump -h " + shellQuote(pePath));
    if (r.status != 0 || r.output.find("warning") != std::string::npos) {
        ADD_FAILURE() << "objdump -h " << pePath << " (" << r.status << "): " << r.output;
        return {};
    }
    std::vector<std::string> names;
    for (const std::string& line : splitLines(r.output)) {
        std::istringstream in(line);
        std::string index, name;
        if (in >> index >> name && !index.empty() &&
            std::all_of(index.begin(), index.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            names.push_back(name);
        }
    }
    return names;
}

#define FOLIO_REQUIRE_OBJDUMP()                                                                    \
    FOLIO_REQUIRE_CHECK(::folio::check::haveTool("i686-w64-mingw32-objdump"),                      \
                        "i686-w64-mingw32-objdump", "apt-get install -y binutils-mingw-w64-i686")

// The bytes of TYPE/NAME ("#2110" or "CUSTOM", "#101" or "INDEX.HTML") of `pePath` as Wine's
// LoadLibraryEx(AS_DATAFILE)/FindResource/LoadResource return them; a failure is recorded.
inline std::string readWithWine(const std::string& pePath, const std::string& type,
                                const std::string& name) {
    std::string error;
    std::string bytes = wineReadResource(pePath, type, name, &error);
    if (!error.empty()) {
        ADD_FAILURE() << error;
    }
    return bytes;
}

} // namespace folio::check
