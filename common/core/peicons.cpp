// Icon groups and one-image .ico files (see peicons.h).
#include "core/peicons.h"

#include "core/bytereader.h"

#include <cstddef>
#include <cstring>
#include <tuple>

namespace folio::pe {

Result<std::vector<format::grpicon_dir_entry>> readIconGroup(std::span<const std::uint8_t> group,
                                                             const std::string& groupName,
                                                             const std::string& file) {
    const ByteReader reader(group, file);
    if (group.size() < sizeof(format::grpicon_dir))
        return fail("the icon group " + groupName + " of " + file + " holds " +
                    std::to_string(group.size()) + " bytes, less than its 6-byte header");
    auto dir = reader.read<format::grpicon_dir>(0, "icon group");
    FOLIO_TRY(dir);
    const std::uint64_t count = dir->idCount;
    if (sizeof(format::grpicon_dir) + sizeof(format::grpicon_dir_entry) * count > group.size())
        return fail("the icon group " + groupName + " of " + file + " lists " +
                    std::to_string(count) + " entries but holds only " +
                    std::to_string(group.size()) + " bytes");
    std::vector<format::grpicon_dir_entry> entries;
    entries.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        auto entry = reader.read<format::grpicon_dir_entry>(
            sizeof(format::grpicon_dir) + i * sizeof(format::grpicon_dir_entry),
            "icon group entry");
        FOLIO_TRY(entry);
        entries.push_back(*entry);
    }
    return entries;
}

std::array<std::uint8_t, 12> icoEntryHead(const format::grpicon_dir_entry& entry) {
    std::array<std::uint8_t, 12> head{};
    static_assert(offsetof(format::grpicon_dir_entry, nId) == std::tuple_size_v<decltype(head)>);
    std::memcpy(head.data(), &entry, head.size());
    return head;
}

Result<FirstIcon> firstIcon(const PeImage& image) {
    const std::string& file = image.fileName();
    const Resource* group = nullptr;
    for (const Resource& r : image.resources()) {
        if (!r.type.isString && r.type.id == RT_GROUP_ICON) {
            group = &r;
            break;
        }
    }
    if (!group)
        return fail(file + ": the program has no icon group");
    auto entries = readIconGroup(image.resourceData(*group), group->name.toString(), file);
    FOLIO_TRY(entries);
    if (entries->empty())
        return fail(file + ": the icon group " + group->name.toString() + " holds no entry");
    const format::grpicon_dir_entry& first = entries->front();
    const Resource* icon = image.find(ResourceId::fromId(RT_ICON), ResourceId::fromId(first.nId));
    if (!icon)
        return fail(file + ": the icon group names icon " + std::to_string(first.nId) +
                    ", which the program does not hold");
    return FirstIcon{icoEntryHead(first), first.nId, image.resourceData(*icon)};
}

Bytes singleIconFile(std::span<const std::uint8_t, 12> entryHead,
                     std::span<const std::uint8_t> image) {
    constexpr std::uint32_t ImageOffset = 6 + 16; // the header and the one directory entry
    Bytes ico;
    ico.reserve(ImageOffset + image.size());
    for (std::uint8_t b : {0, 0, 1, 0, 1, 0}) // reserved, type 1 (icon), one image
        ico.push_back(b);
    ico.insert(ico.end(), entryHead.begin(), entryHead.begin() + 8);
    // The size is the image's: a group entry may round it, and the decoder reads that many.
    for (std::uint32_t v : {static_cast<std::uint32_t>(image.size()), ImageOffset})
        for (int shift = 0; shift < 32; shift += 8)
            ico.push_back(static_cast<std::uint8_t>(v >> shift));
    ico.insert(ico.end(), image.begin(), image.end());
    return ico;
}

} // namespace folio::pe
