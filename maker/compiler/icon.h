// Giving a compiled book the icon chosen by the author: the .ico's first image replaces the
// executable's icon resources.
#pragma once

#include "core/error.h"
#include "core/fileio.h"
#include "maker/compiler/compilebook.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace folio::icon {

// The maker's program name: the source of every error raised here, and the start of the
// titles of the warnings shown on the way.
inline constexpr const char* ProgramName = "folioMake";

// Numbered errors raised by ReplaceIcon.
inline constexpr int ErrOpenFailed = 1000;
inline constexpr int ErrNotExecutable = 1002;
inline constexpr int ErrNotIcon = 1003;
inline constexpr int ErrNoResourceTree = 1004;
inline constexpr int ErrNoIcons = 1006;

// .ico header (ICONDIR without its entries).
struct IconDir {
    std::uint16_t idReserved = 0; // must be 0
    std::uint16_t idType = 0;     // must be 1 (2 is a cursor)
    std::int16_t idCount = 0;     // must be > 0
    static constexpr std::size_t Size = 6;
};
static_assert(sizeof(IconDir) == IconDir::Size);

// .ico directory entry (ICONDIRENTRY). Its first 12 bytes are laid out exactly as the
// first 12 bytes of an icon-group entry, which is why they can be copied across unchanged.
struct IconDirEntry {
    std::uint8_t bWidth = 0;
    std::uint8_t bHeight = 0;
    std::uint8_t bColorCount = 0;
    std::uint8_t bReserved = 0;
    std::uint16_t wPlanes = 0;
    std::uint16_t wBitCount = 0;
    std::uint32_t dwBytesInRes = 0;
    std::uint32_t dwImageOffset = 0;
    static constexpr std::size_t Size = 16;

    static IconDirEntry decode(std::span<const std::uint8_t, Size> raw);
    // width, height, colour count, reserved, planes, bit count, bytes in image.
    std::array<std::uint8_t, 12> groupEntryBytes() const;
};
static_assert(sizeof(IconDirEntry) == IconDirEntry::Size);

// The part of an .ico that is used: its first directory entry and that image's data.
struct IconFile {
    IconDirEntry entry;
    Bytes image; // bitmap-info header, pixels and mask, exactly as stored in the .ico
};

// Reads the .ico's header, first entry and first image. Errors 1000 (cannot open) and 1003
// (not an icon file, or its first image lies outside the file).
Result<IconFile> LoadIconFile(const std::string& iconPath);

// What FindResourceTree remembers for the address conversions: the section that holds the
// resource tree. Values are kept as the signed 32-bit numbers the header fields are taken
// for, so the conversions can report an overflow instead of wrapping.
struct ResourceSection {
    std::int32_t virtualAddress = 0;
    std::int32_t pointerToRawData = 0;
    std::int32_t sizeOfRawData = 0;
    std::int32_t resourceSize = 0; // size field of the resource data directory
};

// One icon image found in the resource tree.
struct IconLocation {
    std::int32_t iconId = 0; // the name-level entry's id
    std::int32_t offset = 0; // file offset of the image data
    std::uint32_t size = 0;  // its data entry's size: the room the image may take
    std::uint16_t language = 0;
};

// True when the file starts with "MZ", the header it points at starts with "PE\0\0", and the
// optional header is the 32-bit one (a 64-bit header would be read with the wrong layout).
bool IsValidExe(std::span<const std::uint8_t> exe);

// File offset of the resource tree; -1 when there is none (size 0, or no section maps it),
// 0 after a fault (shown through `observer` first). Fills `section` on success.
std::int32_t FindResourceTree(std::span<const std::uint8_t> exe, const std::string& exePath,
                              ResourceSection& section, compiler::CompileObserver& observer);

// Appends one record per icon image (type 3) to `icons`, in tree order, and returns their
// number. A damaged tree yields none (the fault is shown through `observer`).
std::size_t FindIcons(std::span<const std::uint8_t> exe, const std::string& exePath,
                      const ResourceSection& section, std::vector<IconLocation>& icons,
                      compiler::CompileObserver& observer);

// Points every icon image's data entry at the image at `firstImageOffset` (with the new
// size) and rewrites every icon-group entry's first 12 bytes from `entry`, keeping the ids.
// False after a fault (shown through `observer`); `exe` may then be partly patched.
bool UpdateIconDirectories(Bytes& exe, const std::string& exePath, const ResourceSection& section,
                           std::int32_t firstImageOffset, const IconDirEntry& entry,
                           compiler::CompileObserver& observer);

// Address conversions through the resource section: -1 below the section, 0 (after a
// warning through `observer`) when the result does not fit in 32 signed bits.
std::int32_t RVA_to_Offset(std::int32_t address, const ResourceSection& section,
                           compiler::CompileObserver& observer);
std::int32_t Offset_to_RVA(std::int32_t offset, const ResourceSection& section,
                           compiler::CompileObserver& observer);

// Gives the executable the .ico's first image as its icon. When that image fits in the
// room of the executable's first icon image, the file is patched in place; otherwise the
// icon resources are rebuilt with the same ids and languages. Errors 1000, 1002, 1003,
// 1004, 1006; the executable is left unchanged whenever an error is returned.
Result<void> ReplaceIcon(const std::string& iconPath, const std::string& exePath,
                         compiler::CompileObserver& observer);

} // namespace folio::icon
