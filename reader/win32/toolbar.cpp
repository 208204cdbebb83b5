// The reading window's toolbars on Windows, their buttons from reader/core's tables and their
// pictures drawn with GDI from reader/core's shapes.
#include "reader/win32/toolbar.h"

#include "reader/core/toolbarpictures.h"
#include "reader/win32/companions.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace folio::win32 {

namespace {

namespace rules = folio::reader;

constexpr COLORREF Key = RGB(255, 0, 255); // the transparent colour of the pictures

COLORREF gdiColour(const rules::PictureColour& c) {
    return RGB(c.red, c.green, c.blue);
}

// Draws the shapes reader/core describes on its grid, scaled to a picture `size` pixels wide.
class Painter {
  public:
    Painter(HDC dc, int size) : m_dc(dc), m_size(size) {}
    ~Painter() { reset(); }

    void draw(const rules::PictureShape& s) {
        using Kind = rules::PictureShape::Kind;
        use(s);
        const int l = px(s.box.x), t = px(s.box.y);
        const int r = px(s.box.x + s.box.width), b = px(s.box.y + s.box.height);
        switch (s.kind) {
        case Kind::Polygon: {
            const std::vector<POINT> points = scaled(s.points);
            Polygon(m_dc, points.data(), static_cast<int>(points.size()));
            break;
        }
        case Kind::Polyline: {
            const std::vector<POINT> points = scaled(s.points);
            Polyline(m_dc, points.data(), static_cast<int>(points.size()));
            break;
        }
        case Kind::Line:
            MoveToEx(m_dc, px(s.points[0].x), px(s.points[0].y), nullptr);
            LineTo(m_dc, px(s.points[1].x), px(s.points[1].y));
            break;
        case Kind::Point: {
            // A dot as wide as the pen, in the pen's colour.
            const double half = s.penWidth / 2;
            reset();
            m_brush = CreateSolidBrush(gdiColour(s.pen));
            SelectObject(m_dc, GetStockObject(NULL_PEN));
            SelectObject(m_dc, m_brush);
            Ellipse(m_dc, px(s.points[0].x - half), px(s.points[0].y - half),
                    px(s.points[0].x + half) + 1, px(s.points[0].y + half) + 1);
            break;
        }
        case Kind::Rect:
            Rectangle(m_dc, l, t, r, b);
            break;
        case Kind::Ellipse:
            Ellipse(m_dc, l, t, r, b);
            break;
        case Kind::Arc: {
            // GDI runs an arc counter-clockwise between two points on rays from the centre.
            const double cx = s.box.x + s.box.width / 2, cy = s.box.y + s.box.height / 2;
            const double from =
                s.spanDegrees >= 0 ? s.startDegrees : s.startDegrees + s.spanDegrees;
            const double to = from + std::abs(s.spanDegrees);
            auto ray = [&](double degrees) {
                const double a = degrees * std::numbers::pi / 180;
                return POINT{px(cx + 100 * std::cos(a)), px(cy - 100 * std::sin(a))};
            };
            const POINT p1 = ray(from), p2 = ray(to);
            Arc(m_dc, l, t, r, b, p1.x, p1.y, p2.x, p2.y);
            break;
        }
        }
    }

  private:
    int px(double v) const {
        return static_cast<int>(std::lround(v * m_size / rules::ToolbarPictureGrid));
    }

    std::vector<POINT> scaled(const std::vector<rules::PicturePoint>& points) const {
        std::vector<POINT> out;
        for (const auto& p : points)
            out.push_back(POINT{px(p.x), px(p.y)});
        return out;
    }

    void use(const rules::PictureShape& s) {
        reset();
        if (s.outlined) {
            LOGBRUSH brush{BS_SOLID, gdiColour(s.pen), 0};
            const DWORD ends = s.roundCaps ? PS_ENDCAP_ROUND : PS_ENDCAP_SQUARE;
            const int width = std::max(
                1, static_cast<int>(std::lround(s.penWidth * m_size / rules::ToolbarPictureGrid)));
            m_pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | ends | PS_JOIN_BEVEL,
                                 static_cast<DWORD>(width), &brush, 0, nullptr);
        }
        if (s.filled)
            m_brush = CreateSolidBrush(gdiColour(s.fill));
        SelectObject(m_dc, m_pen ? static_cast<HGDIOBJ>(m_pen) : GetStockObject(NULL_PEN));
        SelectObject(m_dc, m_brush ? static_cast<HGDIOBJ>(m_brush) : GetStockObject(NULL_BRUSH));
    }

    void reset() {
        SelectObject(m_dc, GetStockObject(BLACK_PEN));
        SelectObject(m_dc, GetStockObject(NULL_BRUSH));
        if (m_pen)
            DeleteObject(m_pen);
        if (m_brush)
            DeleteObject(m_brush);
        m_pen = nullptr;
        m_brush = nullptr;
    }

    HDC m_dc;
    int m_size;
    HPEN m_pen = nullptr;
    HBRUSH m_brush = nullptr;
};

} // namespace

HIMAGELIST createImageList(int size) {
    constexpr int Count = rules::ToolbarPictureCount;
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, Count, 0);
    if (!list)
        return nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    for (int i = 1; i <= Count; ++i) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all{0, 0, size, size};
        HBRUSH key = CreateSolidBrush(Key);
        FillRect(dc, &all, key);
        DeleteObject(key);
        Painter painter(dc, size);
        for (const auto& shape : rules::toolbarPicture(i))
            painter.draw(shape);
        SelectObject(dc, old);
        ImageList_AddMasked(list, bitmap, Key);
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return list;
}

Toolbar::Toolbar(HWND parent, int id, const wchar_t* name, int base,
                 std::span<const folio::reader::ToolbarButton> defs, HIMAGELIST images)
    : m_base(base), m_count(defs.size()) {
    // Placed by the window, not by the control: it sits where the layout puts it.
    m_hwnd =
        CreateWindowExW(0, TOOLBARCLASSNAMEW, name,
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                            CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                        0, 0, 10, 10, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                        GetModuleHandleW(nullptr), nullptr);
    if (!m_hwnd)
        return;
    SendMessageW(m_hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_hwnd, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(m_hwnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    std::vector<TBBUTTON> buttons(defs.size());
    // Kept for the toolbar's life: a string pointer given to a button is not copied by every
    // version of the common controls.
    m_captions.assign(defs.size(), std::wstring());
    for (std::size_t i = 0; i < defs.size(); ++i) {
        TBBUTTON& b = buttons[i];
        b.idCommand = base + static_cast<int>(i) + 1;
        if (defs[i].separator()) {
            b.fsStyle = BTNS_SEP;
            b.iBitmap = 6;
            continue;
        }
        m_captions[i] = wide(defs[i].caption);
        b.iBitmap = defs[i].picture - 1;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
        b.iString = reinterpret_cast<INT_PTR>(m_captions[i].c_str());
    }
    SendMessageW(m_hwnd, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(m_hwnd, TB_AUTOSIZE, 0, 0);
}

void Toolbar::setVisible(int position, bool visible) {
    SendMessageW(m_hwnd, TB_HIDEBUTTON, m_base + position, MAKELPARAM(visible ? FALSE : TRUE, 0));
}

bool Toolbar::isVisible(int position) const {
    return SendMessageW(m_hwnd, TB_ISBUTTONHIDDEN, m_base + position, 0) == 0;
}

void Toolbar::setEnabled(int position, bool enabled) {
    SendMessageW(m_hwnd, TB_ENABLEBUTTON, m_base + position, MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

void Toolbar::setCaption(int position, const std::wstring& caption) {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STYLE;
    if (SendMessageW(m_hwnd, TB_GETBUTTONINFOW, m_base + position,
                     reinterpret_cast<LPARAM>(&info)) < 0 ||
        (info.fsStyle & BTNS_SEP))
        return; // a separator takes its part of a caption list but shows no text
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(caption.c_str());
    SendMessageW(m_hwnd, TB_SETBUTTONINFOW, m_base + position, reinterpret_cast<LPARAM>(&info));
    SendMessageW(m_hwnd, TB_AUTOSIZE, 0, 0);
}

std::wstring Toolbar::caption(int position) const {
    std::array<wchar_t, 256> text{};
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = text.data();
    info.cchText = static_cast<int>(text.size());
    if (SendMessageW(m_hwnd, TB_GETBUTTONINFOW, m_base + position,
                     reinterpret_cast<LPARAM>(&info)) < 0)
        return {};
    return text.data();
}

void Toolbar::setDropDown(int position) {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STYLE;
    SendMessageW(m_hwnd, TB_GETBUTTONINFOW, m_base + position, reinterpret_cast<LPARAM>(&info));
    info.fsStyle |= BTNS_DROPDOWN;
    SendMessageW(m_hwnd, TB_SETBUTTONINFOW, m_base + position, reinterpret_cast<LPARAM>(&info));
    SendMessageW(m_hwnd, TB_AUTOSIZE, 0, 0);
}

RECT Toolbar::buttonRect(int position) const {
    RECT r{};
    SendMessageW(m_hwnd, TB_GETRECT, m_base + position, reinterpret_cast<LPARAM>(&r));
    return r;
}

int Toolbar::height() const {
    const LRESULT size = SendMessageW(m_hwnd, TB_GETBUTTONSIZE, 0, 0);
    return HIWORD(size) + 4;
}

int Toolbar::width() const {
    int right = 0;
    for (int i = 1; i <= count(); ++i) {
        if (!isVisible(i))
            continue;
        const RECT r = buttonRect(i);
        if (r.right > right)
            right = r.right;
    }
    return right + 4;
}

} // namespace folio::win32
