// PE32 reading and resource-section rebuilding, bounds-checked throughout.
#include "core/pe.h"

#include "core/bytereader.h"
#include "core/pe_format.h"
#include "core/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <type_traits>

namespace folio::pe {

using namespace format;

namespace {

// Every read of the file goes through the one bounds-checked reader.
using Reader = ByteReader;

std::uint64_t alignUp(std::uint64_t v, std::uint64_t a) {
    return a == 0 ? v : (v + a - 1) / a * a;
}

// File offsets of the headers, derived once from e_lfanew and SizeOfOptionalHeader.
struct HeaderOffsets {
    std::uint32_t fileHeader = 0;
    std::uint32_t optionalHeader = 0;
    std::uint32_t dataDirectories = 0;
    std::uint32_t sectionTable = 0;
    std::uint32_t numberOfRvaAndSizes = 0;

    std::uint32_t directory(std::uint32_t index) const {
        return dataDirectories + index * static_cast<std::uint32_t>(sizeof(data_directory));
    }
    bool hasDirectory(std::uint32_t index) const { return index < numberOfRvaAndSizes; }
};

HeaderOffsets headerOffsets(std::uint32_t peOffset, const coff_file_header& fh,
                            const pe32_header& opt) {
    HeaderOffsets h;
    h.fileHeader = peOffset + PeSignatureSize;
    h.optionalHeader = h.fileHeader + sizeof(coff_file_header);
    h.dataDirectories = h.optionalHeader + sizeof(pe32_header);
    h.sectionTable = h.optionalHeader + fh.SizeOfOptionalHeader;
    const std::uint32_t room =
        (fh.SizeOfOptionalHeader - static_cast<std::uint32_t>(sizeof(pe32_header))) /
        sizeof(data_directory);
    h.numberOfRvaAndSizes = std::min(opt.NumberOfRvaAndSizes, room);
    return h;
}

} // namespace

// ---- ResourceId ----

ResourceId ResourceId::fromId(std::uint16_t id) {
    ResourceId r;
    r.id = id;
    return r;
}

ResourceId ResourceId::fromName(std::string_view utf8) {
    ResourceId r;
    r.isString = true;
    r.name = utf8ToUtf16(utf8);
    return r;
}

ResourceId ResourceId::parse(std::string_view utf8) {
    std::string_view digits = utf8;
    if (!digits.empty() && digits.front() == '#') {
        digits.remove_prefix(1);
    }
    if (!digits.empty() && digits.size() <= 5 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        unsigned long v = std::stoul(std::string(digits));
        if (v <= 0xFFFF) {
            return fromId(static_cast<std::uint16_t>(v));
        }
    }
    return fromName(utf8);
}

std::string ResourceId::toString() const {
    return isString ? utf16ToUtf8(name) : std::to_string(id);
}

bool ResourceId::operator==(const ResourceId& other) const {
    if (isString != other.isString) {
        return false;
    }
    if (!isString) {
        return id == other.id;
    }
    if (name.size() != other.name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (toUpperUnit(name[i]) != toUpperUnit(other.name[i])) {
            return false;
        }
    }
    return true;
}

bool resourceIdLess(const ResourceId& a, const ResourceId& b) {
    if (a.isString != b.isString) {
        return a.isString; // named entries come first
    }
    if (!a.isString) {
        return a.id < b.id;
    }
    const std::size_t n = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < n; ++i) {
        char16_t x = toUpperUnit(a.name[i]);
        char16_t y = toUpperUnit(b.name[i]);
        if (x != y) {
            return x < y;
        }
    }
    return a.name.size() < b.name.size();
}

// ---- PeImage ----

namespace {

// Walks the resource tree: type, name and language levels, each entry checked against the
// resource section, every directory table and data entry claimed once so that a loop or two
// structures sharing bytes are refused instead of followed.
class TreeWalker {
  public:
    TreeWalker(const Reader& r, const std::string& file, std::uint64_t base, std::uint64_t limit,
               const PeImage& img, std::vector<Resource>& out)
        : m_r(r), m_f(file), m_base(base), m_limit(limit), m_img(img), m_out(out) {}

    Result<void> walk(std::uint32_t dirOff, int level) {
        static const char* const levels[] = {"type", "name", "language"};
        const std::uint64_t at = m_base + dirOff;
        if (m_seen.count(at)) {
            if (std::find(m_stack.begin(), m_stack.end(), at) != m_stack.end()) {
                return fail(m_f + ": resource tree cycle: the directory at offset " + hex(at) +
                            " contains itself");
            }
            // Not a loop but entries sharing one sub-directory (say, several names with one
            // language directory); every structure of the tree is claimed once, so it is
            // refused all the same, under its own name.
            return fail(m_f + ": the " + levels[level] + " directory at offset " + hex(at) +
                        " is shared by several entries of the level above");
        }
        auto table = readInTree<coff_resource_dir_table>(dirOff, "resource directory");
        FOLIO_TRY(table);
        const std::uint32_t n =
            std::uint32_t(table->NumberOfNameEntries) + table->NumberOfIDEntries;
        const std::uint64_t tableSize =
            sizeof(coff_resource_dir_table) + std::uint64_t(n) * sizeof(coff_resource_dir_entry);
        if (!inTree(dirOff, tableSize)) {
            return fail(m_f + ": resource directory at offset " + hex(at) + " with " +
                        std::to_string(n) + " entries runs past the end of the resource section (" +
                        hex(m_limit) + ")");
        }
        FOLIO_TRY(claim(at, tableSize, "resource directory"));
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint64_t rel = std::uint64_t(dirOff) + sizeof(coff_resource_dir_table) +
                                      std::uint64_t(i) * sizeof(coff_resource_dir_entry);
            auto entry = m_r.read<coff_resource_dir_entry>(m_base + rel, "resource entry");
            FOLIO_TRY(entry);
            ResourceId id;
            if (entry->isNamed()) {
                auto name = readName(entry->nameOffset());
                FOLIO_TRY(name);
                id = std::move(*name);
            } else {
                id.id = entry->id();
            }
            const bool leafLevel = level == 2;
            if (entry->isSubDir() == leafLevel) {
                return fail(m_f + ": resource entry at offset " + hex(m_base + rel) + " on the " +
                            levels[level] + " level: expected " +
                            (leafLevel ? "a data entry" : "a sub-directory") + ", found " +
                            (leafLevel ? "a sub-directory" : "a data entry"));
            }
            if (!leafLevel) {
                m_path[level] = std::move(id);
                m_stack.push_back(at);
                auto ok = walk(entry->target(), level + 1);
                m_stack.pop_back();
                if (!ok) {
                    return ok;
                }
                continue;
            }
            FOLIO_TRY(addLeaf(entry->target(), id.id));
        }
        return {};
    }

  private:
    bool inTree(std::uint64_t rel, std::uint64_t size) const {
        return m_base + rel <= m_limit && size <= m_limit - (m_base + rel);
    }

    template <class T> Result<T> readInTree(std::uint64_t rel, const char* what) const {
        if (!inTree(rel, sizeof(T))) {
            return fail(m_f + ": " + what + " at offset " + hex(m_base + rel) + " (" +
                        std::to_string(sizeof(T)) +
                        " bytes) lies outside the resource section, which ends at " + hex(m_limit));
        }
        return m_r.read<T>(m_base + rel, what);
    }

    Result<void> claim(std::uint64_t at, std::uint64_t size, const char* what) {
        auto next = m_claimed.lower_bound(at);
        if (next != m_claimed.end() && next->first < at + size) {
            return fail(m_f + ": " + what + " at offset " + hex(at) +
                        " overlaps another resource structure at offset " + hex(next->first));
        }
        if (next != m_claimed.begin() && std::prev(next)->second > at) {
            return fail(m_f + ": " + what + " at offset " + hex(at) +
                        " overlaps another resource structure at offset " +
                        hex(std::prev(next)->first));
        }
        m_claimed.emplace(at, at + size);
        m_seen.insert(at);
        return {};
    }

    Result<ResourceId> readName(std::uint32_t rel) const {
        if (!inTree(rel, 2)) {
            return fail(m_f + ": resource name at offset " + hex(m_base + rel) +
                        " lies outside the resource section");
        }
        const std::uint16_t len = m_r.u16(m_base + rel);
        if (!inTree(std::uint64_t(rel) + 2, std::uint64_t(len) * 2)) {
            return fail(m_f + ": resource name at offset " + hex(m_base + rel) + " (" +
                        std::to_string(len) + " characters) runs past the resource section");
        }
        ResourceId id;
        id.isString = true;
        id.name.resize(len);
        for (std::uint16_t k = 0; k < len; ++k) {
            id.name[k] = static_cast<char16_t>(m_r.u16(m_base + rel + 2 + 2 * std::uint64_t(k)));
        }
        return id;
    }

    Result<void> addLeaf(std::uint32_t rel, std::uint16_t language) {
        auto de = readInTree<coff_resource_data_entry>(rel, "resource data entry");
        FOLIO_TRY(de);
        FOLIO_TRY(claim(m_base + rel, sizeof(coff_resource_data_entry), "resource data entry"));
        Resource res;
        res.type = m_path[0];
        res.name = m_path[1];
        res.language = language;
        res.dataRva = de->DataRVA;
        res.size = de->DataSize;
        res.codePage = de->Codepage;
        res.dataEntryOffset = static_cast<std::uint32_t>(m_base + rel);
        auto off = m_img.rvaToOffset(res.dataRva);
        if (res.size != 0 &&
            (!off || *off > m_img.fileSize() || res.size > m_img.fileSize() - *off)) {
            return fail(m_f + ": resource " + res.type.toString() + "/" + res.name.toString() +
                        " (data entry at offset " + hex(res.dataEntryOffset) + "): data at RVA " +
                        hex(res.dataRva) + " (" + std::to_string(res.size) +
                        " bytes) lies outside the file");
        }
        res.fileOffset = off.value_or(0);
        m_out.push_back(std::move(res));
        return {};
    }

    const Reader& m_r;
    const std::string& m_f;
    std::uint64_t m_base;
    std::uint64_t m_limit;
    const PeImage& m_img;
    std::vector<Resource>& m_out;
    ResourceId m_path[2];
    std::map<std::uint64_t, std::uint64_t> m_claimed; // start -> end of every structure read
    std::set<std::uint64_t> m_seen;                   // directory tables already walked
    std::vector<std::uint64_t> m_stack;               // directory tables on the current path
};

} // namespace

Result<PeImage> PeImage::parseHeaders(std::span<const std::uint8_t> data, std::string fileName) {
    return parseHeaders(data, std::move(fileName), data.size());
}

Result<PeImage> PeImage::parseHeaders(std::span<const std::uint8_t> data, std::string fileName,
                                      std::uint64_t fileSize) {
    PeImage img;
    img.m_data = data;
    img.m_fileSize = std::max<std::uint64_t>(fileSize, data.size());
    img.m_fileName = std::move(fileName);
    const std::string& f = img.m_fileName;
    Reader r(data, img.m_fileName);

    if (data.size() < sizeof(dos_header)) {
        return fail(f + ": truncated DOS header: expected at least 64 bytes, found " +
                    std::to_string(data.size()));
    }
    auto dos = r.read<dos_header>(0, "the DOS header");
    FOLIO_TRY(dos);
    if (dos->e_magic != DosMagic) {
        return fail(f + ": not a PE file: expected \"MZ\" at offset 0x0, found " +
                    hex(dos->e_magic));
    }
    img.m_peOffset = dos->e_lfanew;
    const std::uint64_t po = img.m_peOffset;
    if (!r.has(po, PeSignatureSize + sizeof(coff_file_header))) {
        return fail(f + ": truncated PE header: e_lfanew points to " + hex(po) +
                    ", expected a PE signature and file header there, but the file has " +
                    std::to_string(data.size()) + " bytes");
    }
    if (!(data[po] == 'P' && data[po + 1] == 'E' && data[po + 2] == 0 && data[po + 3] == 0)) {
        return fail(f + ": not a PE file: expected the signature \"PE\\0\\0\" at offset " +
                    hex(po) + ", found " + hex(data[po]) + " " + hex(data[po + 1]) + " " +
                    hex(data[po + 2]) + " " + hex(data[po + 3]));
    }
    auto fh = r.read<coff_file_header>(po + PeSignatureSize, "the file header");
    FOLIO_TRY(fh);
    img.m_machine = fh->Machine;
    const std::uint64_t optAt = po + PeSignatureSize + sizeof(coff_file_header);
    if (!r.has(optAt, 2)) {
        return fail(f + ": truncated optional header at offset " + hex(optAt) +
                    ": the file ends before its magic number");
    }
    const std::uint16_t magic = r.u16(optAt);
    if (magic == Pe32PlusMagic) {
        return fail(f + ": a 64-bit (PE32+) image (optional header magic 0x20b at offset " +
                    hex(optAt) + "); only 32-bit PE files (magic 0x10b) are supported");
    }
    if (magic != Pe32Magic) {
        return fail(f + ": unknown optional header magic " + hex(magic) + " at offset " +
                    hex(optAt) + " (expected 0x10b)");
    }
    if (fh->SizeOfOptionalHeader < sizeof(pe32_header)) {
        return fail(f + ": optional header too small: SizeOfOptionalHeader is " +
                    std::to_string(fh->SizeOfOptionalHeader) + ", expected at least " +
                    std::to_string(sizeof(pe32_header)));
    }
    if (!r.has(optAt, fh->SizeOfOptionalHeader)) {
        return fail(f + ": truncated optional header at offset " + hex(optAt) + ": expected " +
                    std::to_string(fh->SizeOfOptionalHeader) + " bytes, found " +
                    std::to_string(data.size() - optAt));
    }
    auto opt = r.read<pe32_header>(optAt, "the optional header");
    FOLIO_TRY(opt);
    img.m_imageBase = opt->ImageBase;
    img.m_sectionAlignment = opt->SectionAlignment;
    img.m_fileAlignment = opt->FileAlignment;
    img.m_sizeOfImage = opt->SizeOfImage;
    img.m_sizeOfHeaders = opt->SizeOfHeaders;
    img.m_checksum = opt->CheckSum;
    const HeaderOffsets h = headerOffsets(img.m_peOffset, *fh, *opt);
    if (h.hasDirectory(ResourceTableIndex)) {
        auto dir =
            r.read<data_directory>(h.directory(ResourceTableIndex), "the resource directory");
        FOLIO_TRY(dir);
        img.m_resRva = dir->RelativeVirtualAddress;
        img.m_resSize = dir->Size;
    }

    const std::uint64_t tableSize = std::uint64_t(fh->NumberOfSections) * sizeof(coff_section);
    if (!r.has(h.sectionTable, tableSize)) {
        return fail(f + ": truncated section table: " + std::to_string(fh->NumberOfSections) +
                    " sections at offset " + hex(h.sectionTable) + " need " +
                    std::to_string(tableSize) + " bytes, the file has " +
                    std::to_string(data.size()));
    }
    img.m_sections.reserve(fh->NumberOfSections);
    for (std::uint16_t i = 0; i < fh->NumberOfSections; ++i) {
        auto cs = r.read<coff_section>(h.sectionTable + std::uint64_t(i) * sizeof(coff_section),
                                       "a section header");
        FOLIO_TRY(cs);
        Section sec;
        sec.name.assign(cs->Name, strnlen(cs->Name, sizeof cs->Name));
        sec.virtualSize = cs->VirtualSize;
        sec.virtualAddress = cs->VirtualAddress;
        sec.sizeOfRawData = cs->SizeOfRawData;
        sec.pointerToRawData = cs->PointerToRawData;
        sec.characteristics = cs->Characteristics;
        if (sec.sizeOfRawData != 0 && (sec.pointerToRawData > img.m_fileSize ||
                                       sec.sizeOfRawData > img.m_fileSize - sec.pointerToRawData)) {
            return fail(f + ": section " + std::to_string(i) + " (\"" + sec.name +
                        "\", header at offset " +
                        hex(h.sectionTable + std::uint64_t(i) * sizeof(coff_section)) +
                        ") points outside the file: raw data at " + hex(sec.pointerToRawData) +
                        " + " + std::to_string(sec.sizeOfRawData) + " bytes, the file has " +
                        std::to_string(img.m_fileSize) + " bytes");
        }
        img.m_sections.push_back(std::move(sec));
    }

    return img;
}

Result<PeImage> PeImage::parse(std::span<const std::uint8_t> data, std::string fileName) {
    return parse(data, std::move(fileName), data.size());
}

Result<PeImage> PeImage::parse(std::span<const std::uint8_t> data, std::string fileName,
                               std::uint64_t fileSize) {
    auto parsed = parseHeaders(data, std::move(fileName), fileSize);
    if (!parsed) {
        return parsed;
    }
    PeImage& img = *parsed;
    const std::string& f = img.m_fileName;
    Reader r(data, f);
    if (img.m_resRva == 0 || img.m_resSize == 0) {
        return parsed; // no resource tree
    }
    auto secIdx = img.resourceSectionIndex();
    if (!secIdx) {
        return fail(f + ": the resource directory at RVA " + hex(img.m_resRva) +
                    " lies in no section");
    }
    const Section& rs = img.m_sections[*secIdx];
    if (img.m_resRva - rs.virtualAddress >= rs.sizeOfRawData) {
        return fail(f + ": the resource directory at RVA " + hex(img.m_resRva) +
                    " lies beyond the raw data of section \"" + rs.name + "\"");
    }
    const std::uint64_t base =
        std::uint64_t(img.m_resRva) - rs.virtualAddress + rs.pointerToRawData;
    // Everything the tree refers to must lie inside the section's raw data.
    const std::uint64_t limit =
        std::min<std::uint64_t>(std::uint64_t(rs.pointerToRawData) + rs.sizeOfRawData, data.size());
    TreeWalker walker(r, f, base, limit, img, img.m_resources);
    FOLIO_TRY(walker.walk(0, 0));
    return parsed;
}

std::uint32_t PeImage::checksumOffset() const {
    return m_peOffset + PeSignatureSize + sizeof(coff_file_header) +
           offsetof(pe32_header, CheckSum);
}

std::optional<std::size_t> PeImage::resourceSectionIndex() const {
    if (m_resRva == 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        const Section& s = m_sections[i];
        const std::uint32_t span = std::max(s.virtualSize, s.sizeOfRawData);
        if (m_resRva >= s.virtualAddress && m_resRva - s.virtualAddress < span) {
            return i;
        }
    }
    return std::nullopt;
}

std::span<const std::uint8_t> PeImage::resourceData(const Resource& r) const {
    if (r.size == 0 || r.fileOffset > m_data.size() || r.size > m_data.size() - r.fileOffset) {
        return {};
    }
    return m_data.subspan(r.fileOffset, r.size);
}

const Resource* PeImage::find(const ResourceId& type, const ResourceId& name,
                              std::optional<std::uint16_t> language) const {
    for (const Resource& r : m_resources) {
        if (r.type == type && r.name == name && (!language || r.language == *language)) {
            return &r;
        }
    }
    return nullptr;
}

std::optional<std::uint32_t> PeImage::rvaToOffset(std::uint32_t rva) const {
    for (const Section& s : m_sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.sizeOfRawData) {
            return rva - s.virtualAddress + s.pointerToRawData;
        }
    }
    if (rva < m_sizeOfHeaders) {
        return rva;
    }
    return std::nullopt;
}

namespace {

// The little-endian 16-bit words of [begin, end) of `file` (begin even; an odd last byte counts
// as a word of its own). Eight bytes at a time: each half of a 64-bit lane gathers two words,
// and the lanes are emptied into the total before they can overflow.
std::uint64_t addWords(std::span<const std::uint8_t> file, std::size_t begin, std::size_t end) {
    constexpr std::uint64_t Low = 0x0000FFFF0000FFFFull;
    constexpr std::size_t LaneRun = 8 * 16384; // 2 x 16384 words of 0xFFFF fit in 32 bits
    std::uint64_t sum = 0;
    std::size_t i = begin;
    while (end - i >= 8) {
        const std::size_t stop = i + std::min((end - i) / 8 * 8, LaneRun);
        std::uint64_t lanes = 0;
        for (; i < stop; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, file.data() + i, sizeof w);
            lanes += (w & Low) + ((w >> 16) & Low);
        }
        sum += (lanes & 0xFFFFFFFFu) + (lanes >> 32);
    }
    for (; i + 1 < end; i += 2) {
        sum += static_cast<std::uint32_t>(file[i]) | (static_cast<std::uint32_t>(file[i + 1]) << 8);
    }
    if (i < end) {
        sum += file[i];
    }
    return sum;
}

} // namespace

std::uint64_t wordSum(std::span<const std::uint8_t> bytes) {
    return addWords(bytes, 0, bytes.size());
}

std::uint32_t finishChecksum(std::uint64_t sum, std::uint64_t fileSize) {
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint32_t>(sum + fileSize);
}

std::uint32_t computeChecksum(std::span<const std::uint8_t> file, std::uint32_t checksumOffset) {
    const std::size_t n = file.size();
    std::uint64_t sum = 0;
    if (checksumOffset % 2 == 0 && std::size_t(checksumOffset) + 4 <= n) {
        sum = addWords(file, 0, checksumOffset) + addWords(file, checksumOffset + 4, n);
    } else {
        for (std::size_t i = 0; i < n; i += 2) {
            if (i == checksumOffset || i == std::size_t(checksumOffset) + 2) {
                continue;
            }
            sum += addWords(file, i, std::min(n, i + 2));
        }
    }
    return finishChecksum(sum, n);
}

// ---- rebuilding ----

namespace {

struct EntryLess {
    bool operator()(const ResourceSize* a, const ResourceSize* b) const {
        if (!(a->type == b->type)) {
            return resourceIdLess(a->type, b->type);
        }
        if (!(a->name == b->name)) {
            return resourceIdLess(a->name, b->name);
        }
        return a->language < b->language;
    }
};

// Windows aligns each resource's data to 8 bytes.
constexpr std::uint64_t DataAlignment = 8;

// Lays out the resource section for `entries` (sorted, unique) placed at `sectionRva`: all
// directory tables (root, types, names), the data entries, the name strings, then the data,
// each resource's at dataOff[i] from the section's start. The tree (everything before the
// data) is emitted into the bytes that `allocate` returns for it, given the tree's size and the
// section's; the data is the caller's to write. Returns the section's size.
Result<std::uint64_t> layoutSection(
    const std::vector<const ResourceSize*>& entries, std::uint32_t sectionRva,
    const std::string& fileName, std::vector<std::uint64_t>& dataOff,
    const std::function<Result<std::span<std::uint8_t>>(std::uint64_t, std::uint64_t)>& allocate) {
    struct NameNode {
        const ResourceId* name;
        std::size_t first; // index into entries of its first language
        std::size_t count;
        std::uint64_t dirOff = 0;
    };
    struct TypeNode {
        const ResourceId* type;
        std::size_t firstName; // index into names
        std::size_t nameCount;
        std::uint64_t dirOff = 0;
    };
    std::vector<TypeNode> types;
    std::vector<NameNode> names;
    names.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto* e = entries[i];
        if (types.empty() || !(*types.back().type == e->type)) {
            types.push_back({&e->type, names.size(), 0});
        }
        if (types.back().nameCount == 0 || !(*names.back().name == e->name)) {
            names.push_back({&e->name, i, 0});
            ++types.back().nameCount;
        }
        ++names.back().count;
    }
    auto tooMany = [&](std::size_t n, const std::string& where) -> Result<void> {
        if (n > MaxDirectoryEntries) {
            return fail(fileName + ": " + std::to_string(n) + " resource entries under " + where +
                        "; a resource directory holds at most " +
                        std::to_string(MaxDirectoryEntries));
        }
        return {};
    };
    FOLIO_TRY(tooMany(types.size(), "the root"));
    for (const auto& t : types) {
        FOLIO_TRY(tooMany(t.nameCount, "type " + t.type->toString()));
    }

    constexpr std::uint64_t Table = sizeof(coff_resource_dir_table);
    constexpr std::uint64_t Entry = sizeof(coff_resource_dir_entry);
    std::uint64_t off = Table + Entry * types.size();
    for (auto& t : types) {
        t.dirOff = off;
        off += Table + Entry * t.nameCount;
    }
    for (auto& n : names) {
        n.dirOff = off;
        off += Table + Entry * n.count;
    }
    const std::uint64_t dataEntriesOff = off;
    off += sizeof(coff_resource_data_entry) * entries.size();
    // Each string is stored once per node that names it (types, then names).
    std::vector<std::uint64_t> typeStr(types.size()), nameStr(names.size());
    auto strSize = [](const ResourceId* id) { return 2 + 2 * std::uint64_t(id->name.size()); };
    for (std::size_t t = 0; t < types.size(); ++t) {
        if (types[t].type->isString) {
            typeStr[t] = off;
            off += strSize(types[t].type);
        }
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        if (names[n].name->isString) {
            nameStr[n] = off;
            off += strSize(names[n].name);
        }
    }
    const std::uint64_t treeSize = off;
    dataOff.assign(entries.size(), 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        off = alignUp(off, DataAlignment);
        dataOff[i] = off;
        off += entries[i]->size;
    }
    const std::uint64_t total = alignUp(off, DataAlignment);
    if (total + sectionRva > std::numeric_limits<std::int32_t>::max()) {
        return fail(fileName + ": the resources need " + std::to_string(total) +
                    " bytes, more than a 32-bit image can hold");
    }

    // Emit.
    const auto allocated = allocate(treeSize, total);
    FOLIO_TRY(allocated);
    ByteWriter out(*allocated);
    auto putTable = [&](std::uint64_t at, std::size_t named, std::size_t ids) {
        coff_resource_dir_table t{};
        t.NumberOfNameEntries = static_cast<std::uint16_t>(named);
        t.NumberOfIDEntries = static_cast<std::uint16_t>(ids);
        out.put(at, t);
    };
    auto putEntry = [&](std::uint64_t at, const ResourceId* id, std::uint64_t strOff,
                        std::uint32_t target) {
        coff_resource_dir_entry e{};
        e.Identifier = id->isString
                           ? coff_resource_dir_entry::HighBit | static_cast<std::uint32_t>(strOff)
                           : id->id;
        e.Offset = target;
        out.put(at, e);
    };
    auto putString = [&](std::uint64_t at, const ResourceId* id) {
        out.put(at, static_cast<std::uint16_t>(id->name.size()));
        for (std::size_t k = 0; k < id->name.size(); ++k) {
            out.put(at + 2 + 2 * k, static_cast<std::uint16_t>(id->name[k]));
        }
    };
    // Entries are sorted, so within every directory the named ones come first.
    auto namedCount = [](auto first, auto last, auto id) {
        return static_cast<std::size_t>(
            std::count_if(first, last, [&](const auto& node) { return id(node)->isString; }));
    };
    {
        const std::size_t named =
            namedCount(types.begin(), types.end(), [](const TypeNode& t) { return t.type; });
        putTable(0, named, types.size() - named);
    }
    for (std::size_t t = 0; t < types.size(); ++t) {
        const TypeNode& tn = types[t];
        putEntry(Table + Entry * t, tn.type, typeStr[t],
                 coff_resource_dir_entry::HighBit | static_cast<std::uint32_t>(tn.dirOff));
        const auto first = names.begin() + static_cast<std::ptrdiff_t>(tn.firstName);
        const auto last = first + static_cast<std::ptrdiff_t>(tn.nameCount);
        const std::size_t named = namedCount(first, last, [](const NameNode& n) { return n.name; });
        putTable(tn.dirOff, named, tn.nameCount - named);
        if (tn.type->isString) {
            putString(typeStr[t], tn.type);
        }
        for (std::size_t k = 0; k < tn.nameCount; ++k) {
            const std::size_t n = tn.firstName + k;
            const NameNode& nn = names[n];
            putEntry(tn.dirOff + Table + Entry * k, nn.name, nameStr[n],
                     coff_resource_dir_entry::HighBit | static_cast<std::uint32_t>(nn.dirOff));
            if (nn.name->isString) {
                putString(nameStr[n], nn.name);
            }
            putTable(nn.dirOff, 0, nn.count);
            for (std::size_t l = 0; l < nn.count; ++l) {
                const std::size_t i = nn.first + l;
                const auto* e = entries[i];
                const std::uint64_t de = dataEntriesOff + sizeof(coff_resource_data_entry) * i;
                coff_resource_dir_entry le{};
                le.Identifier = e->language;
                le.Offset = static_cast<std::uint32_t>(de);
                out.put(nn.dirOff + Table + Entry * l, le);
                coff_resource_data_entry d{};
                d.DataRVA = sectionRva + static_cast<std::uint32_t>(dataOff[i]);
                d.DataSize = static_cast<std::uint32_t>(e->size);
                d.Codepage = e->codePage;
                out.put(de, d);
            }
        }
    }
    FOLIO_TRY(out.check(fileName, "the resource tree"));
    // Every byte the layout counted must have been emitted, and none beyond it: a layout that
    // lost track of a string or a directory would otherwise leave zeros where the loader looks.
    if (out.end() != treeSize) {
        return fail(fileName + ": the resource tree was laid out for " + std::to_string(treeSize) +
                    " bytes but " + std::to_string(out.end()) + " were written");
    }
    return total;
}

// The rebuild keeps every section where it lies and puts the new resource section after all of
// them, in the file and in memory. That is sound only for a plain layout: headers first,
// sections that neither overlap the headers nor each other, directories that point into the
// headers or a section, alignments the format allows. Anything else is refused before a byte
// is written, naming the fault.
Result<void> checkRebuildable(std::span<const std::uint8_t> file, const PeImage& img) {
    const std::string& f = img.fileName();
    Reader r(file, f);
    const std::uint32_t fhAt = img.peHeaderOffset() + PeSignatureSize;
    auto fh = r.read<coff_file_header>(fhAt, "the file header");
    auto opt = r.read<pe32_header>(fhAt + sizeof(coff_file_header), "the optional header");
    FOLIO_TRY(fh);
    FOLIO_TRY(opt);
    const HeaderOffsets h = headerOffsets(img.peHeaderOffset(), *fh, *opt);
    const std::uint32_t fa = img.fileAlignment();
    const std::uint32_t sa = img.sectionAlignment();
    if (fa < 512 || fa > 65536 || (fa & (fa - 1)) != 0) {
        return fail(f + ": FileAlignment is " + hex(fa) +
                    ", expected a power of 2 from 0x200 to 0x10000");
    }
    if (sa < fa || (sa & (sa - 1)) != 0) {
        return fail(f + ": SectionAlignment is " + hex(sa) +
                    ", expected a power of 2 no smaller than FileAlignment (" + hex(fa) + ")");
    }
    const auto& secs = img.sections();
    if (secs.empty()) {
        return fail(f + ": the file has no sections");
    }
    const std::uint64_t tableEnd =
        std::uint64_t(h.sectionTable) + sizeof(coff_section) * secs.size();
    const std::uint64_t headers = img.sizeOfHeaders();
    if (headers < tableEnd) {
        return fail(f + ": SizeOfHeaders is " + hex(headers) +
                    ", but the section table ends at offset " + hex(tableEnd));
    }
    auto name = [&](std::size_t i) {
        return "section " + std::to_string(i) + " (\"" + secs[i].name + "\")";
    };
    auto extent = [](const Section& s) -> std::uint64_t {
        return s.virtualSize ? s.virtualSize : s.sizeOfRawData;
    };
    std::vector<std::size_t> byRaw, byVa;
    for (std::size_t i = 0; i < secs.size(); ++i) {
        const Section& s = secs[i];
        if (s.virtualSize == 0 && s.sizeOfRawData == 0) {
            return fail(f + ": " + name(i) + " has no size (VirtualSize and SizeOfRawData are 0)");
        }
        if (s.virtualAddress == 0) {
            return fail(f + ": " + name(i) + " lies at RVA 0, over the headers");
        }
        if (s.virtualAddress < headers) {
            return fail(f + ": " + name(i) + " at RVA " + hex(s.virtualAddress) +
                        " overlaps the headers in memory (SizeOfHeaders " + hex(headers) + ")");
        }
        if (s.sizeOfRawData != 0) {
            if (s.pointerToRawData < headers) {
                return fail(f + ": " + name(i) + " has its raw data at offset " +
                            hex(s.pointerToRawData) + ", inside the headers (which end at " +
                            hex(headers) + ")");
            }
            byRaw.push_back(i);
        }
        byVa.push_back(i);
    }
    std::sort(byRaw.begin(), byRaw.end(),
              [&](auto a, auto b) { return secs[a].pointerToRawData < secs[b].pointerToRawData; });
    for (std::size_t k = 1; k < byRaw.size(); ++k) {
        const Section& a = secs[byRaw[k - 1]];
        if (std::uint64_t(a.pointerToRawData) + a.sizeOfRawData > secs[byRaw[k]].pointerToRawData) {
            return fail(f + ": the raw data of " + name(byRaw[k - 1]) + " (offset " +
                        hex(a.pointerToRawData) + ", " + std::to_string(a.sizeOfRawData) +
                        " bytes) overlaps that of " + name(byRaw[k]) + " (offset " +
                        hex(secs[byRaw[k]].pointerToRawData) + ")");
        }
    }
    std::sort(byVa.begin(), byVa.end(),
              [&](auto a, auto b) { return secs[a].virtualAddress < secs[b].virtualAddress; });
    for (std::size_t k = 1; k < byVa.size(); ++k) {
        const Section& a = secs[byVa[k - 1]];
        if (a.virtualAddress + extent(a) > secs[byVa[k]].virtualAddress) {
            return fail(f + ": the addresses of " + name(byVa[k - 1]) + " (RVA " +
                        hex(a.virtualAddress) + ", " + std::to_string(extent(a)) +
                        " bytes) overlap those of " + name(byVa[k]) + " (RVA " +
                        hex(secs[byVa[k]].virtualAddress) + ")");
        }
    }
    for (std::uint32_t d = 0; d < h.numberOfRvaAndSizes; ++d) {
        if (d == ResourceTableIndex || d == CertificateTableIndex) {
            continue; // replaced by the rebuild; a file offset, not an address
        }
        auto dir = r.read<data_directory>(h.directory(d), "a data directory");
        FOLIO_TRY(dir);
        const std::uint64_t rva = dir->RelativeVirtualAddress;
        const std::uint64_t end = rva + dir->Size;
        if (rva == 0) {
            continue;
        }
        bool inside = end <= headers;
        for (const Section& s : secs) {
            inside = inside || (rva >= s.virtualAddress &&
                                end <= std::uint64_t(s.virtualAddress) +
                                           std::max<std::uint64_t>(extent(s), s.sizeOfRawData));
        }
        if (!inside) {
            return fail(f + ": data directory " + std::to_string(d) + " (RVA " + hex(rva) + ", " +
                        std::to_string(dir->Size) + " bytes) lies outside every section");
        }
    }
    return {};
}

} // namespace

Result<void> checkRebuildable(std::span<const std::uint8_t> file, const std::string& fileName) {
    auto img = PeImage::parse(file, fileName);
    FOLIO_TRY(img);
    return checkRebuildable(file, *img);
}

Result<RebuildLayout> RebuildLayout::plan(std::span<const std::uint8_t> file, std::string fileName,
                                          std::vector<ResourceSize> resources) {
    auto parsed = PeImage::parse(file, fileName);
    FOLIO_TRY(parsed);
    const PeImage& img = *parsed;
    const auto& secs = img.sections();
    FOLIO_TRY(checkRebuildable(file, img));
    // parse() has checked that all these headers lie inside the file.
    Reader r(file, fileName);
    const std::uint32_t fhAt = img.peHeaderOffset() + PeSignatureSize;
    coff_file_header fh = *r.read<coff_file_header>(fhAt, "the file header");
    const std::uint32_t optAt = fhAt + sizeof(coff_file_header);
    pe32_header opt = *r.read<pe32_header>(optAt, "the optional header");
    const HeaderOffsets h = headerOffsets(img.peHeaderOffset(), fh, opt);
    if (!h.hasDirectory(ResourceTableIndex)) {
        return fail(fileName + ": the optional header at offset " + hex(optAt) +
                    " has no resource directory slot (NumberOfRvaAndSizes is " +
                    std::to_string(opt.NumberOfRvaAndSizes) + ")");
    }
    const std::uint64_t fileAlign = img.fileAlignment() ? img.fileAlignment() : 0x200;
    const std::uint64_t secAlign = img.sectionAlignment() ? img.sectionAlignment() : 0x1000;

    // Where the section data ends in the file, and where the image ends in memory.
    std::uint64_t rawEnd = img.sizeOfHeaders();
    std::uint64_t vaEnd = 0;
    for (const Section& s : secs) {
        if (s.sizeOfRawData) {
            rawEnd = std::max<std::uint64_t>(rawEnd,
                                             std::uint64_t(s.pointerToRawData) + s.sizeOfRawData);
        }
        vaEnd = std::max(vaEnd, alignUp(std::uint64_t(s.virtualAddress) +
                                            std::max(s.virtualSize, s.sizeOfRawData),
                                        secAlign));
    }
    rawEnd = std::min<std::uint64_t>(rawEnd, file.size());

    auto resIdx = img.resourceSectionIndex();
    bool inPlace = false;
    if (resIdx && *resIdx == secs.size() - 1) {
        const Section& s = secs[*resIdx];
        const std::uint64_t sEnd = std::uint64_t(s.pointerToRawData) + s.sizeOfRawData;
        const std::uint64_t sVaEnd = alignUp(
            std::uint64_t(s.virtualAddress) + std::max(s.virtualSize, s.sizeOfRawData), secAlign);
        // Only when the resource directory starts the section and nothing lies after it.
        inPlace = img.resourceDirRva() == s.virtualAddress && sEnd == rawEnd && sVaEnd == vaEnd &&
                  s.pointerToRawData != 0;
    }

    std::uint64_t newVa = 0;
    std::uint64_t newPtr = 0;
    std::size_t headerIdx = 0;
    if (inPlace) {
        newVa = secs[*resIdx].virtualAddress;
        newPtr = secs[*resIdx].pointerToRawData;
        headerIdx = *resIdx;
    } else {
        headerIdx = secs.size();
        const std::uint64_t hdrEnd =
            std::uint64_t(h.sectionTable) + sizeof(coff_section) * (secs.size() + 1);
        std::uint64_t firstRaw = img.sizeOfHeaders();
        for (const Section& s : secs) {
            if (s.sizeOfRawData && s.pointerToRawData) {
                firstRaw = std::min<std::uint64_t>(firstRaw, s.pointerToRawData);
            }
        }
        bool room = hdrEnd <= firstRaw && hdrEnd <= file.size();
        for (std::uint64_t i = hdrEnd - sizeof(coff_section); room && i < hdrEnd; ++i) {
            room = file[i] == 0;
        }
        // The loader of older Windows versions refuses more sections than this.
        constexpr std::size_t MaxSections = 96;
        if (secs.size() + 1 > MaxSections) {
            return fail(fileName + ": the file has " + std::to_string(secs.size()) +
                        " sections; another would exceed the " + std::to_string(MaxSections) +
                        " a PE file may have");
        }
        if (!room) {
            return fail(fileName + ": no room for another section header at offset " +
                        hex(hdrEnd - sizeof(coff_section)) + ": expected 40 free bytes before " +
                        hex(firstRaw) + ", where the headers end");
        }
        newVa = vaEnd;
        newPtr = alignUp(rawEnd, fileAlign);
    }

    // Windows upper-cases string names before its lookup; store them that way.
    for (auto& e : resources) {
        if (e.type.isString) {
            e.type.name = toUpperUtf16(e.type.name);
        }
        if (e.name.isString) {
            e.name.name = toUpperUtf16(e.name.name);
        }
    }
    std::vector<const ResourceSize*> sorted;
    sorted.reserve(resources.size());
    for (const auto& e : resources) {
        sorted.push_back(&e);
    }
    std::stable_sort(sorted.begin(), sorted.end(), EntryLess{});
    // A later entry for the same key replaces an earlier one.
    std::vector<const ResourceSize*> unique;
    unique.reserve(sorted.size());
    for (const auto* e : sorted) {
        if (!unique.empty() && !EntryLess{}(unique.back(), e)) {
            unique.back() = e;
        } else {
            unique.push_back(e);
        }
    }
    sorted = {};

    if (newVa > std::numeric_limits<std::int32_t>::max()) {
        return fail(fileName + ": no address space left for a new section after " + hex(newVa));
    }
    RebuildLayout layout;
    const std::uint64_t overlayStart = rawEnd;
    const std::uint64_t keep = inPlace ? newPtr : rawEnd;
    std::uint64_t rawSize = 0;
    std::vector<std::uint64_t> dataOff;
    auto section = layoutSection(
        unique, static_cast<std::uint32_t>(newVa), fileName, dataOff,
        [&](std::uint64_t treeSize, std::uint64_t total) -> Result<std::span<std::uint8_t>> {
            rawSize = alignUp(total, fileAlign);
            const std::uint64_t outSize = newPtr + rawSize + (file.size() - overlayStart);
            // Known before a byte is written: a PE file's offsets are 32-bit.
            if (outSize > std::numeric_limits<std::uint32_t>::max()) {
                return fail(fileName + ": the rebuilt file would be " + std::to_string(outSize) +
                            " bytes, more than a PE file can hold");
            }
            layout.m_front.reserve(static_cast<std::size_t>(newPtr + treeSize));
            layout.m_front.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
            layout.m_front.resize(static_cast<std::size_t>(newPtr + treeSize), 0);
            return std::span<std::uint8_t>(layout.m_front.data() + newPtr,
                                           static_cast<std::size_t>(treeSize));
        });
    FOLIO_TRY(section);
    ByteWriter headers(layout.m_front);

    // Section header.
    const std::uint64_t shAt = h.sectionTable + sizeof(coff_section) * headerIdx;
    std::uint64_t oldRaw = 0;
    if (inPlace) {
        oldRaw = secs[headerIdx].sizeOfRawData;
    } else {
        fh.NumberOfSections = static_cast<std::uint16_t>(secs.size() + 1);
        if (resIdx) {
            // The old section stays as dead data; renamed so no tool takes it for the live one.
            const std::uint64_t oldAt = h.sectionTable + sizeof(coff_section) * *resIdx;
            coff_section old = *r.read<coff_section>(oldAt, "a section header");
            std::memcpy(old.Name, ".oldrsrc", sizeof old.Name);
            headers.put(oldAt, old);
        }
    }
    coff_section sh{};
    std::memcpy(sh.Name, ".rsrc", 5);
    sh.VirtualSize = static_cast<std::uint32_t>(*section);
    sh.VirtualAddress = static_cast<std::uint32_t>(newVa);
    sh.SizeOfRawData = static_cast<std::uint32_t>(rawSize);
    sh.PointerToRawData = static_cast<std::uint32_t>(newPtr);
    sh.Characteristics = ScnCntInitializedData | ScnMemRead;
    headers.put(shAt, sh);

    // Optional header and its resource directory.
    opt.SizeOfInitializedData =
        static_cast<std::uint32_t>(opt.SizeOfInitializedData - oldRaw + rawSize);
    opt.SizeOfImage = static_cast<std::uint32_t>(alignUp(newVa + *section, secAlign));
    data_directory res{};
    if (!unique.empty()) {
        res.RelativeVirtualAddress = static_cast<std::uint32_t>(newVa);
        res.Size = static_cast<std::uint32_t>(*section);
    }
    headers.put(h.directory(ResourceTableIndex), res);

    // File offsets into the overlay move with it.
    const std::uint64_t overlaySize = file.size() - overlayStart;
    const std::int64_t delta = std::int64_t(newPtr + rawSize) - std::int64_t(overlayStart);
    if (delta != 0 && overlaySize > 0) {
        if (fh.PointerToSymbolTable >= overlayStart && fh.PointerToSymbolTable < file.size()) {
            fh.PointerToSymbolTable = static_cast<std::uint32_t>(fh.PointerToSymbolTable + delta);
        }
        if (h.hasDirectory(CertificateTableIndex)) {
            // The certificate table's "address" is a file offset, not an RVA.
            const std::uint32_t at = h.directory(CertificateTableIndex);
            data_directory cert = *r.read<data_directory>(at, "the certificate directory");
            if (cert.RelativeVirtualAddress >= overlayStart &&
                cert.RelativeVirtualAddress < file.size()) {
                cert.RelativeVirtualAddress =
                    static_cast<std::uint32_t>(cert.RelativeVirtualAddress + delta);
                headers.put(at, cert);
            }
        }
    }
    headers.put(fhAt, fh);
    opt.CheckSum = 0;
    headers.put(optAt, opt);
    FOLIO_TRY(headers.check(fileName, "the rebuilt headers"));

    layout.m_placed.reserve(unique.size());
    for (std::size_t i = 0; i < unique.size(); ++i) {
        layout.m_placed.push_back({static_cast<std::size_t>(unique[i] - resources.data()),
                                   newPtr + dataOff[i], unique[i]->size});
    }
    layout.m_contentEnd = newPtr + *section;
    layout.m_sectionEnd = newPtr + rawSize;
    layout.m_overlay.assign(file.begin() + static_cast<std::ptrdiff_t>(overlayStart), file.end());
    layout.m_checksumOffset = img.checksumOffset();
    layout.m_resources = std::move(resources); // the pointers above are done with
    layout.m_fileName = std::move(fileName);
    return layout;
}

namespace {

// A resource tree held in memory, read as the system's loader reads it: each directory's named
// entries first, in the order of their upper-cased UTF-16 units, then its ids ascending, each
// level searched by halves. Every read is checked against the tree's bounds.
class TreeLookup {
  public:
    TreeLookup(const Reader& r, const std::string& file, std::uint64_t base, std::uint64_t limit)
        : m_r(r), m_f(file), m_base(base), m_limit(limit) {}

    struct Directory {
        std::uint64_t at = 0; // file offset of its table
        std::uint32_t named = 0, ids = 0;
    };

    Result<Directory> directory(std::uint32_t rel) const {
        FOLIO_TRY(inTree(rel, sizeof(coff_resource_dir_table), "resource directory"));
        const auto t = *m_r.read<coff_resource_dir_table>(m_base + rel, "resource directory");
        const Directory d{m_base + rel, t.NumberOfNameEntries, t.NumberOfIDEntries};
        FOLIO_TRY(inTree(rel,
                         sizeof(coff_resource_dir_table) +
                             std::uint64_t(d.named + d.ids) * sizeof(coff_resource_dir_entry),
                         "resource directory"));
        return d;
    }

    coff_resource_dir_entry entry(const Directory& d, std::uint32_t i) const {
        return *m_r.read<coff_resource_dir_entry>(d.at + sizeof(coff_resource_dir_table) +
                                                      std::uint64_t(i) *
                                                          sizeof(coff_resource_dir_entry),
                                                  "resource entry");
    }

    Result<coff_resource_data_entry> dataEntry(std::uint32_t rel) const {
        FOLIO_TRY(inTree(rel, sizeof(coff_resource_data_entry), "resource data entry"));
        return m_r.read<coff_resource_data_entry>(m_base + rel, "resource data entry");
    }

    // The named entry's name against `key`: below zero when it sorts first.
    Result<int> compare(const coff_resource_dir_entry& e, std::u16string_view key) const {
        const std::uint32_t rel = e.nameOffset();
        FOLIO_TRY(inTree(rel, 2, "resource name"));
        const std::uint16_t length = m_r.u16(m_base + rel);
        FOLIO_TRY(inTree(std::uint64_t(rel) + 2, std::uint64_t(length) * 2, "resource name"));
        for (std::size_t k = 0; k < length && k < key.size(); ++k) {
            const char16_t x =
                toUpperUnit(static_cast<char16_t>(m_r.u16(m_base + rel + 2 + 2 * k)));
            const char16_t y = toUpperUnit(key[k]);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return length < key.size() ? -1 : length > key.size() ? 1 : 0;
    }

    // The entry of `d` that `id` finds, if any.
    Result<std::optional<coff_resource_dir_entry>> find(const Directory& d,
                                                        const ResourceId& id) const {
        std::uint32_t low = id.isString ? 0 : d.named;
        std::uint32_t high = id.isString ? d.named : d.named + d.ids;
        while (low < high) {
            const std::uint32_t mid = low + (high - low) / 2;
            const coff_resource_dir_entry e = entry(d, mid);
            int order = 0;
            if (id.isString) {
                auto c = compare(e, id.name);
                FOLIO_TRY(c);
                order = *c;
            } else {
                order = e.id() < id.id ? -1 : e.id() > id.id ? 1 : 0;
            }
            if (order == 0)
                return e;
            (order < 0 ? low : high) = order < 0 ? mid + 1 : mid;
        }
        return std::nullopt;
    }

    // The leaves under the directory at `rel` on `level` (0 types, 1 names, 2 languages), each
    // directory checked to be in the order the search above needs and each entry to be of the
    // kind its level holds.
    Result<std::uint64_t> leaves(std::uint32_t rel, int level) const {
        auto d = directory(rel);
        FOLIO_TRY(d);
        std::uint64_t count = 0;
        for (std::uint32_t i = 0; i < d->named + d->ids; ++i) {
            const coff_resource_dir_entry e = entry(*d, i);
            const std::uint64_t at =
                d->at + sizeof(coff_resource_dir_table) + std::uint64_t(i) * sizeof e;
            if (e.isNamed() != (i < d->named))
                return fail(m_f + ": resource entry at offset " + hex(at) + " is " +
                            (e.isNamed() ? "named among the ids" : "an id among the names"));
            if (i > 0 && i != d->named) {
                const coff_resource_dir_entry before = entry(*d, i - 1);
                bool ascending = before.id() < e.id();
                if (e.isNamed()) {
                    auto name = nameOf(e);
                    FOLIO_TRY(name);
                    auto c = compare(before, *name);
                    FOLIO_TRY(c);
                    ascending = *c < 0;
                }
                if (!ascending)
                    return fail(m_f + ": resource entry at offset " + hex(at) +
                                " is out of order: a lookup may not find it");
            }
            if (e.isSubDir() != (level < 2))
                return fail(m_f + ": resource entry at offset " + hex(at) + " is " +
                            (level < 2 ? "a data entry where a sub-directory belongs"
                                       : "a sub-directory where a data entry belongs"));
            if (level < 2) {
                auto below = leaves(e.target(), level + 1);
                FOLIO_TRY(below);
                count += *below;
            } else {
                FOLIO_TRY(dataEntry(e.target()));
                ++count;
            }
        }
        return count;
    }

  private:
    Result<void> inTree(std::uint64_t rel, std::uint64_t size, const char* what) const {
        if (m_base + rel <= m_limit && size <= m_limit - (m_base + rel))
            return {};
        return fail(m_f + ": " + what + " at offset " + hex(m_base + rel) + " (" +
                    std::to_string(size) +
                    " bytes) lies outside the resource tree, which ends at " + hex(m_limit));
    }

    Result<std::u16string> nameOf(const coff_resource_dir_entry& e) const {
        const std::uint32_t rel = e.nameOffset();
        FOLIO_TRY(inTree(rel, 2, "resource name"));
        std::u16string name(m_r.u16(m_base + rel), u'\0');
        FOLIO_TRY(inTree(std::uint64_t(rel) + 2, name.size() * 2, "resource name"));
        for (std::size_t k = 0; k < name.size(); ++k)
            name[k] = static_cast<char16_t>(m_r.u16(m_base + rel + 2 + 2 * k));
        return name;
    }

    const Reader& m_r;
    const std::string& m_f;
    std::uint64_t m_base;
    std::uint64_t m_limit;
};

} // namespace

Result<void> RebuildLayout::verify(const ReadBack& read, std::uint32_t checksum) const {
    const std::string& f = m_fileName;
    // The headers and the tree, a piece at a time, against what was laid out.
    constexpr std::size_t Piece = 64 << 10;
    Bytes piece(std::min(Piece, m_front.size()));
    const std::uint64_t sumAt = m_checksumOffset;
    std::uint8_t stored[4] = {};
    for (std::uint64_t at = 0; at < m_front.size();) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), m_front.size() - at));
        FOLIO_TRY(read(at, std::span(piece.data(), n)));
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t pos = at + i;
            if (pos >= sumAt && pos < sumAt + sizeof stored)
                stored[pos - sumAt] = piece[i];
            else if (piece[i] != m_front[static_cast<std::size_t>(pos)])
                return fail(f + ": the headers or the resource tree read back differently from " +
                            "what was written (at offset " + hex(pos) + ")");
        }
        at += n;
    }
    std::uint32_t storedSum = 0;
    std::memcpy(&storedSum, stored, sizeof storedSum);
    if (storedSum != checksum) {
        return fail(f + ": the checksum reads back as " + hex(storedSum) + " instead of " +
                    hex(checksum));
    }

    // What was read back is the layout's front: the tree is read there, as a reader finds it.
    auto img = PeImage::parseHeaders(m_front, f, fileSize());
    if (!img) {
        return fail(f + ": the rebuilt file does not read back: " + img.error().message);
    }
    if (img->resourceDirRva() == 0 || img->resourceDirSize() == 0) {
        if (m_placed.empty())
            return {};
        return fail(f + ": the rebuilt file reads back with no resource tree");
    }
    const auto section = img->resourceSectionIndex();
    const auto base = img->rvaToOffset(img->resourceDirRva());
    if (!section || !base) {
        return fail(f + ": the rebuilt file's resource tree at RVA " + hex(img->resourceDirRva()) +
                    " lies in no section");
    }
    const Section& rs = img->sections()[*section];
    const std::uint64_t limit = std::min<std::uint64_t>(
        std::uint64_t(rs.pointerToRawData) + rs.sizeOfRawData, m_front.size());
    const Reader r(m_front, f);
    const TreeLookup tree(r, f, *base, limit);
    auto leaves = tree.leaves(0, 0);
    if (!leaves) {
        return fail(f + ": the rebuilt file does not read back: " + leaves.error().message);
    }
    if (*leaves != m_placed.size()) {
        return fail(f + ": the rebuilt file reads back with " + std::to_string(*leaves) +
                    " resources instead of " + std::to_string(m_placed.size()));
    }
    for (const Placed& p : m_placed) {
        const ResourceSize& w = m_resources[p.source];
        auto what = [&] {
            return w.type.toString() + "/" + w.name.toString() + "/" + std::to_string(w.language);
        };
        // Type, name and language, each in the directory the one before leads to.
        const ResourceId language = ResourceId::fromId(w.language);
        std::uint32_t at = 0;
        for (const ResourceId* id : {&w.type, &w.name, &language}) {
            auto directory = tree.directory(at);
            FOLIO_TRY(directory);
            auto found = tree.find(*directory, *id);
            FOLIO_TRY(found);
            if (!*found)
                return fail(f + ": a lookup in the rebuilt file does not find resource " + what());
            at = (*found)->target();
        }
        auto data = tree.dataEntry(at);
        FOLIO_TRY(data);
        const auto offset = img->rvaToOffset(data->DataRVA);
        if (data->DataSize != p.size || (p.size != 0 && offset != p.offset)) {
            return fail(f + ": the rebuilt file reads back resource " + what() + " as " +
                        std::to_string(data->DataSize) + " bytes at RVA " + hex(data->DataRVA) +
                        " instead of " + std::to_string(p.size) + " bytes at offset " +
                        hex(p.offset));
        }
    }
    return {};
}

Result<void> RebuildLayout::verify(
    std::span<const std::uint8_t> written, std::uint32_t checksum,
    const std::function<bool(const Placed&, std::span<const std::uint8_t>)>& sameData) const {
    if (written.size() != fileSize()) {
        return fail(m_fileName + ": " + std::to_string(written.size()) +
                    " bytes of the rebuilt file read back instead of its " +
                    std::to_string(fileSize()));
    }
    FOLIO_TRY(verify(
        [&](std::uint64_t offset, std::span<std::uint8_t> into) -> Result<void> {
            std::copy_n(written.begin() + static_cast<std::ptrdiff_t>(offset), into.size(),
                        into.begin());
            return {};
        },
        checksum));
    // verify() found every resource at its offset: its bytes are there.
    for (const Placed& p : m_placed) {
        const ResourceSize& w = m_resources[p.source];
        if (sameData && !sameData(p, written.subspan(static_cast<std::size_t>(p.offset),
                                                     static_cast<std::size_t>(p.size)))) {
            return fail(m_fileName + ": the rebuilt file reads back resource " + w.type.toString() +
                        "/" + w.name.toString() + " with other bytes than were written");
        }
    }
    return {};
}

Result<Bytes> rebuildResources(std::span<const std::uint8_t> file, const std::string& fileName,
                               std::vector<ResourceUpdater::Entry> entries) {
    std::vector<ResourceSize> sizes;
    sizes.reserve(entries.size());
    for (const auto& e : entries) {
        sizes.push_back({e.type, e.name, e.language, e.codePage, e.data.size()});
    }
    auto layout = RebuildLayout::plan(file, fileName, std::move(sizes));
    FOLIO_TRY(layout);
    // The plan has checked that the file size fits in 32 bits.
    Bytes out(static_cast<std::size_t>(layout->fileSize()), 0);
    ByteWriter w(out);
    w.putBytes(0, layout->front());
    const std::uint64_t sectionStart = layout->front().size();
    ByteWriter section(std::span<std::uint8_t>(out).subspan(
        static_cast<std::size_t>(sectionStart),
        static_cast<std::size_t>(layout->contentEnd() - sectionStart)));
    for (const auto& p : layout->placed()) {
        section.putBytes(p.offset - sectionStart, entries[p.source].data);
    }
    FOLIO_TRY(section.check(fileName, "the resource section"));
    w.putBytes(layout->sectionEnd(), layout->overlay());
    FOLIO_TRY(w.check(fileName, "the rebuilt file"));
    const std::uint32_t checksum = computeChecksum(out, layout->checksumOffset());
    ByteWriter(out).put(layout->checksumOffset(), checksum);
    FOLIO_TRY(layout->verify(out, checksum,
                             [&](const RebuildLayout::Placed& p, std::span<const std::uint8_t> d) {
                                 const Bytes& want = entries[p.source].data;
                                 return std::equal(d.begin(), d.end(), want.begin(), want.end());
                             }));
    return out;
}

// ---- ResourceUpdater ----

namespace {
std::string entryKey(const ResourceId& type, const ResourceId& name, std::uint16_t language);
} // namespace

Result<ResourceUpdater> ResourceUpdater::begin(const std::string& path, bool deleteExisting) {
    auto bytes = readFileBytes(path);
    FOLIO_TRY(bytes);
    ResourceUpdater u;
    u.m_path = path;
    u.m_file = std::move(*bytes);
    auto img = PeImage::parse(u.m_file, path);
    FOLIO_TRY(img);
    FOLIO_TRY(checkRebuildable(u.m_file, *img));
    if (!deleteExisting) {
        // Kept resources are rewritten like new ones (code page 0), as the system's own
        // resource writer does.
        u.m_entries.reserve(img->resources().size());
        u.m_live.reserve(img->resources().size());
        for (const Resource& r : img->resources()) {
            // A damaged tree may hold one (type, name, language) twice; readers find the
            // first, so the rebuild keeps the first and drops the others.
            if (u.m_index.contains(entryKey(r.type, r.name, r.language)))
                continue;
            auto data = img->resourceData(r);
            u.update(r.type, r.name, r.language, Bytes(data.begin(), data.end()));
        }
    }
    return u;
}

namespace {

// Case-insensitive key of (type, name, language).
std::string entryKey(const ResourceId& type, const ResourceId& name, std::uint16_t language) {
    std::string k;
    auto add = [&](const ResourceId& id) {
        if (id.isString) {
            // Length-prefixed, so no name can run into the next field.
            k += '$';
            k += std::to_string(id.name.size());
            k += ':';
            for (char16_t c : id.name) {
                const char16_t u = toUpperUnit(c);
                k += static_cast<char>(u & 0xFF);
                k += static_cast<char>(u >> 8);
            }
        } else {
            k += '#';
            k += std::to_string(id.id);
        }
        k += '\0';
    };
    add(type);
    add(name);
    k += std::to_string(language);
    return k;
}

} // namespace

void ResourceUpdater::update(const ResourceId& type, const ResourceId& name, std::uint16_t language,
                             Bytes data) {
    auto [it, added] = m_index.try_emplace(entryKey(type, name, language), m_entries.size());
    if (!added) {
        m_entries[it->second].data = std::move(data);
        return;
    }
    m_entries.push_back(Entry{type, name, language, 0, std::move(data)});
    m_live.push_back(true);
}

bool ResourceUpdater::remove(const ResourceId& type, const ResourceId& name,
                             std::uint16_t language) {
    auto it = m_index.find(entryKey(type, name, language));
    if (it == m_index.end()) {
        return false;
    }
    m_live[it->second] = false;
    m_entries[it->second].data = Bytes();
    m_index.erase(it);
    return true;
}

Result<void> ResourceUpdater::end(bool discard) {
    if (m_ended) {
        return fail(m_path + ": the resource update was already ended");
    }
    m_ended = true;
    if (discard) {
        m_entries.clear();
        m_live.clear();
        m_index.clear();
        return {};
    }
    std::vector<Entry> live;
    live.reserve(m_index.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_live[i]) {
            live.push_back(std::move(m_entries[i]));
        }
    }
    m_entries.clear();
    m_live.clear();
    m_index.clear();
    auto rebuilt = rebuildResources(m_file, m_path, std::move(live));
    FOLIO_TRY(rebuilt);
    return writeFileAtomic(m_path, *rebuilt);
}

} // namespace folio::pe
