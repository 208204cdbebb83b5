#include "core/locale.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace folio;

TEST(Locale, CommonLocaleNamesGiveTheirIdentifiers) {
    EXPECT_EQ(lcidFromLocaleName("zh_CN.UTF-8"), 2052);
    EXPECT_EQ(lcidFromLocaleName("zh_TW.Big5"), 1028);
    EXPECT_EQ(lcidFromLocaleName("en_US"), 1033);
    EXPECT_EQ(lcidFromLocaleName("ja_JP.eucJP@x"), 1041);
    EXPECT_EQ(lcidFromLocaleName("de-AT"), 3079);
    EXPECT_EQ(lcidFromLocaleName("fr"), 1036);
    EXPECT_EQ(lcidFromLocaleName("zh_XX"), 2052); // unknown country: the language's main one
    EXPECT_EQ(lcidFromLocaleName("C"), 1033);
    EXPECT_EQ(lcidFromLocaleName("POSIX"), 1033);
    EXPECT_EQ(lcidFromLocaleName(""), 1033);
}

TEST(Locale, EnvironmentPrecedenceIsLcAllThenLcMessagesThenLang) {
    const auto saved = [](const char* n) {
        const char* v = std::getenv(n);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto all = saved("LC_ALL"), messages = saved("LC_MESSAGES"), lang = saved("LANG");
    setenv("LANG", "ja_JP.UTF-8", 1);
    setenv("LC_MESSAGES", "zh_TW.UTF-8", 1);
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(currentLcid(), 1028);
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(currentLcid(), 1041);
    setenv("LC_ALL", "zh_CN.UTF-8", 1);
    EXPECT_EQ(currentLcid(), 2052);
    const auto restore = [](const char* n, const std::optional<std::string>& v) {
        v ? setenv(n, v->c_str(), 1) : unsetenv(n);
    };
    restore("LC_ALL", all);
    restore("LC_MESSAGES", messages);
    restore("LANG", lang);
}

TEST(Locale, LanguageNames) {
    EXPECT_EQ(languageNameFromLcid(1028), "繁體中文");
    EXPECT_EQ(languageNameFromLcid(1033), "English");
    EXPECT_EQ(languageNameFromLcid(2052), "简体中文");
    EXPECT_EQ(languageNameFromLcid(1041), "411");
    EXPECT_EQ(languageNameFromLcid(3082), "C0A");
    EXPECT_EQ(languageNameFromLcid(0), "0");
}
