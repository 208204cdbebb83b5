// folio: compile a project folder into a Book image, and look inside Book images, from the
// command line.
#include "cli/console.h"
#include "core/book.h"
#include "core/fileio.h"
#include "core/text.h"
#include "maker/compiler/compilebook.h"
#include "maker/compiler/help.h"
#include "maker/project/projectfiles.h"
#include "maker/project/settings.h"
#include "maker/project/workbench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace folio;
using namespace folio::cli;

namespace {

bool hasControlCharacter(std::string_view text) {
    return printable(text) != text;
}

std::string todayIso() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[16];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &local);
    return buffer;
}

// Entries lying directly in the folder, sub-folders left out (or, with `subfolders`, listed for
// the compiler to add their files), in byte order of their names. What is no regular file (a
// FIFO, a dangling link) is listed too, for the compiler to name it.
std::vector<std::string> folderFiles(const std::string& folder, bool subfolders,
                                     std::error_code& ec) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        std::error_code statEc;
        if (subfolders || !e.is_directory(statEc))
            names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string firstSkin(const std::string& skinFolder) {
    std::error_code ec;
    std::vector<std::string> skins;
    for (const std::string& name : folderFiles(skinFolder, false, ec)) {
        if (name.size() > 4 && toUpperUnicode(name.substr(name.size() - 4)) == ".SHE")
            skins.push_back(name);
    }
    return skins.empty() ? "aero.she" : skins.front();
}

// The compile command's progress on a terminal: one line, rewritten as the bytes go, and
// nothing when the output goes to a file or a pipe.
class CompileProgress : public ConsoleObserver {
  public:
    using ConsoleObserver::ConsoleObserver;
    ~CompileProgress() override { clear(); }

    void setProgressMaximum(int maximum) override { m_maximum = maximum; }
    void setProgressValue(int value) override {
        if (!m_terminal || m_maximum <= 0)
            return;
        const int percent = static_cast<int>(std::int64_t(value) * 100 / m_maximum);
        if (percent == m_shown)
            return;
        m_shown = percent;
        std::fprintf(stderr, "\rcompiling: %3d%%", percent);
        std::fflush(stderr);
    }
    void clear() {
        if (m_shown >= 0)
            std::fprintf(stderr, "\r%*s\r", 16, "");
        m_shown = -1;
    }

  private:
    bool m_terminal = ::isatty(STDERR_FILENO) == 1;
    int m_maximum = 0;
    int m_shown = -1;
};

int compile(const std::vector<std::string>& args) {
    std::optional<std::string> folder, maker, out, icon, skin, date;
    bool chm = false, force = false, full = false, check = false, subfolders = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& target) {
            if (i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        bool ok = true;
        if (a == "--maker")
            ok = value(maker);
        else if (a == "--out")
            ok = value(out);
        else if (a == "--icon")
            ok = value(icon);
        else if (a == "--skin")
            ok = value(skin);
        else if (a == "--date")
            ok = value(date);
        else if (a == "--chm")
            chm = true;
        else if (a == "--force")
            force = true;
        else if (a == "--full")
            full = true;
        else if (a == "--check")
            check = true;
        else if (a == "--subfolders")
            subfolders = true;
        else if (a.starts_with("--"))
            return usageError("unknown option " + a);
        else if (!folder)
            folder = a;
        else
            return usageError("unexpected argument " + a);
        if (!ok)
            return usageError("option " + a + " needs a value");
    }
    if (!folder)
        return usageError("compile needs a project folder");

    std::error_code ec;
    std::string projectFolder = fs::absolute(*folder, ec).lexically_normal().string();
    while (projectFolder.size() > 1 && projectFolder.back() == '/')
        projectFolder.pop_back();
    if (!dirExists(projectFolder)) {
        std::cerr << "folio: the project folder " << projectFolder << " does not exist\n";
        return ExitFailure;
    }
    const std::string makerFolder = maker ? *maker : executableFolder();

    compiler::CompileInputs in;
    in.settings = project::initialSettings("");
    const std::string settingsPath = project::settingsFilePath(projectFolder);
    auto read = project::readSettingsFile(settingsPath, in.settings);
    if (!read) {
        // The reason names the file.
        return failure("cannot read the project settings: " + read.error().message);
    }
    std::cout << "settings: " << settingsPath << " (" << *read << " keys)\n";
    in.settings.subfolders = in.settings.subfolders || subfolders;
    if (check) {
        auto report = checkForCommand(*folder, in.settings);
        if (!report)
            return failure("cannot check " + projectFolder + ": " + report.error().message);
        printFindings(*folder, *report, std::cout);
        std::cout << "check: " << findingsSummary(*report) << "\n";
        if (report->errors() > 0)
            return failure("nothing compiled: the check found " + std::to_string(report->errors()) +
                           " error" + (report->errors() == 1 ? "" : "s"));
    }

    // A folder named here is created when missing; one from the settings must exist.
    std::optional<std::string> create;
    if (out)
        create = in.settings.outPath = *out;
    else if (in.settings.outPath.empty())
        create = in.settings.outPath = FixPath(makerFolder) + "out/";
    if (create) {
        fs::create_directories(*create, ec);
        if (ec) {
            std::cerr << "folio: cannot create the output folder " << *create << ": "
                      << ec.message() << "\n";
            return ExitFailure;
        }
    }
    in.makerFolder = makerFolder;
    in.skinFileName = skin ? *skin : firstSkin(FixPath(makerFolder) + "skin/");
    in.iconPath = icon.value_or("");
    in.projectFolder = projectFolder;
    in.dateText = date ? *date : todayIso();
    in.full = full;
    // The project's own files (its settings, its contents list, the help project) are no
    // pages: the settings file would carry the author's local output folder into the book.
    std::vector<std::string> own;
    {
        // Gone before the compile: its names live on in the pages.
        std::vector<std::string> files = folderFiles(projectFolder, in.settings.subfolders, ec);
        if (ec) {
            std::cerr << "folio: cannot list the project folder " << projectFolder << ": "
                      << ec.message() << "\n";
            return ExitFailure;
        }
        in.pages.reserve(files.size());
        const project::ProjectOwnFiles ownFiles(projectFolder, in.settings.title);
        for (std::string& name : files) {
            if (ownFiles.contains(name))
                own.push_back(std::move(name));
            else
                in.pages.push_back(compiler::PageEntry{std::move(name), true});
        }
    }

    std::cout << "maker: " << makerFolder << "\nskin: " << in.skinFileName
              << "\noutput folder: " << in.settings.outPath << "\ncompiling " << in.pages.size()
              << " files of " << projectFolder << "\n";
    for (const std::string& name : own)
        std::cout << "not a page: " << printable(name) << " (the project's own file)\n";
    CompileProgress observer(force);
    const auto r = compiler::CompileBook(in, observer);
    observer.clear();
    if (!r) {
        switch (compiler::outcomeOf(r)) {
        case compiler::CompileOutcome::Invalid:
            return failure("cannot compile " + projectFolder + ": " + r.error().message);
        case compiler::CompileOutcome::Declined:
            return failure("nothing written: " + r.error().message + " (--force replaces it)");
        default:
            return failure("compilation failed: " + r.error().message);
        }
    }
    std::cout << "added " << r->pagesAdded << " pages";
    if (r->pagesReused > 0)
        std::cout << " (" << r->pagesReused << " unchanged, taken from the previous book)";
    std::cout << "\nbook: " << r->bookPath << "\n";
    for (const auto& skipped : r->skipped)
        std::cout << "skipped " << printable(skipped.name) << ": it is " << skipped.why << "\n";
    if (chm) {
        // The help compiler works on the help project the generate command wrote.
        const generators::ContentsList noEntries;
        const compiler::HelpInputs help{noEntries, in.settings, makerFolder, projectFolder};
        std::cout << "compiling the help project " << compiler::helpFilePath(help, ".hhp") << "\n";
        auto h = compiler::CompileHelp(help, observer);
        if (!h)
            return failure("the help file was not compiled: " + h.error().message);
        std::cout << *h;
    }
    return ExitOk;
}

int newProject(const std::vector<std::string>& args) {
    project::NewProjectInputs in;
    std::optional<std::string> maker;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--author" || a == "--from" || a == "--maker") {
            if (i + 1 >= args.size())
                return usageError("option " + a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--author")
                in.author = value;
            else if (a == "--from")
                in.fromFolder = value;
            else
                maker = value;
        } else if (a.starts_with("--")) {
            return usageError("unknown option " + a);
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 2)
        return usageError("new needs a folder (the maker folder, or any) and a title");
    // The settings keep the output folder as a whole path: it must mean the same folder from
    // wherever the book is compiled.
    std::error_code ec;
    in.parentFolder = fs::absolute(operands[0], ec).lexically_normal().string();
    while (in.parentFolder.size() > 1 && in.parentFolder.back() == '/')
        in.parentFolder.pop_back();
    in.title = operands[1];
    in.makerFolder = maker ? *maker : executableFolder();
    if (!dirExists(in.parentFolder))
        return failure("the folder " + in.parentFolder + " does not exist");
    if (!in.fromFolder.empty() && !dirExists(in.fromFolder))
        return failure("the folder " + in.fromFolder + " (--from) does not exist");
    auto made = project::CreateProjectFolder(in);
    if (!made)
        return failure("no project made: " + made.error().message);
    std::cout << "project: " << printable(made->folder)
              << "\nsettings: " << printable(made->settingsFile) << "\n";
    if (made->listed)
        std::cout << "listed in " << printable(FixPath(in.parentFolder)) << project::ProjectListFile
                  << "\n";
    if (!made->supportFiles.empty())
        std::cout << "copied " << made->supportFiles.size()
                  << " support files of the contents page from the maker's list/tree/\n";
    std::cout << "copied " << made->pages.size() << " pages";
    if (!in.fromFolder.empty())
        std::cout << " from " << printable(in.fromFolder);
    std::cout << "\n";
    for (const std::string& folder : made->leftOut)
        std::cerr << "folio: " << printable(FixPath(in.fromFolder) + folder)
                  << "/ not copied: a book holds no sub-folders\n";
    return ExitOk;
}

int info(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return usageError("info needs exactly one book");
    auto book = openBook(args[0]);
    if (!book) {
        std::cerr << "folio: " << printable(book.error().message) << "\n";
        return ExitFailure;
    }
    static constexpr const char* FieldNames[] = {"title",         "author",      "index page",
                                                 "contents page", "update",      "bookshelf",
                                                 "advert",        "web address", "date"};
    int status = ExitOk;
    std::cout << "book: " << printable(args[0]) << "\n";
    if (auto descriptor = (*book)->descriptor()) {
        std::cout << "descriptor: " << printable(*descriptor) << "\n";
        const auto fields = book::splitDescriptor(*descriptor);
        for (std::size_t i = 0; i < fields.size(); ++i)
            std::cout << "  " << i << " " << std::left << std::setw(13)
                      << (i < std::size(FieldNames) ? FieldNames[i] : "(extra)") << " "
                      << printable(fields[i]) << "\n";
        // A book whose descriptor names pages it does not hold opens on an error page.
        for (std::size_t i : {std::size_t{2}, std::size_t{3}}) {
            if (i < fields.size() && !fields[i].empty() && !(*book)->find(fields[i])) {
                std::cerr << "folio: " << printable(args[0]) << ": the " << FieldNames[i] << " \""
                          << printable(fields[i])
                          << "\" named by the descriptor is not in the book\n";
                status = ExitFailure;
            }
        }
    } else {
        std::cerr << "folio: " << printable(descriptor.error().message) << "\n";
        status = ExitFailure;
    }
    const auto& resources = (*book)->image().resources();
    std::cout << "resources: " << resources.size() << "\n";
    auto row = [](const std::string& type, const std::string& name, const std::string& language,
                  const std::string& size) {
        std::cout << "  " << std::left << std::setw(8) << type << " " << std::setw(32) << name
                  << " " << std::right << std::setw(8) << language << " " << std::setw(10) << size
                  << "\n";
    };
    row("type", "name", "language", "size");
    for (const pe::Resource& r : resources)
        row(printable(r.type.toString()), printable(r.name.toString()), std::to_string(r.language),
            std::to_string(r.size));
    return status;
}

bool safeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos &&
           name.find("..") == std::string::npos && !hasControlCharacter(name);
}

int extract(const std::vector<std::string>& args) {
    bool force = false;
    std::vector<std::string> operands;
    for (const std::string& a : args) {
        if (a == "--force")
            force = true;
        else if (a.starts_with("--"))
            return usageError("unknown option " + a);
        else
            operands.push_back(a);
    }
    if (operands.size() != 2)
        return usageError("extract needs a book and a folder");
    const std::string& bookPath = operands[0];
    auto book = openBook(bookPath);
    if (!book) {
        std::cerr << "folio: " << printable(book.error().message) << "\n";
        return ExitFailure;
    }
    const std::string dir = FixPath(operands[1]);
    std::error_code dirEc;
    fs::create_directories(dir, dirEc);
    if (dirEc || !dirExists(dir)) {
        std::cerr << "folio: cannot create the folder " << printable(dir) << ": " << dirEc.message()
                  << "\n";
        return ExitFailure;
    }
    int status = ExitOk;
    const pe::PeImage& image = (*book)->image();

    // Where each page goes. The copy the reader reads (of several languages, or of names that
    // differ only in case, the first stored) keeps the page's name; every other copy goes into
    // a folder named after its language, so none overwrites another.
    struct Planned {
        const pe::Resource* resource;
        std::string file;       // relative to dir
        std::string readerCopy; // for another copy: the file of the copy the reader reads
    };
    std::vector<Planned> plan;
    std::map<std::string, std::string> taken; // folded file name -> the page it holds
    for (const pe::Resource& r : image.resources()) {
        if (r.type.isString || r.type.id != book::PageType)
            continue;
        const std::string name = r.name.toString();
        if (!r.name.isString || !safeName(name)) {
            std::cerr << "folio: " << printable(bookPath) << ": page name \"" << printable(name)
                      << "\" is not a plain file name; not written\n";
            status = ExitFailure;
            continue;
        }
        const auto readers = (*book)->find(name);
        const bool isReaders =
            readers && readers->data() == image.resourceData(r).data() && readers->size() == r.size;
        Planned p{&r, isReaders ? name : std::to_string(r.language) + "/" + name, {}};
        if (!isReaders)
            p.readerCopy = name;
        const std::string folded = toUpperUnicode(p.file);
        if (const auto it = taken.find(folded); it != taken.end()) {
            std::cerr << "folio: " << printable(bookPath) << ": page \"" << printable(name)
                      << "\" (language " << r.language << ") would be written over \""
                      << printable(it->second) << "\"; not written\n";
            status = ExitFailure;
            continue;
        }
        taken.emplace(folded, p.file);
        plan.push_back(std::move(p));
    }

    // Files already in the folder are replaced only when asked to; nothing is written otherwise.
    if (!force) {
        std::vector<std::string> existing;
        for (const Planned& p : plan) {
            std::error_code ec;
            if (fs::exists(fs::symlink_status(dir + p.file, ec)))
                existing.push_back(p.file);
        }
        if (!existing.empty()) {
            for (const std::string& f : existing)
                std::cerr << "folio: " << printable(dir + f) << " exists\n";
            std::cerr << "folio: nothing written: " << existing.size()
                      << " pages would replace files in " << printable(dir)
                      << " (--force replaces them)\n";
            return ExitFailure;
        }
    }

    // The pages reach the disk together (one flush for the whole book), then take their names.
    WriteBatch pages;
    std::vector<std::string> notes;
    for (const Planned& p : plan) {
        const std::string target = dir + p.file;
        std::error_code ec;
        fs::create_directories(parentFolder(target), ec);
        if (ec || !dirExists(parentFolder(target))) {
            std::cerr << "folio: cannot create the folder " << printable(parentFolder(target))
                      << ": " << ec.message() << "\n";
            return ExitFailure;
        }
        if (auto w = pages.add(target, image.resourceData(*p.resource)); !w) {
            std::cerr << "folio: " << printable(w.error().message) << "\n";
            status = ExitFailure;
            continue;
        }
        if (!p.readerCopy.empty())
            notes.push_back("another copy of " + printable(p.readerCopy) + " (language " +
                            std::to_string(p.resource->language) + ") written as " +
                            printable(p.file) + "; the reader reads " + printable(p.readerCopy));
    }
    const std::size_t written = pages.size();
    if (auto c = pages.commit(); !c) {
        std::cerr << "folio: " << printable(c.error().message) << "\n";
        return ExitFailure;
    }
    for (const std::string& note : notes)
        std::cout << note << "\n";
    std::cout << "wrote " << written << " pages into " << printable(dir) << "\n";
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usageError("no command given");
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << Usage;
        return ExitOk;
    }
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::cout << Usage;
        return ExitOk;
    }
    if (command == "compile")
        return compile(args);
    if (command == "new")
        return newProject(args);
    if (command == "info")
        return info(args);
    if (command == "extract")
        return extract(args);
    if (command == "contents")
        return contentsCommand(args);
    if (command == "generate")
        return generateCommand(args);
    if (command == "txt2html")
        return txt2htmlCommand(args);
    if (command == "html2txt")
        return html2txtCommand(args);
    if (command == "rename")
        return renameCommand(args);
    if (command == "search")
        return searchCommand(args);
    if (command == "epub")
        return epubCommand(args);
    if (command == "check")
        return checkCommand(args);
    return usageError("unknown command " + command);
}
