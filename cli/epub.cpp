// folio epub: a project as an EPUB 3 book for any e-reader.
#include "cli/console.h"
#include "core/fileio.h"
#include "maker/generators/contentslist.h"
#include "maker/project/epubbook.h"
#include "maker/project/settings.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::cli {

int epubCommand(const std::vector<std::string>& args) {
    std::optional<std::string> folder, out, maker;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--out" || a == "--maker") {
            if (i + 1 >= args.size())
                return usageError("option " + a + " needs a value");
            (a == "--out" ? out : maker) = args[++i];
        } else if (a.starts_with("--")) {
            return usageError("unknown option " + a);
        } else if (!folder) {
            folder = a;
        } else {
            return usageError("unexpected argument " + a);
        }
    }
    if (!folder)
        return usageError("epub needs a project folder");
    std::error_code ec;
    std::string projectFolder = fs::absolute(*folder, ec).lexically_normal().string();
    while (projectFolder.size() > 1 && projectFolder.back() == '/')
        projectFolder.pop_back();
    if (!dirExists(projectFolder))
        return failure("the project folder " + projectFolder + " does not exist");

    ProjectSettings settings = project::initialSettings("");
    const std::string settingsPath = project::settingsFilePath(projectFolder);
    if (auto read = project::readSettingsFile(settingsPath, settings); !read)
        return failure("cannot read the project settings: " + read.error().message);
    auto contents = generators::loadContentsList(projectFolder);
    if (!contents)
        return failure("cannot read the contents list: " + contents.error().message);

    // As compile: the settings' output folder, else the maker's out/, which is made.
    if (settings.outPath.empty())
        settings.outPath = FixPath(maker ? *maker : executableFolder()) + "out/";
    if (settings.outFile.empty())
        settings.outFile = fileName(projectFolder);
    const std::string target = out ? *out : project::epubPathOf(settings);
    fs::create_directories(fs::u8path(parentFolder(fs::absolute(target, ec).string())), ec);

    ConsoleObserver observer;
    const auto r = project::MakeProjectEpub(projectFolder, settings, *contents, target, observer);
    if (!r)
        return failure("no EPUB written: " + r.error().message);
    for (const std::string& w : r->warnings)
        std::cerr << "folio: warning: " << printable(w) << "\n";
    std::cout << "epub: " << printable(r->path) << " (" << r->bytes << " bytes)\n"
              << "title: " << printable(r->title) << "\nauthor: " << printable(r->author)
              << "\nlanguage: " << r->language
              << "\ncover: " << (r->cover.empty() ? "(none)" : printable(r->cover)) << "\n"
              << "pages: " << r->pages << " (" << r->linearPages << " in reading order"
              << (r->nameOrder ? ", by name: the contents list names no page" : "") << ", "
              << r->pages - r->linearPages << " only linked from them)\n"
              << "resources: " << r->resources << " (style sheets, pictures, fonts, sounds)\n";
    if (!r->warnings.empty())
        std::cout << r->warnings.size() << " warnings\n";
    return ExitOk;
}

} // namespace folio::cli
