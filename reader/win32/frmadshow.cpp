// The advert window (see frmadshow.h).
#include "reader/win32/frmadshow.h"

#include "core/twips.h"
#include "reader/win32/webpane.h"

#include <cmath>
#include <limits>
#include <memory>

namespace folio::win32 {
namespace {

constexpr UINT_PTR Timer1 = 1;
constexpr int ClientWidth = 4590;
constexpr int ClientHeight = 3075;

struct Advert {
    double showTime = 0;
    std::int64_t startTime = 0; // 100-ns units, system time
    std::unique_ptr<WebPane> webBAD;
};

std::int64_t now100ns() {
    FILETIME t;
    GetSystemTimeAsFileTime(&t);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                     t.dwLowDateTime);
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
        if (wp == Timer1 && self && advertTimeIsUp(now100ns() - self->startTime, self->showTime)) {
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

bool advertTimeIsUp(std::int64_t elapsed100ns, double showTime) {
    // A date-time converted to a whole number: nearest, halves to even, saturated instead of
    // overflowing (a huge or non-finite show time never closes the window early).
    double whole = std::isnan(showTime) ? 0.0 : std::nearbyint(showTime);
    whole = std::fmax(whole, static_cast<double>(std::numeric_limits<std::int32_t>::min()));
    whole = std::fmin(whole, static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    constexpr double PerDay = 864000000000.0; // 100-ns units in a day
    return static_cast<double>(elapsed100ns) / PerDay > whole;
}

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
    state->startTime = now100ns();
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
