// Small Win32 helpers shared by the reader's companion windows: UTF-8/UTF-16 at the call sites,
// the screen's resolution for twip placement, dialogs built in code (the template carries no dialog
// resources), the folder picker and the program's own version.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace folio::win32 {

class WebPane;

// Creates the browser pane of a companion window (full screen, advert). The reading window
// passes WebPane::create; tests pass a plain pane.
using PaneFactory = std::function<std::unique_ptr<WebPane>(HWND parent, const wchar_t* name)>;

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);

// A program folder as the core routines take it: UTF-8, without a trailing separator.
std::string coreFolder(const std::wstring& folder);

// The screen's logical resolution (LOGPIXELSX), read once: what folio::twipsToPixels and
// pixelsToTwips take on this face, so that twips keep their size on a scaled display.
int screenDpi();

// The text of a window or control.
std::wstring windowText(HWND hwnd);

// Creates a child control at a rectangle given in twips, in companionFont().
HWND addControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                int left, int top, int width, int height, DWORD exStyle = 0);

// The font of the companion windows' controls: the system's message font, able to show
// Chinese.
HFONT companionFont();

// Registers a window class of the companion windows once: arrow cursor, `background` a system
// colour index (COLOR_WINDOW ...). True when the class is registered.
bool registerCompanionClass(const wchar_t* name, WNDPROC proc, int background);

// The state object of a companion window, kept in GWLP_USERDATA: taken from CreateWindowExW's
// last argument at WM_NCCREATE and let go at WM_NCDESTROY, where the caller deletes it.
template <class T> T* companionState(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* state = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        return state;
    }
    auto* state = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return state;
}

// Resizes a window so that its client area is width x height twips, keeping its position.
void setClientTwips(HWND hwnd, int width, int height);

// Centres a window over its owner (or the screen).
void centreOnOwner(HWND hwnd);

// Runs a modal dialog with an empty in-memory template: `proc` creates the controls on
// WM_INITDIALOG. `param` reaches WM_INITDIALOG as lParam. Returns EndDialog's result, -1 when
// the dialog could not be created.
INT_PTR runDialog(HWND owner, const wchar_t* caption, DLGPROC proc, LPARAM param);

// The shell's folder picker titled "选择这个文件夹：" (file-system folders only); the chosen
// folder, or an empty text when the user cancels.
std::wstring BrowseForFolder(HWND owner);

// "major.minor.revision" from the running program's version resource ("1.0.0" without one).
std::wstring programVersion();

// "#rrggbb" as a Windows colour; black for anything else.
COLORREF colourOf(std::string_view hex);

// The reading theme over plain controls (the status line, the search panel): the page colour
// behind and the text colour of the theme, or the system's own colours for the book as written.
class ThemePaint {
  public:
    ThemePaint() = default;
    ThemePaint(const ThemePaint&) = delete;
    ThemePaint& operator=(const ThemePaint&) = delete;
    ~ThemePaint();
    // Both "#rrggbb"; empty: the system's own colours.
    void set(std::string_view foreground, std::string_view background);
    // For WM_CTLCOLOR*: sets the colours on `dc` and gives the brush to paint with; null for the
    // system's own, where the message goes on to the default handling.
    HBRUSH paint(HDC dc) const;

  private:
    HBRUSH m_brush = nullptr;
    COLORREF m_text = 0, m_back = 0;
};

// Processes the window messages that are waiting, then returns.
void pumpMessages();

} // namespace folio::win32
