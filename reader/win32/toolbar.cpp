// The reading window's toolbars on Windows and their pictures, drawn with plain GDI shapes.
#include "reader/win32/toolbar.h"

#include <commctrl.h>

#include <array>
#include <iterator>

namespace folio::win32 {

const std::vector<ButtonDef>& toolbar1Buttons() {
    static const std::vector<ButtonDef> defs = {
        {nullptr, 0},  {L"后退", 1},  {L"前进", 2},  {L"刷新", 3},  {L"停止", 4},  {L"首页", 5},
        {nullptr, 0},  {L"书签", 6},  {L"查找", 7},  {L"放大", 8},  {L"缩小", 9},  {nullptr, 0},
        {L"全屏", 12}, {L"朗读", 13}, {L"停止", 15}, {L"设置", 14}, {nullptr, 0},  {L"播放", 16},
        {L"暂停", 17}, {L"停止", 15}, {nullptr, 0},  {L"关于", 10}, {L"退出", 11},
    };
    return defs;
}

const std::vector<ButtonDef>& toolbar2Buttons() {
    static const std::vector<ButtonDef> defs = {
        {nullptr, 0},  {L"关闭", 1},  {L"展开", 2},  {L"复制", 18},
        {L"保存", 19}, {L"更新", 20}, {L"书架", 21},
    };
    return defs;
}

namespace {

constexpr COLORREF Key = RGB(255, 0, 255); // the transparent colour of the pictures
constexpr COLORREF Ink = RGB(40, 70, 120);
constexpr COLORREF Accent = RGB(60, 140, 60);
constexpr COLORREF Warn = RGB(190, 50, 40);
constexpr COLORREF Paper = RGB(255, 255, 255);
constexpr COLORREF Gold = RGB(220, 170, 40);

// Draws in a 24 x 24 design grid scaled to the picture's size.
class Pen {
  public:
    Pen(HDC dc, int size) : m_dc(dc), m_size(size) {}
    int s(int v) const { return MulDiv(v, m_size, 24); }

    void use(COLORREF line, COLORREF fill, int width = 1) {
        reset();
        m_pen = CreatePen(PS_SOLID, s(width) > 0 ? s(width) : 1, line);
        m_brush =
            fill == Key ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(fill);
        m_ownBrush = fill != Key;
        SelectObject(m_dc, m_pen);
        SelectObject(m_dc, m_brush);
    }
    void polygon(std::initializer_list<POINT> pts) {
        std::vector<POINT> scaled;
        for (POINT p : pts)
            scaled.push_back(POINT{s(p.x), s(p.y)});
        Polygon(m_dc, scaled.data(), static_cast<int>(scaled.size()));
    }
    void rect(int l, int t, int r, int b) { Rectangle(m_dc, s(l), s(t), s(r), s(b)); }
    // A filled area without an outline.
    void block(int l, int t, int r, int b, COLORREF colour) {
        RECT area{s(l), s(t), s(r), s(b)};
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(m_dc, &area, brush);
        DeleteObject(brush);
    }
    void ellipse(int l, int t, int r, int b) { Ellipse(m_dc, s(l), s(t), s(r), s(b)); }
    void line(int x1, int y1, int x2, int y2) {
        MoveToEx(m_dc, s(x1), s(y1), nullptr);
        LineTo(m_dc, s(x2), s(y2));
    }
    void arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
        Arc(m_dc, s(l), s(t), s(r), s(b), s(x1), s(y1), s(x2), s(y2));
    }
    ~Pen() { reset(); }

  private:
    void reset() {
        SelectObject(m_dc, GetStockObject(BLACK_PEN));
        SelectObject(m_dc, GetStockObject(NULL_BRUSH));
        if (m_pen)
            DeleteObject(m_pen);
        if (m_ownBrush && m_brush)
            DeleteObject(m_brush);
        m_pen = nullptr;
        m_brush = nullptr;
    }
    HDC m_dc;
    int m_size;
    HPEN m_pen = nullptr;
    HBRUSH m_brush = nullptr;
    bool m_ownBrush = false;
};

void arrow(Pen& p, bool left) {
    p.use(Ink, Accent);
    if (left)
        p.polygon({{3, 12}, {12, 3}, {12, 8}, {21, 8}, {21, 16}, {12, 16}, {12, 21}});
    else
        p.polygon({{21, 12}, {12, 3}, {12, 8}, {3, 8}, {3, 16}, {12, 16}, {12, 21}});
}

void magnifier(Pen& p, int sign) {
    p.use(Ink, Paper, 2);
    p.ellipse(3, 3, 16, 16);
    p.use(Ink, Key, 3);
    p.line(15, 15, 21, 21);
    p.use(Ink, Key, 2);
    if (sign != 0)
        p.line(6, 9, 13, 9);
    if (sign > 0)
        p.line(9, 6, 9, 13);
}

void page(Pen& p, int x, int y) {
    p.use(Ink, Paper);
    p.rect(x, y, x + 12, y + 15);
    p.line(x + 3, y + 5, x + 9, y + 5);
    p.line(x + 3, y + 8, x + 9, y + 8);
    p.line(x + 3, y + 11, x + 9, y + 11);
}

void speaker(Pen& p) {
    p.use(Ink, Ink);
    p.polygon({{3, 9}, {8, 9}, {13, 4}, {13, 20}, {8, 15}, {3, 15}});
}

void drawPicture(HDC dc, int size, int index) {
    Pen p(dc, size);
    switch (index) {
    case 1: // back
        arrow(p, true);
        break;
    case 2: // forward
        arrow(p, false);
        break;
    case 3: // refresh: a ring with a gap and an arrowhead at the gap
        p.use(Accent, Key, 3);
        p.ellipse(4, 4, 20, 20);
        p.block(13, 1, 23, 10, Key);
        p.use(Accent, Accent);
        p.polygon({{12, 1}, {19, 6}, {12, 11}});
        break;
    case 4: // stop loading
        p.use(Warn, Warn);
        p.polygon({{8, 2}, {16, 2}, {22, 8}, {22, 16}, {16, 22}, {8, 22}, {2, 16}, {2, 8}});
        p.use(Paper, Key, 2);
        p.line(8, 8, 16, 16);
        p.line(16, 8, 8, 16);
        break;
    case 5: // home
        p.use(Ink, Warn);
        p.polygon({{2, 12}, {12, 3}, {22, 12}});
        p.use(Ink, Paper);
        p.rect(5, 12, 19, 22);
        p.use(Ink, Gold);
        p.rect(10, 15, 14, 22);
        break;
    case 6: // bookmark
        p.use(Ink, Warn);
        p.polygon({{6, 2}, {18, 2}, {18, 22}, {12, 16}, {6, 22}});
        break;
    case 7: // find
        magnifier(p, 0);
        break;
    case 8: // zoom in
        magnifier(p, 1);
        break;
    case 9: // zoom out
        magnifier(p, -1);
        break;
    case 10: // about: an "i" in a circle
        p.use(Ink, Ink);
        p.ellipse(2, 2, 22, 22);
        p.use(Paper, Paper);
        p.rect(11, 10, 13, 18);
        p.ellipse(10, 5, 14, 9);
        break;
    case 11: // exit: a door and an arrow out of it
        p.use(Ink, Gold);
        p.rect(3, 2, 13, 22);
        p.use(Warn, Warn);
        p.polygon({{12, 9}, {17, 9}, {17, 5}, {23, 12}, {17, 19}, {17, 15}, {12, 15}});
        break;
    case 12: // full screen: four corners
        p.use(Ink, Key, 2);
        p.rect(4, 5, 20, 19);
        p.use(Accent, Key, 3);
        p.line(2, 7, 2, 2);
        p.line(2, 2, 7, 2);
        p.line(22, 7, 22, 2);
        p.line(22, 2, 17, 2);
        p.line(2, 17, 2, 22);
        p.line(2, 22, 7, 22);
        p.line(22, 17, 22, 22);
        p.line(22, 22, 17, 22);
        break;
    case 13: // read aloud: a speaker and its sound
        speaker(p);
        p.use(Accent, Key, 2);
        p.arc(10, 6, 20, 18, 16, 19, 16, 5);
        p.arc(8, 2, 24, 22, 18, 22, 18, 2);
        break;
    case 14: // settings: a cog
        p.use(Ink, Ink, 3);
        p.line(12, 1, 12, 23);
        p.line(1, 12, 23, 12);
        p.line(4, 4, 20, 20);
        p.line(20, 4, 4, 20);
        p.use(Ink, Ink);
        p.ellipse(5, 5, 19, 19);
        p.use(Ink, Paper);
        p.ellipse(9, 9, 15, 15);
        break;
    case 15: // stop: a square
        p.use(Warn, Warn);
        p.rect(5, 5, 19, 19);
        break;
    case 16: // play
        p.use(Accent, Accent);
        p.polygon({{6, 3}, {20, 12}, {6, 21}});
        break;
    case 17: // pause
        p.use(Ink, Ink);
        p.rect(5, 4, 10, 20);
        p.rect(14, 4, 19, 20);
        break;
    case 18: // copy: two pages
        page(p, 3, 2);
        page(p, 9, 7);
        break;
    case 19: // save: a disk
        p.use(Ink, Ink);
        p.rect(3, 3, 21, 21);
        p.use(Ink, Paper);
        p.rect(7, 3, 17, 10);
        p.use(Ink, Gold);
        p.rect(6, 14, 18, 21);
        break;
    case 20: // update: an arrow down onto a tray
        p.use(Accent, Accent);
        p.polygon({{9, 2}, {15, 2}, {15, 10}, {20, 10}, {12, 18}, {4, 10}, {9, 10}});
        p.use(Ink, Key, 2);
        p.line(3, 21, 21, 21);
        break;
    case 21: // bookshelf: books standing on a board
        p.use(Ink, Warn);
        p.rect(3, 5, 8, 20);
        p.use(Ink, Accent);
        p.rect(8, 7, 13, 20);
        p.use(Ink, Gold);
        p.polygon({{13, 8}, {17, 6}, {21, 19}, {17, 20}});
        p.use(Ink, Ink, 2);
        p.line(1, 21, 23, 21);
        break;
    default:
        break;
    }
}

} // namespace

HIMAGELIST createImageList(int size) {
    constexpr int Count = 21;
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
        drawPicture(dc, size, i);
        SelectObject(dc, old);
        ImageList_AddMasked(list, bitmap, Key);
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return list;
}

Toolbar::Toolbar(HWND parent, int id, const wchar_t* name, int base,
                 const std::vector<ButtonDef>& defs, HIMAGELIST images)
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
    for (std::size_t i = 0; i < defs.size(); ++i) {
        TBBUTTON& b = buttons[i];
        b.idCommand = base + static_cast<int>(i) + 1;
        if (!defs[i].caption) {
            b.fsStyle = BTNS_SEP;
            b.iBitmap = 6;
            continue;
        }
        b.iBitmap = defs[i].image - 1;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
        b.iString = reinterpret_cast<INT_PTR>(defs[i].caption);
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
