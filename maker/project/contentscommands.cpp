// The contents list's commands (see contentscommands.h): where the list is kept, and the pages
// the generators write from it into the title's project.
#include "maker/project/contentscommands.h"

#include "core/fileio.h"
#include "maker/compiler/help.h"
#include "maker/generators/contentspage.h"
#include "maker/generators/homepage.h"

#include <filesystem>

namespace folio::project {

namespace {

Error report(Observer& observer, Error error) {
    observer.messageBox(error.message, WorkbenchTitle, MessageIcon::Exclamation);
    return error;
}

// The page list shows what a generator wrote into the open project.
void rereadWhenOpen(MakerState& state, const std::string& folder, const PageSelection& selection,
                    GenerateRun& run, Observer& observer) {
    if (folder == state.openFolder)
        run.selected = RefreshPageList(state, selection, observer);
}

} // namespace

Result<void> SaveProjectContents(const std::string& folder, const generators::ContentsList& list,
                                 Observer& observer) {
    if (folder.empty() || !dirExists(folder))
        return {};
    if (list.entryCount() == 0 && !fileExists(generators::contentsListPath(folder)))
        return {};
    if (auto saved = generators::saveContentsList(folder, list); !saved)
        return std::unexpected(report(observer, saved.error()));
    return {};
}

bool FollowOpenProject(const MakerState& state, std::string& listFolder,
                       generators::ContentsList& list, Observer& observer) {
    if (state.openFolder.empty() || state.openFolder == listFolder)
        return false;
    // A list that cannot be saved has been named; the project opened still brings its own.
    (void)SaveProjectContents(listFolder, list, observer);
    listFolder = state.openFolder;
    if (auto loaded = generators::loadContentsList(listFolder)) {
        list = std::move(*loaded);
    } else {
        list.clear();
        report(observer, loaded.error());
    }
    return true;
}

int FollowRenamedPages(const std::string& listFolder, const std::string& folder,
                       generators::ContentsList& list,
                       const std::vector<generators::NameChange>& renamed) {
    std::error_code ec;
    if (listFolder.empty() || !std::filesystem::equivalent(std::filesystem::u8path(listFolder),
                                                           std::filesystem::u8path(folder), ec))
        return 0;
    return generators::RelinkContentsList(list, renamed);
}

GenerateRun GenerateContents(MakerState& state, const generators::ContentsList& list,
                             const PageSelection& selection, Observer& observer) {
    GenerateRun run;
    auto folder = generators::projectFolderFor(state.makerFolder, state.settings.title);
    if (!folder) {
        report(observer, folder.error());
        return run;
    }
    generators::ContentsPageInputs in;
    in.makerFolder = state.makerFolder;
    in.projectFolder = *folder;
    in.bookName = state.settings.title;
    in.entryTemplate = state.treeTag;
    auto page = generators::GenerateContentsPage(in, list, observer);
    if (!page)
        return run; // shown by the generator
    if (!page->kept)
        run.pageText = page->pageText;
    // Each help file is written only after the one before it; the writers show their failures.
    compiler::HelpInputs help{list, state.settings, state.makerFolder, *folder};
    if (compiler::WriteHelpProject(help, observer) && compiler::WriteHelpContents(help, observer))
        (void)compiler::WriteHelpIndex(help, observer); // a failure was shown; nothing follows
    if (page->createdProjectFolder) {
        state.projects.push_back(state.settings.title);
        OpenProjectFolder(state, *folder, observer);
        run.openedProject = true;
    } else {
        rereadWhenOpen(state, *folder, selection, run, observer); // tree.html, the help files
    }
    return run;
}

GenerateRun GenerateHome(MakerState& state, const generators::ContentsList& list,
                         const PageSelection& selection, Observer& observer) {
    GenerateRun run;
    auto folder = generators::projectFolderFor(state.makerFolder, state.settings.title);
    if (!folder) {
        report(observer, folder.error());
        return run;
    }
    generators::HomePageInputs in;
    in.makerFolder = state.makerFolder;
    in.projectFolder = *folder;
    in.bookName = state.settings.title;
    in.entryTemplate = state.homePageTag;
    if (auto page = generators::GenerateHomePage(in, list, observer); page && !page->kept)
        run.pageText = page->pageText;
    rereadWhenOpen(state, *folder, selection, run, observer); // index.html and its pictures
    return run;
}

} // namespace folio::project
