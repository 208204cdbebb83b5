// Text chapters to pages and pages back to text: the "TxtToHtml" and "HtmlToTxt" commands.
#include "maker/generators/convert.h"

#include "core/fileio.h"
#include "core/text.h"

#include <algorithm>
#include <optional>

namespace folio::generators {

namespace {

bool endsWith(std::string_view name, std::string_view tail) {
    return name.size() >= tail.size() && name.substr(name.size() - tail.size()) == tail;
}

// Shows why the command stops, naming the file, and hands the same fault back to the caller.
std::unexpected<Error> stop(Observer& observer, const std::string& title, const std::string& lead,
                            const Error& error) {
    observer.messageBox(lead + "\r\n" + error.message, title, MessageIcon::Critical);
    return fail(error.message);
}

// Long loops let the window repaint every tenth item.
void tick(Observer& observer, std::size_t i) {
    observer.setProgressValue(static_cast<int>(i));
    if (i % 10 == 0)
        observer.processEvents();
}

// A line end that is a lone LF becomes CR LF, so the text file has one kind of line end.
std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// Length in bytes of the UTF-8 character starting at `pos` (1 for a stray byte).
std::size_t charLength(std::string_view text, std::size_t pos) {
    const auto b = static_cast<unsigned char>(text[pos]);
    std::size_t len = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return std::min(len, text.size() - pos);
}

// A heading that wraps its text in markup (a link, a span) is reduced to the text between the
// first ">" and the "<" after it, as often as the heading's first length allows. Positions are
// counted in UTF-16 units, as the workbench's own strings count them.
std::string reduceInnerMarkup(const std::string& title) {
    std::u16string t = utf8ToUtf16(title);
    const std::size_t firstLength = t.size();
    std::size_t k = 0;
    while (k < firstLength) {
        const std::size_t gt = t.find(u'>', k);
        if (gt == std::u16string::npos)
            break;
        const std::size_t lt = t.find(u'<', gt);
        if (lt == std::u16string::npos) {
            // Markup that is opened and never closed: what follows it is the text.
            t = t.substr(gt + 1);
            break;
        }
        t = t.substr(gt + 1, lt - gt - 1);
        k = lt + 1;
    }
    return utf16ToUtf8(t);
}

// A text chapter's bytes in the page's code page: a CP936 file as it is, one in UTF-8 or
// UTF-16 converted (what CP936 lacks becomes "?").
std::string ansiText(const Bytes& bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (detectEncoding(raw, false).encoding == TextEncoding::Ansi)
        return std::string(raw);
    return toAnsi(decodeToUtf8(raw, false));
}

std::string between(const std::string& page, std::string_view open, std::string_view close) {
    const std::size_t p = page.find(open);
    if (p == std::string::npos)
        return {};
    const std::size_t q = page.find(close, p);
    if (q == std::string::npos)
        return {};
    return page.substr(p + open.size(), q - p - open.size());
}

} // namespace

std::string ExplorerList::pathOf(std::size_t i) const {
    return FixPath(folder) + names.at(i);
}

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    if (what.empty())
        return;
    std::size_t pos = text.find(what);
    if (pos == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (pos != std::string::npos) {
        out.append(text, from, pos - from);
        out += with;
        from = pos + what.size();
        pos = text.find(what, from);
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

std::string EscapeTextBody(std::string_view ansiText) {
    std::string out;
    out.reserve(ansiText.size() + ansiText.size() / 4);
    // The replaced characters are ASCII below 0x40, which never occur as the trail byte of a
    // CP936 character, so the bytes can be escaped without decoding them.
    for (const std::string& line : splitAnsiLines(ansiText)) {
        for (char c : line) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case ' ':
                out += "&nbsp;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '<':
                out += "&lt;";
                break;
            default:
                out += c;
            }
        }
        out += "<br>";
    }
    return out;
}

Result<ConvertSummary> ConvertTextToPages(const TextToPagesInputs& in, Observer& observer) {
    const ExplorerList& list = in.list;
    ConvertSummary summary;
    if (list.names.empty()) {
        observer.messageBox(NoFilesMessage, in.programTitle, MessageIcon::Exclamation);
        return summary;
    }
    observer.setProgressMaximum(static_cast<int>(list.names.size()) - 1);
    // The template is read once, when the first page needs it.
    std::optional<std::string> pageTemplate;
    // The pages reach the disk together: one flush for the whole selection instead of one per
    // page. Pages converted before a failure are still written.
    WriteBatch pages;
    auto stopAfter = [&](const char* what, const Error& error) {
        // The failure shown is the one that stopped the run; pages that then cannot be renamed
        // into place stay as they were, and their temporary files go with the batch.
        (void)pages.commit();
        return stop(observer, in.programTitle, what, error);
    };
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        const std::string& name = list.names[i];
        if (endsWith(name, ".txt") && list.isSelected(i)) {
            if (!pageTemplate) {
                auto text = ReadPageText(in.templatePath);
                if (!text)
                    return stopAfter("无法读取页面模板。", text.error());
                pageTemplate = toAnsi(*text);
            }
            auto source = readFileBytes(list.pathOf(i));
            if (!source)
                return stopAfter("无法读取文本文件。", source.error());
            const std::string title = name.substr(0, name.size() - 4);
            std::string page = *pageTemplate;
            replaceAll(page, "$Title", toAnsi(title));
            replaceAll(page, "$body", EscapeTextBody(ansiText(*source)));
            page += "\r\n";
            const std::string target = FixPath(list.folder) + title + ".html";
            if (auto added = pages.add(target, page); !added)
                return stopAfter("无法写入网页文件。", added.error());
            summary.written.push_back(target);
        }
        tick(observer, i);
    }
    if (auto committed = pages.commit(); !committed)
        return stop(observer, in.programTitle, "无法写入网页文件。", committed.error());
    return summary;
}

std::vector<std::string> RemovalPhrases(std::string_view removeList) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = removeList.find(',', from);
        if (comma == std::string_view::npos)
            break; // the piece after the last comma is not used
        pieces.emplace_back(removeList.substr(from, comma - from));
        from = comma + 1;
    }
    return pieces;
}

std::string PageTitle(const std::string& page, TitleElement from,
                      const std::vector<std::string>& phrases) {
    if (from == TitleElement::Title) {
        std::string title = between(page, "<title>", "</title>");
        for (const std::string& phrase : phrases)
            replaceAll(title, phrase, "");
        return title;
    }
    return reduceInnerMarkup(between(page, "<h1>", "</h1>"));
}

std::string PageBody(const std::string& page, std::string_view startMarker,
                     std::string_view endMarker, const std::vector<std::string>& phrases) {
    // The body starts one character after the start marker. A marker left empty or not found
    // in the page leaves that end of the page uncut.
    std::size_t begin = 0;
    if (!startMarker.empty()) {
        const std::size_t s = page.find(startMarker);
        if (s != std::string::npos) {
            begin = s + startMarker.size();
            if (begin < page.size())
                begin += charLength(page, begin);
        }
    }
    std::size_t end = page.size();
    if (!endMarker.empty()) {
        const std::size_t e = page.find(endMarker, begin);
        if (e != std::string::npos)
            end = e;
    }
    std::string body = page.substr(begin, end - begin);
    for (const std::string& phrase : phrases)
        replaceAll(body, phrase, "");
    static constexpr std::string_view Plain[][2] = {
        {"<br>", "\r\n"}, {"<br/>", "\r\n"}, {"<br />", "\r\n"}, {"<p>", "\r\n"}, {"</p>", "\r\n"},
        {"&nbsp;", " "},  {"&gt;", ">"},     {"&lt;", "<"},      {"&amp;", "&"},
    };
    for (const auto& [what, with] : Plain)
        replaceAll(body, what, with);
    return body;
}

Result<ConvertSummary> ConvertPagesToText(const PagesToTextInputs& in, Observer& observer) {
    const ExplorerList& list = in.list;
    ConvertSummary summary;
    if (list.names.size() > 1)
        observer.setProgressMaximum(static_cast<int>(list.names.size()) - 1);
    const std::vector<std::string> phrases = RemovalPhrases(in.removeList);
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        const std::string& name = list.names[i];
        if (endsWith(name, ".html") && list.isSelected(i)) {
            auto page = readDecodedText(list.pathOf(i));
            if (!page)
                return stop(observer, in.programTitle, "无法读取网页文件。", page.error());
            *page = crLfLines(*page);
            const std::string base = name.substr(0, name.size() - 5);
            std::string title = PageTitle(*page, in.titleFrom, phrases);
            if (title.empty())
                title = base; // a page without the element is still named
            const std::string body = PageBody(*page, in.startMarker, in.endMarker, phrases);
            const std::string target = FixPath(list.folder) + base + ".txt";
            auto written =
                writeFileAtomic(target, toAnsi(withCrLf(title + "\r\n" + body + "\r\n")));
            if (!written)
                return stop(observer, in.programTitle, "无法写入文本文件。", written.error());
            summary.written.push_back(target);
        }
        tick(observer, i);
    }
    observer.messageBox(PagesConvertedMessage, in.programTitle, MessageIcon::Information);
    return summary;
}

} // namespace folio::generators
