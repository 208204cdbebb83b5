// The user's locale as a Windows locale identifier (LCID), and the language section
// name the readers derive from it.
#pragma once

#include <string>
#include <string_view>

namespace folio {

inline constexpr int LcidEnglishUS = 1033;

// "zh_CN.UTF-8", "en_US", "ja_JP@euro", "zh-TW" ... -> 2052, 1033, 1041, 1028 ...
// A bare language ("de") gives that language's main country; "C", "POSIX" and unknown
// names give 1033.
int lcidFromLocaleName(std::string_view name);

// The locale in effect for messages: the first non-empty of LC_ALL, LC_MESSAGES, LANG.
int currentLcid();

// 1028 -> "繁體中文", 1033 -> "English", 2052 -> "简体中文"; any other identifier its
// upper-case hexadecimal form without leading zeros (1041 -> "411").
std::string languageNameFromLcid(int lcid);

} // namespace folio
