// The bookmarks file model behind the bookmarks window.
#include "reader/core/bookmarks.h"

#include "core/fileio.h"
#include "core/text.h"

namespace folio::reader {

std::string BookmarkList::filePath(const std::string& programFolder) {
    return FixPath(programFolder) + std::string(FileName);
}

std::optional<Bookmark> BookmarkList::parseLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Bookmark{std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))};
}

Result<BookmarkList> BookmarkList::load(const std::string& programFolder) {
    const std::string path = filePath(programFolder);
    if (!fileExists(path))
        return BookmarkList();
    auto lines = readAnsiLines(path);
    if (!lines)
        return fail("cannot read the bookmarks file " + path + ": " + lines.error().message);
    BookmarkList list;
    for (const std::string& line : *lines) {
        if (auto bookmark = parseLine(line))
            list.m_entries.push_back(std::move(*bookmark));
    }
    return list;
}

std::string BookmarkList::nextName() const {
    return "书签" + std::to_string(m_entries.size());
}

void BookmarkList::add(std::string name, std::string address) {
    m_entries.push_back(Bookmark{std::move(name), std::move(address)});
}

bool BookmarkList::remove(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size())
        return false;
    m_entries.erase(m_entries.begin() + index);
    return true;
}

std::optional<std::string> BookmarkList::addressAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size())
        return std::nullopt;
    return m_entries[static_cast<std::size_t>(index)].address;
}

Result<void> BookmarkList::save(const std::string& programFolder) const {
    std::vector<std::string> lines;
    lines.reserve(m_entries.size());
    for (const Bookmark& b : m_entries)
        lines.push_back(b.name + "=" + b.address);
    const std::string path = filePath(programFolder);
    if (auto written = writeAnsiLines(path, lines); !written)
        return fail("cannot write the bookmarks file " + path + ": " + written.error().message);
    return {};
}

namespace {

bool startsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size())
        return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(text[i]) != lower(start[i]))
            return false;
    }
    return true;
}

} // namespace

bool bookmarkListedFor(std::string_view address, std::string_view bookPrefix) {
    if (bookPrefix.empty() || !startsWithNoCase(address, "res:"))
        return true;
    // Paths are compared without regard to case, as the books' own system does: a bookmark is
    // hidden only when it surely names another file.
    return startsWithNoCase(address, bookPrefix);
}

} // namespace folio::reader
