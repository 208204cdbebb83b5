// Downloads over http and https (libcurl): a whole resource to a file, or a page as text.
#pragma once

#include "core/error.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace folio::fetch {

struct DownloadOptions {
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds totalTimeout{120'000};
    long maxRedirects = 5;
    std::int64_t maxBytes = 64LL * 1024 * 1024; // a larger answer fails
};

// True when the address uses http or https (any letter case); every other scheme
// (file, ftp, data ...) is refused before anything is requested.
bool isAllowedUrl(const std::string& url);

// Downloads `url` into `localFile`: the bytes go to a temporary file beside it, which is
// renamed over it only when the whole answer arrived with a success status, so a failed
// download never leaves a partial or truncated file. Folders are not created. The error
// names the address, the file and the reason.
Result<void> downloadToFile(const std::string& url, const std::string& localFile,
                            const DownloadOptions& options = {});

// The same, reporting only success: true exactly when the file was written.
bool DownloadFile(const std::string& url, const std::string& localFile,
                  const DownloadOptions& options = {});

// Reads a page as text (the bytes as delivered, no conversion).
Result<std::string> fetchText(const std::string& url, const DownloadOptions& options = {});

} // namespace folio::fetch
