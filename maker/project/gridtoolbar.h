// The contents grid's toolbar commands over the contents list, and the two link lists (texts
// and targets) that the link analysis fills and the user selects from, kept in step.
#pragma once

#include "maker/generators/contentslist.h"

#include <string>
#include <vector>

namespace folio::project {

// "清空目录": back to the headings and the blank row.
void ClearContents(generators::ContentsList& list);

// "复制目录": for every selected link, in list order, a row " ", R - 1, the ID of the current
// row ("-1" when that is the blank row), the text, the target, inserted above the blank row;
// so after a clear three links get IDs 1, 2, 3. Tabs and line breaks in a text or target
// become blanks, so that the row keeps its columns. Returns how many rows were added.
int AddSelectedLinks(generators::ContentsList& list, int currentRow,
                     const std::vector<std::string>& texts, const std::vector<std::string>& targets,
                     const std::vector<bool>& selected);

// What a grid click hands to the builder window: column 1 (its parent ID box) and column 3 (its
// title box) of the clicked row. Only an entry can be a parent: the blank row (or a row no
// longer there) gives "-1", the top level, and an empty title.
struct GridPick {
    std::string sid;
    std::string title;
};
GridPick gridClick(const generators::ContentsList& list, int row);

// List3 (texts, several may be selected) and List4 (targets), item i of one belonging to item i
// of the other.
struct LinkListPair {
    std::vector<std::string> texts, targets;
    std::vector<bool> textSelected, targetSelected;
    int textCurrent = -1, targetCurrent = -1;
    int textTop = 0, targetTop = 0;
    std::string textTip, targetTip;

    void clear();
    void append(std::string text, std::string target);
    int size() const { return static_cast<int>(texts.size()); }

    // A click on List3 item i with its new selected state: List4 follows the current index and
    // the selection; List3's tip shows the item.
    void clickText(int i, bool selected);
    // A click on List4 item i: List3 follows the current index; List4's tip shows the item.
    void clickTarget(int i);
    // Scrolling one list scrolls the other to the same top item.
    void scrollText(int top);
    void scrollTarget(int top);
};

} // namespace folio::project
