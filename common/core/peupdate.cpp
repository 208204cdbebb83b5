// PE32 resource-section rebuilding: the layout, its read-back check and the updater, kept
// apart from the reading so that a program that only reads books links no writer.
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

using Reader = ByteReader;

} // namespace

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
