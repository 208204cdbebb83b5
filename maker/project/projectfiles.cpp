// The maker folder's files: project list, settings snapshot, tag files and template copies.
#include "maker/project/projectfiles.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contents.h"
#include "maker/generators/contentspage.h"
#include "maker/project/settings.h"

#include <algorithm>

namespace folio::project {

namespace {

std::string inMaker(const std::string& makerFolder, const char* name) {
    return FixPath(makerFolder) + name;
}

} // namespace

Result<std::vector<std::string>> readProjectList(const std::string& makerFolder) {
    return readAnsiLines(inMaker(makerFolder, ProjectListFile));
}

Result<void> appendProjectList(const std::string& makerFolder, const std::string& entry) {
    const std::string path = inMaker(makerFolder, ProjectListFile);
    std::string bytes;
    if (fileExists(path)) {
        auto old = readFileBytes(path);
        FOLIO_TRY(old);
        bytes.assign(old->begin(), old->end());
        // A list edited by hand may lack its last line end; the entry must not join that line.
        if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r')
            bytes += "\r\n";
    }
    bytes += toAnsi(entry) + "\r\n";
    return writeFileAtomic(path, bytes);
}

Result<void> writeProjectList(const std::string& makerFolder,
                              const std::vector<std::string>& entries) {
    return writeAnsiLines(inMaker(makerFolder, ProjectListFile), entries);
}

Result<void> writeConfig(const std::string& folder, const ProjectSettings& settings) {
    return writeSettingsFile(FixPath(folder) + ConfigFile, settings);
}

std::string readTreeTag(const std::string& makerFolder) {
    auto lines = readAnsiLines(inMaker(makerFolder, TreeTagFile));
    if (!lines || lines->empty())
        return std::string(generators::DefaultTreeTag);
    return lines->front();
}

Result<void> writeTagFile(const std::string& path, std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    // The text's own last line end is the one line end the file ends with.
    if (!line.empty() || lines.empty())
        lines.push_back(std::move(line));
    return writeAnsiLines(path, lines);
}

Result<void> writeTreeTag(const std::string& makerFolder, std::string_view text) {
    return writeTagFile(inMaker(makerFolder, TreeTagFile), text);
}

Result<void> writeHomePageTag(const std::string& makerFolder, std::string_view text) {
    return writeTagFile(inMaker(makerFolder, HomePageTagFile), text);
}

ProjectOwnFiles::ProjectOwnFiles(const std::string& projectFolder, const std::string& title) {
    m_folded = {toUpperUnicode(fileName(settingsFilePath(projectFolder))),
                toUpperUnicode(fileName(generators::contentsListPath(projectFolder))),
                toUpperUnicode(ConfigFile)};
    if (!title.empty()) {
        for (const char* extension : {".hhp", ".hhc", ".hhk", ".chm"})
            m_folded.push_back(toUpperUnicode(title + extension));
    }
}

bool ProjectOwnFiles::contains(std::string_view name) const {
    const std::string folded = toUpperUnicode(name);
    return std::find(m_folded.begin(), m_folded.end(), folded) != m_folded.end();
}

Result<TemplateCopy> copyTemplateFiles(const std::string& makerFolder,
                                       const std::string& fromFolder,
                                       const std::string& projectFolder) {
    TemplateCopy outcome;
    auto names = generators::folderEntries(FixPath(makerFolder) + "list", false);
    FOLIO_TRY(names);
    for (const std::string& name : *names) {
        // Only the exact name: the project's own contents page is generated, never copied.
        if (name == "tree.html")
            continue;
        const std::string from = FixPath(fromFolder) + name;
        if (!fileExists(from)) {
            outcome.missing.push_back(name);
            continue;
        }
        FOLIO_TRY(copyFileAtomic(from, FixPath(projectFolder) + name));
        outcome.copied.push_back(name);
    }
    return outcome;
}

} // namespace folio::project
