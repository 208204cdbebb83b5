// Editing the contents list as a tree of entries kept in a flat list of rows.
#include "maker/generators/contentsedit.h"

#include <algorithm>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace folio::generators {

namespace {

int lastDataRow(const ContentsList& list) {
    return list.rowCount() - 2;
}

// The data rows among `rows`, in order, each once.
std::vector<int> dataRows(const ContentsList& list, std::vector<int> rows) {
    const int last = lastDataRow(list);
    std::erase_if(rows, [last](int r) { return r < 1 || r > last; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int at(const std::vector<int>& v, int row) {
    return v[static_cast<std::size_t>(row)];
}

int baseOf(const ContentsList& list) {
    return lastDataRow(list) >= 1 && list.cell(1, ColID) == "0" ? 0 : 1;
}

Renumbering renumber(ContentsList& list, int base) {
    const int last = lastDataRow(list);
    Renumbering ids;
    const std::vector<int> parents = parentRows(list);
    const auto number = [base](int row) { return std::to_string(base + row - 1); };
    for (int r = 1; r <= last; ++r)
        ids.emplace(list.cell(r, ColID), number(r));
    const bool zeroIsAnEntry = base == 0 && last >= 1;
    for (int r = 1; r <= last; ++r) {
        list.setCell(r, ColID, number(r));
        if (const int p = at(parents, r); p != 0) {
            list.setCell(r, ColSID, number(p));
            continue;
        }
        const std::string& sid = list.cell(r, ColSID);
        if (sid != "-1" && !(sid == "0" && !zeroIsAnEntry))
            list.setCell(r, ColSID, "-1");
    }
    return ids;
}

// old -> middle, then middle -> new.
Renumbering compose(const Renumbering& first, const Renumbering& second) {
    Renumbering ids;
    for (const auto& [old, middle] : first) {
        if (const auto found = second.find(middle); found != second.end())
            ids.emplace(old, found->second);
    }
    return ids;
}

// Whether some ancestor of `row` is marked; a loop of parents ends the walk.
bool hasMarkedAncestor(const std::vector<int>& parents, const std::vector<bool>& marked, int row) {
    int p = at(parents, row);
    for (std::size_t guard = 0; p != 0 && guard < parents.size(); ++guard) {
        if (marked[static_cast<std::size_t>(p)])
            return true;
        p = at(parents, p);
    }
    return false;
}

// The rows to change: the given ones but those whose ancestor is given too (they go along).
std::vector<int> outermost(const std::vector<int>& parents, const std::vector<int>& rows) {
    std::vector<bool> marked(parents.size(), false);
    for (int r : rows)
        marked[static_cast<std::size_t>(r)] = true;
    std::vector<int> result;
    for (int r : rows) {
        if (!hasMarkedAncestor(parents, marked, r))
            result.push_back(r);
    }
    return result;
}

// Runs of adjacent rows, as (first, last).
std::vector<std::pair<int, int>> runsOf(const std::vector<int>& rows) {
    std::vector<std::pair<int, int>> runs;
    for (int r : rows) {
        if (!runs.empty() && runs.back().second + 1 == r)
            runs.back().second = r;
        else
            runs.emplace_back(r, r);
    }
    return runs;
}

// Moves the row `from` to `to` in the list and in the row-indexed vectors beside it.
template <class... Vectors>
void moveRow(ContentsList& list, int from, int to, Vectors&... vectors) {
    ContentsList::Row cells = list.row(from);
    list.remove(from);
    list.insertRow(std::move(cells), to);
    const auto shift = [from, to](auto& v) {
        // The element's value, not a reference into it (vector<bool> hands out proxies).
        typename std::decay_t<decltype(v)>::value_type value = v[static_cast<std::size_t>(from)];
        v.erase(v.begin() + from);
        v.insert(v.begin() + to, value);
    };
    (shift(vectors), ...);
}

// The common frame of every edit: numbered afresh before and after, on a copy that replaces
// the list only when the edit is done.
template <class Edit> EditResult edit(ContentsList& list, std::vector<int> rows, Edit&& change) {
    rows = dataRows(list, std::move(rows));
    if (rows.empty())
        return std::unexpected(Refusal{EditRefusal::NoEntry});
    ContentsList work = list;
    const int base = baseOf(list);
    const Renumbering first = renumber(work, base);
    auto outcome = change(work, rows);
    if (!outcome)
        return outcome;
    outcome->ids = compose(first, renumber(work, base));
    list = std::move(work);
    return outcome;
}

} // namespace

std::vector<int> parentRows(const ContentsList& list) {
    const int last = lastDataRow(list);
    std::unordered_map<std::string_view, int> firstRow;
    for (int r = 1; r <= last; ++r) {
        if (!list.cell(r, ColID).empty())
            firstRow.emplace(list.cell(r, ColID), r);
    }
    std::vector<int> parents(static_cast<std::size_t>(std::max(last, 0) + 1), 0);
    for (int r = 1; r <= last; ++r) {
        const auto found = firstRow.find(list.cell(r, ColSID));
        if (found != firstRow.end() && found->second != r)
            parents[static_cast<std::size_t>(r)] = found->second;
    }
    return parents;
}

int rowOfId(const ContentsList& list, std::string_view id) {
    if (id.empty())
        return 0;
    for (int r = 1; r <= lastDataRow(list); ++r) {
        if (list.cell(r, ColID) == id)
            return r;
    }
    return 0;
}

int parentRow(const ContentsList& list, int row) {
    const int p = rowOfId(list, list.cell(row, ColSID));
    return p == row ? 0 : p;
}

bool isParentAllowed(const ContentsList& list, int row, std::string_view sid) {
    if (sid == "-1" || sid == "0")
        return true;
    const int p = rowOfId(list, sid);
    return p >= 1 && p < row;
}

bool isExistingParent(const ContentsList& list, std::string_view sid) {
    return sid == "-1" || sid == "0" || rowOfId(list, sid) != 0;
}

Renumbering renumberEntries(ContentsList& list) {
    return renumber(list, baseOf(list));
}

EditResult deleteEntries(ContentsList& list, std::vector<int> rows) {
    return edit(list, std::move(rows), [](ContentsList& work, const std::vector<int>& doomed) {
        const std::vector<int> parents = parentRows(work);
        std::vector<bool> deleted(parents.size(), false);
        for (int r : doomed)
            deleted[static_cast<std::size_t>(r)] = true;
        // Each child of a deleted entry climbs to the first ancestor that stays; at the top it
        // takes the mark the deleted entry had.
        for (int r = 1; r <= lastDataRow(work); ++r) {
            if (deleted[static_cast<std::size_t>(r)] ||
                !deleted[static_cast<std::size_t>(at(parents, r))])
                continue;
            int a = at(parents, r);
            std::string mark = "-1";
            for (std::size_t guard = 0; a != 0 && deleted[static_cast<std::size_t>(a)]; ++guard) {
                if (guard >= parents.size()) {
                    a = 0; // a loop of deleted parents: the top level
                    break;
                }
                mark = work.cell(a, ColSID);
                a = at(parents, a);
            }
            work.setCell(r, ColSID, a != 0 ? work.cell(a, ColID) : mark);
        }
        for (auto r = doomed.rbegin(); r != doomed.rend(); ++r)
            work.remove(*r);
        const int stand = std::min(doomed.front(), work.rowCount() - 1);
        return EditResult(EditOutcome{{stand}, {}});
    });
}

EditResult moveEntries(ContentsList& list, std::vector<int> rows, int by) {
    return edit(list, std::move(rows), [by](ContentsList& work, const std::vector<int>& chosen) {
        const int last = lastDataRow(work);
        std::vector<int> origin(static_cast<std::size_t>(last + 1));
        std::vector<bool> selected(origin.size(), false);
        for (int r = 0; r <= last; ++r)
            origin[static_cast<std::size_t>(r)] = r;
        for (int r : chosen)
            selected[static_cast<std::size_t>(r)] = true;
        const bool up = by < 0;
        const int steps = up ? -by : by;
        for (int step = 0; step < steps; ++step) {
            std::vector<int> now;
            for (int r = 1; r <= last; ++r) {
                if (selected[static_cast<std::size_t>(r)])
                    now.push_back(r);
            }
            const auto runs = runsOf(now);
            const std::vector<int> parents = parentRows(work);
            const auto refuse = [&](EditRefusal why, int row, int other) {
                return EditResult(std::unexpected(
                    Refusal{why, at(origin, row), other ? at(origin, other) : 0, step}));
            };
            // Every block is checked before any moves, so a refusal leaves all in place.
            for (const auto& [a, b] : runs) {
                const int passed = up ? a - 1 : b + 1; // the entry the block goes past
                if (up && a == 1)
                    return refuse(EditRefusal::AtTop, a, 0);
                if (!up && b == last)
                    return refuse(EditRefusal::AtBottom, b, 0);
                for (int r = a; r <= b; ++r) {
                    if (up && at(parents, r) == passed)
                        return refuse(EditRefusal::ParentAbove, r, passed);
                    if (!up && at(parents, passed) == r)
                        return refuse(EditRefusal::ChildBelow, r, passed);
                }
            }
            for (const auto& [a, b] : runs) {
                if (up)
                    moveRow(work, a - 1, b, origin, selected);
                else
                    moveRow(work, b + 1, a, origin, selected);
            }
        }
        EditOutcome outcome;
        for (int r = 1; r <= last; ++r) {
            if (selected[static_cast<std::size_t>(r)])
                outcome.rows.push_back(r);
        }
        return EditResult(std::move(outcome));
    });
}

EditResult indentEntries(ContentsList& list, std::vector<int> rows) {
    return edit(list, std::move(rows), [](ContentsList& work, const std::vector<int>& chosen) {
        std::vector<int> parents = parentRows(work);
        for (int t : outermost(parents, chosen)) {
            int sibling = t - 1;
            while (sibling >= 1 && at(parents, sibling) != at(parents, t))
                --sibling;
            if (sibling < 1)
                return EditResult(std::unexpected(Refusal{EditRefusal::NoSibling, t}));
            work.setCell(t, ColSID, work.cell(sibling, ColID));
            parents[static_cast<std::size_t>(t)] = sibling;
        }
        return EditResult(EditOutcome{chosen, {}});
    });
}

EditResult outdentEntries(ContentsList& list, std::vector<int> rows) {
    return edit(list, std::move(rows), [](ContentsList& work, const std::vector<int>& chosen) {
        const std::vector<int> parents = parentRows(work);
        const std::vector<int> targets = outermost(parents, chosen);
        for (int t : targets) {
            if (at(parents, t) == 0)
                return EditResult(std::unexpected(Refusal{EditRefusal::TopLevel, t}));
        }
        for (int t : targets)
            work.setCell(t, ColSID, work.cell(at(parents, t), ColSID));
        return EditResult(EditOutcome{chosen, {}});
    });
}

ContentsHistory::ContentsHistory(std::size_t steps, std::size_t rows)
    : m_maxSteps(std::max<std::size_t>(steps, 1)), m_maxRows(rows) {}

void ContentsHistory::reset(const ContentsList& list) {
    m_current = list;
    m_steps.clear();
}

bool ContentsHistory::commit(const ContentsList& list, std::string what) {
    if (list == m_current)
        return false;
    m_steps.push_back({std::move(m_current), std::move(what)});
    m_current = list;
    trim();
    return true;
}

std::string ContentsHistory::lastChange() const {
    return m_steps.empty() ? std::string() : m_steps.back().what;
}

std::optional<std::string> ContentsHistory::undo(ContentsList& list) {
    if (list != m_current) {
        list = m_current;
        return std::string();
    }
    if (m_steps.empty())
        return std::nullopt;
    Step step = std::move(m_steps.back());
    m_steps.pop_back();
    m_current = step.before;
    list = std::move(step.before);
    return std::move(step.what);
}

void ContentsHistory::trim() {
    std::size_t rows = 0;
    for (const Step& s : m_steps)
        rows += static_cast<std::size_t>(s.before.rowCount());
    while (m_steps.size() > m_maxSteps || (rows > m_maxRows && m_steps.size() > 1)) {
        rows -= static_cast<std::size_t>(m_steps.front().before.rowCount());
        m_steps.pop_front();
    }
}

} // namespace folio::generators
