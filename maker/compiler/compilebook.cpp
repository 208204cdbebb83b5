// Compiling a project into a Book image: copies the skin, the skin library and the reader
// template, writes the descriptor, adds the selected pages and reports through the observer.
#include "compilebook.h"

#include "book.h"
#include "fileio.h"
#include "pe.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace folio::compiler {

namespace {

constexpr const char* NoticeTitle = "提示！！";

// A page entry can only name a file lying directly in the project folder: anything that
// reaches into another folder never becomes a page.
bool namesPlainFile(const std::string& entry) {
    return !entry.empty() && entry != "." && entry != ".." &&
           entry.find_first_of("/\\") == std::string::npos;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(path), ec);
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace

CompileResult CompileBook(const CompileInputs& in, CompileObserver& observer, IconStep iconStep) {
    CompileResult result;
    const ProjectSettings& s = in.settings;

    // Only emptiness is validated here; everything else fails later, in the trap.
    const std::pair<const std::string*, const char*> required[] = {
        {&s.outPath, "没有输出路径！！！！"},
        {&s.title, "没有标题请输入标题！！！！"},
        {&s.outFile, "没有输出文件名！！！！"},
    };
    for (const auto& [value, message] : required) {
        if (value->empty()) {
            observer.messageBox(message, NoticeTitle, MessageIcon::Information);
            result.outcome = CompileOutcome::Invalid;
            return result;
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
    result.bookPath = bookPath;

    // The error trap: every run-time failure ends the routine with this message.
    auto trap = [&](const std::string& description) {
        observer.messageBox("你的电子书编译过程发生\r\n\r\n" + description + "错误！", "编译失败。",
                            MessageIcon::Information);
        result.outcome = CompileOutcome::Failed;
        result.error = description;
        return result;
    };

    if (!dirExists(outFolder))
        return trap("the output folder " + outFolder + " does not exist");
    if (in.skinFileName.empty())
        return trap("no skin file is chosen (" + maker + "skin/)");
    const std::pair<const std::string*, const std::string*> copies[] = {
        {&skinSource, &skinCopy}, {&librarySource, &libraryCopy}, {&templatePath, &bookPath}};
    for (const auto& [from, to] : copies) {
        if (auto copied = copyFileAtomic(*from, *to); !copied)
            return trap(copied.error().message);
    }

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
    std::string why;
    if (book::WriteDescriptor(bookPath, book::descriptorText(fields), &why) == 0) {
        std::string text = "当编译你的ebook时出现错误。";
        if (!why.empty())
            text += "\r\n\r\n" + why;
        observer.messageBox(text, "编译错误", MessageIcon::Critical);
        // The only failure after which nothing of this run is left behind.
        removeQuietly(bookPath);
        removeQuietly(skinCopy);
        removeQuietly(libraryCopy);
        result.outcome = CompileOutcome::DescriptorFailed;
        result.error = why;
        return result;
    }

    // With fewer than two entries the maximum would be 0 or -1; a bar cannot run backwards,
    // so it is held at 0.
    const int entries = static_cast<int>(in.pages.size());
    observer.setProgressMaximum(std::max(0, entries - 1));

    // All pages go into one update that is committed once: the same book as committing every
    // page by itself, without rewriting the whole file once per page.
    auto updater = pe::ResourceUpdater::begin(bookPath, false);
    if (!updater)
        return trap(updater.error().message);
    const std::string projectFolder = FixPath(in.projectFolder);
    int added = 0;
    for (int i = 0; i < entries; ++i) {
        const PageEntry& entry = in.pages[static_cast<std::size_t>(i)];
        if (entry.selected && namesPlainFile(entry.name)) {
            const std::string path = projectFolder + entry.name;
            auto bytes = readFileBytes(path);
            if (!bytes && isFolder(path)) {
                // A sub-folder is listed like a file but is never a page.
                observer.processEvents();
                continue;
            }
            if (!bytes) {
                // Keep what was added so far, as if each page had been committed by itself:
                // the book then lacks the remaining pages.
                if (auto committed = updater->end(false); !committed)
                    return trap(committed.error().message);
                result.pagesAdded = added;
                return trap(bytes.error().message);
            }
            updater->update(pe::ResourceId::fromId(book::PageType),
                            book::pageResourceName(entry.name), book::ResourceLanguage,
                            std::move(*bytes));
            ++added;
            observer.setCaption("folioMake-" + entry.name);
            observer.setProgressValue(i);
        }
        observer.processEvents();
    }
    if (auto committed = updater->end(false); !committed)
        return trap(committed.error().message);
    result.pagesAdded = added;

    if (!in.iconPath.empty() && iconStep) {
        const std::string iconError = iconStep(in.iconPath, bookPath, observer);
        if (!iconError.empty())
            return trap(iconError);
    }

    observer.messageBox("你的电子书现在已经编译为\r\n\r\n" + bookPath, "编译完成。",
                        MessageIcon::Information);
    result.outcome = CompileOutcome::Done;
    return result;
}

} // namespace folio::compiler
