// folio contents and folio generate: the project's saved contents list, and the contents and
// home pages written from it.
#include "cli/console.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/compiler/help.h"
#include "maker/generators/contents.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/contentspage.h"
#include "maker/generators/homepage.h"
#include "maker/project/settings.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::cli {

namespace {

using generators::ContentsList;

std::optional<std::string> existingProject(const std::string& arg) {
    std::error_code ec;
    std::string folder = fs::absolute(arg, ec).lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (!dirExists(folder)) {
        std::cerr << "folio: the project folder " << folder << " does not exist\n";
        return std::nullopt;
    }
    return folder;
}

// The book name: the title of the project's settings, else the folder's name.
std::string bookNameOf(const std::string& projectFolder) {
    compiler::ProjectSettings settings;
    if (project::readSettingsFile(project::settingsFilePath(projectFolder), settings) &&
        !settings.title.empty())
        return settings.title;
    return fs::path(projectFolder).filename().string();
}

std::optional<ContentsList> loadList(const std::string& projectFolder) {
    auto list = generators::loadContentsList(projectFolder);
    if (!list) {
        std::cerr << "folio: " << list.error().message << "\n";
        return std::nullopt;
    }
    return std::move(*list);
}

int saveList(const std::string& projectFolder, const ContentsList& list) {
    if (auto saved = generators::saveContentsList(projectFolder, list); !saved) {
        std::cerr << "folio: " << saved.error().message << "\n";
        return ExitFailure;
    }
    std::cout << generators::contentsListPath(projectFolder) << ": " << list.entryCount()
              << " entries\n";
    return ExitOk;
}

std::optional<generators::TitleSource> titleSource(const std::string& name) {
    using generators::TitleSource;
    if (name == "file-name")
        return TitleSource::FileName;
    if (name == "first-line")
        return TitleSource::FirstLine;
    if (name == "title")
        return TitleSource::HtmlTitle;
    if (name == "h1")
        return TitleSource::HtmlH1;
    if (name == "h2")
        return TitleSource::HtmlH2;
    if (name == "custom")
        return TitleSource::Custom;
    return std::nullopt;
}

int addEntries(const std::string& projectFolder, const std::vector<std::string>& args) {
    generators::BuildInputs in;
    std::vector<std::string> files;
    bool captionGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool option =
            a == "--title-from" || a == "--parent" || a == "--caption" || a == "--link";
        if (option && i + 1 >= args.size())
            return usageError("option " + a + " needs a value");
        if (a == "--title-from") {
            auto source = titleSource(args[++i]);
            if (!source)
                return usageError("--title-from takes file-name, first-line, title, h1, h2 or "
                                  "custom, not " +
                                  args[i]);
            in.source = *source;
        } else if (a == "--parent") {
            in.sid = args[++i];
        } else if (a == "--caption") {
            in.customTitle = args[++i];
            captionGiven = true;
        } else if (a == "--link") {
            in.customUrl = args[++i];
        } else if (a.starts_with("--")) {
            return usageError("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.empty())
        return usageError("contents add needs at least one FILE");
    if (in.source == generators::TitleSource::Custom && !captionGiven)
        return usageError("--title-from custom needs --caption");

    auto list = loadList(projectFolder);
    if (!list)
        return ExitFailure;
    SilentObserver quiet;
    int status = ExitOk;
    // Each file is read where it is: in the project folder, else as a path of its own.
    for (const std::string& file : files) {
        const std::string inProject = FixPath(projectFolder) + file;
        const fs::path path = fileExists(inProject) ? fs::path(inProject) : fs::path(file);
        in.list.folder = path.parent_path().string();
        in.list.names = {path.filename().string()};
        in.list.selected = {true};
        if (in.source != generators::TitleSource::Custom && !fileExists(path.string())) {
            std::cerr << "folio: " << file << ": no such file in " << projectFolder
                      << " or as a path; no entry added\n";
            status = ExitFailure;
            continue;
        }
        const auto summary = generators::BuildContentsEntries(in, *list, quiet);
        for (const auto& skipped : summary.skipped) {
            std::cerr << "folio: " << skipped.why << "; no entry added\n";
            status = ExitFailure;
        }
    }
    const int saved = saveList(projectFolder, *list);
    return saved != ExitOk ? saved : status;
}

int listEntries(const ContentsList& list) {
    for (int r = 1; r <= list.rowCount() - 2; ++r) {
        using namespace generators;
        std::cout << list.cell(r, ColID) << '\t' << list.cell(r, ColSID) << '\t'
                  << list.cell(r, ColCaption) << '\t' << list.cell(r, ColURL) << '\n';
    }
    return ExitOk;
}

// TxtTag as the workbench last saved it: TreeTag.ini without its final line end.
std::string treeTagOf(const std::string& makerFolder) {
    auto lines = readAnsiLines(FixPath(makerFolder) + "TreeTag.ini");
    if (!lines || lines->empty())
        return std::string(generators::DefaultTreeTag);
    std::string text;
    for (std::size_t i = 0; i < lines->size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += (*lines)[i];
    }
    return text;
}

} // namespace

int contentsCommand(const std::vector<std::string>& args) {
    if (args.size() < 2)
        return usageError("contents needs add, home, folders, list or clear, and a project");
    const std::string& what = args[0];
    if (what != "add" && what != "home" && what != "folders" && what != "list" && what != "clear")
        return usageError("unknown contents command " + what);
    const std::vector<std::string> rest(args.begin() + 2, args.end());
    if ((what == "home" || what == "list" || what == "clear") && !rest.empty())
        return usageError("unexpected argument " + rest.front());
    if (what == "folders" && rest.size() != 1)
        return usageError("contents folders needs a project and a folder");
    const auto projectFolder = existingProject(args[1]);
    if (!projectFolder)
        return ExitFailure;

    if (what == "add")
        return addEntries(*projectFolder, rest);
    if (what == "clear")
        return saveList(*projectFolder, ContentsList{});
    auto list = loadList(*projectFolder);
    if (!list)
        return ExitFailure;
    if (what == "list")
        return listEntries(*list);
    if (what == "home") {
        generators::AddHomeEntry(bookNameOf(*projectFolder), *list);
    } else {
        SilentObserver quiet;
        auto added = generators::AddFolderEntries(rest.front(), *list, quiet);
        if (!added) {
            std::cerr << "folio: " << added.error().message << "\n";
            return ExitFailure;
        }
    }
    return saveList(*projectFolder, *list);
}

int generateCommand(const std::vector<std::string>& args) {
    std::optional<std::string> folder, maker;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--maker") {
            if (i + 1 >= args.size())
                return usageError("option --maker needs a value");
            maker = args[++i];
        } else if (args[i] == "--force") {
            force = true;
        } else if (args[i].starts_with("--")) {
            return usageError("unknown option " + args[i]);
        } else if (!folder) {
            folder = args[i];
        } else {
            return usageError("unexpected argument " + args[i]);
        }
    }
    if (!folder)
        return usageError("generate needs a project folder");
    const auto projectFolder = existingProject(*folder);
    if (!projectFolder)
        return ExitFailure;
    const std::string makerFolder = maker ? *maker : executableFolder();
    auto list = loadList(*projectFolder);
    if (!list)
        return ExitFailure;
    const std::string bookName = bookNameOf(*projectFolder);
    // Only --force answers yes to replacing a page the author wrote.
    ConsoleObserver observer(force);
    int status = ExitOk;
    const auto kept = [&](const char* page) {
        status = failure("kept " + FixPath(*projectFolder) + page +
                         ": folio did not write it (--force replaces it)");
    };

    generators::ContentsPageInputs page;
    page.makerFolder = makerFolder;
    page.projectFolder = *projectFolder;
    page.bookName = bookName;
    page.entryTemplate = treeTagOf(makerFolder);
    auto contents = generators::GenerateContentsPage(page, *list, observer);
    if (!contents)
        return failure("the contents page was not written: " + contents.error().message);
    if (contents->kept) {
        kept("tree.html");
    } else {
        std::cout << "wrote " << FixPath(*projectFolder) << "tree.html and tree.ini ("
                  << list->entryCount() << " entries)\n";
    }
    for (const std::string& name : contents->skipped)
        std::cerr << "folio: list/" << name << " has no file in list/tree/; not copied\n";

    // The compiled-help files come right after the contents page, from the same list.
    compiler::ProjectSettings helpSettings;
    helpSettings.title = bookName;
    const compiler::HelpInputs help{*list, helpSettings, makerFolder, *projectFolder};
    for (auto write :
         {compiler::WriteHelpProject, compiler::WriteHelpContents, compiler::WriteHelpIndex}) {
        auto written = write(help, observer);
        if (!written)
            return failure("the help project was not written: " + written.error().message);
        std::cout << "wrote " << *written << "\n";
    }

    generators::HomePageInputs home;
    home.makerFolder = makerFolder;
    home.projectFolder = *projectFolder;
    home.bookName = bookName;
    home.entryTemplate = generators::LoadHomePageTag(makerFolder);
    auto index = generators::GenerateHomePage(home, *list, observer);
    if (!index)
        return failure("the home page was not written: " + index.error().message);
    if (index->kept)
        kept("index.html");
    else
        std::cout << "wrote " << FixPath(*projectFolder) << "index.html\n";
    for (const std::string& problem : index->problems)
        std::cerr << "folio: not copied: " << problem << "\n";
    return status;
}

} // namespace folio::cli
