// Writing the contents page, its tab-separated twin and its support files.
#include "maker/generators/contentspage.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contents.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::generators {

namespace {

Error report(Observer& observer, const std::string& title, Error error) {
    observer.messageBox(error.message, title, MessageIcon::Critical);
    return error;
}

} // namespace

std::string generatedPageBytes(const std::string& pageText) {
    return toAnsi(pageText + "\r\n" + std::string(GeneratedMark) + "\r\n");
}

bool mayReplacePage(const std::string& path, const std::string& programTitle, Observer& observer) {
    if (!fileExists(path))
        return true;
    if (auto bytes = readFileBytes(path)) {
        const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        if (text.find(GeneratedMark) != std::string_view::npos)
            return true;
    }
    return observer.messageBox("“" + path + "”不是由 folioMake 生成的，也许是你自己写的网页。" +
                                   "\r\n\r\n要用生成的网页替换它吗？",
                               programTitle, MessageIcon::Question,
                               MessageButtons::YesNo) == Answer::Yes;
}

Result<std::string> projectFolderFor(const std::string& makerFolder, const std::string& bookName) {
    if (bookName.empty())
        return fail("The book has no name: enter the book name first.");
    if (!isPlainFileName(bookName))
        return fail("\"" + bookName + "\" cannot name a project folder inside " + makerFolder +
                    ".");
    return FixPath(makerFolder) + bookName;
}

std::string fillContentsPage(std::string pageText, const std::string& bookName,
                             const std::string& entryTemplate, const ContentsList& list,
                             Observer& observer) {
    replaceAll(pageText, "$Title", bookName);
    observer.setProgressMaximum(list.rowCount() - 1);
    std::string loop;
    for (int i = 1; i <= list.rowCount() - 2; ++i) {
        std::string item = entryTemplate;
        replaceAll(item, "$ID", list.cell(i, ColID));
        replaceAll(item, "$SID", list.cell(i, ColSID));
        replaceAll(item, "$Caption", list.cell(i, ColCaption));
        replaceAll(item, "$URL", list.cell(i, ColURL));
        loop += item;
        loop += "\r\n";
        observer.setProgressValue(i);
    }
    replaceAll(pageText, "$LoopTag", loop);
    return pageText;
}

Result<ContentsPageOutcome> GenerateContentsPage(const ContentsPageInputs& in,
                                                 const ContentsList& list, Observer& observer) {
    const std::string listFolder = FixPath(in.makerFolder) + "list/";
    const std::string templatePath = listFolder + "tree/tree.html";
    auto page = ReadPageText(templatePath);
    if (!page)
        return std::unexpected(report(observer, in.programTitle, page.error()));

    ContentsPageOutcome outcome;
    outcome.pageText =
        fillContentsPage(std::move(*page), in.bookName, in.entryTemplate, list, observer);
    if (!mayReplacePage(FixPath(in.projectFolder) + "tree.html", in.programTitle, observer)) {
        outcome.kept = true;
        return outcome;
    }

    if (!dirExists(in.projectFolder)) {
        std::error_code ec;
        fs::create_directories(in.projectFolder, ec);
        if (ec)
            return std::unexpected(report(
                observer, in.programTitle,
                Error{in.projectFolder + ": cannot create the project folder: " + ec.message()}));
        outcome.createdProjectFolder = true;
    }

    const std::string project = FixPath(in.projectFolder);
    if (auto w = writeFileAtomic(project + "tree.html", generatedPageBytes(outcome.pageText)); !w)
        return std::unexpected(report(observer, in.programTitle, w.error()));

    std::string ini;
    for (int i = 1; i <= list.rowCount() - 2; ++i) {
        for (int c = ColBlank; c <= ColURL; ++c) {
            if (c > ColBlank)
                ini += '\t';
            ini += list.cell(i, c);
        }
        ini += "\r\n";
        observer.setProgressValue(i);
    }
    if (auto w = writeFileAtomic(project + "tree.ini", toAnsi(ini)); !w)
        return std::unexpected(report(observer, in.programTitle, w.error()));

    // The names come from list/, the files from list/tree/.
    auto names = folderEntries(listFolder, false);
    for (const std::string& name : names ? *names : std::vector<std::string>{}) {
        if (name == "tree.html")
            continue;
        const std::string from = listFolder + "tree/" + name;
        if (!fileExists(from)) {
            outcome.skipped.push_back(name);
            continue;
        }
        if (auto c = copyFileAtomic(from, project + name); !c)
            return std::unexpected(report(observer, in.programTitle, c.error()));
        outcome.copied.push_back(name);
    }

    observer.messageBox(ContentsPageDone, in.programTitle, MessageIcon::Information);
    return outcome;
}

} // namespace folio::generators
