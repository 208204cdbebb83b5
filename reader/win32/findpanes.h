// The reading window's two finders on Windows: the find bar under the page pane (the text,
// previous, next, the count, "未找到") and the search panel over the contents pane, which lists
// every page of the book holding a text. Both draw and forward: the finding is reader/core's.
#pragma once

#include "reader/core/booksearch.h"
#include "reader/core/pagefind.h"
#include "reader/win32/companions.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace folio::win32 {

// Control ids of the finders (the test program looks them up by these).
enum FinderId : int {
    IdFindBar = 140,
    IdFindLabel = 141,
    IdFindText = 142,
    IdFindPrevious = 143,
    IdFindNext = 144,
    IdFindClose = 145,
    IdFindStatus = 146,
    IdSearchPanel = 150,
    IdSearchText = 151,
    IdSearchButton = 152,
    IdSearchClose = 153,
    IdSearchResults = 154,
    IdSearchStatus = 155,
};

class FindBar {
  public:
    // Runs a script in the page shown and gives the text it left in the answer property.
    using Evaluate = std::function<std::optional<std::wstring>(const std::wstring& script)>;
    // Called when the bar is shown or hidden, so the window gives the page its new height.
    using Changed = std::function<void()>;

    FindBar(HWND parent, HFONT font, Evaluate evaluate, Changed changed);
    ~FindBar();
    FindBar(const FindBar&) = delete;
    FindBar& operator=(const FindBar&) = delete;

    // Shows the bar with its text selected, ready for typing.
    void open();
    // Hides it and takes the marks off the page; false when it was not open.
    bool close();
    // The next or previous match of the box's text; the bar opens when the box is empty.
    void step(reader::FindMove move);
    // The text of a search panel's result, marked in a page just opened.
    void markAll(const std::wstring& text);

    bool visible() const;
    int height() const;
    void setBounds(const RECT& r);
    HWND hwnd() const { return m_hwnd; }
    HWND edit() const { return m_text; }
    // The reading theme's colours ("#rrggbb"; empty: the system's own) for the results.
    void setTheme(std::string_view foreground, std::string_view background);
    std::wstring status() const;

  private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void retranslate();
    void show(const std::optional<std::wstring>& answer);

    HWND m_hwnd = nullptr;
    HWND m_label = nullptr, m_text = nullptr, m_previous = nullptr, m_next = nullptr,
         m_close = nullptr, m_status = nullptr;
    Evaluate m_evaluate;
    Changed m_changed;
    std::wstring m_searched; // the text the marks in the page are of
};

class SearchPanel {
  public:
    // A result was chosen: the page's resource name and the text searched for.
    using Chosen = std::function<void(const std::string& name, const std::wstring& text)>;

    SearchPanel(HWND parent, HFONT font, Chosen chosen);
    ~SearchPanel();
    SearchPanel(const SearchPanel&) = delete;
    SearchPanel& operator=(const SearchPanel&) = delete;

    // The book searched: the Book image at `path` (UTF-8), opened at the first search.
    void setBook(std::string path);
    // Shows the panel with its text box focused and selected.
    void activate();
    void hide();
    bool visible() const;
    // Searches the book for the text box's text and lists the pages holding it.
    void search();
    // Over the lower part of the contents pane's rectangle, leaving the contents above it.
    void placeIn(const RECT& contentsPane);
    HWND hwnd() const { return m_hwnd; }
    HWND edit() const { return m_text; }
    // The reading theme's colours ("#rrggbb"; empty: the system's own) for the results.
    void setTheme(std::string_view foreground, std::string_view background);

  private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void retranslate();
    void layout();
    void choose();

    HWND m_hwnd = nullptr;
    HWND m_text = nullptr, m_button = nullptr, m_close = nullptr, m_list = nullptr,
         m_status = nullptr;
    Chosen m_chosen;
    std::string m_path;
    std::unique_ptr<book::BookImage> m_book;
    std::unique_ptr<reader::BookSearch> m_search;
    std::vector<reader::SearchHit> m_hits;
    std::wstring m_searched;
    ThemePaint m_theme;
};

} // namespace folio::win32
