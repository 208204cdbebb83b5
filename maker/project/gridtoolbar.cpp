// The contents grid toolbar's commands and the two link lists kept in step.
#include "maker/project/gridtoolbar.h"

namespace folio::project {

namespace {

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

bool inRange(int i, std::size_t size) {
    return i >= 0 && static_cast<std::size_t>(i) < size;
}

} // namespace

void ClearContents(generators::ContentsList& list) {
    list.clear();
}

int AddSelectedLinks(generators::ContentsList& list, int currentRow,
                     const std::vector<std::string>& texts, const std::vector<std::string>& targets,
                     const std::vector<bool>& selected) {
    int added = 0;
    // The parent is read once: rows added in one pass are siblings, even though inserting
    // them moves the blank row the current index may point at. Only an entry is a parent;
    // the blank row stands for the top level, as for the builder.
    const std::string parent = gridClick(list, currentRow).sid;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i >= selected.size() || !selected[i])
            continue;
        const std::string target = i < targets.size() ? targets[i] : std::string();
        list.appendEntry(std::to_string(list.rowCount() - 1), parent, oneLine(texts[i]),
                         oneLine(target));
        ++added;
    }
    return added;
}

GridPick gridClick(const generators::ContentsList& list, int row) {
    if (row < 1 || row > list.rowCount() - 2)
        return {"-1", ""};
    return {list.cell(row, generators::ColID), list.cell(row, generators::ColCaption)};
}

void LinkListPair::clear() {
    *this = LinkListPair{};
}

void LinkListPair::append(std::string text, std::string target) {
    texts.push_back(std::move(text));
    targets.push_back(std::move(target));
    textSelected.push_back(false);
    targetSelected.push_back(false);
}

void LinkListPair::clickText(int i, bool selected) {
    if (!inRange(i, texts.size()))
        return;
    const auto index = static_cast<std::size_t>(i);
    textCurrent = i;
    textSelected[index] = selected;
    textTip = texts[index];
    // A target list shorter than the texts (never filled together) has no item to follow.
    if (inRange(i, targets.size())) {
        targetCurrent = i;
        targetSelected[index] = selected;
    }
}

void LinkListPair::clickTarget(int i) {
    if (!inRange(i, targets.size()))
        return;
    targetCurrent = i;
    targetTip = targets[static_cast<std::size_t>(i)];
    if (inRange(i, texts.size()))
        textCurrent = i;
}

void LinkListPair::scrollText(int top) {
    textTop = top;
    targetTop = top;
}

void LinkListPair::scrollTarget(int top) {
    targetTop = top;
    textTop = top;
}

} // namespace folio::project
