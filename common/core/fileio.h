// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include "error.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace folio {

using Bytes = std::vector<std::uint8_t>;

// Reads the whole file. The error names the file and the system's reason.
Result<Bytes> readFileBytes(const std::string& path);

// Writes to a temporary file beside `path`, flushes it, then renames it over `path`,
// so a crash never leaves a half-written file.
Result<void> writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data);
Result<void> writeFileAtomic(const std::string& path, const std::string& data);

// Copies `from` over `to` (atomically, as above).
Result<void> copyFileAtomic(const std::string& from, const std::string& to);

bool fileExists(const std::string& path);
bool dirExists(const std::string& path);

// Appends "/" to a folder path that lacks one (empty stays empty).
std::string FixPath(const std::string& path);

// The folder part of a path (without the final "/"), and the name without extension.
std::string parentFolder(const std::string& path);
std::string fileName(const std::string& path);
std::string baseNameWithoutExtension(const std::string& path);

} // namespace folio
