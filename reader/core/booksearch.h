// Whole-book search: the visible text of every page of an open Book image, searched at once.
#pragma once

#include "core/book.h"
#include "core/threads.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

// What a reader shows of one page: the text of its <title> and the text of the page itself,
// both UTF-8 with every run of blanks folded into one space and trimmed.
struct PageText {
    std::string title;
    std::string text;
};

// The visible text of a page held as bytes, read in the encoding detectEncoding (core/text.h)
// finds: its byte-order mark, its declared charset, else UTF-8 when valid, else CP936. Tags,
// attributes, comments, scripts, styles and the title are left out of `text`; entities are decoded;
// tags that break a line (paragraphs, cells, <br>, ...) leave one space, inline ones (<b>, <span>,
// <a>, ...) none, so a word split by inline markup is still found. With `markup` false the bytes
// are plain text.
PageText ExtractPageText(std::span<const std::uint8_t> bytes, bool markup = true);

// One page holding the text searched for.
struct SearchHit {
    std::string name;              // the page's resource name, as stored
    std::string title;             // its <title>, or its name when it has none
    std::size_t count = 0;         // matches on the page (not overlapping)
    std::string snippet;           // the text around the first match ("…" where it was cut)
    std::size_t snippetMatch = 0;  // byte offset of the match in `snippet`
    std::size_t snippetLength = 0; // byte length of the match in `snippet`
};

// Searches the pages of one open book, or of a folder of page files. The pages' text is
// extracted once, the first time it is needed, and kept; every search after that reads only the
// kept text. Latin letters match without regard to case (ASCII, accented Latin, Greek, Cyrillic
// and full-width letters); every other character, Chinese included, matches itself, with no word
// breaks needed. The book must outlive this object. find() may be called from any thread; calls
// run one after another.
class BookSearch {
  public:
    // Characters of context kept on each side of the first match.
    static constexpr std::size_t SnippetContext = 40;

    explicit BookSearch(const book::BookImage& book);
    // The page files (.htm, .html, .txt, ...) in `folder` and its subfolders, hidden ones left
    // out, each named by its path relative to the folder with "/" between the parts, in name
    // order. The files are read when the index is built; one that cannot be read is no page.
#ifndef _WIN32 // the Windows reader searches its own book only
    explicit BookSearch(std::filesystem::path folder);
#endif

    // Every page holding `text` (blanks in it folded like the pages'), in the book's page order.
    // Empty text finds nothing.
    std::vector<SearchHit> find(std::string_view text);

    // Extracts every page's text now (find() does it on first use).
    void buildIndex();
    bool indexed() const;

    // Stops an index build under way as soon as each worker ends its page, and every build and
    // search after it: they find nothing. For a reader closing while its book is being indexed.
    void cancel();
    bool cancelled() const;

    // Pages searched: the book's HTML and text pages (pictures, sounds and styles are not).
    std::size_t pageCount();

  private:
    // A letter whose case the search ignores, its bytes as the page has them.
    struct CaseMark {
        std::uint32_t offset; // in Page::folded
        std::uint8_t length;
        char bytes[3];
    };
    struct Page {
        std::string name;
        std::string title; // UTF-8
        bool ansi = false; // the text is CP936 (as the page), else UTF-8
        // The text in the page's own encoding with its letters folded (same byte length):
        // searching compares bytes, and only the snippets are decoded.
        std::string folded;
        std::vector<CaseMark> marks;
    };
    struct Source;
    std::vector<Source> bookSources() const;
    std::vector<Source> folderSources() const;
    void buildIndexLocked();
    std::string snippetOf(const Page& page, std::size_t at, std::size_t length,
                          SearchHit& hit) const;

    const book::BookImage* m_book = nullptr;
    // When the pages are files. Kept as text: a path member would bring the standard library's
    // file system code into the Windows reader, which searches no folder.
    std::string m_folder;
    std::atomic<bool> m_cancelled{false};
    mutable Mutex m_mutex;
    bool m_indexed = false;
    std::vector<Page> m_pages;
};

} // namespace folio::reader
