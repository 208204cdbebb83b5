// The find bar and the search panel of the Windows reading window (see findpanes.h).
// The book contract first: <windows.h> defines RT_ICON and its kin as macros.
#include "core/book.h"

#include "reader/win32/findpanes.h"

#include "reader/win32/companions.h"
#include "reader/win32/language.h"

#include <commctrl.h>

#include <algorithm>

namespace folio::win32 {
namespace {

constexpr const wchar_t* FindBarClass = L"FolioFindBar";
constexpr const wchar_t* SearchPanelClass = L"FolioSearchPanel";
constexpr int BarHeight = 30;

HMENU asMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

void registerClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, HFONT font,
           DWORD exStyle = 0) {
    HWND h = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                             parent, asMenu(id), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

std::wstring text(const reader::ReaderText& t) {
    return wide(readerTexts()(t));
}

int textWidth(HWND h) {
    const std::wstring s = windowText(h);
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return static_cast<int>(size.cx) + 16;
}

template <typename T> T* self(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

} // namespace

// ---- the find bar ------------------------------------------------------------------------

FindBar::FindBar(HWND parent, HFONT font, Evaluate evaluate, Changed changed)
    : m_evaluate(std::move(evaluate)), m_changed(std::move(changed)) {
    registerClass(FindBarClass, &FindBar::proc);
    m_hwnd =
        CreateWindowExW(0, FindBarClass, L"FindBar", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 10,
                        BarHeight, parent, asMenu(IdFindBar), GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_label = child(m_hwnd, L"STATIC", L"", SS_RIGHT | SS_CENTERIMAGE, IdFindLabel, font);
    m_text = child(m_hwnd, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, IdFindText, font,
                   WS_EX_CLIENTEDGE);
    m_previous = child(m_hwnd, L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP, IdFindPrevious, font);
    m_next = child(m_hwnd, L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP, IdFindNext, font);
    m_close = child(m_hwnd, L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP, IdFindClose, font);
    m_status = child(m_hwnd, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE, IdFindStatus, font);
    retranslate();
}

FindBar::~FindBar() {
    if (m_hwnd && IsWindow(m_hwnd)) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
}

void FindBar::retranslate() {
    SetWindowTextW(m_label, text(reader::FindLabel).c_str());
    SetWindowTextW(m_previous, text(reader::FindPreviousText).c_str());
    SetWindowTextW(m_next, text(reader::FindNextText).c_str());
    SetWindowTextW(m_close, text(reader::FindCloseText).c_str());
}

bool FindBar::visible() const {
    return IsWindowVisible(m_hwnd) != FALSE;
}

int FindBar::height() const {
    return visible() ? BarHeight : 0;
}

void FindBar::setBounds(const RECT& r) {
    MoveWindow(m_hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    const int h = r.bottom - r.top - 6;
    int x = 4;
    auto place = [&](HWND c, int w) {
        MoveWindow(c, x, 3, w, h, TRUE);
        x += w + 4;
    };
    place(m_label, textWidth(m_label));
    place(m_text, 200);
    place(m_previous, textWidth(m_previous) + 8);
    place(m_next, textWidth(m_next) + 8);
    place(m_close, textWidth(m_close) + 8);
    place(m_status, std::max(120, static_cast<int>(r.right - r.left) - x - 4));
}

void FindBar::open() {
    if (!visible()) {
        retranslate(); // the language may have changed since
        ShowWindow(m_hwnd, SW_SHOW);
        if (m_changed)
            m_changed();
    }
    SetFocus(m_text);
    SendMessageW(m_text, EM_SETSEL, 0, -1);
}

bool FindBar::close() {
    if (!visible())
        return false;
    if (m_evaluate && !m_searched.empty())
        m_evaluate(wide(reader::findInPageScript("", reader::FindMove::Clear)));
    m_searched.clear();
    SetWindowTextW(m_status, L"");
    ShowWindow(m_hwnd, SW_HIDE);
    if (m_changed)
        m_changed();
    return true;
}

void FindBar::step(reader::FindMove move) {
    const std::wstring wanted = windowText(m_text);
    if (wanted.empty()) {
        open();
        return;
    }
    // A new text starts at its first match (its last, going back), whatever was current.
    if (wanted != m_searched && move != reader::FindMove::Previous)
        move = reader::FindMove::First;
    m_searched = wanted;
    show(m_evaluate ? m_evaluate(wide(reader::findInPageScript(utf8(wanted), move)))
                    : std::nullopt);
}

void FindBar::markAll(const std::wstring& wanted) {
    SetWindowTextW(m_text, wanted.c_str());
    m_searched = wanted;
    const auto answer =
        m_evaluate
            ? m_evaluate(wide(reader::findInPageScript(utf8(wanted), reader::FindMove::First)))
            : std::nullopt;
    if (visible())
        show(answer);
}

void FindBar::show(const std::optional<std::wstring>& answer) {
    // A pane without a document (no browser engine) gave no answer: it says nothing rather
    // than "not found" of a page it could not search.
    if (!answer) {
        SetWindowTextW(m_status, L"");
        return;
    }
    const auto [active, count] = reader::parseFindResult(utf8(*answer));
    SetWindowTextW(m_status, wide(reader::findStatusText(active, count, readerTexts())).c_str());
}

std::wstring FindBar::status() const {
    return windowText(m_status);
}

LRESULT CALLBACK FindBar::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    FindBar* bar = self<FindBar>(hwnd);
    if (bar && msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        switch (LOWORD(wp)) {
        case IdFindPrevious:
            bar->step(reader::FindMove::Previous);
            return 0;
        case IdFindNext:
            bar->step(reader::FindMove::Next);
            return 0;
        case IdFindClose:
            bar->close();
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- the search panel ----------------------------------------------------------------------

SearchPanel::SearchPanel(HWND parent, HFONT font, Chosen chosen) : m_chosen(std::move(chosen)) {
    registerClass(SearchPanelClass, &SearchPanel::proc);
    m_hwnd =
        CreateWindowExW(0, SearchPanelClass, L"SearchPanel", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 10,
                        10, parent, asMenu(IdSearchPanel), GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_text = child(m_hwnd, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, IdSearchText, font,
                   WS_EX_CLIENTEDGE);
    m_button = child(m_hwnd, L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP, IdSearchButton, font);
    m_close = child(m_hwnd, L"BUTTON", L"×", BS_PUSHBUTTON | WS_TABSTOP, IdSearchClose, font);
    // A list box: screen readers and other programs read its lines as they are.
    m_list = child(m_hwnd, L"LISTBOX", L"SearchResults",
                   LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, IdSearchResults,
                   font, WS_EX_CLIENTEDGE);
    m_status = child(m_hwnd, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS,
                     IdSearchStatus, font);
    retranslate();
}

SearchPanel::~SearchPanel() {
    if (m_hwnd && IsWindow(m_hwnd)) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
}

void SearchPanel::retranslate() {
    SendMessageW(m_text, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(text(reader::SearchHint).c_str()));
    SetWindowTextW(m_button, text(reader::SearchButtonText).c_str());
}

void SearchPanel::setBook(std::string path) {
    m_path = std::move(path);
    m_search.reset();
    m_book.reset();
    m_hits.clear();
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
}

bool SearchPanel::visible() const {
    return IsWindowVisible(m_hwnd) != FALSE;
}

void SearchPanel::activate() {
    retranslate();
    ShowWindow(m_hwnd, SW_SHOW);
    SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetFocus(m_text);
    SendMessageW(m_text, EM_SETSEL, 0, -1);
}

void SearchPanel::hide() {
    ShowWindow(m_hwnd, SW_HIDE);
}

void SearchPanel::placeIn(const RECT& pane) {
    // The lower 55 % of the contents pane: the contents stay in sight above the results.
    const int height = (pane.bottom - pane.top) * 55 / 100;
    MoveWindow(m_hwnd, pane.left, pane.bottom - height, pane.right - pane.left, height, TRUE);
    layout();
}

void SearchPanel::layout() {
    RECT r;
    GetClientRect(m_hwnd, &r);
    const int row = 24, gap = 3;
    const int closeWidth = 26;
    const int buttonWidth = textWidth(m_button) + 8;
    const int textWidth =
        std::max(20, static_cast<int>(r.right) - buttonWidth - closeWidth - 4 * gap);
    MoveWindow(m_text, gap, gap, textWidth, row, TRUE);
    MoveWindow(m_button, 2 * gap + textWidth, gap, buttonWidth, row, TRUE);
    MoveWindow(m_close, 3 * gap + textWidth + buttonWidth, gap, closeWidth, row, TRUE);
    const int listTop = 2 * gap + row;
    const int listHeight = std::max(0, static_cast<int>(r.bottom) - listTop - row - 2 * gap);
    MoveWindow(m_list, gap, listTop, r.right - 2 * gap, listHeight, TRUE);
    MoveWindow(m_status, gap, listTop + listHeight + gap, r.right - 2 * gap, row, TRUE);
}

void SearchPanel::search() {
    const std::wstring wanted = windowText(m_text);
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    m_hits.clear();
    if (m_path.empty()) {
        SetWindowTextW(m_status, text(reader::SearchNoBook).c_str());
        return;
    }
    if (wanted.find_first_not_of(L" \t\u3000") == std::wstring::npos) {
        SetWindowTextW(m_status, L"");
        return;
    }
    SetWindowTextW(m_status, text(reader::SearchBusy).c_str());
    UpdateWindow(m_status);
    if (!m_search) {
        // The book is read when it is first searched, not at start-up.
        auto opened = book::BookImage::open(m_path);
        if (!opened) {
            SetWindowTextW(m_status, wide(opened.error().message).c_str());
            return;
        }
        m_book = std::move(*opened);
        m_search = std::make_unique<reader::BookSearch>(*m_book);
    }
    // Without threads here the search runs on the window's thread; a big book's first search
    // reads every page once, later ones only the kept text.
    HCURSOR old = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514))); // IDC_WAIT
    m_hits = m_search->find(utf8(wanted));
    SetCursor(old);
    const reader::ReaderTextLookup lookup = readerTexts();
    for (const reader::SearchHit& hit : m_hits) {
        const std::wstring line =
            wide(reader::searchHitHeading(hit, lookup)) + L"  " + wide(hit.snippet);
        SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    // The blanks folded as the search folds them.
    const std::string folded = reader::cleanLinkName(utf8(wanted));
    m_searched = wide(folded);
    SetWindowTextW(m_status, wide(reader::searchStatusText(m_hits, folded, lookup)).c_str());
}

void SearchPanel::choose() {
    const LRESULT index = SendMessageW(m_list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR || static_cast<std::size_t>(index) >= m_hits.size() || !m_chosen)
        return;
    m_chosen(m_hits[static_cast<std::size_t>(index)].name, m_searched);
}

LRESULT CALLBACK SearchPanel::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    SearchPanel* panel = self<SearchPanel>(hwnd);
    if (panel && msg == WM_COMMAND) {
        const int id = LOWORD(wp);
        if (id == IdSearchButton && HIWORD(wp) == BN_CLICKED) {
            panel->search();
            return 0;
        }
        if (id == IdSearchClose && HIWORD(wp) == BN_CLICKED) {
            panel->hide();
            return 0;
        }
        if (id == IdSearchResults && (HIWORD(wp) == LBN_SELCHANGE || HIWORD(wp) == LBN_DBLCLK)) {
            panel->choose();
            return 0;
        }
    }
    if (panel && msg == WM_SIZE)
        panel->layout();
    if (panel && (msg == WM_CTLCOLORLISTBOX || msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC))
        if (HBRUSH brush = panel->m_theme.paint(reinterpret_cast<HDC>(wp)))
            return reinterpret_cast<LRESULT>(brush);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void SearchPanel::setTheme(std::string_view foreground, std::string_view background) {
    m_theme.set(foreground, background);
    InvalidateRect(m_hwnd, nullptr, TRUE);
    for (HWND control : {m_text, m_list, m_status})
        InvalidateRect(control, nullptr, TRUE);
}

} // namespace folio::win32
