// Reading and writing the project settings file.
#include "maker/project/settings.h"

#include "core/fileio.h"
#include "core/text.h"

namespace folio::project {

namespace {

constexpr std::string_view FullWidthColon = "：";

template <class S> auto& fieldOf(S& s, std::size_t index) {
    switch (index) {
    case 0:
        return s.title;
    case 1:
        return s.indexPage;
    case 2:
        return s.contentsPage;
    case 3:
        return s.outPath;
    case 4:
        return s.outFile;
    case 5:
        return s.author;
    case 6:
        return s.webAddress;
    case 7:
        return s.update;
    case 8:
        return s.bookshelf;
    default:
        return s.advert;
    }
}

} // namespace

std::string& settingField(ProjectSettings& s, std::size_t index) {
    return fieldOf(s, index);
}
const std::string& settingField(const ProjectSettings& s, std::size_t index) {
    return fieldOf(s, index);
}

ProjectSettings initialSettings(const std::string& outPath) {
    ProjectSettings s;
    s.indexPage = "index.html";
    s.contentsPage = "tree.html";
    s.outPath = outPath;
    return s;
}

int applySettingsLines(const std::vector<std::string>& lines, ProjectSettings& settings) {
    int applied = 0;
    for (const std::string& line : lines) {
        if (line.empty())
            break;
        const std::size_t colon = line.find(FullWidthColon);
        if (colon == std::string::npos)
            continue;
        const std::string_view key =
            std::string_view(line).substr(0, colon + FullWidthColon.size());
        if (key == SubfoldersKey) {
            settings.subfolders = line.substr(key.size()) == "1";
            continue;
        }
        for (std::size_t i = 0; i < SettingKeys.size(); ++i) {
            if (SettingKeys[i] == key) {
                settingField(settings, i) = line.substr(key.size());
                ++applied;
                break;
            }
        }
    }
    return applied;
}

std::vector<std::string> settingsLines(const ProjectSettings& settings) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < SettingKeys.size(); ++i)
        lines.push_back(std::string(SettingKeys[i]) + settingField(settings, i));
    return lines;
}

std::string settingsFilePath(const std::string& projectFolder) {
    std::string folder = projectFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return FixPath(folder) + fileName(folder) + ".ini";
}

Result<int> readSettingsFile(const std::string& path, ProjectSettings& settings) {
    auto bytes = readFileBytes(path);
    FOLIO_TRY(bytes);
    // The maker writes CP936 with CR LF; a file saved by another editor may be UTF-8 (with or
    // without a byte-order mark) with LF line ends, and is read the same.
    const std::string text = decodeToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), false);
    const int applied = applySettingsLines(splitLinesAnyEnd(text), settings);
    if (applied == 0)
        return fail(path + ": no settings lines found (a settings line is a key and its value, "
                           "such as \"电子书名称：书名\")");
    return applied;
}

Result<void> writeSettingsFile(const std::string& path, const ProjectSettings& settings) {
    std::vector<std::string> lines = settingsLines(settings);
    if (settings.subfolders)
        lines.push_back(std::string(SubfoldersKey) + "1");
    return writeAnsiLines(path, lines);
}

} // namespace folio::project
