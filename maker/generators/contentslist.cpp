// The contents list grid and the file that keeps it with the project.
#include "maker/generators/contentslist.h"

#include "core/fileio.h"
#include "core/text.h"

#include <algorithm>
#include <filesystem>

namespace folio::generators {

namespace {

constexpr std::string_view Signature = "folio contents 1";

std::vector<std::string_view> splitTabs(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = text.find('\t', start);
        if (tab == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, tab - start));
        start = tab + 1;
    }
}

std::string escapeCell(std::string_view cell) {
    std::string out;
    out.reserve(cell.size());
    for (char c : cell) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// False on a backslash that starts no known escape.
bool unescapeCell(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace

const std::array<ContentsHeading, ContentsColumns>& contentsHeadings() {
    static const std::array<ContentsHeading, ContentsColumns> headings = [] {
        std::array<ContentsHeading, ContentsColumns> result{};
        std::string_view format = ContentsHeadingFormat;
        for (int column = 0; column < ContentsColumns; ++column) {
            const std::size_t bar = format.find('|');
            std::string_view part = format.substr(0, bar);
            format = bar == std::string_view::npos ? std::string_view{} : format.substr(bar + 1);
            ContentsHeading& h = result[static_cast<std::size_t>(column)];
            // Width in ANSI characters: a Chinese character takes two, as on screen.
            h.width = static_cast<int>(toAnsi(part).size());
            if (part.starts_with('^')) {
                h.centred = true;
                part.remove_prefix(1);
            }
            while (!part.empty() && part.front() == ' ')
                part.remove_prefix(1);
            while (!part.empty() && part.back() == ' ')
                part.remove_suffix(1);
            h.text = part;
        }
        return result;
    }();
    return headings;
}

ContentsList::ContentsList() {
    clear();
}

void ContentsList::clear() {
    m_rows.assign(2, Row{});
    for (int column = 0; column < ContentsColumns; ++column)
        m_rows[0][static_cast<std::size_t>(column)] =
            contentsHeadings()[static_cast<std::size_t>(column)].text;
}

const std::string& ContentsList::cell(int row, int column) const {
    static const std::string empty;
    if (row < 0 || row >= rowCount() || column < 0 || column >= ContentsColumns)
        return empty;
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool ContentsList::setCell(int row, int column, std::string text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= ContentsColumns)
        return false;
    m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
    return true;
}

const ContentsList::Row& ContentsList::row(int row) const {
    static const Row empty{};
    if (row < 0 || row >= rowCount())
        return empty;
    return m_rows[static_cast<std::size_t>(row)];
}

ContentsEntry ContentsList::entry(int r) const {
    const Row& c = row(r);
    return {c[ColID],  c[ColSID], c[ColCaption],    c[ColURL],   c[ColAuthor],
            c[ColLen], c[ColImg], c[ColNewChapter], c[ColState], c[ColSynopsis]};
}

void ContentsList::insertRow(Row cells, int index) {
    index = std::clamp(index, 1, rowCount() - 1);
    m_rows.insert(m_rows.begin() + index, std::move(cells));
}

void ContentsList::insertRowText(std::string_view rowText, int index) {
    Row cells{};
    const auto parts = splitTabs(rowText);
    for (std::size_t i = 0; i < parts.size() && i < cells.size(); ++i)
        cells[i] = parts[i];
    insertRow(std::move(cells), index);
}

void ContentsList::appendEntry(std::string_view id, std::string_view sid, std::string_view caption,
                               std::string_view url) {
    Row cells{};
    cells[ColBlank] = " ";
    cells[ColID] = id;
    cells[ColSID] = sid;
    cells[ColCaption] = caption;
    cells[ColURL] = url;
    insertRow(std::move(cells), rowCount() - 1);
}

bool ContentsList::remove(int row) {
    if (row < 1 || row > rowCount() - 2)
        return false;
    m_rows.erase(m_rows.begin() + row);
    return true;
}

std::string contentsListPath(const std::string& projectFolder) {
    std::filesystem::path folder(projectFolder);
    std::string name = folder.filename().string();
    if (name.empty())
        name = folder.parent_path().filename().string();
    return FixPath(projectFolder) + name + ".toc";
}

Result<void> saveContentsList(const std::string& projectFolder, const ContentsList& list) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(list.entryCount()) + 1);
    lines.emplace_back(Signature);
    for (int r = 1; r <= list.rowCount() - 2; ++r) {
        std::string line;
        const ContentsList::Row& cells = list.row(r);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0)
                line += '\t';
            line += escapeCell(cells[c]);
        }
        lines.push_back(std::move(line));
    }
    return writeAnsiLines(contentsListPath(projectFolder), lines);
}

Result<ContentsList> loadContentsList(const std::string& projectFolder) {
    const std::string path = contentsListPath(projectFolder);
    ContentsList list;
    if (!fileExists(path))
        return list;
    auto lines = readAnsiLines(path);
    FOLIO_TRY(lines);
    if (lines->empty() || (*lines)[0] != Signature)
        return fail(path + ": not a contents list file (the first line should be \"" +
                    std::string(Signature) + "\")");
    for (std::size_t n = 1; n < lines->size(); ++n) {
        const std::string& line = (*lines)[n];
        // No row is an empty line (column 0 alone holds a blank): a blank line added by hand
        // is passed over.
        if (line.empty())
            continue;
        const auto parts = splitTabs(line);
        if (parts.size() != ContentsColumns)
            return fail(path + ": line " + std::to_string(n + 1) + " has " +
                        std::to_string(parts.size()) + " cells, expected " +
                        std::to_string(ContentsColumns));
        ContentsList::Row cells{};
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (!unescapeCell(parts[c], cells[c]))
                return fail(path + ": line " + std::to_string(n + 1) + ", cell " +
                            std::to_string(c) + ": a backslash starts no known escape");
        }
        list.insertRow(std::move(cells), list.rowCount() - 1);
    }
    return list;
}

} // namespace folio::generators
