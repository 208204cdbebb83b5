// The exit window of full-screen reading (see frmfullscreenb.h).
#include "reader/win32/frmfullscreenb.h"

#include "core/twips.h"
#include "reader/win32/companions.h"
#include "reader/win32/language.h"

#include <commctrl.h>

namespace folio::win32 {
namespace {

using namespace fullscreenb;

// Design position and client size of the window, in twips.
constexpr int DesignLeft = 11250;
constexpr int DesignTop = 6420;
constexpr int ClientSize = 405;
constexpr int ImageSize = 16;

struct ExitWindow {
    std::function<void()> exitFullScreen;
    HIMAGELIST imgFull = nullptr;
    bool closing = false;
};

// Four corner brackets pointing inwards: "make the page smaller again".
HBITMAP drawExitImage() {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, ImageSize, ImageSize);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT all{0, 0, ImageSize, ImageSize};
    HBRUSH back = CreateSolidBrush(RGB(255, 0, 255)); // the mask colour
    FillRect(dc, &all, back);
    DeleteObject(back);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(30, 70, 140));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const int a = 2, b = 6, c = 10, d = 14;
    const POINT corners[4][3] = {{{a, b}, {b, b}, {b, a}},
                                 {{c, a}, {c, b}, {d, b}},
                                 {{a, c}, {b, c}, {b, d}},
                                 {{d, c}, {c, c}, {c, d}}};
    for (const auto& corner : corners)
        Polyline(dc, corner, 3);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

ExitWindow* stateOf(HWND hwnd) {
    return reinterpret_cast<ExitWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void createToolbar(HWND hwnd, ExitWindow& self) {
    HWND bar =
        CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                            CCS_NORESIZE | CCS_NOPARENTALIGN,
                        0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(TbrFull)),
                        GetModuleHandleW(nullptr), nullptr);
    if (!bar)
        return;
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    self.imgFull = ImageList_Create(ImageSize, ImageSize, ILC_COLOR24 | ILC_MASK, 1, 0);
    HBITMAP image = drawExitImage();
    ImageList_AddMasked(self.imgFull, image, RGB(255, 0, 255));
    DeleteObject(image);
    SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(self.imgFull));
    // The label is the button's tooltip only: no text row under the picture.
    SendMessageW(bar, TB_SETMAXTEXTROWS, 0, 0);
    static wchar_t label[] = L"退出全屏";
    TBBUTTON button{};
    button.iBitmap = 0;
    button.idCommand = ExitButton;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    button.iString = reinterpret_cast<INT_PTR>(label);
    SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    LanguageTarget strip;
    strip.window = L"FrmFullScreenB";
    strip.name = L"tbrFull";
    strip.kind = LanguageTarget::Kind::Strip;
    strip.parts = 1;
    strip.setPart = [bar](int, const std::wstring& text) {
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_TEXT;
        info.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(bar, TB_SETBUTTONINFOW, ExitButton, reinterpret_cast<LPARAM>(&info));
    };
    ApplyCurrentLanguage({strip});
    RECT client{};
    GetClientRect(hwnd, &client);
    SetWindowPos(bar, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    ExitWindow* self = companionState<ExitWindow>(hwnd, msg, lp);
    switch (msg) {
    case WM_COMMAND:
        if (self && LOWORD(wp) == ExitButton) {
            // Closing the full-screen window may take this one with it: nothing of it is
            // touched afterwards unless it is still there.
            const std::function<void()> exitFullScreen = self->exitFullScreen;
            if (exitFullScreen)
                exitFullScreen();
            if (IsWindow(hwnd))
                CloseFrmFullScreenB(hwnd);
            return 0;
        }
        break;
    case WM_CLOSE:
        // Without a Close command only the button (or the full-screen window going away)
        // ends it; Alt+F4 and the task list are refused too.
        if (self && !self->closing)
            return 0;
        break;
    case WM_NCDESTROY:
        if (self) {
            if (self->imgFull)
                ImageList_Destroy(self->imgFull);
            delete self;
        }
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

HWND CreateFrmFullScreenB(HWND owner, std::function<void()> exitFullScreen) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    if (!registerCompanionClass(FrmFullScreenBClass, windowProc, COLOR_BTNFACE))
        return nullptr;
    auto* state = new ExitWindow{std::move(exitFullScreen)};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_TOOLWINDOW;
    const int dpi = screenDpi();
    RECT r{0, 0, twipsToPixels(ClientSize, dpi), twipsToPixels(ClientSize, dpi)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    HWND hwnd =
        CreateWindowExW(exStyle, FrmFullScreenBClass, L"", style, twipsToPixels(DesignLeft, dpi),
                        twipsToPixels(DesignTop, dpi), r.right - r.left, r.bottom - r.top, owner,
                        nullptr, GetModuleHandleW(nullptr), state);
    if (!hwnd) {
        delete state;
        return nullptr;
    }
    createToolbar(hwnd, *state);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

void CloseFrmFullScreenB(HWND exitWindow) {
    if (ExitWindow* self = stateOf(exitWindow))
        self->closing = true;
    DestroyWindow(exitWindow);
}

} // namespace folio::win32
