// Tests of the icon replacement on small PE32 programs linked by the test build, on the
// reader template when it has been built, checked with pefile and wrestool.
#include "core/pe.h"
#include "maker/compiler/icon.h"
#include "tests/tools/ico_builder.h"
#include "tests/tools/independent_check.h"
#include "tests/tools/recordingobserver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using folio::compiler::CompileObserver;
using folio::compiler::MessageIcon;
using folio::testing::runCommand;
using folio::testing::shellQuote;
using icontest::Bytes;
using icontest::IconShape;
using icontest::makeIco;
using icontest::makeIconImage;

namespace {

using Recorder = folio::testing::RecordingObserver;

Bytes readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    icontest::put32(b, at, v);
}

Bytes fromHex(const std::string& hex) {
    Bytes b;
    if (hex == "-")
        return b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// One resource as pefile reports it.
struct PeResource {
    std::uint32_t langEntryOffset = 0, entryOffset = 0, rva = 0, offset = 0, size = 0;
    Bytes data;
};

struct PefileView {
    bool checksumOk = false;
    std::uint32_t checksum = 0;
    std::map<std::string, PeResource> resources; // key "type/name/language"
};

// Parses the file with the pefile library: no code of ours is involved in what it sees.
PefileView pefileView(const fs::path& exe) {
    const std::string out =
        runCommand("/usr/bin/python3 " FOLIO_SOURCE_DIR "/tests/tools/check_pe.py " +
                   shellQuote(exe.string()) + " --offsets")
            .output;
    PefileView v;
    std::istringstream lines(out);
    std::string word;
    lines >> word;
    EXPECT_EQ(word, "checksum") << "pefile could not read " << exe << ":\n" << out;
    int ok = 0, warnings = 0;
    lines >> ok >> v.checksum >> warnings;
    v.checksumOk = ok == 1;
    std::string type, name, lang, hex;
    PeResource r;
    while (lines >> type >> name >> lang >> r.langEntryOffset >> r.entryOffset >> r.rva >>
           r.offset >> r.size >> hex) {
        r.data = fromHex(hex);
        v.resources[type + "/" + name + "/" + lang] = r;
    }
    return v;
}

const std::string Exclamation = "An error occurred while";

class IconReplace : public ::testing::Test {
  public:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(FOLIO_BINARY_DIR) / "icon-test-work" /
              (std::string(info->test_suite_name()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }

    // A fresh copy of a fixture program, made executable as a book is.
    fs::path copyFixture(const std::string& name, const std::string& as = "book.exe") {
        const fs::path to = dir / as;
        fs::copy_file(fs::path(ICON_FIXTURE_DIR) / name, to, fs::copy_options::overwrite_existing);
        fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                        fs::perm_options::replace);
        return to;
    }

    fs::path writeIco(const std::vector<IconShape>& shapes, const std::string& name = "new.ico") {
        writeAll(dir / name, makeIco(shapes));
        return dir / name;
    }

    folio::Result<void> replace(const fs::path& ico, const fs::path& exe) {
        return folio::icon::ReplaceIcon(ico.string(), exe.string(), observer);
    }

    fs::path dir;
    Recorder observer;
};

// The expected file after an in-place patch, computed from pefile's view of the original.
Bytes expectedInPlace(const Bytes& original, const PefileView& before, const std::string& iconKey,
                      const std::vector<std::string>& groupKeys, const Bytes& ico) {
    Bytes expected = original;
    const auto& img = before.resources.at(iconKey);
    const std::uint32_t length = get32(ico, 6 + 8);
    std::copy_n(ico.begin() + get32(ico, 6 + 12), length, expected.begin() + img.offset);
    for (const auto& [key, r] : before.resources) {
        if (key.starts_with("3/")) {
            put32(expected, r.entryOffset, img.rva);
            put32(expected, r.entryOffset + 4, length);
        }
    }
    for (const auto& key : groupKeys) {
        const auto& g = before.resources.at(key);
        const std::uint32_t count = g.data[4] | (g.data[5] << 8);
        for (std::uint32_t i = 0; i < count; ++i)
            std::copy_n(ico.begin() + 6, 12, expected.begin() + g.offset + 6 + 14 * i);
    }
    return expected;
}

// Compares two files, ignoring the 4-byte CheckSum field (which the patch must keep valid).
void expectSameExceptChecksum(const Bytes& actual, const Bytes& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    const std::uint32_t checksumAt = get32(expected, 60) + 4 + 20 + 64;
    std::size_t differences = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (i >= checksumAt && i < checksumAt + 4)
            continue;
        if (actual[i] != expected[i] && differences++ < 5)
            ADD_FAILURE() << "byte " << i << " is " << int(actual[i]) << ", expected "
                          << int(expected[i]);
    }
    EXPECT_EQ(differences, 0u);
}

// wrestool rebuilds an .ico from the group and its image: it must be the new icon.
void expectWrestoolIcon(const fs::path& dir, const fs::path& book, const Bytes& ico,
                        const Bytes& image) {
    const fs::path extracted = dir / "extracted.ico";
    fs::remove(extracted);
    const std::string out =
        runCommand("wrestool -x --type=14 -o " + shellQuote(extracted.string()) + " " +
                   shellQuote(book.string()))
            .output;
    const Bytes got = readAll(extracted);
    // (wrestool pads its output with a few zero bytes after the image.)
    ASSERT_GE(got.size(), 6u + 16u + image.size()) << "wrestool extracted no usable icon: " << out;
    EXPECT_EQ(got[4], 1);
    EXPECT_TRUE(std::equal(ico.begin() + 6, ico.begin() + 18, got.begin() + 6));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), got.begin() + 22));
}

void checkPatchedInPlace(IconReplace& t, const fs::path& book, Recorder& observer) {
    const fs::path ico = t.writeIco({{32, 32, 24, 9}});
    const Bytes icoBytes = readAll(ico);
    const Bytes original = readAll(book);
    const PefileView before = pefileView(book);
    ASSERT_TRUE(before.resources.contains("3/30001/0"));
    ASSERT_EQ(before.resources.at("3/30001/0").size, 3240u);
    ASSERT_TRUE(before.resources.contains("14/1/0"));

    auto r = folio::icon::ReplaceIcon(ico.string(), book.string(), observer);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_TRUE(observer.boxes.empty());

    const Bytes after = readAll(book);
    expectSameExceptChecksum(after,
                             expectedInPlace(original, before, "3/30001/0", {"14/1/0"}, icoBytes));
    const PefileView view = pefileView(book);
    const auto& img = view.resources.at("3/30001/0");
    EXPECT_EQ(img.size, 3240u);
    EXPECT_EQ(img.data, makeIconImage({32, 32, 24, 9}));
    const auto& group = view.resources.at("14/1/0");
    ASSERT_EQ(group.data.size(), 20u);
    EXPECT_TRUE(std::equal(icoBytes.begin() + 6, icoBytes.begin() + 18, group.data.begin() + 6));
    EXPECT_EQ(group.data[18] | (group.data[19] << 8), 30001);
    EXPECT_EQ(view.checksumOk, before.checksumOk) << "checksum " << view.checksum;
    EXPECT_TRUE((fs::status(book).permissions() & fs::perms::owner_exec) != fs::perms::none);
    expectWrestoolIcon(t.dir, book, icoBytes, makeIconImage({32, 32, 24, 9}));
}

} // namespace

TEST_F(IconReplace, SameSizeImageIsWrittenOverTheOldOneAndEverythingElseKept) {
    checkPatchedInPlace(*this, copyFixture("template.exe"), observer);
}

TEST_F(IconReplace, ReaderTemplateTakesTheIconInPlace) {
    const fs::path templ = fs::path(FOLIO_DIST_DIR) / "folioPage" / "folioPage.dat";
    if (!fs::exists(templ))
        FAIL() << templ << " is not built (the build lacks mingw-w64?)";
    const fs::path book = dir / "book.exe";
    fs::copy_file(templ, book);
    checkPatchedInPlace(*this, book, observer);
}

TEST_F(IconReplace, OnlyTheFirstOfSeveralImagesIsUsedAndSmallerImageShrinksTheEntry) {
    const fs::path book = copyFixture("twoicons.exe");
    const fs::path ico = writeIco({{16, 16, 32, 5}, {32, 32, 24, 6}, {48, 48, 32, 7}});
    const Bytes icoBytes = readAll(ico);
    const Bytes original = readAll(book);
    const PefileView before = pefileView(book);

    ASSERT_TRUE(replace(ico, book));
    const Bytes first = makeIconImage({16, 16, 32, 5});
    expectSameExceptChecksum(readAll(book), expectedInPlace(original, before, "3/30001/0",
                                                            {"14/1/0", "14/2/0"}, icoBytes));

    // Both images now show the new one; both groups describe it and keep their ids.
    const PefileView view = pefileView(book);
    for (const char* key : {"3/30001/0", "3/30002/0"}) {
        EXPECT_EQ(view.resources.at(key).data, first) << key;
        EXPECT_EQ(view.resources.at(key).rva, before.resources.at("3/30001/0").rva) << key;
    }
    const auto& two = view.resources.at("14/1/0").data;
    ASSERT_EQ(two.size(), 6u + 28u);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(
            std::equal(icoBytes.begin() + 6, icoBytes.begin() + 18, two.begin() + 6 + 14 * i));
    EXPECT_EQ(two[18] | (two[19] << 8), 30001);
    EXPECT_EQ(two[32] | (two[33] << 8), 30002);
    const auto& small = view.resources.at("14/2/0").data;
    EXPECT_EQ(small[18] | (small[19] << 8), 30002);
    EXPECT_EQ(view.resources.at("16/1/2052").data, before.resources.at("16/1/2052").data);
}

TEST_F(IconReplace, LargerImageRebuildsTheIconsAndKeepsEveryPage) {
    FOLIO_REQUIRE_TOOL("wrestool", "apt-get install icoutils");
    FOLIO_REQUIRE_TOOL("wine", "apt-get install wine wine32");
    const fs::path book = copyFixture("book.exe");
    const fs::path ico = writeIco({{48, 48, 32, 3}, {16, 16, 24, 4}});
    const Bytes icoBytes = readAll(ico);
    const PefileView before = pefileView(book);
    const Bytes image = makeIconImage({48, 48, 32, 3});
    ASSERT_GT(image.size(), before.resources.at("3/30001/0").size);

    auto r = replace(ico, book);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_TRUE(observer.boxes.empty());

    const PefileView view = pefileView(book);
    EXPECT_TRUE(view.checksumOk);
    ASSERT_EQ(view.resources.size(), before.resources.size());
    EXPECT_EQ(view.resources.at("3/30001/0").data, image);
    const auto& group = view.resources.at("14/1/0").data;
    ASSERT_EQ(group.size(), 20u);
    EXPECT_TRUE(std::equal(icoBytes.begin() + 6, icoBytes.begin() + 18, group.begin() + 6));
    EXPECT_EQ(group[18] | (group[19] << 8), 30001);
    for (const char* page : {"index.html", "tree.html", "chapter1.html"}) {
        std::string key = std::string("2110/") + page + "/1033";
        for (auto& c : key)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ASSERT_TRUE(view.resources.contains(key)) << key;
        EXPECT_EQ(view.resources.at(key).data, readAll(fs::path(ICON_FIXTURE_DIR) / page)) << key;
    }
    EXPECT_EQ(view.resources.at("16/1/2052").data, before.resources.at("16/1/2052").data);
    EXPECT_TRUE((fs::status(book).permissions() & fs::perms::owner_exec) != fs::perms::none);

    expectWrestoolIcon(dir, book, icoBytes, image);

    // Windows' own loader (through Wine) finds the new group and image.
    std::string error;
    const std::string wineGroup = folio::check::wineReadResource(book, "#14", "#1", &error);
    EXPECT_EQ(Bytes(wineGroup.begin(), wineGroup.end()), group) << error;
    const std::string wineImage = folio::check::wineReadResource(book, "#3", "#30001", &error);
    EXPECT_EQ(Bytes(wineImage.begin(), wineImage.end()), image) << error;
}

TEST_F(IconReplace, MalformedIconFilesAreRefusedBeforeTheExecutableIsOpened) {
    Bytes cursor = makeIco({{32, 32, 24, 1}});
    cursor[2] = 2;
    Bytes noImages = makeIco({{32, 32, 24, 1}});
    noImages[4] = 0;
    Bytes truncated = makeIco({{32, 32, 24, 1}});
    truncated.resize(truncated.size() - 1);
    Bytes emptyImage = makeIco({{32, 32, 24, 1}});
    put32(emptyImage, 6 + 8, 0);
    const std::map<std::string, Bytes> icons = {
        {"text.ico", Bytes{'h', 'e', 'l', 'l', 'o', '\r', '\n'}},
        {"header-only.ico", Bytes{0, 0, 1, 0, 1, 0}},
        {"cursor.ico", cursor},
        {"no-images.ico", noImages},
        {"truncated.ico", truncated},
        {"empty-image.ico", emptyImage},
        {"empty.ico", Bytes{}},
    };
    const fs::path book = copyFixture("template.exe");
    const Bytes original = readAll(book);
    const auto stamp = fs::last_write_time(book);
    for (const auto& [name, bytes] : icons) {
        writeAll(dir / name, bytes);
        // The executable does not even exist: a 1003 shows it was never opened.
        auto r = replace(dir / name, dir / "missing.exe");
        ASSERT_FALSE(r) << name;
        EXPECT_EQ(r.error().code, 1003) << name;
        EXPECT_EQ(r.error().message, (dir / name).string() + " is not a valid icon resource file.");
        auto onBook = replace(dir / name, book);
        ASSERT_FALSE(onBook);
        EXPECT_EQ(onBook.error().code, 1003) << name;
    }
    EXPECT_EQ(readAll(book), original);
    EXPECT_EQ(fs::last_write_time(book), stamp);
    EXPECT_FALSE(fs::exists(dir / "missing.exe"));
}

TEST_F(IconReplace, MissingFilesAreError1000) {
    const fs::path ico = writeIco({{32, 32, 24, 1}});
    const fs::path book = copyFixture("template.exe");
    auto noIcon = replace(dir / "none.ico", book);
    ASSERT_FALSE(noIcon);
    EXPECT_EQ(noIcon.error().code, 1000);
    EXPECT_EQ(noIcon.error().message, "Failed to open " + (dir / "none.ico").string() +
                                          ". Make sure file is not in use by another program.");
    auto noExe = replace(ico, dir / "none.exe");
    ASSERT_FALSE(noExe);
    EXPECT_EQ(noExe.error().code, 1000);
    EXPECT_EQ(noExe.error().message, "Failed to open " + (dir / "none.exe").string() +
                                         ". Make sure file is not in use by another program.");
    auto folder = replace(ico, dir);
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().code, 1000);
}

TEST_F(IconReplace, FilesThatAreNotWin32ProgramsAreError1002) {
    const fs::path ico = writeIco({{32, 32, 24, 1}});
    const Bytes good = readAll(fs::path(ICON_FIXTURE_DIR) / "template.exe");
    const std::uint32_t peAt = get32(good, 60);

    Bytes badPeOffset = good;
    put32(badPeOffset, 60, static_cast<std::uint32_t>(good.size() - 2));
    Bytes badSignature = good;
    badSignature[peAt + 2] = 'X';
    Bytes pe32plus = good;
    pe32plus[peAt + 24 + 1] = 0x02; // optional header magic 0x20b
    const std::map<std::string, Bytes> files = {
        {"text.exe", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'e'}},
        {"empty.exe", Bytes{}},
        {"dos-only.exe", Bytes(good.begin(), good.begin() + 64)},
        {"bad-pe-offset.exe", badPeOffset},
        {"bad-signature.exe", badSignature},
        {"pe32plus.exe", pe32plus},
    };
    for (const auto& [name, bytes] : files) {
        writeAll(dir / name, bytes);
        auto r = replace(ico, dir / name);
        ASSERT_FALSE(r) << name;
        EXPECT_EQ(r.error().code, 1002) << name;
        EXPECT_EQ(r.error().message, (dir / name).string() + " is not a valid Win32 executable.");
        EXPECT_EQ(readAll(dir / name), bytes) << name;
    }
}

TEST_F(IconReplace, ProgramsWithoutResourceTreeAreError1004) {
    const fs::path ico = writeIco({{32, 32, 24, 1}});
    Bytes zeroSize = readAll(fs::path(ICON_FIXTURE_DIR) / "template.exe");
    put32(zeroSize, get32(zeroSize, 60) + 24 + 116, 0);
    writeAll(dir / "zero-size.exe", zeroSize);
    Bytes unmapped = readAll(fs::path(ICON_FIXTURE_DIR) / "template.exe");
    put32(unmapped, get32(unmapped, 60) + 24 + 112, 0x7FFF0000); // no section holds it
    writeAll(dir / "unmapped.exe", unmapped);
    copyFixture("plain.exe", "plain.exe");

    for (const char* name : {"zero-size.exe", "unmapped.exe", "plain.exe"}) {
        const Bytes before = readAll(dir / name);
        auto r = replace(ico, dir / name);
        ASSERT_FALSE(r) << name;
        EXPECT_EQ(r.error().code, 1004) << name;
        EXPECT_EQ(r.error().message, (dir / name).string() +
                                         " does not contain a valid resource tree.  File may "
                                         "be corrupt.");
        EXPECT_EQ(readAll(dir / name), before) << name;
    }
    EXPECT_TRUE(observer.boxes.empty());
}

TEST_F(IconReplace, ProgramWithoutIconsIsError1006) {
    const fs::path book = copyFixture("noicon.exe");
    const Bytes before = readAll(book);
    auto r = replace(writeIco({{32, 32, 24, 1}}), book);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, 1006);
    EXPECT_EQ(r.error().message, "Unable to modify directories in target executable.  File may "
                                 "not contain any icon resources.");
    EXPECT_EQ(readAll(book), before);
}

// The resource tree is damaged: the walk warns, and the book is left exactly as it was.
TEST_F(IconReplace, DamagedTreesWarnAndLeaveTheBookUnchanged) {
    const fs::path ico = writeIco({{32, 32, 24, 1}});
    const PefileView view = pefileView(fs::path(ICON_FIXTURE_DIR) / "template.exe");
    const Bytes good = readAll(fs::path(ICON_FIXTURE_DIR) / "template.exe");

    // The group claims more entries than its data holds.
    Bytes longGroup = good;
    longGroup[view.resources.at("14/1/0").offset + 4] = 200;
    writeAll(dir / "long-group.exe", longGroup);
    auto r = replace(ico, dir / "long-group.exe");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, 1006);
    EXPECT_EQ(readAll(dir / "long-group.exe"), longGroup);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text,
              "An error occurred while modifying the resource directories. "
              " Please make sure neither of the specified files are in use.");
    EXPECT_TRUE(observer.boxes[0].title.starts_with("folioMake - "));
    EXPECT_EQ(observer.boxes[0].icon, MessageIcon::Exclamation);

    // The only icon image's data entry points outside the file.
    observer.boxes.clear();
    Bytes farEntry = good;
    put32(farEntry, view.resources.at("3/30001/0").langEntryOffset + 4, 0x7FFFFFF0);
    writeAll(dir / "far-entry.exe", farEntry);
    r = replace(ico, dir / "far-entry.exe");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, 1006);
    EXPECT_EQ(readAll(dir / "far-entry.exe"), farEntry);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_EQ(observer.boxes[0].text,
              "An error occurred while locating the icon resources.  "
              "Please make sure neither of the specified files are in use.");
}

// Found by fuzzing: a page name whose length field runs into the icon image. Patching the image
// in place rewrote the end of that name, and the page was gone under its old name.
TEST_F(IconReplace, NameRunningIntoTheIconImageKeepsItsPage) {
    Bytes file = readAll(fs::path(ICON_FIXTURE_DIR) / "book.exe");
    const PefileView view = pefileView(fs::path(ICON_FIXTURE_DIR) / "book.exe");
    const std::uint32_t image = view.resources.at("3/30001/0").offset;
    const std::u16string name = u"CHAPTER1.HTML";
    const Bytes pattern = [&] {
        Bytes b{static_cast<std::uint8_t>(name.size()), 0};
        for (char16_t c : name) {
            b.push_back(static_cast<std::uint8_t>(c));
            b.push_back(0);
        }
        return b;
    }();
    const auto at = std::search(file.begin(), file.end(), pattern.begin(), pattern.end());
    ASSERT_NE(at, file.end());
    const std::size_t length = std::size_t(at - file.begin());
    ASSERT_LT(length, image);
    // The name now ends in the image's pixels, past its header (which the new image shares).
    const std::size_t chars = (image + 200 - length - 2) / 2;
    file[length] = static_cast<std::uint8_t>(chars);
    file[length + 1] = static_cast<std::uint8_t>(chars >> 8);
    writeAll(dir / "book.exe", file);

    auto parsedBefore = folio::pe::PeImage::parse(file, "book.exe");
    ASSERT_TRUE(parsedBefore) << parsedBefore.error().message;
    const auto& resources = parsedBefore->resources();
    const auto page = std::find_if(resources.begin(), resources.end(), [](const auto& r) {
        return r.name.isString && r.name.name.size() > 13;
    });
    ASSERT_NE(page, resources.end());
    const auto pageData = parsedBefore->resourceData(*page);
    const Bytes pageBytes(pageData.begin(), pageData.end());

    auto r = replace(writeIco({{32, 32, 24, 9}}), dir / "book.exe");
    ASSERT_TRUE(r) << r.error().message;
    const Bytes after = readAll(dir / "book.exe");
    auto parsed = folio::pe::PeImage::parse(after, "book.exe");
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(parsed->resources().size(), resources.size());
    const auto* kept = parsed->find(page->type, page->name, page->language);
    ASSERT_NE(kept, nullptr);
    const auto keptData = parsed->resourceData(*kept);
    EXPECT_EQ(Bytes(keptData.begin(), keptData.end()), pageBytes);
    const auto* icon =
        parsed->find(folio::pe::ResourceId::fromId(3), folio::pe::ResourceId::fromId(30001), 0);
    ASSERT_NE(icon, nullptr);
    const auto iconData = parsed->resourceData(*icon);
    EXPECT_EQ(Bytes(iconData.begin(), iconData.end()), makeIconImage({32, 32, 24, 9}));
}

TEST(IconAddresses, ConversionsThroughTheResourceSection) {
    Recorder observer;
    folio::icon::ResourceSection s{0x1000, 0x400, 0x200, 0x100};
    EXPECT_EQ(folio::icon::RVA_to_Offset(0x1010, s, observer), 0x410);
    EXPECT_EQ(folio::icon::RVA_to_Offset(0x0FFF, s, observer), -1);
    EXPECT_EQ(folio::icon::Offset_to_RVA(0x410, s, observer), 0x1010);
    EXPECT_EQ(folio::icon::Offset_to_RVA(0x3FF, s, observer), -1);
    EXPECT_TRUE(observer.boxes.empty());

    // A result beyond 32 signed bits is reported and yields 0, never a wrapped offset.
    folio::icon::ResourceSection high{0x1000, 0x7FFF0000, 0x200, 0x100};
    EXPECT_EQ(folio::icon::RVA_to_Offset(0x7FFFFFFF, high, observer), 0);
    ASSERT_EQ(observer.boxes.size(), 1u);
    EXPECT_TRUE(observer.boxes[0].text.starts_with("Error in RVA_to_Offset function: "));
    EXPECT_EQ(observer.boxes[0].title, "folioMake - Error");
    folio::icon::ResourceSection highVa{0x7FFF0000, 0x1000, 0x200, 0x100};
    EXPECT_EQ(folio::icon::Offset_to_RVA(0x7FFFFFFF, highVa, observer), 0);
    ASSERT_EQ(observer.boxes.size(), 2u);
    EXPECT_TRUE(observer.boxes[1].text.starts_with("Error in Offset_to_RVA function: "));
}

TEST_F(IconReplace, CompilerIconStepReportsTheErrorText) {
    auto step = folio::compiler::defaultIconStep();
    const fs::path book = copyFixture("template.exe");
    EXPECT_TRUE(step(writeIco({{32, 32, 24, 2}}).string(), book.string(), observer));
    EXPECT_EQ(step((dir / "none.ico").string(), book.string(), observer).error().message,
              "Failed to open " + (dir / "none.ico").string() +
                  ". Make sure file is not in use by another program.");
}

// The whole compilation with an icon chosen: a good .ico ends in the finished book next to
// its pages; a bad one ends in the compiler's failure message naming it.
TEST_F(IconReplace, CompilationAppliesTheChosenIconOrReportsWhyNot) {
    const fs::path maker = dir / "maker";
    fs::create_directories(maker / "folioPage");
    fs::create_directories(maker / "skin");
    fs::create_directories(maker / "out");
    fs::create_directories(maker / "Book");
    fs::copy_file(fs::path(ICON_FIXTURE_DIR) / "template.exe", maker / "folioPage/folioPage.dat");
    writeAll(maker / "folioPage/SkinH_VB6.dll", Bytes{'M', 'Z'});
    writeAll(maker / "skin/aero.she", Bytes{'s'});
    fs::copy_file(fs::path(ICON_FIXTURE_DIR) / "index.html", maker / "Book/index.html");

    folio::compiler::CompileInputs in;
    in.settings.title = "Book";
    in.settings.indexPage = "index.html";
    in.settings.contentsPage = "index.html"; // a book of one page
    in.settings.outPath = (maker / "out").string();
    in.settings.outFile = "book";
    in.makerFolder = maker.string();
    in.skinFileName = "aero.she";
    in.projectFolder = (maker / "Book").string();
    in.pages = {{"index.html", true}};
    in.dateText = "2026-12-08";
    in.iconPath = writeIco({{48, 48, 32, 8}}).string();

    auto done = folio::compiler::CompileBook(in, observer);
    ASSERT_TRUE(done) << done.error().message;
    const PefileView view = pefileView(done->bookPath);
    EXPECT_EQ(view.resources.at("3/30001/0").data, makeIconImage({48, 48, 32, 8}));
    EXPECT_EQ(view.resources.at("2110/INDEX.HTML/1033").data,
              readAll(fs::path(ICON_FIXTURE_DIR) / "index.html"));

    writeAll(dir / "text.ico", Bytes{'t', 'e', 'x', 't'});
    in.iconPath = (dir / "text.ico").string();
    observer.boxes.clear();
    auto failed = folio::compiler::CompileBook(in, observer);
    EXPECT_EQ(outcomeOf(failed), folio::compiler::CompileOutcome::Failed);
    ASSERT_FALSE(observer.boxes.empty());
    EXPECT_EQ(observer.boxes.back().text, "你的电子书编译过程发生\r\n\r\n" + in.iconPath +
                                              " is not a valid icon resource file.错误！");
    EXPECT_EQ(observer.boxes.back().title, "编译失败。");
}
