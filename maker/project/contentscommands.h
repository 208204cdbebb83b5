// The workbench's commands over the contents list: keeping the list with the project it
// belongs to, and writing the contents page (with the help files) and the home page from it.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/relink.h"
#include "maker/project/workbench.h"

#include <optional>
#include <string>
#include <vector>

namespace folio::project {

// Saves `list` as the contents list of `folder`. Nothing is written for a folder that is empty
// or no longer there, nor for an empty list in a project that never had one (a project gets
// its list with its first entry). A failure is shown in a message box naming the file.
Result<void> SaveProjectContents(const std::string& folder, const generators::ContentsList& list,
                                 Observer& observer);

// The list follows the open project: when state.openFolder is another folder than
// `listFolder`, the list is saved into `listFolder`, then `listFolder` becomes the open folder
// and the list is that project's (an empty one when its file cannot be read, which is shown).
// Returns whether the list was replaced.
bool FollowOpenProject(const MakerState& state, std::string& listFolder,
                       generators::ContentsList& list, Observer& observer);

// Pages of `folder` were renamed and the links to them rewritten: when `folder` is the project
// the list belongs to (`listFolder`, however either is spelled), the list's entries follow the
// new names. Returns how many entries changed.
int FollowRenamedPages(const std::string& listFolder, const std::string& folder,
                       generators::ContentsList& list,
                       const std::vector<generators::NameChange>& renamed);

// What a page generator's run leaves for the window to show. Failures have been shown in
// message boxes naming their files as they happened.
struct GenerateRun {
    std::optional<std::string> pageText; // the page written, for the code view
    bool openedProject = false; // the run made the project folder, which joined the list, opened
    // The page list read afresh (the open project received the files): its selection, parallel
    // to state.pages.
    std::optional<std::vector<bool>> selected;
};

// "生成目录": tree.html and tree.ini written into maker/<title> (made when missing) from
// `list` with state.treeTag, then the help project, contents and index files, each only after
// the one before was written. A folder made by the run joins the project list and is opened;
// when the folder is the open project its page list is read afresh, `selection` kept. A title
// that names no folder inside the maker folder, or a page that cannot be written, ends the run.
GenerateRun GenerateContents(MakerState& state, const generators::ContentsList& list,
                             const PageSelection& selection, Observer& observer);

// "生成首页": index.html with its covers and support files in maker/<title> from `list` with
// state.homePageTag. When the folder is the open project its page list is read afresh, even
// after a failed page, since covers and support files are copied first.
GenerateRun GenerateHome(MakerState& state, const generators::ContentsList& list,
                         const PageSelection& selection, Observer& observer);

} // namespace folio::project
