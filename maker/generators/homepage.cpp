// Writing the home page and editing one entry's card fields.
#include "maker/generators/homepage.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contentspage.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::generators {

std::string LoadHomePageTag(const std::string& makerFolder, std::string accumulator) {
    auto text = ReadPageText(FixPath(makerFolder) + "HomePageTag.ini");
    if (!text)
        return accumulator.empty() ? std::string(DefaultHomePageTag) : accumulator;
    return accumulator + *text;
}

std::string coverFileName(std::string_view coverPath) {
    const std::size_t sep = coverPath.find_last_of("\\/");
    return std::string(sep == std::string_view::npos ? coverPath : coverPath.substr(sep + 1));
}

std::string fillHomePage(std::string pageText, const std::string& bookName,
                         const std::string& entryTemplate, const ContentsList& list,
                         Observer& observer, std::vector<std::string>* covers) {
    replaceAll(pageText, "{$Caption}", bookName);
    observer.setProgressMaximum(list.rowCount() - 1);
    std::string loop;
    for (int i = 1; i <= list.rowCount() - 2; ++i) {
        std::string item = entryTemplate;
        replaceAll(item, "{$title}", list.cell(i, ColCaption));
        replaceAll(item, "{$url}", list.cell(i, ColURL));
        replaceAll(item, "{$author}", list.cell(i, ColAuthor));
        replaceAll(item, "{$len}", list.cell(i, ColLen));
        const std::string& cover = list.cell(i, ColImg);
        if (cover.empty()) {
            replaceAll(item, "{$img}", DefaultCover);
        } else {
            replaceAll(item, "{$img}", coverFileName(cover));
            if (covers)
                covers->push_back(cover);
        }
        replaceAll(item, "{$newchapter}", list.cell(i, ColNewChapter));
        replaceAll(item, "{$state}", list.cell(i, ColState));
        replaceAll(item, "{$synopsis}", list.cell(i, ColSynopsis));
        loop += item;
        if (i % 4 == 0)
            loop += "<span class='hr'></span>";
        loop += "\r\n";
        observer.setProgressValue(i);
    }
    replaceAll(pageText, "{$LoopTag}", loop);
    return pageText;
}

Result<HomePageOutcome> GenerateHomePage(const HomePageInputs& in, const ContentsList& list,
                                         Observer& observer) {
    const std::string indexFolder = FixPath(in.makerFolder) + "list/index/";
    auto page = ReadPageText(indexFolder + "index.html");
    if (!page) {
        observer.messageBox(page.error().message, in.programTitle, MessageIcon::Critical);
        return std::unexpected(page.error());
    }

    HomePageOutcome outcome;
    const std::string project = FixPath(in.projectFolder);
    if (!mayReplacePage(project + "index.html", in.programTitle, observer)) {
        outcome.kept = true;
        return outcome;
    }
    std::vector<std::string> covers;
    outcome.pageText =
        fillHomePage(std::move(*page), in.bookName, in.entryTemplate, list, observer, &covers);

    const auto copyInto = [&](const std::string& from, const std::string& name) {
        std::error_code ec;
        if (name.empty() || name == "." || name == "..") {
            outcome.problems.push_back(from + ": names no file to copy");
            return;
        }
        // A cover already in the project folder stays as it is.
        if (fs::equivalent(from, project + name, ec))
            return;
        if (auto c = copyFileAtomic(from, project + name); !c) {
            outcome.problems.push_back(c.error().message);
            return;
        }
        outcome.copied.push_back(name);
    };
    // A cover named without a folder is looked for in the project, not wherever the maker runs.
    for (const std::string& cover : covers) {
        const bool relative =
            fs::path(cover).is_relative() && cover.find('\\') == std::string::npos;
        copyInto(relative ? project + cover : cover, coverFileName(cover));
    }
    for (const char* name : {"logo.jpg", "xs.css", "common.css"})
        copyInto(indexFolder + name, name);

    if (auto w = writeFileAtomic(project + "index.html", generatedPageBytes(outcome.pageText));
        !w) {
        observer.messageBox(w.error().message, in.programTitle, MessageIcon::Critical);
        return std::unexpected(w.error());
    }
    observer.messageBox(HomePageDone, in.programTitle, MessageIcon::Information);
    return outcome;
}

ContentsEntry homePageFields(const ContentsList& list, int row) {
    return list.entry(row);
}

bool applyHomePageFields(ContentsList& list, int row, const ContentsEntry& f) {
    if (row < 1 || row >= list.rowCount())
        return false;
    const std::string* values[] = {&f.ID,  &f.SID, &f.Caption,    &f.URL,   &f.author,
                                   &f.len, &f.img, &f.newchapter, &f.state, &f.synopsis};
    for (int c = ColID; c <= ColSynopsis; ++c)
        list.setCell(row, c, *values[c - ColID]);
    return true;
}

} // namespace folio::generators
