// A Book image as the compiler makes one, for the readers' window tests: a reader template
// copied, each page (UTF-8 here) written in the book's ANSI code page, and the descriptor.
#pragma once

#include "core/book.h"
#include "core/pe.h"
#include "core/text.h"

#include <filesystem>
#include <map>
#include <string>

namespace folio::testing {

inline bool makeTestBook(const std::string& readerTemplate, const std::string& path,
                         const std::map<std::string, std::string>& pages,
                         const std::string& descriptor) {
    std::error_code copied;
    std::filesystem::copy_file(readerTemplate, path,
                               std::filesystem::copy_options::overwrite_existing, copied);
    if (copied)
        return false;
    auto u = folio::pe::ResourceUpdater::begin(path, false);
    if (!u)
        return false;
    for (const auto& [name, text] : pages) {
        const std::string bytes = folio::toAnsi(text);
        u->update(folio::pe::ResourceId::fromId(folio::book::PageType),
                  folio::book::pageResourceName(name), folio::book::ResourceLanguage,
                  folio::Bytes(bytes.begin(), bytes.end()));
    }
    if (!u->end(false))
        return false;
    return folio::book::WriteDescriptor(path, descriptor) == 1;
}

} // namespace folio::testing
