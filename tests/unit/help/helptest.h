// What the help output tests share: the recording observer, page folders made on the spot, and the
// independent help file reader (libchm's extract_chmLib).
#pragma once

#include "tests/tools/independent_check.h"
#include "tests/tools/recordingobserver.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace helptest {

using Recorder = folio::testing::RecordingObserver;

#define HELP_REQUIRE_CHMCMD() FOLIO_REQUIRE_TOOL("chmcmd", "apt-get install -y fp-utils")
#define HELP_REQUIRE_LIBCHM() FOLIO_REQUIRE_TOOL("extract_chmLib", "apt-get install -y libchm-bin")

// Page i of a made-up book: distinct, a few hundred bytes, with a CP936 line in it.
inline std::string pageText(int i) {
    std::string body = "<html><head><title>Page " + std::to_string(i) +
                       "</title></head><body>\r\n<p>\xB5\xDA" + std::to_string(i) + "</p>\r\n";
    for (int k = 0; k < 8; ++k)
        body += "<p>line " + std::to_string(k * 7919 + i * 104729) + "</p>\r\n";
    return body + "</body></html>\r\n";
}

inline std::string pageName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "page%04d.html", i);
    return name;
}

// Writes pages 1..n into `dir`; returns their names in order.
inline std::vector<std::string> writePages(const TempDir& dir, int n,
                                           const std::string& sub = std::string()) {
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) {
        names.push_back(pageName(i));
        dir.write(sub + names.back(), pageText(i));
    }
    return names;
}

// A bare help project listing `files` (CP936 text as given), compiled into `title`.chm.
inline std::string bareProject(const std::string& title, const std::vector<std::string>& files) {
    std::string p =
        "[OPTIONS]\r\nCompiled file=" + title + ".chm\r\nTitle=" + title + "\r\n\r\n[FILES]\r\n";
    for (const std::string& f : files)
        p += f + "\r\n";
    return p;
}

// Runs chmcmd itself on `project` in its folder, as the launcher would, without the mend.
inline folio::check::RunResult chmcmd(const std::string& folder, const std::string& project) {
    using folio::check::shellQuote;
    return folio::check::run("cd " + shellQuote(folder) + " && chmcmd " + shellQuote(project));
}

// Every file libchm extracts from `chm`, by path inside the help file ("/page0001.html").
inline std::map<std::string, std::string> extractAll(const std::string& chm,
                                                     const std::string& into) {
    using folio::check::shellQuote;
    std::filesystem::create_directories(into);
    const auto r = folio::check::run("extract_chmLib " + shellQuote(chm) + " " + shellQuote(into));
    EXPECT_EQ(r.status, 0) << r.output;
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(into)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        files["/" + std::filesystem::relative(e.path(), into).string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Checks that every page named in `names` (lying in `pages`) comes out of `chm` byte for
// byte; libchm extracts into `into`. Returns the extracted files.
inline std::map<std::string, std::string>
expectPagesExtracted(const std::filesystem::path& pages, const std::string& chm,
                     const std::vector<std::string>& names, const std::string& into) {
    const auto files = extractAll(chm, into);
    int same = 0;
    for (const std::string& n : names) {
        const auto it = files.find("/" + n);
        if (it == files.end()) {
            ADD_FAILURE() << n << " is missing from " << chm;
            continue;
        }
        const bool equal = it->second == readFile(pages / n);
        EXPECT_TRUE(equal) << n << " differs in " << chm;
        same += equal;
    }
    EXPECT_EQ(same, static_cast<int>(names.size()));
    return files;
}

} // namespace helptest
