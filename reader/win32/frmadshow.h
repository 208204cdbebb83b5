// The advert window of the Windows reader: a borderless browser window that closes itself once
// its show time has passed.
//
// How to call it (no reader command opens it yet; this is the whole interface):
//     HWND ad = folio::win32::ShowFrmADShow(owner, showTime, address, paneFactory);
//     folio::win32::SetADShowTime(ad, 1);
// It is modeless; the caller's message loop runs it. The window checks every 100 ms whether the
// time since it loaded, in days, exceeds its show time converted to a whole number (a show time
// of 0 closes it at the first tick at which any time has passed).
#pragma once

#include "reader/win32/companions.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace folio::win32 {

inline constexpr const wchar_t* FrmADShowClass = L"FrmADShow";

HWND ShowFrmADShow(HWND owner, double showTime, const std::wstring& address,
                   const PaneFactory& createPane);

// The ShowTime property of an advert window (a date-time value, in days).
double ADShowTime(HWND advert);
void SetADShowTime(HWND advert, double New_ShowTime);

// The closing rule: true once `elapsed100ns` (time since loading, in 100-ns units) as days
// exceeds `showTime` rounded to a whole number (halves to even, saturated to 32 bits).
bool advertTimeIsUp(std::int64_t elapsed100ns, double showTime);

} // namespace folio::win32
