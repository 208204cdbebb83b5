// Checking a project against the book a compile would make of it (see checkproject.h).
#include "maker/check/checkproject.h"

#include "core/book.h"
#include "core/booklink.h"
#include "core/fileio.h"
#include "core/text.h"
#include "core/threads.h"
#include "maker/check/pagescan.h"
#include "maker/compiler/compilebook.h"
#include "maker/generators/contentslist.h"
#include "maker/project/projectfiles.h"
#include "maker/project/settings.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <tuple>
#include <unordered_map>

namespace fs = std::filesystem;

namespace folio::check {

const char* severityName(Severity s) {
    switch (s) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        break;
    }
    return "note";
}

int CheckReport::errors() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Severity::Error;
    }));
}

int CheckReport::warnings() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Severity::Warning;
    }));
}

namespace {

constexpr std::uint64_t LargePage = 8u << 20;

bool endsWithNoCase(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() &&
           toUpperUnicode(name.substr(name.size() - suffix.size())) == suffix;
}

bool isPageName(std::string_view name) {
    return endsWithNoCase(name, ".HTML") || endsWithNoCase(name, ".HTM") ||
           endsWithNoCase(name, ".XHTML");
}

std::string folderOf(std::string_view entry) {
    const std::size_t slash = entry.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(entry.substr(0, slash));
}

// What one page or style sheet of the book turned out to hold.
struct Scanned {
    PageScan scan;
    std::vector<TextPlace> places; // of scan.addresses
    std::vector<Finding> own;      // findings about the file alone
};

// What a finding says about a file: a name in the project folder and a place in it.
Finding finding(std::string file, TextPlace at, Severity severity, const char* code,
                std::string message, std::string target = {}) {
    return Finding{std::move(file),    at.line,          at.column, severity, code,
                   std::move(message), std::move(target)};
}

const char* encodingName(TextEncoding e) {
    switch (e) {
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Ansi:
        return "GBK (code page 936)";
    case TextEncoding::Utf16LE:
        return "UTF-16 LE";
    case TextEncoding::Utf16BE:
        break;
    }
    return "UTF-16 BE";
}

bool hasNonAscii(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The page's charset against its bytes, as the readers will take them.
void checkEncoding(const std::string& entry, std::string_view bytes, const PageScan& scan,
                   TextPlace declaredAt, std::vector<Finding>& out) {
    const DetectedEncoding found = detectEncoding(bytes, true);
    const auto declared = declaredEncoding(bytes);
    const std::string_view body = bytes.substr(found.bomLength);
    const std::string reads = std::string("the reader reads it as ") + encodingName(found.encoding);
    if (found.bomLength > 0) {
        if (declared && *declared != found.encoding)
            out.push_back(finding(entry, declaredAt, Severity::Warning, "encoding",
                                  "it declares charset " + scan.charset +
                                      " but starts with a byte-order mark, so " + reads +
                                      "; remove the byte-order mark or the declaration",
                                  scan.charset));
        return;
    }
    if (!scan.charset.empty() && !declared) {
        out.push_back(
            finding(entry, declaredAt, Severity::Warning, "encoding",
                    "its charset " + scan.charset +
                        (declaredEncoding(std::string("<meta charset=") + scan.charset + ">")
                             ? std::string(" is declared too far down (after the "
                                           "first 4096 bytes) to count, so ")
                             : std::string(" is none the reader knows, so ")) +
                        reads + "; declare utf-8 or gbk near the top of the page",
                    scan.charset));
        return;
    }
    if (declared == TextEncoding::Utf8 && !isValidUtf8(body)) {
        out.push_back(finding(entry, declaredAt, Severity::Warning, "encoding",
                              "it declares charset " + scan.charset +
                                  " but its bytes are not UTF-8: " + reads +
                                  " and shows the others as \xEF\xBF\xBD; save it as UTF-8 or "
                                  "declare charset=gbk",
                              scan.charset));
    } else if (declared == TextEncoding::Ansi && hasNonAscii(body) && isValidUtf8(body)) {
        out.push_back(finding(entry, declaredAt, Severity::Warning, "encoding",
                              "it declares charset " + scan.charset +
                                  " but its bytes are UTF-8: " + reads +
                                  ", so its Chinese text shows garbled; declare charset=utf-8",
                              scan.charset));
    } else if (declared == TextEncoding::Ansi &&
               fromAnsi(body).find("\xEF\xBF\xBD") != std::string::npos &&
               std::string_view(body).find("\xEF\xBF\xBD") == std::string_view::npos) {
        out.push_back(finding(entry, declaredAt, Severity::Warning, "encoding",
                              "it declares charset " + scan.charset +
                                  " but holds bytes that are no GBK characters; " + reads +
                                  " and shows them as \xEF\xBF\xBD",
                              scan.charset));
    } else if (!declared && hasNonAscii(body)) {
        out.push_back(
            finding(entry, {}, Severity::Warning, "encoding",
                    "it declares no charset and holds non-ASCII bytes; " + reads + " (" +
                        (found.encoding == TextEncoding::Utf8 ? "its bytes are valid UTF-8"
                                                              : "its bytes are not UTF-8") +
                        "); declare it with <meta charset=\"" +
                        (found.encoding == TextEncoding::Utf8 ? "utf-8" : "gbk") + "\">"));
    }
}

// A decoded name as text: bytes that are no UTF-8 (a GBK name percent-encoded) become U+FFFD.
std::string shownName(const std::string& name) {
    return isValidUtf8(name) ? name : utf16ToUtf8(utf8ToUtf16(name));
}

// Reads and parses one file of the book.
Scanned scanFile(const std::string& folder, const std::string& entry, bool page) {
    Scanned s;
    auto bytes = readFileBytes(folder + entry);
    if (!bytes) {
        s.own.push_back(finding(entry, {}, Severity::Error, "broken-link",
                                "it cannot be read, so a compile fails: " + bytes.error().message));
        return s;
    }
    const std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (bytes->size() > LargePage)
        s.own.push_back(finding(entry, {}, Severity::Warning, "large-page",
                                "it is " + std::to_string(bytes->size() >> 20) +
                                    " MB, over 8 MB: the reader holds it whole in memory and "
                                    "shows it slowly; split it into chapters"));
    std::string text = page ? decodeToUtf8(raw, true) : decodeToUtf8(raw, false);
    if (!page) {
        scanStyleSheet(text, 0, s.scan.addresses);
    } else {
        s.scan = scanPage(text);
    }
    const LineTable lines(text);
    s.places.reserve(s.scan.addresses.size());
    for (const PageAddress& a : s.scan.addresses)
        s.places.push_back(lines.place(a.offset));
    if (!page)
        return s;
    // The charset's place is in the decoded text; the bytes before it are the same lines.
    checkEncoding(entry, raw, s.scan, lines.place(s.scan.charsetOffset), s.own);
    if (raw.empty() || s.scan.showsNothing)
        s.own.push_back(finding(entry, {}, Severity::Warning, "empty-page",
                                raw.empty() ? "the page is empty (0 bytes); the reader shows a "
                                              "blank pane"
                                            : "its body shows nothing (no text, picture, frame "
                                              "or script); the reader shows a blank pane"));
    if (!s.scan.hasTitle && !raw.empty())
        s.own.push_back(finding(entry, {}, Severity::Warning, "no-title",
                                "it has no <title>: the reader's window, bookmarks and search "
                                "results name it by its file name; give it a title"));
    return s;
}

// The place of a settings key in the settings file: its line; the first line when missing.
TextPlace keyLine(const std::string& path, std::string_view key) {
    auto bytes = readFileBytes(path);
    if (!bytes)
        return {};
    const std::string text = decodeToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), false);
    const auto lines = splitLinesAnyEnd(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].starts_with(key))
            return {static_cast<int>(i + 1), static_cast<int>(key.size() / 3 + 1)};
    return {};
}

// The characters a res: address cannot carry in a name: "#" starts a fragment, "?" a query,
// "%" an escape, ":" before any "/" makes a link a scheme, "\" a folder on Windows; control
// characters end the address.
std::optional<std::string> unaddressable(std::string_view name) {
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return std::string("a control character");
        switch (c) {
        case '#':
            return std::string("\"#\", which starts a fragment in an address");
        case '?':
            return std::string("\"?\", which starts a query in an address");
        case '%':
            return std::string("\"%\", which starts an escape in an address");
        case ':':
            return std::string("\":\", which makes a link to it read as a scheme");
        case '\\':
            return std::string("\"\\\", which the Windows reader takes as a folder separator");
        default:
            break;
        }
    }
    return std::nullopt;
}

class Checker {
  public:
    explicit Checker(const CheckInputs& in) : m_in(in) {
        std::string f = in.projectFolder;
        while (f.size() > 1 && f.back() == '/')
            f.pop_back();
        m_folder = FixPath(f);
        m_settingsName = fileName(project::settingsFilePath(f));
        m_listName = fileName(generators::contentsListPath(f));
        m_own = project::ProjectOwnFiles(m_folder, in.settings.title);
    }

    Result<CheckReport> run();

  private:
    Result<void> listDisk();
    void chooseEntries();
    void checkNames();
    void scanAll();
    void resolveAll();
    void checkSettingsPages();
    void checkContentsList();
    void checkReach();
    void checkTitles();

    // The book's entry that an in-book path names; -1 for none.
    int entryOf(const std::string& path) const {
        const auto it = m_index.find(toUpperUnicode(path));
        return it == m_index.end() ? -1 : it->second;
    }
    // Why a file that lies on disk is not in the book; nullopt when no such file is there.
    std::optional<std::string> whyNotInBook(const std::string& path) const;
    // Checks one address of `from` (an entry, or the contents list when -1); returns the entry
    // it reaches, or -1.
    int checkAddress(int from, const PageAddress& a, TextPlace at, bool inList,
                     const std::string& file, const std::string& what);

    void add(Finding f) { m_report.findings.push_back(std::move(f)); }

    const CheckInputs& m_in;
    std::string m_folder, m_settingsName, m_listName;
    project::ProjectOwnFiles m_own{{}, {}};
    std::unordered_map<std::string, std::string> m_disk; // upper-cased path -> path on disk
    std::set<std::string> m_files;                       // every regular file's path, in byte order
    std::set<std::string> m_topFolders;
    std::set<std::string> m_selected; // the selection's names, when there is one
    std::vector<std::string> m_entries;
    std::vector<compiler::SkippedEntry> m_skipped;
    std::unordered_map<std::string, int> m_index; // upper-cased entry -> entry
    std::vector<Scanned> m_scans;                 // by entry; empty for other kinds of file
    std::vector<bool> m_isPage;
    std::vector<std::set<int>> m_reaches; // pages a page links to
    std::set<int> m_roots;
    CheckReport m_report;
};

Result<void> Checker::listDisk() {
    std::error_code ec;
    fs::directory_iterator top(m_folder, ec);
    if (ec)
        return fail("cannot list the project folder " + m_folder + ": " + ec.message());
    // Three levels are enough to say where a linked file lies; a deeper tree is not a book's.
    for (fs::recursive_directory_iterator
             it(m_folder, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        const std::string rel = it->path().lexically_relative(m_folder).generic_string();
        if (it->is_directory(typeEc)) {
            if (it.depth() == 0)
                m_topFolders.insert(rel);
            if (it.depth() >= 2)
                it.disable_recursion_pending();
        } else if (it->is_regular_file(typeEc)) {
            m_disk.emplace(toUpperUnicode(rel), rel);
            m_files.insert(rel);
        }
    }
    return {};
}

void Checker::chooseEntries() {
    auto addFolder = [&](const std::string& name) {
        auto files = compiler::subfolderEntries(m_folder, name, m_skipped);
        m_entries.insert(m_entries.end(), files.begin(), files.end());
    };
    const auto isFile = [&](const std::string& name) { return m_files.contains(name); };
    if (m_in.selected) {
        for (const std::string& name : *m_in.selected) {
            m_selected.insert(name);
            if (m_in.settings.subfolders && m_topFolders.contains(name))
                addFolder(name);
            else if (name.find('/') == std::string::npos ? isFile(name)
                                                         : m_in.settings.subfolders && isFile(name))
                m_entries.push_back(name);
        }
    } else {
        for (const std::string& rel : m_files)
            if (rel.find('/') == std::string::npos && !m_own.contains(rel))
                m_entries.push_back(rel);
        if (m_in.settings.subfolders)
            for (const std::string& f : m_topFolders)
                addFolder(f);
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_index.emplace(toUpperUnicode(m_entries[i]), static_cast<int>(i));
}

void Checker::checkNames() {
    for (const compiler::ResourceClash& c : compiler::resourceClashes(m_entries))
        add(finding(c.other, {}, Severity::Error, "same-resource",
                    "it becomes the resource " + c.resource + ", as " + c.first +
                        " does: the book keeps only " + c.first +
                        " and loses this file; rename "
                        "one of them",
                    c.first));
    for (const std::string& e : m_entries)
        if (const auto why = unaddressable(fileName(e)))
            add(finding(e, {}, Severity::Error, "bad-name",
                        "its name holds " + *why +
                            ", so no page can address it in the book; rename it"));
    for (const compiler::SkippedEntry& s : m_skipped)
        if (book::isNumericTypeName(s.name))
            add(finding(s.name + "/", {}, Severity::Error, "bad-name",
                        "the folder's name reads as a resource type number in a res: address, "
                        "so its files cannot be reached as the sub-folder's; rename the folder"));
}

void Checker::scanAll() {
    m_scans.resize(m_entries.size());
    m_isPage.resize(m_entries.size());
    std::vector<std::size_t> work;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_isPage[i] = isPageName(m_entries[i]);
        if (m_isPage[i] || endsWithNoCase(m_entries[i], ".CSS"))
            work.push_back(i);
    }
    std::atomic<std::size_t> next{0};
    runInParts(work.size(), [&](std::size_t, std::size_t) {
        for (std::size_t k; (k = next.fetch_add(1)) < work.size();) {
            const std::size_t i = work[k];
            m_scans[i] = scanFile(m_folder, m_entries[i], m_isPage[i]);
        }
    });
    for (std::size_t i : work)
        m_report.pages += m_isPage[i] ? 1 : 0;
}

std::optional<std::string> Checker::whyNotInBook(const std::string& path) const {
    const auto it = m_disk.find(toUpperUnicode(path));
    if (it == m_disk.end())
        return std::nullopt;
    const std::string& rel = it->second;
    const std::size_t depth = static_cast<std::size_t>(std::count(rel.begin(), rel.end(), '/'));
    if (depth == 0) {
        if (m_own.contains(rel))
            return rel + " is the project's own file (its settings, contents list or help "
                         "project), which never goes into the book";
        return rel + " is not selected in the page list, so the compile leaves it out";
    }
    const std::string sub = rel.substr(0, rel.find('/'));
    if (depth > 1)
        return rel + " lies " + std::to_string(depth) +
               " folders down, and only the files of one level of sub-folders can be compiled; "
               "move it into " +
               sub + "/ or the project folder";
    if (!m_in.settings.subfolders)
        return rel + " lies in the sub-folder " + sub +
               "/, which a compile leaves out: turn on the setting 子文件夹资源 (folio compile "
               "--subfolders) to compile it as resources of type " +
               toUpperUnicode(sub) + ", or move the file into the project folder";
    if (book::isNumericTypeName(sub))
        return "the folder " + sub +
               "/ has a name a res: address reads as a type number; "
               "rename the folder";
    return "the folder " + sub + "/ is not selected in the page list, so the compile leaves " +
           rel + " out";
}

int Checker::checkAddress(int from, const PageAddress& a, TextPlace at, bool inList,
                          const std::string& file, const std::string& what) {
    ++m_report.links;
    const std::string fromFolder = from >= 0 ? folderOf(m_entries[from]) : std::string();
    const book::BookLink link = book::resolveBookLink(a.value, fromFolder);
    const std::string& target = a.value;
    const char* code = inList ? "contents-target" : "broken-link";
    switch (link.kind) {
    case book::LinkKind::None:
    case book::LinkKind::Other:
        return -1;
    case book::LinkKind::Web:
        if (inList)
            return -1;
        if (a.use == LinkUse::Embed)
            add(finding(file, at, Severity::Warning, "online",
                        "the " + what + " " + target +
                            " needs the network, and the reader refuses addresses outside the "
                            "book: copy the file into the project and name it by its file name",
                        target));
        else
            add(finding(file, at, Severity::Note, "online",
                        "the link " + target +
                            " leads out of the book, to be read with the network",
                        target));
        return -1;
    case book::LinkKind::Local:
        add(finding(file, at, Severity::Error, "local-path",
                    "the " + what + " " + target +
                        " names a file of this computer, which no reader of the book has: copy "
                        "it into the project and name it by its file name",
                    target));
        return -1;
    case book::LinkKind::Fragment:
        if (from >= 0 && !link.fragment.empty()) {
            const auto& ids = m_scans[from].scan.ids;
            if (toUpperUnicode(link.fragment) != "TOP" &&
                std::find(ids.begin(), ids.end(), link.fragment) == ids.end())
                add(finding(file, at, Severity::Warning, "broken-link",
                            "the link " + target + " names no id or anchor of this page", target));
        }
        return -1;
    case book::LinkKind::Outside: {
        std::error_code ec;
        const bool there = !link.path.starts_with("//") &&
                           fs::is_regular_file(fs::path(m_folder + fromFolder) / link.path, ec);
        if (there)
            add(finding(file, at, Severity::Error, "not-in-book",
                        "the " + what + " " + target +
                            " lies outside the project folder, and a book holds only the "
                            "project's files: copy it into the project folder",
                        target));
        else
            add(finding(file, at, Severity::Error, code,
                        "the " + what + " " + target +
                            (link.path.starts_with("//")
                                 ? " starts with \"//\" and so names another host, which the "
                                   "book's res: address cannot reach"
                                 : " climbs out of the book with \"..\" and reaches nothing"),
                        target));
        return -1;
    }
    case book::LinkKind::InBook:
        break;
    }
    const int entry = entryOf(link.path);
    if (entry < 0) {
        if (const auto why = whyNotInBook(link.path))
            add(finding(file, at, Severity::Error, inList ? code : "not-in-book",
                        "the " + what + " " + target + " is not in the book: " + *why, target));
        else
            add(finding(
                file, at, Severity::Error, code,
                "the " + what + " " + target +
                    (link.path == target ? std::string() : " (" + shownName(link.path) + ")") +
                    " names no file of the project folder" +
                    (link.path.find('\\') != std::string::npos
                         ? ": a backslash is no folder separator in an address, write "
                           "\"/\""
                         : ""),
                target));
        return -1;
    }
    if (!link.fragment.empty() && m_isPage[entry] && toUpperUnicode(link.fragment) != "TOP") {
        const auto& ids = m_scans[entry].scan.ids;
        if (std::find(ids.begin(), ids.end(), link.fragment) == ids.end())
            add(finding(file, at, Severity::Warning, code,
                        "the " + what + " " + target + ": " + m_entries[entry] +
                            " has no id or anchor \"" + link.fragment + "\"",
                        target));
    }
    return m_isPage[entry] ? entry : -1;
}

void Checker::resolveAll() {
    m_reaches.resize(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Scanned& s = m_scans[i];
        for (Finding& f : s.own)
            add(std::move(f));
        s.own.clear();
        if (s.scan.hasBase) {
            add(finding(m_entries[i], {}, Severity::Note, "broken-link",
                        "it sets a <base> address, so its relative links are not checked"));
            continue;
        }
        const int from = static_cast<int>(i);
        for (std::size_t k = 0; k < s.scan.addresses.size(); ++k) {
            const PageAddress& a = s.scan.addresses[k];
            const int to = checkAddress(from, a, s.places[k], false, m_entries[i], a.what);
            if (to >= 0)
                m_reaches[i].insert(to);
        }
        // What the page's scripts name reaches pages too (the contents page's entries).
        for (const std::string& literal : s.scan.scriptStrings) {
            const book::BookLink link = book::resolveBookLink(literal, folderOf(m_entries[i]));
            if (link.kind != book::LinkKind::InBook)
                continue;
            const int to = entryOf(link.path);
            if (to >= 0 && m_isPage[to])
                m_reaches[i].insert(to);
        }
    }
}

void Checker::checkSettingsPages() {
    const std::string settingsPath = m_folder + m_settingsName;
    const std::tuple<const std::string*, std::string_view, const char*> named[] = {
        {&m_in.settings.indexPage, project::SettingKeys[1], "index page"},
        {&m_in.settings.contentsPage, project::SettingKeys[2], "contents page"},
    };
    for (const auto& [page, key, what] : named) {
        if (page->empty())
            continue;
        const TextPlace at = keyLine(settingsPath, key);
        if (fromAnsi(toAnsi(*page)) != *page) {
            add(finding(m_settingsName, at, Severity::Error, "bad-name",
                        std::string("the ") + what + " " + *page +
                            " holds characters the book's descriptor (code page 936) cannot "
                            "hold, so the reader would look for another name; rename the page",
                        *page));
            continue;
        }
        const PageAddress a{*page, 0, LinkUse::Follow, what};
        const int to = checkAddress(-1, a, at, false, m_settingsName, what);
        if (to >= 0)
            m_roots.insert(to);
    }
}

void Checker::checkContentsList() {
    const std::string path = generators::contentsListPath(m_folder);
    if (!fileExists(path))
        return;
    auto list = generators::loadContentsList(m_folder);
    if (!list) {
        add(finding(m_listName, {}, Severity::Error, "contents-target",
                    "the contents list cannot be read: " + list.error().message));
        return;
    }
    for (int row = 1; row <= list->rowCount() - 2; ++row) {
        const std::string url = list->cell(row, generators::ColURL);
        if (url.empty())
            continue;
        const PageAddress a{url, 0, LinkUse::Follow, "contents entry's link"};
        const std::string what = "entry " + list->cell(row, generators::ColID) + " (" +
                                 list->cell(row, generators::ColCaption) + ")'s link";
        // Row r is line r + 1: the list file starts with its header line.
        const int to = checkAddress(-1, a, {row + 1, 1}, true, m_listName, what);
        if (to >= 0)
            m_roots.insert(to);
    }
}

void Checker::checkReach() {
    std::vector<bool> reached(m_entries.size());
    std::vector<int> todo(m_roots.begin(), m_roots.end());
    for (int r : todo)
        reached[r] = true;
    while (!todo.empty()) {
        const int p = todo.back();
        todo.pop_back();
        for (int to : m_reaches[p])
            if (!reached[to]) {
                reached[to] = true;
                todo.push_back(to);
            }
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_isPage[i] && !reached[i])
            add(finding(m_entries[i], {}, Severity::Warning, "unreachable",
                        "no link reaches this page: neither the contents list, the home page, "
                        "the contents page nor any page they lead to links to it; add a "
                        "contents entry for it or link it from a chapter"));
}

void Checker::checkTitles() {
    std::unordered_map<std::string, int> first;
    // The home and contents pages carry the book's name, as the generators write them.
    const int home = entryOf(m_in.settings.indexPage), tree = entryOf(m_in.settings.contentsPage);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (!m_isPage[i] || !m_scans[i].scan.hasTitle || static_cast<int>(i) == home ||
            static_cast<int>(i) == tree)
            continue;
        const auto [it, fresh] = first.emplace(m_scans[i].scan.title, static_cast<int>(i));
        if (!fresh)
            add(finding(m_entries[i], {}, Severity::Note, "duplicate-title",
                        "its title \"" + m_scans[i].scan.title + "\" is also " +
                            m_entries[it->second] +
                            "'s: bookmarks and search results cannot tell the two apart",
                        m_entries[it->second]));
    }
}

Result<CheckReport> Checker::run() {
    FOLIO_TRY(listDisk());
    chooseEntries();
    checkNames();
    scanAll();
    resolveAll();
    checkSettingsPages();
    checkContentsList();
    checkReach();
    checkTitles();
    std::stable_sort(
        m_report.findings.begin(), m_report.findings.end(), [](const Finding& a, const Finding& b) {
            return std::tie(a.file, a.line, a.column) < std::tie(b.file, b.line, b.column);
        });
    return std::move(m_report);
}

} // namespace

Result<CheckReport> CheckProject(const CheckInputs& in) {
    return Checker(in).run();
}

bool compileDespiteFindings(const CheckReport& report, Observer& observer) {
    if (report.errors() == 0)
        return true;
    return observer.messageBox("检查发现电子书有 " + std::to_string(report.errors()) + " 个错误、" +
                                   std::to_string(report.warnings()) +
                                   " 个警告（缺少的页面或图片、无法找到的链接……）。\r\n\r\n"
                                   "仍要编译吗？选择“否”不编译，并显示检查报告。",
                               "检查", MessageIcon::Exclamation, MessageButtons::YesNo,
                               Answer::No) == Answer::Yes;
}

} // namespace folio::check
