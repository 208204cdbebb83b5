// How the readers resolve an address written in a book's page to a resource of the book: one
// rule for the maker's relinking and its check, on both systems' terms.
#pragma once

#include <string>
#include <string_view>

namespace folio::book {

// What an address in a page points at, seen from a page of the book.
enum class LinkKind {
    None,     // empty, or blanks only: the page itself
    InBook,   // a path inside the book ("name", or "folder/name" below its top)
    Outside,  // climbs above the book with "..", or "//host/..." (resolves against res:)
    Web,      // http: or https:
    Local,    // file:, a drive ("C:\", "C:/"), a root "/" or a "\\server" path
    Other,    // any other scheme: mailto:, javascript:, data:, res:, about: ...
    Fragment, // "#id" alone: a place in the page itself
};

struct BookLink {
    LinkKind kind = LinkKind::None;
    // InBook: the path below the book's top, its segments joined by "/", "./" and "../"
    // resolved, percent escapes decoded (as UTF-8 bytes); Outside: as written, decoded (a path
    // from the page's folder); the address as written otherwise.
    std::string path;
    std::string fragment; // after "#", decoded; empty when none
    std::string scheme;   // lower-cased, for Web and Other
};

// Decodes every "%XX" of `s` (two hex digits) to its byte; a lone "%" stays.
std::string percentDecoded(std::string_view s);

// Resolves `address` (as the parser hands it over: entities already decoded) from a page in
// `fromFolder` ("" for the book's top, "img" for a page of its sub-folder img/), as a browser
// resolves a relative reference against the page's res: address: blanks around it dropped,
// the query and the fragment cut off, "." and ".." segments resolved, escapes decoded. A
// backslash stays a character of the name, as the Linux reader's browser keeps it.
BookLink resolveBookLink(std::string_view address, std::string_view fromFolder = {});

} // namespace folio::book
