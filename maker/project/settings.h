// The project settings file: the ten settings as key lines ending in the full-width colon.
#pragma once

#include "core/error.h"
#include "core/projectsettings.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace folio::project {

using folio::ProjectSettings;

// The keys in the order the lines are written (the settings panel's order).
inline constexpr std::array<std::string_view, 10> SettingKeys = {
    "电子书名称：", "索引页：", "目录树：", "输出文件夹：", "输出文件：",
    "作者：",       "网址：",   "更新：",   "在线书架：",   "广告：",
};

// The sub-folder setting's line, beyond the ten: "子文件夹资源：1" when it is on. The maker
// writes it after the ten lines and only when on, so a project without it keeps the ten-line
// file every reader of the settings knows; those readers ignore a key not among their ten.
inline constexpr std::string_view SubfoldersKey = "子文件夹资源：";

// The identifier an EPUB book of the project keeps from one build to the next, on a line of
// its own after the ten: "标识：urn:uuid:<uuid>". The readers of the ten pass over it too.
inline constexpr std::string_view BookIdKey = "标识：";

// The field a key fills, in SettingKeys order.
std::string& settingField(ProjectSettings& s, std::size_t index);
const std::string& settingField(const ProjectSettings& s, std::size_t index);

// The settings a new project starts with: index.html, tree.html and the given output folder.
ProjectSettings initialSettings(const std::string& outPath);

// Overlays `settings` with the key lines, key by key: reading stops at the first empty line;
// the first "：" ends the key (later ones belong to the value); a key that is not one of the
// ten exactly (or SubfoldersKey), or a line without "：", is ignored. Returns how many of the
// ten fields were set.
int applySettingsLines(const std::vector<std::string>& lines, ProjectSettings& settings);

// The ten lines, key immediately followed by the value, in SettingKeys order.
std::vector<std::string> settingsLines(const ProjectSettings& settings);

// The settings file of a project folder: folder + "/" + its last path element + ".ini".
std::string settingsFilePath(const std::string& projectFolder);

// Reads the settings file over `settings`: CP936, or UTF-8 when its bytes say so (a byte-order
// mark, or valid UTF-8); CR LF, a lone CR and a lone LF end a line. A missing or unreadable
// file, or one that sets no key at all, is an error naming it and leaves `settings` unchanged.
// Returns how many fields were set.
Result<int> readSettingsFile(const std::string& path, ProjectSettings& settings);

// Writes the ten lines (and the sub-folder line when the setting is on) in CP936 with CR LF,
// atomically; the identifier line of the file it replaces stays.
Result<void> writeSettingsFile(const std::string& path, const ProjectSettings& settings);

// The identifier the settings file holds; "" when it holds none (or cannot be read).
std::string readBookId(const std::string& settingsPath);

// The identifier the settings file holds, or a new one (a random UUID) appended to it as a
// line in the file's own encoding, the rest of its bytes unchanged.
Result<std::string> keepBookId(const std::string& settingsPath);

// "urn:uuid:" and a random (version 4) UUID.
std::string newBookId();

} // namespace folio::project
