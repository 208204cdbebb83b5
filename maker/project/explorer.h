// The explorer's and the page list's file listing, and the file-selection window's patterns.
#pragma once

#include "core/error.h"
#include "core/observer.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio::project {

// The files of a folder in list order (sorted without regard to case, as the generators read
// the explorer list). Reports the count as the progress maximum and lets the window process
// its events while a large folder is read.
Result<std::vector<std::string>> listFolderFiles(const std::string& folder, Observer& observer);

inline constexpr const char* ExtFile = "Ext.ini";
inline constexpr std::string_view AllFilesPattern = "*.*";

// Every line of maker/Ext.ini, in order (FrmSel's list).
Result<std::vector<std::string>> readExtPatterns(const std::string& makerFolder);

// FrmSel's "选择": with "*.*" every entry is selected; otherwise an entry whose last four
// characters equal the pattern's last four (exact case) is. Selections are only added, never
// removed. `selected` is grown to the size of `names`. Returns how many became selected.
int selectByPattern(const std::vector<std::string>& names, std::vector<bool>& selected,
                    std::string_view pattern);

} // namespace folio::project
