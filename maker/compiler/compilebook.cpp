// Compiling a project into a Book image: copies the skin, the skin library and the reader
// template, writes the descriptor, adds the selected pages and reports through the observer;
// the previous build is replaced only once the new one is whole.
#include "maker/compiler/compilebook.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <tuple>

namespace folio::compiler {

namespace {

constexpr const char* NoticeTitle = "提示！！";

// A copy of `from` staged for `to`, with the permissions of `from`; none when `to` is such a
// copy already (a book compiled again keeps its skin files, and no flush is spent on them).
Result<std::optional<StagedFile>> stageCopy(const std::string& from, const std::string& to) {
    auto bytes = readFileBytes(from);
    FOLIO_TRY(bytes);
    if (fileExists(to)) {
        std::error_code ec, toEc;
        const auto mode = std::filesystem::status(from, ec).permissions();
        if (!ec && mode == std::filesystem::status(to, toEc).permissions() && !toEc) {
            if (auto there = readFileBytes(to); there && *there == *bytes)
                return std::nullopt;
        }
    }
    auto stage = StagedFile::create(to);
    FOLIO_TRY(stage);
    FOLIO_TRY(stage->write(*bytes));
    FOLIO_TRY(stage->close());
    stage->copyPermissionsFrom(from);
    return stage;
}

Error refused(Observer& observer, const std::string& text, std::string why) {
    observer.messageBox(text, NoticeTitle, MessageIcon::Exclamation);
    return Error{std::move(why), static_cast<int>(CompileOutcome::Invalid)};
}

// The resource an entry becomes, as an address inside the book names it.
std::string resourceAddress(std::string_view entry) {
    const pe::ResourceId type = book::pageResourceType(entry);
    const std::string name = book::pageResourceName(entry).toString();
    return type.isString ? type.toString() + "/" + name : name;
}

// The selected pages make a whole book: as many under one resource type as a resource directory
// can count, some page, the index and contents pages among them, and every one under a resource
// name of its own.
Result<void> checkWholeBook(const CompileInputs& in, std::span<const std::string_view> entries,
                            Observer& observer) {
    // Counted first and cheaply: a project of a hundred thousand pages is refused before its
    // pages take memory for the checks below.
    std::map<std::string, std::size_t> perType;
    for (const std::string_view entry : entries) {
        const pe::ResourceId type = book::pageResourceType(entry);
        const std::size_t n = ++perType[type.isString ? type.toString() : "#" + type.toString()];
        if (n == pe::MaxDirectoryEntries + 1)
            return std::unexpected(refused(
                observer,
                "要编译的页面太多：电子书的一类资源最多只能有 " +
                    std::to_string(pe::MaxDirectoryEntries) + " 个。\r\n\r\n请少选一些页面。",
                FixPath(in.projectFolder) + ": more than " +
                    std::to_string(pe::MaxDirectoryEntries) + " pages of resource type " +
                    type.toString() + " are selected, but a resource directory holds at most " +
                    std::to_string(pe::MaxDirectoryEntries) + " entries"));
    }
    if (const auto clashes = resourceClashes(entries); !clashes.empty()) {
        const ResourceClash& c = clashes.front();
        return std::unexpected(
            refused(observer,
                    "页面“" + c.first + "”和“" + c.other + "”在电子书中是同一个资源“" + c.resource +
                        "”，其中一页会丢失。\r\n\r\n请给其中一个改名后再编译。",
                    FixPath(in.projectFolder) + c.first + " and " + c.other +
                        " become the one resource " + c.resource + "; rename one of them"));
    }
    if (entries.empty())
        return std::unexpected(
            refused(observer, "没有选择要编译的页面！\r\n\r\n请在页面列表中选择电子书的页面。",
                    "no page of " + in.projectFolder + " is selected"));
    const std::tuple<const std::string*, const char*, const char*, const char*> named[] = {
        {&in.settings.indexPage, "首页", "索引页", "index page"},
        {&in.settings.contentsPage, "目录页", "目录树", "contents page"},
    };
    // Looked for in one pass, which keeps no list of the resources a large book makes.
    const std::string wanted[] = {book::pageResourceName(in.settings.indexPage).toString(),
                                  book::pageResourceName(in.settings.contentsPage).toString()};
    bool found[] = {false, false};
    for (const std::string_view entry : entries) {
        const std::string address = resourceAddress(entry);
        for (std::size_t k = 0; k < 2; ++k)
            found[k] = found[k] || address == wanted[k];
    }
    for (std::size_t k = 0; k < 2; ++k) {
        const auto& [page, what, box, english] = named[k];
        if (page->empty())
            return std::unexpected(refused(observer,
                                           std::string("没有填写") + box + "！电子书打开时要显示" +
                                               what + "，请在“" + box + "：”中填写它的文件名。",
                                           std::string("no ") + english + " (" + box + ") is set"));
        if (!found[k])
            return std::unexpected(refused(
                observer,
                std::string(what) + "“" + *page + "”不在要编译的页面中，电子书打开时会找不到它。" +
                    "\r\n\r\n请在页面列表中选择它（或先生成" + what + "）后再编译。",
                std::string("the ") + english + " " + *page + " is not among the pages compiled" +
                    (fileExists(FixPath(in.projectFolder) + *page)
                         ? ""
                         : " (" + in.projectFolder + " has no such file)")));
    }
    return {};
}

// "folder/name" for an entry of a sub-folder: a name without a folder on either side.
bool isSubfolderEntry(std::string_view entry) {
    const std::size_t slash = entry.find('/');
    return slash != std::string_view::npos && isPlainFileName(entry.substr(0, slash)) &&
           isPlainFileName(entry.substr(slash + 1));
}

// What the output file holds now when it is a book: its title; nullopt for anything else.
std::optional<std::string> titleOfBook(const std::string& path) {
    if (!describeNonRegular(path).empty())
        return std::nullopt;
    auto book = book::BookImage::open(path);
    if (!book)
        return std::nullopt;
    auto descriptor = (*book)->descriptor();
    if (!descriptor)
        return std::nullopt;
    return book::splitDescriptor(*descriptor).front();
}

} // namespace

std::vector<ResourceClash> resourceClashes(std::span<const std::string_view> entries) {
    std::vector<ResourceClash> clashes;
    std::map<std::string, std::string_view> byResource; // resource -> the entry that takes it
    for (const std::string_view entry : entries) {
        std::string resource = resourceAddress(entry);
        auto [it, fresh] = byResource.emplace(resource, entry);
        if (!fresh && it->second != entry)
            clashes.push_back({std::string(it->second), std::string(entry), std::move(resource)});
    }
    return clashes;
}

std::vector<std::string> subfolderEntries(const std::string& projectFolder,
                                          const std::string& folder,
                                          std::vector<SkippedEntry>& skipped) {
    std::vector<std::string> entries;
    if (book::isNumericTypeName(folder)) {
        skipped.push_back({folder, "a folder whose name a res: address reads as a resource "
                                   "type number, so its files could not be reached"});
        return entries;
    }
    std::error_code ec;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(FixPath(projectFolder) + folder, ec), end;
         !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string entry = folder + "/" + name;
        const std::string kind = describeNonRegular(FixPath(projectFolder) + entry);
        if (!kind.empty())
            skipped.push_back({entry, kind == "a folder"
                                          ? "a folder below a sub-folder (only one level of "
                                            "sub-folders is compiled)"
                                          : kind});
        else
            entries.push_back(entry);
    }
    return entries;
}

Result<CompiledBook> CompileBook(const CompileInputs& in, CompileObserver& observer,
                                 IconStep iconStep) {
    CompiledBook result;
    const ProjectSettings& s = in.settings;

    // Only emptiness is validated here; everything else fails later, in the trap.
    const std::tuple<const std::string*, const char*, const char*> required[] = {
        {&s.outPath, "没有输出路径！！！！", "no output folder (输出文件夹) is set"},
        {&s.title, "没有标题请输入标题！！！！", "no title (电子书名称) is set"},
        {&s.outFile, "没有输出文件名！！！！", "no output file name (输出文件) is set"},
    };
    for (const auto& [value, message, why] : required) {
        if (value->empty()) {
            observer.messageBox(message, NoticeTitle, MessageIcon::Information);
            return fail(why, static_cast<int>(CompileOutcome::Invalid));
        }
    }

    const std::string maker = FixPath(in.makerFolder);
    const std::string templatePath = maker + "folioPage/folioPage.dat";
    const std::string skinSource = maker + "skin/" + in.skinFileName;
    const std::string librarySource = maker + "folioPage/SkinH_VB6.dll";
    const std::string outFolder = FixPath(s.outPath);
    const std::string bookPath = outFolder + s.outFile + ".exe";
    const std::string skinCopy = outFolder + "aero.she";
    const std::string libraryCopy = outFolder + "SkinH_VB6.dll";
    // The readers' interface languages travel with every book, beside it as the reader
    // expects them.
    const std::string languageSource = maker + "folioPage/Language.lng";
    const std::string languageCopy = outFolder + "Language.lng";
    result.bookPath = bookPath;

    // The error trap: every run-time failure ends the routine with this message.
    auto trap = [&](const std::string& description) {
        observer.messageBox("你的电子书编译过程发生\r\n\r\n" + description + "错误！", "编译失败。",
                            MessageIcon::Information);
        return fail(description, static_cast<int>(CompileOutcome::Failed));
    };

    // The book is named by the output file setting alone; a name reaching into another folder
    // would put it (and overwrite whatever is there) outside the output folder.
    if (!isPlainFileName(s.outFile + ".exe") || s.outFile.find("..") != std::string::npos)
        return trap("the output file name (输出文件) \"" + s.outFile +
                    "\" holds a path separator or \"..\"");
    // The descriptor's fields are joined by ":", so a ":" inside one would shift every later
    // field for the readers.
    const std::pair<const std::string*, const char*> joined[] = {
        {&s.title, "title (标题)"},
        {&s.author, "author (作者)"},
        {&s.indexPage, "home page (首页)"},
        {&s.contentsPage, "contents page (目录页)"},
    };
    for (const auto& [value, field] : joined) {
        if (value->find(':') != std::string::npos)
            return trap(std::string("the ") + field + " \"" + *value +
                        "\" holds a \":\", which separates the descriptor's fields");
    }

    // The entries that become pages: the selected names of the project folder and, with
    // sub-folders on, the files of each selected sub-folder. A name that reaches into another
    // folder never becomes a page. Each names its page in place, in the caller's list or among
    // the sub-folders' files kept here (a folder's list is moved whole, so its names stay where
    // they are): a book of tens of thousands of pages copies none of their names.
    std::vector<std::string_view> entries;
    std::vector<std::vector<std::string>> folderFiles;
    for (const PageEntry& entry : in.pages) {
        // Every entry lets the window process its events, the ones left out too.
        if (!entry.selected || !(isPlainFileName(entry.name) ||
                                 (in.settings.subfolders && isSubfolderEntry(entry.name)))) {
            observer.processEvents();
            continue;
        }
        if (in.settings.subfolders && isSubfolderEntry(entry.name)) {
            entries.push_back(entry.name);
        } else {
            if (in.settings.subfolders && dirExists(FixPath(in.projectFolder) + entry.name)) {
                folderFiles.push_back(
                    subfolderEntries(in.projectFolder, entry.name, result.skipped));
                entries.insert(entries.end(), folderFiles.back().begin(), folderFiles.back().end());
            } else {
                entries.push_back(entry.name);
            }
        }
    }
    // A book that lacks its home or contents page opens on an error, and one page hiding
    // another under the same resource name loses it: neither is a book, so neither is built.
    if (auto whole = checkWholeBook(in, entries, observer); !whole)
        return std::unexpected(whole.error());

    book::DescriptorFieldsIn fields;
    fields.title = s.title;
    fields.author = s.author;
    fields.indexPage = s.indexPage;
    fields.contentsPage = s.contentsPage;
    fields.date = in.dateText;
    fields.update = s.update;
    fields.bookshelf = s.bookshelf;
    fields.advert = s.advert;
    fields.webAddress = s.webAddress;
    const std::string descriptor = book::descriptorText(fields);

    // Nothing is replaced until the whole book is built: the book, the skin and the skin
    // library are each built under a temporary name beside their target and renamed over it
    // at the very end, so a failed or interrupted run leaves the previous build as it was.
    auto descriptorFailed = [&](const std::string& why) {
        std::string text = "当编译你的ebook时出现错误。";
        if (!why.empty())
            text += "\r\n\r\n" + why;
        observer.messageBox(text, "编译错误", MessageIcon::Critical);
        return fail(why, static_cast<int>(CompileOutcome::DescriptorFailed));
    };
    // Its length is known before anything is written.
    if (auto length = book::AnsiByteLength(descriptor); !length)
        return descriptorFailed(bookPath + ": " + length.error().message);

    if (!dirExists(outFolder))
        return trap("the output folder " + outFolder + " does not exist");
    // Another project's book under the same output name is the author's work too.
    auto other = recordedTitle(in.recordFolder, bookPath);
    if (!other)
        other = titleOfBook(bookPath);
    if (other && *other != s.title) {
        if (observer.messageBox("输出文件“" + bookPath + "”是另一本电子书《" + *other +
                                    "》。\r\n\r\n要用《" + s.title + "》替换它吗？",
                                NoticeTitle, MessageIcon::Question,
                                MessageButtons::YesNo) != Answer::Yes)
            return fail(bookPath + " is the book \"" + *other + "\" and was kept",
                        static_cast<int>(CompileOutcome::Declined));
    }
    if (in.skinFileName.empty())
        return trap("no skin file is chosen (" + maker + "skin/)");
    // What an earlier run that was killed left here goes first (the workbench compiles many
    // times in one process, so this is not left to the first write in the folder).
    removeStaleStages(bookPath);
    std::vector<StagedFile> stages;
    const std::pair<const std::string*, const std::string*> copies[] = {
        {&skinSource, &skinCopy}, {&librarySource, &libraryCopy}};
    for (const auto& [from, to] : copies) {
        auto staged = stageCopy(*from, *to);
        if (!staged)
            return trap(staged.error().message);
        if (*staged)
            stages.push_back(std::move(**staged));
    }
    // A maker folder without the language file still makes books: they keep the built-in
    // captions.
    if (fileExists(languageSource)) {
        auto staged = stageCopy(languageSource, languageCopy);
        if (!staged)
            return trap(staged.error().message);
        if (*staged)
            stages.push_back(std::move(**staged));
    }
    // A template the resource writer cannot rebuild can take no descriptor; it is refused
    // under its own name before a byte of the book is written.
    auto templateBytes = readFileBytes(templatePath);
    if (!templateBytes)
        return trap(templateBytes.error().message);
    if (auto rebuildable = pe::checkRebuildable(*templateBytes, templatePath); !rebuildable)
        return descriptorFailed(rebuildable.error().message);
    // The icon goes into the template before the pages do: the template is small, the book
    // may not be.
    if (!in.iconPath.empty() && iconStep) {
        auto withIcon = StagedFile::create(bookPath);
        if (!withIcon)
            return trap(withIcon.error().message);
        if (auto w = withIcon->write(*templateBytes); !w)
            return trap(w.error().message);
        if (auto c = withIcon->close(StagedFile::Flush::Deferred); !c)
            return trap(c.error().message);
        if (auto given = iconStep(in.iconPath, withIcon->path(), observer); !given)
            return trap(given.error().message);
        templateBytes = readFileBytes(withIcon->path());
        if (!templateBytes)
            return trap(templateBytes.error().message);
    }

    // Every page is looked at before the book is laid out: its size places the pages after
    // it, its times tell whether the previous book holds it unchanged.
    const std::string projectFolder = FixPath(in.projectFolder);
    BookWrite write;
    write.bookPath = bookPath;
    write.projectFolder = projectFolder;
    write.title = s.title;
    write.templatePath = templatePath;
    const std::string ansi = toAnsi(descriptor);
    write.descriptor.assign(ansi.begin(), ansi.end());
    write.full = in.full;
    write.recordFolder = in.recordFolder;
    write.stamp = buildStamp();
    write.pages.reserve(entries.size());
    for (const std::string_view entry : entries) {
        const std::string path = std::string(projectFolder).append(entry);
        const FileFacts facts = fileFacts(path);
        if (facts.kind == "no such file")
            return trap("cannot open " + path + ": " + facts.why);
        if (!facts.kind.empty()) {
            // A sub-folder is listed like a file but is never a page; a FIFO would block the
            // read, and a dangling link has nothing to read.
            if (facts.kind != "a folder")
                result.skipped.push_back({std::string(entry), facts.kind});
            observer.processEvents();
            continue;
        }
        write.pages.push_back({entry, facts.size, facts.mtimeNs, facts.ctimeNs});
    }
    // The pages name their entries where they lie: the list of them is done with.
    std::vector<std::string_view>().swap(entries);
    write.templateBytes = *templateBytes;

    auto stage = StagedFile::create(bookPath);
    if (!stage)
        return trap(stage.error().message);
    auto written = writeBook(write, *stage, observer);
    if (!written)
        return trap(written.error().message);
    stage->copyPermissionsFrom(templatePath);
    stages.push_back(std::move(*stage));

    // The book first: a run stopped between these renames leaves a whole book beside the
    // previous skin, never a skin without its book.
    for (auto it = stages.rbegin(); it != stages.rend(); ++it) {
        if (auto committed = it->commit(); !committed)
            return trap(committed.error().message);
    }
    // Only a cache: a record that cannot be kept makes the next build a full one.
    (void)keepRecord(write, *written);
    const int added = written->pages;
    result.pagesAdded = added;
    result.pagesReused = written->reused;

    observer.messageBox("你的电子书现在已经编译为\r\n\r\n" + bookPath + "\r\n\r\n共 " +
                            std::to_string(added) + " 个页面。",
                        "编译完成。", MessageIcon::Information);
    return result;
}

} // namespace folio::compiler
