// The ANSI text layer: CP936 <-> UTF-8 (iconv on Linux, the code-page calls on Windows), line
// splitting with the line ends the system's files use, and resource-name upper-casing.
#include "core/text.h"

#include "core/fileio.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <cwctype>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <locale.h>
#endif

namespace folio {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Decodes one UTF-8 character at `pos`. Returns the number of bytes it takes, or 0 when the
// bytes there are not a well-formed character (overlong forms and surrogates included).
std::size_t decodeUtf8(std::string_view s, std::size_t pos, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > s.size())
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    out = cp;
    return len;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

#ifndef _WIN32

// One conversion descriptor per direction and thread; iconv_t is not safe to share.
class Converter {
  public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns false at an input sequence that cannot be
    // converted (unmappable, invalid or cut short), leaving `in` pointing at it.
    bool run(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[4096];
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(m_cd, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                return false;
            }
        }
        return true;
    }

  private:
    iconv_t m_cd;
};

Converter& toAnsiConverter() {
    thread_local Converter c("CP936", "UTF-8");
    return c;
}

Converter& fromAnsiConverter() {
    thread_local Converter c("UTF-8", "CP936");
    return c;
}

// CP936 as a table, read once from the converter: every single byte from 0x80 and every
// lead/trail pair mapped to its character (0: none). Decoding a page through it is a lookup
// per character instead of a converter call per run, and gives what the converter gives.
struct AnsiTable {
    char32_t single[128] = {};
    std::vector<char32_t> pairs; // (lead - 0x81) * 192 + (trail - 0x40)
    bool ok = false;

    AnsiTable() {
        Converter conv("UTF-32LE", "CP936");
        if (!conv.ok())
            return;
        auto one = [&](const char* bytes, std::size_t n) -> char32_t {
            const char* in = bytes;
            std::size_t left = n;
            std::string out;
            if (!conv.run(in, left, out) || out.size() != 4)
                return 0;
            char32_t cp = 0;
            std::memcpy(&cp, out.data(), 4);
            return cp >= 0x80 && cp < 0x10000 ? cp : 0; // all CP936 has past ASCII
        };
        for (int b = 0x80; b < 0x100; ++b) {
            const char c = static_cast<char>(b);
            single[b - 0x80] = one(&c, 1);
        }
        pairs.assign(126 * 192, 0);
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFF; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                pairs[(lead - 0x81) * 192 + (trail - 0x40)] = one(pair, 2);
            }
        ok = true;
    }
};

const AnsiTable& ansiTable() {
    static const AnsiTable table;
    return table;
}

#endif

} // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string toAnsi(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
#ifdef _WIN32
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(utf8, pos, cp);
        if (len == 0) {
            out += '?';
            ++pos;
            continue;
        }
        pos += len;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        wchar_t w[2];
        int wn = 1;
        if (cp >= 0x10000) {
            w[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            w[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            wn = 2;
        } else {
            w[0] = static_cast<wchar_t>(cp);
        }
        char a[8];
        BOOL usedDefault = FALSE;
        const int n =
            WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, w, wn, a, sizeof a, "?", &usedDefault);
        if (n <= 0 || usedDefault)
            out += '?';
        else
            out.append(a, static_cast<std::size_t>(n));
    }
#else
    Converter& conv = toAnsiConverter();
    if (!conv.ok()) {
        // Without the converter only ASCII survives; everything else is unmappable.
        for (std::size_t pos = 0; pos < utf8.size();) {
            char32_t cp = 0;
            const std::size_t len = decodeUtf8(utf8, pos, cp);
            out += (len != 0 && cp < 0x80) ? static_cast<char>(cp) : '?';
            pos += len == 0 ? 1 : len;
        }
        return out;
    }
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    while (!conv.run(in, left, out)) {
        // One "?" per character that CP936 lacks, or per byte that is not UTF-8.
        out += '?';
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(utf8, static_cast<std::size_t>(in - utf8.data()), cp);
        const std::size_t skip = len == 0 ? 1 : len;
        in += skip;
        left -= skip;
    }
#endif
    return out;
}

std::string fromAnsi(std::string_view ansi) {
    if (isAscii(ansi))
        return std::string(ansi);
    std::string out;
    out.reserve(ansi.size() * 3 / 2);
#ifdef _WIN32
    std::size_t pos = 0;
    while (pos < ansi.size()) {
        const auto b = static_cast<unsigned char>(ansi[pos]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++pos;
            continue;
        }
        // A lead byte takes a trail byte; try the pair first, then the byte alone.
        wchar_t w[2];
        int n = 0;
        if (pos + 1 < ansi.size() && IsDBCSLeadByteEx(936, b))
            n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, ansi.data() + pos, 2, w, 2);
        if (n > 0) {
            pos += 2;
        } else {
            n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, ansi.data() + pos, 1, w, 2);
            pos += 1;
        }
        if (n <= 0) {
            appendUtf8(out, Replacement);
            continue;
        }
        out += utf16ToUtf8(
            std::u16string_view(reinterpret_cast<const char16_t*>(w), static_cast<std::size_t>(n)));
    }
#else
    if (const AnsiTable& table = ansiTable(); table.ok) {
        // At most three UTF-8 bytes for each byte read (a pair gives three at the most).
        out.resize(ansi.size() * 3);
        char* to = out.data();
        auto put = [&to](char32_t cp) {
            if (cp < 0x800) {
                *to++ = static_cast<char>(0xC0 | (cp >> 6));
            } else {
                *to++ = static_cast<char>(0xE0 | (cp >> 12));
                *to++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            }
            *to++ = static_cast<char>(0x80 | (cp & 0x3F));
        };
        for (std::size_t pos = 0; pos < ansi.size();) {
            const auto b = static_cast<unsigned char>(ansi[pos]);
            if (b < 0x80) {
                *to++ = static_cast<char>(b);
                ++pos;
                continue;
            }
            // The pair first, then the byte alone, then U+FFFD for the byte: the converter's
            // longest match, and the byte skipped where it fails.
            const auto trail =
                pos + 1 < ansi.size() ? static_cast<unsigned char>(ansi[pos + 1]) : 0;
            char32_t cp = 0;
            if (b >= 0x81 && b <= 0xFE && trail >= 0x40)
                cp = table.pairs[(b - 0x81) * 192 + (trail - 0x40)];
            if (cp != 0) {
                pos += 2;
            } else {
                cp = table.single[b - 0x80];
                ++pos;
            }
            put(cp != 0 ? cp : Replacement);
        }
        out.resize(static_cast<std::size_t>(to - out.data()));
        return out;
    }
    Converter& conv = fromAnsiConverter();
    const char* in = ansi.data();
    std::size_t left = ansi.size();
    if (!conv.ok()) {
        for (char c : ansi) {
            if (static_cast<unsigned char>(c) < 0x80)
                out += c;
            else
                appendUtf8(out, Replacement);
        }
        return out;
    }
    while (!conv.run(in, left, out)) {
        appendUtf8(out, Replacement);
        ++in;
        --left;
    }
#endif
    return out;
}

namespace {

std::vector<std::string> splitLines(std::string_view text, bool lfEndsLine) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false; // characters seen since the last line end
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || (c == '\n' && lfEndsLine)) {
            lines.push_back(std::move(current));
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            continue;
        }
        current += c;
        open = true;
    }
    if (open)
        lines.push_back(std::move(current));
    return lines;
}

} // namespace

std::vector<std::string> splitAnsiLines(std::string_view text) {
    return splitLines(text, false);
}

std::vector<std::string> splitLinesAnyEnd(std::string_view text) {
    return splitLines(text, true);
}

std::string crLfLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const std::string& line : splitAnsiLines(text)) {
        out += line;
        out += "\r\n";
    }
    return out;
}

Result<std::string> ReadPageText(const std::string& path) {
    auto bytes = readFileBytes(path);
    FOLIO_TRY(bytes);
    // A CP936 trail byte is never CR or LF, so the lines can be cut before decoding.
    return fromAnsi(
        crLfLines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())));
}

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Where `lower` (ASCII, lower case) first occurs in `text` at or after `from`, in any case.
std::size_t findNoCase(std::string_view text, std::size_t from, std::string_view lower) {
    for (std::size_t i = from; i + lower.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lower.size() && asciiLower(text[i + k]) == lower[k])
            ++k;
        if (k == lower.size())
            return i;
    }
    return std::string_view::npos;
}

std::optional<TextEncoding> encodingNamed(std::string_view lowerName) {
    if (lowerName == "utf-8" || lowerName == "utf8")
        return TextEncoding::Utf8;
    for (std::string_view chinese :
         {"gb2312", "gbk", "gb18030", "cp936", "x-gbk", "euc-cn", "windows-936", "ms936"})
        if (lowerName == chinese)
            return TextEncoding::Ansi;
    return std::nullopt;
}

} // namespace

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time: most of a page is markup.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > n || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

std::optional<TextEncoding> declaredEncoding(std::string_view bytes) {
    // Browsers look for the declaration in the first bytes only; a <meta> is all that counts
    // (a <script charset=...> names the script's encoding, not the page's).
    const std::string_view head = bytes.substr(0, 4096);
    for (std::size_t meta = findNoCase(head, 0, "<meta"); meta != std::string_view::npos;
         meta = findNoCase(head, meta + 5, "<meta")) {
        if (meta + 5 >= head.size() || !(isBlank(head[meta + 5]) || head[meta + 5] == '/'))
            continue;
        const std::string_view tag = head.substr(meta, head.find('>', meta) - meta);
        for (std::size_t at = findNoCase(tag, 0, "charset"); at != std::string_view::npos;
             at = findNoCase(tag, at + 7, "charset")) {
            std::size_t i = at + 7;
            while (i < tag.size() &&
                   (isBlank(tag[i]) || tag[i] == '=' || tag[i] == '"' || tag[i] == '\''))
                ++i;
            std::string name;
            while (i < tag.size() && name.size() < 16 &&
                   (std::isalnum(static_cast<unsigned char>(tag[i])) || tag[i] == '-' ||
                    tag[i] == '_'))
                name += asciiLower(tag[i++]);
            if (const auto encoding = encodingNamed(name))
                return encoding;
        }
    }
    return std::nullopt;
}

DetectedEncoding detectEncoding(std::string_view bytes, bool markup) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return {TextEncoding::Utf8, 3};
    if (bytes.starts_with("\xFF\xFE"))
        return {TextEncoding::Utf16LE, 2};
    if (bytes.starts_with("\xFE\xFF"))
        return {TextEncoding::Utf16BE, 2};
    if (markup)
        if (const auto declared = declaredEncoding(bytes))
            return {*declared, 0};
    return {isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Ansi, 0};
}

std::string decodeToUtf8(std::string_view bytes, bool markup) {
    const DetectedEncoding found = detectEncoding(bytes, markup);
    bytes.remove_prefix(found.bomLength);
    switch (found.encoding) {
    case TextEncoding::Ansi:
        return fromAnsi(bytes);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool little = found.encoding == TextEncoding::Utf16LE;
        std::u16string units;
        units.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]);
            const auto b = static_cast<unsigned char>(bytes[i + 1]);
            units += static_cast<char16_t>(little ? (b << 8 | a) : (a << 8 | b));
        }
        std::string out = utf16ToUtf8(units);
        if (bytes.size() % 2 != 0)
            appendUtf8(out, Replacement); // half a unit at the end
        return out;
    }
    case TextEncoding::Utf8:
        break;
    }
    // A page that declares UTF-8 but holds other bytes: each stray byte is one U+FFFD, so
    // whatever is made of the text (a caption, a file name) is UTF-8.
    return isValidUtf8(bytes) ? std::string(bytes) : utf16ToUtf8(utf8ToUtf16(bytes));
}

Result<std::string> readDecodedText(const std::string& path) {
    auto bytes = readFileBytes(path);
    FOLIO_TRY(bytes);
    const bool plain =
        path.size() >= 4 && findNoCase(path, path.size() - 4, ".txt") == path.size() - 4;
    return decodeToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), !plain);
}

Result<std::vector<std::string>> readAnsiLines(const std::string& path) {
    auto bytes = readFileBytes(path);
    FOLIO_TRY(bytes);
    const std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    std::vector<std::string> lines = splitAnsiLines(raw);
    for (std::string& line : lines)
        line = fromAnsi(line);
    return lines;
}

Result<void> writeAnsiLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += toAnsi(line);
        text += "\r\n";
    }
    return writeFileAtomic(path, text);
}

char32_t toUpperChar(char32_t cp) {
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 0x20 : cp;
#ifdef _WIN32
    if (cp >= 0x10000)
        return cp; // the system's table folds the basic plane only
    wchar_t w = static_cast<wchar_t>(cp);
    CharUpperBuffW(&w, 1);
    return static_cast<char32_t>(w);
#else
    // One-to-one folding from the C.UTF-8 tables (like the system's own table, it never turns
    // one character into several).
    static const locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (utf8Locale == locale_t(nullptr) || cp >= 0x10000)
        return cp;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8Locale));
#endif
}

char16_t toUpperUnit(char16_t c) {
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const char32_t u = toUpperChar(c);
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

std::u16string toUpperUtf16(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        c = toUpperUnit(c);
    return out;
}

std::string toUpperUnicode(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(utf8, pos, cp);
        if (len == 0) {
            out += utf8[pos]; // not UTF-8: kept as it is
            ++pos;
            continue;
        }
        appendUtf8(out, toUpperChar(cp));
        pos += len;
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        std::size_t len = decodeUtf8(utf8, pos, cp);
        if (len == 0) {
            cp = Replacement;
            len = 1;
        }
        pos += len;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = Replacement; // unpaired surrogate
        }
        appendUtf8(out, cp);
    }
    return out;
}

} // namespace folio
