// Checks of PE files by tools no one here wrote: pefile, wrestool, and Wine's resource loader.
// A missing tool fails the test loudly (set FOLIO_ALLOW_MISSING_TOOLS=1 to skip instead).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifndef FOLIO_SOURCE_DIR
#error "independent_check.h needs FOLIO_SOURCE_DIR"
#endif

namespace folio::check {

inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

struct RunResult {
    int status = -1;
    std::string out;
};

inline RunResult run(const std::string& command) {
    RunResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) {
        return r;
    }
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) {
        r.out.append(buf.data(), n);
    }
    r.status = ::pclose(p);
    return r;
}

inline bool haveTool(const std::string& path) {
    return run("command -v " + shellQuote(path) + " >/dev/null").status == 0;
}

// Call at the start of a test that needs `tool`; returns false (and fails or skips) when absent.
#define FOLIO_REQUIRE_TOOL(tool, how)                                                              \
    do {                                                                                           \
        if (!::folio::check::haveTool(tool)) {                                                     \
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

inline const char* kPython = "/usr/bin/python3";

// pefile's JSON description of the file (see tests/tools/check_pe.py).
inline RunResult pefileDescribe(const std::string& pePath) {
    return run(std::string(kPython) + " " + FOLIO_SOURCE_DIR "/tests/tools/check_pe.py " +
               shellQuote(pePath));
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

// Reads TYPE/NAME ("#2110", "CUSTOM", "#101", "INDEX.HTML") of `pePath` through Wine's
// FindResourceA/LoadResource. Returns the bytes, or sets `error`.
inline std::string wineReadResource(const std::string& pePath, const std::string& type,
                                    const std::string& name, std::string* error) {
    const std::string out = pePath + ".resread.out";
    std::filesystem::remove(out);
    RunResult r = run(wineEnv() + "wine " + shellQuote(FOLIO_BINARY_DIR "/tools/resread.exe") +
                      " " + shellQuote(pePath) + " " + shellQuote(type) + " " + shellQuote(name) +
                      " " + shellQuote(out));
    if (r.status != 0) {
        if (error) {
            *error = "wine resread failed (" + std::to_string(r.status) + "): " + r.out;
        }
        return {};
    }
    std::ifstream f(out, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace folio::check
