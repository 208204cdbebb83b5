// Renaming the selected files of the explorer after their content: the "批量改名" command.
#pragma once

#include "core/observer.h"
#include "maker/generators/convert.h"
#include "maker/generators/relink.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

// Where the new name comes from (Option1 .. Option5 of the rename window).
enum class RenameSource { FirstLine, HtmlTitle, HtmlH1, HtmlH2, StripSymbols };

// The question asked before anything is renamed.
inline constexpr const char* RenameWarning =
    "该操作极具危险性，可以大批量修改文件名称！\r\n"
    "请确认批量改名选项，如果仍然确定修改，请选择“确定”，否则请选择屈“取消”，请选择？";

// The caption shown for item i is this text, i and "%".
inline constexpr const char* RenameCaption = "-正在更改文件";

struct RenameInputs {
    ExplorerList list;
    RenameSource source = RenameSource::FirstLine;
    bool relink = false; // also rewrite the links of the folder's pages (RelinkPages)
    std::string programTitle = MakerTitle;
};

struct RenameSummary {
    using Renamed = NameChange; // names in the explorer folder
    struct Kept {
        std::string name, why;
    };
    bool confirmed = false;
    std::vector<Renamed> renamed; // the rename map, for the project's contents list too
    std::vector<Kept> kept;       // selected files that keep their names, with the reason
    // With `relink`: the pages whose links were rewritten, and those left alone with why.
    std::vector<std::string> relinked;
    std::vector<Kept> notRelinked;
};

// Asks first; every selected file that still exists gets its new name unless that name is
// taken. Files whose new name would be empty or unusable keep their names. With `relink`, the
// links of the folder's pages then follow the new names.
RenameSummary RenamePagesByTitle(const RenameInputs& in, Observer& observer);

// What a run with `relink` did to the links, for one message after it.
std::string RelinkReport(const RenameSummary& summary);

// A name longer than 30 characters keeps only its first 15.
std::string CutLongName(std::string_view base);

// The name cleaning table: punctuation removed or turned into spaces, leading spaces trimmed.
// Characters no file name can hold on either system (control characters, "\") are taken out
// as well, and so are U+FFFD and bytes that are not UTF-8, so the result is always a usable
// UTF-8 name (or empty).
std::string CleanFileName(std::string_view base);

} // namespace folio::generators
