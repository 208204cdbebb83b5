// The PE reader and the resource writer, checked against pefile, wrestool and Wine.
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"
#include "tests/tools/independent_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

using namespace folio;
using namespace folio::pe;
namespace fs = std::filesystem;

namespace {

std::string fixture(const std::string& name) {
    return std::string(FOLIO_PE_FIXTURES) + "/" + name;
}

std::string scratch(const std::string& name) {
    fs::path dir = fs::path(FOLIO_BINARY_DIR) / "pe_test_scratch";
    fs::create_directories(dir);
    return (dir / name).string();
}

std::string copyOf(const std::string& fixtureName, const std::string& as) {
    const std::string path = scratch(as);
    fs::copy_file(fixture(fixtureName), path, fs::copy_options::overwrite_existing);
    return path;
}

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string keyOf(const Resource& r) {
    return r.type.toString() + "/" + r.name.toString() + "/" + std::to_string(r.language);
}

std::map<std::string, Bytes> resourcesOf(const std::string& path) {
    auto bytes = readFileBytes(path);
    EXPECT_TRUE(bytes) << bytes.error().message;
    auto img = PeImage::parse(*bytes, path);
    EXPECT_TRUE(img) << img.error().message;
    std::map<std::string, Bytes> out;
    for (const auto& r : img->resources()) {
        auto d = img->resourceData(r);
        out[keyOf(r)] = Bytes(d.begin(), d.end());
    }
    return out;
}

// The resource section as Windows' binary search needs it: in every directory, named entries
// first in upper-case code-unit order, then ids ascending, no duplicates.
void expectSortedTree(const PeImage& img) {
    const auto& rs = img.resources();
    for (std::size_t i = 1; i < rs.size(); ++i) {
        const Resource& a = rs[i - 1];
        const Resource& b = rs[i];
        if (!(a.type == b.type)) {
            EXPECT_TRUE(resourceIdLess(a.type, b.type)) << keyOf(a) << " before " << keyOf(b);
        } else if (!(a.name == b.name)) {
            EXPECT_TRUE(resourceIdLess(a.name, b.name)) << keyOf(a) << " before " << keyOf(b);
        } else {
            EXPECT_LT(a.language, b.language) << keyOf(a) << " before " << keyOf(b);
        }
    }
}

class RoundTrip : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(RoundTrip, AddReplaceDeleteKeepsEverythingElse) {
    const std::string book = copyOf(GetParam(), std::string("rt_") + GetParam());
    // An overlay after the last section must survive the rebuild.
    {
        std::ofstream f(book, std::ios::binary | std::ios::app);
        f << "OVERLAY-TAIL";
    }
    const auto original = readFileBytes(book);
    ASSERT_TRUE(original);
    const auto before = resourcesOf(book);
    ASSERT_TRUE(before.count("16/1/1033")) << "fixture lacks its version block";
    ASSERT_TRUE(before.count("3/1/1033") && before.count("14/1/1033")) << "fixture lacks its icon";
    ASSERT_TRUE(before.count("CUSTOM/101/1033") && before.count("TEXTFILE/README/2052"));

    auto u = ResourceUpdater::begin(book, false);
    ASSERT_TRUE(u) << u.error().message;
    EXPECT_EQ(u->count(), before.size());
    const std::string desc = "Book:Me:index.html:tree.html:::::2026-12-06";
    u->update(ResourceId::fromName("custom"), ResourceId::fromId(101), 1033, bytesOf(desc));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("INDEX.HTML"), 1033,
              bytesOf("<html>index</html>"));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("a.css"), 1033, bytesOf("a{}"));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("EMPTY.TXT"), 1033, Bytes{});
    u->update(ResourceId::fromId(10), ResourceId::fromId(101), 1033, bytesOf("replaced"));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("GONE.HTML"), 1033, bytesOf("x"));
    EXPECT_TRUE(u->remove(ResourceId::fromId(2110), ResourceId::fromName("gone.html"), 1033));
    EXPECT_TRUE(u->remove(ResourceId::fromName("TextFile"), ResourceId::fromName("readme"), 1033));
    EXPECT_FALSE(u->remove(ResourceId::fromId(2110), ResourceId::fromName("never"), 1033));
    ASSERT_TRUE(u->end(false));

    auto after = resourcesOf(book);
    std::map<std::string, Bytes> expected = before;
    expected["10/101/1033"] = bytesOf("replaced");
    expected["CUSTOM/101/1033"] = bytesOf(desc);
    expected["2110/INDEX.HTML/1033"] = bytesOf("<html>index</html>");
    expected["2110/A.CSS/1033"] = bytesOf("a{}");
    expected["2110/EMPTY.TXT/1033"] = Bytes{};
    expected.erase("TEXTFILE/README/1033");
    EXPECT_EQ(after, expected) << "every untouched resource must stay byte-identical";

    auto file = readFileBytes(book);
    ASSERT_TRUE(file);
    EXPECT_EQ(std::string(file->end() - 12, file->end()), "OVERLAY-TAIL");
    auto img = PeImage::parse(*file, book);
    ASSERT_TRUE(img) << img.error().message;
    EXPECT_TRUE(
        std::equal(original->begin(), original->begin() + img->peHeaderOffset(), file->begin()))
        << "the DOS header and stub must stay byte for byte";
    EXPECT_EQ(img->sections().back().name, ".rsrc") << "the resource section must be last";
    EXPECT_EQ(img->checksum(), computeChecksum(*file, img->checksumOffset()));
    EXPECT_EQ(img->resources().front().type.toString(), "CUSTOM") << "named types come first";
    expectSortedTree(*img);
    for (const Resource& r : img->resources()) {
        EXPECT_EQ(r.dataRva % 8, 0u) << keyOf(r) << " data not aligned to 8";
        EXPECT_EQ(r.codePage, 0u) << keyOf(r);
    }
    const Section& last = img->sections().back();
    EXPECT_EQ(img->sizeOfImage() % img->sectionAlignment(), 0u);
    EXPECT_GE(img->sizeOfImage(), last.virtualAddress + last.virtualSize);
    EXPECT_EQ(last.sizeOfRawData % img->fileAlignment(), 0u);
    EXPECT_EQ(img->resourceDirRva(), last.virtualAddress);

    // pefile agrees on every resource, the checksum, and has no complaint.
    FOLIO_REQUIRE_PEFILE();
    const auto pf = check::checkWithPefile(book);
    ASSERT_TRUE(pf.parsed) << pf.error;
    EXPECT_TRUE(pf.checksumOk);
    EXPECT_TRUE(pf.warnings.empty()) << pf.warnings.front();
    EXPECT_EQ(pf.sections.back(), ".rsrc");
    ASSERT_EQ(pf.resources.size(), expected.size());
    const auto* custom = pf.find("CUSTOM", "#101");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->language, 1033);
    EXPECT_EQ(custom->sha256, check::sha256Hex(desc));
    const auto* index = pf.find("#2110", "INDEX.HTML");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->size, 18u);
    const auto* icon = pf.find("#3", "#1");
    ASSERT_TRUE(icon);
    const Bytes& iconBytes = before.at("3/1/1033");
    EXPECT_EQ(icon->sha256, check::sha256Hex(std::string(iconBytes.begin(), iconBytes.end())));

    FOLIO_REQUIRE_OBJDUMP();
    const auto objdumpSections = check::checkWithObjdump(book);
    ASSERT_FALSE(objdumpSections.empty());
    EXPECT_EQ(objdumpSections.back(), ".rsrc");
    if (std::string(GetParam()) == "rsrc_debug.exe") {
        EXPECT_NE(std::find(objdumpSections.begin(), objdumpSections.end(), ".debug_info"),
                  objdumpSections.end())
            << "long section names must still resolve through the moved string table";
    }

    FOLIO_REQUIRE_WRESTOOL();
    const auto wl = check::checkWithWrestool(book);
    auto listed = [&](const std::string& prefix) {
        return std::any_of(wl.begin(), wl.end(), [&](auto& l) { return l.starts_with(prefix); });
    };
    EXPECT_TRUE(listed("--type='CUSTOM' --name=101 --language=1033"));
    EXPECT_TRUE(listed("--type=2110 --name='A.CSS' --language=1033"));
    EXPECT_TRUE(listed("--type=14 --name=1 --language=1033"));

    // Wine's own loader finds the resources, and the program still runs.
    FOLIO_REQUIRE_WINE();
    EXPECT_EQ(check::readWithWine(book, "CUSTOM", "#101"), desc);
    EXPECT_EQ(check::readWithWine(book, "#2110", "index.html"), "<html>index</html>")
        << "names are found without regard to case";
    EXPECT_EQ(check::readWithWine(book, "TEXTFILE", "README"), "chinese readme");
    auto ran = check::run(check::wineEnv() + "wine " + check::shellQuote(book));
    EXPECT_NE(ran.output.find("fixture ok"), std::string::npos) << ran.output;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RoundTrip,
                         ::testing::Values("rsrc_last.exe", "rsrc_not_last.exe", "rsrc_debug.exe"));

TEST(ResourceUpdater, ResourceSectionPlacement) {
    // Last .rsrc: rebuilt in place, no new section.
    {
        const std::string book = copyOf("rsrc_last.exe", "place_last.exe");
        auto f = readFileBytes(book);
        auto img = PeImage::parse(*f, book);
        ASSERT_TRUE(img);
        const auto n = img->sections().size();
        const auto rsrcRva = img->sections().back().virtualAddress;
        auto u = ResourceUpdater::begin(book, false);
        ASSERT_TRUE(u);
        u->update(ResourceId::fromId(2110), ResourceId::fromName("BIG"), 1033, Bytes(70000, 'b'));
        ASSERT_TRUE(u->end(false));
        auto g = readFileBytes(book);
        auto after = PeImage::parse(*g, book);
        ASSERT_TRUE(after) << after.error().message;
        EXPECT_EQ(after->sections().size(), n);
        EXPECT_EQ(after->sections().back().virtualAddress, rsrcRva);
        EXPECT_GE(after->sections().back().virtualSize, 70000u);
    }
    // .rsrc followed by .reloc: a new last section, the old one left behind as dead data, and
    // a second rebuild replaces the new section in place instead of appending again.
    const std::string book = copyOf("rsrc_not_last.exe", "place_not_last.exe");
    std::uintmax_t sizes[3];
    std::size_t sections[3];
    for (int i = 0; i < 3; ++i) {
        auto u = ResourceUpdater::begin(book, false);
        ASSERT_TRUE(u);
        u->update(ResourceId::fromId(2110), ResourceId::fromName("P.HTML"), 1033, Bytes(5000, 'p'));
        ASSERT_TRUE(u->end(false));
        sizes[i] = fs::file_size(book);
        auto f = readFileBytes(book);
        auto img = PeImage::parse(*f, book);
        ASSERT_TRUE(img);
        sections[i] = img->sections().size();
        EXPECT_EQ(img->sections().back().name, ".rsrc");
        EXPECT_EQ(img->sections()[img->sections().size() - 2].name, ".reloc");
    }
    EXPECT_EQ(sizes[1], sizes[2]);
    EXPECT_EQ(sections[0], sections[2]);
}

// A file written from a layout is read back and checked against it before anything trusts it:
// resource bytes that did not land where the layout placed them, a tree that reads back
// otherwise (in any piece of it: this one is read back in several) or another checksum are
// refused naming the file, while the file as written passes.
TEST(ResourceUpdater, AFileThatDoesNotMatchItsLayoutFailsTheReadBackCheck) {
    auto file = readFileBytes(fixture("rsrc_last.exe"));
    ASSERT_TRUE(file) << file.error().message;
    std::vector<ResourceUpdater::Entry> entries;
    for (int i = 0; i < 3000; ++i)
        entries.push_back({ResourceId::fromId(2110),
                           ResourceId::fromName("PAGE" + std::to_string(i) + ".HTML"), 1033, 0,
                           bytesOf("page " + std::to_string(i))});
    auto sound = rebuildResources(*file, "skew.exe", entries);
    ASSERT_TRUE(sound) << sound.error().message;
    std::vector<ResourceSize> sizes;
    for (const auto& e : entries)
        sizes.push_back({e.type, e.name, e.language, e.codePage, e.data.size()});
    auto layout = RebuildLayout::plan(*file, "skew.exe", sizes);
    ASSERT_TRUE(layout) << layout.error().message;
    std::uint32_t checksum = 0;
    std::memcpy(&checksum, sound->data() + layout->checksumOffset(), sizeof checksum);
    auto same = [&](const RebuildLayout::Placed& p, std::span<const std::uint8_t> d) {
        const Bytes& want = entries[p.source].data;
        return std::equal(d.begin(), d.end(), want.begin(), want.end());
    };
    EXPECT_TRUE(layout->verify(*sound, checksum, same));

    Bytes misplaced = *sound; // the last page's bytes never written where they belong
    const RebuildLayout::Placed& last = layout->placed().back();
    std::fill_n(misplaced.begin() + static_cast<std::ptrdiff_t>(last.offset), last.size, 0);
    auto refused = layout->verify(misplaced, checksum, same);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("skew.exe: the rebuilt file reads back resource"),
              std::string::npos)
        << refused.error().message;

    ASSERT_GT(layout->front().size(), 128u << 10);
    for (const std::size_t at : {std::size_t(100), layout->front().size() - 1}) {
        Bytes otherTree = *sound;
        otherTree[at] ^= 0xFF;
        EXPECT_FALSE(layout->verify(otherTree, checksum, same)) << at;
    }
    auto otherSum = layout->verify(*sound, checksum + 1, same);
    ASSERT_FALSE(otherSum);
    EXPECT_NE(otherSum.error().message.find("skew.exe: the checksum reads back as"),
              std::string::npos)
        << otherSum.error().message;
}

TEST(ResourceUpdater, DiscardLeavesTheFileUntouchedAndDeleteExistingStartsEmpty) {
    const std::string book = copyOf("rsrc_last.exe", "discard.exe");
    auto original = readFileBytes(book);
    ASSERT_TRUE(original);
    {
        auto u = ResourceUpdater::begin(book, false);
        ASSERT_TRUE(u);
        u->update(ResourceId::fromId(2110), ResourceId::fromName("X"), 1033, bytesOf("x"));
        ASSERT_TRUE(u->end(true));
        EXPECT_FALSE(u->end(false)) << "a second end must be refused";
    }
    EXPECT_EQ(*readFileBytes(book), *original);

    auto u = ResourceUpdater::begin(book, true);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->count(), 0u);
    u->update(ResourceId::fromId(2110), ResourceId::fromName("only.html"), 1033, bytesOf("o"));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("ONLY.HTML"), 1033, bytesOf("p"));
    EXPECT_EQ(u->count(), 1u) << "names differing only in case are one resource";
    ASSERT_TRUE(u->end(false));
    auto after = resourcesOf(book);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after.begin()->first, "2110/ONLY.HTML/1033") << "string names are stored upper-case";
    EXPECT_EQ(after.begin()->second, bytesOf("p")) << "the later update wins";
}

// Found by fuzzing: a damaged tree holding one (type, name, language) twice. Readers find the
// first; the rebuild kept the last, so what the book showed changed under it.
TEST(ResourceUpdater, OfTwoEntriesUnderOneKeyTheRebuildKeepsTheOneReadersFind) {
    const std::string book = copyOf("rsrc_last.exe", "duplicate.exe");
    Bytes file = *readFileBytes(book);
    {
        auto image = PeImage::parse(file, book);
        ASSERT_TRUE(image) << image.error().message;
        const Resource* chinese =
            image->find(ResourceId::fromName("TEXTFILE"), ResourceId::fromName("README"), 2052);
        ASSERT_NE(chinese, nullptr);
        // Its language entry (id, offset of the data entry) is relabelled 1033.
        const std::uint32_t root = *image->rvaToOffset(image->resourceDirRva());
        const std::uint32_t rel = chinese->dataEntryOffset - root;
        const std::uint8_t entry[8] = {0x04,
                                       0x08,
                                       0,
                                       0,
                                       std::uint8_t(rel),
                                       std::uint8_t(rel >> 8),
                                       std::uint8_t(rel >> 16),
                                       std::uint8_t(rel >> 24)};
        auto at = std::search(file.begin() + root, file.end(), entry, entry + 8);
        ASSERT_NE(at, file.end());
        at[0] = 0x09;
        at[1] = 0x04;
    }
    ASSERT_TRUE(writeFileAtomic(book, file));
    auto twice = PeImage::parse(file, book);
    ASSERT_TRUE(twice) << twice.error().message;
    const Resource* first =
        twice->find(ResourceId::fromName("TEXTFILE"), ResourceId::fromName("README"), 1033);
    ASSERT_NE(first, nullptr);
    const auto shown = twice->resourceData(*first);
    const Bytes seen(shown.begin(), shown.end());

    auto u = ResourceUpdater::begin(book, false);
    ASSERT_TRUE(u) << u.error().message;
    ASSERT_TRUE(u->end(false));
    const Bytes after = *readFileBytes(book);
    auto rebuilt = PeImage::parse(after, book);
    ASSERT_TRUE(rebuilt) << rebuilt.error().message;
    EXPECT_EQ(rebuilt->resources().size(), twice->resources().size() - 1);
    const Resource* kept =
        rebuilt->find(ResourceId::fromName("TEXTFILE"), ResourceId::fromName("README"), 1033);
    ASSERT_NE(kept, nullptr);
    const auto data = rebuilt->resourceData(*kept);
    EXPECT_EQ(Bytes(data.begin(), data.end()), seen);
}

TEST(ResourceUpdater, ManyNamesAndLanguagesComeOutSortedAndFindable) {
    const std::string book = copyOf("rsrc_not_last.exe", "many.exe");
    auto u = ResourceUpdater::begin(book, false);
    ASSERT_TRUE(u);
    // Inserted in reverse, with mixed case, ids among names, and several languages.
    for (int i = 1999; i >= 0; --i) {
        const std::string name = (i % 2 ? "page" : "PAGE") + std::to_string(i) + ".html";
        u->update(ResourceId::fromId(2110), ResourceId::fromName(name), 1033,
                  bytesOf("page " + std::to_string(i)));
    }
    for (std::uint16_t id : {300, 7, 42}) {
        u->update(ResourceId::fromId(2110), ResourceId::fromId(id), 1033, bytesOf("id"));
    }
    for (std::uint16_t lang : {2052, 0, 1033}) {
        u->update(ResourceId::fromId(2110), ResourceId::fromName("multi"), lang,
                  bytesOf(std::to_string(lang)));
    }
    ASSERT_TRUE(u->end(false));

    auto file = readFileBytes(book);
    auto img = PeImage::parse(*file, book);
    ASSERT_TRUE(img) << img.error().message;
    expectSortedTree(*img);
    for (int i = 0; i < 2000; i += 97) {
        const auto* r = img->find(ResourceId::fromId(2110),
                                  ResourceId::fromName("Page" + std::to_string(i) + ".HTML"));
        ASSERT_TRUE(r) << i;
        auto d = img->resourceData(*r);
        EXPECT_EQ(std::string(d.begin(), d.end()), "page " + std::to_string(i));
    }
    const auto* multi = img->find(ResourceId::fromId(2110), ResourceId::fromName("MULTI"), 2052);
    ASSERT_TRUE(multi);
    auto md = img->resourceData(*multi);
    EXPECT_EQ(std::string(md.begin(), md.end()), "2052");
    EXPECT_EQ(img->find(ResourceId::fromId(2110), ResourceId::fromName("MULTI"))->language, 0)
        << "with no language, the first one stored";
    EXPECT_FALSE(img->find(ResourceId::fromId(2110), ResourceId::fromName("MULTI"), 1041));

    FOLIO_REQUIRE_PEFILE();
    const auto pf = check::checkWithPefile(book);
    ASSERT_TRUE(pf.parsed) << pf.error;
    EXPECT_TRUE(pf.checksumOk);
    EXPECT_EQ(pf.resources.size(), img->resources().size());

    // Wine's loader bisects each directory, so a misplaced entry would not be found.
    FOLIO_REQUIRE_WINE();
    EXPECT_EQ(check::readWithWine(book, "#2110", "Page1234.html"), "page 1234");
    EXPECT_EQ(check::readWithWine(book, "#2110", "#42"), "id");
}

namespace {

struct Fixture {
    Bytes bytes;
    std::uint32_t pe = 0;
    std::uint32_t opt = 0;
    std::uint32_t secTable = 0;
    std::uint32_t resRoot = 0; // file offset of the resource tree
};

Fixture load(const char* name) {
    Fixture fx;
    fx.bytes = *readFileBytes(fixture(name));
    auto img = PeImage::parse(fx.bytes, name);
    EXPECT_TRUE(img) << img.error().message;
    fx.pe = img->peHeaderOffset();
    fx.opt = fx.pe + 4 + 20;
    fx.secTable = fx.opt + 224;
    fx.resRoot = *img->rvaToOffset(img->resourceDirRva());
    return fx;
}

void put16(Bytes& b, std::size_t off, std::uint16_t v) {
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t get32(const Bytes& b, std::size_t off) {
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (std::uint32_t(b[off + 3]) << 24);
}

std::string parseError(const Bytes& b) {
    auto img = PeImage::parse(b, "bad.exe");
    if (img) {
        return "(parsed)";
    }
    EXPECT_TRUE(img.error().message.starts_with("bad.exe: ")) << img.error().message;
    return img.error().message;
}

#define EXPECT_FAULT(bytes, text)                                                                  \
    EXPECT_NE(parseError(bytes).find(text), std::string::npos) << parseError(bytes)

} // namespace

TEST(PeImage, MalformedHeadersGiveAnErrorNamingTheFault) {
    const Fixture fx = load("rsrc_last.exe");
    const Bytes& good = fx.bytes;

    EXPECT_FAULT(Bytes(good.begin(), good.begin() + 30), "truncated DOS header");
    EXPECT_FAULT(Bytes{}, "truncated DOS header");
    Bytes b = good;
    b[0] = 'X';
    EXPECT_FAULT(b, "\"MZ\"");
    b = good;
    put32(b, 60, 0xFFFFFFF0); // e_lfanew near the top of the address range: no wrap-around
    EXPECT_FAULT(b, "truncated PE header");
    b = good;
    b[fx.pe + 1] = 'X';
    EXPECT_FAULT(b, "\"PE\\0\\0\"");
    b = good;
    put16(b, fx.opt, 0x20b);
    EXPECT_FAULT(b, "PE32+");
    b = good;
    put16(b, fx.opt, 0x107);
    EXPECT_FAULT(b, "unknown optional header magic 0x107");
    b = Bytes(good.begin(), good.begin() + fx.opt + 100);
    EXPECT_FAULT(b, "truncated optional header");
    b = good;
    put16(b, fx.pe + 4 + 2, 0xFFFF); // NumberOfSections
    EXPECT_FAULT(b, "truncated section table");
    b = good;
    put32(b, fx.secTable + 20, static_cast<std::uint32_t>(good.size())); // PointerToRawData
    EXPECT_FAULT(b, "points outside the file");
    b = good;
    put32(b, fx.secTable + 16, 0xFFFFFFFF); // SizeOfRawData: offset + size overflows 32 bits
    EXPECT_FAULT(b, "points outside the file");
    b = good;
    put32(b, fx.opt + 112, 0x7FFF0000); // resource RVA in no section
    EXPECT_FAULT(b, "lies in no section");
}

TEST(PeImage, MalformedResourceTreesAreRefused) {
    const Fixture fx = load("rsrc_last.exe");
    const Bytes& good = fx.bytes;
    const std::uint32_t firstType = fx.resRoot + 16; // the root's first entry

    Bytes b = good;
    put32(b, firstType + 4, 0x80000000u); // a type entry pointing back at the root
    EXPECT_FAULT(b, "cycle");

    // Two type entries sharing one name directory.
    b = good;
    put32(b, firstType + 8 + 4, get32(b, firstType + 4));
    EXPECT_FAULT(b, "shared by several entries");

    b = good;
    put32(b, firstType + 4, 0x80000000u | 0x7FFFFFF0u);
    EXPECT_FAULT(b, "outside the resource section");

    b = good;
    put16(b, fx.resRoot + 14, 0xFFFF); // far more id entries than the section holds
    EXPECT_FAULT(b, "runs past the end of the resource section");

    b = good;
    put32(b, firstType + 4, 0x40); // a data entry on the type level
    EXPECT_FAULT(b, "expected a sub-directory, found a data entry");

    // The first type's first name's first language: point its data outside the file.
    b = good;
    const std::uint32_t nameDir = fx.resRoot + (get32(b, firstType + 4) & 0x7FFFFFFF);
    const std::uint32_t langDir = fx.resRoot + (get32(b, nameDir + 16 + 4) & 0x7FFFFFFF);
    const std::uint32_t dataEntry = fx.resRoot + get32(b, langDir + 16 + 4);
    put32(b, dataEntry + 4, 0x7FFFFFFF);
    EXPECT_FAULT(b, "lies outside the file");

    // A data entry laid over a directory table.
    b = good;
    put32(b, langDir + 16 + 4, nameDir - fx.resRoot);
    EXPECT_FAULT(b, "overlaps");

    b = good;
    put32(b, nameDir + 16, 0x80000000u | 0x7FFFFFF0u); // a name string outside the section
    EXPECT_FAULT(b, "resource name at offset");

    // A resource directory size of 0 means no resources at all.
    b = good;
    put32(b, fx.opt + 116, 0);
    auto none = PeImage::parse(b, "nores.exe");
    ASSERT_TRUE(none) << none.error().message;
    EXPECT_TRUE(none->resources().empty());
}

TEST(PeImage, CorruptedBytesNeverCrashTheReaderOrTheWriter) {
    // Seeded, so a failure repeats: corrupt a few header or resource-tree bytes at a time.
    const Fixture fx = load("rsrc_not_last.exe");
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const std::uint32_t treeEnd =
        std::min<std::uint32_t>(fx.resRoot + 0x200, static_cast<std::uint32_t>(fx.bytes.size()));
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = fx.bytes;
        for (int k = 0; k < 4; ++k) {
            const bool header = next() % 2 == 0;
            const std::uint32_t at = header ? next() % (fx.secTable + 40 * 10)
                                            : fx.resRoot + next() % (treeEnd - fx.resRoot);
            b[at] = static_cast<std::uint8_t>(next());
        }
        auto img = PeImage::parse(b, "fuzz.exe");
        if (!img) {
            ASSERT_TRUE(img.error().message.starts_with("fuzz.exe: ")) << img.error().message;
            continue;
        }
        ++parsed;
        for (const Resource& r : img->resources()) {
            EXPECT_EQ(img->resourceData(r).size(), r.size) << keyOf(r);
        }
        if (round % 10 == 0) {
            auto rebuilt = rebuildResources(b, "fuzz.exe", {});
            if (rebuilt) {
                EXPECT_TRUE(PeImage::parse(*rebuilt, "rebuilt.exe"));
            }
        }
    }
    EXPECT_GT(parsed, 0);
}

TEST(ResourceUpdater, RefusesFilesItCannotRebuild) {
    // No free room in the header area for one more section header.
    const Fixture fx = load("rsrc_not_last.exe");
    Bytes b = fx.bytes;
    const std::uint16_t n = static_cast<std::uint16_t>(b[fx.pe + 6] | (b[fx.pe + 7] << 8));
    b[fx.secTable + 40 * n] = 0xCC;
    const std::string crowded = scratch("crowded.exe");
    ASSERT_TRUE(writeFileAtomic(crowded, b));
    auto u = ResourceUpdater::begin(crowded, false);
    ASSERT_TRUE(u) << u.error().message;
    u->update(ResourceId::fromId(2110), ResourceId::fromName("A"), 1033, bytesOf("a"));
    auto ended = u->end(false);
    ASSERT_FALSE(ended);
    EXPECT_NE(ended.error().message.find("no room for another section header"), std::string::npos)
        << ended.error().message;
    EXPECT_EQ(*readFileBytes(crowded), b) << "a failed rebuild must leave the file untouched";

    const std::string text = scratch("not_pe.exe");
    ASSERT_TRUE(writeFileAtomic(text, std::string(200, 'x')));
    auto refused = ResourceUpdater::begin(text, false);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find(text), std::string::npos);
    EXPECT_FALSE(ResourceUpdater::begin(scratch("missing.exe"), false));
}

TEST(PeImage, ChecksumMatchesTheImageHelpAlgorithm) {
    const Fixture fx = load("rsrc_not_last.exe");
    auto img = PeImage::parse(fx.bytes, "x");
    ASSERT_TRUE(img);
    // mingw's linker writes a real checksum; ours must agree with it.
    ASSERT_NE(img->checksum(), 0u);
    EXPECT_EQ(computeChecksum(fx.bytes, img->checksumOffset()), img->checksum());
    // An odd length counts the last byte as a word of its own.
    Bytes odd = fx.bytes;
    odd.push_back(0x01);
    EXPECT_EQ(computeChecksum(odd, img->checksumOffset()), img->checksum() + 2);
}

TEST(Tools, CheckPeComparesWithAnExpectation) {
    FOLIO_REQUIRE_PEFILE();
    const std::string exe = fixture("rsrc_last.exe");
    const std::string script = FOLIO_SOURCE_DIR "/tests/tools/check_pe.py";
    const std::string good = scratch("expect_good.json");
    const std::string bad = scratch("expect_bad.json");
    ASSERT_TRUE(writeFileAtomic(
        good,
        std::string("[{\"type\": \"CUSTOM\", \"name\": 101, \"language\": 1033, \"size\": 17},"
                    " {\"type\": 10, \"name\": 101, \"language\": 1033},"
                    " {\"type\": \"TEXTFILE\", \"name\": \"README\", \"language\": 1033},"
                    " {\"type\": \"TEXTFILE\", \"name\": \"README\", \"language\": 2052},"
                    " {\"type\": 3, \"name\": 1, \"language\": 1033},"
                    " {\"type\": 14, \"name\": 1, \"language\": 1033},"
                    " {\"type\": 16, \"name\": 1, \"language\": 1033}]")));
    ASSERT_TRUE(writeFileAtomic(
        bad, std::string("{\"resources\": [{\"type\": \"CUSTOM\", \"name\": 101, "
                         "\"language\": 1033, \"size\": 3}], \"checksum_ok\": true}")));
    auto ok = check::run(std::string(check::kPython) + " " + script + " " + exe +
                         " --expect-json " + good);
    EXPECT_EQ(ok.status, 0) << ok.output;
    auto differs = check::run(std::string(check::kPython) + " " + script + " " + exe +
                              " --expect-json " + bad);
    EXPECT_NE(differs.status, 0);
    EXPECT_NE(differs.output.find("size expected 3, found 17"), std::string::npos)
        << differs.output;
    EXPECT_NE(differs.output.find("unexpected resource 16/1/1033"), std::string::npos);
    auto sum = check::run(std::string(check::kPython) + " " + script + " " + exe + " --checksum");
    EXPECT_EQ(sum.status, 0) << sum.output;
}

TEST(ResourceId, ParsingAndCaseInsensitiveEquality) {
    EXPECT_FALSE(ResourceId::parse("#2110").isString);
    EXPECT_EQ(ResourceId::parse("2110").id, 2110);
    EXPECT_TRUE(ResourceId::parse("CUSTOM").isString);
    EXPECT_TRUE(ResourceId::parse("70000").isString) << "too large for an id";
    EXPECT_TRUE(ResourceId::parse("#").isString);
    EXPECT_EQ(ResourceId::fromName("index.html"), ResourceId::fromName("INDEX.HTML"));
    // Beyond ASCII the writer folds as the book layer's page names do.
    EXPECT_EQ(ResourceId::fromName("\u0101.html"), ResourceId::fromName("\u0100.HTML"));
    EXPECT_EQ(ResourceId::fromName("\u00ff"), ResourceId::fromName("\u0178"));
    EXPECT_EQ(ResourceId::fromName("\u00e9t\u00e9"),
              ResourceId::fromName(toUpperUnicode("\u00e9t\u00e9")));
    EXPECT_EQ(ResourceId::fromName("é"), ResourceId::fromName("É"));
    EXPECT_FALSE(ResourceId::fromName("1") == ResourceId::fromId(1));
    EXPECT_TRUE(resourceIdLess(ResourceId::fromName("ZZZ"), ResourceId::fromId(1)));
    EXPECT_FALSE(resourceIdLess(ResourceId::fromId(1), ResourceId::fromName("ZZZ")));
    EXPECT_TRUE(resourceIdLess(ResourceId::fromName("AB"), ResourceId::fromName("abc")));
    EXPECT_TRUE(resourceIdLess(ResourceId::fromName("A_"), ResourceId::fromName("a`")))
        << "'_' (0x5F) sorts before '`' (0x60), but after the upper-cased 'A'..'Z'";
}

TEST(ResourceUpdater, FilesWithALayoutItCannotRebuildAreRefusedBeforeAnythingIsWritten) {
    // Small PE32 files made by fuzzing, each paired with the fault the refusal must name.
    const std::pair<const char*, const char*> cases[] = {
        {"va0-section.exe", "has no size"},
        {"updater-rva0.bin", "has no size"},
        {"rsrc-raw-in-headers.exe", "inside the headers"},
        {"overlapping-raw-sections.exe", "overlaps that of section"},
        {"huge-filealign.exe", "FileAlignment is 0x40000000"},
    };
    for (const auto& [name, fault] : cases) {
        SCOPED_TRACE(name);
        auto source =
            readFileBytes(std::string(FOLIO_SOURCE_DIR) + "/tests/fixtures/findings/" + name);
        ASSERT_TRUE(source) << source.error().message;
        Bytes pe = *source;
        if (std::string(name).ends_with(".bin")) {
            pe.erase(pe.begin()); // the first byte chose the fuzzer's operation
        }
        const fs::path dir = fs::path(scratch("findings")).parent_path() / "findings_dir";
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string path = (dir / "target.exe").string();
        ASSERT_TRUE(writeFileAtomic(path, pe));

        auto u = ResourceUpdater::begin(path, false);
        ASSERT_FALSE(u) << "begin accepted it";
        EXPECT_NE(u.error().message.find(fault), std::string::npos) << u.error().message;
        EXPECT_TRUE(u.error().message.starts_with(path)) << u.error().message;

        auto rebuilt = rebuildResources(
            pe, "finding.exe",
            {{ResourceId::fromId(2110), ResourceId::fromName("A"), 1033, 0, bytesOf("page")}});
        ASSERT_FALSE(rebuilt) << "rebuilt into " << rebuilt->size() << " bytes";
        EXPECT_NE(rebuilt.error().message.find(fault), std::string::npos)
            << rebuilt.error().message;
        EXPECT_EQ(*readFileBytes(path), pe);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
}

TEST(ResourceUpdater, AlignmentsAndDirectoriesOutsideTheFormatAreRefused) {
    const Fixture fx = load("rsrc_not_last.exe");
    const std::uint32_t opt = fx.opt;
    auto refused = [&](const Bytes& b) {
        auto r = rebuildResources(b, "odd.exe", {});
        return r ? std::string("accepted") : r.error().message;
    };
    Bytes b = fx.bytes;
    put32(b, opt + 36, 0x300); // FileAlignment not a power of 2
    EXPECT_NE(refused(b).find("FileAlignment is 0x300"), std::string::npos) << refused(b);
    b = fx.bytes;
    put32(b, opt + 32, 0x100); // SectionAlignment below FileAlignment
    EXPECT_NE(refused(b).find("SectionAlignment is 0x100"), std::string::npos) << refused(b);
    b = fx.bytes;
    put32(b, opt + 96 + 8 * 1, 0x7FFF0000); // the import table far beyond the last section
    EXPECT_NE(refused(b).find("data directory 1"), std::string::npos) << refused(b);
    b = fx.bytes;
    put32(b, fx.secTable + 12, 0); // the first section at RVA 0, over the headers
    EXPECT_NE(refused(b).find("lies at RVA 0"), std::string::npos) << refused(b);
    b = fx.bytes;
    put32(b, fx.secTable + 40 + 20, get32(b, fx.secTable + 20)); // two sections share raw data
    EXPECT_NE(refused(b).find("overlaps that of section"), std::string::npos) << refused(b);
    EXPECT_TRUE(rebuildResources(fx.bytes, "plain.exe", {}));
}
