// The bookmarks file BookTag.ini: one "name=address" line per bookmark, CP936, CR LF.
#pragma once

#include "core/error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

struct Bookmark {
    std::string name;    // text before the first "=" of the line
    std::string address; // everything after it (may itself hold "=")
};

// The list the bookmarks window shows. The window keeps one of these while it is open,
// edits it through add/remove and saves it whenever it closes.
class BookmarkList {
  public:
    static constexpr std::string_view FileName = "BookTag.ini";

    // programFolder + "/BookTag.ini".
    static std::string filePath(const std::string& programFolder);

    // Reads the file; a missing file is an empty list and is first written by save(), so a
    // new book lists no bookmark the reader did not make. Lines without "=" are not
    // bookmarks and are skipped (a blank line added by hand must not keep the window from
    // opening). The error names the file.
    static Result<BookmarkList> load(const std::string& programFolder);

    // Splits one line at its first "="; nullopt when the line has none.
    static std::optional<Bookmark> parseLine(std::string_view line);

    const std::vector<Bookmark>& entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

    // The name offered for the next bookmark: "书签" + the number of entries.
    std::string nextName() const;

    // Appends as given: names are not checked for duplicates, emptiness or "=".
    void add(std::string name, std::string address);

    // Removes entry `index`; false (and nothing removed) when out of range, e.g. -1 for
    // "nothing selected".
    bool remove(int index);

    // The address of entry `index`, or nullopt when out of range.
    std::optional<std::string> addressAt(int index) const;

    // Rewrites the whole file (atomically), one "name=address" line per entry.
    Result<void> save(const std::string& programFolder) const;

  private:
    std::vector<Bookmark> m_entries;
};

// Whether a bookmark is listed for the book whose resource prefix is `bookPrefix` (both texts
// with their percent escapes decoded). A page of another Book image (a "res:" address under
// another prefix) is that book's: several books in one folder share BookTag.ini. Bare page
// names and web addresses belong to every book; an empty prefix lists everything.
bool bookmarkListedFor(std::string_view address, std::string_view bookPrefix);

} // namespace folio::reader
