// Checking a compiled help file's directory and mending the first-listing-chunk number that
// chmcmd 3.2.2 writes wrong once the directory needs more than one listing chunk.
#pragma once

#include "core/error.h"

#include <cstdint>
#include <span>
#include <string>

namespace folio::chm {

struct DirectoryCheck {
    std::int32_t recordedHead = 0; // the first listing chunk the directory header names
    std::int32_t actualHead = 0;   // the listing chunk whose previous-chunk link is -1
    std::uint32_t listingChunks = 0;
    std::uint32_t chunks = 0; // listing and index chunks
    bool needsMend() const { return recordedHead != actualHead; }
};

// Checks that `data` is a sound help file: ITSF header, ITSP directory header inside the
// file, every chunk a listing or index chunk, and the listing chunks one chain from the chunk
// without predecessor to the recorded last chunk, visiting each once. The error names `file`,
// the offset and what was found.
Result<DirectoryCheck> checkDirectory(std::span<const std::uint8_t> data, const std::string& file);

// Reads the help file at `path`, checks it, and when the directory header names the wrong
// first listing chunk writes the right number in its place (the whole file atomically).
// Returns the check as found before the mend.
Result<DirectoryCheck> mendListingStart(const std::string& path);

} // namespace folio::chm
