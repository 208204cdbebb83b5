// Folder listings for the explorer and the page list, and FrmSel's patterns.
#include "maker/project/explorer.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contents.h"

namespace folio::project {

Result<std::vector<std::string>> listFolderFiles(const std::string& folder, Observer& observer) {
    // One listing rule for every list of files, so that the explorer's order is the order the
    // generators see its selection in.
    auto names = generators::folderEntries(folder, false);
    if (!names)
        return names;
    observer.setProgressMaximum(static_cast<int>(names->size()));
    observer.setProgressValue(static_cast<int>(names->size()));
    observer.processEvents();
    return names;
}

Result<std::vector<std::string>> readExtPatterns(const std::string& makerFolder) {
    return readAnsiLines(FixPath(makerFolder) + ExtFile);
}

int selectByPattern(const std::vector<std::string>& names, std::vector<bool>& selected,
                    std::string_view pattern) {
    if (selected.size() < names.size())
        selected.resize(names.size(), false);
    const bool all = pattern == AllFilesPattern;
    // Characters, not bytes: a Chinese name's last four characters are what the user sees.
    auto lastFour = [](std::string_view text) {
        std::u16string units = utf8ToUtf16(text);
        return units.size() <= 4 ? units : units.substr(units.size() - 4);
    };
    const std::u16string tail = lastFour(pattern);
    int added = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (selected[i])
            continue;
        if (all || lastFour(names[i]) == tail) {
            selected[i] = true;
            ++added;
        }
    }
    return added;
}

} // namespace folio::project
