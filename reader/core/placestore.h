// The place kept per book: last page, scroll position and zoom, found again by the book's
// content rather than its path.
#pragma once

#include "core/error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace folio::book {
class BookImage;
}

namespace folio::reader {

// What a book looks like from the inside, as 16 hex digits: file size, PE checksum (which the
// resource writer keeps over every byte), the descriptor, and every resource's type, name,
// language and size. A copy or a moved book gives the same key; a recompiled or edited book
// gives another. Reads only the headers, the resource tree and the descriptor, so a large
// book costs no more than its page table.
std::string bookKey(const folio::book::BookImage& book);

struct Place {
    std::string page; // the page's address after the book's resource prefix, e.g. "CH2.HTML"
    int scrollX = 0;
    int scrollY = 0;
    int zoom = 100; // percent
};

// Places of the most recently read books, most recent first, in one small file of the state
// folder. Every call reads the file afresh, so two readers open at once lose at most each
// other's last move, never the file.
class PlaceStore {
  public:
    static constexpr std::size_t DefaultCapacity = 200;
    static constexpr std::string_view FileName = "places";

    // `folder` empty means stateFolder().
    explicit PlaceStore(std::string folder = {}, std::size_t capacity = DefaultCapacity);

    std::string filePath() const;

    // The place kept for `key`; nullopt when none (or the file is damaged).
    std::optional<Place> find(std::string_view key) const;

    // Keeps `place` for `key` as the most recent entry; the oldest beyond the capacity go.
    // A place with an empty page is refused: there would be nothing to go back to.
    Result<void> remember(std::string_view key, const Place& place) const;

  private:
    std::string m_folder;
    std::size_t m_capacity;
};

} // namespace folio::reader
