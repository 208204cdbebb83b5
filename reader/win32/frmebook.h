// FrmEBook, the reading window of the Windows reader: skin, descriptor, caption and the two
// browser panes WebTree (contents) and WebBook (pages).
#pragma once

#include "reader/win32/webpane.h"

#include <windows.h>

#include <memory>
#include <string>

namespace folio::win32 {

class FrmEBook {
  public:
    static constexpr const wchar_t* ClassName = L"FrmEBook";

    // Registers the window class and creates the window; runs the load sequence.
    static std::unique_ptr<FrmEBook> create(HINSTANCE instance, int show);
    ~FrmEBook();

    HWND hwnd() const { return m_hwnd; }

    // Caption and both panes from the program's own descriptor; the about page on failure.
    void LoadHtml();
    static std::wstring AboutHtml();

    const std::wstring& HomeAddress() const { return m_homeAddress; }

    // Lets the browser panes see their keyboard messages before the message loop does.
    bool translateAccelerator(MSG* msg);

  private:
    FrmEBook() = default;
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void onLoad();
    void attachSkin();
    void layout();
    void writeAbout(std::unique_ptr<WebPane>& pane, const wchar_t* name);

    HWND m_hwnd = nullptr;
    std::unique_ptr<WebPane> m_webTree;
    std::unique_ptr<WebPane> m_webBook;
    std::wstring m_programPath;
    std::wstring m_homeAddress;
    HBRUSH m_background = nullptr; // from the skin, when one is attached
};

// The running program's own file name (full path) and its folder with a trailing '\'.
std::wstring programPath();
std::wstring programFolder();

// Processes the window messages that are waiting, then returns.
void pumpMessages();

} // namespace folio::win32
