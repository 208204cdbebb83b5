// The home page: index.html from the shelf template, one book card per contents entry, and the
// editor of one entry's card fields.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/convert.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace folio::generators {

// HomePageTag's text when HomePageTag.ini cannot be read.
inline constexpr std::string_view DefaultHomePageTag = "<a href=\"$URL\">$Caption</a></br>\r\n";

inline constexpr const char* HomePageDone = "成功创建首页！";

// What a card's cover is when the entry names none.
inline constexpr const char* DefaultCover = "logo.jpg";

// The state choices of the editor (free text is allowed too).
inline constexpr std::array<std::string_view, 2> HomePageStates = {"连载中", "完结"};

// The editor's cover file filter.
inline constexpr std::string_view CoverFilter =
    "图片封皮(*.jpg,*.bmp,*.jpeg,*.gif)|*.jpg;*.bmp;*.jpeg;*.gif|全部文件(*.*)|*.*";

// HomePageTag.ini of the maker folder: every line followed by CR LF, appended to `accumulator`.
// A missing file leaves the built-in default.
std::string LoadHomePageTag(const std::string& makerFolder, std::string accumulator = {});

// The file-name part of a cover path: after its last "\" or "/".
std::string coverFileName(std::string_view coverPath);

struct HomePageInputs {
    std::string makerFolder;   // holds list/index/
    std::string projectFolder; // must exist: the contents page generator creates it
    std::string bookName;      // TxtTitle
    std::string entryTemplate = std::string(DefaultHomePageTag); // HomePageTag
    std::string programTitle = MakerTitle;
};

struct HomePageOutcome {
    std::string pageText;
    std::vector<std::string> copied;   // files copied into the project folder, in order
    std::vector<std::string> problems; // steps skipped: covers or support files not copied
    bool kept = false; // the author's own index.html was kept: nothing was written or copied
};

// Fills "{$Caption}" and "{$LoopTag}" (one filled card per data row, a separator after every
// fourth), copies the covers and list/index/'s logo.jpg, xs.css and common.css, and writes
// index.html (the page, one more CR LF and the generators' mark). An index.html without the
// mark is replaced only when the observer answers Yes; No leaves every file as it was and
// returns the outcome with `kept`. A relative cover path is taken in the project folder. A cover or
// support file that cannot be copied is passed over; a template that cannot be read or an
// index.html that cannot be written is shown in a message box naming the file and ends the command
// without the success message.
Result<HomePageOutcome> GenerateHomePage(const HomePageInputs& in, const ContentsList& list,
                                         Observer& observer);

// The filled page text alone; `covers` receives the cover path of every row that names one.
std::string fillHomePage(std::string pageText, const std::string& bookName,
                         const std::string& entryTemplate, const ContentsList& list,
                         Observer& observer, std::vector<std::string>* covers = nullptr);

// The editor's fields, Text1 .. Text8, Combo1 and Text9, are columns 1 .. 10 of one row.
ContentsEntry homePageFields(const ContentsList& list, int row);
// Writes the fields back into the row; false for the headings or a row that does not exist.
bool applyHomePageFields(ContentsList& list, int row, const ContentsEntry& fields);

} // namespace folio::generators
