// Windows test program for the reading window's companion windows: opens each one against a
// folder, drives it as a user would (through its controls' messages) and prints what it saw,
// one "key=value" line each, in UTF-8, for tests/e2e/win32/companions_test.cpp.
//   companions_probe booktag FOLDER ADDRESS   add twice, delete the first, cancel
//   companions_probe booktag-chinese FOLDER ADDRESS   the same in FOLDER\书架
//   companions_probe booktag-locked FOLDER    the same, BookTag.ini held unshared while it loads
//   companions_probe booktag-open FOLDER      double-click the first bookmark
//   companions_probe set FOLDER               the system's speech component, then OK at rate 5
//   companions_probe set-none FOLDER          no speech component at all
//   companions_probe set-fake FOLDER          two voices, no audio output; OK unchanged
//   companions_probe fullscreen               full screen and its exit window
//   companions_probe adshow SHOWTIME TICKS    an advert window watched until it closes itself
//                                             or its timer has ticked TICKS times
//   companions_probe about                    the about box
//   companions_probe rules                    the format shapes and the advert rule
//   companions_probe shot-booktag|shot-set FOLDER   keep the window up 8 s for a screenshot
#include "core/text.h"
#include "reader/core/readerrules.h"
#include "reader/core/voice.h"
#include "reader/win32/companions.h"
#include "reader/win32/frmabout.h"
#include "reader/win32/frmadshow.h"
#include "reader/win32/frmbooktag.h"
#include "reader/win32/frmfullscreen.h"
#include "reader/win32/frmfullscreenb.h"
#include "reader/win32/frmset.h"
#include "reader/win32/sapi.h"
#include "tests/tools/waits.h"

#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace folio::win32;

namespace {

// One line per value: a line break inside it is written as a backslash and "n".
void say(const std::string& key, const std::wstring& value) {
    std::string line = key + "=";
    for (char c : utf8(value))
        line += c == '\n' ? std::string("\\n") : std::string(1, c);
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void say(const std::string& key, long long value) {
    say(key, std::to_wstring(value));
}

// The dialogs of this thread whose caption is `caption`: those shown, or all of them.
std::vector<HWND> dialogsCaptioned(const std::wstring& caption, bool shownOnly = true) {
    struct Search {
        std::wstring caption;
        bool shownOnly;
        std::vector<HWND> found;
    } search{caption, shownOnly, {}};
    struct Visit {
        static BOOL CALLBACK window(HWND hwnd, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            if ((IsWindowVisible(hwnd) || !s->shownOnly) && windowText(hwnd) == s->caption)
                s->found.push_back(hwnd);
            return TRUE;
        }
    };
    EnumThreadWindows(GetCurrentThreadId(), Visit::window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs `step` on a thread timer every 150 ms (modal loops dispatch it) until it returns true.
std::function<bool()> g_step;
void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_step && g_step()) {
        g_step = nullptr;
        KillTimer(nullptr, id);
    }
}
void everyTick(std::function<bool()> step) {
    g_step = std::move(step);
    SetTimer(nullptr, 0, 150, tick);
}

// Dispatches this thread's messages until `done` holds for one just dispatched (or, given no
// message, for none); false when the tests' wait bound passed first.
bool pumpUntil(const std::function<bool(const MSG*)>& done) {
    if (done(nullptr))
        return true;
    return folio::testing::waitUntil([&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (done(&msg))
                return true;
        }
        return done(nullptr);
    });
}

// Returns once every message posted to this thread before the call has been dispatched: a
// message it posts itself comes back after them.
void roundTrip() {
    constexpr UINT Marker = WM_APP + 77;
    PostThreadMessageW(GetCurrentThreadId(), Marker, 0, 0);
    pumpUntil([](const MSG* m) { return m && m->hwnd == nullptr && m->message == Marker; });
}

std::wstring listItems(HWND list, bool combo = false) {
    const UINT count = combo ? CB_GETCOUNT : LB_GETCOUNT;
    const UINT length = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const UINT text = combo ? CB_GETLBTEXT : LB_GETTEXT;
    std::wstring out;
    const int n = static_cast<int>(SendMessageW(list, count, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::wstring item(static_cast<std::size_t>(SendMessageW(list, length, i, 0)) + 1, L'\0');
        SendMessageW(list, text, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(wcslen(item.c_str()));
        out += (i ? L"|" : L"") + item;
    }
    return out;
}

void click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND ownerWindow() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// BookTag.ini held open without sharing while the window loads (booktag-locked).
HANDLE g_held = INVALID_HANDLE_VALUE;

int runBookTag(const std::wstring& folder, const std::wstring& address, bool open) {
    everyTick([open] {
        HWND d = nullptr;
        for (HWND w : dialogsCaptioned(L"书签")) {
            if (GetDlgItem(w, booktag::List1)) {
                d = w;
            } else {
                // A message box over the window.
                say("message", windowText(GetDlgItem(w, 0xFFFF)));
                SendMessageW(w, WM_COMMAND, IDOK, 0);
            }
        }
        if (!d)
            return false;
        HWND list1 = GetDlgItem(d, booktag::List1);
        say("list", listItems(list1));
        say("name", windowText(GetDlgItem(d, booktag::Text1)));
        say("address", windowText(GetDlgItem(d, booktag::Text2)));
        RECT client{}, hidden{};
        GetClientRect(d, &client);
        GetWindowRect(GetDlgItem(d, booktag::List2), &hidden);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&hidden), 2);
        say("addresses-hidden", hidden.left >= client.right ? 1 : 0);
        if (open) {
            SendMessageW(list1, LB_SETCURSEL, 0, 0);
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(booktag::List1, LBN_DBLCLK),
                         reinterpret_cast<LPARAM>(list1));
            return true;
        }
        // Whoever held the file lets it go: closing could now write it.
        if (g_held != INVALID_HANDLE_VALUE) {
            CloseHandle(g_held);
            g_held = INVALID_HANDLE_VALUE;
        }
        // Delete with nothing selected removes nothing.
        click(d, booktag::Command3);
        say("after-delete-none", listItems(list1));
        click(d, booktag::Command2);
        click(d, booktag::Command2);
        say("after-add", listItems(list1));
        say("addresses", listItems(GetDlgItem(d, booktag::List2)));
        say("next-name", windowText(GetDlgItem(d, booktag::Text1)));
        SendMessageW(list1, LB_SETCURSEL, 0, 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(booktag::List1, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list1));
        click(d, booktag::Command3);
        say("after-delete", listItems(list1));
        click(d, booktag::Command1);
        return true;
    });
    ShowFrmBookTag(nullptr, folder, address,
                   [](const std::wstring& where) { say("navigate", where); });
    say("closed", 1);
    return 0;
}

// Two voices and no audio output; remembers what it was asked.
class FakeEngine final : public folio::reader::SpeechEngine {
  public:
    std::vector<std::string> voices() const override { return {"Voice A", "Voice B"}; }
    std::vector<std::string> outputs() const override { return {}; }
    bool setVoice(int i) override { return i == 0 || i == 1; }
    bool setOutput(int) override { return false; }
    bool setFormatType(int) override { return true; }
    bool setRate(int) override { return true; }
    bool setVolume(int) override { return true; }
    void speak(const std::string& text) override { say("speak", wide(text)); }
    void stop() override {}
};

int voiceSettings(const std::wstring& folder, const std::string& mode) {
    everyTick([mode] {
        // A tick comes only when no posted message waits (timers rank below them), so the
        // problems the window posts itself to tell once it is up have been told by now, or
        // their message box is open over it, shown or about to be.
        for (HWND d : dialogsCaptioned(L"语音设置", false)) {
            if (!GetDlgItem(d, voiceset::ComVoice)) {
                // The message box over the window.
                say("message", windowText(GetDlgItem(d, 0xFFFF)));
                if (mode != "shot")
                    SendMessageW(d, WM_COMMAND, IDOK, 0);
                return false;
            }
        }
        const auto found = dialogsCaptioned(L"语音设置");
        if (found.empty() || mode == "shot")
            return false;
        HWND d = found.front();
        say("voices", listItems(GetDlgItem(d, voiceset::ComVoice), true));
        say("voice-index", SendMessageW(GetDlgItem(d, voiceset::ComVoice), CB_GETCURSEL, 0, 0));
        say("outputs", listItems(GetDlgItem(d, voiceset::ComOutput), true));
        say("output-enabled", IsWindowEnabled(GetDlgItem(d, voiceset::ComOutput)) ? 1 : 0);
        HWND formats = GetDlgItem(d, voiceset::ComFormat);
        say("format-count", SendMessageW(formats, CB_GETCOUNT, 0, 0));
        const auto chosen = SendMessageW(formats, CB_GETCURSEL, 0, 0);
        std::wstring name(64, L'\0');
        SendMessageW(formats, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(name.data()));
        name.resize(wcslen(name.c_str()));
        say("format", name);
        say("format-type", SendMessageW(formats, CB_GETITEMDATA, chosen, 0));
        say("rate", SendMessageW(GetDlgItem(d, voiceset::Rate), TBM_GETPOS, 0, 0));
        say("volume", SendMessageW(GetDlgItem(d, voiceset::Volume), TBM_GETPOS, 0, 0));
        say("recorded", SendMessageW(GetDlgItem(d, voiceset::Check1), BM_GETCHECK, 0, 0));
        say("folder", windowText(GetDlgItem(d, voiceset::Text2)));
        say("test-text", windowText(GetDlgItem(d, voiceset::Text1)));
        if (mode == "fake")
            click(d, voiceset::Command3);
        if (mode == "system") {
            HWND rate = GetDlgItem(d, voiceset::Rate);
            SendMessageW(rate, TBM_SETPOS, TRUE, 5);
            SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(rate));
        }
        click(d, voiceset::Command1);
        return true;
    });
    const VoiceApplied applied = [](const folio::reader::VoiceSettings& s) {
        say("applied", wide(s.voice + " " + std::to_string(s.rate) + " " +
                            std::to_string(s.volume) + " " + (s.recorded ? "1" : "0")));
    };
    bool saved = false;
    if (mode == "none")
        saved = ShowFrmSet(nullptr, folder, applied, nullptr, L"");
    else if (mode == "fake")
        saved = ShowFrmSet(nullptr, folder, applied, std::make_unique<FakeEngine>(), L"");
    else
        saved = ShowFrmSet(nullptr, folder, applied);
    say("saved", saved ? 1 : 0);
    return 0;
}

int shot(const std::wstring& folder, bool set) {
    // Up for eight seconds, then closed by its cancel button.
    const DWORD start = GetTickCount();
    everyTick([start, set] {
        if (GetTickCount() - start < 8000)
            return false;
        for (HWND d : dialogsCaptioned(set ? L"语音设置" : L"书签")) {
            if (set && !GetDlgItem(d, voiceset::ComVoice)) {
                SendMessageW(d, WM_COMMAND, IDOK, 0);
                return false;
            }
            click(d, set ? voiceset::Command2 : booktag::Command1);
        }
        return true;
    });
    if (set)
        ShowFrmSet(nullptr, folder, {});
    else
        ShowFrmBookTag(nullptr, folder, L"http://example.org/page.html", {});
    return 0;
}

int fullscreen() {
    HWND owner = ownerWindow();
    ShowWindow(owner, SW_SHOW);
    HWND fs = ShowFrmFullScreen(owner, L"about:blank", {});
    say("created", fs ? 1 : 0);
    HWND exitWindow = FullScreenExitWindow(fs);
    say("exit-window", exitWindow ? 1 : 0);
    auto topmost = [exitWindow] {
        return (GetWindowLongW(exitWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    };
    say("exit-topmost-at-once", topmost() ? 1 : 0);
    // Its first tick lifts the exit window on top.
    pumpUntil([&](const MSG*) { return topmost(); });
    say("caption", windowText(fs));
    const LONG style = GetWindowLongW(fs, GWL_STYLE);
    say("fullscreen-has-title-bar", (style & WS_CAPTION) == WS_CAPTION ? 1 : 0);
    RECT r{};
    GetWindowRect(fs, &r);
    say("covers-screen", r.left <= 0 && r.top <= 0 && r.right >= GetSystemMetrics(SM_CXSCREEN) &&
                                 r.bottom >= GetSystemMetrics(SM_CYSCREEN)
                             ? 1
                             : 0);
    const LONG exStyle = GetWindowLongW(exitWindow, GWL_EXSTYLE);
    say("exit-topmost", topmost() ? 1 : 0);
    say("exit-tool-window", (exStyle & WS_EX_TOOLWINDOW) ? 1 : 0);
    say("exit-caption", windowText(exitWindow));
    HMENU menu = GetSystemMenu(exitWindow, FALSE);
    say("exit-has-close-command", GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != UINT(-1) ? 1 : 0);
    say("exit-menu-items", GetMenuItemCount(menu));
    HWND bar = GetDlgItem(exitWindow, fullscreenb::TbrFull);
    say("exit-buttons", SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    RECT client{};
    GetClientRect(exitWindow, &client);
    say("exit-client", std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom));
    RECT where{};
    GetWindowRect(exitWindow, &where);
    say("exit-left-top", std::to_wstring(where.left) + L"," + std::to_wstring(where.top));
    // Close requests other than the button are refused.
    SendMessageW(exitWindow, WM_CLOSE, 0, 0);
    SendMessageW(exitWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    roundTrip(); // whatever the requests posted has been dispatched
    say("after-close-request", (IsWindow(exitWindow) && IsWindow(fs)) ? 1 : 0);
    SendMessageW(exitWindow, WM_COMMAND, MAKEWPARAM(fullscreenb::ExitButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(bar));
    roundTrip();
    say("after-exit-fullscreen", IsWindow(fs) ? 1 : 0);
    say("after-exit-exit-window", IsWindow(exitWindow) ? 1 : 0);
    say("after-exit-owner", IsWindow(owner) ? 1 : 0);
    // A second full screen starts afresh.
    HWND again = ShowFrmFullScreen(owner, L"", {});
    say("again-exit-window", FullScreenExitWindow(again) ? 1 : 0);
    DestroyWindow(again);
    say("again-gone", (!IsWindow(again) && !FullScreenExitWindow(again)) ? 1 : 0);
    DestroyWindow(owner);
    return 0;
}

int adshow(double showTime, int ticks) {
    HWND ad = ShowFrmADShow(nullptr, showTime, L"", {});
    say("created", ad ? 1 : 0);
    RECT client{};
    GetClientRect(ad, &client);
    say("client", std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom));
    say("has-title-bar", (GetWindowLongW(ad, GWL_STYLE) & WS_CAPTION) == WS_CAPTION ? 1 : 0);
    // The window decides on each tick of its timer whether its time is up.
    const DWORD start = GetTickCount();
    int ticked = 0;
    pumpUntil([&](const MSG* m) {
        if (m && m->hwnd == ad && m->message == WM_TIMER)
            ++ticked;
        return !IsWindow(ad) || ticked >= ticks;
    });
    const bool open = IsWindow(ad);
    say("open", open ? 1 : 0);
    if (!open)
        say("closed-within-ms", GetTickCount() - start);
    if (open)
        DestroyWindow(ad);
    return 0;
}

int aboutBox() {
    everyTick([] {
        const auto found = dialogsCaptioned(L"关于 folioPage");
        if (found.empty())
            return false;
        HWND d = found.front();
        say("title", windowText(GetDlgItem(d, about::LblTitle)));
        say("version", windowText(GetDlgItem(d, about::LblVersion)));
        say("description", windowText(GetDlgItem(d, about::LblDescription)));
        say("ok", windowText(GetDlgItem(d, about::CmdOK)));
        click(d, about::CmdOK);
        return true;
    });
    ShowFrmAbout(nullptr, L"folioPage");
    say("closed", 1);
    return 0;
}

int rules() {
    for (const auto& format : folio::reader::audioFormats()) {
        WaveShape shape;
        const bool ok = waveShapeOfFormatType(format.type, shape);
        say(std::string(format.name), ok ? std::to_wstring(shape.samplesPerSecond) + L" " +
                                               std::to_wstring(shape.bitsPerSample) + L" " +
                                               std::to_wstring(shape.channels)
                                         : L"none");
    }
    WaveShape outside;
    say("type-3", waveShapeOfFormatType(3, outside) ? 1 : 0);
    say("type-40", waveShapeOfFormatType(40, outside) ? 1 : 0);
    // The readers' rule as the Windows build compiles it.
    using folio::reader::advertTimeIsUp;
    constexpr long long Day = 86400000LL; // milliseconds
    say("ad-0-nothing", advertTimeIsUp(0, 0) ? 1 : 0);
    say("ad-0-tick", advertTimeIsUp(1, 0) ? 1 : 0);
    say("ad-1-day", advertTimeIsUp(Day, 1) ? 1 : 0);
    say("ad-1-day-and-tick", advertTimeIsUp(Day + 1, 1) ? 1 : 0);
    say("ad-half-rounds-to-0", advertTimeIsUp(1, 0.5) ? 1 : 0);
    say("ad-1.5-rounds-to-2", advertTimeIsUp(Day + Day / 2, 1.5) ? 1 : 0);
    say("ad-huge", advertTimeIsUp(Day * 1000, 1e300) ? 1 : 0);
    say("ad-negative", advertTimeIsUp(0, -3) ? 1 : 0);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    OleInitialize(nullptr);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const std::wstring arg2 = argc > 2 ? argv[2] : L"";
    const std::wstring arg3 = argc > 3 ? argv[3] : L"";
    int code = 2;
    if (command == L"booktag")
        code = runBookTag(arg2, arg3, false);
    else if (command == L"booktag-chinese")
        code = runBookTag(arg2 + L"\\书架", arg3, false);
    else if (command == L"booktag-locked") {
        // Another program holds BookTag.ini open without sharing it while the window is up.
        g_held = CreateFileW((arg2 + L"\\BookTag.ini").c_str(), GENERIC_READ, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        say("held", g_held != INVALID_HANDLE_VALUE ? 1 : 0);
        code = runBookTag(arg2, L"x.html", false);
    } else if (command == L"booktag-open")
        code = runBookTag(arg2, L"", true);
    else if (command == L"set")
        code = voiceSettings(arg2, "system");
    else if (command == L"set-none")
        code = voiceSettings(arg2, "none");
    else if (command == L"set-fake")
        code = voiceSettings(arg2, "fake");
    else if (command == L"shot-booktag" || command == L"shot-set")
        code = shot(arg2, command == L"shot-set");
    else if (command == L"fullscreen")
        code = fullscreen();
    else if (command == L"adshow")
        code = adshow(_wtof(arg2.c_str()), _wtoi(arg3.c_str()));
    else if (command == L"about")
        code = aboutBox();
    else if (command == L"rules")
        code = rules();
    else
        std::fputs("usage: companions_probe COMMAND [ARG...]\n", stderr);
    OleUninitialize();
    return code;
}
