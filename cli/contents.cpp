// folio contents and folio generate: the project's saved contents list, and the contents and
// home pages written from it.
#include "cli/console.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/compiler/help.h"
#include "maker/generators/contents.h"
#include "maker/generators/contentsedit.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/contentspage.h"
#include "maker/generators/homepage.h"
#include "maker/generators/naturalorder.h"
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
    folio::ProjectSettings settings;
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
    std::optional<generators::TitleSource> source;
    std::string sourceName;
    bool captionGiven = false, linkGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool option =
            a == "--title-from" || a == "--parent" || a == "--caption" || a == "--link";
        if (option && i + 1 >= args.size())
            return usageError("option " + a + " needs a value");
        if (a == "--title-from") {
            sourceName = args[++i];
            source = titleSource(sourceName);
            if (!source)
                return usageError("--title-from takes file-name, first-line, title, h1, h2 or "
                                  "custom, not " +
                                  args[i]);
        } else if (a == "--parent") {
            in.sid = args[++i];
        } else if (a == "--caption") {
            in.customTitle = args[++i];
            captionGiven = true;
        } else if (a == "--link") {
            in.customUrl = args[++i];
            linkGiven = true;
        } else if (a.starts_with("--")) {
            return usageError("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.empty())
        return usageError("contents add needs at least one FILE");
    // A caption typed is the caption of one entry: --caption alone means a custom one.
    if (captionGiven && !source)
        source = generators::TitleSource::Custom;
    in.source = source.value_or(generators::TitleSource::FileName);
    const bool custom = in.source == generators::TitleSource::Custom;
    if (custom && !captionGiven)
        return usageError("--title-from custom needs --caption");
    if (captionGiven && !custom)
        return usageError("--caption gives the caption itself; it does not go with --title-from " +
                          sourceName);
    if (captionGiven && files.size() > 1)
        return usageError("--caption names the entry of one FILE, and " +
                          std::to_string(files.size()) + " were given");

    auto list = loadList(projectFolder);
    if (!list)
        return ExitFailure;
    // The entries follow the files' natural order (chapter 2 before chapter 10), as the
    // workbench adds them, not the order the shell expanded a pattern in.
    generators::sortNaturally(files);
    SilentObserver quiet;
    int status = ExitOk;
    // Each file is read where it is: in the project folder, else as a path of its own.
    for (const std::string& file : files) {
        const std::string inProject = FixPath(projectFolder) + file;
        const fs::path path = fileExists(inProject) ? fs::path(inProject) : fs::path(file);
        const bool exists = fileExists(path.string());
        in.list.folder = path.parent_path().string();
        in.list.names = {path.filename().string()};
        in.list.selected = {true};
        if (!custom && !exists) {
            std::cerr << "folio: " << file << ": no such file in " << projectFolder
                      << " or as a path; no entry added\n";
            status = ExitFailure;
            continue;
        }
        // A custom entry links to its FILE: a page by its name, as every entry names one, or
        // the text given when it is no file (an address).
        if (custom && !linkGiven)
            in.customUrl = exists ? path.filename().string() : file;
        const auto summary = generators::BuildContentsEntries(in, *list, quiet);
        for (const auto& skipped : summary.skipped) {
            std::cerr << "folio: " << skipped.why << "; no entry added\n";
            status = ExitFailure;
        }
        for (const std::string& link : summary.duplicates)
            std::cerr << "folio: " << link << " had an entry already; added another\n";
    }
    const int saved = saveList(projectFolder, *list);
    return saved != ExitOk ? saved : status;
}

// An entry as the command line names it: its number and its caption.
std::string entryName(const ContentsList& list, int row) {
    return list.cell(row, generators::ColID) + " (" + list.cell(row, generators::ColCaption) + ")";
}

// How many entries an edit gave another number.
int renumberedCount(const generators::Renumbering& ids) {
    int count = 0;
    for (const auto& [old, now] : ids)
        count += old != now ? 1 : 0;
    return count;
}

// The rows of the entries numbered `ids` (the first entry of a number, as the contents page
// takes it); nothing when a number names no entry.
std::optional<std::vector<int>> rowsOf(const std::string& projectFolder, const ContentsList& list,
                                       const std::vector<std::string>& ids) {
    std::vector<int> rows;
    for (const std::string& id : ids) {
        const int row = generators::rowOfId(list, id);
        if (row == 0) {
            std::cerr << "folio: " << generators::contentsListPath(projectFolder)
                      << " has no entry numbered " << id << "; nothing changed\n";
            return std::nullopt;
        }
        rows.push_back(row);
    }
    return rows;
}

int deleteCommand(const std::string& projectFolder, const std::vector<std::string>& ids) {
    if (ids.empty())
        return usageError("contents delete needs the number of at least one entry");
    auto list = loadList(projectFolder);
    if (!list)
        return ExitFailure;
    const auto rows = rowsOf(projectFolder, *list, ids);
    if (!rows)
        return ExitFailure;
    const ContentsList before = *list;
    auto done = generators::deleteEntries(*list, *rows);
    if (!done)
        return ExitFailure; // every row named an entry: not reached
    // What went, and what of theirs stayed: the children climb to the deleted entry's parent.
    std::vector<bool> deleted(static_cast<std::size_t>(before.rowCount()), false);
    for (int r : *rows)
        deleted[static_cast<std::size_t>(r)] = true;
    for (int r = 1; r < before.rowCount() - 1; ++r) {
        if (!deleted[static_cast<std::size_t>(r)])
            continue;
        int kept = 0;
        for (int c = 1; c < before.rowCount() - 1; ++c)
            kept += !deleted[static_cast<std::size_t>(c)] && generators::parentRow(before, c) == r;
        std::cout << "deleted " << entryName(before, r);
        if (kept > 0)
            std::cout << "; its " << kept << (kept == 1 ? " entry" : " entries")
                      << " moved up a level";
        std::cout << "\n";
    }
    if (const int n = renumberedCount(done->ids); n > 0)
        std::cout << "numbered " << n << (n == 1 ? " entry" : " entries") << " afresh\n";
    return saveList(projectFolder, *list);
}

int moveCommand(const std::string& projectFolder, const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3)
        return usageError("contents move needs an entry's number, up or down, and maybe a count");
    const std::string& direction = args[1];
    if (direction != "up" && direction != "down")
        return usageError("contents move goes up or down, not " + direction);
    int rows = 1;
    if (args.size() == 3) {
        const std::string& count = args[2];
        if (count.empty() || count.size() > 6 ||
            count.find_first_not_of("0123456789") != std::string::npos || std::stoi(count) < 1)
            return usageError("contents move takes a count of rows from 1, not " + count);
        rows = std::stoi(count);
    }
    auto list = loadList(projectFolder);
    if (!list)
        return ExitFailure;
    const auto row = rowsOf(projectFolder, *list, {args[0]});
    if (!row)
        return ExitFailure;
    const bool up = direction == "up";
    auto moved = generators::moveEntries(*list, *row, up ? -rows : rows);
    const std::string rowsText = std::to_string(rows) + (rows == 1 ? " row" : " rows");
    if (!moved) {
        const generators::Refusal& why = moved.error();
        std::cerr << "folio: cannot move " << entryName(*list, why.row) << " " << direction << " "
                  << rowsText;
        if (why.done > 0)
            std::cerr << " (it could go " << why.done << ")";
        switch (why.why) {
        case generators::EditRefusal::ParentAbove:
            std::cerr << ": its parent " << entryName(*list, why.other) << " is above it";
            break;
        case generators::EditRefusal::ChildBelow:
            std::cerr << ": its child " << entryName(*list, why.other) << " is below it";
            break;
        default:
            std::cerr << ": it would leave the list";
            break;
        }
        std::cerr << "; nothing moved\n";
        return ExitFailure;
    }
    const int now = moved->rows.front();
    std::cout << "moved " << args[0] << " (" << list->cell(now, generators::ColCaption) << ") "
              << direction << " " << rowsText << "; it is entry "
              << list->cell(now, generators::ColID) << " now\n";
    if (const int n = renumberedCount(moved->ids); n > 0)
        std::cout << "numbered " << n << (n == 1 ? " entry" : " entries") << " afresh\n";
    return saveList(projectFolder, *list);
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
        return usageError(
            "contents needs add, home, folders, list, clear, delete or move, and a project");
    const std::string& what = args[0];
    if (what != "add" && what != "home" && what != "folders" && what != "list" && what != "clear" &&
        what != "delete" && what != "move")
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
    if (what == "delete")
        return deleteCommand(*projectFolder, rest);
    if (what == "move")
        return moveCommand(*projectFolder, rest);
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
    folio::ProjectSettings helpSettings;
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
