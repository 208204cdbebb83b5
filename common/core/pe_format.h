// The on-disk structures of a PE32 file, with the format's own field names. They are read and
// written only by copying bytes (memcpy) through a bounds-checked reader, never by casting a
// pointer into the file, so their layout must match the file's byte for byte.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace folio::pe::format {

static_assert(std::endian::native == std::endian::little,
              "PE structures are copied as they lie in the file (little-endian)");

struct dos_header {
    std::uint16_t e_magic; // "MZ"
    std::uint16_t e_cblp;
    std::uint16_t e_cp;
    std::uint16_t e_crlc;
    std::uint16_t e_cparhdr;
    std::uint16_t e_minalloc;
    std::uint16_t e_maxalloc;
    std::uint16_t e_ss;
    std::uint16_t e_sp;
    std::uint16_t e_csum;
    std::uint16_t e_ip;
    std::uint16_t e_cs;
    std::uint16_t e_lfarlc;
    std::uint16_t e_ovno;
    std::uint16_t e_res[4];
    std::uint16_t e_oemid;
    std::uint16_t e_oeminfo;
    std::uint16_t e_res2[10];
    std::uint32_t e_lfanew; // file offset of the PE signature
};
static_assert(sizeof(dos_header) == 64);

struct coff_file_header {
    std::uint16_t Machine;
    std::uint16_t NumberOfSections;
    std::uint32_t TimeDateStamp;
    std::uint32_t PointerToSymbolTable;
    std::uint32_t NumberOfSymbols;
    std::uint16_t SizeOfOptionalHeader;
    std::uint16_t Characteristics;
};
static_assert(sizeof(coff_file_header) == 20);

// The 32-bit optional header up to (not including) its data directories.
struct pe32_header {
    std::uint16_t Magic;
    std::uint8_t MajorLinkerVersion;
    std::uint8_t MinorLinkerVersion;
    std::uint32_t SizeOfCode;
    std::uint32_t SizeOfInitializedData;
    std::uint32_t SizeOfUninitializedData;
    std::uint32_t AddressOfEntryPoint;
    std::uint32_t BaseOfCode;
    std::uint32_t BaseOfData;
    std::uint32_t ImageBase;
    std::uint32_t SectionAlignment;
    std::uint32_t FileAlignment;
    std::uint16_t MajorOperatingSystemVersion;
    std::uint16_t MinorOperatingSystemVersion;
    std::uint16_t MajorImageVersion;
    std::uint16_t MinorImageVersion;
    std::uint16_t MajorSubsystemVersion;
    std::uint16_t MinorSubsystemVersion;
    std::uint32_t Win32VersionValue;
    std::uint32_t SizeOfImage;
    std::uint32_t SizeOfHeaders;
    std::uint32_t CheckSum;
    std::uint16_t Subsystem;
    std::uint16_t DllCharacteristics;
    std::uint32_t SizeOfStackReserve;
    std::uint32_t SizeOfStackCommit;
    std::uint32_t SizeOfHeapReserve;
    std::uint32_t SizeOfHeapCommit;
    std::uint32_t LoaderFlags;
    std::uint32_t NumberOfRvaAndSizes;
};
static_assert(sizeof(pe32_header) == 96);

struct data_directory {
    std::uint32_t RelativeVirtualAddress;
    std::uint32_t Size;
};
static_assert(sizeof(data_directory) == 8);

struct coff_section {
    char Name[8];
    std::uint32_t VirtualSize;
    std::uint32_t VirtualAddress;
    std::uint32_t SizeOfRawData;
    std::uint32_t PointerToRawData;
    std::uint32_t PointerToRelocations;
    std::uint32_t PointerToLinenumbers;
    std::uint16_t NumberOfRelocations;
    std::uint16_t NumberOfLinenumbers;
    std::uint32_t Characteristics;
};
static_assert(sizeof(coff_section) == 40);

struct coff_resource_dir_table {
    std::uint32_t Characteristics;
    std::uint32_t TimeDateStamp;
    std::uint16_t MajorVersion;
    std::uint16_t MinorVersion;
    std::uint16_t NumberOfNameEntries;
    std::uint16_t NumberOfIDEntries;
};
static_assert(sizeof(coff_resource_dir_table) == 16);

struct coff_resource_dir_entry {
    std::uint32_t Identifier; // an id, or (high bit set) the offset of a length-prefixed name
    std::uint32_t Offset;     // a sub-directory (high bit set) or a data entry

    static constexpr std::uint32_t HighBit = 0x80000000u;
    bool isNamed() const { return (Identifier & HighBit) != 0; }
    std::uint32_t nameOffset() const { return Identifier & ~HighBit; }
    std::uint16_t id() const { return static_cast<std::uint16_t>(Identifier & 0xFFFF); }
    bool isSubDir() const { return (Offset & HighBit) != 0; }
    std::uint32_t target() const { return Offset & ~HighBit; }
};
static_assert(sizeof(coff_resource_dir_entry) == 8);

struct coff_resource_data_entry {
    std::uint32_t DataRVA;
    std::uint32_t DataSize;
    std::uint32_t Codepage;
    std::uint32_t Reserved;
};
static_assert(sizeof(coff_resource_data_entry) == 16);

inline constexpr std::uint16_t DosMagic = 0x5A4D; // "MZ"
inline constexpr std::uint32_t PeSignatureSize = 4;
inline constexpr std::uint16_t Pe32Magic = 0x10b;
inline constexpr std::uint16_t Pe32PlusMagic = 0x20b;
inline constexpr std::uint32_t ResourceTableIndex = 2;
inline constexpr std::uint32_t CertificateTableIndex = 4;
inline constexpr std::uint32_t ScnCntInitializedData = 0x00000040;
inline constexpr std::uint32_t ScnMemRead = 0x40000000;

// ---- where things lie, shared by the reader and the writer of the format ----

inline std::uint64_t alignUp(std::uint64_t v, std::uint64_t a) {
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

inline HeaderOffsets headerOffsets(std::uint32_t peOffset, const coff_file_header& fh,
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

} // namespace folio::pe::format
