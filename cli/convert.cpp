// folio txt2html, html2txt and rename: the page generators' conversions on the files named.
#include "maker/generators/convert.h"
#include "cli/console.h"
#include "core/fileio.h"
#include "maker/generators/contentslist.h"
#include "maker/generators/rename.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::cli {

namespace {

using generators::ExplorerList;

// The options of one command and the files it names.
struct Parsed {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::vector<std::string> files;
};

// Options in `valued` take the next argument; options in `flags` stand alone.
std::optional<Parsed> parse(const std::vector<std::string>& args,
                            const std::set<std::string>& valued, const std::set<std::string>& flags,
                            int& status) {
    Parsed p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (valued.contains(a)) {
            if (i + 1 >= args.size()) {
                status = usageError("option " + a + " needs a value");
                return std::nullopt;
            }
            p.values[a] = args[++i];
        } else if (flags.contains(a)) {
            p.flags.insert(a);
        } else if (a.starts_with("--")) {
            status = usageError("unknown option " + a);
            return std::nullopt;
        } else {
            p.files.push_back(a);
        }
    }
    if (p.files.empty()) {
        status = usageError("name at least one file");
        return std::nullopt;
    }
    return p;
}

// The files named, as explorer lists: one per folder, in the order the folders were first
// named, every file selected (a file named twice counts once).
std::vector<ExplorerList> byFolder(const std::vector<std::string>& files) {
    std::vector<ExplorerList> lists;
    std::map<std::string, std::size_t> index;
    std::set<std::pair<std::string, std::string>> seen;
    for (const std::string& file : files) {
        const fs::path path = fs::u8path(file).lexically_normal();
        const std::string folder =
            path.has_parent_path() ? path.parent_path().string() : std::string(".");
        const std::string name = path.filename().string();
        if (!seen.insert({folder, name}).second)
            continue;
        auto [it, added] = index.try_emplace(folder, lists.size());
        if (added)
            lists.push_back(ExplorerList{folder, {}, {}});
        lists[it->second].names.push_back(name);
        lists[it->second].selected.push_back(true);
    }
    return lists;
}

void reportSkipped(const std::vector<std::string>& files, std::string_view ending) {
    for (const std::string& file : files) {
        if (!file.ends_with(ending))
            std::cerr << "folio: " << file << " is skipped: its name does not end in " << ending
                      << "\n";
    }
}

} // namespace

int txt2htmlCommand(const std::vector<std::string>& args) {
    int status = ExitOk;
    const auto p = parse(args, {"--maker"}, {}, status);
    if (!p)
        return status;
    const std::string maker =
        p->values.contains("--maker") ? p->values.at("--maker") : executableFolder();
    reportSkipped(p->files, ".txt");
    ConsoleObserver observer;
    for (ExplorerList& list : byFolder(p->files)) {
        generators::TextToPagesInputs in;
        in.list = std::move(list);
        in.templatePath = FixPath(maker) + "list/page/page.html";
        auto r = generators::ConvertTextToPages(in, observer);
        if (!r) {
            std::cerr << "folio: " << r.error().message << "\n";
            return ExitFailure;
        }
        for (const std::string& written : r->written)
            std::cout << "wrote " << written << "\n";
    }
    return ExitOk;
}

int html2txtCommand(const std::vector<std::string>& args) {
    int status = ExitOk;
    const auto p = parse(args, {"--title-from", "--start", "--end", "--remove"}, {}, status);
    if (!p)
        return status;
    generators::PagesToTextInputs in;
    if (p->values.contains("--title-from")) {
        const std::string& from = p->values.at("--title-from");
        if (from == "title")
            in.titleFrom = generators::TitleElement::Title;
        else if (from != "h1")
            return usageError("--title-from takes title or h1, not " + from);
    }
    auto value = [&](const char* option) {
        return p->values.contains(option) ? p->values.at(option) : std::string();
    };
    in.startMarker = value("--start");
    in.endMarker = value("--end");
    in.removeList = value("--remove");
    reportSkipped(p->files, ".html");
    ConsoleObserver observer;
    for (ExplorerList& list : byFolder(p->files)) {
        in.list = std::move(list);
        auto r = generators::ConvertPagesToText(in, observer);
        if (!r) {
            std::cerr << "folio: " << r.error().message << "\n";
            return ExitFailure;
        }
        for (const std::string& written : r->written)
            std::cout << "wrote " << written << "\n";
    }
    return ExitOk;
}

int renameCommand(const std::vector<std::string>& args) {
    int status = ExitOk;
    const auto p = parse(args, {"--by"}, {"--yes", "--relink"}, status);
    if (!p)
        return status;
    generators::RenameInputs in;
    static const std::map<std::string, generators::RenameSource> Sources = {
        {"first-line", generators::RenameSource::FirstLine},
        {"title", generators::RenameSource::HtmlTitle},
        {"h1", generators::RenameSource::HtmlH1},
        {"h2", generators::RenameSource::HtmlH2},
        {"symbols", generators::RenameSource::StripSymbols},
    };
    if (p->values.contains("--by")) {
        const auto it = Sources.find(p->values.at("--by"));
        if (it == Sources.end())
            return usageError("--by takes first-line, title, h1, h2 or symbols, not " +
                              p->values.at("--by"));
        in.source = it->second;
    }
    in.relink = p->flags.contains("--relink");
    ConsoleObserver observer(p->flags.contains("--yes"));
    for (ExplorerList& list : byFolder(p->files)) {
        in.list = std::move(list);
        const generators::RenameSummary r = generators::RenamePagesByTitle(in, observer);
        if (!r.confirmed) {
            std::cerr << "folio: nothing renamed (confirm with --yes)\n";
            return ExitFailure;
        }
        const std::string folder = FixPath(in.list.folder);
        for (const auto& renamed : r.renamed)
            std::cout << "renamed " << folder << renamed.from << " -> " << renamed.to << "\n";
        for (const auto& kept : r.kept)
            std::cout << "kept " << folder << kept.name << ": " << kept.why << "\n";
        if (!in.relink || r.renamed.empty())
            continue;
        for (const std::string& page : r.relinked)
            std::cout << "relinked " << folder << page << "\n";
        for (const auto& page : r.notRelinked)
            std::cerr << "folio: the links in " << folder << page.name
                      << " are left as they were: " << page.why << "\n";
        // The folder's contents list names pages by their file names too.
        std::error_code ec;
        std::string project =
            fs::absolute(fs::path(in.list.folder), ec).lexically_normal().string();
        while (project.size() > 1 && project.back() == '/')
            project.pop_back();
        if (auto changed = generators::RelinkProjectContents(project, r.renamed); !changed) {
            std::cerr << "folio: " << changed.error().message << "\n";
            status = ExitFailure;
        } else if (*changed > 0) {
            std::cout << "relinked " << *changed << " contents entries in "
                      << generators::contentsListPath(project) << "\n";
        }
    }
    return status;
}

} // namespace folio::cli
