// Full-screen reading (see frmfullscreen.h).
#include "reader/win32/frmfullscreen.h"

#include "reader/win32/frmfullscreenb.h"
#include "reader/win32/language.h"
#include "reader/win32/webpane.h"

#include <memory>

namespace folio::win32 {
namespace {

constexpr UINT_PTR Timer1 = 1;

struct FullScreen {
    HWND hwnd = nullptr;
    HWND exitWindow = nullptr;
    std::unique_ptr<WebPane> webB;
};

FullScreen* stateOf(HWND hwnd) {
    return reinterpret_cast<FullScreen*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    FullScreen* self = companionState<FullScreen>(hwnd, msg, lp);
    switch (msg) {
    case WM_NCCREATE:
        if (self)
            self->hwnd = hwnd;
        break;
    case WM_SIZE:
        if (self && self->webB) {
            const RECT all{0, 0, LOWORD(lp), HIWORD(lp)};
            self->webB->setBounds(all);
        }
        return 0;
    case WM_TIMER:
        if (wp == Timer1) {
            // Shown after the exit window, the page would cover it: it is lifted on top once.
            KillTimer(hwnd, Timer1);
            if (self && self->exitWindow && IsWindow(self->exitWindow))
                OnTop(self->exitWindow);
        }
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, Timer1);
        if (self) {
            // The two windows live and die together, however this one goes.
            if (self->exitWindow && IsWindow(self->exitWindow))
                CloseFrmFullScreenB(self->exitWindow);
            self->exitWindow = nullptr;
            self->webB.reset();
        }
        return 0;
    case WM_NCDESTROY:
        delete self;
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

void OnTop(HWND theForm) {
    SetWindowPos(theForm, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void DisableX(HWND theForm) {
    // The Close command is removed by its command id rather than by its menu position, so a
    // system menu laid out differently never loses another item.
    if (HMENU menu = GetSystemMenu(theForm, FALSE))
        DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
    // Repaint the frame so the close box shows as disabled.
    SetWindowPos(theForm, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HWND ShowFrmFullScreen(HWND owner, const std::wstring& address, const PaneFactory& createPane,
                       const std::wstring& pageScript) {
    if (!registerCompanionClass(FrmFullScreenClass, windowProc, COLOR_WINDOW))
        return nullptr;
    // The screen the reading window is on.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor))
        area = monitor.rcMonitor;

    auto* state = new FullScreen;
    HWND hwnd = CreateWindowExW(0, FrmFullScreenClass, L"全屏", WS_POPUP | WS_CLIPCHILDREN,
                                area.left, area.top, area.right - area.left, area.bottom - area.top,
                                owner, nullptr, GetModuleHandleW(nullptr), state);
    if (!hwnd) {
        delete state;
        return nullptr;
    }
    if (createPane) {
        state->webB = createPane(hwnd, L"WebB");
        if (WebPane* pane = state->webB.get()) {
            if (!pane->isBrowser())
                pane->setNotice(wide(readerTexts()(reader::NoBrowserEngine)));
            const RECT all{0, 0, area.right - area.left, area.bottom - area.top};
            pane->setBounds(all);
            // Each document that completes here shows no menu on a right click, and the
            // reading settings.
            pane->setDocumentComplete([pane, pageScript] {
                pane->suppressContextMenu();
                if (!pageScript.empty())
                    pane->runScript(pageScript);
            });
        }
    }
    // Load: the exit window first, without its close command; it is lifted on top by the
    // first tick, once this window has been shown over it.
    state->exitWindow = CreateFrmFullScreenB(hwnd, [hwnd] { DestroyWindow(hwnd); });
    if (state->exitWindow)
        DisableX(state->exitWindow);
    SetTimer(hwnd, Timer1, 100, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (state->webB && !address.empty())
        state->webB->navigate(address);
    return hwnd;
}

HWND FullScreenExitWindow(HWND fullScreen) {
    const FullScreen* self = IsWindow(fullScreen) ? stateOf(fullScreen) : nullptr;
    return self && self->exitWindow && IsWindow(self->exitWindow) ? self->exitWindow : nullptr;
}

} // namespace folio::win32
