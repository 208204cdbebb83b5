// Whole-book search: page text extraction, the per-book text index and the search over it.
#include "reader/core/booksearch.h"

#include "core/fileio.h"
#include "core/text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>

namespace folio::reader {

namespace {

enum class Charset { Utf8, Ansi };

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// Eight bytes looked at in one step: most of a page's text is runs of characters nothing has to
// be done to, and these tell such a run from one that needs a closer look.
constexpr std::uint64_t EveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t HighBits = 0x8080808080808080ULL;

std::uint64_t load8(const void* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Whether a byte of `word` is below `limit` (at most 0x80).
constexpr bool anyByteBelow(std::uint64_t word, unsigned char limit) {
    return ((word - EveryByte * limit) & ~word & HighBits) != 0;
}

// The bytes at even offsets of a word read from memory.
constexpr std::uint64_t FirstOfPairs =
    std::endian::native == std::endian::little ? 0x00FF00FF00FF00FFULL : 0xFF00FF00FF00FF00ULL;

constexpr bool anyByteIs(std::uint64_t word, unsigned char value) {
    return anyByteBelow(word ^ (EveryByte * value), 1);
}

bool equalsNoCase(std::string_view text, std::size_t at, std::string_view lowerWord) {
    if (at + lowerWord.size() > text.size())
        return false;
    for (std::size_t i = 0; i < lowerWord.size(); ++i)
        if (asciiLower(text[at + i]) != lowerWord[i])
            return false;
    return true;
}

struct NamedEntity {
    std::string_view name;
    char32_t cp;
};

// The named entities pages of Chinese and English books use; others stay as written.
constexpr std::array<NamedEntity, 41> NamedEntities{{
    {"amp", U'&'},     {"lt", U'<'},      {"gt", U'>'},      {"quot", U'"'},     {"apos", U'\''},
    {"nbsp", 0xA0},    {"ensp", 0x2002},  {"emsp", 0x2003},  {"thinsp", 0x2009}, {"copy", 0xA9},
    {"reg", 0xAE},     {"trade", 0x2122}, {"middot", 0xB7},  {"bull", 0x2022},   {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"times", 0xD7},    {"divide", 0xF7},
    {"deg", 0xB0},     {"plusmn", 0xB1},  {"yen", 0xA5},     {"pound", 0xA3},    {"euro", 0x20AC},
    {"cent", 0xA2},    {"sect", 0xA7},    {"para", 0xB6},    {"larr", 0x2190},   {"rarr", 0x2192},
    {"uarr", 0x2191},  {"darr", 0x2193},  {"iexcl", 0xA1},   {"iquest", 0xBF},   {"shy", 0xAD},
    {"frac12", 0xBD},
}};

// Decodes the entity starting at text[at] == '&'. Returns the characters it spans (0 when it is
// no entity we know: the "&" is then text).
std::size_t decodeEntity(std::string_view text, std::size_t at, char32_t& cp) {
    const std::size_t semi = text.find(';', at + 1);
    if (semi == std::string_view::npos || semi - at > 12 || semi == at + 1)
        return 0;
    const std::string_view name = text.substr(at + 1, semi - at - 1);
    if (name[0] == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty())
            return 0;
        std::uint32_t value = 0;
        for (char d : digits) {
            int v = -1;
            if (isAsciiDigit(d))
                v = d - '0';
            else if (hex && asciiLower(d) >= 'a' && asciiLower(d) <= 'f')
                v = asciiLower(d) - 'a' + 10;
            if (v < 0)
                return 0;
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
            if (value > 0x10FFFF)
                return 0;
        }
        // NUL and surrogate halves are no characters a browser shows.
        cp = (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) ? char32_t{0xFFFD}
                                                                  : char32_t{value};
        return semi - at + 1;
    }
    for (const NamedEntity& e : NamedEntities) {
        if (e.name == name) {
            cp = e.cp;
            return semi - at + 1;
        }
    }
    return 0;
}

// Collects a page's text in the page's own encoding: runs of page bytes, entities (written in
// that encoding) and line breaks, with blanks folded. Nothing is decoded here: a search compares
// bytes, and only the few characters shown are decoded.
class TextSink {
  public:
    TextSink(Charset charset, bool entities, std::size_t expected = 0)
        : m_charset(charset), m_entities(entities) {
        m_out.reserve(expected);
    }

    // Ends a line: the next text starts after one space.
    void lineBreak() { m_space = m_any; }

    void text(std::string_view run) {
        std::size_t i = 0;
        while (i < run.size()) {
            const char c = run[i];
            if (isBlank(c)) {
                m_space = m_any;
                ++i;
                continue;
            }
            if (c == '&' && m_entities) {
                char32_t cp = 0;
                if (const std::size_t len = decodeEntity(run, i, cp)) {
                    character(cp);
                    i += len;
                    continue;
                }
            }
            // A no-break space of a UTF-8 page is a blank too.
            if (m_charset == Charset::Utf8 && c == '\xC2' && i + 1 < run.size() &&
                run[i + 1] == '\xA0') {
                m_space = m_any;
                i += 2;
                continue;
            }
            // The longest run of plain characters goes in at once.
            std::size_t end = i + 1;
            const bool utf8 = m_charset == Charset::Utf8;
            while (end < run.size()) {
                // Blanks are all below '!'; a no-break space starts with C2.
                if (end + 8 <= run.size()) {
                    const std::uint64_t word = load8(run.data() + end);
                    if (!anyByteBelow(word, '!') && !anyByteIs(word, '&') &&
                        !(utf8 && anyByteIs(word, 0xC2))) {
                        end += 8;
                        continue;
                    }
                }
                const char c = run[end];
                if (isBlank(c) || c == '&' || (utf8 && c == '\xC2'))
                    break;
                ++end;
            }
            putSpace();
            m_out.append(run.substr(i, end - i));
            m_any = true;
            i = end;
        }
    }

    std::string finish() { return std::move(m_out); }

  private:
    void character(char32_t cp) {
        if (cp == 0xA0 || cp == U' ' || cp == U'\t' || cp == U'\n' || cp == U'\r') {
            m_space = m_any;
            return;
        }
        putSpace();
        std::string utf8;
        appendUtf8(utf8, cp);
        m_out += m_charset == Charset::Ansi ? toAnsi(utf8) : utf8;
        m_any = true;
    }
    void putSpace() {
        if (m_space)
            m_out += ' ';
        m_space = false;
    }

    Charset m_charset;
    bool m_entities;
    std::string m_out;    // in the page's encoding
    bool m_any = false;   // some text came already
    bool m_space = false; // a blank is due before the next text
};

// A tag name of up to eight letters as one number, so a name is compared in one step.
constexpr std::uint64_t tagKey(std::string_view name) {
    std::uint64_t key = 0;
    for (char c : name)
        key = key << 8 | static_cast<unsigned char>(c);
    return name.size() <= 8 ? key : ~std::uint64_t{0};
}

// Tags that do not break the line: text on both sides of them reads as one.
bool isInlineTag(std::string_view name) {
    // Sorted, so a lookup takes a few steps: it runs for every tag of every page.
    static constexpr auto Inline = [] {
        std::array<std::uint64_t, 39> keys{
            tagKey("a"),      tagKey("abbr"),   tagKey("acronym"), tagKey("b"),     tagKey("bdi"),
            tagKey("bdo"),    tagKey("big"),    tagKey("cite"),    tagKey("code"),  tagKey("data"),
            tagKey("del"),    tagKey("dfn"),    tagKey("em"),      tagKey("font"),  tagKey("i"),
            tagKey("img"),    tagKey("ins"),    tagKey("kbd"),     tagKey("label"), tagKey("mark"),
            tagKey("nobr"),   tagKey("q"),      tagKey("rb"),      tagKey("rp"),    tagKey("rt"),
            tagKey("ruby"),   tagKey("s"),      tagKey("samp"),    tagKey("small"), tagKey("span"),
            tagKey("strike"), tagKey("strong"), tagKey("sub"),     tagKey("sup"),   tagKey("tt"),
            tagKey("u"),      tagKey("var"),    tagKey("wbr"),     tagKey("time")};
        std::sort(keys.begin(), keys.end());
        return keys;
    }();
    return std::binary_search(Inline.begin(), Inline.end(), tagKey(name));
}

// Elements whose content is never shown as text.
bool isHiddenContent(std::string_view name) {
    return name == "script" || name == "style" || name == "template" || name == "noscript";
}

// Where the tag opened at text[at] == '<' ends: the index of its ">", quotes respected;
// text.size() when it never ends.
std::size_t tagEnd(std::string_view text, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            // A quote opens a value only after "=" (a stray one in a tag is part of a name).
            std::size_t k = i;
            while (k > at + 1 && isBlank(text[k - 1]))
                --k;
            if (text[k - 1] == '=')
                quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return text.size();
}

// Where the element `name` closes ("</name" in any case) at or after `from`; npos if never.
std::size_t closingTag(std::string_view text, std::size_t from, std::string_view name) {
    for (std::size_t at = text.find("</", from); at != std::string_view::npos;
         at = text.find("</", at + 2)) {
        if (equalsNoCase(text, at + 2, name)) {
            const std::size_t after = at + 2 + name.size();
            if (after >= text.size() || !isAsciiLetter(text[after]))
                return at;
        }
    }
    return std::string_view::npos;
}

void extractMarkup(std::string_view page, TextSink& body, TextSink& title) {
    std::size_t i = 0;
    const std::size_t n = page.size();
    bool haveTitle = false;
    while (i < n) {
        const std::size_t lt = page.find('<', i);
        if (lt == std::string_view::npos) {
            body.text(page.substr(i));
            break;
        }
        if (lt > i)
            body.text(page.substr(i, lt - i));
        i = lt;
        const char next = lt + 1 < n ? page[lt + 1] : '\0';
        if (next == '!' && page.compare(lt, 4, "<!--") == 0) {
            const std::size_t end = page.find("-->", lt + 4);
            i = end == std::string_view::npos ? n : end + 3;
            continue;
        }
        if (next == '!' || next == '?') {
            const std::size_t end = page.find('>', lt);
            i = end == std::string_view::npos ? n : end + 1;
            continue;
        }
        const bool closing = next == '/';
        const std::size_t nameAt = lt + (closing ? 2 : 1);
        if (nameAt >= n || !isAsciiLetter(page[nameAt])) {
            // "a < b": the "<" is text.
            body.text(page.substr(lt, 1));
            i = lt + 1;
            continue;
        }
        std::string name;
        for (std::size_t k = nameAt;
             k < n && (isAsciiLetter(page[k]) || isAsciiDigit(page[k])) && name.size() < 16; ++k)
            name += asciiLower(page[k]);
        const std::size_t end = tagEnd(page, lt);
        i = end == n ? n : end + 1;
        if (closing) {
            if (!isInlineTag(name))
                body.lineBreak();
            continue;
        }
        if (isHiddenContent(name) || name == "title") {
            const std::size_t close = closingTag(page, i, name);
            const std::size_t contentEnd = close == std::string_view::npos ? n : close;
            if (name == "title" && !haveTitle) {
                title.text(page.substr(i, contentEnd - i));
                haveTitle = true;
            }
            i = contentEnd == n ? n : std::min(n, tagEnd(page, contentEnd) + 1);
            body.lineBreak();
            continue;
        }
        if (!isInlineTag(name))
            body.lineBreak();
    }
}

// The case-free form of one character whose UTF-8 form has the same length, or the character
// itself. Latin, Greek and Cyrillic letters and full-width Latin letters fold; nothing else does.
char32_t foldChar(char32_t cp) {
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 0x20 : cp;
    if (cp >= 0xFF21 && cp <= 0xFF3A)
        return cp + 0x20;
    if (cp < 0xC0 || cp >= 0x530)
        return cp;
    const char32_t upper = toUpperChar(cp);
    return (upper >= 0x80 && upper < 0x800) ? upper : cp;
}

// Bytes of the CP936 character at p[i]: a lead byte with a trail byte after it makes two.
// Every walk over CP936 text steps with this, so all of them agree where characters start.
std::size_t ansiCharLength(const unsigned char* p, std::size_t i, std::size_t n) {
    return (p[i] >= 0x81 && p[i] <= 0xFE && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] != 0x7F &&
            p[i + 1] != 0xFF)
               ? 2
               : 1;
}

// Folds UTF-8 text in place, byte lengths kept; onChange(offset, length) is called before a
// character changes. Only ASCII, two-byte sequences and the full-width letters can change.
template <class OnChange> void foldUtf8(std::string& text, OnChange onChange) {
    auto* p = reinterpret_cast<unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z') {
                onChange(i, 1);
                p[i] = static_cast<unsigned char>(c + 0x20);
            }
            ++i;
        } else if (c >= 0xC3 && c <= 0xD4 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
            const char32_t cp = (char32_t{c & 0x1Fu} << 6) | (p[i + 1] & 0x3Fu);
            const char32_t folded = foldChar(cp);
            if (folded != cp) {
                onChange(i, 2);
                p[i] = static_cast<unsigned char>(0xC0 | (folded >> 6));
                p[i + 1] = static_cast<unsigned char>(0x80 | (folded & 0x3F));
            }
            i += 2;
        } else if (c == 0xEF && i + 2 < n && p[i + 1] == 0xBC && p[i + 2] >= 0xA1 &&
                   p[i + 2] <= 0xBA) {
            // Full-width A..Z (U+FF21..FF3A) -> a..z (U+FF41..FF5A).
            onChange(i, 3);
            p[i + 1] = 0xBD;
            p[i + 2] = static_cast<unsigned char>(0x81 + (p[i + 2] - 0xA1));
            i += 3;
        } else {
            ++i;
        }
    }
}

// The same for CP936 text: ASCII letters, and the code page's full-width Latin (A3C1..A3DA),
// Greek (A6A1..A6B8) and Cyrillic (A7A1..A7C1) capitals, which fold to their small letters.
template <class OnChange> void foldAnsi(std::string& text, OnChange onChange) {
    auto* p = reinterpret_cast<unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        // Eight bytes all in 81..FE are four two-byte characters; none of them folds unless
        // one of them starts with A3, A6 or A7. The first bytes are the even ones: the odd
        // ones are set to FF to be left out of that test.
        if (i + 8 <= n) {
            const std::uint64_t word = load8(p + i);
            const std::uint64_t leads = (word & FirstOfPairs) | ~FirstOfPairs;
            if ((word & HighBits) == HighBits && !anyByteIs(word, 0x80) && !anyByteIs(word, 0xFF) &&
                !anyByteIs(leads, 0xA3) && !anyByteIs(leads, 0xA6) && !anyByteIs(leads, 0xA7)) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        const std::size_t len = ansiCharLength(p, i, n);
        if (len == 1) {
            if (c >= 'A' && c <= 'Z') {
                onChange(i, 1);
                p[i] = static_cast<unsigned char>(c + 0x20);
            }
        } else {
            const unsigned char t = p[i + 1];
            int shift = 0;
            if ((c == 0xA3 && t >= 0xC1 && t <= 0xDA) || (c == 0xA6 && t >= 0xA1 && t <= 0xB8))
                shift = 0x20;
            else if (c == 0xA7 && t >= 0xA1 && t <= 0xC1)
                shift = 0x30;
            if (shift) {
                onChange(i, 2);
                p[i + 1] = static_cast<unsigned char>(t + shift);
            }
        }
        i += len;
    }
}

void foldText(std::string& text, Charset charset) {
    auto ignore = [](std::size_t, std::size_t) {};
    if (charset == Charset::Ansi)
        foldAnsi(text, ignore);
    else
        foldUtf8(text, ignore);
}

std::string decodeText(std::string_view text, Charset charset) {
    return charset == Charset::Ansi ? fromAnsi(text) : std::string(text);
}

struct NativeText {
    Charset charset = Charset::Utf8;
    std::string title; // UTF-8
    std::string text;  // in the page's encoding
};

NativeText extractNative(std::span<const std::uint8_t> bytes, bool markup) {
    std::string_view page(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    NativeText out;
    const DetectedEncoding found = detectEncoding(page, markup);
    std::string widened; // a UTF-16 page, searched as UTF-8
    if (found.encoding == TextEncoding::Utf16LE || found.encoding == TextEncoding::Utf16BE) {
        widened = decodeToUtf8(page, markup);
        page = widened;
    } else {
        page.remove_prefix(found.bomLength);
    }
    out.charset = found.encoding == TextEncoding::Ansi ? Charset::Ansi : Charset::Utf8;
    // Text is usually well under half of a page's bytes.
    TextSink body(out.charset, markup, page.size() / 2);
    TextSink title(out.charset, true);
    if (markup)
        extractMarkup(page, body, title);
    else
        body.text(page);
    out.title = decodeText(title.finish(), out.charset);
    out.text = body.finish();
    return out;
}

bool endsWithNoCase(std::string_view text, std::string_view lowerSuffix) {
    return text.size() >= lowerSuffix.size() &&
           equalsNoCase(text, text.size() - lowerSuffix.size(), lowerSuffix);
}

enum class PageKind { None, Markup, Plain };

PageKind pageKind(std::string_view name) {
    for (std::string_view ext : {".htm", ".html", ".xhtml", ".xht", ".shtml"})
        if (endsWithNoCase(name, ext))
            return PageKind::Markup;
    return endsWithNoCase(name, ".txt") ? PageKind::Plain : PageKind::None;
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Whether a character of CP936 text starts at `at`, given that one starts at `known` <= at.
// A byte that cannot be a lead byte ends a character, so the characters after it pair up the
// lead-range bytes (0x81..0xFE) that follow: `at` starts one when an even number of them lie
// before it. Only the bytes back to `known` or to such a byte are read.
bool ansiCharStart(std::string_view text, std::size_t at, std::size_t known) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    // A byte that cannot be a trail byte starts a character wherever it is.
    if (p[at] < 0x40 || p[at] == 0x7F || p[at] == 0xFF)
        return true;
    std::size_t i = at;
    while (i > known && p[i - 1] >= 0x81 && p[i - 1] <= 0xFE)
        --i;
    return (at - i) % 2 == 0;
}

// Where `needle` first occurs in `hay` at or after `from`, or null. A short needle is found by its
// first byte (memchr runs many bytes a step) and checked; a longer one by a search that skips:
// the C library's memmem where it has one (glibc's is much faster), else the standard searcher.
const char* findBytes(std::string_view hay, std::size_t from, std::string_view needle) {
    if (needle.size() > 4) {
#if defined(__GLIBC__)
        return static_cast<const char*>(
            ::memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size()));
#else
        const auto found =
            std::search(hay.begin() + static_cast<std::ptrdiff_t>(from), hay.end(),
                        std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
        return found == hay.end() ? nullptr : &*found;
#endif
    }
    const char* end = hay.data() + hay.size();
    for (const char* p = hay.data() + from;; ++p) {
        if (end - p < static_cast<std::ptrdiff_t>(needle.size()))
            return nullptr;
        p = static_cast<const char*>(std::memchr(p, needle[0], static_cast<std::size_t>(end - p)));
        if (!p || end - p < static_cast<std::ptrdiff_t>(needle.size()))
            return nullptr;
        std::size_t k = 1;
        while (k < needle.size() && p[k] == needle[k])
            ++k;
        if (k == needle.size())
            return p;
    }
}

// Character starts of `text` from `from` on, one at a time.
class CharWalk {
  public:
    CharWalk(std::string_view text, bool ansi)
        : m_p(reinterpret_cast<const unsigned char*>(text.data())), m_n(text.size()), m_ansi(ansi) {
    }
    std::size_t next(std::size_t i) const {
        if (m_ansi)
            return i + ansiCharLength(m_p, i, m_n);
        ++i;
        while (i < m_n && isContinuation(m_p[i]))
            ++i;
        return i;
    }

  private:
    const unsigned char* m_p;
    std::size_t m_n;
    bool m_ansi;
};

} // namespace

PageText ExtractPageText(std::span<const std::uint8_t> bytes, bool markup) {
    NativeText t = extractNative(bytes, markup);
    return PageText{std::move(t.title), decodeText(t.text, t.charset)};
}

// A page to index: its bytes in the book, or the file holding them.
struct BookSearch::Source {
    std::string name;
    std::span<const std::uint8_t> bytes;
    std::string file; // set for a page of a folder
    PageKind kind;
};

BookSearch::BookSearch(const book::BookImage& book) : m_book(&book) {}

#ifndef _WIN32
BookSearch::BookSearch(std::filesystem::path folder) : m_folder(folder.string()) {}
#endif

bool BookSearch::indexed() const {
    std::lock_guard lock(m_mutex);
    return m_indexed;
}

void BookSearch::cancel() {
    m_cancelled = true;
}

bool BookSearch::cancelled() const {
    return m_cancelled;
}

std::size_t BookSearch::pageCount() {
    std::lock_guard lock(m_mutex);
    buildIndexLocked();
    return m_pages.size();
}

void BookSearch::buildIndex() {
    std::lock_guard lock(m_mutex);
    buildIndexLocked();
}

std::vector<BookSearch::Source> BookSearch::bookSources() const {
    // The pages a reader opens: of a name stored more than once (other languages, names that
    // differ in case) the copy the lookup finds.
    std::vector<Source> sources;
    std::string previousFolded;
    for (const pe::Resource& r : m_book->image().resources()) {
        if (r.type.isString || r.type.id != book::PageType || !r.name.isString)
            continue;
        const std::string name = utf16ToUtf8(r.name.name);
        const PageKind kind = pageKind(name);
        if (kind == PageKind::None)
            continue;
        std::string folded = toUpperUnicode(name);
        if (folded == previousFolded)
            continue;
        previousFolded = std::move(folded);
        if (const auto bytes = m_book->find(name))
            sources.push_back(Source{name, *bytes, {}, kind});
    }
    return sources;
}

std::vector<BookSearch::Source> BookSearch::folderSources() const {
    std::vector<Source> sources;
#ifdef _WIN32
    // The Windows reader searches its own book only. Listing folders would link the standard
    // library's file system and locale code into the reader template, which every book carries.
    return sources;
#else
    namespace fs = std::filesystem;
    std::error_code ec;
    // A folder that went away or a part that cannot be listed leaves fewer pages, no failure:
    // the folder is what the reader has kept so far.
    const fs::path folder(m_folder);
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end && !m_cancelled;
         it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.filename().string().starts_with('.')) {
            if (it->is_directory(ec))
                it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(ec))
            continue;
        std::string name = path.lexically_relative(folder).generic_string();
        const PageKind kind = pageKind(name);
        if (kind != PageKind::None && !name.empty())
            sources.push_back(Source{std::move(name), {}, path.string(), kind});
    }
    std::sort(sources.begin(), sources.end(),
              [](const Source& a, const Source& b) { return a.name < b.name; });
    return sources;
#endif
}

void BookSearch::buildIndexLocked() {
    if (m_indexed || m_cancelled)
        return;
    const std::vector<Source> sources = m_book ? bookSources() : folderSources();
    if (m_book)
        m_book->readAhead();

    std::vector<Page> pages(sources.size());
    auto work = [&](std::size_t first, std::size_t step) {
        for (std::size_t k = first; k < sources.size() && !m_cancelled; k += step) {
            const Source& s = sources[k];
            std::span<const std::uint8_t> bytes = s.bytes;
            Bytes fileBytes;
            if (!s.file.empty()) {
                auto r = readFileBytes(s.file);
                if (!r)
                    continue; // no page: its entry keeps an empty name
                fileBytes = std::move(*r);
                bytes = fileBytes;
            }
            NativeText text = extractNative(bytes, s.kind == PageKind::Markup);
            Page& page = pages[k];
            page.name = s.name;
            page.title = text.title.empty() ? s.name : std::move(text.title);
            page.ansi = text.charset == Charset::Ansi;
            page.folded = std::move(text.text);
            auto keep = [&page](std::size_t at, std::size_t length) {
                CaseMark m{static_cast<std::uint32_t>(at), static_cast<std::uint8_t>(length), {}};
                std::memcpy(m.bytes, page.folded.data() + at, length);
                page.marks.push_back(m);
            };
            if (page.ansi)
                foldAnsi(page.folded, keep);
            else
                foldUtf8(page.folded, keep);
            page.folded.shrink_to_fit();
            page.marks.shrink_to_fit();
        }
    };
    // Pages are independent: extract them on every core, once there are enough of them.
    runInParts(sources.size() < 64 ? 1 : 8, work);
    // A build cut short is no index: the next one (if any) starts over.
    if (m_cancelled)
        return;
    m_pages.clear();
    m_pages.reserve(pages.size());
    for (Page& page : pages)
        if (!page.name.empty())
            m_pages.push_back(std::move(page));
    m_indexed = true;
}

std::string BookSearch::snippetOf(const Page& page, std::size_t at, std::size_t length,
                                  SearchHit& hit) const {
    const std::string& text = page.folded;
    const CharWalk walk(text, page.ansi);
    // Up to SnippetContext character starts before the match. CP936 cannot be walked
    // backwards, so the walk goes forward from the start of the text, keeping the last ones.
    std::size_t begin = at;
    if (page.ansi) {
        std::array<std::size_t, SnippetContext + 1> ring{};
        std::size_t seen = 0;
        for (std::size_t i = 0; i < at; i = walk.next(i))
            ring[seen++ % ring.size()] = i;
        begin = seen == 0 ? at : ring[(seen - std::min(seen, SnippetContext)) % ring.size()];
    } else {
        for (std::size_t chars = 0; begin > 0 && chars < SnippetContext; ++chars) {
            --begin;
            while (begin > 0 && isContinuation(static_cast<unsigned char>(text[begin])))
                --begin;
        }
    }
    std::size_t end = at + length;
    for (std::size_t chars = 0; end < text.size() && chars < SnippetContext; ++chars)
        end = walk.next(end);

    // The letters as the page has them.
    std::string piece = text.substr(begin, end - begin);
    auto mark =
        std::lower_bound(page.marks.begin(), page.marks.end(), begin,
                         [](const CaseMark& m, std::size_t offset) { return m.offset < offset; });
    for (; mark != page.marks.end() && mark->offset < end; ++mark)
        std::memcpy(piece.data() + (mark->offset - begin), mark->bytes,
                    std::min<std::size_t>(mark->length, end - mark->offset));

    const Charset charset = page.ansi ? Charset::Ansi : Charset::Utf8;
    const std::string_view raw(piece);
    std::string before = decodeText(raw.substr(0, at - begin), charset);
    const std::string match = decodeText(raw.substr(at - begin, length), charset);
    std::string after = decodeText(raw.substr(at - begin + length), charset);
    // Blanks at a cut end go; "…" tells that the text goes on.
    if (begin > 0) {
        const std::size_t lead = before.find_first_not_of(' ');
        before = "…" + (lead == std::string::npos ? std::string() : before.substr(lead));
    }
    if (end < text.size()) {
        while (!after.empty() && after.back() == ' ')
            after.pop_back();
        after += "…";
    }
    hit.snippetMatch = before.size();
    hit.snippetLength = match.size();
    return before + match + after;
}

std::vector<SearchHit> BookSearch::find(std::string_view text) {
    // The text in each encoding the pages use, folded as they are.
    TextSink sink(Charset::Utf8, false);
    sink.text(text);
    std::string utf8 = sink.finish();
    std::vector<SearchHit> hits;
    if (utf8.empty())
        return hits;
    std::string ansi = toAnsi(utf8);
    // A text CP936 cannot write is on no CP936 page.
    const bool ansiPossible = fromAnsi(ansi) == utf8;
    foldText(utf8, Charset::Utf8);
    foldText(ansi, Charset::Ansi);

    std::lock_guard lock(m_mutex);
    buildIndexLocked();
    if (m_cancelled)
        return hits;
    for (const Page& page : m_pages) {
        if (page.ansi && !ansiPossible)
            continue;
        const std::string& needle = page.ansi ? ansi : utf8;
        const std::string& hay = page.folded;
        std::size_t count = 0, first = 0, from = 0;
        std::size_t known = 0; // a character start at or before the next match
        while (from + needle.size() <= hay.size()) {
            const char* found = findBytes(hay, from, needle);
            if (!found)
                break;
            const auto at = static_cast<std::size_t>(found - hay.data());
            // In CP936 the bytes may start inside a character (a trail byte and the next lead
            // byte): only a match at a character start counts.
            if (page.ansi && !ansiCharStart(hay, at, known)) {
                from = at + 1;
                continue;
            }
            if (count++ == 0)
                first = at;
            from = known = at + needle.size();
        }
        if (count == 0)
            continue;
        SearchHit hit;
        hit.name = page.name;
        hit.title = page.title;
        hit.count = count;
        hit.snippet = snippetOf(page, first, needle.size(), hit);
        hits.push_back(std::move(hit));
    }
    return hits;
}

} // namespace folio::reader
