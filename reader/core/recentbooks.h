// The books opened lately, for the reader's start page.
#pragma once

#include "core/error.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

struct RecentBook {
    std::string path;  // absolute path of the Book image
    std::string title; // the book's title when it was opened
};

// Most recent first, in one small file of the state folder; a book appears once (by path).
class RecentBooks {
  public:
    static constexpr std::size_t DefaultCapacity = 20;
    static constexpr std::string_view FileName = "recent";

    // `folder` empty means stateFolder().
    explicit RecentBooks(std::string folder = {}, std::size_t capacity = DefaultCapacity);

    std::string filePath() const;

    // The books whose files still exist (a book deleted or moved away is not offered).
    std::vector<RecentBook> list() const;

    // Puts the book first, dropping its older entry, books no longer there, and the oldest
    // beyond the capacity. A relative or empty path is refused.
    Result<void> add(const std::string& path, const std::string& title) const;

  private:
    std::vector<RecentBook> stored() const;
    std::string m_folder;
    std::size_t m_capacity;
};

// The title of the Book image at `path` (its descriptor's first field); an error naming the file
// when it is not a Book image or its descriptor has fewer than the four fields a reader needs.
Result<std::string> readBookTitle(const std::string& path);

} // namespace folio::reader
