// Splitting a res: address's path into the resource it names; plain C++ so that it can be
// tested and fuzzed without a browser.
#pragma once

#include "core/pe.h"

#include <optional>
#include <string>
#include <string_view>

namespace folio::qt {

// What a res: path names inside the open book.
struct ResTarget {
    pe::ResourceId type; // the page type 2110 unless the path names one
    std::string name;    // as written in the address (matched without regard to case)
};

// Splits a decoded res: path against the open book's own path prefix ("/folder/book.exe/"):
// prefix + name names a page (type 2110), prefix + type + "/" + name names a type ("#2110", a
// number or a string). Anything else, including another file's path, is no target.
std::optional<ResTarget> parseResPath(std::string_view path, std::string_view bookPrefixPath);

} // namespace folio::qt
