// The place kept per book: last page, scroll position and zoom, found again by the book's
// content rather than its path, and after the book was compiled again by its file and title.
#pragma once

#include "core/error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// What stays the same when a book is compiled again, as 16 hex digits: its file (the full
// path) and its title. Another book written over the same file has another title, so it does
// not take the place of the one it replaced.
std::string bookLineage(const folio::book::BookImage& book);

// A page's bytes as 16 hex digits, telling an unchanged page in a rebuilt book; nullopt when
// the book lacks the page. `page` is the address after the resource prefix, as Place keeps it
// (percent escapes decoded, a "#" or "?" part left out).
std::optional<std::string> pageStamp(const folio::book::BookImage& book, std::string_view page);

struct Place {
    std::string page; // the page's address after the book's resource prefix, e.g. "CH2.HTML"
    int scrollX = 0;
    int scrollY = 0;
    int zoom = 100;          // percent
    std::string lineage{};   // bookLineage of the book read; empty when not known
    std::string pageStamp{}; // pageStamp of the page when the place was kept; empty when not known
};

// Gives the stamp of a page of the book now open; nullopt when the book lacks the page.
using PageStamper = std::function<std::optional<std::string>(std::string_view page)>;

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

    // The place for a book: its own (`key`), or else, for a book compiled again, the latest
    // place kept under the same `lineage` when that page is still in the book (`stampOf`):
    // the page and the zoom, and the scroll position only when the page is unchanged, as
    // it may point anywhere in a changed one.
    std::optional<Place> findFor(std::string_view key, std::string_view lineage,
                                 const PageStamper& stampOf) const;

    // Keeps `place` for `key` as the most recent entry; the oldest beyond the capacity go, and
    // so do the places of earlier builds of the same lineage.
    // A place with an empty page is refused: there would be nothing to go back to.
    Result<void> remember(std::string_view key, const Place& place) const;

  private:
    std::string m_folder;
    std::size_t m_capacity;
};

} // namespace folio::reader
