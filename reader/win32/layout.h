// The reading window's controls on Windows: their ids and names, and where they go, in twips.
// The pane rules themselves are the readers' shared ones; this file turns them into pixels.
#pragma once

#include <windows.h>

namespace folio::win32 {

// Control ids, also what a test program looks the controls up by.
enum ControlId : int {
    IdToolbar1 = 101,
    IdToolbar2 = 102,
    IdWebTree = 103,
    IdWebBook = 104,
    IdPic = 105,
    IdPicture1 = 106,
    IdCheck1 = 110,
    IdComVoice = 111,
    IdSlider1 = 112,
    IdVolume = 113,
    IdRate = 114,
    IdLabel7 = 115,
    IdLabel8 = 116,
    IdLabel1 = 121, // "语音：" ... "总时长：": Label1 to Label6 are 121 to 126
    IdTimer1 = 130,
    IdStatus = 160, // the status line under the page pane
};

// A toolbar button's command id: the toolbar's base plus the button's 1-based position,
// separators counted, so a handler dispatches on the position as the window's rules do.
inline constexpr int Toolbar1Base = 1000;
inline constexpr int Toolbar2Base = 1100;
inline constexpr int ZoomMenuBase = 1200;  // the zoom drop-down's entries, 1-based
inline constexpr int SleepMenuBase = 1300; // the read-aloud sleep timer's entries, 1-based

} // namespace folio::win32
