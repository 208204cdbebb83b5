// The workbench's project state as plain values, and the commands over it that need no window:
// start-up, opening a project, creating and saving one, copying files into it, shut-down.
// The window copies its boxes into a MakerState, calls a command and shows the state again.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/compiler/compilebook.h"
#include "maker/generators/convert.h"
#include "maker/project/drives.h"

#include <string>
#include <vector>

namespace folio::project {

using compiler::ProjectSettings;

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

// The built-in start page written into the preview when help/help.html is missing.
std::string MakerAboutPage();

} // namespace folio::project
