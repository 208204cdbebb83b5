// PE32 reading and resource rebuilding: the on-disk Book image format.
#pragma once

#include "core/error.h"
#include "core/fileio.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace folio::pe {

// A resource type or name: an integer id or a UTF-16 string. Strings compare without regard
// to case (Windows upper-cases resource names before the lookup).
struct ResourceId {
    bool isString = false;
    std::uint16_t id = 0;
    std::u16string name; // as stored (the writer stores names upper-cased by the caller)

    static ResourceId fromId(std::uint16_t id);
    static ResourceId fromName(std::string_view utf8);
    // "#2110" or a decimal number -> id; anything else -> string name.
    static ResourceId parse(std::string_view utf8);
    std::string toString() const;                   // "2110" or "CUSTOM" (UTF-8)
    bool operator==(const ResourceId& other) const; // strings case-insensitively
};

// Order of entries in a resource directory as Windows' binary search expects:
// named entries first, ordered by their upper-cased UTF-16 code units, then ids ascending.
bool resourceIdLess(const ResourceId& a, const ResourceId& b);

// A resource directory counts its named entries, and its id entries, in 16 bits.
inline constexpr std::size_t MaxDirectoryEntries = 0xFFFF;

inline constexpr std::uint16_t RT_ICON = 3;
inline constexpr std::uint16_t RT_GROUP_ICON = 14;
inline constexpr std::uint16_t RT_VERSION = 16;

struct Section {
    std::string name;
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;
    std::uint32_t characteristics = 0;
};

// One leaf of the resource tree (type / name / language).
struct Resource {
    ResourceId type;
    ResourceId name;
    std::uint16_t language = 0;
    std::uint32_t dataRva = 0;
    std::uint32_t size = 0;
    std::uint32_t codePage = 0;
    std::uint32_t fileOffset = 0;      // where the data lies in the file
    std::uint32_t dataEntryOffset = 0; // file offset of its 16-byte IMAGE_RESOURCE_DATA_ENTRY
};

// A parsed, bounds-checked view of a PE32 file held in memory. Every offset is checked against
// the buffer; a malformed file yields an Error naming the file, the offset and the fault.
class PeImage {
  public:
    // `data` must outlive the image. `fileName` is used in error messages.
    static Result<PeImage> parse(std::span<const std::uint8_t> data, std::string fileName);
    // The same over the first bytes of a file of `fileSize` bytes: the headers and the resource
    // tree must lie in `front`; the sections and resource data are checked against `fileSize`
    // (resourceData() is empty for data beyond `front`). A book of gigabytes is checked without
    // reading its pages.
    static Result<PeImage> parse(std::span<const std::uint8_t> front, std::string fileName,
                                 std::uint64_t fileSize);
    // The headers and the section table only: resources() stays empty, so a damaged resource
    // tree does not hide where the tree lies.
    static Result<PeImage> parseHeaders(std::span<const std::uint8_t> data, std::string fileName);
    // The same over the first bytes of a file of `fileSize` bytes, as parse() above.
    static Result<PeImage> parseHeaders(std::span<const std::uint8_t> front, std::string fileName,
                                        std::uint64_t fileSize);

    std::span<const std::uint8_t> bytes() const { return m_data; }
    std::uint64_t fileSize() const { return m_fileSize; }
    const std::string& fileName() const { return m_fileName; }
    std::uint32_t peHeaderOffset() const { return m_peOffset; }
    std::uint16_t machine() const { return m_machine; }
    std::uint32_t imageBase() const { return m_imageBase; }
    std::uint32_t sectionAlignment() const { return m_sectionAlignment; }
    std::uint32_t fileAlignment() const { return m_fileAlignment; }
    std::uint32_t sizeOfImage() const { return m_sizeOfImage; }
    std::uint32_t sizeOfHeaders() const { return m_sizeOfHeaders; }
    std::uint32_t checksum() const { return m_checksum; }
    std::uint32_t checksumOffset() const; // file offset of OptionalHeader.CheckSum
    std::uint32_t resourceDirRva() const { return m_resRva; }
    std::uint32_t resourceDirSize() const { return m_resSize; }
    const std::vector<Section>& sections() const { return m_sections; }
    // Index into sections() of the section holding the resource directory, if any.
    std::optional<std::size_t> resourceSectionIndex() const;

    // All resources in tree order (types, then names, then languages, as stored).
    const std::vector<Resource>& resources() const { return m_resources; }
    // The data bytes of one resource.
    std::span<const std::uint8_t> resourceData(const Resource& r) const;

    // Lookup like FindResourceEx: names compared without regard to case. With no language,
    // the first language stored under that name.
    const Resource* find(const ResourceId& type, const ResourceId& name,
                         std::optional<std::uint16_t> language = std::nullopt) const;

    // RVA -> file offset through the section table; nullopt when no section maps it.
    std::optional<std::uint32_t> rvaToOffset(std::uint32_t rva) const;

  private:
    std::span<const std::uint8_t> m_data;
    std::uint64_t m_fileSize = 0;
    std::string m_fileName;
    std::uint32_t m_peOffset = 0;
    std::uint16_t m_machine = 0;
    std::uint32_t m_imageBase = 0;
    std::uint32_t m_sectionAlignment = 0;
    std::uint32_t m_fileAlignment = 0;
    std::uint32_t m_sizeOfImage = 0;
    std::uint32_t m_sizeOfHeaders = 0;
    std::uint32_t m_checksum = 0;
    std::uint32_t m_resRva = 0;
    std::uint32_t m_resSize = 0;
    std::vector<Section> m_sections;
    std::vector<Resource> m_resources;
};

// The PE checksum (as computed by the image help library) of a whole file whose CheckSum
// field lies at `checksumOffset`.
std::uint32_t computeChecksum(std::span<const std::uint8_t> file, std::uint32_t checksumOffset);

// The checksum built up piece by piece as a file is written: wordSum() adds the little-endian
// 16-bit words of a piece (an odd last byte as a word of its own), unfolded, so the sums of
// pieces that each start at an even offset add up to the sum of the whole; finishChecksum()
// folds the sum of a file whose CheckSum field is 0 and adds its length.
std::uint64_t wordSum(std::span<const std::uint8_t> bytes);
std::uint32_t finishChecksum(std::uint64_t sum, std::uint64_t fileSize);

// The semantics of BeginUpdateResource / UpdateResource / EndUpdateResource on a PE32 file.
// Changes are collected in memory; end(false) rebuilds the resource section as the file's
// last section (appending a new one when the old .rsrc is not last), fixes the data
// directory, SizeOfImage, SizeOfInitializedData, section sizes and the checksum, keeps the
// DOS header, stub and any overlay, writes a temporary file beside the target and renames it
// over the target. end(true) discards everything.
class ResourceUpdater {
  public:
    static Result<ResourceUpdater> begin(const std::string& path, bool deleteExisting);

    // Adds or replaces the resource (type, name, language).
    void update(const ResourceId& type, const ResourceId& name, std::uint16_t language, Bytes data);
    // Deletes it (UpdateResource with no data). Returns false when there was no such
    // resource.
    bool remove(const ResourceId& type, const ResourceId& name, std::uint16_t language);

    Result<void> end(bool discard);

    // Resources currently staged (for tests and callers that inspect before committing).
    std::size_t count() const { return m_index.size(); }

    struct Entry {
        ResourceId type;
        ResourceId name;
        std::uint16_t language = 0;
        std::uint32_t codePage = 0;
        Bytes data;
    };

  private:
    std::string m_path;
    Bytes m_file; // the file as read at begin()
    std::vector<Entry> m_entries;
    std::vector<bool> m_live;                   // false once removed
    std::map<std::string, std::size_t> m_index; // (type, name, language) -> m_entries index
    bool m_ended = false;
};

// A resource as a rebuild lays it out: its key and the size of its data. Where the bytes come
// from is the caller's business; the layout needs none of them.
struct ResourceSize {
    ResourceId type;
    ResourceId name;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    std::uint64_t size = 0;
};

// A rebuild of a PE32 file laid out from the keys and sizes of its resources alone, before any
// of their bytes is read, so a writer can stream them: front() at offset 0, each resource's
// bytes at its offset, zeros up to sectionEnd(), then overlay(), and last the checksum (over
// all of it, the CheckSum field being 0 in front()) at checksumOffset(). rebuildResources()
// does that in memory; the compiler does it on disk.
class RebuildLayout {
  public:
    // `resources` in any order; of two with one key the later wins, as with UpdateResource.
    // String types and names are stored upper-cased. The error names `fileName` and the fault.
    static Result<RebuildLayout> plan(std::span<const std::uint8_t> file, std::string fileName,
                                      std::vector<ResourceSize> resources);

    struct Placed {
        std::size_t source = 0;   // index into the list given to plan()
        std::uint64_t offset = 0; // file offset of its data
        std::uint64_t size = 0;
    };
    // In the order of their data in the file, which is the tree's order.
    const std::vector<Placed>& placed() const { return m_placed; }
    const ResourceSize& resource(const Placed& p) const { return m_resources[p.source]; }
    // The rebuilt file up to its first resource's data: the kept front of the file with the
    // headers rebuilt (CheckSum 0), then the resource tree.
    std::span<const std::uint8_t> front() const { return m_front; }
    // Where the last resource's data ends (padded to 8), and where the section's raw data ends.
    std::uint64_t contentEnd() const { return m_contentEnd; }
    std::uint64_t sectionEnd() const { return m_sectionEnd; }
    std::span<const std::uint8_t> overlay() const { return m_overlay; }
    std::uint64_t fileSize() const { return m_sectionEnd + m_overlay.size(); }
    std::uint32_t checksumOffset() const { return m_checksumOffset; }

    // Reads `into.size()` bytes of the written file from `offset` into `into`: all of them, or
    // an error naming the file and the fault.
    using ReadBack =
        std::function<Result<void>(std::uint64_t offset, std::span<std::uint8_t> into)>;
    // Reads the written file's headers and tree back through `read`, a piece at a time, and
    // checks them against the layout: byte for byte but the checksum, which must be
    // `checksum`; then walks the tree as it lies, and looks every resource up in it as the
    // system's loader does (a binary search on each level), which must find it where, and as
    // large as, placed() says. Nothing is kept per resource: a book of any size is checked in
    // the memory of one piece.
    Result<void> verify(const ReadBack& read, std::uint32_t checksum) const;
    // The same over a file held whole in memory. `sameData`, when given, is asked about each
    // resource's bytes where the lookup found them (the caller knows what it wrote).
    Result<void> verify(std::span<const std::uint8_t> written, std::uint32_t checksum,
                        const std::function<bool(const Placed&, std::span<const std::uint8_t>)>&
                            sameData = {}) const;

  private:
    std::string m_fileName;
    std::vector<ResourceSize> m_resources;
    std::vector<Placed> m_placed;
    Bytes m_front;
    Bytes m_overlay;
    std::uint64_t m_contentEnd = 0;
    std::uint64_t m_sectionEnd = 0;
    std::uint32_t m_checksumOffset = 0;
};

// Whether ResourceUpdater can rebuild `file`: it must parse, and its layout must be one the
// rebuild keeps sound. The error names `fileName` and the fault.
Result<void> checkRebuildable(std::span<const std::uint8_t> file, const std::string& fileName);

// Builds a fresh PE file image from `file` (a PE32 file) whose resources are replaced by
// `entries`. Exposed for callers that hold the bytes already (and for tests).
Result<Bytes> rebuildResources(std::span<const std::uint8_t> file, const std::string& fileName,
                               std::vector<ResourceUpdater::Entry> entries);

} // namespace folio::pe
