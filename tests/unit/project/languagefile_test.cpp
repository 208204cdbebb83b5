// The maker's language file: three languages, each naming every captioned control of the
// maker's windows, with the built-in Chinese captions in the simplified section.
#include "core/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using folio::Profile;

namespace {

const std::string File = FOLIO_SOURCE_DIR "/data/Language.lng";

std::vector<std::string> parts(const std::string& value) {
    std::vector<std::string> out;
    std::stringstream in(value);
    for (std::string p; std::getline(in, p, ',');)
        out.push_back(p);
    if (!value.empty() && value.back() == ',')
        out.emplace_back();
    return out;
}

// A control the walk captions and the file does not name would show its own name.
std::vector<std::string> captionedControls() {
    std::vector<std::string> names = {"TabStrip1",  "Frame1",         "lblTitle",
                                      "lblVersion", "lblDescription", "cmdOK"};
    for (int i = 1; i <= 6; ++i)
        names.push_back("Toolbar" + std::to_string(i));
    for (int i = 1; i <= 6; ++i)
        names.push_back("Option" + std::to_string(i));
    for (int i = 1; i <= 4; ++i)
        names.push_back("Check" + std::to_string(i));
    for (int i = 1; i <= 8; ++i)
        names.push_back("Command" + std::to_string(i));
    for (int i = 1; i <= 18; ++i)
        names.push_back("Label" + std::to_string(i));
    return names;
}

} // namespace

TEST(LanguageFile, ThreeLanguagesEachNamingEveryControl) {
    auto lng = Profile::load(File);
    ASSERT_TRUE(lng) << lng.error().message;
    // The workbench starts on the second language of the file.
    EXPECT_EQ(lng->sections(), (std::vector<std::string>{"English", "简体中文", "繁體中文"}));
    const auto reference = lng->keys("简体中文");
    for (const std::string& section : lng->sections()) {
        EXPECT_EQ(lng->keys(section), reference) << section;
        for (const std::string& name : captionedControls())
            EXPECT_TRUE(lng->contains(section, name)) << section << " lacks " << name;
    }
}

TEST(LanguageFile, StripsHaveOnePartPerTabOrButton) {
    auto lng = Profile::load(File);
    ASSERT_TRUE(lng);
    const std::vector<std::pair<std::string, std::size_t>> strips = {
        {"TabStrip1", 6}, {"Toolbar1", 8}, {"Toolbar2", 2}, {"Toolbar3", 7},
        {"Toolbar4", 6},  {"Toolbar5", 6}, {"Toolbar6", 6}};
    for (const std::string& section : lng->sections()) {
        for (const auto& [name, count] : strips)
            EXPECT_EQ(parts(lng->get(section, name)).size(), count) << section << " " << name;
        // The sixth button of the preview toolbar is a separator.
        EXPECT_EQ(parts(lng->get(section, "Toolbar1"))[5], "") << section;
    }
}

TEST(LanguageFile, TheSimplifiedSectionIsTheBuiltInCaptions) {
    auto lng = Profile::load(File);
    ASSERT_TRUE(lng);
    const std::string s = "简体中文";
    EXPECT_EQ(lng->get(s, "TabStrip1"), "目录,浏览,目录预览,代码,分析网址,工程设置");
    EXPECT_EQ(lng->get(s, "Toolbar5"), "清空目录,设计首页,生成首页,分析网址,下载网页,复制目录");
    EXPECT_EQ(lng->get(s, "Toolbar6"), "复制,粘贴,清空,保存,关于,退出");
    EXPECT_EQ(lng->get(s, "Command2"), "设置");
    EXPECT_EQ(lng->get(s, "Option3"), "不操作");
    EXPECT_EQ(lng->get(s, "Label1"), "电子书名称：");
    EXPECT_EQ(lng->get(s, "cmdOK"), "确定");
}
