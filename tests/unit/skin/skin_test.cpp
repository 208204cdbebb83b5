// The skin file parser, the Linux skin library loaded by name, and the three-call loader.
#include "skin/she.h"
#include "skin/skinh.h"
#include "skin/skinloader.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path Dist = FOLIO_DIST_DIR;
const fs::path Skins = fs::path(FOLIO_SOURCE_DIR) / "data" / "skin";

TEST(SkinFile, ReadsColoursFontAndNameWithWindowsLineEnds) {
    std::string why;
    const auto skin = folio::skin::parseSkin("; a comment\r\n[Skin]\r\nName = Test skin \r\n"
                                             "password=x\r\n[colors]\r\nWindow=#0a0B0c\r\n"
                                             "highlightText=#FFFFFF\r\nglow=#123\r\n"
                                             "[font]\r\nfamily=Sans Serif\r\nsize=11\r\n",
                                             &why);
    ASSERT_TRUE(skin) << why;
    EXPECT_STREQ(skin->palette.name, "Test skin");
    EXPECT_EQ(skin->password, "x");
    EXPECT_EQ(skin->palette.window, 0x0A0B0Cu);
    EXPECT_EQ(skin->palette.highlightText, 0xFFFFFFu);
    EXPECT_EQ(skin->palette.base, folio::skin::defaultPalette().base) << "unset colours keep "
                                                                         "the default";
    EXPECT_STREQ(skin->palette.fontFamily, "Sans Serif");
    EXPECT_EQ(skin->palette.fontPointSize, 11);
    EXPECT_EQ(skin->palette.alpha, 255);
}

TEST(SkinFile, RefusesWhatIsNotASkinAndSaysWhere) {
    struct Case {
        const char* text;
        const char* fault;
    } cases[] = {
        {"", "no [skin] section"},
        {"MZ\x90\0\x03", "expected key=value"},
        {"[skin]\nname=a\n[colors]\nwindow=blue\n", "line 4: colour window"},
        {"[skin]\n[colors]\ntext=#12345G\n", "expected #RRGGBB"},
        {"[skin]\n[font]\nsize=0\n", "font size"},
        {"[skin]\n[font]\nsize=99999999999999999999\n", "font size"},
        {"[skin\n", "unclosed section"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string why;
        EXPECT_FALSE(folio::skin::parseSkin(c.text, &why));
        EXPECT_NE(why.find(c.fault), std::string::npos) << why;
    }
}

TEST(SkinFile, LongNamesAreCutAndStayTerminated) {
    const std::string longName(200, 'n');
    const auto skin = folio::skin::parseSkin("[skin]\nname=" + longName + "\n");
    ASSERT_TRUE(skin);
    EXPECT_EQ(std::string(skin->palette.name), longName.substr(0, 63));
}

TEST(SkinFile, EveryShippedSkinParsesAndAeroIsAmongThem) {
    int count = 0;
    for (const auto& e : fs::directory_iterator(Skins)) {
        if (e.path().extension() != ".she")
            continue;
        ++count;
        std::string why;
        const auto skin = folio::skin::readSkin(e.path().string(), &why);
        ASSERT_TRUE(skin) << why;
        EXPECT_STRNE(skin->palette.name, "") << e.path();
        EXPECT_TRUE(skin->password.empty()) << "the programs pass their own fixed password";
    }
    EXPECT_GE(count, 2);
    EXPECT_TRUE(fs::exists(Skins / "aero.she"));
    std::string why;
    EXPECT_FALSE(folio::skin::readSkin((Skins / "missing.she").string(), &why));
    EXPECT_NE(why.find("missing.she"), std::string::npos);
}

// The shared library as the programs see it: loaded by file name from the maker folder.
class SkinLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path lib = Dist / folio::skin::LibraryName;
        ASSERT_TRUE(fs::exists(lib)) << lib;
        // A private copy per test: a fresh library state each time.
        copy = fs::temp_directory_path() /
               ("folio-skin-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(copy);
        fs::copy_file(lib, copy / folio::skin::LibraryName, fs::copy_options::overwrite_existing);
        handle = dlopen((copy / folio::skin::LibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        getPalette = reinterpret_cast<decltype(getPalette)>(dlsym(handle, "SkinH_GetPalette"));
        attachEx = reinterpret_cast<decltype(attachEx)>(dlsym(handle, "SkinH_AttachEx"));
        setAlpha = reinterpret_cast<decltype(setAlpha)>(dlsym(handle, "SkinH_SetWindowAlpha"));
        ASSERT_TRUE(getPalette && attachEx && setAlpha);
        ASSERT_NE(dlsym(handle, "SkinH_Attach"), nullptr);
    }
    void TearDown() override { fs::remove_all(copy); }

    fs::path copy;
    void* handle = nullptr;
    int (*getPalette)(SkinH_Palette*, int) = nullptr;
    int (*attachEx)(const char*, const char*) = nullptr;
    int (*setAlpha)(void*, int) = nullptr;
};

TEST_F(SkinLibrary, LoaderMakesTheThreeCallsAndThePaletteFollows) {
    SkinH_Palette p{};
    EXPECT_EQ(getPalette(&p, sizeof p), 0) << "no palette before a skin is attached";
    const std::string lib = folio::skin::libraryBeside(copy.string());
    ASSERT_TRUE(folio::skin::attachSkin(lib, (Skins / "night.she").string(), nullptr));
    ASSERT_EQ(getPalette(&p, sizeof p), 1);
    EXPECT_STREQ(p.name, "Night");
    EXPECT_EQ(p.window, 0x2B2D31u);
    EXPECT_EQ(p.alpha, 255);
    const auto viaLoader = folio::skin::attachedPalette(lib);
    ASSERT_TRUE(viaLoader);
    EXPECT_STREQ(viaLoader->name, "Night");
    EXPECT_EQ(viaLoader->fontPointSize, 10);

    // A later choice replaces the palette; a broken one leaves the last good one.
    EXPECT_TRUE(folio::skin::attachSkin(lib, (Skins / "aero.she").string(), nullptr, 200));
    ASSERT_EQ(getPalette(&p, sizeof p), 1);
    EXPECT_STREQ(p.name, "Aero");
    EXPECT_EQ(p.alpha, 200);
    EXPECT_TRUE(folio::skin::attachSkin(lib, (copy / "nothing.she").string(), nullptr));
    ASSERT_EQ(getPalette(&p, sizeof p), 1);
    EXPECT_STREQ(p.name, "Aero");
}

TEST_F(SkinLibrary, RefusesBadArgumentsWithoutCrashing) {
    EXPECT_EQ(attachEx(nullptr, "1"), 0);
    EXPECT_EQ(setAlpha(nullptr, 256), 0);
    EXPECT_EQ(setAlpha(nullptr, -1), 0);
    EXPECT_EQ(getPalette(nullptr, 100), 0);
    std::ofstream(copy / "locked.she") << "[skin]\nname=L\npassword=7\n";
    EXPECT_EQ(attachEx((copy / "locked.she").c_str(), "1"), 0);
    EXPECT_EQ(attachEx((copy / "locked.she").c_str(), nullptr), 0);
    EXPECT_EQ(attachEx((copy / "locked.she").c_str(), "7"), 1);
    // A caller that knows a shorter palette gets only that much written.
    ASSERT_EQ(attachEx((Skins / "jade.she").c_str(), "1"), 1);
    unsigned int firstTwo[3] = {0, 0, 0xDEADBEEF};
    ASSERT_EQ(getPalette(reinterpret_cast<SkinH_Palette*>(firstTwo), 2 * sizeof(unsigned)), 1);
    EXPECT_EQ(firstTwo[0], 0xE7F3ECu);
    EXPECT_EQ(firstTwo[2], 0xDEADBEEFu);
}

TEST(SkinLoader, ReportsAMissingLibraryOrFunction) {
    EXPECT_FALSE(folio::skin::attachSkin("/nonexistent/libSkinH_VB6.so", "x.she", nullptr));
    // A library without the skin exports (the C library itself).
    EXPECT_FALSE(folio::skin::attachSkin("libc.so.6", "x.she", nullptr));
    EXPECT_FALSE(folio::skin::attachedPalette("libc.so.6"));
    EXPECT_FALSE(folio::skin::attachedPalette("/nonexistent/libSkinH_VB6.so"));
    EXPECT_EQ(folio::skin::libraryBeside("/opt/folio"), "/opt/folio/libSkinH_VB6.so");
    EXPECT_EQ(folio::skin::libraryBeside("/opt/folio/"), "/opt/folio/libSkinH_VB6.so");
}

} // namespace
