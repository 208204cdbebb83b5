// The on-disk headers of a compiled help file that the launcher checks and mends, with the
// format's own field names. Copied out of the file byte for byte, never addressed in place.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace folio::chm::format {

static_assert(std::endian::native == std::endian::little,
              "help file headers are copied as they lie in the file (little-endian)");

// The file header at offset 0. Version 2 ends before content_offset; version 3 carries it.
struct itsf_header {
    char signature[4]; // "ITSF"
    std::uint32_t version;
    std::uint32_t header_len;
    std::uint32_t unknown_000c;
    std::uint32_t last_modified;
    std::uint32_t lang_id;
    std::uint8_t dir_uuid[16];
    std::uint8_t stream_uuid[16];
    std::uint64_t unknown_offset;
    std::uint64_t unknown_len;
    std::uint64_t dir_offset; // where the directory (ITSP header + chunks) starts
    std::uint64_t dir_len;
};
static_assert(sizeof(itsf_header) == 0x58);

// The directory header at itsf_header::dir_offset; the chunks follow it.
struct itsp_header {
    char signature[4]; // "ITSP"
    std::uint32_t version;
    std::uint32_t header_len;
    std::uint32_t unknown_000c;
    std::uint32_t block_len; // size of every listing and index chunk
    std::uint32_t blockidx_intvl;
    std::uint32_t index_depth; // 1: listing chunks only; 2: one level of index chunks
    std::int32_t index_root;   // first index chunk, -1 when there is none
    std::int32_t index_head;   // first listing chunk: where enumeration starts
    std::int32_t index_last;   // last listing chunk
    std::int32_t unknown_0028;
    std::uint32_t num_blocks; // listing and index chunks together
    std::uint32_t lang_id;
    std::uint8_t system_uuid[16];
    std::uint32_t header_len2;
    std::int32_t unknown_0048[3];
};
static_assert(sizeof(itsp_header) == 0x54);

// The start of a listing chunk ("PMGL"); the chunks form one list through prev/next.
struct pmgl_header {
    char signature[4]; // "PMGL"
    std::uint32_t free_space;
    std::uint32_t unknown_0008;
    std::int32_t block_prev; // -1 for the first listing chunk
    std::int32_t block_next; // -1 for the last
};
static_assert(sizeof(pmgl_header) == 0x14);

// Where itsp_header::index_head lies, relative to the directory header.
inline constexpr std::uint64_t IndexHeadOffset = 0x20;
static_assert(offsetof(itsp_header, index_head) == IndexHeadOffset);

} // namespace folio::chm::format
