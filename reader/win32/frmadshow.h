// The advert window of the Windows reader: a borderless browser window that closes itself once
// its show time has passed.
//
// How to call it (no reader command opens it yet; this is the whole interface):
//     HWND ad = folio::win32::ShowFrmADShow(owner, showTime, address, paneFactory);
//     folio::win32::SetADShowTime(ad, 1);
// It is modeless; the caller's message loop runs it. Every 100 ms the window asks the readers'
// rule (folio::reader::advertTimeIsUp) whether its show time has passed since it loaded.
#pragma once

#include "reader/win32/companions.h"

#include <windows.h>

#include <string>

namespace folio::win32 {

inline constexpr const wchar_t* FrmADShowClass = L"FrmADShow";

HWND ShowFrmADShow(HWND owner, double showTime, const std::wstring& address,
                   const PaneFactory& createPane);

// The ShowTime property of an advert window (a date-time value, in days).
double ADShowTime(HWND advert);
void SetADShowTime(HWND advert, double New_ShowTime);

} // namespace folio::win32
