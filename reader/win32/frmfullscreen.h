// Full-screen reading on Windows: the current page in a borderless window covering the screen,
// with the small exit window (FrmFullScreenB) on top of it.
//
// How to call it (from the reading window's full-screen button):
//     folio::win32::ShowFrmFullScreen(hwnd, webBookLocation,
//         [](HWND parent, const wchar_t* name) { return folio::win32::WebPane::create(parent,
//         name); });
// It is modeless and returns the full-screen window at once; the reading window's message loop
// runs it. Its exit button closes both windows; the reading window keeps its own page.
#pragma once

#include "reader/win32/companions.h"

#include <windows.h>

#include <string>

namespace folio::win32 {

inline constexpr const wchar_t* FrmFullScreenClass = L"FrmFullScreen";

// `pageScript` runs on every page that completes there: the reading settings, so that full
// screen shows the pages as the reading window does.
HWND ShowFrmFullScreen(HWND owner, const std::wstring& address, const PaneFactory& createPane,
                       const std::wstring& pageScript = {});

// The exit window of a full-screen window (null once it is gone).
HWND FullScreenExitWindow(HWND fullScreen);

// Keeps a window above all non-topmost windows.
void OnTop(HWND theForm);
// Takes away a window's Close command, which also disables the close box of its title bar.
void DisableX(HWND theForm);

} // namespace folio::win32
