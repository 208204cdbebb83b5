// The advert window (see frmadshow.h).
#include "reader/win32/frmadshow.h"

#include "core/twips.h"
#include "reader/core/readerrules.h"
#include "reader/win32/webpane.h"

#include <cstdint>
#include <memory>

namespace folio::win32 {
namespace {

constexpr UINT_PTR Timer1 = 1;
constexpr int ClientWidth = 4590;
constexpr int ClientHeight = 3075;

struct Advert {
    double showTime = 0;
    std::int64_t startTime = 0; // system time, milliseconds
    std::unique_ptr<WebPane> webBAD;
};

// The system time in milliseconds.
std::int64_t nowMs() {
    FILETIME t;
    GetSystemTimeAsFileTime(&t);
    const auto units = (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<std::int64_t>(units / 10000); // from 100-ns units
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Advert* self = companionState<Advert>(hwnd, msg, lp);
    switch (msg) {
    case WM_SIZE:
        if (self && self->webBAD) {
            const RECT all{0, 0, LOWORD(lp), HIWORD(lp)};
            self->webBAD->setBounds(all);
        }
        return 0;
    case WM_TIMER:
        if (wp == Timer1 && self &&
            folio::reader::advertTimeIsUp(nowMs() - self->startTime, self->showTime)) {
            KillTimer(hwnd, Timer1);
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, Timer1);
        if (self)
            self->webBAD.reset();
        return 0;
    case WM_NCDESTROY:
        delete self;
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

HWND ShowFrmADShow(HWND owner, double showTime, const std::wstring& address,
                   const PaneFactory& createPane) {
    if (!registerCompanionClass(FrmADShowClass, windowProc, COLOR_WINDOW))
        return nullptr;
    auto* state = new Advert;
    state->showTime = showTime;
    const int w = twipsToPixels(ClientWidth, screenDpi()),
              h = twipsToPixels(ClientHeight, screenDpi());
    HWND hwnd = CreateWindowExW(0, FrmADShowClass, L"", WS_POPUP | WS_CLIPCHILDREN,
                                (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr,
                                GetModuleHandleW(nullptr), state);
    if (!hwnd) {
        delete state;
        return nullptr;
    }
    if (createPane) {
        state->webBAD = createPane(hwnd, L"WebBAD");
        if (state->webBAD)
            state->webBAD->setBounds(RECT{0, 0, w, h});
    }
    // Load: the time the window loaded.
    state->startTime = nowMs();
    SetTimer(hwnd, Timer1, 100, nullptr);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    if (state->webBAD && !address.empty())
        state->webBAD->navigate(address);
    return hwnd;
}

double ADShowTime(HWND advert) {
    const Advert* self = IsWindow(advert)
                             ? reinterpret_cast<Advert*>(GetWindowLongPtrW(advert, GWLP_USERDATA))
                             : nullptr;
    return self ? self->showTime : 0;
}

void SetADShowTime(HWND advert, double New_ShowTime) {
    if (Advert* self = IsWindow(advert)
                           ? reinterpret_cast<Advert*>(GetWindowLongPtrW(advert, GWLP_USERDATA))
                           : nullptr)
        self->showTime = New_ShowTime;
}

} // namespace folio::win32
