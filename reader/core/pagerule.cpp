// The page rule (see pagerule.h).
#include "reader/core/pagerule.h"

#include "core/booklink.h"

#include <algorithm>
#include <optional>

namespace folio::reader {

namespace {

constexpr auto npos = std::string_view::npos;

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    std::ranges::transform(out, out.begin(), lower);
    return out;
}

// Splits "scheme:rest"; false when `url` starts with no scheme (a relative address, a blank or
// a control character first: refused rather than guessed at).
bool splitScheme(std::string_view url, std::string& scheme, std::string_view& rest) {
    const std::size_t colon = url.find(':');
    if (colon == npos || colon == 0 || !isAlpha(url[0]))
        return false;
    for (const char c : url.substr(0, colon))
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    scheme = lowered(url.substr(0, colon));
    rest = url.substr(colon + 1);
    return true;
}

bool startsWithDrive(std::string_view path) {
    return path.size() >= 2 && isAlpha(path[0]) && path[1] == ':';
}

// Resolves "." and ".." segments. Windows drops trailing dots and blanks from a name, so there
// they are dropped here too, and a segment of nothing else ("...", ". .") is malformed.
std::optional<std::string> withoutDotSegments(std::string_view path, bool windows) {
    std::vector<std::string_view> kept;
    const bool rooted = path.starts_with('/');
    bool folderEnd = false;
    for (std::size_t from = rooted ? 1 : 0;;) {
        const std::size_t slash = path.find('/', from);
        std::string_view segment = path.substr(from, slash == npos ? npos : slash - from);
        folderEnd = segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (segment != ".") {
            const bool named = !segment.empty();
            while (windows && (segment.ends_with('.') || segment.ends_with(' ')))
                segment.remove_suffix(1);
            if (named && segment.empty())
                return std::nullopt;
            kept.push_back(segment);
        }
        if (slash == npos)
            break;
        from = slash + 1;
    }
    std::string out = rooted ? "/" : "";
    for (std::size_t i = 0; i < kept.size(); ++i)
        out += (i ? "/" : "") + std::string(kept[i]);
    if (folderEnd && !out.ends_with('/'))
        out += '/';
    return out;
}

// The path of a res: or file: address (what follows the scheme): escapes decoded, "\" read as
// "/" on Windows, the empty (or local) authority dropped, dot segments resolved. Nullopt for a
// NUL, which would cut the name short where the system reads it, and for another machine.
std::optional<std::string> localPath(std::string_view rest, bool file, bool windows) {
    std::string path = book::percentDecoded(rest);
    if (path.find('\0') != npos)
        return std::nullopt;
    if (windows)
        std::ranges::replace(path, '\\', '/');
    if (path.starts_with("//")) {
        const std::size_t slash = path.find('/', 2);
        const std::string host = lowered(std::string_view(path).substr(2, slash - 2));
        if (!file || (host.size() == 2 && startsWithDrive(host)))
            path.erase(0, 2); // res://C:\... names the file itself; so does file://C:/...
        else if (host.empty() || host == "localhost")
            path.erase(0, slash == npos ? path.size() : slash);
        else
            return std::nullopt; // a share of another machine
    }
    if (file && startsWithDrive(path))
        path.insert(0, "/"); // file:C:/x is file:///C:/x
    return withoutDotSegments(path, windows);
}

} // namespace

void PageRule::setBookPrefix(std::string_view prefix) {
    m_resPath.clear();
    m_localPath.clear();
    m_windows = false;
    std::string scheme;
    std::string_view rest;
    if (!splitScheme(prefix, scheme, rest) || (scheme != "res" && scheme != "file"))
        return;
    const std::string_view path = rest.substr(rest.starts_with("//") ? 2 : 0);
    m_windows = rest.find('\\') != npos || startsWithDrive(path) ||
                (path.starts_with('/') && startsWithDrive(path.substr(1)));
    std::string home = localPath(rest, scheme == "file", m_windows).value_or("");
    if (!home.empty() && !home.ends_with('/'))
        home += '/';
    (scheme == "res" ? m_resPath : m_localPath) = home;
}

bool PageRule::webSite(std::string_view url, Site& site) {
    std::string scheme;
    std::string_view rest;
    if (!splitScheme(url, scheme, rest) || (scheme != "http" && scheme != "https"))
        return false;
    // Browsers read "\" as "/" in a web address, and its authority ends at the first of the
    // path, the query or the fragment; what precedes its last "@" is a user, not the host.
    auto slash = [](char c) { return c == '/' || c == '\\'; };
    if (rest.size() < 2 || !slash(rest[0]) || !slash(rest[1]))
        return false;
    std::string_view host = rest.substr(2, rest.find_first_of("/\\?#", 2) - 2);
    if (const std::size_t at = host.rfind('@'); at != npos)
        host.remove_prefix(at + 1);
    const std::size_t bracket = host.starts_with('[') ? host.find(']') : 0;
    if (bracket == npos)
        return false;
    std::string_view port;
    if (const std::size_t colon = host.find(':', bracket); colon != npos) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    // An escape or a blank in a host is read differently by each browser: none is named.
    if (host.empty() || std::ranges::any_of(host, [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '%' || c == 0x7F;
        }))
        return false;
    int number = scheme == "https" ? 443 : 80;
    if (!port.empty()) {
        if (port.size() > 5 || !std::ranges::all_of(port, isDigit))
            return false;
        number = 0;
        for (const char digit : port)
            number = number * 10 + (digit - '0');
        if (number > 65535)
            return false;
    }
    site = {scheme, lowered(host), number};
    return true;
}

void PageRule::allowWebAddress(std::string_view address) {
    const std::size_t first = address.find_first_not_of(" \t\r\n");
    if (first == npos)
        return;
    address = address.substr(first, address.find_last_not_of(" \t\r\n") - first + 1);
    Site site;
    if (webSite(address, site) && std::ranges::find(m_sites, site) == m_sites.end())
        m_sites.push_back(site);
}

void PageRule::allowDescriptorAddresses(const std::vector<std::string>& fields) {
    // Fields 5 to 8 of a descriptor: update, bookshelf, advert and the web site. The
    // descriptor splits at every ":", so an address arrives in pieces ("http", "//host",
    // "8080/page"): the addresses are found in the pieces joined again.
    std::string tail;
    for (std::size_t i = 4; i < fields.size(); ++i)
        tail += (i > 4 ? ":" : "") + fields[i];
    // An address: "http://" or "https://" (in any case), a host up to a blank, ":", "/", "?"
    // or "#", a port of digits, and the rest up to a blank or ":". Scanned by hand: a regular
    // expression would carry the library's locale machinery into the Windows reader.
    const std::string folded = lowered(tail);
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    for (std::size_t at = 0; (at = folded.find("http", at)) != npos; ++at) {
        std::size_t end = at + 4 + (folded.compare(at + 4, 1, "s") == 0 ? 1 : 0);
        if (folded.compare(end, 3, "://") != 0)
            continue;
        end += 3;
        const std::size_t host = end;
        while (end < tail.size() && !blank(tail[end]) &&
               std::string_view(":/?#").find(tail[end]) == npos)
            ++end;
        if (end == host)
            continue;
        if (end + 1 < tail.size() && tail[end] == ':' && isDigit(tail[end + 1])) {
            ++end;
            while (end < tail.size() && isDigit(tail[end]))
                ++end;
        }
        while (end < tail.size() && !blank(tail[end]) && tail[end] != ':')
            ++end;
        allowWebAddress(std::string_view(tail).substr(at, end - at));
        at = end - 1;
    }
}

bool PageRule::inside(const std::string& path, const std::string& home) const {
    if (home.empty() || path.size() < home.size())
        return false;
    const std::string_view head = std::string_view(path).substr(0, home.size());
    if (m_windows ? lowered(head) != lowered(home) : head != home)
        return false;
    // An escape left after decoding ("%252e" read as "%2e") would climb in a reader that
    // decodes twice.
    const std::string below = lowered(std::string_view(path).substr(home.size()));
    return below.find("%2e") == npos && below.find("%2f") == npos && below.find("%5c") == npos;
}

bool PageRule::allows(std::string_view url) const {
    std::string scheme;
    std::string_view rest;
    if (!splitScheme(url, scheme, rest))
        return false;
    // Made by the page itself, reaching nothing outside it.
    if (scheme == "data" || scheme == "blob" || scheme == "about" || scheme == "javascript")
        return true;
    if (scheme == "res" || scheme == "file") {
        const bool file = scheme == "file";
        const std::optional<std::string> path = localPath(rest, file, m_windows);
        return path && inside(*path, file ? m_localPath : m_resPath);
    }
    Site site;
    if (webSite(url, site))
        return std::ranges::find(m_sites, site) != m_sites.end();
    // ws:, wss:, ftp:, mailto:, and every scheme of the browser's own: nothing a book needs.
    return false;
}

} // namespace folio::reader
