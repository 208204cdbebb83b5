// Compiled help file directory: soundness check and the first-listing-chunk mend.
#include "maker/hhc/chmheader.h"

#include "core/bytereader.h"
#include "core/fileio.h"
#include "maker/hhc/chmformat.h"

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

namespace folio::chm {

using namespace format;

namespace {

// Every read is bounds-checked (offset + size overflow included) and copies the bytes out.
using Reader = ByteReader;

bool signatureIs(const char (&sig)[4], const char* expected) {
    return std::memcmp(sig, expected, 4) == 0;
}

std::string printable(const char (&sig)[4]) {
    std::string s;
    for (char c : sig)
        s += (c >= 0x20 && c < 0x7f) ? c : '?';
    return "\"" + s + "\"";
}

} // namespace

Result<DirectoryCheck> checkDirectory(std::span<const std::uint8_t> data, const std::string& file) {
    const Reader r(data, file);
    auto itsf = r.read<itsf_header>(0, "file header");
    if (!itsf)
        return fail(itsf.error().message);
    if (!signatureIs(itsf->signature, "ITSF"))
        return fail(file + ": file header at offset 0x0: expected \"ITSF\", found " +
                    printable(itsf->signature) + " (not a compiled help file)");
    if (itsf->header_len < sizeof(itsf_header) || itsf->header_len > r.size())
        return fail(file + ": file header length " + hex(itsf->header_len) +
                    " does not fit the file");
    const std::uint64_t dir = itsf->dir_offset;
    if (dir > r.size() || itsf->dir_len > r.size() - dir)
        return fail(file + ": directory at offset " + hex(dir) + " of length " +
                    hex(itsf->dir_len) + " runs past the end of the file (" + hex(r.size()) +
                    " bytes)");

    auto itsp = r.read<itsp_header>(dir, "directory header");
    if (!itsp)
        return fail(itsp.error().message);
    if (!signatureIs(itsp->signature, "ITSP"))
        return fail(file + ": directory header at offset " + hex(dir) +
                    ": expected \"ITSP\", found " + printable(itsp->signature));
    if (itsp->header_len < sizeof(itsp_header))
        return fail(file + ": directory header at offset " + hex(dir) + ": length " +
                    hex(itsp->header_len) + " is shorter than " + hex(sizeof(itsp_header)));
    // Chunks are small powers of two; anything else is a damaged header.
    const std::uint32_t chunk = itsp->block_len;
    if (chunk < sizeof(pmgl_header) || chunk > (1u << 20) || (chunk & (chunk - 1)) != 0)
        return fail(file + ": directory header at offset " + hex(dir) + ": chunk size " +
                    hex(chunk) + " is not a power of two between 0x20 and 0x100000");
    const std::uint64_t chunks = itsp->num_blocks;
    const std::uint64_t needed = itsp->header_len + chunks * chunk;
    if (chunks == 0 || needed > itsf->dir_len)
        return fail(file + ": directory header at offset " + hex(dir) + ": " +
                    std::to_string(chunks) + " chunks of " + hex(chunk) +
                    " bytes do not fit the directory's " + hex(itsf->dir_len) + " bytes");

    // Every chunk is a listing or an index chunk; exactly one listing chunk has no predecessor.
    std::vector<pmgl_header> listing(chunks);
    std::vector<bool> isListing(chunks, false);
    DirectoryCheck check;
    check.recordedHead = itsp->index_head;
    check.chunks = static_cast<std::uint32_t>(chunks);
    check.actualHead = -1;
    const std::uint64_t first = dir + itsp->header_len;
    for (std::uint64_t i = 0; i < chunks; ++i) {
        const std::uint64_t at = first + i * chunk;
        auto h = r.read<pmgl_header>(at, "directory chunk");
        if (!h)
            return fail(h.error().message);
        if (signatureIs(h->signature, "PMGI"))
            continue;
        if (!signatureIs(h->signature, "PMGL"))
            return fail(file + ": directory chunk " + std::to_string(i) + " at offset " + hex(at) +
                        ": expected \"PMGL\" or \"PMGI\", found " + printable(h->signature));
        listing[i] = *h;
        isListing[i] = true;
        ++check.listingChunks;
        if (h->block_prev == -1) {
            if (check.actualHead != -1)
                return fail(file + ": directory chunks " + std::to_string(check.actualHead) +
                            " and " + std::to_string(i) +
                            " both claim to be the first listing chunk");
            check.actualHead = static_cast<std::int32_t>(i);
        }
    }
    if (check.actualHead == -1)
        return fail(file + ": no directory listing chunk has a previous-chunk link of -1");

    // The chain from the first chunk must visit every listing chunk once and end at the
    // recorded last one, each link answered by the next chunk's back link.
    std::uint32_t visited = 0;
    std::int32_t at = check.actualHead;
    std::int32_t previous = -1;
    std::vector<bool> seen(chunks, false);
    for (;;) {
        const auto idx = static_cast<std::uint64_t>(at);
        if (at < 0 || idx >= chunks || !isListing[idx] || seen[idx])
            return fail(file + ": directory listing chain broken: chunk " +
                        std::to_string(previous) + " links to chunk " + std::to_string(at));
        if (listing[idx].block_prev != previous)
            return fail(file + ": directory listing chunk " + std::to_string(at) +
                        " links back to chunk " + std::to_string(listing[idx].block_prev) +
                        ", expected " + std::to_string(previous));
        seen[idx] = true;
        ++visited;
        if (listing[idx].block_next == -1)
            break;
        previous = at;
        at = listing[idx].block_next;
    }
    if (visited != check.listingChunks)
        return fail(file + ": directory listing chain visits " + std::to_string(visited) + " of " +
                    std::to_string(check.listingChunks) + " listing chunks");
    if (itsp->index_last != at)
        return fail(file + ": directory header names chunk " + std::to_string(itsp->index_last) +
                    " as the last listing chunk, the chain ends at chunk " + std::to_string(at));
    return check;
}

Result<DirectoryCheck> mendListingStart(const std::string& path) {
    auto bytes = readFileBytes(path);
    if (!bytes)
        return fail(bytes.error().message);
    auto check = checkDirectory(*bytes, path);
    if (!check || !check->needsMend())
        return check;
    itsf_header itsf;
    std::memcpy(&itsf, bytes->data(), sizeof itsf);
    const std::int32_t head = check->actualHead;
    std::memcpy(bytes->data() + itsf.dir_offset + IndexHeadOffset, &head, sizeof head);
    if (auto w = writeFileAtomic(path, *bytes); !w)
        return fail(w.error().message);
    return check;
}

} // namespace folio::chm
