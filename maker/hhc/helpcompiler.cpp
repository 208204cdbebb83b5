// The help compiler launcher: project reading, the chmcmd run, the check and the mend.
#include "maker/hhc/helpcompiler.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/hhc/process.h"

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

// chmcmd 3.2.2 crashes on an index entry that carries its keyword as an OBJECT of type
// "Keyword"; the entry's "Name" parameter holds the same keyword, so the object's line is left
// out of the copy chmcmd reads. A caption may hold quotes and markup, hence whole lines.
std::string indexForChmcmd(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find("\r\n", from);
        end = end == std::string::npos ? text.size() : end + 2;
        const std::string line = text.substr(from, end - from);
        const std::string t = trim(line.substr(0, line.find_last_not_of("\r\n") + 1));
        if (!(lowerAscii(t.substr(0, 22)) == "<object type=\"keyword\"" && t.ends_with("/>")))
            out += line;
        from = end;
    }
    return out;
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
            if (eq == std::string::npos)
                continue;
            const std::string key = lowerAscii(trim(t.substr(0, eq)));
            if (key == "compiled file") {
                p.compiledFile = projectRelative(t.substr(eq + 1), error);
                // The help file replaces whatever has its name, so it must not name a page.
                if (error.empty() && (p.compiledFile.find('/') != std::string::npos ||
                                      !lowerAscii(p.compiledFile).ends_with(".chm")))
                    error = "\"" + p.compiledFile + "\" is not a plain file name ending in .chm";
                if (!error.empty())
                    return fail(where + "the compiled file " + error);
            } else if (key == "index file") {
                p.indexFile = projectRelative(t.substr(eq + 1), error);
                if (!error.empty())
                    return fail(where + "the index file " + error);
            }
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
    const std::string folder = FixPath(p.folder);

    // chmcmd stops with an exception on the first listed file it cannot open, so name them all.
    std::string missing;
    int missingCount = 0;
    for (const std::string& f : p.files) {
        if (!fileExists(folder + f)) {
            if (++missingCount <= 10)
                missing += "\n  " + f;
        }
    }
    if (missingCount > 0)
        return fail(projectPath + ": " + std::to_string(missingCount) +
                    " listed file(s) missing from " + p.folder + ":" + missing +
                    (missingCount > 10 ? "\n  ..." : ""));

    // chmcmd runs in a staging folder that mirrors the project folder through links, so the
    // index it reads can be adapted and its output replaces the earlier help file only once it
    // is known to be sound.
    const std::string stem = baseNameWithoutExtension(projectPath);
    const std::string staging = folder + "." + stem + ".hhc-run";
    std::error_code ec;
    fs::remove_all(staging, ec);
    auto cleanUp = [&] {
        std::error_code e;
        fs::remove_all(staging, e);
    };
    fs::create_directory(staging, ec);
    if (ec)
        return fail(staging + ": cannot create the compiler's working folder: " + ec.message());
    for (const fs::directory_entry& e : fs::directory_iterator(p.folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name == fileName(staging) || name == p.compiledFile || name == p.indexFile)
            continue;
        fs::create_symlink(fs::absolute(e.path()), fs::path(staging) / name, ec);
        if (ec)
            break;
    }
    if (ec) {
        cleanUp();
        return fail(staging + ": cannot mirror the project folder: " + ec.message());
    }
    // An index in a subfolder is reached through the link to that subfolder, so writing the
    // adapted copy there would change the project's own file; it goes to chmcmd as it is.
    const bool adaptIndex = !p.indexFile.empty() && p.indexFile.find('/') == std::string::npos;
    if (adaptIndex && fileExists(folder + p.indexFile)) {
        auto index = readFileBytes(folder + p.indexFile);
        if (!index) {
            cleanUp();
            return fail(index.error().message);
        }
        const std::string text(index->begin(), index->end());
        if (auto w = writeFileAtomic(staging + "/" + p.indexFile, indexForChmcmd(text)); !w) {
            cleanUp();
            return fail(w.error().message);
        }
    }
    const std::string launchName = stem + ".hhp";
    if (auto w = writeFileAtomic(staging + "/" + launchName, launchProject(p)); !w) {
        cleanUp();
        return fail(w.error().message);
    }

    auto run = runProcess(chmcmd, {launchName}, staging);
    auto failed = [&](const std::string& message) -> Result<HelpCompileReport> {
        cleanUp();
        return fail(message);
    };
    if (!run)
        return failed(run.error().message + " (the help compiler chmcmd comes with Debian's "
                                            "fp-utils)");
    const std::string log = trim(run->output);
    // chmcmd reports a missing project, and some failures, with exit status 0.
    if (run->status != 0 || run->output.find("unhandled exception") != std::string::npos ||
        run->output.find("Can't find project file") != std::string::npos)
        return failed(projectPath + ": chmcmd failed (exit status " + std::to_string(run->status) +
                      "): " + log);
    const std::string built = staging + "/" + p.compiledFile;
    if (!fs::is_regular_file(fs::symlink_status(built, ec)))
        return failed(projectPath + ": chmcmd wrote no help file " + p.compiledFile + ": " + log);
    auto check = mendListingStart(built);
    if (!check)
        return failed(check.error().message);
    const std::string chmPath = folder + p.compiledFile;
    fs::rename(built, chmPath, ec);
    if (ec)
        return failed(chmPath + ": cannot put the help file in place: " + ec.message());
    cleanUp();
    return HelpCompileReport{chmPath, *check, run->output};
}

} // namespace folio::chm
