// The reading window's two toolbars on Windows: their buttons, captions and pictures, built
// on the common controls' ToolbarWindow32.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace folio::win32 {

struct ButtonDef {
    const wchar_t* caption; // nullptr: a separator
    int image;              // 1-based index into the image list ImgIcon
};

// Toolbar1 (23 positions) and Toolbar2 (7 positions), separators included.
const std::vector<ButtonDef>& toolbar1Buttons();
const std::vector<ButtonDef>& toolbar2Buttons();

// The image list ImgIcon: the 21 toolbar pictures, drawn with GDI at run time so no picture
// files travel with the program. `size` is the side in pixels.
HIMAGELIST createImageList(int size);

class Toolbar {
  public:
    // Creates the toolbar as a child of `parent` with the window text `name`; each button's
    // command id is `base` + its 1-based position.
    Toolbar(HWND parent, int id, const wchar_t* name, int base, const std::vector<ButtonDef>& defs,
            HIMAGELIST images);

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
};

} // namespace folio::win32
