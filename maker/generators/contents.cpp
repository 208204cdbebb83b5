// The entry makers of the contents list.
#include "maker/generators/contents.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contentstag.h"
#include "maker/generators/naturalorder.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::generators {

namespace {

// A row carries its cells TAB-separated and the list file keeps one row per line.
std::string oneLine(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else if (c == '\r' || c == '\n' || c == '\t') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string withoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

Result<std::string> captionFor(const std::string& folder, const std::string& name,
                               TitleSource source) {
    const std::string path = FixPath(folder) + name;
    const auto orName = [&](Result<std::optional<std::string>> caption) -> Result<std::string> {
        FOLIO_TRY(caption);
        return caption->value_or(withoutExtension(name));
    };
    switch (source) {
    case TitleSource::FileName: {
        const std::size_t dot = name.find('.');
        return dot == std::string::npos ? name : name.substr(0, dot);
    }
    case TitleSource::FirstLine:
        return orName(ReadFirstLine(path));
    case TitleSource::HtmlTitle:
        return orName(ReadElementText(path, PageElement::Title));
    case TitleSource::HtmlH1:
        return orName(ReadElementText(path, PageElement::H1));
    case TitleSource::HtmlH2:
        return orName(ReadElementText(path, PageElement::H2));
    case TitleSource::Custom:
        break;
    }
    return fail(path + ": a custom caption does not come from the page");
}

BuildSummary BuildContentsEntries(const BuildInputs& in, ContentsList& list, Observer& observer) {
    BuildSummary summary;
    const int n = static_cast<int>(in.list.names.size());
    if (n > 0)
        observer.setProgressMaximum(n - 1);
    // The selected pages are added in natural order whatever order the list shows them in:
    // the selected positions keep their turn in the run (and the progress), each taking the
    // next page in that order.
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < in.list.names.size(); ++i) {
        if (in.list.isSelected(i))
            selected.push_back(i);
    }
    std::vector<std::size_t> pages = selected;
    std::stable_sort(pages.begin(), pages.end(), [&](std::size_t a, std::size_t b) {
        return naturalLess(in.list.names[a], in.list.names[b]);
    });
    // A page gets one entry; a second is added all the same, but the author is told.
    std::set<std::string> links;
    for (int r = 1; r <= list.rowCount() - 2; ++r)
        links.insert(toUpperUnicode(list.cell(r, ColURL)));
    std::size_t turn = 0;
    for (int i = 0; i < n; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (turn < selected.size() && selected[turn] == index) {
            const std::string& name = in.list.names[pages[turn++]];
            std::string caption;
            std::string url = name;
            bool readable = true;
            if (in.source == TitleSource::Custom) {
                caption = in.customTitle;
                url = in.customUrl;
            } else if (auto c = captionFor(in.list.folder, name, in.source)) {
                caption = std::move(*c);
            } else {
                summary.skipped.push_back({name, c.error().message});
                readable = false;
            }
            if (readable) {
                url = oneLine(std::move(url));
                if (!url.empty() && !links.insert(toUpperUnicode(url)).second &&
                    std::find(summary.duplicates.begin(), summary.duplicates.end(), url) ==
                        summary.duplicates.end())
                    summary.duplicates.push_back(url);
                list.appendEntry(std::to_string(list.rowCount() - 1), oneLine(in.sid),
                                 oneLine(std::move(caption)), url);
                ++summary.added;
            }
        }
        if (i % 10 == 0)
            observer.processEvents();
        observer.setProgressValue(i);
    }
    return summary;
}

void AddHomeEntry(const std::string& bookName, ContentsList& list) {
    list.appendEntry(std::to_string(list.rowCount() - 2), "-1", oneLine(bookName), "index.html");
}

Result<std::vector<std::string>> folderEntries(const std::string& folder, bool folders) {
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (folders ? it->is_directory(typeEc) : it->is_regular_file(typeEc))
            names.push_back(it->path().filename().string());
    }
    if (ec)
        return fail(folder + ": cannot list the folder: " + ec.message());
    sortNaturally(names);
    return names;
}

Result<int> AddFolderEntries(const std::string& folder, ContentsList& list, Observer& observer) {
    auto names = folderEntries(folder, true);
    FOLIO_TRY(names);
    for (const std::string& name : *names) {
        list.appendEntry(std::to_string(list.rowCount() - 2), "0", oneLine(name), "");
        observer.processEvents();
    }
    return static_cast<int>(names->size());
}

} // namespace folio::generators
