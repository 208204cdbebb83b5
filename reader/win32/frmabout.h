// The about box of the Windows reader: the program title, its version and a short description.
//
// How to call it (from the reading window's about button):
//     folio::win32::ShowFrmAbout(hwnd, L"folioPage");
// It is modal; its OK button closes it. The version is read from the program's own version
// resource ("major.minor.revision").
#pragma once

#include <windows.h>

#include <string>

namespace folio::win32 {

namespace about {
inline constexpr int LblTitle = 401;
inline constexpr int LblVersion = 402;
inline constexpr int LblDescription = 403;
inline constexpr int CmdOK = 404;
} // namespace about

void ShowFrmAbout(HWND owner, const std::wstring& appTitle);

} // namespace folio::win32
