// Resolving a page's address inside the book (see booklink.h).
#include "core/booklink.h"

#include <vector>

namespace folio::book {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The blanks a browser strips around an address (C0 controls and the space).
bool isStripped(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The scheme an address starts with ("http" for "http://..."), lower-cased; empty for none.
std::string schemeOf(std::string_view a) {
    if (a.empty() || !isAlpha(a[0]))
        return {};
    for (std::size_t i = 1; i < a.size(); ++i) {
        const char c = a[i];
        if (c == ':') {
            std::string s;
            for (const char k : a.substr(0, i))
                s += asciiLower(k);
            return s;
        }
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

} // namespace

std::string percentDecoded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

BookLink resolveBookLink(std::string_view address, std::string_view fromFolder) {
    BookLink link;
    while (!address.empty() && isStripped(address.front()))
        address.remove_prefix(1);
    while (!address.empty() && isStripped(address.back()))
        address.remove_suffix(1);
    // A browser drops tabs and line breaks anywhere inside an address.
    std::string a;
    a.reserve(address.size());
    for (const char c : address)
        if (c != '\t' && c != '\n' && c != '\r')
            a += c;
    if (a.empty())
        return link;

    const std::size_t hash = a.find('#');
    if (hash != std::string::npos) {
        link.fragment = percentDecoded(std::string_view(a).substr(hash + 1));
        a.resize(hash);
    }
    const std::string scheme = schemeOf(a);
    // One letter and a colon is a drive on Windows, whatever a URL parser makes of it.
    if (scheme.size() == 1 && a.size() > 2 && (a[2] == '\\' || a[2] == '/')) {
        link.kind = LinkKind::Local;
        link.path = a;
        return link;
    }
    if (!scheme.empty()) {
        link.scheme = scheme;
        link.kind = scheme == "http" || scheme == "https" ? LinkKind::Web
                    : scheme == "file"                    ? LinkKind::Local
                                                          : LinkKind::Other;
        link.path = a;
        return link;
    }
    if (const std::size_t query = a.find('?'); query != std::string::npos)
        a.resize(query);
    if (a.empty()) {
        link.kind = hash != std::string::npos ? LinkKind::Fragment : LinkKind::None;
        return link;
    }
    if (a.starts_with("//")) {
        link.kind = LinkKind::Outside;
        link.path = a;
        return link;
    }
    if (a.front() == '/' || a.starts_with("\\\\")) {
        link.kind = LinkKind::Local;
        link.path = a;
        return link;
    }

    // The page's own folder, then each segment of the address: "." stays, ".." climbs, and a
    // climb above the top leaves the book.
    std::vector<std::string> segments;
    if (!fromFolder.empty()) {
        for (std::size_t from = 0;;) {
            const std::size_t slash = fromFolder.find('/', from);
            segments.emplace_back(fromFolder.substr(from, slash - from));
            if (slash == std::string_view::npos)
                break;
            from = slash + 1;
        }
    }
    bool outside = false;
    for (std::size_t from = 0;;) {
        const std::size_t slash = a.find('/', from);
        const bool last = slash == std::string::npos;
        const std::string segment = percentDecoded(std::string_view(a).substr(from, slash - from));
        if (segment == "..") {
            if (segments.empty())
                outside = true;
            else
                segments.pop_back();
        } else if (segment != ".") {
            segments.push_back(segment);
        }
        if (last)
            break;
        from = slash + 1;
    }
    if (outside) {
        // As written (decoded), for finding the file on disk from the page's folder.
        link.kind = LinkKind::Outside;
        link.path = percentDecoded(a);
        return link;
    }
    for (const std::string& s : segments) {
        if (!link.path.empty())
            link.path += '/';
        link.path += s;
    }
    link.kind = LinkKind::InBook;
    return link;
}

} // namespace folio::book
