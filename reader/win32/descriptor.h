// The Windows reader's view of its own Book image: the descriptor resource and the addresses
// built from it, kept as UTF-16 text for the Win32 calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace folio::win32 {

// Splits at every ':' (no limit, empty pieces kept).
std::vector<std::wstring> splitFields(const std::wstring& text);

// "RES://" + folder (with a trailing '\' ensured) + name without extension + ".exe/".
std::wstring resourcePrefix(const std::wstring& programPath);

struct BookStart {
    std::wstring caption;     // "folioPage-" + title + "-" + author
    std::wstring contentsUrl; // prefix + field 3
    std::wstring homeUrl;     // prefix + field 2
};

// Caption and pane addresses from the descriptor text; nothing when it has fewer than four
// fields.
std::optional<BookStart> bookStart(const std::wstring& descriptor, const std::wstring& prefix);

// Whether a navigation of the contents pane to `url` belongs in the page pane instead: every
// address except a contents page (ending in "tree.html"), a script link and about:blank.
bool contentsLinkGoesToPagePane(const std::wstring& url);

#ifdef _WIN32
// CP936 bytes -> UTF-16 (invalid sequences become U+FFFD rather than failing the book).
std::wstring fromAnsi(const std::string& bytes);
#endif

} // namespace folio::win32
