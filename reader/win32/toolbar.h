// The reading window's two toolbars on Windows, built on the common controls' ToolbarWindow32
// from reader/core's tables of buttons, captions and pictures.
#pragma once

#include "reader/core/commands.h"

#include <windows.h>

#include <commctrl.h>

#include <span>
#include <string>
#include <vector>

namespace folio::win32 {

// The image list ImgIcon: the toolbar pictures reader/core describes, drawn with GDI at run
// time. `size` is the side in pixels.
HIMAGELIST createImageList(int size);

class Toolbar {
  public:
    // Creates the toolbar as a child of `parent` with the window text `name`; each button's
    // command id is `base` + its 1-based position.
    Toolbar(HWND parent, int id, const wchar_t* name, int base,
            std::span<const folio::reader::ToolbarButton> defs, HIMAGELIST images);

    HWND hwnd() const { return m_hwnd; }
    int count() const { return static_cast<int>(m_count); }
    int base() const { return m_base; }

    void setVisible(int position, bool visible);
    bool isVisible(int position) const;
    void setEnabled(int position, bool enabled);
    void setCaption(int position, const std::wstring& caption);
    std::wstring caption(int position) const;
    // Gives the button at `position` an arrow that opens a drop-down list.
    void setDropDown(int position);
    RECT buttonRect(int position) const;

    // Height of one row of buttons, and the width the visible buttons take.
    int height() const;
    int width() const;

  private:
    HWND m_hwnd = nullptr;
    int m_base = 0;
    std::size_t m_count = 0;
    std::vector<std::wstring> m_captions;
};

} // namespace folio::win32
