// The recent books file.
#include "reader/core/recentbooks.h"

#include "core/book.h"
#include "core/fileio.h"
#include "reader/core/statefile.h"

namespace folio::reader {

namespace {
constexpr std::string_view Header = "folio recent books 1";
}

RecentBooks::RecentBooks(std::string folder, std::size_t capacity)
    : m_folder(folder.empty() ? stateFolder() : std::move(folder)), m_capacity(capacity) {}

std::string RecentBooks::filePath() const {
    return m_folder.empty() ? std::string() : FixPath(m_folder) + std::string(FileName);
}

std::vector<RecentBook> RecentBooks::stored() const {
    std::vector<RecentBook> books;
    if (m_folder.empty())
        return books;
    for (const auto& fields : readStateFile(filePath(), Header)) {
        if (fields.size() != 2)
            continue;
        auto path = decodeField(fields[0]);
        auto title = decodeField(fields[1]);
        if (!path || !title || path->empty() || path->front() != '/')
            continue;
        books.push_back(RecentBook{std::move(*path), std::move(*title)});
    }
    return books;
}

std::vector<RecentBook> RecentBooks::list() const {
    std::vector<RecentBook> books;
    for (RecentBook& book : stored()) {
        if (books.size() >= m_capacity)
            break;
        if (fileExists(book.path))
            books.push_back(std::move(book));
    }
    return books;
}

Result<void> RecentBooks::add(const std::string& path, const std::string& title) const {
    if (m_folder.empty())
        return fail("no state folder for the recent books: neither XDG_STATE_HOME nor HOME is set");
    if (path.empty() || path.front() != '/')
        return fail("recent books file " + filePath() + ": \"" + path +
                    "\" is not an absolute path");
    std::vector<std::vector<std::string>> rows;
    rows.push_back({encodeField(path), encodeField(title)});
    for (const RecentBook& book : list()) {
        if (rows.size() >= m_capacity)
            break;
        if (book.path != path)
            rows.push_back({encodeField(book.path), encodeField(book.title)});
    }
    return writeStateFile(filePath(), Header, rows);
}

Result<std::string> readBookTitle(const std::string& path) {
    auto image = book::BookImage::open(path);
    if (!image)
        return fail(image.error().message);
    auto descriptor = (*image)->descriptor();
    if (!descriptor)
        return fail(descriptor.error().message);
    const std::vector<std::string> fields = book::splitDescriptor(*descriptor);
    if (fields.size() < 4)
        return fail(path + ": the book's descriptor has " + std::to_string(fields.size()) +
                    " fields, a reader needs at least 4");
    return fields[0];
}

} // namespace folio::reader
