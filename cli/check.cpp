// folio check: the project's findings as compiler-style lines or as JSON.
#include "cli/console.h"
#include "core/fileio.h"
#include "core/text.h"
#include "maker/check/checkproject.h"
#include "maker/project/settings.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

namespace fs = std::filesystem;

namespace folio::cli {

namespace {

// A JSON string: the text as valid UTF-8 (a stray byte of a file name becomes U+FFFD), with
// quotes, backslashes and control characters escaped.
std::string jsonString(std::string_view text) {
    const std::string utf8 = isValidUtf8(text) ? std::string(text) : utf16ToUtf8(utf8ToUtf16(text));
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// The path a finding's file is shown under: the project folder as it was given, then the file.
std::string shownPath(const std::string& folderArg, const std::string& file) {
    return (folderArg == "." ? std::string() : FixPath(folderArg)) + file;
}

} // namespace

Result<check::CheckReport> checkForCommand(const std::string& folderArg,
                                           const folio::ProjectSettings& settings) {
    std::error_code ec;
    check::CheckInputs in;
    in.projectFolder = fs::absolute(folderArg, ec).lexically_normal().string();
    in.settings = settings;
    return check::CheckProject(in);
}

void printFindings(const std::string& folderArg, const check::CheckReport& report,
                   std::ostream& out) {
    for (const check::Finding& f : report.findings)
        out << printable(shownPath(folderArg, f.file)) << ":" << f.line << ":" << f.column << ": "
            << check::severityName(f.severity) << ": " << printable(f.message) << " [" << f.code
            << "]\n";
}

std::string findingsSummary(const check::CheckReport& report) {
    const int errors = report.errors(), warnings = report.warnings();
    const int notes = static_cast<int>(report.findings.size()) - errors - warnings;
    auto count = [](int n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    return count(errors, "error") + ", " + count(warnings, "warning") + ", " +
           count(notes, "note") + " in " + count(report.pages, "page") + " (" +
           std::to_string(report.links) + (report.links == 1 ? " address" : " addresses") +
           " resolved)";
}

int checkCommand(const std::vector<std::string>& args) {
    std::optional<std::string> folder;
    bool json = false, werror = false, subfolders = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (a == "--werror")
            werror = true;
        else if (a == "--subfolders")
            subfolders = true;
        else if (a.starts_with("--"))
            return usageError("unknown option " + a);
        else if (!folder)
            folder = a;
        else
            return usageError("unexpected argument " + a);
    }
    if (!folder)
        return usageError("check needs a project folder");
    if (!dirExists(*folder)) {
        std::cerr << "folio: the project folder " << printable(*folder) << " does not exist\n";
        return ExitUsage;
    }
    std::error_code ec;
    folio::ProjectSettings settings = project::initialSettings("");
    const std::string settingsPath =
        project::settingsFilePath(fs::absolute(*folder, ec).lexically_normal().string());
    if (auto read = project::readSettingsFile(settingsPath, settings); !read) {
        std::cerr << "folio: cannot read the project settings: " << printable(read.error().message)
                  << "\n";
        return ExitUsage;
    }
    settings.subfolders = settings.subfolders || subfolders;
    auto report = checkForCommand(*folder, settings);
    if (!report) {
        std::cerr << "folio: " << printable(report.error().message) << "\n";
        return ExitUsage;
    }
    if (json) {
        std::cout << "[";
        for (std::size_t i = 0; i < report->findings.size(); ++i) {
            const check::Finding& f = report->findings[i];
            std::cout << (i ? ",\n " : "\n ")
                      << "{\"file\": " << jsonString(shownPath(*folder, f.file))
                      << ", \"line\": " << f.line << ", \"column\": " << f.column
                      << ", \"severity\": \"" << check::severityName(f.severity)
                      << "\", \"code\": \"" << f.code
                      << "\", \"message\": " << jsonString(f.message)
                      << ", \"target\": " << jsonString(f.target) << "}";
        }
        std::cout << (report->findings.empty() ? "]\n" : "\n]\n");
    } else {
        printFindings(*folder, *report, std::cout);
        std::cout << findingsSummary(*report) << "\n";
    }
    if (report->errors() > 0 || (werror && report->warnings() > 0))
        return ExitFailure;
    return ExitOk;
}

} // namespace folio::cli
