// Reading and writing the project settings file.
#include "maker/project/settings.h"

#include "core/fileio.h"
#include "core/text.h"

#include <array>
#include <cstdio>
#include <random>

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
    // The sub-folder setting is the file's alone: a file without its line has it off.
    ProjectSettings read = settings;
    read.subfolders = false;
    const int applied = applySettingsLines(splitLinesAnyEnd(text), read);
    if (applied == 0)
        return fail(path + ": no settings lines found (a settings line is a key and its value, "
                           "such as \"电子书名称：书名\")");
    settings = std::move(read);
    return applied;
}

Result<void> writeSettingsFile(const std::string& path, const ProjectSettings& settings) {
    std::vector<std::string> lines = settingsLines(settings);
    if (settings.subfolders)
        lines.push_back(std::string(SubfoldersKey) + "1");
    // The book keeps its identifier when the settings are saved again.
    if (const std::string id = readBookId(path); !id.empty())
        lines.push_back(std::string(BookIdKey) + id);
    return writeAnsiLines(path, lines);
}

namespace {

std::string_view asText(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string idOf(std::string_view text) {
    for (const std::string& line : splitLinesAnyEnd(text))
        if (line.starts_with(BookIdKey) && line.size() > BookIdKey.size())
            return line.substr(BookIdKey.size());
    return {};
}

} // namespace

std::string readBookId(const std::string& settingsPath) {
    const auto bytes = readFileBytes(settingsPath);
    return bytes ? idOf(decodeToUtf8(asText(*bytes), false)) : std::string();
}

std::string newBookId() {
    std::random_device device;
    std::array<unsigned char, 16> b{};
    for (std::size_t i = 0; i < b.size(); i += 4) {
        const unsigned v = device();
        for (std::size_t k = 0; k < 4; ++k)
            b[i + k] = static_cast<unsigned char>(v >> (8 * k));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40); // version 4: random
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80); // the RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return std::string("urn:uuid:") + text;
}

Result<std::string> keepBookId(const std::string& settingsPath) {
    auto bytes = readFileBytes(settingsPath);
    FOLIO_TRY(bytes);
    const std::string_view raw = asText(*bytes);
    if (std::string id = idOf(decodeToUtf8(raw, false)); !id.empty())
        return id;
    const std::string id = newBookId();
    std::string text(raw);
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        text += "\r\n";
    // A file another editor saved in UTF-8 gets its line in UTF-8.
    const std::string line = std::string(BookIdKey) + id;
    text += detectEncoding(raw, false).encoding == TextEncoding::Ansi ? toAnsi(line) : line;
    text += "\r\n";
    FOLIO_TRY(writeFileAtomic(settingsPath, text));
    return id;
}

} // namespace folio::project
