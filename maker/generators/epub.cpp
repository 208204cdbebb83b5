// Writing the project as an EPUB 3 book, page by page into the zip (minizip), so that memory
// holds one page at a time whatever the size of the book.
#include "maker/generators/epub.h"

#include "core/booklink.h"
#include "core/fileio.h"
#include "core/text.h"
#include "maker/generators/contentsedit.h"
#include "maker/generators/homepage.h"
#include "maker/generators/naturalorder.h"
#include "maker/generators/xhtml.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace folio::generators {

namespace {

constexpr const char* ContentFolder = "OEBPS/";

enum class Kind { Page, StyleSheet, Picture, Font, Sound, Other };

struct Media {
    Kind kind = Kind::Other;
    const char* type = "application/octet-stream";
    bool compressed = false;       // its bytes are compressed already: stored as they are
    const char* unshown = nullptr; // a kind EPUB readers need not show, for the warning
};

std::string lowerExtension(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(path.substr(dot + 1));
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The media types of the files a book may hold; EPUB readers show the core ones.
Media mediaOf(std::string_view path) {
    const std::string ext = lowerExtension(path);
    if (ext == "html" || ext == "htm" || ext == "xhtml")
        return {Kind::Page, "application/xhtml+xml"};
    if (ext == "css")
        return {Kind::StyleSheet, "text/css"};
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe")
        return {Kind::Picture, "image/jpeg", true};
    if (ext == "png")
        return {Kind::Picture, "image/png", true};
    if (ext == "gif")
        return {Kind::Picture, "image/gif", true};
    if (ext == "svg")
        return {Kind::Picture, "image/svg+xml"};
    if (ext == "ttf")
        return {Kind::Font, "font/ttf"};
    if (ext == "otf")
        return {Kind::Font, "font/otf"};
    if (ext == "woff")
        return {Kind::Font, "font/woff", true};
    if (ext == "woff2")
        return {Kind::Font, "font/woff2", true};
    if (ext == "mp3")
        return {Kind::Sound, "audio/mpeg", true};
    if (ext == "m4a" || ext == "mp4" || ext == "aac")
        return {Kind::Sound, "audio/mp4", true};
    if (ext == "bmp" || ext == "tif" || ext == "tiff" || ext == "ico" || ext == "webp")
        return {Kind::Other, "", false, "a picture of a kind EPUB readers need not show"};
    if (ext == "wav" || ext == "mid" || ext == "midi" || ext == "wma" || ext == "ogg")
        return {Kind::Other, "", false, "a sound of a kind EPUB readers need not play"};
    return {};
}

// A name as a book's zip may hold it: the characters the container forbids (and blanks, which
// its checker warns of) become "_", and so does a final "." of a segment.
std::string containerName(std::string_view path) {
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const auto u = static_cast<unsigned char>(c);
        const bool segmentEnd = i + 1 == path.size() || path[i + 1] == '/';
        if (u <= 0x20 || u == 0x7F ||
            std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos ||
            (c == '.' && segmentEnd))
            out += '_';
        else
            out += c;
    }
    return out;
}

// A path written in an address: every byte an address gives a meaning to percent-encoded.
std::string hrefOf(std::string_view path) {
    return percentEncoded(path, "\"#%:<>?[\\]^`{|}'");
}

// An address outside the book as written, with the bytes an address cannot hold encoded.
std::string externalHref(std::string_view address) {
    while (!address.empty() && static_cast<unsigned char>(address.front()) <= 0x20)
        address.remove_prefix(1);
    while (!address.empty() && static_cast<unsigned char>(address.back()) <= 0x20)
        address.remove_suffix(1);
    return percentEncoded(address, "\"<>\\^`{|}");
}

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

// The address of `to` from a document at `from` (both below the content folder).
std::string relativeHref(std::string_view from, std::string_view to) {
    std::string_view fromDir =
        from.substr(0, from.rfind('/') == std::string_view::npos ? 0 : from.rfind('/') + 1);
    std::size_t common = 0;
    for (std::size_t i = 0; i < fromDir.size() && i < to.size() && fromDir[i] == to[i]; ++i)
        if (fromDir[i] == '/')
            common = i + 1;
    std::string out;
    for (std::size_t i = common; i < fromDir.size(); ++i)
        if (fromDir[i] == '/')
            out += "../";
    return out + hrefOf(to.substr(common));
}

// The date of a DOS directory entry (local time, two-second steps, from 1980).
unsigned long dosDate(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    if (tm.tm_year < 80)
        return (0u << 25) | (1u << 21) | (1u << 16);
    return (static_cast<unsigned long>(tm.tm_year - 80) << 25) |
           (static_cast<unsigned long>(tm.tm_mon + 1) << 21) |
           (static_cast<unsigned long>(tm.tm_mday) << 16) |
           (static_cast<unsigned long>(tm.tm_hour) << 11) |
           (static_cast<unsigned long>(tm.tm_min) << 5) |
           (static_cast<unsigned long>(tm.tm_sec) / 2);
}

std::string utcText(std::time_t t, const char* format) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, format, &tm);
    return buffer;
}

// minizip writing into the staged file's stream: the stage flushes and renames it.
voidpf ZCALLBACK streamOpen(voidpf opaque, const void*, int) {
    return opaque;
}
uLong ZCALLBACK streamRead(voidpf, voidpf stream, void* buf, uLong size) {
    return static_cast<uLong>(std::fread(buf, 1, size, static_cast<std::FILE*>(stream)));
}
uLong ZCALLBACK streamWrite(voidpf, voidpf stream, const void* buf, uLong size) {
    return static_cast<uLong>(std::fwrite(buf, 1, size, static_cast<std::FILE*>(stream)));
}
ZPOS64_T ZCALLBACK streamTell(voidpf, voidpf stream) {
    return static_cast<ZPOS64_T>(ftello(static_cast<std::FILE*>(stream)));
}
long ZCALLBACK streamSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR   ? SEEK_CUR
                       : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                          : SEEK_SET;
    return fseeko(static_cast<std::FILE*>(stream), static_cast<off_t>(offset), whence);
}
int ZCALLBACK streamClose(voidpf, voidpf) {
    return 0;
}
int ZCALLBACK streamError(voidpf, voidpf stream) {
    return std::ferror(static_cast<std::FILE*>(stream));
}

class ZipWriter {
  public:
    ZipWriter(std::FILE* stream, std::string target) : m_target(std::move(target)) {
        zlib_filefunc64_def io{};
        io.zopen64_file = streamOpen;
        io.zread_file = streamRead;
        io.zwrite_file = streamWrite;
        io.ztell64_file = streamTell;
        io.zseek64_file = streamSeek;
        io.zclose_file = streamClose;
        io.zerror_file = streamError;
        io.opaque = stream;
        m_zip = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &io);
    }
    ~ZipWriter() {
        if (m_zip)
            zipClose(m_zip, nullptr);
    }
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    Result<void> begin(const std::string& name, bool compress, unsigned long date,
                       bool large = false) {
        if (!m_zip)
            return failed("cannot start the zip");
        zip_fileinfo info{};
        info.dosDate = date;
        // Bit 11: the name is UTF-8.
        const bool ascii = std::all_of(name.begin(), name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        // zlib's fastest level: this thread deflates while two others parse the pages, and at
        // the default level it was the slowest of the three (the book is some 6% larger).
        const int r = zipOpenNewFileInZip4_64(
            m_zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, compress ? Z_DEFLATED : 0,
            compress ? Z_BEST_SPEED : 0, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr,
            0, 0, ascii ? 0 : (1u << 11), large ? 1 : 0);
        if (r != ZIP_OK)
            return failed("cannot add " + name);
        return {};
    }
    Result<void> write(const void* data, std::size_t size) {
        const auto* p = static_cast<const char*>(data);
        while (size > 0) {
            const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
            if (zipWriteInFileInZip(m_zip, p, chunk) != ZIP_OK)
                return failed("cannot write into the zip");
            p += chunk;
            size -= chunk;
        }
        return {};
    }
    Result<void> end() {
        if (zipCloseFileInZip(m_zip) != ZIP_OK)
            return failed("cannot end an entry of the zip");
        return {};
    }
    Result<void> add(const std::string& name, std::string_view data, bool compress,
                     unsigned long date) {
        FOLIO_TRY(begin(name, compress, date));
        FOLIO_TRY(write(data.data(), data.size()));
        return end();
    }
    Result<void> finish() {
        const int r = zipClose(m_zip, nullptr);
        m_zip = nullptr;
        if (r != ZIP_OK)
            return failed("cannot write the zip's directory");
        return {};
    }

  private:
    Result<void> failed(const std::string& what) {
        return fail(m_target + ": " + what + " (" + std::strerror(errno) + ")");
    }
    zipFile m_zip = nullptr;
    std::string m_target;
};

struct ReadPage;

struct Item {
    std::string path; // below the project folder, "/" between folders, as on the disk
    std::string name; // below the content folder in the zip
    Media media;
    bool linear = false;
    bool queued = false;  // a page: in the queue, or written
    bool written = false; // a resource: written, or about to be with the page that names it
    bool cover = false;
    int place = -1; // in the reading order
    std::time_t time = 0;
    std::string title;              // a page's title
    std::set<std::string> ids;      // a written page's anchors
    std::set<std::string> required; // anchors linked to before the page was written
};

struct NavEntry {
    std::string caption;
    std::string number; // the entry's ID
    int item = -1;      // the page it opens
    std::string fragment;
    std::vector<int> children;
};

class Package {
  public:
    Package(const EpubInputs& in, Observer& observer) : m_in(in), m_observer(observer) {}

    Result<EpubOutcome> run(const ContentsList& contents);

  private:
    const EpubInputs& m_in;
    Observer& m_observer;
    EpubOutcome m_out;
    // Upper-cased path -> the file's path and time.
    struct File {
        std::string path;
        std::time_t time;
    };
    std::unordered_map<std::string, File> m_files;
    std::set<std::string> m_takenNames; // upper-cased names in the zip's content folder
    std::string m_contentsPage;         // upper-cased
    std::string m_navName = "nav.xhtml";
    bool m_navLinked = false; // a page links to the contents: the navigation joins the spine
    std::time_t m_date = 0;   // the newest file's time: the book's date
    std::string m_description;
    std::deque<Item> m_items; // a deque: resolving a link adds items while one is in use
    std::unordered_map<std::string, int> m_itemOf; // path -> index
    std::vector<int> m_spine;                      // the pages of the contents, in order
    std::vector<int> m_order;                      // every page, in the order written
    std::deque<int> m_pages;                       // pages to write
    std::vector<int> m_pending;                    // resources to write after the page
    int m_current = -1;                            // the document being converted
    std::string m_currentName;                     // its name, for addresses from it
    std::vector<NavEntry> m_nav;
    std::vector<int> m_navRoots;
    std::unique_ptr<ZipWriter> m_zip;
    LinkResolver m_resolver = [this](std::string_view a, LinkUse u) { return resolve(a, u); };

    void warn(std::string text) { m_out.warnings.push_back(std::move(text)); }
    void listFiles();
    std::string uniqueName(const std::string& wanted);
    int itemFor(const File& file);
    std::optional<std::pair<int, std::string>>
    findTarget(std::string_view address, const std::string& from, bool& toNav, std::string& why);
    std::optional<LinkTarget> resolve(std::string_view address, LinkUse use);
    void contentsFromList(const ContentsList& contents);
    void contentsFromNames();
    Result<void> writePage(int index, const ReadPage& read);
    Result<void> writeResource(int index);
    Result<void> writePending();
    std::string opf() const;
    std::string nav() const;
    std::string ncx() const;
    std::string navCaption(const NavEntry& e) const;
    std::string navHref(const NavEntry& e, const std::string& from) const;
    // Whether the entry, or one below it, opens a page (index = entry).
    std::vector<bool> shownEntries() const;
};

void Package::listFiles() {
    const fs::path root = fs::u8path(m_in.projectFolder);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it.depth() > 8) {
            it.disable_recursion_pending();
            continue;
        }
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc))
            continue;
        const std::string relative = it->path().lexically_relative(root).generic_string();
        if (relative.find('/') == std::string::npos && m_in.isOwnFile && m_in.isOwnFile(relative))
            continue;
        struct stat st {};
        const std::time_t t = ::stat(it->path().c_str(), &st) == 0 ? st.st_mtime : 0;
        const std::string upper = toUpperUnicode(relative);
        if (upper == m_contentsPage)
            continue;
        m_date = std::max(m_date, t);
        m_files.emplace(upper, File{relative, t});
    }
    if (m_date == 0)
        m_date = std::time(nullptr);
}

std::string Package::uniqueName(const std::string& wanted) {
    std::string name = wanted;
    const std::size_t dot = wanted.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > wanted.rfind('/') + 1;
    for (int n = 2; !m_takenNames.insert(toUpperUnicode(name)).second; ++n)
        name = hasExt ? wanted.substr(0, dot) + "-" + std::to_string(n) + wanted.substr(dot)
                      : wanted + "-" + std::to_string(n);
    return name;
}

int Package::itemFor(const File& file) {
    if (const auto it = m_itemOf.find(file.path); it != m_itemOf.end())
        return it->second;
    Item item;
    item.path = file.path;
    item.media = mediaOf(file.path);
    std::string name = containerName(file.path);
    // EPUB readers know an XHTML page by its extension.
    if (item.media.kind == Kind::Page)
        name = name.substr(0, name.rfind('.')) + ".xhtml";
    item.name = uniqueName(name);
    item.time = file.time;
    const int index = static_cast<int>(m_items.size());
    m_items.push_back(std::move(item));
    m_itemOf.emplace(file.path, index);
    return index;
}

// The project file an address names, as the readers resolve it from the document `from`; a
// res: address of a book and a file: address into the project name their file too.
std::optional<std::pair<int, std::string>> Package::findTarget(std::string_view address,
                                                               const std::string& from, bool& toNav,
                                                               std::string& why) {
    toNav = false;
    book::BookLink link = book::resolveBookLink(address, folderOf(from));
    auto withinBook = [&](std::string path) {
        const std::string fragment = link.fragment;
        link = book::resolveBookLink(path);
        link.fragment = fragment;
    };
    if (link.kind == book::LinkKind::Other && link.scheme == "res") {
        // RES://<folder>/<book>.exe/<name>, or .../<type>/<name>: the name is the page's.
        const std::string upper = toUpperUnicode(link.path);
        const std::size_t exe = upper.rfind(".EXE/");
        std::string rest = exe == std::string::npos ? link.path.substr(link.path.rfind('/') + 1)
                                                    : link.path.substr(exe + 5);
        if (const std::size_t slash = rest.find('/'); slash != std::string::npos) {
            const std::string type = rest.substr(0, slash);
            if (type.find_first_not_of("#0123456789") == std::string::npos)
                rest = rest.substr(slash + 1);
        }
        withinBook(rest);
    } else if (link.kind == book::LinkKind::Local) {
        std::string path = link.path;
        if (link.scheme == "file")
            path = book::percentDecoded(path.substr(5));
        std::replace(path.begin(), path.end(), '\\', '/');
        while (path.starts_with("//"))
            path.erase(0, 1);
        // The longest tail of the path that names a file of the project: a page made where
        // the project lay in another folder (or on another system) still finds its files.
        std::string tail = path.substr(path.rfind('/') + 1);
        for (std::size_t from = 0; from < path.size(); ++from) {
            if (from > 0 && path[from - 1] != '/')
                continue;
            if (m_files.count(toUpperUnicode(path.substr(from)))) {
                tail = path.substr(from);
                break;
            }
        }
        withinBook(tail);
    }
    if (link.kind != book::LinkKind::InBook) {
        why = link.kind == book::LinkKind::Outside ? "leads out of the project"
                                                   : "is no file of the project";
        return std::nullopt;
    }
    const std::string upper = toUpperUnicode(link.path);
    const auto found = m_files.find(upper);
    if (found == m_files.end()) {
        toNav = upper == m_contentsPage;
        why = "names no file of the project";
        return std::nullopt;
    }
    return std::make_pair(itemFor(found->second), link.fragment);
}

std::optional<LinkTarget> Package::resolve(std::string_view address, LinkUse use) {
    const std::string& from =
        m_current >= 0 ? m_items[static_cast<std::size_t>(m_current)].path : std::string();
    const book::BookLink link = book::resolveBookLink(address);
    const bool hyperlink = use == LinkUse::Hyperlink;
    auto leftOut = [&](const std::string& why) {
        warn(from + ": \"" + std::string(address) + "\" " + why +
             (hyperlink ? ": the link is left as plain text" : ": it is left out"));
        return std::nullopt;
    };
    if (link.kind == book::LinkKind::None || link.kind == book::LinkKind::Fragment)
        return std::nullopt;
    if (link.kind == book::LinkKind::Web ||
        (link.kind == book::LinkKind::Other &&
         (link.scheme == "mailto" || link.scheme == "ftp" || link.scheme == "tel"))) {
        if (hyperlink)
            return LinkTarget{LinkTarget::Kind::Page, externalHref(address)};
        return leftOut("is outside the book, where EPUB readers fetch nothing");
    }
    if (link.kind == book::LinkKind::Other && link.scheme != "res") {
        // Scripts run nowhere in the book, and "about:" names no page.
        if (link.scheme == "javascript" || link.scheme == "vbscript" || link.scheme == "about")
            return std::nullopt;
        return leftOut("is an address EPUB readers do not open");
    }
    bool toNav = false;
    std::string why;
    const auto target = findTarget(address, from, toNav, why);
    if (!target) {
        if (toNav && hyperlink) {
            m_navLinked = true;
            return LinkTarget{LinkTarget::Kind::Page, relativeHref(m_currentName, m_navName)};
        }
        return leftOut(why.empty() ? "names no file of the project" : why);
    }
    Item& item = m_items[static_cast<std::size_t>(target->first)];
    const Kind kind = item.media.kind;
    const bool fits = (use == LinkUse::Hyperlink && (kind == Kind::Page || kind == Kind::Sound)) ||
                      (use == LinkUse::Picture && kind == Kind::Picture) ||
                      (use == LinkUse::StyleSheet && kind == Kind::StyleSheet) ||
                      (use == LinkUse::CssFile && (kind == Kind::Picture || kind == Kind::Font)) ||
                      (use == LinkUse::Sound && kind == Kind::Sound);
    if (!fits) {
        if (item.media.unshown)
            return leftOut(std::string("is ") + item.media.unshown);
        return leftOut(hyperlink ? "is no page an EPUB reader opens"
                                 : "is not a file of the kind this place takes");
    }
    std::string href = relativeHref(m_currentName, item.name);
    if (kind == Kind::Page) {
        const std::string& fragment = target->second;
        if (!item.queued) {
            item.queued = true;
            m_pages.push_back(target->first);
            ++m_out.pages;
            m_observer.setProgressMaximum(static_cast<int>(m_out.pages));
        }
        if (isValidId(fragment)) {
            if (!item.written) {
                item.required.insert(fragment);
                href += fragmentHref(fragment);
            } else if (item.ids.count(fragment)) {
                href += fragmentHref(fragment);
            }
        }
        return LinkTarget{LinkTarget::Kind::Page, href};
    }
    if (!item.written) {
        m_pending.push_back(target->first);
        item.written = true;
        ++m_out.resources;
    }
    return LinkTarget{kind == Kind::Sound ? LinkTarget::Kind::Sound : LinkTarget::Kind::Other,
                      href};
}

void Package::contentsFromList(const ContentsList& contents) {
    const std::vector<int> parents = parentRows(contents);
    const int last = contents.rowCount() - 2;
    std::vector<int> navOfRow(static_cast<std::size_t>(std::max(last, 0) + 1), -1);
    for (int row = 1; row <= last; ++row) {
        NavEntry e;
        e.caption = htmlText(contents.cell(row, ColCaption));
        e.number = contents.cell(row, ColID);
        const std::string& url = contents.cell(row, ColURL);
        if (!url.empty()) {
            bool toNav = false;
            std::string why;
            const auto target = findTarget(url, "", toNav, why);
            const std::string entry = "the contents entry " + e.number + " (\"" + e.caption +
                                      "\") links to \"" + url + "\", which ";
            if (!target) {
                if (!toNav)
                    warn(entry + why + ": the entry is no part of the book's contents");
            } else if (m_items[static_cast<std::size_t>(target->first)].media.kind != Kind::Page) {
                warn(entry + "is no page: the entry is no part of the book's contents");
            } else {
                e.item = target->first;
                e.fragment = target->second;
            }
        }
        const int index = static_cast<int>(m_nav.size());
        m_nav.push_back(std::move(e));
        navOfRow[static_cast<std::size_t>(row)] = index;
        const int p = parents[static_cast<std::size_t>(row)];
        if (p > 0 && p < row)
            m_nav[static_cast<std::size_t>(navOfRow[static_cast<std::size_t>(p)])]
                .children.push_back(index);
        else
            m_navRoots.push_back(index);
    }

    // The reading order is the contents' as the tree shows it, each entry above the ones it
    // holds. An entry leading back to a page read before would break the order EPUB readers
    // expect of the navigation: it keeps its place there without its link.
    std::vector<int> stack(m_navRoots.rbegin(), m_navRoots.rend());
    int lastPlace = -1;
    while (!stack.empty()) {
        NavEntry& e = m_nav[static_cast<std::size_t>(stack.back())];
        stack.pop_back();
        stack.insert(stack.end(), e.children.rbegin(), e.children.rend());
        if (e.item < 0)
            continue;
        Item& item = m_items[static_cast<std::size_t>(e.item)];
        if (!item.linear) {
            item.linear = item.queued = true;
            item.place = static_cast<int>(m_spine.size());
            m_spine.push_back(e.item);
        } else if (item.place < lastPlace) {
            warn("the contents entry " + e.number + " (\"" + e.caption +
                 "\") leads back to a page read before it: the book's contents, which go in "
                 "reading order, show it without its link");
            e.item = -1;
            continue;
        }
        lastPlace = item.place;
    }
}

void Package::contentsFromNames() {
    std::vector<std::string> names;
    for (const auto& [upper, file] : m_files)
        if (file.path.find('/') == std::string::npos && mediaOf(file.path).kind == Kind::Page)
            names.push_back(file.path);
    sortNaturally(names);
    for (const std::string& name : names) {
        const int index = itemFor(m_files.at(toUpperUnicode(name)));
        Item& item = m_items[static_cast<std::size_t>(index)];
        item.linear = item.queued = true;
        m_spine.push_back(index);
        m_navRoots.push_back(static_cast<int>(m_nav.size()));
        item.place = static_cast<int>(m_spine.size()) - 1;
        NavEntry e;
        e.item = index;
        m_nav.push_back(std::move(e));
    }
}

const char* encodingName(TextEncoding e) {
    switch (e) {
    case TextEncoding::Ansi:
        return "GBK";
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return "UTF-16";
    default:
        return "UTF-8";
    }
}

// A file's text in its own encoding, and what went wrong reading it (for the warning).
struct LoadedText {
    std::string text;
    std::string problem;
};

LoadedText loadText(const std::string& path, bool markup) {
    LoadedText out;
    auto bytes = readFileBytes(path);
    if (!bytes) {
        out.problem = bytes.error().message + ": it is empty in the book";
        return out;
    }
    const std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    out.text = decodeToUtf8(raw, markup);
    constexpr std::string_view Replacement = "\xEF\xBF\xBD";
    if (out.text.find(Replacement) != std::string::npos &&
        raw.find(Replacement) == std::string::npos)
        out.problem = std::string("bytes that are no ") +
                      encodingName(detectEncoding(raw, markup).encoding) +
                      " characters are replaced by U+FFFD";
    return out;
}

// A page read, decoded and parsed: the part of its conversion that needs nothing of the
// book, so that it can run ahead on a thread of its own.
struct ReadPage {
    ReadPage(int i, LoadedText loaded)
        : index(i), html(std::move(loaded.text)), problem(std::move(loaded.problem)) {}
    int index;
    ParsedHtml html;
    std::string problem;
};

// Reads the pages of the reading order on threads of their own (the k-th page on thread k mod
// Threads), a few pages ahead of the writer and no more, so that memory holds a handful of
// pages whatever the size of the book. Parsing costs more than writing: two threads beside
// the writer keep both cores busy.
class PageReader {
  public:
    explicit PageReader(std::vector<std::string> paths) : m_paths(std::move(paths)) {
        for (std::size_t t = 0; t < Threads; ++t)
            m_workers[t].thread = std::thread([this, t] { work(t); });
    }
    ~PageReader() {
        for (Worker& w : m_workers) {
            {
                std::lock_guard lock(w.mutex);
                w.stop = true;
            }
            w.changed.notify_all();
            w.thread.join();
        }
    }
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    // The next page of the order.
    ReadPage take() {
        Worker& w = m_workers[m_next++ % Threads];
        std::unique_lock lock(w.mutex);
        w.changed.wait(lock, [&] { return !w.ready.empty(); });
        ReadPage page = std::move(w.ready.front());
        w.ready.pop_front();
        // Only a thread that waits for room is woken, and only once there is half of it.
        const bool wake = w.full && w.ready.size() <= Ahead / 2;
        if (wake)
            w.full = false;
        lock.unlock();
        if (wake)
            w.changed.notify_all();
        return page;
    }

  private:
    static constexpr std::size_t Threads = 2;
    static constexpr std::size_t Ahead = 8; // pages each thread keeps ready

    struct Worker {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<ReadPage> ready;
        bool full = false; // the thread waits for room
        bool stop = false;
        std::thread thread;
    };

    void work(std::size_t t) {
        Worker& w = m_workers[t];
        for (std::size_t k = t; k < m_paths.size(); k += Threads) {
            ReadPage page(static_cast<int>(k), loadText(m_paths[k], true));
            std::unique_lock lock(w.mutex);
            w.full = w.ready.size() >= Ahead;
            w.changed.wait(lock, [&] { return w.stop || w.ready.size() < Ahead; });
            if (w.stop)
                return;
            const bool wake = w.ready.empty();
            w.ready.push_back(std::move(page));
            lock.unlock();
            if (wake)
                w.changed.notify_all();
        }
    }

    std::vector<std::string> m_paths;
    std::array<Worker, Threads> m_workers;
    std::size_t m_next = 0;
};

Result<void> Package::writePage(int index, const ReadPage& read) {
    Item& item = m_items[static_cast<std::size_t>(index)];
    if (!read.problem.empty())
        warn(item.path + ": " + read.problem);
    m_current = index;
    m_currentName = item.name;
    XhtmlPage page =
        convertToXhtml(read.html, m_resolver, baseNameWithoutExtension(item.path), &item.required);
    if (!page.parsed)
        warn(item.path + ": the HTML parser could not read it: its text stands alone");
    if (m_out.language.empty())
        m_out.language = page.language;
    item.title = std::move(page.title);
    item.ids = std::move(page.ids);
    item.required.clear();
    item.written = true;
    m_order.push_back(index);
    m_current = -1;
    return m_zip->add(ContentFolder + item.name, page.text, true, dosDate(item.time));
}

Result<void> Package::writeResource(int index) {
    Item& item = m_items[static_cast<std::size_t>(index)];
    const unsigned long date = dosDate(item.time);
    const std::string name = ContentFolder + item.name;
    if (item.media.kind == Kind::StyleSheet) {
        m_current = index;
        m_currentName = item.name;
        LoadedText loaded = loadText(FixPath(m_in.projectFolder) + item.path, false);
        if (!loaded.problem.empty())
            warn(item.path + ": " + loaded.problem);
        const std::string css = rewriteStyleSheet(loaded.text, m_resolver);
        m_current = -1;
        return m_zip->add(name, css, true, date);
    }
    const std::string path = FixPath(m_in.projectFolder) + item.path;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        warn(item.path + ": cannot be read (" + std::strerror(errno) +
             "): it is empty in the book");
        return m_zip->add(name, {}, false, date);
    }
    std::error_code ec;
    const auto size = fs::file_size(fs::u8path(path), ec);
    Result<void> r = m_zip->begin(name, !item.media.compressed, date, !ec && size >= 0xFFFFFFFFu);
    static thread_local std::array<char, 256 * 1024> buffer;
    while (r) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        if (n == 0)
            break;
        r = m_zip->write(buffer.data(), n);
    }
    if (r && std::ferror(file))
        warn(item.path + ": cannot be read to its end: it is cut short in the book");
    std::fclose(file);
    FOLIO_TRY(r);
    return m_zip->end();
}

Result<void> Package::writePending() {
    for (std::size_t i = 0; i < m_pending.size(); ++i)
        FOLIO_TRY(writeResource(m_pending[i]));
    m_pending.clear();
    return {};
}

std::string Package::navCaption(const NavEntry& e) const {
    if (!e.caption.empty())
        return e.caption;
    if (e.item >= 0) {
        const Item& item = m_items[static_cast<std::size_t>(e.item)];
        return item.title.empty() ? baseNameWithoutExtension(item.path) : item.title;
    }
    return "-";
}

std::string Package::navHref(const NavEntry& e, const std::string& from) const {
    const Item& item = m_items[static_cast<std::size_t>(e.item)];
    std::string href = relativeHref(from, item.name);
    if (!e.fragment.empty() && item.ids.count(e.fragment))
        href += fragmentHref(e.fragment);
    return href;
}

std::vector<bool> Package::shownEntries() const {
    // A child always stands after its parent, so one pass from the end sees every child first.
    std::vector<bool> shown(m_nav.size(), false);
    for (std::size_t i = m_nav.size(); i-- > 0;) {
        shown[i] = shown[i] || m_nav[i].item >= 0;
        for (const int c : m_nav[i].children)
            shown[i] = shown[i] || shown[static_cast<std::size_t>(c)];
    }
    return shown;
}

std::string Package::nav() const {
    const std::vector<bool> shown = shownEntries();
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
                      "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                      "xmlns:epub=\"http://www.idpf.org/2007/ops\" lang=\"" +
                      m_out.language + "\" xml:lang=\"" + m_out.language + "\">\n<head>\n<title>" +
                      xmlEscaped(m_out.title) +
                      "</title>\n</head>\n<body>\n"
                      "<nav epub:type=\"toc\" id=\"toc\">\n<h1>目录</h1>\n";
    // Each list holds the shown entries of one level; an entry that opens no page is a
    // heading over its own list.
    auto list = [&](auto& self, const std::vector<int>& entries, int depth) -> void {
        out += std::string(static_cast<std::size_t>(depth), ' ') + "<ol>\n";
        for (const int i : entries) {
            const NavEntry& e = m_nav[static_cast<std::size_t>(i)];
            if (!shown[static_cast<std::size_t>(i)])
                continue;
            out += std::string(static_cast<std::size_t>(depth + 1), ' ') + "<li>";
            if (e.item >= 0)
                out += "<a href=\"" + xmlEscaped(navHref(e, m_navName), true) + "\">" +
                       xmlEscaped(navCaption(e)) + "</a>";
            else
                out += "<span>" + xmlEscaped(navCaption(e)) + "</span>";
            const bool below = std::any_of(e.children.begin(), e.children.end(), [&](int c) {
                return shown[static_cast<std::size_t>(c)];
            });
            if (below) {
                out += "\n";
                self(self, e.children, depth + 2);
                out += std::string(static_cast<std::size_t>(depth + 1), ' ');
            }
            out += "</li>\n";
        }
        out += std::string(static_cast<std::size_t>(depth), ' ') + "</ol>\n";
    };
    list(list, m_navRoots, 0);
    out += "</nav>\n</body>\n</html>\n";
    return out;
}

std::string Package::ncx() const {
    const std::vector<bool> shown = shownEntries();
    // One play order per page opened, in the order first met; an entry that opens no page
    // opens the first page below it.
    std::map<std::string, int> playOrder;
    int depthMax = 1;
    std::string points;
    int next = 0;
    auto firstTarget = [&](auto& self, int i) -> const NavEntry* {
        const NavEntry& e = m_nav[static_cast<std::size_t>(i)];
        if (e.item >= 0)
            return &e;
        for (const int c : e.children)
            if (shown[static_cast<std::size_t>(c)])
                if (const NavEntry* t = self(self, c))
                    return t;
        return nullptr;
    };
    auto level = [&](auto& self, const std::vector<int>& entries, int depth) -> void {
        depthMax = std::max(depthMax, depth);
        for (const int i : entries) {
            if (!shown[static_cast<std::size_t>(i)])
                continue;
            const NavEntry* target = firstTarget(firstTarget, i);
            const std::string src = navHref(*target, "toc.ncx");
            const auto order = playOrder.emplace(src, static_cast<int>(playOrder.size()) + 1).first;
            const std::string pad(static_cast<std::size_t>(depth * 2), ' ');
            points += pad + "<navPoint id=\"np" + std::to_string(++next) + "\" playOrder=\"" +
                      std::to_string(order->second) + "\"><navLabel><text>" +
                      xmlEscaped(navCaption(m_nav[static_cast<std::size_t>(i)])) +
                      "</text></navLabel><content src=\"" + xmlEscaped(src, true) + "\"/>\n";
            self(self, m_nav[static_cast<std::size_t>(i)].children, depth + 1);
            points += pad + "</navPoint>\n";
        }
    };
    level(level, m_navRoots, 1);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" xml:lang=\"" +
           m_out.language + "\">\n<head>\n<meta name=\"dtb:uid\" content=\"" +
           xmlEscaped(m_in.identifier, true) + "\"/>\n<meta name=\"dtb:depth\" content=\"" +
           std::to_string(depthMax) +
           "\"/>\n<meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
           "<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n</head>\n<docTitle><text>" +
           xmlEscaped(m_out.title) + "</text></docTitle>\n<navMap>\n" + points +
           "</navMap>\n</ncx>\n";
}

std::string Package::opf() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" "
                      "unique-identifier=\"bookid\" xml:lang=\"" +
                      m_out.language +
                      "\">\n<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                      "<dc:identifier id=\"bookid\">" +
                      xmlEscaped(m_in.identifier) + "</dc:identifier>\n<dc:title>" +
                      xmlEscaped(m_out.title) + "</dc:title>\n";
    if (!m_out.author.empty())
        out += "<dc:creator>" + xmlEscaped(m_out.author) + "</dc:creator>\n";
    out += "<dc:language>" + m_out.language + "</dc:language>\n<dc:date>" +
           utcText(m_date, "%Y-%m-%d") + "</dc:date>\n";
    if (!m_description.empty())
        out += "<dc:description>" + xmlEscaped(m_description) + "</dc:description>\n";
    out += "<meta property=\"dcterms:modified\">" + utcText(m_date, "%Y-%m-%dT%H:%M:%SZ") +
           "</meta>\n";
    std::string items;
    std::string coverId;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        const bool in = item.media.kind == Kind::Page ? item.queued : item.written;
        if (!in || item.media.kind == Kind::Other)
            continue;
        const std::string id = "i" + std::to_string(i + 1);
        items += "<item id=\"" + id + "\" href=\"" + xmlEscaped(hrefOf(item.name), true) +
                 "\" media-type=\"" + item.media.type + "\"" +
                 (item.cover ? " properties=\"cover-image\"" : "") + "/>\n";
        if (item.cover)
            coverId = id;
    }
    // Older readers find the cover by this line.
    if (!coverId.empty())
        out += "<meta name=\"cover\" content=\"" + coverId + "\"/>\n";
    out += "</metadata>\n<manifest>\n<item id=\"nav\" href=\"" + hrefOf(m_navName) +
           "\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
           "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n" +
           items + "</manifest>\n<spine toc=\"ncx\">\n";
    for (const int i : m_order)
        out += "<itemref idref=\"i" + std::to_string(i + 1) + "\"" +
               (m_items[static_cast<std::size_t>(i)].linear ? "" : " linear=\"no\"") + "/>\n";
    if (m_navLinked)
        out += "<itemref idref=\"nav\" linear=\"no\"/>\n";
    out += "</spine>\n</package>\n";
    return out;
}

Result<EpubOutcome> Package::run(const ContentsList& contents) {
    m_contentsPage = toUpperUnicode(m_in.settings.contentsPage);
    listFiles();
    // The package's own documents keep their names; a project file of the same name gets
    // another.
    m_takenNames = {"CONTENT.OPF", "NAV.XHTML", "TOC.NCX"};

    contentsFromList(contents);
    if (m_spine.empty()) {
        m_out.nameOrder = true;
        warn(contents.entryCount() == 0
                 ? "the contents list is empty: the pages go in name order"
                 : "the contents list names no page of the project: the pages go in name order");
        m_nav.clear();
        m_navRoots.clear();
        contentsFromNames();
    }
    if (m_spine.empty())
        return fail(m_in.projectFolder + ": no page (.htm, .html) to make a book of");

    // The book card: the title, author, synopsis and cover of the home page.
    const int card = bookCardRow(contents, m_in.settings.indexPage);
    m_out.title = card ? htmlText(contents.cell(card, ColCaption)) : std::string();
    if (m_out.title.empty())
        m_out.title = m_in.settings.title;
    if (m_out.title.empty())
        m_out.title = fileName(m_in.projectFolder);
    m_out.author = m_in.settings.author;
    if (m_out.author.empty() && card)
        m_out.author = contents.cell(card, ColAuthor);
    if (card)
        m_description = htmlText(contents.cell(card, ColSynopsis));
    if (card && !contents.cell(card, ColImg).empty()) {
        const std::string name = coverFileName(contents.cell(card, ColImg));
        const auto found = m_files.find(toUpperUnicode(name));
        if (found != m_files.end() && mediaOf(found->second.path).kind == Kind::Picture) {
            const int index = itemFor(found->second);
            Item& item = m_items[static_cast<std::size_t>(index)];
            item.cover = true;
            m_out.cover = item.name;
            if (!item.written) {
                item.written = true;
                ++m_out.resources;
                m_pending.push_back(index);
            }
        }
    }

    auto stage = StagedFile::create(m_in.outputPath);
    FOLIO_TRY(stage);
    m_zip = std::make_unique<ZipWriter>(stage->stream(), m_in.outputPath);
    const unsigned long date = dosDate(m_date);
    // The container's first entry, stored, names the kind of file.
    FOLIO_TRY(m_zip->add("mimetype", "application/epub+zip", false, date));
    FOLIO_TRY(m_zip->add("META-INF/container.xml",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<container version=\"1.0\" "
                         "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n<rootfiles>\n"
                         "<rootfile full-path=\"OEBPS/content.opf\" "
                         "media-type=\"application/oebps-package+xml\"/>\n</rootfiles>\n"
                         "</container>\n",
                         true, date));
    FOLIO_TRY(writePending());

    m_pages.assign(m_spine.begin(), m_spine.end());
    m_out.pages = m_out.linearPages = m_spine.size();
    m_observer.setProgressMaximum(static_cast<int>(m_out.pages));
    std::vector<std::string> paths;
    for (const int index : m_spine)
        paths.push_back(FixPath(m_in.projectFolder) +
                        m_items[static_cast<std::size_t>(index)].path);
    PageReader reader(std::move(paths));
    int done = 0;
    while (!m_pages.empty()) {
        const int index = m_pages.front();
        m_pages.pop_front();
        // The reading order comes from the reader; the pages found by their links after it.
        const Item& item = m_items[static_cast<std::size_t>(index)];
        FOLIO_TRY(writePage(
            index, item.linear
                       ? reader.take()
                       : ReadPage(index, loadText(FixPath(m_in.projectFolder) + item.path, true))));
        FOLIO_TRY(writePending());
        m_observer.setProgressValue(++done);
        m_observer.processEvents();
    }
    if (m_out.language.empty())
        m_out.language = "zh";

    FOLIO_TRY(m_zip->add(ContentFolder + m_navName, nav(), true, date));
    FOLIO_TRY(m_zip->add(std::string(ContentFolder) + "toc.ncx", ncx(), true, date));
    FOLIO_TRY(m_zip->add(std::string(ContentFolder) + "content.opf", opf(), true, date));
    FOLIO_TRY(m_zip->finish());
    m_zip.reset();
    FOLIO_TRY(stage->commit());
    m_out.path = m_in.outputPath;
    std::error_code ec;
    m_out.bytes = fs::file_size(fs::u8path(m_in.outputPath), ec);
    return std::move(m_out);
}

} // namespace

int bookCardRow(const ContentsList& list, std::string_view indexPage) {
    const std::string index = toUpperUnicode(book::resolveBookLink(indexPage).path);
    for (int row = 1; row <= list.rowCount() - 2; ++row) {
        const book::BookLink link = book::resolveBookLink(list.cell(row, ColURL));
        if (link.kind == book::LinkKind::InBook && toUpperUnicode(link.path) == index)
            return row;
    }
    return 0;
}

Result<EpubOutcome> WriteEpub(const EpubInputs& in, const ContentsList& contents,
                              Observer& observer) {
    Package package(in, observer);
    return package.run(contents);
}

} // namespace folio::generators
