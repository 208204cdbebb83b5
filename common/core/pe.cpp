// PE32 reading and resource-section rebuilding, bounds-checked throughout.
#include "pe.h"

#include "text.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <map>
#include <set>

namespace folio::pe {

namespace {

// ---- on-disk structures (little-endian, read field by field through Reader) ----

constexpr std::uint32_t DosHeaderSize = 64;
constexpr std::uint32_t FileHeaderSize = 20;
constexpr std::uint32_t SectionHeaderSize = 40;
constexpr std::uint32_t ResourceDirectorySize = 16;
constexpr std::uint32_t ResourceDirectoryEntrySize = 8;
constexpr std::uint32_t ResourceDataEntrySize = 16;
constexpr std::uint16_t Pe32Magic = 0x10b;
constexpr std::uint16_t Pe32PlusMagic = 0x20b;

// Offsets inside the 32-bit optional header.
constexpr std::uint32_t OptSizeOfInitializedData = 8;
constexpr std::uint32_t OptImageBase = 28;
constexpr std::uint32_t OptSectionAlignment = 32;
constexpr std::uint32_t OptFileAlignment = 36;
constexpr std::uint32_t OptSizeOfImage = 56;
constexpr std::uint32_t OptSizeOfHeaders = 60;
constexpr std::uint32_t OptCheckSum = 64;
constexpr std::uint32_t OptNumberOfRvaAndSizes = 92;
constexpr std::uint32_t OptDataDirectories = 96;
constexpr std::uint32_t DirResource = 2;
constexpr std::uint32_t DirSecurity = 4;

constexpr std::uint32_t ScnCntInitializedData = 0x00000040;
constexpr std::uint32_t ScnMemRead = 0x40000000;

// Deep enough for any tree a linker or resource compiler writes; deeper means a loop.
constexpr int MaxTreeDepth = 8;

std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// Every read of the file goes through here: offset + size overflow and bounds are checked.
class Reader {
  public:
    Reader(std::span<const std::uint8_t> data, const std::string& file) : m_d(data), m_f(file) {}

    bool has(std::uint64_t off, std::uint64_t size) const {
        return off <= m_d.size() && size <= m_d.size() - off;
    }
    Result<void> need(std::uint64_t off, std::uint64_t size, const char* what) const {
        if (!has(off, size)) {
            return fail(m_f + ": " + what + " at offset " + hex(off) + " (" + std::to_string(size) +
                        " bytes) lies outside the file (" + std::to_string(m_d.size()) + " bytes)");
        }
        return {};
    }
    std::uint16_t u16(std::uint64_t off) const {
        return static_cast<std::uint16_t>(m_d[off] | (m_d[off + 1] << 8));
    }
    std::uint32_t u32(std::uint64_t off) const {
        return static_cast<std::uint32_t>(m_d[off]) |
               (static_cast<std::uint32_t>(m_d[off + 1]) << 8) |
               (static_cast<std::uint32_t>(m_d[off + 2]) << 16) |
               (static_cast<std::uint32_t>(m_d[off + 3]) << 24);
    }
    std::size_t size() const { return m_d.size(); }
    const std::string& file() const { return m_f; }

  private:
    std::span<const std::uint8_t> m_d;
    const std::string& m_f;
};

void put16(Bytes& b, std::size_t off, std::uint16_t v) {
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t alignUp(std::uint32_t v, std::uint32_t a) {
    if (a == 0) {
        return v;
    }
    return (v + a - 1) / a * a;
}

char16_t upper16(char16_t c) {
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 32);
    }
    // Latin-1, Greek and Cyrillic small letters, as the system's upper-case table folds them.
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F)) {
        return static_cast<char16_t>(c - 32);
    }
    if (c >= 0x450 && c <= 0x45F) {
        return static_cast<char16_t>(c - 80);
    }
    return c;
}

std::u16string upper(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) {
        c = upper16(c);
    }
    return out;
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
        if (upper16(name[i]) != upper16(other.name[i])) {
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
        char16_t x = upper16(a.name[i]);
        char16_t y = upper16(b.name[i]);
        if (x != y) {
            return x < y;
        }
    }
    return a.name.size() < b.name.size();
}

// ---- PeImage ----

Result<PeImage> PeImage::parse(std::span<const std::uint8_t> data, std::string fileName) {
    PeImage img;
    img.m_data = data;
    img.m_fileName = std::move(fileName);
    const std::string& f = img.m_fileName;
    Reader r(data, img.m_fileName);

    if (auto ok = r.need(0, DosHeaderSize, "the DOS header"); !ok) {
        return fail(f + ": truncated DOS header: expected at least 64 bytes, found " +
                    std::to_string(data.size()));
    }
    if (data[0] != 'M' || data[1] != 'Z') {
        return fail(f + ": not a PE file: expected \"MZ\" at offset 0x0");
    }
    img.m_peOffset = r.u32(60);
    if (auto ok = r.need(img.m_peOffset, 4 + FileHeaderSize, "the PE header"); !ok) {
        return fail(f + ": truncated PE header: e_lfanew points to " + hex(img.m_peOffset) +
                    ", beyond the end of the file (" + std::to_string(data.size()) + " bytes)");
    }
    const std::uint32_t po = img.m_peOffset;
    if (!(data[po] == 'P' && data[po + 1] == 'E' && data[po + 2] == 0 && data[po + 3] == 0)) {
        return fail(f + ": not a PE file: expected the signature \"PE\\0\\0\" at offset " +
                    hex(po));
    }
    const std::uint32_t fh = po + 4;
    img.m_machine = r.u16(fh);
    const std::uint16_t nSections = r.u16(fh + 2);
    const std::uint16_t optSize = r.u16(fh + 16);
    const std::uint32_t opt = fh + FileHeaderSize;
    if (auto ok = r.need(opt, 2, "the optional header"); !ok) {
        return std::unexpected(ok.error());
    }
    const std::uint16_t magic = r.u16(opt);
    if (magic == Pe32PlusMagic) {
        return fail(f + ": a 64-bit (PE32+) image at offset " + hex(opt) +
                    "; only 32-bit PE files are supported");
    }
    if (magic != Pe32Magic) {
        return fail(f + ": unknown optional header magic " + hex(magic) + " at offset " + hex(opt) +
                    " (expected 0x10b)");
    }
    if (optSize < OptDataDirectories) {
        return fail(f + ": optional header too small: " + std::to_string(optSize) + " bytes");
    }
    if (auto ok = r.need(opt, optSize, "the optional header"); !ok) {
        return fail(f + ": truncated optional header at offset " + hex(opt));
    }
    img.m_imageBase = r.u32(opt + OptImageBase);
    img.m_sectionAlignment = r.u32(opt + OptSectionAlignment);
    img.m_fileAlignment = r.u32(opt + OptFileAlignment);
    img.m_sizeOfImage = r.u32(opt + OptSizeOfImage);
    img.m_sizeOfHeaders = r.u32(opt + OptSizeOfHeaders);
    img.m_checksum = r.u32(opt + OptCheckSum);
    const std::uint32_t nDirs = r.u32(opt + OptNumberOfRvaAndSizes);
    if (nDirs > DirResource && OptDataDirectories + 8 * (DirResource + 1) <= optSize) {
        img.m_resRva = r.u32(opt + OptDataDirectories + 8 * DirResource);
        img.m_resSize = r.u32(opt + OptDataDirectories + 8 * DirResource + 4);
    }

    const std::uint64_t secTable = static_cast<std::uint64_t>(opt) + optSize;
    if (auto ok = r.need(secTable, static_cast<std::uint64_t>(nSections) * SectionHeaderSize,
                         "the section table");
        !ok) {
        return fail(f + ": truncated section table: " + std::to_string(nSections) +
                    " sections at offset " + hex(secTable) + " do not fit in the file");
    }
    for (std::uint16_t i = 0; i < nSections; ++i) {
        const std::uint64_t s = secTable + static_cast<std::uint64_t>(i) * SectionHeaderSize;
        Section sec;
        const char* nm = reinterpret_cast<const char*>(data.data() + s);
        sec.name.assign(nm, strnlen(nm, 8));
        sec.virtualSize = r.u32(s + 8);
        sec.virtualAddress = r.u32(s + 12);
        sec.sizeOfRawData = r.u32(s + 16);
        sec.pointerToRawData = r.u32(s + 20);
        sec.characteristics = r.u32(s + 36);
        if (sec.sizeOfRawData != 0 && !r.has(sec.pointerToRawData, sec.sizeOfRawData)) {
            return fail(f + ": section " + std::to_string(i) + " (\"" + sec.name +
                        "\") points outside the file: raw data at " + hex(sec.pointerToRawData) +
                        " + " + std::to_string(sec.sizeOfRawData) + " bytes, file has " +
                        std::to_string(data.size()) + " bytes");
        }
        img.m_sections.push_back(std::move(sec));
    }

    if (img.m_resRva == 0 || img.m_resSize == 0) {
        return img; // no resource tree
    }
    auto secIdx = img.resourceSectionIndex();
    if (!secIdx) {
        return fail(f + ": the resource directory at RVA " + hex(img.m_resRva) +
                    " lies in no section");
    }
    const Section& rs = img.m_sections[*secIdx];
    const std::uint64_t base =
        static_cast<std::uint64_t>(img.m_resRva) - rs.virtualAddress + rs.pointerToRawData;
    // Everything the tree refers to must lie inside the section's raw data.
    const std::uint64_t limit = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(rs.pointerToRawData) + rs.sizeOfRawData, data.size());
    auto inTree = [&](std::uint64_t relOff, std::uint64_t size) {
        return base + relOff <= limit && size <= limit - (base + relOff);
    };

    std::set<std::uint32_t> visited;
    // Depth-first walk in stored order; the depth bound and the visited set stop loops.
    std::function<Result<void>(std::uint32_t, int)> walk;
    ResourceId path[3];
    walk = [&](std::uint32_t dirOff, int depth) -> Result<void> {
        if (depth > MaxTreeDepth) {
            return fail(f + ": resource tree deeper than " + std::to_string(MaxTreeDepth) +
                        " levels at offset " + hex(base + dirOff));
        }
        if (!visited.insert(dirOff).second) {
            return fail(f + ": resource tree cycle: the directory at offset " + hex(base + dirOff) +
                        " is reached twice");
        }
        if (!inTree(dirOff, ResourceDirectorySize)) {
            return fail(f + ": resource directory at offset " + hex(base + dirOff) +
                        " lies outside the resource section");
        }
        const std::uint32_t n =
            static_cast<std::uint32_t>(r.u16(base + dirOff + 12)) + r.u16(base + dirOff + 14);
        if (!inTree(dirOff + ResourceDirectorySize,
                    static_cast<std::uint64_t>(n) * ResourceDirectoryEntrySize)) {
            return fail(f + ": resource directory at offset " + hex(base + dirOff) + " with " +
                        std::to_string(n) + " entries runs past the resource section");
        }
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint64_t e = base + dirOff + ResourceDirectorySize +
                                    std::uint64_t(i) * ResourceDirectoryEntrySize;
            const std::uint32_t nameField = r.u32(e);
            const std::uint32_t offField = r.u32(e + 4);
            ResourceId id;
            if (nameField & 0x80000000u) {
                const std::uint32_t so = nameField & 0x7FFFFFFFu;
                if (!inTree(so, 2)) {
                    return fail(f + ": resource name at offset " + hex(base + so) +
                                " lies outside the resource section");
                }
                const std::uint16_t len = r.u16(base + so);
                if (!inTree(so + 2, std::uint64_t(len) * 2)) {
                    return fail(f + ": resource name at offset " + hex(base + so) + " (" +
                                std::to_string(len) + " characters) runs past the section");
                }
                id.isString = true;
                id.name.resize(len);
                for (std::uint16_t k = 0; k < len; ++k) {
                    id.name[k] = static_cast<char16_t>(r.u16(base + so + 2 + 2 * k));
                }
            } else {
                id.id = static_cast<std::uint16_t>(nameField & 0xFFFF);
            }
            if (depth < 3) {
                path[depth] = id;
            }
            if (offField & 0x80000000u) {
                if (auto ok = walk(offField & 0x7FFFFFFFu, depth + 1); !ok) {
                    return ok;
                }
                continue;
            }
            // A leaf: a data entry.
            if (depth != 2) {
                return fail(f + ": resource data entry at level " + std::to_string(depth + 1) +
                            " (offset " + hex(e) + "); expected type, name and language levels");
            }
            if (!inTree(offField, ResourceDataEntrySize)) {
                return fail(f + ": resource data entry at offset " + hex(base + offField) +
                            " lies outside the resource section");
            }
            const std::uint64_t de = base + offField;
            Resource res;
            res.type = path[0];
            res.name = path[1];
            res.language = id.id;
            res.dataRva = r.u32(de);
            res.size = r.u32(de + 4);
            res.codePage = r.u32(de + 8);
            res.dataEntryOffset = static_cast<std::uint32_t>(de);
            auto off = img.rvaToOffset(res.dataRva);
            if (res.size != 0 && (!off || !r.has(*off, res.size))) {
                return fail(f + ": resource " + res.type.toString() + "/" + res.name.toString() +
                            " data at RVA " + hex(res.dataRva) + " (" + std::to_string(res.size) +
                            " bytes) lies outside the file");
            }
            res.fileOffset = off.value_or(0);
            img.m_resources.push_back(std::move(res));
        }
        return {};
    };
    if (auto ok = walk(0, 0); !ok) {
        return std::unexpected(ok.error());
    }
    return img;
}

std::uint32_t PeImage::checksumOffset() const {
    return m_peOffset + 4 + FileHeaderSize + OptCheckSum;
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

std::uint32_t computeChecksum(std::span<const std::uint8_t> file, std::uint32_t checksumOffset) {
    std::uint64_t sum = 0;
    const std::size_t n = file.size();
    for (std::size_t i = 0; i < n; i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) {
            continue;
        }
        std::uint32_t word = file[i];
        if (i + 1 < n) {
            word |= static_cast<std::uint32_t>(file[i + 1]) << 8;
        }
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + n);
}

// ---- rebuilding ----

namespace {

struct EntryLess {
    bool operator()(const ResourceUpdater::Entry* a, const ResourceUpdater::Entry* b) const {
        if (!(a->type == b->type)) {
            return resourceIdLess(a->type, b->type);
        }
        if (!(a->name == b->name)) {
            return resourceIdLess(a->name, b->name);
        }
        return a->language < b->language;
    }
};

// Lays out the resource section for `entries` (sorted) placed at `sectionRva`.
Bytes buildResourceSection(const std::vector<const ResourceUpdater::Entry*>& entries,
                           std::uint32_t sectionRva) {
    // Group into type -> name -> language runs.
    struct NameNode {
        const ResourceId* name;
        std::vector<const ResourceUpdater::Entry*> langs;
    };
    struct TypeNode {
        const ResourceId* type;
        std::vector<NameNode> names;
    };
    std::vector<TypeNode> types;
    for (const auto* e : entries) {
        if (types.empty() || !(*types.back().type == e->type)) {
            types.push_back({&e->type, {}});
        }
        auto& names = types.back().names;
        if (names.empty() || !(*names.back().name == e->name)) {
            names.push_back({&e->name, {}});
        }
        names.back().langs.push_back(e);
    }

    // Layout: all directories, then data entries, then name strings, then data.
    std::uint32_t off = ResourceDirectorySize + ResourceDirectoryEntrySize * types.size();
    std::vector<std::uint32_t> typeDirOff(types.size());
    std::vector<std::vector<std::uint32_t>> nameDirOff(types.size());
    for (std::size_t t = 0; t < types.size(); ++t) {
        typeDirOff[t] = off;
        off += ResourceDirectorySize + ResourceDirectoryEntrySize * types[t].names.size();
    }
    for (std::size_t t = 0; t < types.size(); ++t) {
        for (const auto& nn : types[t].names) {
            nameDirOff[t].push_back(off);
            off += ResourceDirectorySize + ResourceDirectoryEntrySize * nn.langs.size();
        }
    }
    const std::uint32_t dataEntriesOff = off;
    off += ResourceDataEntrySize * entries.size();
    // Strings: each distinct id object once (types and names).
    std::map<const ResourceId*, std::uint32_t> stringOff;
    auto addString = [&](const ResourceId* id) {
        if (id->isString && !stringOff.count(id)) {
            stringOff[id] = off;
            off += 2 + 2 * static_cast<std::uint32_t>(id->name.size());
        }
    };
    for (const auto& tn : types) {
        addString(tn.type);
        for (const auto& nn : tn.names) {
            addString(nn.name);
        }
    }
    off = alignUp(off, 8);
    std::vector<std::uint32_t> dataOff(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        dataOff[i] = off;
        off = alignUp(off + static_cast<std::uint32_t>(entries[i]->data.size()), 8);
    }
    const std::uint32_t total = off;

    // Emit.
    Bytes out(total, 0);
    auto putDir = [&](std::uint32_t at, std::uint16_t named, std::uint16_t ids) {
        put16(out, at + 12, named);
        put16(out, at + 14, ids);
    };
    auto nameField = [&](const ResourceId* id) -> std::uint32_t {
        return id->isString ? (0x80000000u | stringOff.at(id)) : id->id;
    };
    auto countNamed = [](auto begin, auto end, auto get) {
        std::uint16_t n = 0;
        for (auto it = begin; it != end; ++it) {
            n += get(*it)->isString ? 1 : 0;
        }
        return n;
    };
    {
        const auto named =
            countNamed(types.begin(), types.end(), [](const TypeNode& t) { return t.type; });
        putDir(0, named, static_cast<std::uint16_t>(types.size() - named));
    }
    std::size_t leaf = 0;
    for (std::size_t t = 0; t < types.size(); ++t) {
        const std::uint32_t e = ResourceDirectorySize + ResourceDirectoryEntrySize * t;
        put32(out, e, nameField(types[t].type));
        put32(out, e + 4, 0x80000000u | typeDirOff[t]);
        const auto& names = types[t].names;
        const auto named =
            countNamed(names.begin(), names.end(), [](const NameNode& n) { return n.name; });
        putDir(typeDirOff[t], named, static_cast<std::uint16_t>(names.size() - named));
        for (std::size_t n = 0; n < names.size(); ++n) {
            const std::uint32_t ne =
                typeDirOff[t] + ResourceDirectorySize + ResourceDirectoryEntrySize * n;
            put32(out, ne, nameField(names[n].name));
            put32(out, ne + 4, 0x80000000u | nameDirOff[t][n]);
            const auto& langs = names[n].langs;
            putDir(nameDirOff[t][n], 0, static_cast<std::uint16_t>(langs.size()));
            for (std::size_t l = 0; l < langs.size(); ++l, ++leaf) {
                const std::uint32_t le =
                    nameDirOff[t][n] + ResourceDirectorySize + ResourceDirectoryEntrySize * l;
                const std::uint32_t de =
                    dataEntriesOff + ResourceDataEntrySize * static_cast<std::uint32_t>(leaf);
                put32(out, le, langs[l]->language);
                put32(out, le + 4, de);
                put32(out, de, sectionRva + dataOff[leaf]);
                put32(out, de + 4, static_cast<std::uint32_t>(langs[l]->data.size()));
                put32(out, de + 8, langs[l]->codePage);
                if (!langs[l]->data.empty()) {
                    std::memcpy(out.data() + dataOff[leaf], langs[l]->data.data(),
                                langs[l]->data.size());
                }
            }
        }
    }
    for (const auto& [id, at] : stringOff) {
        put16(out, at, static_cast<std::uint16_t>(id->name.size()));
        for (std::size_t k = 0; k < id->name.size(); ++k) {
            put16(out, at + 2 + 2 * k, static_cast<std::uint16_t>(id->name[k]));
        }
    }
    assert(leaf == entries.size());
    return out;
}

} // namespace

Result<Bytes> rebuildResources(std::span<const std::uint8_t> file, const std::string& fileName,
                               std::vector<ResourceUpdater::Entry> entries) {
    auto parsed = PeImage::parse(file, fileName);
    if (!parsed) {
        return std::unexpected(parsed.error());
    }
    const PeImage& img = *parsed;
    const auto& secs = img.sections();
    if (secs.empty()) {
        return fail(fileName + ": the file has no sections");
    }
    const std::uint32_t opt = img.peHeaderOffset() + 4 + FileHeaderSize;
    Reader r(file, fileName);
    const std::uint16_t optSize = r.u16(img.peHeaderOffset() + 4 + 16);
    const std::uint32_t secTable = opt + optSize;
    const std::uint32_t fileAlign = img.fileAlignment() ? img.fileAlignment() : 0x200;
    const std::uint32_t secAlign = img.sectionAlignment() ? img.sectionAlignment() : 0x1000;

    // Where the section data ends in the file, and where the images end in memory.
    std::uint64_t rawEnd = img.sizeOfHeaders();
    std::uint32_t vaEnd = 0;
    for (const Section& s : secs) {
        if (s.sizeOfRawData) {
            rawEnd = std::max<std::uint64_t>(rawEnd,
                                             std::uint64_t(s.pointerToRawData) + s.sizeOfRawData);
        }
        vaEnd = std::max(
            vaEnd, alignUp(s.virtualAddress + std::max(s.virtualSize, s.sizeOfRawData), secAlign));
    }
    rawEnd = std::min<std::uint64_t>(rawEnd, file.size());

    auto resIdx = img.resourceSectionIndex();
    bool inPlace = false;
    if (resIdx && *resIdx == secs.size() - 1) {
        const Section& s = secs[*resIdx];
        const std::uint64_t sEnd = std::uint64_t(s.pointerToRawData) + s.sizeOfRawData;
        const std::uint32_t sVaEnd =
            alignUp(s.virtualAddress + std::max(s.virtualSize, s.sizeOfRawData), secAlign);
        // Only when the resource directory starts the section and nothing lies after it.
        inPlace = img.resourceDirRva() == s.virtualAddress && sEnd == rawEnd && sVaEnd == vaEnd &&
                  s.pointerToRawData != 0;
    }

    std::uint32_t newVa = 0;
    std::uint32_t newPtr = 0;
    std::size_t headerIdx = 0;
    if (inPlace) {
        newVa = secs[*resIdx].virtualAddress;
        newPtr = secs[*resIdx].pointerToRawData;
        headerIdx = *resIdx;
    } else {
        headerIdx = secs.size();
        const std::uint64_t hdrEnd =
            std::uint64_t(secTable) + SectionHeaderSize * (secs.size() + 1);
        std::uint64_t firstRaw = img.sizeOfHeaders();
        for (const Section& s : secs) {
            if (s.sizeOfRawData && s.pointerToRawData) {
                firstRaw = std::min<std::uint64_t>(firstRaw, s.pointerToRawData);
            }
        }
        bool room = hdrEnd <= firstRaw && hdrEnd <= file.size();
        if (room) {
            for (std::uint64_t i = hdrEnd - SectionHeaderSize; i < hdrEnd; ++i) {
                room = room && file[i] == 0;
            }
        }
        if (!room) {
            return fail(fileName + ": no room for another section header at offset " +
                        hex(hdrEnd - SectionHeaderSize) + " (headers end at " + hex(firstRaw) +
                        ")");
        }
        newVa = vaEnd;
        newPtr = alignUp(static_cast<std::uint32_t>(rawEnd), fileAlign);
    }

    // Windows upper-cases string names before its lookup; store them that way.
    for (auto& e : entries) {
        if (e.type.isString) {
            e.type.name = upper(e.type.name);
        }
        if (e.name.isString) {
            e.name.name = upper(e.name.name);
        }
    }
    std::vector<const ResourceUpdater::Entry*> sorted;
    sorted.reserve(entries.size());
    for (const auto& e : entries) {
        sorted.push_back(&e);
    }
    std::stable_sort(sorted.begin(), sorted.end(), EntryLess{});
    // A later update of the same key replaces an earlier one.
    std::vector<const ResourceUpdater::Entry*> unique;
    unique.reserve(sorted.size());
    for (const auto* e : sorted) {
        if (!unique.empty() && !EntryLess{}(unique.back(), e)) {
            unique.back() = e;
        } else {
            unique.push_back(e);
        }
    }

    const Bytes section = buildResourceSection(unique, newVa);
    const std::uint32_t rawSize = alignUp(static_cast<std::uint32_t>(section.size()), fileAlign);
    const std::uint64_t overlayStart = rawEnd;
    const std::uint64_t overlaySize = file.size() - overlayStart;

    Bytes out;
    out.reserve(std::size_t(newPtr) + rawSize + overlaySize);
    const std::uint64_t keep = inPlace ? newPtr : rawEnd;
    out.insert(out.end(), file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
    out.resize(newPtr, 0);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(std::size_t(newPtr) + rawSize, 0);
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(overlayStart), file.end());
    assert(out.size() == std::size_t(newPtr) + rawSize + overlaySize);

    // Section header.
    const std::uint32_t sh = secTable + SectionHeaderSize * static_cast<std::uint32_t>(headerIdx);
    std::uint32_t oldRaw = 0;
    if (inPlace) {
        oldRaw = secs[headerIdx].sizeOfRawData;
    } else {
        put16(out, img.peHeaderOffset() + 4 + 2, static_cast<std::uint16_t>(secs.size() + 1));
        if (resIdx) {
            // The old section stays as dead data; renamed so no tool takes it for the live one.
            const std::uint32_t oldSh =
                secTable + SectionHeaderSize * static_cast<std::uint32_t>(*resIdx);
            std::memcpy(out.data() + oldSh, ".oldrsrc", 8);
        }
    }
    std::memset(out.data() + sh, 0, SectionHeaderSize);
    std::memcpy(out.data() + sh, ".rsrc", 5);
    put32(out, sh + 8, static_cast<std::uint32_t>(section.size()));
    put32(out, sh + 12, newVa);
    put32(out, sh + 16, rawSize);
    put32(out, sh + 20, newPtr);
    put32(out, sh + 36, ScnCntInitializedData | ScnMemRead);

    // Optional header.
    const std::uint32_t initData = r.u32(opt + OptSizeOfInitializedData);
    put32(out, opt + OptSizeOfInitializedData, initData - oldRaw + rawSize);
    put32(out, opt + OptSizeOfImage,
          alignUp(newVa + static_cast<std::uint32_t>(section.size()), secAlign));
    put32(out, opt + OptDataDirectories + 8 * DirResource, unique.empty() ? 0 : newVa);
    put32(out, opt + OptDataDirectories + 8 * DirResource + 4,
          unique.empty() ? 0 : static_cast<std::uint32_t>(section.size()));

    // File offsets into the overlay moved with it.
    const std::int64_t delta = std::int64_t(newPtr) + rawSize - std::int64_t(overlayStart);
    if (delta != 0 && overlaySize > 0) {
        const std::uint32_t symPtrAt = img.peHeaderOffset() + 4 + 8;
        const std::uint32_t symPtr = r.u32(symPtrAt);
        if (symPtr >= overlayStart && symPtr < file.size()) {
            put32(out, symPtrAt, static_cast<std::uint32_t>(symPtr + delta));
        }
        const std::uint32_t nDirs = r.u32(opt + OptNumberOfRvaAndSizes);
        if (nDirs > DirSecurity && OptDataDirectories + 8 * (DirSecurity + 1) <= optSize) {
            const std::uint32_t certAt = opt + OptDataDirectories + 8 * DirSecurity;
            const std::uint32_t cert = r.u32(certAt);
            if (cert >= overlayStart && cert < file.size()) {
                put32(out, certAt, static_cast<std::uint32_t>(cert + delta));
            }
        }
    }

    put32(out, img.checksumOffset(), 0);
    put32(out, img.checksumOffset(), computeChecksum(out, img.checksumOffset()));
    return out;
}

// ---- ResourceUpdater ----

Result<ResourceUpdater> ResourceUpdater::begin(const std::string& path, bool deleteExisting) {
    auto bytes = readFileBytes(path);
    if (!bytes) {
        return std::unexpected(bytes.error());
    }
    ResourceUpdater u;
    u.m_path = path;
    u.m_file = std::move(*bytes);
    auto img = PeImage::parse(u.m_file, path);
    if (!img) {
        return std::unexpected(img.error());
    }
    if (!deleteExisting) {
        u.m_entries.reserve(img->resources().size());
        for (const Resource& r : img->resources()) {
            auto data = img->resourceData(r);
            u.update(r.type, r.name, r.language, Bytes(data.begin(), data.end()));
            u.m_entries.back().codePage = r.codePage;
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
            k += '$';
            k += utf16ToUtf8(upper(id.name));
        } else {
            k += '#';
            k += std::to_string(id.id);
        }
        k += '\x01';
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
    m_index.clear();
    auto rebuilt = rebuildResources(m_file, m_path, std::move(live));
    if (!rebuilt) {
        return std::unexpected(rebuilt.error());
    }
    return writeFileAtomic(m_path, *rebuilt);
}

} // namespace folio::pe
