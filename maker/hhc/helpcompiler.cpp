// The help compiler launcher: project reading, the chmcmd run, the check and the mend.
#include "helpcompiler.h"

#include "fileio.h"
#include "process.h"
#include "text.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::chm {

namespace {

std::string trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// "[FILES]" -> "files"; empty for a line that is no section header.
std::string sectionName(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return {};
    return lowerAscii(t.substr(1, t.size() - 2));
}

// Options whose value is a file inside the project: the compiler opens them by name, so on
// this system they must be the file system's own (UTF-8) names.
bool isPathOption(const std::string& key) {
    static const std::set<std::string> keys = {"compiled file",  "contents file",
                                               "index file",     "default topic",
                                               "error log file", "full text search stop list file"};
    return keys.contains(lowerAscii(trim(key)));
}

// A project path (CP936, either slash) as a relative UTF-8 path; empty with `error` set when
// it leaves the project folder.
std::string projectRelative(const std::string& ansi, std::string& error) {
    std::string p = trim(fromAnsi(ansi));
    std::replace(p.begin(), p.end(), '\\', '/');
    const bool drive = p.size() >= 2 && p[1] == ':';
    bool climbs = false;
    for (const auto& part : fs::path(p))
        climbs = climbs || part == "..";
    if (p.starts_with('/') || drive || climbs) {
        error = "\"" + p + "\" lies outside the project folder";
        return {};
    }
    while (p.starts_with("./"))
        p.erase(0, 2);
    return p;
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

// The project as chmcmd gets it: paths in the file system's names, the output named
// explicitly, and the [FILES] section as checked.
std::string launchProject(const HelpProject& p) {
    std::vector<std::string> out;
    const std::string compiled = "Compiled file=" + p.compiledFile;
    std::string section;
    bool sawOptions = false;
    for (const std::string& line : p.lines) {
        const std::string name = sectionName(line);
        if (!name.empty()) {
            section = name;
            out.push_back(line);
            if (name == "options") {
                sawOptions = true;
                out.push_back(compiled);
            } else if (name == "files") {
                out.insert(out.end(), p.files.begin(), p.files.end());
            }
            continue;
        }
        if (section == "files")
            continue;
        if (section == "options") {
            const auto eq = line.find('=');
            if (eq != std::string::npos && isPathOption(line.substr(0, eq))) {
                if (lowerAscii(trim(line.substr(0, eq))) == "compiled file")
                    continue;
                std::string error;
                std::string value = projectRelative(line.substr(eq + 1), error);
                out.push_back(line.substr(0, eq) + "=" + (error.empty() ? value : ""));
                continue;
            }
        }
        out.push_back(line);
    }
    if (!sawOptions)
        out.insert(out.begin(), {"[OPTIONS]", compiled});
    return joinCrLf(out);
}

} // namespace

Result<HelpProject> readHelpProject(const std::string& path) {
    auto bytes = readFileBytes(path);
    if (!bytes)
        return fail(bytes.error().message);
    HelpProject p;
    p.path = path;
    p.folder = parentFolder(path);
    if (p.folder.empty())
        p.folder = ".";
    p.lines = splitAnsiLines(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    std::string section;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < p.lines.size(); ++i) {
        const std::string& line = p.lines[i];
        const std::string where = path + " line " + std::to_string(i + 1) + ": ";
        if (const std::string name = sectionName(line); !name.empty()) {
            section = name;
            continue;
        }
        const std::string t = trim(line);
        if (t.empty() || t.starts_with(';'))
            continue;
        std::string error;
        if (section == "files") {
            std::string file = projectRelative(t, error);
            if (!error.empty())
                return fail(where + "the file " + error);
            if (seen.insert(file).second)
                p.files.push_back(file);
        } else if (section == "options") {
            const auto eq = t.find('=');
            if (eq == std::string::npos || lowerAscii(trim(t.substr(0, eq))) != "compiled file")
                continue;
            p.compiledFile = projectRelative(t.substr(eq + 1), error);
            if (!error.empty())
                return fail(where + "the compiled file " + error);
        }
    }
    if (p.compiledFile.empty())
        p.compiledFile = baseNameWithoutExtension(path) + ".chm";
    return p;
}

Result<HelpCompileReport> compileHelpProject(const std::string& projectPath,
                                             const std::string& chmcmd) {
    auto project = readHelpProject(projectPath);
    if (!project)
        return fail(project.error().message);
    const HelpProject& p = *project;

    // chmcmd stops with an exception on the first listed file it cannot open, so name them all.
    std::string missing;
    int missingCount = 0;
    for (const std::string& f : p.files) {
        if (!fileExists(FixPath(p.folder) + f)) {
            if (++missingCount <= 10)
                missing += "\n  " + f;
        }
    }
    if (missingCount > 0)
        return fail(projectPath + ": " + std::to_string(missingCount) +
                    " listed file(s) missing from " + p.folder + ":" + missing +
                    (missingCount > 10 ? "\n  ..." : ""));

    const std::string chmPath = FixPath(p.folder) + p.compiledFile;
    const std::string stem = baseNameWithoutExtension(projectPath);
    const std::string launchName = "." + stem + ".launch.hhp";
    const std::string launchPath = FixPath(p.folder) + launchName;
    const std::string backupPath = parentFolder(chmPath) + "/." + fileName(chmPath) + ".previous";
    if (auto w = writeFileAtomic(launchPath, launchProject(p)); !w)
        return fail(w.error().message);

    std::error_code ec;
    const bool hadEarlier = fs::exists(chmPath, ec);
    if (hadEarlier) {
        fs::rename(chmPath, backupPath, ec);
        if (ec) {
            fs::remove(launchPath, ec);
            return fail(chmPath + ": cannot set the earlier help file aside: " + ec.message());
        }
    }
    // Whatever happens below, the earlier file comes back unless a sound new one replaces it.
    auto failed = [&](std::string message) -> Result<HelpCompileReport> {
        std::error_code e;
        fs::remove(launchPath, e);
        fs::remove(chmPath, e);
        if (hadEarlier)
            fs::rename(backupPath, chmPath, e);
        return fail(std::move(message));
    };

    auto run = runProcess(chmcmd, {launchName}, p.folder);
    if (!run)
        return failed(run.error().message + " (the help compiler chmcmd comes with Debian's "
                                            "fp-utils)");
    const std::string log = trim(run->output);
    // chmcmd reports a missing project, and some failures, with exit status 0.
    if (run->status != 0 || run->output.find("unhandled exception") != std::string::npos ||
        run->output.find("Can't find project file") != std::string::npos)
        return failed(projectPath + ": chmcmd failed (exit status " + std::to_string(run->status) +
                      "): " + log);
    if (!fileExists(chmPath))
        return failed(projectPath + ": chmcmd wrote no help file " + chmPath + ": " + log);
    auto check = mendListingStart(chmPath);
    if (!check)
        return failed(check.error().message);

    fs::remove(launchPath, ec);
    if (hadEarlier)
        fs::remove(backupPath, ec);
    return HelpCompileReport{chmPath, *check, run->output};
}

} // namespace folio::chm
