// Links to renamed files: found in the folder's pages by an HTML parser, rewritten in place.
#include "maker/generators/relink.h"

#include "core/booklink.h"
#include "core/fileio.h"
#include "core/text.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace folio::generators {

namespace {

// Old name, upper-cased as a book folds it, to new name.
using RenameMap = std::map<std::string, std::string>;

RenameMap renameMap(const std::vector<NameChange>& changes) {
    RenameMap map;
    for (const NameChange& c : changes)
        map.emplace(toUpperUnicode(c.from), c.to);
    return map;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Where the file name lies in a link address: after blanks and "./", before "?", "#" or the
// trailing blanks. `raw` for an attribute as written, where "&#" starts an entity.
struct PathSpan {
    std::size_t begin = 0, end = 0;
};

std::optional<PathSpan> pathSpan(std::string_view address, bool raw) {
    std::size_t begin = 0;
    while (begin < address.size() && isSpace(address[begin]))
        ++begin;
    while (address.substr(begin).starts_with("./"))
        begin += 2;
    std::size_t end = begin;
    while (end < address.size() && address[end] != '?' &&
           !(address[end] == '#' && !(raw && end > 0 && address[end - 1] == '&')))
        ++end;
    if (end == address.size())
        while (end > begin && isSpace(address[end - 1]))
            --end;
    // Nothing, a scheme ("http:", "mailto:", "res:"), a drive, a root or another folder.
    if (end == begin ||
        address.substr(begin, end - begin).find_first_of(":/\\") != std::string_view::npos)
        return std::nullopt;
    return PathSpan{begin, end};
}

// The file of the link's own folder that a link address names, as the readers resolve it;
// none for an address that names no file there.
std::optional<std::string> linkedFileName(std::string_view address) {
    if (!pathSpan(address, false))
        return std::nullopt;
    const book::BookLink link = book::resolveBookLink(address);
    if (link.kind != book::LinkKind::InBook || link.path.find('/') != std::string::npos)
        return std::nullopt;
    return link.path;
}

// Where a new name is written: into a page in UTF-8, into one in CP936, or into the contents
// list (a CP936 file whose links the generated pages take as they are).
enum class LinkPlace { Utf8Page, AnsiPage, List };

// The new name as a link there holds it: the characters the place's encoding has stay as they
// are, the others are percent-encoded in UTF-8. In a page so are the characters an address or
// an attribute gives a meaning to (blanks, "%", "#", "?", quotes, "&", ":" ...); in the list,
// where names stand as the builder writes them, only those that would cut the name short.
std::string linkText(std::string_view name, LinkPlace place) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t len = std::min<std::size_t>(c < 0x80   ? 1
                                                      : c < 0xE0 ? 2
                                                      : c < 0xF0 ? 3
                                                                 : 4,
                                                      name.size() - i);
        const std::string_view ch = name.substr(i, len);
        i += len;
        bool plain = false;
        if (c >= 0x80)
            plain = place == LinkPlace::Utf8Page || fromAnsi(toAnsi(ch)) == ch;
        else if (place == LinkPlace::List)
            plain = c >= 0x20 && c != '%' && c != '#' && c != '?';
        else
            plain = std::isalnum(c) ||
                    std::string_view("-._~!$()*+,;=@").find(ch[0]) != std::string_view::npos;
        if (plain) {
            out += ch;
            continue;
        }
        for (const char b : ch) {
            out += '%';
            out += Hex[static_cast<unsigned char>(b) >> 4];
            out += Hex[static_cast<unsigned char>(b) & 15];
        }
    }
    return out;
}

bool isLinkAttribute(const GumboElement& element, std::string_view name) {
    return name == "href" || name == "src" || name == "background" || name == "poster" ||
           (name == "data" && element.tag == GUMBO_TAG_OBJECT);
}

struct Edit {
    std::size_t begin, end;
    std::string text;
};

struct PageLinks {
    std::vector<Edit> edits; // in text order
    bool hasBase = false;    // a <base href> resolves the links elsewhere
};

// The links of `text` (UTF-8, or bytes a UTF-8 page holds) that name a renamed file, with their
// new text, at the attribute values' places in `text`.
PageLinks findLinks(std::string_view text, const RenameMap& renamed, bool ansiPage) {
    PageLinks links;
    const std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, text.data(), text.size()),
        [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
    if (!output)
        return links;
    // The parser may give one attribute to two elements (formatting it reopens); each place in
    // the text is rewritten once.
    std::set<std::size_t> seen;
    std::vector<const GumboNode*> stack{output->document};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        const GumboVector* children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboElement& element = node->v.element;
            children = &element.children;
            for (unsigned a = 0; a < element.attributes.length; ++a) {
                const auto* attr = static_cast<const GumboAttribute*>(element.attributes.data[a]);
                const std::string_view name = attr->name;
                if (element.tag == GUMBO_TAG_BASE && name == "href") {
                    links.hasBase = true;
                    continue;
                }
                if (!isLinkAttribute(element, name))
                    continue;
                const auto file = linkedFileName(attr->value);
                const auto to = file ? renamed.find(toUpperUnicode(*file)) : renamed.end();
                const GumboStringPiece& raw = attr->original_value;
                if (to == renamed.end() || !raw.data || raw.data < text.data() ||
                    raw.data + raw.length > text.data() + text.size())
                    continue;
                std::size_t begin = static_cast<std::size_t>(raw.data - text.data());
                std::size_t end = begin + raw.length;
                if (raw.length >= 2 && (raw.data[0] == '"' || raw.data[0] == '\'') &&
                    raw.data[raw.length - 1] == raw.data[0]) {
                    ++begin;
                    --end;
                }
                const auto span = pathSpan(text.substr(begin, end - begin), true);
                if (!span || !seen.insert(begin).second)
                    continue;
                links.edits.push_back(
                    {begin + span->begin, begin + span->end,
                     linkText(to->second, ansiPage ? LinkPlace::AnsiPage : LinkPlace::Utf8Page)});
            }
        }
        if (children)
            for (unsigned c = children->length; c-- > 0;)
                stack.push_back(static_cast<const GumboNode*>(children->data[c]));
    }
    std::sort(links.edits.begin(), links.edits.end(),
              [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    return links;
}

std::string applied(std::string_view text, const std::vector<Edit>& edits) {
    std::string out;
    out.reserve(text.size() + 64);
    std::size_t from = 0;
    for (const Edit& e : edits) {
        out.append(text.substr(from, e.begin - from));
        out += e.text;
        from = e.end;
    }
    out.append(text.substr(from));
    return out;
}

bool isPageName(const std::string& name) {
    const std::string upper = toUpperUnicode(name);
    return upper.ends_with(".HTM") || upper.ends_with(".HTML");
}

// The page's new bytes, or why it is left alone; nullopt when it links to no renamed file.
std::optional<Result<std::string>> relinkedPage(std::string_view bytes, const RenameMap& renamed) {
    const DetectedEncoding found = detectEncoding(bytes, true);
    const bool ansi = found.encoding == TextEncoding::Ansi;
    // A UTF-8 page is parsed as it is, so that even bytes that are not UTF-8 stay as they were.
    const std::string text = found.encoding == TextEncoding::Utf8
                                 ? std::string(bytes.substr(found.bomLength))
                                 : decodeToUtf8(bytes, true);
    const PageLinks links = findLinks(text, renamed, ansi);
    if (links.edits.empty())
        return std::nullopt;
    if (links.hasBase)
        return fail("it sets a <base> address, so its links do not resolve in its own folder");
    if (found.encoding == TextEncoding::Utf16LE || found.encoding == TextEncoding::Utf16BE)
        return fail("it is in UTF-16, which is not rewritten");
    if (!ansi)
        return std::string(bytes.substr(0, found.bomLength)) + applied(text, links.edits);
    if (toAnsi(text) != bytes)
        return fail("it holds bytes that are no CP936 characters, which rewriting would change");
    return toAnsi(applied(text, links.edits));
}

} // namespace

RelinkSummary RelinkPages(const std::string& folder, const std::vector<NameChange>& changes) {
    RelinkSummary summary;
    if (changes.empty())
        return summary;
    const RenameMap renamed = renameMap(changes);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_regular_file(typeEc) && isPageName(it->path().filename().string()))
            names.push_back(it->path().filename().string());
    }
    if (ec) {
        summary.leftAlone.push_back({folder, "the folder cannot be listed: " + ec.message()});
        return summary;
    }
    std::sort(names.begin(), names.end());

    WriteBatch batch;
    struct Pending {
        std::string name, path, bytes;
    };
    std::vector<Pending> pending;
    for (const std::string& name : names) {
        const std::string path = FixPath(folder) + name;
        auto bytes = readFileBytes(path);
        if (!bytes) {
            summary.leftAlone.push_back({name, bytes.error().message});
            continue;
        }
        auto page = relinkedPage(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), renamed);
        if (!page)
            continue;
        if (!*page) {
            summary.leftAlone.push_back({name, page->error().message});
        } else if (auto added = batch.add(path, **page); !added) {
            summary.leftAlone.push_back({name, added.error().message});
        } else {
            pending.push_back({name, path, std::move(**page)});
        }
    }
    const auto committed = batch.commit();
    for (const Pending& p : pending) {
        // A commit that failed part way has renamed the pages before the failure.
        const auto now = committed ? Result<Bytes>() : readFileBytes(p.path);
        if (committed || (now && std::string(now->begin(), now->end()) == p.bytes))
            summary.rewritten.push_back(p.name);
        else
            summary.leftAlone.push_back({p.name, committed.error().message});
    }
    return summary;
}

int RelinkContentsList(ContentsList& list, const std::vector<NameChange>& changes) {
    const RenameMap renamed = renameMap(changes);
    int changed = 0;
    for (int row = 1; row <= list.rowCount() - 2; ++row) {
        const std::string url = list.cell(row, ColURL);
        const auto span = pathSpan(url, false);
        if (!span)
            continue;
        const auto file = linkedFileName(url);
        const auto to = file ? renamed.find(toUpperUnicode(*file)) : renamed.end();
        if (to == renamed.end())
            continue;
        list.setCell(row, ColURL,
                     url.substr(0, span->begin) + linkText(to->second, LinkPlace::List) +
                         url.substr(span->end));
        ++changed;
    }
    return changed;
}

Result<int> RelinkProjectContents(const std::string& projectFolder,
                                  const std::vector<NameChange>& changes) {
    if (!fileExists(contentsListPath(projectFolder)))
        return 0;
    auto list = loadContentsList(projectFolder);
    FOLIO_TRY(list);
    const int changed = RelinkContentsList(*list, changes);
    if (changed > 0)
        FOLIO_TRY(saveContentsList(projectFolder, *list));
    return changed;
}

} // namespace folio::generators
