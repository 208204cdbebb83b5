// The bounds-checked byte reader and writer every binary format goes through, and the icon
// layouts read and written over them.
#include "core/bytereader.h"
#include "core/peicons.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

using folio::ByteReader;
using folio::ByteWriter;

TEST(ByteReader, ReadsInsideAndRefusesPastTheEndWithoutWrapping) {
    const std::vector<std::uint8_t> data = {0x34, 0x12, 0x78, 0x56, 0xAA};
    const ByteReader r(data, "f.bin");
    EXPECT_EQ(*r.read<std::uint16_t>(0, "word"), 0x1234);
    EXPECT_EQ(*r.read<std::uint32_t>(0, "dword"), 0x56781234u);
    EXPECT_EQ(*r.read<std::uint8_t>(4, "byte"), 0xAA);

    auto past = r.read<std::uint32_t>(2, "the header");
    ASSERT_FALSE(past);
    EXPECT_EQ(
        past.error().message,
        "f.bin: the header at offset 0x2: expected 4 bytes, found 3 before the end of the file");
    // An offset near 2^64 must not wrap round into the buffer.
    EXPECT_FALSE(r.read<std::uint16_t>(~std::uint64_t{0}, "x"));
    EXPECT_FALSE(r.has(~std::uint64_t{0} - 1, 4));
    EXPECT_TRUE(r.has(5, 0));
    EXPECT_FALSE(r.has(6, 0));
}

TEST(ByteWriter, RefusesWritesOutsideTheBufferAndReportsTheFirst) {
    std::vector<std::uint8_t> out(8, 0);
    ByteWriter w(out);
    EXPECT_TRUE(w.put<std::uint32_t>(4, 0xDDCCBBAAu));
    EXPECT_EQ(w.end(), 8u);
    EXPECT_TRUE(w.check("o.bin", "the section"));

    EXPECT_FALSE(w.put<std::uint32_t>(6, 0x11111111u));
    const std::array<std::uint8_t, 2> two = {1, 2};
    EXPECT_FALSE(w.putBytes(~std::uint64_t{0}, two));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD}))
        << "a refused write changes nothing";
    auto checked = w.check("o.bin", "the section");
    ASSERT_FALSE(checked);
    EXPECT_EQ(checked.error().message, "o.bin: the section: a write of 4 bytes at offset 0x6 falls "
                                       "outside the 8 bytes laid out for it");
}

TEST(ByteWriter, TracksTheHighestByteWritten) {
    std::vector<std::uint8_t> out(16, 0);
    ByteWriter w(out);
    EXPECT_EQ(w.end(), 0u);
    w.put<std::uint16_t>(10, 1);
    w.put<std::uint16_t>(2, 1);
    EXPECT_EQ(w.end(), 12u) << "a lower write does not lower the mark";
    w.putBytes(16, {});
    EXPECT_EQ(w.end(), 12u) << "an empty write at the end is no byte written";
    EXPECT_TRUE(w.check("o.bin", "x"));
}

TEST(IconGroup, EntriesAreReadWithinTheGroupAndTheIcoCarriesTheImagesOwnSize) {
    // One 32x32 entry naming icon 7, its size in the group rounded up to 0x300.
    std::vector<std::uint8_t> group = {0, 0, 1,  0, 1, 0, 32, 32, 0, 0,
                                       1, 0, 32, 0, 0, 3, 0,  0,  7, 0};
    auto entries = folio::pe::readIconGroup(group, "1", "book.exe");
    ASSERT_TRUE(entries) << entries.error().message;
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].bWidth, 32);
    EXPECT_EQ((*entries)[0].wBitCount, 32);
    EXPECT_EQ((*entries)[0].nId, 7);
    group[4] = 2; // two entries listed, one held
    EXPECT_EQ(folio::pe::readIconGroup(group, "1", "book.exe").error().message,
              "the icon group 1 of book.exe lists 2 entries but holds only 20 bytes");

    const std::array<std::uint8_t, 5> image = {1, 2, 3, 4, 5};
    const auto ico = folio::pe::singleIconFile(folio::pe::icoEntryHead((*entries)[0]), image);
    ASSERT_EQ(ico.size(), 22u + image.size());
    EXPECT_EQ(std::vector<std::uint8_t>(ico.begin() + 6, ico.begin() + 22),
              (std::vector<std::uint8_t>{32, 32, 0, 0, 1, 0, 32, 0, 5, 0, 0, 0, 22, 0, 0, 0}));
    EXPECT_EQ(ico.back(), 5);
}
