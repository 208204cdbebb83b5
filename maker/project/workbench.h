// The workbench's project state as plain values, and the commands over it that need no window:
// start-up, opening a project, creating and saving one, copying files into it, shut-down.
// The window copies its boxes into a MakerState, calls a command and shows the state again.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/compiler/compilebook.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/convert.h"
#include "maker/generators/epub.h"
#include "maker/project/drives.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace folio::project {

using folio::ProjectSettings;

// The caption of the workbench and the title of its messages.
inline constexpr const char* WorkbenchTitle = "folioMake";

struct MakerState {
    std::string makerFolder; // the program folder, without a final "/"

    std::vector<std::string> languages; // Combo1
    int languageIndex = -1;             // applied at start; -1: none
    std::vector<std::string> skins;     // Combo2: the file names of skin/, in list order
    int skinIndex = -1;                 // applied at start; -1: none
    std::string startSkin;              // skin/aero.she, applied before anything else

    std::vector<std::string> projects; // ComProPath's entries
    std::string projectText;           // ComProPath's text: the current project
    std::string openFolder;            // File3: the open project folder ("" before any)
    std::vector<std::string> pages;    // List2: the open folder's files

    ProjectSettings settings; // the ten boxes
    std::string treeTag;      // TxtTag
    std::string homePageTag;  // HomePageTag

    int zoom = 100;                     // ZoomLevel of the preview
    std::vector<Drive> drives;          // the drive tree's top nodes
    std::vector<std::string> templates; // File2: the file names of list/
    int startTab = 6;                   // "工程设置", counted from 1
    std::string startPage; // help/help.html when it exists, else "" (the built-in page)

    // Failures that the commands pass over (a config.ini that cannot be written ...), for
    // whoever wants to show them; each names the file.
    std::vector<std::string> problems;

    std::string skinPath(int index) const; // maker/skin/<name>; "" when out of range
};

// Start-up, in order: the default skin; the languages (every element of `languages` but the
// last, as ListLanguages gives them) with the second selected; the skins with the second
// selected; the output folder maker/out/; Pro.ini into the project list and its last entry
// opened; HomePageTag.ini and TreeTag.ini; the start page. What may be missing (Pro.ini, the
// tag files, a second language or skin) gives defaults: an empty list, the built-in tags, the
// first entry.
MakerState StartMaker(const std::string& makerFolder, const std::vector<std::string>& languages,
                      Observer& observer);

// The project folder of a list entry: maker + "/" + entry. An entry that is empty or would lead
// out of the maker folder (a path, "." or "..") names none.
Result<std::string> projectFolderOfEntry(const MakerState& state, const std::string& entry);

// ComProPath's selection: the text becomes the entry; when its folder exists the project is
// opened, otherwise the open project stays. Returns whether a project was opened.
bool SelectProject(MakerState& state, int index, Observer& observer);

// Opening a folder as the project (also after the folder picker, Command8 and a copy): List2
// refilled, config.ini written from the values shown before when the folder lacks one, then the
// folder's settings file read over the fields up to its first empty line. Errors are passed
// over (recorded in `problems`); the fields keep what they had.
void OpenProjectFolder(MakerState& state, const std::string& folder, Observer& observer);

// Command8 "刷新": the open folder opened again (its settings file overwrites unsaved edits).
void RefreshProject(MakerState& state, Observer& observer);

// The compile command's first step: the project is maker/<title>, opened when it is not the
// open folder already. A title that names no existing folder inside the maker folder is shown
// in a message box and returned as an error. Returns the folder.
Result<std::string> OpenTitleProject(MakerState& state, Observer& observer);

// The folder picker's project: the path becomes the project text and is opened.
void PickProjectFolder(MakerState& state, const std::string& folder, Observer& observer);

// Command7: nothing while the title is empty. A new folder gets its settings file and joins the
// list (and is opened); Pro.ini gains the project text; the template files are copied from
// list/tree/. A failure is shown in a message box naming the file and ends the command.
Result<void> CreateProject(MakerState& state, Observer& observer);

// Command2: nothing while the title is empty. A missing folder is created, joins the list and is
// opened; Pro.ini gains the project text; TreeTag.ini, HomePageTag.ini and the maker's
// config.ini are rewritten; the template files are copied from list/. A failure is shown in a
// message box naming the file and ends the command.
Result<void> SaveSettings(MakerState& state, Observer& observer);

// Shut-down: Pro.ini rewritten with exactly the project list.
Result<void> ShutDown(const MakerState& state);

// "复制文件": every selected explorer file copied into maker/<title>/, the caption showing the
// index, then the summary message and the project opened again. Refused (with a message) while
// the title is empty or names no folder inside the maker folder; a file that cannot be copied
// is named in a message and the copy goes on with the next. Returns how many were copied.
Result<int> CopyFilesIntoProject(MakerState& state, const generators::ExplorerList& explorer,
                                 Observer& observer);

// The page list's selection as the window holds it.
struct PageSelection {
    std::vector<std::string> names; // the entries selected
    bool whole = false;             // every entry was selected ("全选")
};

// The page list read afresh from the open folder (the settings are not read again). The
// selection is kept by name; a whole selection stays whole, so pages that appeared meanwhile
// (a generated index.html or tree.html) are selected too. Returns the selection flags,
// parallel to state.pages.
std::vector<bool> RefreshPageList(MakerState& state, const PageSelection& selection,
                                  Observer& observer);

struct CompileRequest {
    PageSelection selection;
    bool exe = true;          // Check1 "EXE"
    bool chm = false;         // Check2 "CHM"
    bool epub = false;        // "EPUB": <output folder>/<output file>.epub as well
    std::string iconPath;     // TxtIconPath
    std::string skinFileName; // Combo2's text
    std::string dateText;     // today in the user's short date format
    // Runs before the book is compiled, given the page list's entries that will be compiled;
    // false leaves the book as it is (the check found errors and the user chose the report).
    std::function<bool(const std::vector<std::string>& entries)> checkFirst;
};

struct CompileRun {
    std::vector<bool> selected; // the page list's selection after the run, parallel to pages
    std::optional<compiler::CompiledBook> book;
    std::string helpFile; // the compiled help file, when CHM was ticked and it was built
    std::optional<generators::EpubOutcome> epub; // when EPUB was ticked and it was written
};

// "编译文件": the title's project is opened when it is not the open one, else its page list is
// read afresh, so what was generated since is there. A whole selection means every page of
// the project: the project's own files (ProjectOwnFiles) are left out. With nothing selected
// the user is asked whether to compile every page (No compiles nothing and says so); own files
// selected one by one are asked about before they go into the book. Then the book (EXE), the
// help file (CHM) and the EPUB book (from the contents list, whatever the selection) as ticked;
// the EPUB's outcome or failure is shown in a message box. A refused or declined compile is an
// error; the book's own failures are shown by CompileBook.
Result<CompileRun> CompileProject(MakerState& state, const generators::ContentsList& contents,
                                  const CompileRequest& request, Observer& observer);

// A project made without the window (`folio new`).
struct NewProjectInputs {
    std::string parentFolder; // the maker folder, or any folder to hold the project
    std::string makerFolder;  // whose list/tree/ files a project gets, as the window's create
    std::string title;
    std::string author;
    std::string fromFolder; // its files are copied in as pages; empty: none
};

struct NewProject {
    std::string folder;                    // parentFolder + "/" + title
    std::string settingsFile;              // its <title>.ini
    bool listed = false;                   // the parent is the maker folder: Pro.ini names it
    std::vector<std::string> pages;        // the files copied from fromFolder, in list order
    std::vector<std::string> leftOut;      // what fromFolder holds that is no page (sub-folders)
    std::vector<std::string> supportFiles; // list/tree/ files copied
};

// Makes parentFolder/title with its settings file (CP936, CR LF: the title, the author,
// index.html, tree.html, the output file named after the title, and for a project in the maker
// folder the output folder maker/out/, which also joins Pro.ini), the contents page's support
// files from the maker's list/tree/, and the pages of fromFolder. A folder that exists already,
// or a title that cannot name one (or holds ":", which splits the book's descriptor), is refused
// before anything is written.
Result<NewProject> CreateProjectFolder(const NewProjectInputs& in);

// The built-in start page written into the preview when help/help.html is missing.
std::string MakerAboutPage();

// What "目录预览" shows: maker/<title>/<contents page>; without a title the help page
// help/help.html, or "" (the built-in page) when that is missing.
std::string ContentsPreviewPage(const std::string& makerFolder, const std::string& title,
                                const std::string& contentsPage);

// What opening a project passed over (state.problems: a settings file that could not be read,
// a config.ini that could not be written) said once in a message box naming the files, instead
// of leaving the boxes silently holding the previous values; the list is emptied.
void ReportProblems(MakerState& state, Observer& observer);

// "保存" of the code view: the save dialog titled "保存文件" opens in `folder` (the title's
// project folder); a file that exists is replaced only when the author answers Yes to the
// question, whose default is No. The caption then shows the file, and the text (UTF-8, LF line
// ends, as the view holds it) is written in CP936 with CR LF line ends. Returns the file
// written; nullopt when the author cancelled or kept the file. A file that cannot be written is
// shown in a message box naming it.
Result<std::optional<std::string>> SaveCodeView(const std::string& folder, const std::string& text,
                                                Observer& observer);
// The message that follows: "文件 <path>，保存成功。"
std::string codeViewSavedMessage(const std::string& path);

// "TxtToHtml": the explorer's selected text files converted into pages beside them from the
// maker's list/page/page.html. Failures are shown by the converter.
Result<generators::ConvertSummary> ConvertExplorerText(const MakerState& state,
                                                       const generators::ExplorerList& explorer,
                                                       Observer& observer);

} // namespace folio::project
