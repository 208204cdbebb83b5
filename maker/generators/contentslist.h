// The contents list: the book's numbered entries as a plain grid of text cells, and its file.
#pragma once

#include "core/error.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

inline constexpr int ContentsColumns = 11;

// The grid's column headings: the spaces give the widths, "|" separates the columns and "^"
// centres one. A view sizes its columns from this text.
inline constexpr std::string_view ContentsHeadingFormat =
    "   |编号|子编号|标题            |链接         |^作者     |^字数   |^封面        |^最新章节    "
    "   |^状态     |^简介                                    ";

// What the columns hold.
enum ContentsColumn : int {
    ColBlank = 0, // always " "
    ColID = 1,
    ColSID = 2, // parent entry's ID, "-1" at top level
    ColCaption = 3,
    ColURL = 4,
    ColAuthor = 5,
    ColLen = 6,
    ColImg = 7,
    ColNewChapter = 8,
    ColState = 9,
    ColSynopsis = 10,
};

// One column heading as the format string gives it.
struct ContentsHeading {
    std::string text; // without the alignment mark, trimmed of blanks
    int width = 0;    // characters in the format string, blanks included
    bool centred = false;
};
const std::array<ContentsHeading, ContentsColumns>& contentsHeadings();

// One data row, by field.
struct ContentsEntry {
    std::string ID, SID, Caption, URL, author, len, img, newchapter, state, synopsis;
};

// Row 0 holds the headings; the last row is always blank and never read. Data rows are
// 1 .. rowCount() - 2, and every entry maker inserts just above the blank row.
class ContentsList {
  public:
    using Row = std::array<std::string, ContentsColumns>;

    ContentsList(); // the headings and the blank row

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int entryCount() const { return rowCount() - 2; }

    // Out-of-range cells read as empty and are not written.
    const std::string& cell(int row, int column) const;
    bool setCell(int row, int column, std::string text);
    const Row& row(int row) const;
    ContentsEntry entry(int row) const;

    // Inserts a row whose cells are the TAB-separated parts of `rowText`, from column 0 on;
    // parts beyond the last column are dropped. `index` is clamped to 1 .. rowCount() - 1 so
    // that the headings stay first and the blank row last.
    void insertRowText(std::string_view rowText, int index);
    void insertRow(Row cells, int index);
    // Inserts " " TAB id TAB sid TAB caption TAB url just above the blank row.
    void appendEntry(std::string_view id, std::string_view sid, std::string_view caption,
                     std::string_view url);

    // Removes a data row; the headings and the blank row cannot be removed.
    bool remove(int row);
    // Back to the headings and the blank row.
    void clear();

    bool operator==(const ContentsList&) const = default;

  private:
    std::vector<Row> m_rows;
};

// The file that keeps a project's whole list between sessions: project folder + "/" + the
// folder's name + ".toc". It is one of the project's files like the settings file, so the
// compiler packs it too; the generated pages never link to it.
//
// Format (CP936, CR LF): the first line is "folio contents 1"; then one line per data row in
// row order, the eleven cells joined by TAB. Inside a cell "\" is written "\\", TAB "\t", CR
// "\r" and LF "\n", so any text survives. The blank row is not stored; empty lines are passed
// over when reading.
std::string contentsListPath(const std::string& projectFolder);

Result<void> saveContentsList(const std::string& projectFolder, const ContentsList& list);

// A project without a list file gets an empty list; a damaged file is an error naming it.
Result<ContentsList> loadContentsList(const std::string& projectFolder);

} // namespace folio::generators
