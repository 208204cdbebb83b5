// The pages already read in each book, which the contents pane shows dimmed.
#pragma once

#include "core/error.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

// The pages read in the most recently read books, most recent book first, in one small file of
// the state folder. A book is found as its place is: by its key, or else, once compiled again,
// by its lineage, so the marks go on to the new build. Every call reads the file afresh, as two
// readers may be open at once.
class ReadMarks {
  public:
    static constexpr std::size_t DefaultCapacity = 100;
    // A book's pages read are bounded, so one book cannot swell the file without end.
    static constexpr std::size_t MaxPages = 20'000;
    static constexpr std::string_view FileName = "read";

    // `folder` empty means stateFolder().
    explicit ReadMarks(std::string folder = {}, std::size_t capacity = DefaultCapacity);

    std::string filePath() const;

    // The book's pages read, as they were marked, in the order first read; empty when none
    // (or the file is damaged).
    std::vector<std::string> pagesRead(std::string_view key, std::string_view lineage) const;

    // Marks `page` read (the address after the resource prefix, as Place keeps it; its "#" or
    // "?" part is left out) unless the book has it already in any case, and makes the book the
    // most recent; the oldest books beyond the capacity go, and so do the marks of its earlier
    // builds, which it took over. Refused for a book with MaxPages pages read.
    Result<void> markRead(std::string_view key, std::string_view lineage,
                          std::string_view page) const;

  private:
    std::string m_folder;
    std::size_t m_capacity;
};

} // namespace folio::reader
