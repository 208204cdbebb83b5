// What the Windows reader shows in the page pane when it cannot read its own book (the bare
// template, a damaged descriptor): why, "打开" for another Book image, and the books read lately.
#pragma once

#include <windows.h>

#include <string>

namespace folio::win32 {

enum StartPanelId : int {
    IdStartPanel = 160,
    IdStartWhy = 161,
    IdStartOpen = 162,
    IdStartRecentLabel = 163,
    IdStartRecent = 164,
};

// The panel, a child of `parent`; `why` says what kept the book from being read. A book chosen
// opens in a reader of its own (every Book image is one).
HWND createStartPanel(HWND parent, HFONT font, const std::wstring& why);

} // namespace folio::win32
