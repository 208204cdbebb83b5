// The workbench's commands over its project state: start-up, opening, creating, saving,
// copying files in and shut-down.
#include "maker/project/workbench.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/compiler/help.h"
#include "maker/generators/contents.h"
#include "maker/generators/contentspage.h"
#include "maker/generators/homepage.h"
#include "maker/project/epubbook.h"
#include "maker/project/explorer.h"
#include "maker/project/projectfiles.h"
#include "maker/project/settings.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace folio::project {

namespace fs = std::filesystem;

namespace {

// Lists of two or more entries start on the second, as the workbench always has; a shorter
// list starts on what it has.
int startIndex(std::size_t count) {
    return count >= 2 ? 1 : static_cast<int>(count) - 1;
}

std::string inMaker(const MakerState& state, const std::string& name) {
    return FixPath(state.makerFolder) + name;
}

// Shows a failure that ends a command and hands it back.
Error report(Observer& observer, Error error) {
    observer.messageBox(error.message, WorkbenchTitle, MessageIcon::Critical);
    return error;
}

Result<void> makeFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directory(fs::u8path(folder), ec);
    if (ec)
        return fail(folder + ": cannot create the project folder: " + ec.message());
    return {};
}

bool sameFolder(const std::string& a, const std::string& b) {
    auto normal = [](const std::string& p) {
        std::string n = fs::u8path(p).lexically_normal().string();
        while (n.size() > 1 && n.back() == '/')
            n.pop_back();
        return n;
    };
    return normal(a) == normal(b);
}

// The name a project goes by: its folder's last path element.
std::string projectNameOf(const std::string& folder) {
    return baseNameWithoutExtension(settingsFilePath(folder));
}

// A new project folder joins the list as its last entry and is opened.
void addAndOpen(MakerState& state, const std::string& name, Observer& observer) {
    state.projects.push_back(name);
    SelectProject(state, static_cast<int>(state.projects.size()) - 1, observer);
}

} // namespace

std::string MakerState::skinPath(int index) const {
    if (index < 0 || index >= static_cast<int>(skins.size()))
        return {};
    return FixPath(makerFolder) + "skin/" + skins[static_cast<std::size_t>(index)];
}

MakerState StartMaker(const std::string& makerFolder, const std::vector<std::string>& languages,
                      Observer& observer) {
    MakerState state;
    state.makerFolder = makerFolder;
    while (state.makerFolder.size() > 1 && state.makerFolder.back() == '/')
        state.makerFolder.pop_back();

    state.startSkin = inMaker(state, "skin/aero.she");

    // The language list always ends in an empty element, which is not offered.
    if (!languages.empty())
        state.languages.assign(languages.begin(), languages.end() - 1);
    state.languageIndex = startIndex(state.languages.size());

    if (auto skins = generators::folderEntries(inMaker(state, "skin"), false))
        state.skins = std::move(*skins);
    state.skinIndex = startIndex(state.skins.size());

    state.zoom = 100;
    state.drives = listDrives();

    if (auto templates = generators::folderEntries(inMaker(state, "list"), false))
        state.templates = std::move(*templates);

    state.settings = initialSettings(inMaker(state, "out/"));
    state.treeTag = readTreeTag(state.makerFolder);

    if (auto list = readProjectList(state.makerFolder))
        state.projects = std::move(*list);
    else if (fileExists(inMaker(state, ProjectListFile)))
        state.problems.push_back(list.error().message);
    if (!state.projects.empty())
        SelectProject(state, static_cast<int>(state.projects.size()) - 1, observer);

    state.homePageTag = generators::LoadHomePageTag(state.makerFolder);

    if (const std::string help = inMaker(state, "help/help.html"); fileExists(help))
        state.startPage = help;
    return state;
}

Result<std::string> projectFolderOfEntry(const MakerState& state, const std::string& entry) {
    return generators::projectFolderFor(state.makerFolder, entry);
}

bool SelectProject(MakerState& state, int index, Observer& observer) {
    if (index < 0 || index >= static_cast<int>(state.projects.size()))
        return false;
    state.projectText = state.projects[static_cast<std::size_t>(index)];
    // An entry that is a full path or climbs out of the maker folder names no project folder
    // here, so the open project stays.
    auto folder = projectFolderOfEntry(state, state.projectText);
    if (!folder || !dirExists(*folder))
        return false;
    OpenProjectFolder(state, *folder, observer);
    return true;
}

void OpenProjectFolder(MakerState& state, const std::string& folder, Observer& observer) {
    state.openFolder = folder;
    state.pages.clear();
    if (auto files = listFolderFiles(folder, observer))
        state.pages = std::move(*files);
    else
        state.problems.push_back(files.error().message);

    // The snapshot holds what the boxes showed before this project is read.
    if (!fileExists(FixPath(folder) + ConfigFile)) {
        if (auto w = writeConfig(folder, state.settings); !w)
            state.problems.push_back(w.error().message);
    }

    // The output file is the one setting that must never come over from the project shown
    // before: a compile would replace that project's book with this one.
    state.settings.outFile.clear();
    const std::string settingsFile = settingsFilePath(folder);
    if (fileExists(settingsFile)) {
        if (auto r = readSettingsFile(settingsFile, state.settings); !r)
            state.problems.push_back(r.error().message);
    }
    if (state.settings.outFile.empty())
        state.settings.outFile = projectNameOf(folder);
}

void RefreshProject(MakerState& state, Observer& observer) {
    if (!state.openFolder.empty())
        OpenProjectFolder(state, state.openFolder, observer);
}

Result<std::string> OpenTitleProject(MakerState& state, Observer& observer) {
    auto folder = projectFolderOfEntry(state, state.settings.title);
    if (!folder)
        return std::unexpected(report(observer, folder.error()));
    if (!dirExists(*folder)) {
        // The open folder's pages under another title would make a book nobody asked for.
        observer.messageBox("没有工程文件夹“" + *folder +
                                "”。\r\n\r\n请先用“电子书名称”旁的按钮创建工程。",
                            WorkbenchTitle, MessageIcon::Exclamation);
        return fail(*folder + ": no such project folder",
                    static_cast<int>(compiler::CompileOutcome::Invalid));
    }
    if (!sameFolder(*folder, state.openFolder))
        OpenProjectFolder(state, *folder, observer);
    return *folder;
}

void PickProjectFolder(MakerState& state, const std::string& folder, Observer& observer) {
    state.projectText = folder;
    OpenProjectFolder(state, folder, observer);
}

namespace {

// The title's project folder for Command7 and Command2: a missing one is created, given the
// settings file when `withSettingsFile`, joins the list and is opened. Failures are shown.
Result<std::string> titleFolder(MakerState& state, Observer& observer, bool withSettingsFile) {
    const std::string name = state.settings.title;
    auto folder = projectFolderOfEntry(state, name);
    if (!folder)
        return std::unexpected(report(observer, folder.error()));
    if (!dirExists(*folder)) {
        if (auto made = makeFolder(*folder); !made)
            return std::unexpected(report(observer, made.error()));
        // A new project's book is named after it, not after the project shown before.
        state.settings.outFile = name;
        if (withSettingsFile) {
            if (auto w = writeSettingsFile(settingsFilePath(*folder), state.settings); !w)
                return std::unexpected(report(observer, w.error()));
        }
        addAndOpen(state, name, observer);
    }
    return folder;
}

} // namespace

Result<void> CreateProject(MakerState& state, Observer& observer) {
    if (state.settings.title.empty())
        return {};
    auto folder = titleFolder(state, observer, true);
    FOLIO_TRY(folder);
    if (auto a = appendProjectList(state.makerFolder, state.projectText); !a)
        return std::unexpected(report(observer, a.error()));
    if (auto c = copyTemplateFiles(state.makerFolder, inMaker(state, "list/tree"), *folder); !c)
        return std::unexpected(report(observer, c.error()));
    return {};
}

Result<void> SaveSettings(MakerState& state, Observer& observer) {
    if (state.settings.title.empty())
        return {};
    auto folder = titleFolder(state, observer, false);
    FOLIO_TRY(folder);

    // The settings are the project's: without its own file the next opening would bring back
    // the old values and the edits would be lost.
    if (auto w = writeSettingsFile(settingsFilePath(*folder), state.settings); !w)
        return std::unexpected(report(observer, w.error()));

    if (auto a = appendProjectList(state.makerFolder, state.projectText); !a)
        return std::unexpected(report(observer, a.error()));
    if (auto w = writeTreeTag(state.makerFolder, state.treeTag); !w)
        return std::unexpected(report(observer, w.error()));
    if (auto w = writeHomePageTag(state.makerFolder, state.homePageTag); !w)
        return std::unexpected(report(observer, w.error()));
    if (auto w = writeConfig(state.makerFolder, state.settings); !w)
        return std::unexpected(report(observer, w.error()));

    if (auto c = copyTemplateFiles(state.makerFolder, inMaker(state, "list"), *folder); !c)
        return std::unexpected(report(observer, c.error()));
    return {};
}

Result<void> ShutDown(const MakerState& state) {
    return writeProjectList(state.makerFolder, state.projects);
}

Result<int> CopyFilesIntoProject(MakerState& state, const generators::ExplorerList& explorer,
                                 Observer& observer) {
    // Without a title the target would be the maker folder itself.
    auto folder = projectFolderOfEntry(state, state.settings.title);
    if (!folder)
        return std::unexpected(report(observer, folder.error()));
    if (!dirExists(*folder)) {
        if (auto made = makeFolder(*folder); !made)
            return std::unexpected(report(observer, made.error()));
    }

    const int count = static_cast<int>(explorer.names.size());
    observer.setProgressMaximum(std::max(count - 1, 1));
    int copied = 0;
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (explorer.isSelected(index)) {
            const std::string& name = explorer.names[index];
            if (auto c = copyFileAtomic(explorer.pathOf(index), FixPath(*folder) + name); c)
                ++copied;
            else // the author must know which page did not arrive; the others still go
                observer.messageBox(c.error().message, WorkbenchTitle, MessageIcon::Critical);
            observer.setCaption(std::string(WorkbenchTitle) + "-正在复制文件" + std::to_string(i) +
                                "%");
        }
        observer.setProgressValue(i);
        observer.processEvents();
    }
    observer.messageBox("复制完成,共复制文件 " + std::to_string(copied) + "个文件。",
                        WorkbenchTitle, MessageIcon::Exclamation);
    observer.processEvents();
    RefreshProject(state, observer);
    observer.setCaption(WorkbenchTitle);
    return copied;
}

std::vector<bool> RefreshPageList(MakerState& state, const PageSelection& selection,
                                  Observer& observer) {
    if (!state.openFolder.empty()) {
        if (auto files = listFolderFiles(state.openFolder, observer))
            state.pages = std::move(*files);
        else
            state.problems.push_back(files.error().message);
    }
    const std::set<std::string> chosen(selection.names.begin(), selection.names.end());
    std::vector<bool> selected;
    for (const std::string& name : state.pages)
        selected.push_back(selection.whole || chosen.contains(name));
    return selected;
}

Result<CompileRun> CompileProject(MakerState& state, const generators::ContentsList& contents,
                                  const CompileRequest& request, Observer& observer) {
    CompileRun run;
    // Another project is opened as the compile's first step, and its list shows nothing
    // selected, as opening one always does.
    const std::string before = state.openFolder;
    auto folder = OpenTitleProject(state, observer);
    FOLIO_TRY(folder);
    const PageSelection selection =
        sameFolder(before, state.openFolder) ? request.selection : PageSelection{};
    run.selected = RefreshPageList(state, selection, observer);
    const std::string& title = state.settings.title;
    const std::string& open = state.openFolder;
    const ProjectOwnFiles ownFiles(open, title);
    auto own = [&](std::size_t i) { return ownFiles.contains(state.pages[i]); };

    if (selection.whole) {
        for (std::size_t i = 0; i < state.pages.size(); ++i)
            run.selected[i] = !own(i);
    } else if (std::find(run.selected.begin(), run.selected.end(), true) == run.selected.end()) {
        std::size_t pages = 0;
        for (std::size_t i = 0; i < state.pages.size(); ++i)
            pages += own(i) ? 0 : 1;
        if (pages == 0 || !request.exe) {
            // Nothing to ask about: the compile says what is missing.
        } else if (observer.messageBox("页面列表中没有选择任何页面。\r\n\r\n要编译工程中的全部 " +
                                           std::to_string(pages) + " 个页面吗？",
                                       WorkbenchTitle, MessageIcon::Question,
                                       MessageButtons::YesNo) == Answer::Yes) {
            for (std::size_t i = 0; i < state.pages.size(); ++i)
                run.selected[i] = !own(i);
        } else {
            observer.messageBox("没有编译电子书：页面列表中没有选择页面。", WorkbenchTitle,
                                MessageIcon::Information);
            return fail("no page was selected and the user chose not to compile them all",
                        static_cast<int>(compiler::CompileOutcome::Declined));
        }
    } else {
        std::string named;
        for (std::size_t i = 0; i < state.pages.size(); ++i) {
            if (run.selected[i] && own(i))
                named += (named.empty() ? "" : "、") + state.pages[i];
        }
        if (!named.empty() &&
            observer.messageBox("所选的页面中有工程自己的文件：" + named +
                                    "。\r\n它们不是电子书的页面，设置文件还带着本机的输出路径。"
                                    "\r\n\r\n仍要把它们编入电子书吗？",
                                WorkbenchTitle, MessageIcon::Question,
                                MessageButtons::YesNo) != Answer::Yes) {
            for (std::size_t i = 0; i < state.pages.size(); ++i)
                run.selected[i] = run.selected[i] && !own(i);
        }
    }

    if (request.exe) {
        compiler::CompileInputs in;
        in.settings = state.settings;
        in.iconPath = request.iconPath;
        in.makerFolder = state.makerFolder;
        in.skinFileName = request.skinFileName;
        in.projectFolder = state.openFolder;
        in.dateText = request.dateText;
        std::vector<std::string> entries;
        for (std::size_t i = 0; i < state.pages.size(); ++i) {
            in.pages.push_back({state.pages[i], run.selected[i]});
            if (run.selected[i])
                entries.push_back(state.pages[i]);
        }
        if (request.checkFirst && !request.checkFirst(entries))
            return fail("the check found errors and the book was not compiled",
                        static_cast<int>(compiler::CompileOutcome::Declined));
        auto book = compiler::CompileBook(in, observer);
        FOLIO_TRY(book);
        run.book = std::move(*book);
    }
    if (request.chm) {
        const compiler::HelpInputs help{contents, state.settings, state.makerFolder, *folder};
        auto file = compiler::CompileHelp(help, observer);
        FOLIO_TRY(file);
        run.helpFile = std::move(*file);
    }
    if (request.epub) {
        auto epub = MakeProjectEpub(*folder, state.settings, contents, "", observer);
        if (!epub) {
            observer.messageBox("EPUB 电子书没有写成：\r\n\r\n" + epub.error().message,
                                "编译失败。", MessageIcon::Information);
            return std::unexpected(epub.error());
        }
        observer.messageBox(epubDoneMessage(*epub), "编译完成。", MessageIcon::Information);
        run.epub = std::move(*epub);
    }
    return run;
}

Result<NewProject> CreateProjectFolder(const NewProjectInputs& in) {
    NewProject made;
    auto folder = generators::projectFolderFor(in.parentFolder, in.title);
    FOLIO_TRY(folder);
    if (in.title.find(':') != std::string::npos)
        return fail("\"" + in.title +
                    "\" holds a \":\", which separates the book's descriptor fields");
    std::error_code ec;
    if (fs::exists(fs::symlink_status(fs::u8path(*folder), ec)))
        return fail(*folder + " exists already: a new project needs a folder of its own");
    std::vector<std::string> pages;
    if (!in.fromFolder.empty()) {
        auto files = generators::folderEntries(in.fromFolder, false);
        FOLIO_TRY(files);
        pages = std::move(*files);
        if (auto folders = generators::folderEntries(in.fromFolder, true))
            made.leftOut = std::move(*folders);
    }
    made.folder = *folder;
    made.settingsFile = settingsFilePath(*folder);
    const std::string parent = FixPath(in.parentFolder);
    made.listed =
        fileExists(parent + ProjectListFile) || fileExists(parent + "folioPage/folioPage.dat");

    ProjectSettings settings = initialSettings(made.listed ? parent + "out/" : "");
    settings.title = in.title;
    settings.author = in.author;
    settings.outFile = in.title;
    FOLIO_TRY(makeFolder(*folder));
    FOLIO_TRY(writeSettingsFile(made.settingsFile, settings));
    if (made.listed && !dirExists(settings.outPath)) {
        fs::create_directories(fs::u8path(settings.outPath), ec);
        if (ec)
            return fail(settings.outPath + ": cannot create the output folder: " + ec.message());
    }
    if (made.listed)
        FOLIO_TRY(appendProjectList(in.parentFolder, in.title));
    if (!in.makerFolder.empty() && dirExists(FixPath(in.makerFolder) + "list/tree")) {
        auto copied =
            copyTemplateFiles(in.makerFolder, FixPath(in.makerFolder) + "list/tree", *folder);
        FOLIO_TRY(copied);
        made.supportFiles = std::move(copied->copied);
    }
    // The author's pages come last, so a page of theirs wins over a support file's name.
    for (const std::string& name : pages) {
        FOLIO_TRY(copyFileAtomic(FixPath(in.fromFolder) + name, FixPath(*folder) + name));
        made.pages.push_back(name);
    }
    return made;
}

std::string MakerAboutPage() {
    return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
           "<head>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\r\n"
           "<title>Mirelo电子书</title>\r\n"
           "</head>\r\n"
           "<body>\r\n"
           "<p align=\"center\"><a href=\"https://folio.example.org/\">"
           "https://folio.example.org/</a></p>\r\n"
           "<p align=\"center\">联系：folio@example.org</p>\r\n"
           "<p align=\"center\">把一个文件夹的网页做成一本独立的电子书。</p>\r\n"
           "</body>\r\n"
           "</html>\r\n";
}

std::string ContentsPreviewPage(const std::string& makerFolder, const std::string& title,
                                const std::string& contentsPage) {
    if (!title.empty())
        return FixPath(makerFolder) + title + "/" + contentsPage;
    const std::string help = FixPath(makerFolder) + "help/help.html";
    return fileExists(help) ? help : std::string();
}

void ReportProblems(MakerState& state, Observer& observer) {
    if (state.problems.empty())
        return;
    std::string text = "打开工程时有文件未能读写：";
    for (const std::string& problem : state.problems)
        text += "\r\n" + problem;
    state.problems.clear();
    observer.messageBox(text, WorkbenchTitle, MessageIcon::Exclamation);
}

Result<std::optional<std::string>> SaveCodeView(const std::string& folder, const std::string& text,
                                                Observer& observer) {
    auto path = observer.askSaveFileName(
        "保存文件", folder,
        "文本文件(*.Txt)|*.Txt|网页文件(*.htm;*.html)|*.htm;*.html|全部文件(*.*)|*.*");
    if (!path)
        return std::nullopt; // cancelled: the caption stays
    if (fileExists(*path) &&
        observer.messageBox("文件已存在，要覆盖它吗？", WorkbenchTitle, MessageIcon::Question,
                            MessageButtons::YesNo, Answer::No) != Answer::Yes)
        return std::nullopt;
    observer.setCaption(*path);
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            lines += '\r';
        lines += c;
    }
    if (auto written = writeFileAtomic(*path, toAnsi(lines)); !written)
        return std::unexpected(report(observer, written.error()));
    return path;
}

std::string codeViewSavedMessage(const std::string& path) {
    return "文件 " + path + "，保存成功。";
}

Result<generators::ConvertSummary> ConvertExplorerText(const MakerState& state,
                                                       const generators::ExplorerList& explorer,
                                                       Observer& observer) {
    generators::TextToPagesInputs in;
    in.list = explorer;
    in.templatePath = inMaker(state, "list/page/page.html");
    return generators::ConvertTextToPages(in, observer);
}

} // namespace folio::project
