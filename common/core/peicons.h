// Icons in a PE32 file: the icon groups (RT_GROUP_ICON) that list a program's icon images
// (RT_ICON), and the one-image .ico that carries an icon image out of the program, so that a
// picture decoder can paint it. The binary layouts of icons are read and written here only.
#pragma once

#include "core/error.h"
#include "core/fileio.h"
#include "core/pe.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace folio::pe {

namespace format {

// GRPICONDIR: an icon group's header, followed by idCount entries.
struct grpicon_dir {
    std::uint16_t idReserved; // 0
    std::uint16_t idType;     // 1 (icons)
    std::uint16_t idCount;
};
static_assert(sizeof(grpicon_dir) == 6);

// GRPICONDIRENTRY: an .ico directory entry whose last field, the image's file offset there,
// is the id of the RT_ICON resource holding the image here.
#pragma pack(push, 2)
struct grpicon_dir_entry {
    std::uint8_t bWidth;
    std::uint8_t bHeight;
    std::uint8_t bColorCount;
    std::uint8_t bReserved;
    std::uint16_t wPlanes;
    std::uint16_t wBitCount;
    std::uint32_t dwBytesInRes;
    std::uint16_t nId;
};
#pragma pack(pop)
static_assert(sizeof(grpicon_dir_entry) == 14);

} // namespace format

// The entries of an icon group, checked against the bytes the group holds. `groupName` and
// `file` name the group in the error.
Result<std::vector<format::grpicon_dir_entry>> readIconGroup(std::span<const std::uint8_t> group,
                                                             const std::string& groupName,
                                                             const std::string& file);

// The first 12 bytes of a group entry (width … bytes in image): the first 12 bytes of the .ico
// directory entry of the same image.
std::array<std::uint8_t, 12> icoEntryHead(const format::grpicon_dir_entry& entry);

// A program's own icon as Windows shows it first: the first entry of its first icon group and
// the RT_ICON image that entry names.
struct FirstIcon {
    std::array<std::uint8_t, 12> entryHead; // see icoEntryHead
    std::uint16_t id = 0;                   // of the RT_ICON resource
    std::span<const std::uint8_t> image;    // its data, a view into the image's bytes
};
Result<FirstIcon> firstIcon(const PeImage& image);

// A one-image .ico file holding `image`: the 6-byte header, one directory entry (the width …
// bit count of `entryHead`, the image's own size and its offset, 22) and the image.
Bytes singleIconFile(std::span<const std::uint8_t, 12> entryHead,
                     std::span<const std::uint8_t> image);

} // namespace folio::pe
