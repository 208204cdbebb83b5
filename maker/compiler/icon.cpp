// Icon replacement: reads an .ico's first image and puts it into a PE32 executable's icon
// resources, by patching the resource tree where the image fits and by rebuilding the icon
// resources where it does not.
#include "maker/compiler/icon.h"

#include "core/bytereader.h"
#include "core/pe.h"
#include "core/pe_format.h"
#include "core/peicons.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <unistd.h>

namespace folio::icon {

namespace {

using compiler::CompileObserver;
using compiler::MessageIcon;
namespace format = pe::format;

// Header fields are taken as signed 32-bit numbers, as the address arithmetic below expects.
std::int32_t asSigned(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}

// An icon group: a 6-byte header (reserved, type, count) and 14-byte entries.
constexpr std::uint64_t GroupHeaderSize = sizeof(pe::format::grpicon_dir);
constexpr std::uint64_t GroupEntrySize = sizeof(pe::format::grpicon_dir_entry);

// A resource tree shorter than this cannot lie behind the PE headers.
constexpr std::int32_t MinimumTreeOffset = 308;

const char* const PleaseCheck = " Please make sure neither of the specified files are in use.";

std::string openFailedText(const std::string& path) {
    return "Failed to open " + path + ". Make sure file is not in use by another program.";
}

std::string noResourceTreeText(const std::string& exePath) {
    return exePath + " does not contain a valid resource tree.  File may be corrupt.";
}

const char* const NoIconsText =
    "Unable to modify directories in target executable.  File may not contain any icon "
    "resources.";

// The warning shown when a walk of the resource tree hits a fault.
void showFault(CompileObserver& observer, const char* what, const std::string& description) {
    observer.messageBox(std::string(what) + PleaseCheck,
                        std::string(ProgramName) + " - " + description, MessageIcon::Exclamation);
}

void showOverflow(CompileObserver& observer, const char* function) {
    observer.messageBox(std::string("Error in ") + function + " function: " +
                            std::to_string(EOVERFLOW) + ": " + std::strerror(EOVERFLOW),
                        std::string(ProgramName) + " - Error", MessageIcon::Exclamation);
}

// The bytes of a resource section, checked before anything is patched in place, so a damaged
// tree cannot make the patch write over the code or headers of the book.
Result<void> checkInSection(const std::string& exePath, const ResourceSection& section,
                            std::int64_t offset, std::uint64_t length) {
    const std::int64_t begin = section.pointerToRawData;
    const std::int64_t end = begin + section.sizeOfRawData;
    if (offset < begin || offset > end || static_cast<std::uint64_t>(end - offset) < length)
        return fail("the " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                    " of " + exePath + " lie outside its resource section (offsets " +
                    std::to_string(begin) + " to " + std::to_string(end) + ")");
    return {};
}

bool isIconType(const pe::Resource& r, std::uint16_t type) {
    return !r.type.isString && r.type.id == type;
}

// The number of entries an icon group says it has, checked against the bytes it holds.
Result<std::uint64_t> groupCount(std::span<const std::uint8_t> group, const std::string& name,
                                 const std::string& exePath) {
    auto entries = pe::readIconGroup(group, name, exePath);
    FOLIO_TRY(entries);
    return entries->size();
}

// The new image does not fit where the old one lies: rebuild the icon resources with the
// same ids and languages, every image replaced by the new one and every group entry
// describing it. The file's mode is kept by the atomic write underneath.
Result<void> rebuildIcons(std::span<const std::uint8_t> exe, const std::string& exePath,
                          const IconFile& icon, CompileObserver& observer) {
    const char* const What = "An error occurred while modifying the resource directories. ";
    auto fault = [&](const std::string& description) {
        showFault(observer, What, description);
        return fail(NoIconsText, ErrNoIcons);
    };

    auto image = pe::PeImage::parse(exe, exePath);
    if (!image)
        return fault(image.error().message);

    const auto groupBytes = icon.entry.groupEntryBytes();
    std::vector<pe::ResourceUpdater::Entry> changes;
    for (const auto& r : image->resources()) {
        if (isIconType(r, pe::RT_ICON)) {
            changes.push_back({r.type, r.name, r.language, r.codePage, icon.image});
        } else if (isIconType(r, pe::RT_GROUP_ICON)) {
            auto src = image->resourceData(r);
            auto count = groupCount(src, r.name.toString(), exePath);
            if (!count)
                return fault(count.error().message);
            Bytes group(src.begin(), src.end());
            ByteWriter w(group);
            for (std::uint64_t i = 0; i < *count; ++i)
                w.putBytes(GroupHeaderSize + i * GroupEntrySize, groupBytes);
            if (auto ok = w.check(exePath, "icon group"); !ok)
                return fault(ok.error().message);
            changes.push_back({r.type, r.name, r.language, r.codePage, std::move(group)});
        }
    }

    auto updater = pe::ResourceUpdater::begin(exePath, false);
    if (!updater)
        return fault(updater.error().message);
    for (auto& c : changes)
        updater->update(c.type, c.name, c.language, std::move(c.data));
    if (auto r = updater->end(false); !r)
        return fault(r.error().message);
    return {};
}

// A PE checksum left stale by the patch would make the book fail any verification of its
// headers; a file that carries none (0) keeps none.
Result<void> refreshChecksum(Bytes& exe, const std::string& exePath) {
    auto headers = pe::PeImage::parseHeaders(exe, exePath);
    FOLIO_TRY(headers);
    if (headers->checksum() == 0)
        return {};
    const std::uint32_t at = headers->checksumOffset();
    ByteWriter w(exe);
    w.put(at, pe::computeChecksum(exe, at));
    return w.check(exePath, "checksum");
}

// What an in-place patch must leave alone: every resource that is no icon and no icon group,
// by its ids, place and bytes (a hash of them: a book's pages may be large).
struct KeptResource {
    pe::ResourceId type, name;
    std::uint16_t language = 0;
    std::uint32_t fileOffset = 0;
    std::size_t dataHash = 0;
    bool operator==(const KeptResource&) const = default;
};

std::optional<std::vector<KeptResource>> keptResources(std::span<const std::uint8_t> file,
                                                       const std::string& path) {
    auto image = pe::PeImage::parse(file, path);
    if (!image)
        return std::nullopt;
    std::vector<KeptResource> kept;
    for (const auto& r : image->resources()) {
        if (!r.type.isString && (r.type.id == pe::RT_ICON || r.type.id == pe::RT_GROUP_ICON))
            continue;
        const auto d = image->resourceData(r);
        const std::string_view bytes(reinterpret_cast<const char*>(d.data()), d.size());
        kept.push_back(
            {r.type, r.name, r.language, r.fileOffset, std::hash<std::string_view>{}(bytes)});
    }
    return kept;
}

// The executable, read whole; one we may not change is refused before any work.
Result<Bytes> readExe(const std::string& path) {
    auto bytes = readFileBytes(path);
    if (!bytes || ::access(path.c_str(), W_OK) != 0)
        return fail(openFailedText(path), ErrOpenFailed);
    return bytes;
}

} // namespace

IconDirEntry IconDirEntry::decode(std::span<const std::uint8_t, Size> raw) {
    // Laid out as in the file (little-endian, no padding), so the bytes are copied across.
    IconDirEntry e;
    std::memcpy(&e, raw.data(), Size);
    return e;
}

std::array<std::uint8_t, 12> IconDirEntry::groupEntryBytes() const {
    std::array<std::uint8_t, 12> out{};
    std::memcpy(out.data(), this, out.size());
    return out;
}

Result<IconFile> LoadIconFile(const std::string& iconPath) {
    auto bytes = readFileBytes(iconPath);
    if (!bytes)
        return fail(openFailedText(iconPath), ErrOpenFailed);
    const std::string notIcon = iconPath + " is not a valid icon resource file.";
    const ByteReader r(*bytes, iconPath);
    auto dir = r.read<IconDir>(0, "icon header");
    if (!dir || dir->idReserved != 0 || dir->idType != 1 || dir->idCount <= 0)
        return fail(notIcon, ErrNotIcon);
    auto entry = r.read<IconDirEntry>(IconDir::Size, "icon entry");
    // An image that is empty or runs past the end of the file would give the book a broken
    // icon; such a file is refused like any other malformed icon file.
    if (!entry || entry->dwBytesInRes == 0 || !r.has(entry->dwImageOffset, entry->dwBytesInRes))
        return fail(notIcon, ErrNotIcon);
    IconFile icon;
    icon.entry = *entry;
    const auto image =
        std::span<const std::uint8_t>(*bytes).subspan(entry->dwImageOffset, entry->dwBytesInRes);
    icon.image.assign(image.begin(), image.end());
    return icon;
}

bool IsValidExe(std::span<const std::uint8_t> exe) {
    const ByteReader r(exe, "");
    auto dos = r.read<format::dos_header>(0, "DOS header");
    if (!dos || dos->e_magic != format::DosMagic)
        return false;
    using Signature = std::array<std::uint8_t, format::PeSignatureSize>;
    auto sig = r.read<Signature>(dos->e_lfanew, "PE signature");
    if (!sig || *sig != Signature{'P', 'E', 0, 0})
        return false;
    auto magic = r.read<std::uint16_t>(std::uint64_t{dos->e_lfanew} + format::PeSignatureSize +
                                           sizeof(format::coff_file_header),
                                       "optional header");
    return magic && *magic == format::Pe32Magic;
}

std::int32_t FindResourceTree(std::span<const std::uint8_t> exe, const std::string& exePath,
                              ResourceSection& section, CompileObserver& observer) {
    auto locate = [&]() -> Result<std::int32_t> {
        auto headers = pe::PeImage::parseHeaders(exe, exePath);
        FOLIO_TRY(headers);
        if (headers->resourceDirSize() == 0)
            return -1;
        const std::int64_t address = asSigned(headers->resourceDirRva());
        for (const auto& s : headers->sections()) {
            const std::int64_t start = asSigned(s.virtualAddress);
            if (start <= address && address < start + asSigned(s.sizeOfRawData)) {
                const std::int64_t offset = address - start + asSigned(s.pointerToRawData);
                if (offset > std::numeric_limits<std::int32_t>::max() || offset < 0)
                    return fail("the resource tree of " + exePath + " maps to file offset " +
                                std::to_string(offset) + ", outside what can be addressed");
                section.virtualAddress = asSigned(s.virtualAddress);
                section.pointerToRawData = asSigned(s.pointerToRawData);
                section.sizeOfRawData = asSigned(s.sizeOfRawData);
                section.resourceSize = asSigned(headers->resourceDirSize());
                return static_cast<std::int32_t>(offset);
            }
        }
        return -1;
    };
    auto result = locate();
    if (!result) {
        showFault(observer, "An error occurred while locating the resource tree. ",
                  result.error().message);
        return 0;
    }
    return *result;
}

std::int32_t RVA_to_Offset(std::int32_t address, const ResourceSection& section,
                           CompileObserver& observer) {
    if (address < section.virtualAddress)
        return -1;
    const std::int64_t r =
        std::int64_t{address} - section.virtualAddress + section.pointerToRawData;
    if (r > std::numeric_limits<std::int32_t>::max() ||
        r < std::numeric_limits<std::int32_t>::min()) {
        showOverflow(observer, "RVA_to_Offset");
        return 0;
    }
    return static_cast<std::int32_t>(r);
}

std::int32_t Offset_to_RVA(std::int32_t offset, const ResourceSection& section,
                           CompileObserver& observer) {
    if (offset < section.pointerToRawData)
        return -1;
    const std::int64_t r = std::int64_t{offset} - section.pointerToRawData + section.virtualAddress;
    if (r > std::numeric_limits<std::int32_t>::max() ||
        r < std::numeric_limits<std::int32_t>::min()) {
        showOverflow(observer, "Offset_to_RVA");
        return 0;
    }
    return static_cast<std::int32_t>(r);
}

std::size_t FindIcons(std::span<const std::uint8_t> exe, const std::string& exePath,
                      const ResourceSection& section, std::vector<IconLocation>& icons,
                      CompileObserver& observer) {
    auto image = pe::PeImage::parse(exe, exePath);
    if (!image) {
        showFault(observer, "An error occurred while locating the icon resources. ",
                  image.error().message);
        return 0;
    }
    const std::size_t before = icons.size();
    for (const auto& r : image->resources()) {
        if (!isIconType(r, pe::RT_ICON))
            continue;
        icons.push_back({r.name.isString ? -1 : std::int32_t{r.name.id},
                         RVA_to_Offset(asSigned(r.dataRva), section, observer), r.size,
                         r.language});
    }
    return icons.size() - before;
}

bool UpdateIconDirectories(Bytes& exe, const std::string& exePath, const ResourceSection& section,
                           std::int32_t firstImageOffset, const IconDirEntry& entry,
                           CompileObserver& observer) {
    const std::int32_t imageRva = Offset_to_RVA(firstImageOffset, section, observer);
    const auto groupBytes = entry.groupEntryBytes();
    auto update = [&]() -> Result<void> {
        auto image = pe::PeImage::parse(exe, exePath);
        FOLIO_TRY(image);
        const ByteReader in(exe, exePath);
        ByteWriter out(exe);
        for (const auto& r : image->resources()) {
            if (isIconType(r, pe::RT_GROUP_ICON)) {
                const std::int32_t group = RVA_to_Offset(asSigned(r.dataRva), section, observer);
                if (group <= 0)
                    return fail("the icon group " + r.name.toString() + " of " + exePath +
                                " lies outside its resource section");
                FOLIO_TRY(checkInSection(exePath, section, group, r.size));
                auto count = groupCount(std::span<const std::uint8_t>(exe).subspan(
                                            static_cast<std::size_t>(group), r.size),
                                        r.name.toString(), exePath);
                FOLIO_TRY(count);
                for (std::uint64_t i = 0; i < *count; ++i)
                    out.putBytes(group + GroupHeaderSize + i * GroupEntrySize, groupBytes);
            } else if (isIconType(r, pe::RT_ICON)) {
                // An address that could not be converted would point the icons at the
                // headers; better to stop with the book unchanged.
                if (imageRva <= 0)
                    return fail("the new icon image at offset " + std::to_string(firstImageOffset) +
                                " of " + exePath + " lies outside its resource section");
                FOLIO_TRY(checkInSection(exePath, section, r.dataEntryOffset,
                                         sizeof(format::coff_resource_data_entry)));
                auto data = in.read<format::coff_resource_data_entry>(r.dataEntryOffset,
                                                                      "resource data entry");
                FOLIO_TRY(data);
                data->DataRVA = static_cast<std::uint32_t>(imageRva);
                data->DataSize = entry.dwBytesInRes;
                out.put(r.dataEntryOffset, *data);
            }
        }
        return out.check(exePath, "icon directories");
    };
    if (auto ok = update(); !ok) {
        showFault(observer, "An error occurred while modifying the resource directories. ",
                  ok.error().message);
        return false;
    }
    return true;
}

Result<void> ReplaceIcon(const std::string& iconPath, const std::string& exePath,
                         CompileObserver& observer) {
    // The icon is read and checked completely before the executable is even opened.
    auto icon = LoadIconFile(iconPath);
    FOLIO_TRY(icon);

    auto original = readExe(exePath);
    FOLIO_TRY(original);
    if (!IsValidExe(*original))
        return fail(exePath + " is not a valid Win32 executable.", ErrNotExecutable);

    ResourceSection section;
    const std::int32_t tree = FindResourceTree(*original, exePath, section, observer);
    if (tree <= MinimumTreeOffset)
        return fail(noResourceTreeText(exePath), ErrNoResourceTree);

    std::vector<IconLocation> icons;
    if (FindIcons(*original, exePath, section, icons, observer) == 0)
        return fail(NoIconsText, ErrNoIcons);

    // The old image's data entry size is the room there is; the image header's own size
    // field cannot be trusted (it is often 0). A longer image would overwrite whatever
    // follows, so the icon resources are rebuilt instead.
    const IconLocation& first = icons.front();
    if (icon->image.size() > first.size)
        return rebuildIcons(*original, exePath, *icon, observer);

    // A damaged tree can let the icon's bytes double as part of another resource or of a
    // name (a name whose length runs into the image): patched in place, that resource would
    // change too. Such a file takes the rebuild, which writes every other resource anew.
    Bytes patched = *original;
    ByteWriter image(patched);
    const auto before = keptResources(patched, exePath);
    if (first.offset <= 0 || !checkInSection(exePath, section, first.offset, icon->image.size()) ||
        !image.putBytes(std::uint64_t(first.offset), icon->image))
        return fail(noResourceTreeText(exePath), ErrNoResourceTree);
    if (!UpdateIconDirectories(patched, exePath, section, first.offset, icon->entry, observer))
        return fail(NoIconsText, ErrNoIcons);
    if (auto r = refreshChecksum(patched, exePath); !r)
        return fail(noResourceTreeText(exePath), ErrNoResourceTree);
    if (before && keptResources(patched, exePath) != before)
        return rebuildIcons(*original, exePath, *icon, observer);
    return writeFileAtomic(exePath, patched);
}

} // namespace folio::icon
