// The PE reader and the resource writer, checked against pefile, wrestool and Wine.
#include "fileio.h"
#include "independent_check.h"
#include "pe.h"

#include <gtest/gtest.h>

#include <filesystem>
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

class RoundTrip : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(RoundTrip, AddReplaceDeleteKeepsEverythingElse) {
    const std::string src = fixture(GetParam());
    const std::string book = scratch(std::string("rt_") + GetParam());
    fs::copy_file(src, book, fs::copy_options::overwrite_existing);
    // An overlay after the last section must survive the rebuild.
    {
        std::ofstream f(book, std::ios::binary | std::ios::app);
        f << "OVERLAY-TAIL";
    }
    const auto before = resourcesOf(book);
    ASSERT_TRUE(before.count("16/1/1033")) << "fixture lacks its version block";
    ASSERT_TRUE(before.count("10/101/1033"));

    auto u = ResourceUpdater::begin(book, false);
    ASSERT_TRUE(u) << u.error().message;
    const std::string desc = "Book:Me:index.html:tree.html:::::2026-12-06";
    u->update(ResourceId::fromName("CUSTOM"), ResourceId::fromId(101), 1033, bytesOf(desc));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("INDEX.HTML"), 1033,
              bytesOf("<html>index</html>"));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("A.CSS"), 1033, bytesOf("a{}"));
    u->update(ResourceId::fromId(10), ResourceId::fromId(101), 1033, bytesOf("replaced"));
    u->update(ResourceId::fromId(2110), ResourceId::fromName("GONE.HTML"), 1033, bytesOf("x"));
    EXPECT_TRUE(u->remove(ResourceId::fromId(2110), ResourceId::fromName("gone.html"), 1033));
    EXPECT_FALSE(u->remove(ResourceId::fromId(2110), ResourceId::fromName("never"), 1033));
    ASSERT_TRUE(u->end(false));

    auto after = resourcesOf(book);
    EXPECT_EQ(after["16/1/1033"], before.at("16/1/1033")) << "untouched resource changed";
    EXPECT_EQ(after["10/101/1033"], bytesOf("replaced"));
    EXPECT_EQ(after["CUSTOM/101/1033"], bytesOf(desc));
    EXPECT_EQ(after["2110/INDEX.HTML/1033"], bytesOf("<html>index</html>"));
    EXPECT_FALSE(after.count("2110/GONE.HTML/1033"));
    EXPECT_EQ(after.size(), before.size() + 3);

    auto file = readFileBytes(book);
    ASSERT_TRUE(file);
    const std::string tail(file->end() - 12, file->end());
    EXPECT_EQ(tail, "OVERLAY-TAIL");
    auto img = PeImage::parse(*file, book);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->sections().back().name, ".rsrc") << "the resource section must be last";
    EXPECT_EQ(img->checksum(), computeChecksum(*file, img->checksumOffset()));

    // Named types come before ids, and names sort in upper-case order, as FindResource expects.
    std::vector<std::string> order;
    for (const auto& r : img->resources()) {
        if (order.empty() || order.back() != r.type.toString()) {
            order.push_back(r.type.toString());
        }
    }
    EXPECT_EQ(order.front(), "CUSTOM");
    EXPECT_TRUE(std::is_sorted(order.begin() + 1, order.end(),
                               [](auto& a, auto& b) { return std::stoi(a) < std::stoi(b); }));

    // pefile agrees on every resource and the checksum.
    FOLIO_REQUIRE_TOOL(check::kPython, "apt-get install python3-pefile");
    auto pf = check::pefileDescribe(book);
    ASSERT_EQ(pf.status, 0) << pf.out;
    EXPECT_NE(pf.out.find("\"checksum_ok\": true"), std::string::npos) << pf.out;
    EXPECT_NE(pf.out.find("\"warnings\": []"), std::string::npos) << pf.out;
    EXPECT_NE(pf.out.find("\"type\": \"CUSTOM\", \"name\": 101, \"language\": 1033, \"size\": " +
                          std::to_string(desc.size())),
              std::string::npos)
        << pf.out;
    EXPECT_NE(pf.out.find("\"type\": 2110, \"name\": \"INDEX.HTML\""), std::string::npos);

    FOLIO_REQUIRE_TOOL("wrestool", "apt-get install icoutils");
    auto wl = check::wrestoolList(book);
    EXPECT_NE(wl.out.find("--type='CUSTOM' --name=101 --language=1033"), std::string::npos)
        << wl.out;
    EXPECT_NE(wl.out.find("--type=2110 --name='A.CSS' --language=1033"), std::string::npos);

    // Wine's own loader finds the resources and the program still runs.
    FOLIO_REQUIRE_TOOL("wine", "dpkg --add-architecture i386 && apt-get install wine wine32");
    std::string err;
    EXPECT_EQ(check::wineReadResource(book, "CUSTOM", "#101", &err), desc) << err;
    EXPECT_EQ(check::wineReadResource(book, "#2110", "index.html", &err), "<html>index</html>")
        << err;
    auto ran = check::run(check::wineEnv() + "wine " + check::shellQuote(book));
    EXPECT_NE(ran.out.find("fixture ok"), std::string::npos) << ran.out;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RoundTrip,
                         ::testing::Values("rsrc_last.exe", "rsrc_not_last.exe"));

TEST(ResourceUpdater, DiscardLeavesTheFileUntouchedAndDeleteExistingStartsEmpty) {
    const std::string book = scratch("discard.exe");
    fs::copy_file(fixture("rsrc_last.exe"), book, fs::copy_options::overwrite_existing);
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
    ASSERT_TRUE(u->end(false));
    auto after = resourcesOf(book);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after.begin()->first, "2110/ONLY.HTML/1033") << "string names are stored upper-case";
}

TEST(ResourceUpdater, RepeatedRebuildsDoNotGrowTheFile) {
    const std::string book = scratch("repeat.exe");
    fs::copy_file(fixture("rsrc_not_last.exe"), book, fs::copy_options::overwrite_existing);
    std::uintmax_t sizes[3];
    for (auto& s : sizes) {
        auto u = ResourceUpdater::begin(book, false);
        ASSERT_TRUE(u);
        u->update(ResourceId::fromId(2110), ResourceId::fromName("P.HTML"), 1033, Bytes(5000, 'p'));
        ASSERT_TRUE(u->end(false));
        s = fs::file_size(book);
    }
    // The first rebuild appends a section; later ones replace it in place.
    EXPECT_EQ(sizes[1], sizes[2]);
}

namespace {

Bytes validFixture() {
    return *readFileBytes(fixture("rsrc_last.exe"));
}

void put32(Bytes& b, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::string parseError(const Bytes& b) {
    auto img = PeImage::parse(b, "bad.exe");
    return img ? std::string("(parsed)") : img.error().message;
}

} // namespace

TEST(PeImage, MalformedFilesGiveAnErrorNamingTheFault) {
    const Bytes good = validFixture();
    auto img = PeImage::parse(good, "good.exe");
    ASSERT_TRUE(img) << img.error().message;
    const std::uint32_t pe = img->peHeaderOffset();
    const std::uint32_t secTable = pe + 4 + 20 + 224;

    EXPECT_NE(parseError(Bytes(good.begin(), good.begin() + 30)).find("truncated DOS header"),
              std::string::npos);
    Bytes b = good;
    b[0] = 'X';
    EXPECT_NE(parseError(b).find("\"MZ\""), std::string::npos);
    b = good;
    put32(b, 60, 0x7FFFFFF0);
    EXPECT_NE(parseError(b).find("truncated PE header"), std::string::npos);
    b = Bytes(good.begin(), good.begin() + pe + 4 + 20 + 100);
    EXPECT_NE(parseError(b).find("truncated optional header"), std::string::npos);
    b = good;
    put32(b, secTable + 20, static_cast<std::uint32_t>(good.size())); // first section's raw data
    EXPECT_NE(parseError(b).find("points outside the file"), std::string::npos) << parseError(b);
    EXPECT_NE(parseError(b).find("bad.exe"), std::string::npos);

    // A resource sub-directory entry that points back at the root.
    b = good;
    const Section& rs = img->sections()[*img->resourceSectionIndex()];
    const std::uint32_t root = img->resourceDirRva() - rs.virtualAddress + rs.pointerToRawData;
    put32(b, root + 16 + 4, 0x80000000u);
    EXPECT_NE(parseError(b).find("cycle"), std::string::npos) << parseError(b);

    // A resource directory size of 0 means no resources at all.
    b = good;
    put32(b, pe + 4 + 20 + 116, 0);
    auto none = PeImage::parse(b, "nores.exe");
    ASSERT_TRUE(none) << none.error().message;
    EXPECT_TRUE(none->resources().empty());
}

TEST(ResourceId, ParsingAndCaseInsensitiveEquality) {
    EXPECT_FALSE(ResourceId::parse("#2110").isString);
    EXPECT_EQ(ResourceId::parse("2110").id, 2110);
    EXPECT_TRUE(ResourceId::parse("CUSTOM").isString);
    EXPECT_TRUE(ResourceId::parse("70000").isString) << "too large for an id";
    EXPECT_EQ(ResourceId::fromName("index.html"), ResourceId::fromName("INDEX.HTML"));
    EXPECT_FALSE(ResourceId::fromName("1") == ResourceId::fromId(1));
    EXPECT_TRUE(resourceIdLess(ResourceId::fromName("ZZZ"), ResourceId::fromId(1)));
    EXPECT_TRUE(resourceIdLess(ResourceId::fromName("AB"), ResourceId::fromName("abc")));
    EXPECT_TRUE(resourceIdLess(ResourceId::fromName("A_"), ResourceId::fromName("a`")))
        << "'_' (0x5F) sorts before '`' (0x60), but after the upper-cased 'A'..'Z'";
}
