// The ANSI text layer: the system code page is CP936 (GBK) everywhere; text inside is UTF-8.
#pragma once

#include "core/error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio {

// UTF-8 -> CP936 bytes. A character CP936 cannot hold becomes "?", as Windows does.
// Invalid UTF-8 input bytes also become "?".
std::string toAnsi(std::string_view utf8);

// CP936 bytes -> UTF-8. An invalid byte sequence becomes U+FFFD.
std::string fromAnsi(std::string_view ansi);

// Splits ANSI text into lines: CR LF and a lone CR end a line, a lone LF stays inside the
// line. A final line end does not start an extra empty line.
std::vector<std::string> splitAnsiLines(std::string_view text);

// The same line ends, but a lone LF ends a line too (files written by other editors).
std::vector<std::string> splitLinesAnyEnd(std::string_view text);

// Every line of `text` (line ends as in splitAnsiLines) followed by CR LF.
std::string crLfLines(std::string_view text);

// Reads a CP936 text file and returns every line (decoded to UTF-8) followed by CR LF.
Result<std::string> ReadPageText(const std::string& path);

// The encodings a page or a text file the system reads can be in.
enum class TextEncoding { Utf8, Ansi, Utf16LE, Utf16BE };

struct DetectedEncoding {
    TextEncoding encoding = TextEncoding::Utf8;
    std::size_t bomLength = 0; // bytes of the byte-order mark the text starts with
};

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// The charset a <meta> in the page's first bytes declares ("charset=..." of the element or of
// its http-equiv content), when it is one of the UTF-8 or Chinese names we know.
std::optional<TextEncoding> declaredEncoding(std::string_view bytes);

// How a page's bytes are to be read, as the readers and the whole-book search read them: a
// byte-order mark first (UTF-8, UTF-16 LE or BE); then, for markup, the declared charset;
// else UTF-8 when the bytes are valid UTF-8, and CP936 otherwise.
DetectedEncoding detectEncoding(std::string_view bytes, bool markup);

// The bytes decoded to UTF-8 by detectEncoding, without the byte-order mark.
std::string decodeToUtf8(std::string_view bytes, bool markup);

// Reads a page or a text file in its own encoding (a name ending in ".txt", in any case, is
// plain text, anything else markup) and returns its text as UTF-8, line ends as they are.
Result<std::string> readDecodedText(const std::string& path);

// Reads a CP936 text file as lines decoded to UTF-8 (line ends as in splitAnsiLines).
Result<std::vector<std::string>> readAnsiLines(const std::string& path);

// Writes UTF-8 lines as CP936, each followed by CR LF (atomically).
Result<void> writeAnsiLines(const std::string& path, const std::vector<std::string>& lines);

// The one-to-one upper case of one character, from the same table as toUpperUnicode.
char32_t toUpperChar(char32_t cp);

// Upper case for ASCII and the Unicode letters Windows' resource names fold (UTF-8 in and out).
std::string toUpperUnicode(std::string_view utf8);

// Resource names, upper-cased one UTF-16 unit at a time as the system's loader does: the same
// table, a surrogate half (and a character whose upper case needs two units) left as it is. The
// resource writer's order and every lookup of a name go through these.
char16_t toUpperUnit(char16_t c);
std::u16string toUpperUtf16(std::u16string_view s);

// UTF-8 <-> UTF-16 (resource names are UTF-16 in a PE file).
// Appends one code point as UTF-8; a surrogate half or a value past U+10FFFF, which UTF-8
// cannot carry, becomes U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

} // namespace folio
