// Icon replacement: reads an .ico's first image and puts it into a PE32 executable's icon
// resources, by patching the resource tree where the image fits and by rebuilding the icon
// resources where it does not.
#include "icon.h"

#include "pe.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

namespace folio::icon {

namespace {

namespace fs = std::filesystem;
using compiler::CompileObserver;
using compiler::MessageIcon;

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void putLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Header fields are taken as signed 32-bit numbers, as the address arithmetic below expects.
std::int32_t asSigned(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}

// PE layout offsets (from the start of each structure).
constexpr std::uint64_t DosHeaderSize = 64;
constexpr std::uint64_t DosLfanewOffset = 60;
constexpr std::uint64_t FileHeaderSize = 20;
constexpr std::uint64_t FileNumberOfSections = 2;
constexpr std::uint64_t FileSizeOfOptionalHeader = 16;
constexpr std::uint16_t OptionalMagicPe32 = 0x10b;
constexpr std::uint64_t OptionalCheckSum = 64;
constexpr std::uint64_t OptionalNumberOfRvaAndSizes = 92;
constexpr std::uint64_t OptionalResourceRva = 112;
constexpr std::uint64_t OptionalResourceSize = 116;
constexpr std::uint64_t OptionalMinimumForResources = 120; // through the resource entry
constexpr std::uint64_t SectionHeaderSize = 40;
constexpr std::uint64_t SectionVirtualAddress = 12;
constexpr std::uint64_t SectionSizeOfRawData = 16;
constexpr std::uint64_t SectionPointerToRawData = 20;

// Resource tree structures.
struct ResourceDirectory {
    std::uint32_t Characteristics;
    std::uint32_t TimeDateStamp;
    std::uint16_t MajorVersion;
    std::uint16_t MinorVersion;
    std::uint16_t NumberOfNamedEntries;
    std::uint16_t NumberOfIdEntries;
};
static_assert(sizeof(ResourceDirectory) == 16);

struct ResourceDirectoryEntry {
    std::uint32_t Name;
    std::uint32_t OffsetToData;
};
static_assert(sizeof(ResourceDirectoryEntry) == 8);

struct ResourceDataEntry {
    std::uint32_t OffsetToData;
    std::uint32_t Size;
    std::uint32_t CodePage;
    std::uint32_t Reserved;
};
static_assert(sizeof(ResourceDataEntry) == 16);

constexpr std::uint32_t SubdirectoryOffsetMask = 0x00FFFFFF;
constexpr std::uint64_t GroupHeaderSize = 6;
constexpr std::uint64_t GroupCountOffset = 4;
constexpr std::uint64_t GroupEntrySize = 14;

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

Result<ResourceDirectory> readDirectory(const ExeFile& exe, std::uint64_t offset) {
    std::array<std::uint8_t, sizeof(ResourceDirectory)> raw{};
    if (auto r = exe.read(offset, raw); !r)
        return std::unexpected(r.error());
    ResourceDirectory d{};
    d.Characteristics = le32(&raw[0]);
    d.TimeDateStamp = le32(&raw[4]);
    d.MajorVersion = le16(&raw[8]);
    d.MinorVersion = le16(&raw[10]);
    d.NumberOfNamedEntries = le16(&raw[12]);
    d.NumberOfIdEntries = le16(&raw[14]);
    return d;
}

Result<ResourceDirectoryEntry> readEntry(const ExeFile& exe, std::uint64_t offset) {
    std::array<std::uint8_t, sizeof(ResourceDirectoryEntry)> raw{};
    if (auto r = exe.read(offset, raw); !r)
        return std::unexpected(r.error());
    return ResourceDirectoryEntry{le32(&raw[0]), le32(&raw[4])};
}

Result<ResourceDataEntry> readDataEntry(const ExeFile& exe, std::uint64_t offset) {
    std::array<std::uint8_t, sizeof(ResourceDataEntry)> raw{};
    if (auto r = exe.read(offset, raw); !r)
        return std::unexpected(r.error());
    return ResourceDataEntry{le32(&raw[0]), le32(&raw[4]), le32(&raw[8]), le32(&raw[12])};
}

struct Leaf {
    std::uint32_t type;
    std::uint32_t name;
    std::uint32_t language;
    std::uint64_t dataEntryOffset; // file offset of the leaf's data entry
};

// Walks the three levels (type, name, language) below the root for the types in `types`,
// calling `visit` for every leaf in tree order. A tree whose entries point back at each
// other would make the walk explode, so it stops once it has visited more entries than the
// file could hold distinct ones.
template <class Visit>
Result<void> walkTree(const ExeFile& exe, std::int32_t treeOffset,
                      std::initializer_list<std::uint32_t> types, Visit&& visit) {
    const auto tree = static_cast<std::uint64_t>(treeOffset);
    const std::uint64_t budget = exe.size() / sizeof(ResourceDirectoryEntry) + 1;
    std::uint64_t visited = 0;
    auto entriesOf = [&](std::uint64_t dirOffset) -> Result<std::uint32_t> {
        auto dir = readDirectory(exe, dirOffset);
        if (!dir)
            return std::unexpected(dir.error());
        const std::uint32_t n = std::uint32_t{dir->NumberOfNamedEntries} + dir->NumberOfIdEntries;
        visited += n;
        if (visited > budget)
            return fail("the resource tree of " + exe.path() + " loops: the directory at offset " +
                        std::to_string(dirOffset) + " leads to more entries than the file holds");
        return n;
    };
    auto entryAt = [&](std::uint64_t dirOffset, std::uint32_t index) {
        return readEntry(exe, dirOffset + sizeof(ResourceDirectory) +
                                  std::uint64_t{sizeof(ResourceDirectoryEntry)} * index);
    };

    auto roots = entriesOf(tree);
    if (!roots)
        return std::unexpected(roots.error());
    for (std::uint32_t t = 0; t < *roots; ++t) {
        auto typeEntry = entryAt(tree, t);
        if (!typeEntry)
            return std::unexpected(typeEntry.error());
        bool wanted = false;
        for (auto type : types)
            wanted = wanted || typeEntry->Name == type;
        if (!wanted)
            continue;
        const std::uint64_t nameDir = tree + (typeEntry->OffsetToData & SubdirectoryOffsetMask);
        auto names = entriesOf(nameDir);
        if (!names)
            return std::unexpected(names.error());
        for (std::uint32_t n = 0; n < *names; ++n) {
            auto nameEntry = entryAt(nameDir, n);
            if (!nameEntry)
                return std::unexpected(nameEntry.error());
            const std::uint64_t langDir = tree + (nameEntry->OffsetToData & SubdirectoryOffsetMask);
            auto langs = entriesOf(langDir);
            if (!langs)
                return std::unexpected(langs.error());
            for (std::uint32_t l = 0; l < *langs; ++l) {
                auto langEntry = entryAt(langDir, l);
                if (!langEntry)
                    return std::unexpected(langEntry.error());
                // A data-entry offset is taken whole: one with the sub-directory flag set
                // lands outside the file and is reported by the read that follows.
                Leaf leaf{typeEntry->Name, nameEntry->Name, langEntry->Name,
                          tree + langEntry->OffsetToData};
                if (auto r = visit(leaf); !r)
                    return r;
            }
        }
    }
    return {};
}

// Writes must stay inside the resource section's raw data: anything else would damage code
// or headers of the book.
Result<void> checkInSection(const ExeFile& exe, const ResourceSection& section, std::int64_t offset,
                            std::uint64_t length) {
    const std::int64_t begin = section.pointerToRawData;
    const std::int64_t end = begin + section.sizeOfRawData;
    if (offset < begin || offset > end || static_cast<std::uint64_t>(end - offset) < length)
        return fail("the " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                    " of " + exe.path() + " lie outside its resource section (offsets " +
                    std::to_string(begin) + " to " + std::to_string(end) + ")");
    return {};
}

// Keeps the file's mode across the temporary-file-and-rename commits: a book on Linux is
// started as ./book.exe, so losing the execute bits would break it.
class PermissionKeeper {
  public:
    explicit PermissionKeeper(std::string path) : m_path(std::move(path)) {
        std::error_code ec;
        auto st = fs::status(m_path, ec);
        if (!ec)
            m_perms = st.permissions();
    }
    void restore() const {
        if (!m_perms)
            return;
        std::error_code ec;
        fs::permissions(m_path, *m_perms, fs::perm_options::replace, ec);
    }

  private:
    std::string m_path;
    std::optional<fs::perms> m_perms;
};

// The new image does not fit where the old one lies: rebuild the icon resources with the
// same ids and languages, every image replaced by the new one and every group entry
// describing it.
Result<void> rebuildIcons(const ExeFile& exe, const IconFile& icon, CompileObserver& observer) {
    const char* const What = "An error occurred while modifying the resource directories. ";
    auto fault = [&](const std::string& description) {
        showFault(observer, What, description);
        return fail(NoIconsText, ErrNoIcons);
    };

    auto image = pe::PeImage::parse(exe.bytes(), exe.path());
    if (!image)
        return fault(image.error().message);

    const auto groupBytes = icon.entry.groupEntryBytes();
    std::vector<pe::ResourceUpdater::Entry> changes;
    for (const auto& r : image->resources()) {
        if (r.type.isString)
            continue;
        if (r.type.id == pe::RT_ICON) {
            changes.push_back({r.type, r.name, r.language, r.codePage, icon.image});
        } else if (r.type.id == pe::RT_GROUP_ICON) {
            auto src = image->resourceData(r);
            Bytes group(src.begin(), src.end());
            if (group.size() < GroupHeaderSize)
                return fault("the icon group " + r.name.toString() + " of " + exe.path() +
                             " holds " + std::to_string(group.size()) +
                             " bytes, less than its 6-byte header");
            const std::uint64_t count = le16(&group[GroupCountOffset]);
            if (group.size() < GroupHeaderSize + count * GroupEntrySize)
                return fault("the icon group " + r.name.toString() + " of " + exe.path() +
                             " lists " + std::to_string(count) + " entries but holds only " +
                             std::to_string(group.size()) + " bytes");
            for (std::uint64_t i = 0; i < count; ++i)
                std::memcpy(&group[GroupHeaderSize + i * GroupEntrySize], groupBytes.data(),
                            groupBytes.size());
            changes.push_back({r.type, r.name, r.language, r.codePage, std::move(group)});
        }
    }

    PermissionKeeper perms(exe.path());
    auto updater = pe::ResourceUpdater::begin(exe.path(), false);
    if (!updater)
        return fault(updater.error().message);
    for (auto& c : changes)
        updater->update(c.type, c.name, c.language, std::move(c.data));
    if (auto r = updater->end(false); !r)
        return fault(r.error().message);
    perms.restore();
    return {};
}

// A PE checksum left stale by the patch would make the book fail any verification of its
// headers; a file that carries none (0) keeps none.
Result<void> refreshChecksum(ExeFile& exe) {
    auto pe = exe.readU32(DosLfanewOffset);
    if (!pe)
        return std::unexpected(pe.error());
    const std::uint64_t at = std::uint64_t{*pe} + 4 + FileHeaderSize + OptionalCheckSum;
    auto sum = exe.readU32(at);
    if (!sum)
        return std::unexpected(sum.error());
    if (*sum == 0)
        return {};
    return exe.writeU32(at, pe::computeChecksum(exe.bytes(), static_cast<std::uint32_t>(at)));
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

} // namespace

IconDirEntry IconDirEntry::decode(std::span<const std::uint8_t, Size> raw) {
    IconDirEntry e;
    e.bWidth = raw[0];
    e.bHeight = raw[1];
    e.bColorCount = raw[2];
    e.bReserved = raw[3];
    e.wPlanes = le16(&raw[4]);
    e.wBitCount = le16(&raw[6]);
    e.dwBytesInRes = le32(&raw[8]);
    e.dwImageOffset = le32(&raw[12]);
    return e;
}

std::array<std::uint8_t, 12> IconDirEntry::groupEntryBytes() const {
    std::array<std::uint8_t, 12> out{};
    out[0] = bWidth;
    out[1] = bHeight;
    out[2] = bColorCount;
    out[3] = bReserved;
    out[4] = static_cast<std::uint8_t>(wPlanes);
    out[5] = static_cast<std::uint8_t>(wPlanes >> 8);
    out[6] = static_cast<std::uint8_t>(wBitCount);
    out[7] = static_cast<std::uint8_t>(wBitCount >> 8);
    putLe32(&out[8], dwBytesInRes);
    return out;
}

Result<IconFile> LoadIconFile(const std::string& iconPath) {
    std::error_code ec;
    if (!fs::is_regular_file(iconPath, ec))
        return fail(openFailedText(iconPath), ErrOpenFailed);
    std::ifstream in(iconPath, std::ios::binary);
    if (!in)
        return fail(openFailedText(iconPath), ErrOpenFailed);
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    in.seekg(0, std::ios::beg);
    if (end < 0 || !in)
        return fail(openFailedText(iconPath), ErrOpenFailed);
    const auto fileSize = static_cast<std::uint64_t>(end);

    const std::string notIcon = iconPath + " is not a valid icon resource file.";
    std::array<std::uint8_t, IconDir::Size + IconDirEntry::Size> head{};
    const auto headLen = std::min<std::uint64_t>(fileSize, head.size());
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(headLen)))
        return fail(openFailedText(iconPath), ErrOpenFailed);
    if (headLen < IconDir::Size)
        return fail(notIcon, ErrNotIcon);
    IconDir dir{le16(&head[0]), le16(&head[2]), static_cast<std::int16_t>(le16(&head[4]))};
    if (dir.idReserved != 0 || dir.idType != 1 || dir.idCount <= 0)
        return fail(notIcon, ErrNotIcon);
    // An image that is empty or runs past the end of the file would give the book a broken
    // icon; such a file is refused like any other malformed icon file.
    if (headLen < head.size())
        return fail(notIcon, ErrNotIcon);
    IconFile icon;
    icon.entry = IconDirEntry::decode(std::span<const std::uint8_t, IconDirEntry::Size>(
        head.data() + IconDir::Size, IconDirEntry::Size));
    const std::uint64_t imageEnd =
        std::uint64_t{icon.entry.dwImageOffset} + icon.entry.dwBytesInRes;
    if (icon.entry.dwBytesInRes == 0 || imageEnd > fileSize)
        return fail(notIcon, ErrNotIcon);

    icon.image.resize(icon.entry.dwBytesInRes);
    in.seekg(static_cast<std::streamoff>(icon.entry.dwImageOffset), std::ios::beg);
    if (!in.read(reinterpret_cast<char*>(icon.image.data()),
                 static_cast<std::streamsize>(icon.image.size())))
        return fail(openFailedText(iconPath), ErrOpenFailed);
    return icon;
}

Result<ExeFile> ExeFile::open(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return fail(openFailedText(path), ErrOpenFailed);
    // Opened for writing too, so that a file we may not change is refused before any work.
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!f)
        return fail(openFailedText(path), ErrOpenFailed);
    f.seekg(0, std::ios::end);
    const auto end = f.tellg();
    f.seekg(0, std::ios::beg);
    if (end < 0 || !f)
        return fail(openFailedText(path), ErrOpenFailed);
    ExeFile exe;
    exe.m_path = path;
    exe.m_data.resize(static_cast<std::size_t>(end));
    if (!f.read(reinterpret_cast<char*>(exe.m_data.data()),
                static_cast<std::streamsize>(exe.m_data.size())))
        return fail(openFailedText(path), ErrOpenFailed);
    return exe;
}

Result<void> ExeFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > m_data.size() || m_data.size() - offset < out.size())
        return fail("read of " + std::to_string(out.size()) + " bytes at offset " +
                    std::to_string(offset) + " goes past the end of " + m_path + " (" +
                    std::to_string(m_data.size()) + " bytes)");
    std::memcpy(out.data(), m_data.data() + offset, out.size());
    return {};
}

Result<std::uint16_t> ExeFile::readU16(std::uint64_t offset) const {
    std::array<std::uint8_t, 2> raw{};
    if (auto r = read(offset, raw); !r)
        return std::unexpected(r.error());
    return le16(raw.data());
}

Result<std::uint32_t> ExeFile::readU32(std::uint64_t offset) const {
    std::array<std::uint8_t, 4> raw{};
    if (auto r = read(offset, raw); !r)
        return std::unexpected(r.error());
    return le32(raw.data());
}

Result<void> ExeFile::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (offset > m_data.size() || m_data.size() - offset < data.size())
        return fail("write of " + std::to_string(data.size()) + " bytes at offset " +
                    std::to_string(offset) + " goes past the end of " + m_path + " (" +
                    std::to_string(m_data.size()) + " bytes)");
    std::memcpy(m_data.data() + offset, data.data(), data.size());
    return {};
}

Result<void> ExeFile::writeU32(std::uint64_t offset, std::uint32_t value) {
    std::array<std::uint8_t, 4> raw{};
    putLe32(raw.data(), value);
    return write(offset, raw);
}

Result<void> ExeFile::commit() const {
    PermissionKeeper perms(m_path);
    if (auto r = writeFileAtomic(m_path, m_data); !r)
        return r;
    perms.restore();
    return {};
}

bool IsValidExe(const ExeFile& exe) {
    std::array<std::uint8_t, DosHeaderSize> dos{};
    if (!exe.read(0, dos) || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    const std::uint64_t pe = le32(&dos[DosLfanewOffset]);
    std::array<std::uint8_t, 4> sig{};
    if (!exe.read(pe, sig) || sig != std::array<std::uint8_t, 4>{'P', 'E', 0, 0})
        return false;
    auto magic = exe.readU16(pe + 4 + FileHeaderSize);
    return magic && *magic == OptionalMagicPe32;
}

std::int32_t FindResourceTree(const ExeFile& exe, ResourceSection& section,
                              CompileObserver& observer) {
    auto locate = [&]() -> Result<std::int32_t> {
        auto pe = exe.readU32(DosLfanewOffset);
        if (!pe)
            return std::unexpected(pe.error());
        const std::uint64_t fileHeader = std::uint64_t{*pe} + 4;
        auto sections = exe.readU16(fileHeader + FileNumberOfSections);
        if (!sections)
            return std::unexpected(sections.error());
        auto optionalSize = exe.readU16(fileHeader + FileSizeOfOptionalHeader);
        if (!optionalSize)
            return std::unexpected(optionalSize.error());
        const std::uint64_t optional = fileHeader + FileHeaderSize;
        if (*optionalSize < OptionalMinimumForResources)
            return -1;
        auto dirCount = exe.readU32(optional + OptionalNumberOfRvaAndSizes);
        if (!dirCount)
            return std::unexpected(dirCount.error());
        if (*dirCount < 3)
            return -1; // no resource entry in the data directory
        auto resRva = exe.readU32(optional + OptionalResourceRva);
        auto resSize = exe.readU32(optional + OptionalResourceSize);
        if (!resRva)
            return std::unexpected(resRva.error());
        if (!resSize)
            return std::unexpected(resSize.error());
        if (*resSize == 0)
            return -1;
        const std::int64_t address = asSigned(*resRva);
        // The section table follows the optional header as its size field says.
        const std::uint64_t table = optional + *optionalSize;
        for (std::uint16_t i = 0; i < *sections; ++i) {
            const std::uint64_t h = table + i * SectionHeaderSize;
            auto va = exe.readU32(h + SectionVirtualAddress);
            auto raw = exe.readU32(h + SectionSizeOfRawData);
            auto ptr = exe.readU32(h + SectionPointerToRawData);
            if (!va)
                return std::unexpected(va.error());
            if (!raw)
                return std::unexpected(raw.error());
            if (!ptr)
                return std::unexpected(ptr.error());
            const std::int64_t start = asSigned(*va);
            if (start <= address && address < start + asSigned(*raw)) {
                const std::int64_t offset = address - start + asSigned(*ptr);
                if (offset > std::numeric_limits<std::int32_t>::max() || offset < 0)
                    return fail("the resource tree of " + exe.path() + " maps to file offset " +
                                std::to_string(offset) + ", outside what can be addressed");
                section.virtualAddress = asSigned(*va);
                section.pointerToRawData = asSigned(*ptr);
                section.sizeOfRawData = asSigned(*raw);
                section.resourceSize = asSigned(*resSize);
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

std::size_t FindIcons(const ExeFile& exe, std::int32_t treeOffset, const ResourceSection& section,
                      std::vector<IconLocation>& icons, CompileObserver& observer) {
    const std::size_t before = icons.size();
    auto walked = walkTree(exe, treeOffset, {pe::RT_ICON}, [&](const Leaf& leaf) -> Result<void> {
        auto data = readDataEntry(exe, leaf.dataEntryOffset);
        if (!data)
            return std::unexpected(data.error());
        icons.push_back({asSigned(leaf.name),
                         RVA_to_Offset(asSigned(data->OffsetToData), section, observer), data->Size,
                         static_cast<std::uint16_t>(leaf.language)});
        return {};
    });
    if (!walked)
        showFault(observer, "An error occurred while locating the icon resources. ",
                  walked.error().message);
    return icons.size() - before;
}

bool UpdateIconDirectories(ExeFile& exe, std::int32_t treeOffset, const ResourceSection& section,
                           std::int32_t firstImageOffset, const IconDirEntry& entry,
                           CompileObserver& observer) {
    const std::int32_t imageRva = Offset_to_RVA(firstImageOffset, section, observer);
    const auto groupBytes = entry.groupEntryBytes();
    auto walked = walkTree(
        exe, treeOffset, {pe::RT_ICON, pe::RT_GROUP_ICON}, [&](const Leaf& leaf) -> Result<void> {
            auto data = readDataEntry(exe, leaf.dataEntryOffset);
            if (!data)
                return std::unexpected(data.error());
            if (leaf.type == pe::RT_GROUP_ICON) {
                const std::int32_t group =
                    RVA_to_Offset(asSigned(data->OffsetToData), section, observer);
                if (group <= 0)
                    return fail("the icon group " + std::to_string(leaf.name) + " of " +
                                exe.path() + " lies outside its resource section");
                auto count = exe.readU16(std::uint64_t(group) + GroupCountOffset);
                if (!count)
                    return std::unexpected(count.error());
                const std::uint64_t needed = GroupHeaderSize + GroupEntrySize * *count;
                if (needed > data->Size)
                    return fail("the icon group " + std::to_string(leaf.name) + " of " +
                                exe.path() + " lists " + std::to_string(*count) +
                                " entries but holds only " + std::to_string(data->Size) + " bytes");
                if (auto r = checkInSection(exe, section, group, needed); !r)
                    return r;
                for (std::uint64_t i = 0; i < *count; ++i)
                    if (auto r =
                            exe.write(group + GroupHeaderSize + i * GroupEntrySize, groupBytes);
                        !r)
                        return r;
            } else {
                // An address that could not be converted would point the icons at the
                // headers; better to stop with the book unchanged.
                if (imageRva <= 0)
                    return fail("the new icon image at offset " + std::to_string(firstImageOffset) +
                                " of " + exe.path() + " lies outside its resource section");
                if (auto r = checkInSection(exe, section, std::int64_t(leaf.dataEntryOffset),
                                            sizeof(ResourceDataEntry));
                    !r)
                    return r;
                if (auto r = exe.writeU32(leaf.dataEntryOffset, std::uint32_t(imageRva)); !r)
                    return r;
                if (auto r = exe.writeU32(leaf.dataEntryOffset + 4, entry.dwBytesInRes); !r)
                    return r;
            }
            return {};
        });
    if (!walked) {
        showFault(observer, "An error occurred while modifying the resource directories. ",
                  walked.error().message);
        return false;
    }
    return true;
}

Result<void> ReplaceIcon(const std::string& iconPath, const std::string& exePath,
                         CompileObserver& observer) {
    // The icon is read and checked completely before the executable is even opened.
    auto icon = LoadIconFile(iconPath);
    if (!icon)
        return std::unexpected(icon.error());

    auto exe = ExeFile::open(exePath);
    if (!exe)
        return std::unexpected(exe.error());
    if (!IsValidExe(*exe))
        return fail(exePath + " is not a valid Win32 executable.", ErrNotExecutable);

    ResourceSection section;
    const std::int32_t tree = FindResourceTree(*exe, section, observer);
    if (tree <= MinimumTreeOffset)
        return fail(noResourceTreeText(exePath), ErrNoResourceTree);

    std::vector<IconLocation> icons;
    if (FindIcons(*exe, tree, section, icons, observer) == 0)
        return fail(NoIconsText, ErrNoIcons);

    // The old image's data entry size is the room there is; the image header's own size
    // field cannot be trusted (it is often 0). A longer image would overwrite whatever
    // follows, so the icon resources are rebuilt instead.
    const IconLocation& first = icons.front();
    if (icon->image.size() > first.size)
        return rebuildIcons(*exe, *icon, observer);

    // A damaged tree can let the icon's bytes double as part of another resource or of a
    // name (a name whose length runs into the image): patched in place, that resource would
    // change too. Such a file takes the rebuild, which writes every other resource anew.
    const auto before = keptResources(exe->bytes(), exePath);
    if (first.offset <= 0 || !checkInSection(*exe, section, first.offset, icon->image.size()) ||
        !exe->write(std::uint64_t(first.offset), icon->image))
        return fail(noResourceTreeText(exePath), ErrNoResourceTree);
    if (!UpdateIconDirectories(*exe, tree, section, first.offset, icon->entry, observer))
        return fail(NoIconsText, ErrNoIcons);
    if (auto r = refreshChecksum(*exe); !r)
        return fail(noResourceTreeText(exePath), ErrNoResourceTree);
    if (before && keptResources(exe->bytes(), exePath) != before) {
        auto unpatched = ExeFile::open(exePath);
        if (!unpatched)
            return std::unexpected(unpatched.error());
        return rebuildIcons(*unpatched, *icon, observer);
    }
    return exe->commit();
}

} // namespace folio::icon
