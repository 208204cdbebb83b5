// Renaming the selected files of the explorer after their first line, title or heading.
#include "maker/generators/rename.h"

#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contentstag.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace folio::generators {

namespace fs = std::filesystem;

namespace {

// The longest file name the file systems we write to can hold, in bytes.
constexpr std::size_t NameMaxBytes = 255;

bool anythingAt(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(fs::u8path(path), ec).type() != fs::file_type::not_found;
}

// Renames without ever replacing a file that appears at the target meanwhile: a plain rename
// would silently overwrite it.
Result<void> renameNoReplace(const std::string& from, const std::string& to) {
#ifdef __linux__
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return fail("cannot rename " + from + " to " + to + ": " + std::strerror(errno));
    // A file system without the no-replace flag: a hard link fails when the target exists.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return {};
    }
    if (errno == EEXIST)
        return fail("cannot rename " + from + " to " + to + ": the target exists");
#endif
    if (anythingAt(to))
        return fail("cannot rename " + from + " to " + to + ": the target exists");
    std::error_code ec;
    fs::rename(fs::u8path(from), fs::u8path(to), ec);
    if (ec)
        return fail("cannot rename " + from + " to " + to + ": " + ec.message());
    return {};
}

Result<std::string> newBaseName(const std::string& path, const std::string& name,
                                RenameSource source) {
    // A missing element (or an empty file) gives no name: the file keeps the one it has.
    auto orNone = [](Result<std::optional<std::string>> found) -> Result<std::string> {
        FOLIO_TRY(found);
        return found->value_or("");
    };
    switch (source) {
    case RenameSource::FirstLine:
        return orNone(ReadFirstLine(path));
    case RenameSource::HtmlTitle:
        return orNone(ReadElementText(path, PageElement::Title));
    case RenameSource::HtmlH1:
        return orNone(ReadElementText(path, PageElement::H1));
    case RenameSource::HtmlH2:
        return orNone(ReadElementText(path, PageElement::H2));
    case RenameSource::StripSymbols:
        return name.substr(0, name.find('.'));
    }
    return std::string();
}

// Drops whole characters from the end until `base` + `extension` fits in a file name.
std::string fitName(std::string base, std::size_t extensionBytes) {
    while (!base.empty() && base.size() + extensionBytes > NameMaxBytes) {
        std::size_t cut = base.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
        base.resize(cut);
    }
    return base;
}

// The names of a folder in upper case. A book names its pages by their upper-cased file names
// and Windows folds case too, so a name that differs from another only in case is taken.
class FoldedNames {
  public:
    explicit FoldedNames(const std::string& folder) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(fs::u8path(folder.empty() ? "." : folder), ec))
            m_names.insert(toUpperUnicode(e.path().filename().string()));
    }
    // Whether `target` is taken by a file other than `current` (which may change its case).
    bool takenByOther(const std::string& target, const std::string& current) const {
        const std::string folded = toUpperUnicode(target);
        const std::size_t own = folded == toUpperUnicode(current) ? 1 : 0;
        return m_names.count(folded) > own;
    }
    void renamed(const std::string& from, const std::string& to) {
        if (auto it = m_names.find(toUpperUnicode(from)); it != m_names.end())
            m_names.erase(it);
        m_names.insert(toUpperUnicode(to));
    }

  private:
    std::multiset<std::string> m_names;
};

} // namespace

std::string CutLongName(std::string_view base) {
    std::u16string units = utf8ToUtf16(base);
    if (units.size() <= 30)
        return std::string(base);
    std::size_t keep = 15;
    // Never keep half of a character that takes two units.
    if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF)
        --keep;
    units.resize(keep);
    return utf16ToUtf8(units);
}

std::string CleanFileName(std::string_view base) {
    static constexpr std::string_view Table[][2] = {
        {" ", ""},   {"\u3000", ""}, {"（", ""},  {"）", ""},  {"?", ""},  {"？", ""},
        {"(", ""},   {")", ""},      {"-", ""},   {"／", " "}, {"—", " "}, {"_", " "},
        {"、", ""},  {"【", ""},     {"】", ""},  {"[", ""},   {"]", ""},  {"，", ""},
        {"《", " "}, {"》", " "},    {"“", " "},  {"”", " "},  {"/", " "}, {"：", " "},
        {"\"", " "}, {":", " "},     {"。", " "}, {"{", ""},   {"}", ""},  {".", ""},
    };
    std::string name(base);
    for (const auto& [what, with] : Table)
        replaceAll(name, what, with);
    // A title that spans lines, or holds a backslash, would otherwise make a name that is no
    // name (or a path on the other system). A character the page's bytes did not make (U+FFFD
    // of an undecodable byte) is no part of its title either.
    std::u16string safe;
    for (char16_t c : utf8ToUtf16(name)) {
        if (c < 0x20 || c == 0x7F || c == 0xFFFD)
            continue;
        safe += c == u'\\' ? u' ' : c;
    }
    const std::size_t first = safe.find_first_not_of(u' ');
    return first == std::u16string::npos ? std::string() : utf16ToUtf8(safe.substr(first));
}

RenameSummary RenamePagesByTitle(const RenameInputs& in, Observer& observer) {
    const ExplorerList& list = in.list;
    RenameSummary summary;
    if (list.names.empty()) {
        observer.messageBox(NoFilesMessage, in.programTitle, MessageIcon::Exclamation);
        return summary;
    }
    if (observer.messageBox(RenameWarning, in.programTitle, MessageIcon::Information,
                            MessageButtons::YesNo) != Answer::Yes)
        return summary;
    summary.confirmed = true;
    observer.setProgressMaximum(static_cast<int>(list.names.size()) - 1);
    FoldedNames taken(list.folder);
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        if (!list.isSelected(i))
            continue;
        const std::string& name = list.names[i];
        const std::string path = list.pathOf(i);
        auto keep = [&](std::string why) { summary.kept.push_back({name, std::move(why)}); };
        if (!fileExists(path)) {
            keep("no such file");
        } else if (auto base = newBaseName(path, name, in.source); !base) {
            keep(base.error().message);
        } else {
            const std::size_t dot = name.find('.');
            const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
            const std::string cleaned =
                fitName(CleanFileName(CutLongName(*base)), extension.size());
            const std::string newName = cleaned + extension;
            const std::string target = FixPath(list.folder) + newName;
            if (cleaned.empty()) {
                keep("no name found");
            } else if (newName == name) {
                keep("it already has that name");
            } else if (taken.takenByOther(newName, name) || anythingAt(target)) {
                keep("the name " + newName + " is taken");
            } else if (auto moved = renameNoReplace(path, target); !moved) {
                keep(moved.error().message);
            } else {
                taken.renamed(name, newName);
                summary.renamed.push_back({name, newName});
            }
        }
        observer.setCaption(in.programTitle + RenameCaption + std::to_string(i) + "%");
        observer.setProgressValue(static_cast<int>(i));
        observer.processEvents();
    }
    if (in.relink && !summary.renamed.empty()) {
        RelinkSummary links = RelinkPages(list.folder, summary.renamed);
        summary.relinked = std::move(links.rewritten);
        for (auto& page : links.leftAlone)
            summary.notRelinked.push_back({std::move(page.name), std::move(page.why)});
    }
    return summary;
}

std::string RelinkReport(const RenameSummary& summary) {
    std::string text = "已改名 " + std::to_string(summary.renamed.size()) + " 个文件，更新了 " +
                       std::to_string(summary.relinked.size()) + " 个网页中的链接。";
    if (!summary.notRelinked.empty()) {
        text += "\r\n以下网页未能更新：";
        for (const auto& page : summary.notRelinked)
            text += "\r\n" + page.name + "：" + page.why;
    }
    return text;
}

} // namespace folio::generators
