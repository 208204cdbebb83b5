// The reading settings panel of the Windows reader: theme, type, spacing, the book's own style,
// the status line and a style sheet of one's own, as the Linux readers' panel has them.
//
// How to call it (from the reading window's "阅读设置" button or Ctrl+Shift+R):
//     folio::win32::ShowFrmReading(hwnd, settings,
//         [&](const folio::reader::ReadingSettings& s) { /* apply s to the panes, keep it */ },
//         [&](const folio::reader::ReadingSettings& s) { return /* write reading.ini */; });
// It is modal; every change reaches `changed` at once, so the page behind shows it while the
// panel is open. "设为默认" calls `makeDefault`; a failure is told in a message box naming why.
#pragma once

#include "core/error.h"
#include "reader/core/reading.h"

#include <windows.h>

#include <functional>

namespace folio::win32 {

namespace readingset {
inline constexpr int ComTheme = 301;
inline constexpr int CmdForeground = 302;
inline constexpr int CmdBackground = 303;
inline constexpr int ComFont = 304;
inline constexpr int TxtFontSize = 305;
inline constexpr int TxtLineHeight = 306;
inline constexpr int TxtParagraph = 307;
inline constexpr int TxtMargin = 308;
inline constexpr int TxtMaxWidth = 309;
inline constexpr int ChkBookStyle = 310;
inline constexpr int ChkStatusLine = 311;
inline constexpr int TxtUserStyle = 312;
inline constexpr int CmdUserStyle = 313;
inline constexpr int CmdDefault = 314;
inline constexpr int CmdClose = 315;
inline constexpr int SwatchForeground = 316;
inline constexpr int SwatchBackground = 317;
inline constexpr int FirstLabel = 320; // the captions, one id each from here
} // namespace readingset

using ReadingChanged = std::function<void(const folio::reader::ReadingSettings&)>;
using ReadingDefault = std::function<Result<void>(const folio::reader::ReadingSettings&)>;

// The settings as the panel left them.
folio::reader::ReadingSettings ShowFrmReading(HWND owner,
                                              const folio::reader::ReadingSettings& settings,
                                              const ReadingChanged& changed,
                                              const ReadingDefault& makeDefault);

} // namespace folio::win32
