// PE32 reading: headers, the resource tree and the checksum, bounds-checked throughout.
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

} // namespace folio::pe
