// Putting the contents list in order: deleting entries, moving them up and down, indenting
// and outdenting them, numbering them afresh, checking a typed parent number, and the undo
// history of the workbench's list.
#pragma once

#include "maker/generators/contentslist.h"

#include <cstddef>
#include <deque>
#include <expected>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

// The row of an entry's parent as the contents page finds it: the first entry numbered as the
// entry's SID. 0 for the top level: "-1", a number no entry has, or the entry's own number.
int parentRow(const ContentsList& list, int row);

// Every entry's parent row as parentRow gives it (index = row; 0 at the top level), found
// through one index of the numbers instead of a search per row.
std::vector<int> parentRows(const ContentsList& list);

// The first data row numbered `id`, 0 when none is.
int rowOfId(const ContentsList& list, std::string_view id);

// A parent number typed for data row `row`: "-1", "0", or the number of an entry above it
// (so that a parent always stands above its children and no entry becomes its own ancestor).
bool isParentAllowed(const ContentsList& list, int row, std::string_view sid);

// A parent for new entries: "-1", "0" or the number of an existing entry.
bool isExistingParent(const ContentsList& list, std::string_view sid);

// Old number -> new number of every entry an edit kept (its first entry, for a number that
// several entries had).
using Renumbering = std::map<std::string, std::string>;

// Numbers the entries afresh, one per row in row order, from the list's base: 0 when the
// first entry is numbered 0 (as the home entry makes it), 1 otherwise. Every parent number
// follows the entry it named; "-1" stays, so does "0" where no entry is numbered 0, and a
// number that named no entry becomes "-1". The tree the contents page draws is unchanged.
Renumbering renumberEntries(ContentsList& list);

struct EditOutcome {
    // Where the edited entries stand now (for a deletion: the row that took the first one's
    // place), for the selection to follow.
    std::vector<int> rows;
    Renumbering ids;
};

enum class EditRefusal {
    NoEntry,     // no data row was given
    AtTop,       // `row` is the first entry: it cannot move up
    AtBottom,    // `row` is the last entry: it cannot move down
    ParentAbove, // moving up would put `row` above its parent `other`
    ChildBelow,  // moving down would put `row` below its child `other`
    NoSibling,   // `row` has no entry above it at its own level to become the child of
    TopLevel,    // `row` stands at the top level already
};

struct Refusal {
    EditRefusal why = EditRefusal::NoEntry;
    int row = 0;   // list rows as they stood before the edit
    int other = 0; // 0 when no other entry is in the way
    int done = 0;  // for a move of several rows: the rows it could have gone
};

using EditResult = std::expected<EditOutcome, Refusal>;

// Each edit changes the list as one whole, or, refused, not at all. Rows are list rows; rows
// outside the data rows and repeated rows are passed over. Every edit numbers the entries
// afresh (renumberEntries) before and after its change, so that it works on one entry per
// number and leaves the numbers following the rows.

// Deletes the entries. Their children stay, hung under the deleted entry's parent (or that
// entry's own mark, "-1" or "0", at the top level); nothing else changes.
EditResult deleteEntries(ContentsList& list, std::vector<int> rows);

// Moves the entries `by` rows (negative: up), one row at a time. Each run of adjacent rows
// moves as a block: the entry beside it goes to its other end. Refused when a block is at
// the top or bottom, or when an entry would go above its parent or a parent below its child.
EditResult moveEntries(ContentsList& list, std::vector<int> rows, int by);

// Each entry becomes the last child of the nearest entry above it with the same parent; an
// entry whose parent is among the rows goes along with it.
EditResult indentEntries(ContentsList& list, std::vector<int> rows);

// Each entry takes its parent's parent; the rows stay where they are.
EditResult outdentEntries(ContentsList& list, std::vector<int> rows);

// The changes of the workbench's list, for undoing the last one. Whoever changes the list
// commits it afterwards; the history keeps the list as it stood before each change.
class ContentsHistory {
  public:
    // At most `steps` changes, holding at most `rows` rows of earlier lists between them
    // (the oldest go first; the last change can always be undone).
    explicit ContentsHistory(std::size_t steps = 100, std::size_t rows = 50000);

    // A list to start from (another project's, one just read): nothing to undo.
    void reset(const ContentsList& list);
    // The list after a change called `what`. False, and nothing kept, when it is unchanged.
    bool commit(const ContentsList& list, std::string what);

    bool canUndo() const { return !m_steps.empty(); }
    // What undo would take back.
    std::string lastChange() const;
    // Puts the list back as it stood before the last change and returns that change's name;
    // nothing when there is none. A change not committed yet is the one taken back.
    std::optional<std::string> undo(ContentsList& list);

  private:
    struct Step {
        ContentsList before;
        std::string what;
    };
    void trim();

    std::size_t m_maxSteps;
    std::size_t m_maxRows;
    ContentsList m_current;
    std::deque<Step> m_steps;
};

} // namespace folio::generators
