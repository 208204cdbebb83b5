// The exit window of full-screen reading: a small fixed tool window whose one toolbar button,
// "退出全屏", closes the full-screen window and then itself. Created by FrmFullScreen; not meant
// to be opened on its own.
#pragma once

#include <windows.h>

#include <functional>

namespace folio::win32 {

inline constexpr const wchar_t* FrmFullScreenBClass = L"FrmFullScreenB";

namespace fullscreenb {
inline constexpr int TbrFull = 301;    // the toolbar
inline constexpr int ExitButton = 302; // its button 1 (command id)
} // namespace fullscreenb

// Creates and shows the exit window, owned by `owner`. `exitFullScreen` runs when the button is
// pressed, before the exit window closes itself. The window refuses every other close request.
HWND CreateFrmFullScreenB(HWND owner, std::function<void()> exitFullScreen);

// Closes the exit window from its own side (the full-screen window going away).
void CloseFrmFullScreenB(HWND exitWindow);

} // namespace folio::win32
