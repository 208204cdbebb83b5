// The read pages file.
#include "reader/core/readmarks.h"

#include "core/fileio.h"
#include "core/text.h"
#include "reader/core/statefile.h"

#include <algorithm>
#include <optional>

namespace folio::reader {

namespace {

constexpr std::string_view Header = "folio read pages 1";

struct Row {
    std::string key;
    std::string lineage;
    std::vector<std::string> pages;
};

// key, lineage (empty when not known), then each page read.
std::optional<Row> parseRow(std::vector<std::string>& fields) {
    if (fields.size() < 2 || !isHexKey(fields[0]) || (!fields[1].empty() && !isHexKey(fields[1])))
        return std::nullopt;
    Row row{std::move(fields[0]), std::move(fields[1]), {}};
    for (std::size_t i = 2; i < fields.size() && row.pages.size() < ReadMarks::MaxPages; ++i) {
        auto page = decodeField(fields[i]);
        if (!page || page->empty())
            return std::nullopt;
        row.pages.push_back(std::move(*page));
    }
    return row;
}

// The sound rows of the file; damaged lines are left out.
std::vector<Row> readRows(const std::string& path) {
    std::vector<Row> rows;
    for (auto& fields : readStateFile(path, Header)) {
        if (auto row = parseRow(fields))
            rows.push_back(std::move(*row));
    }
    return rows;
}

// What two spellings of one page share: percent escapes decoded, in upper case.
std::string comparable(std::string_view page) {
    const auto decoded = decodeField(page);
    return toUpperUnicode(decoded ? *decoded : page);
}

// The book's own row, or else the latest of an earlier build of it.
const Row* findRow(const std::vector<Row>& rows, std::string_view key, std::string_view lineage) {
    const auto own = std::ranges::find(rows, key, &Row::key);
    if (own != rows.end())
        return &*own;
    if (lineage.empty())
        return nullptr;
    const auto earlier = std::ranges::find(rows, lineage, &Row::lineage);
    return earlier != rows.end() ? &*earlier : nullptr;
}

} // namespace

ReadMarks::ReadMarks(std::string folder, std::size_t capacity)
    : m_folder(folder.empty() ? stateFolder() : std::move(folder)), m_capacity(capacity) {}

std::string ReadMarks::filePath() const {
    return m_folder.empty() ? std::string() : FixPath(m_folder) + std::string(FileName);
}

std::vector<std::string> ReadMarks::pagesRead(std::string_view key,
                                              std::string_view lineage) const {
    if (m_folder.empty())
        return {};
    const std::vector<Row> rows = readRows(filePath());
    const Row* row = findRow(rows, key, lineage);
    return row ? row->pages : std::vector<std::string>();
}

Result<void> ReadMarks::markRead(std::string_view key, std::string_view lineage,
                                 std::string_view page) const {
    if (m_folder.empty())
        return fail(
            "no state folder for the read pages file: neither XDG_STATE_HOME nor HOME is set");
    if (!isHexKey(key) || (!lineage.empty() && !isHexKey(lineage)))
        return fail("read pages file " + filePath() + ": \"" + std::string(key) + "\" or \"" +
                    std::string(lineage) + "\" is not a book key (16 hex digits)");
    const std::string_view bare = page.substr(0, page.find_first_of("#?"));
    if (bare.empty())
        return fail("read pages file " + filePath() + ": a page read needs a name");

    std::vector<Row> rows = readRows(filePath());
    Row book{std::string(key), std::string(lineage), {}};
    if (const Row* found = findRow(rows, key, lineage))
        book.pages = found->pages;
    const std::string wanted = comparable(bare);
    if (std::ranges::none_of(book.pages,
                             [&](const std::string& p) { return comparable(p) == wanted; })) {
        if (book.pages.size() >= MaxPages)
            return fail("read pages file " + filePath() + ": the book has " +
                        std::to_string(MaxPages) + " pages read, the most it keeps");
        book.pages.emplace_back(bare);
    }

    std::vector<std::vector<std::string>> lines;
    auto add = [&lines](const Row& row) {
        std::vector<std::string> fields{row.key, row.lineage};
        for (const std::string& p : row.pages)
            fields.push_back(encodeField(p));
        lines.push_back(std::move(fields));
    };
    add(book);
    for (const Row& row : rows) {
        if (lines.size() >= m_capacity)
            break;
        // This build's old row and those of its earlier builds are replaced; a copy of the
        // book elsewhere (same key, another file) keeps its own.
        const bool sameBuild = row.key == key && (row.lineage.empty() || row.lineage == lineage);
        const bool earlierBuild = !lineage.empty() && row.lineage == lineage;
        if (!sameBuild && !earlierBuild)
            add(row);
    }
    return writeStateFile(filePath(), Header, lines);
}

} // namespace folio::reader
