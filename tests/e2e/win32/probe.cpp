// A test program run under Wine beside a Book image: starts the book, finds its reading
// window, lists the window's controls and drives it, writing what it sees as text lines.
//   probe.exe BOOK.exe COMMAND...
// Commands: controls | toolbar1 N | toolbar2 N | zoom | panes | drag X | windows | dismiss |
//           clip TEXT | clipempty | clipboard | savedialog NAME | boxes | answer ID |
//           await CLASS | awaittop | awaitbox | wait MS | close |
//           keys CHORD (typed into the book: "Ctrl+Shift+F", "Return") | type TEXT (into the
//           control that has the book's keyboard) | focus | list ID (a list box's lines) |
//           choose ID N (line N of a list box) | text ID (a control's text)
// Every command that sends the book something returns once the book has taken it (see
// settle()); the await commands wait for a window the book shows in its own time. No command
// waits a fixed time except "wait", which only keeps the window up for a picture.
#include "../../tools/waits.h" // the tests' one wait bound (this program has no include path)

#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

using folio::testing::WaitBoundMs;
using folio::testing::waitUntil;

namespace {

constexpr int Toolbar1Base = 1000; // the reading window's toolbar command ids
constexpr int Toolbar2Base = 1100;

DWORD g_pid = 0;
HANDLE g_process = nullptr;
HWND g_form = nullptr;

void out(const std::wstring& line) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    std::fputs(bytes.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

std::wstring text(HWND h) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT is marshalled between processes; GetWindowText of another process's control
    // is not. A book busy for a while (a loaded machine) is waited for, not taken for hung.
    SendMessageTimeoutW(h, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                        WaitBoundMs, nullptr);
    return buffer;
}

std::wstring className(HWND h) {
    wchar_t buffer[128] = {};
    GetClassNameW(h, buffer, 128);
    return buffer;
}

BOOL CALLBACK collectOwn(HWND h, LPARAM p) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == g_pid && IsWindowVisible(h))
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
}

BOOL CALLBACK collect(HWND h, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
}

std::vector<HWND> topWindows() {
    std::vector<HWND> found;
    EnumWindows(collectOwn, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND child(int id) {
    for (HWND h : children(g_form))
        if (GetDlgCtrlID(h) == id)
            return h;
    return nullptr;
}

// A button's caption, read through a buffer in the reader's own memory.
std::wstring buttonText(HWND toolbar, int command) {
    void* remote = VirtualAllocEx(g_process, nullptr, 1024, MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return L"?";
    const LRESULT n =
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, command, reinterpret_cast<LPARAM>(remote));
    wchar_t local[512] = {};
    if (n > 0 && n < 511)
        ReadProcessMemory(g_process, remote, local, static_cast<SIZE_T>(n) * sizeof(wchar_t),
                          nullptr);
    VirtualFreeEx(g_process, remote, 0, MEM_RELEASE);
    return local;
}

void toolbarLine(HWND toolbar, int base) {
    const int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    std::wstring hidden, disabled, captions;
    for (int i = 1; i <= count; ++i) {
        if (SendMessageW(toolbar, TB_ISBUTTONHIDDEN, base + i, 0))
            hidden += L" " + std::to_wstring(i);
        if (!SendMessageW(toolbar, TB_ISBUTTONENABLED, base + i, 0))
            disabled += L" " + std::to_wstring(i);
        captions += (i > 1 ? L"," : L"") + buttonText(toolbar, base + i);
    }
    out(L"toolbar " + text(toolbar) + L" buttons=" + std::to_wstring(count) + L" hidden=" + hidden +
        L" disabled=" + disabled);
    out(L"captions " + text(toolbar) + L" " + captions);
}

void controls() {
    for (HWND h : children(g_form)) {
        const std::wstring cls = className(h);
        std::wstring line =
            L"control " + std::to_wstring(GetDlgCtrlID(h)) + L" " + cls + L" " + text(h);
        if (cls == TRACKBAR_CLASSW)
            line += L" range=" + std::to_wstring(SendMessageW(h, TBM_GETRANGEMIN, 0, 0)) + L".." +
                    std::to_wstring(SendMessageW(h, TBM_GETRANGEMAX, 0, 0)) + L" pos=" +
                    std::to_wstring(SendMessageW(h, TBM_GETPOS, 0, 0));
        if (cls == WC_COMBOBOXW)
            line += L" items=" + std::to_wstring(SendMessageW(h, CB_GETCOUNT, 0, 0));
        out(line);
        if (cls == TOOLBARCLASSNAMEW)
            toolbarLine(h, text(h) == L"Toolbar2" ? Toolbar2Base : Toolbar1Base);
    }
}

void panes() {
    // By id: a plain pane (no browser engine) shows text rather than its name.
    for (const auto& [id, name] : {std::pair{103, L"WebTree"}, {104, L"WebBook"}, {105, L"Pic"}}) {
        HWND h = child(id);
        RECT r{};
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, g_form, reinterpret_cast<POINT*>(&r), 2);
        out(L"pane " + std::wstring(name) + L" left=" + std::to_wstring(r.left) + L" width=" +
            std::to_wstring(r.right - r.left));
    }
}

void windows() {
    for (HWND h : topWindows()) {
        const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
        out(L"window " + className(h) + L" topmost=" + ((ex & WS_EX_TOPMOST) ? L"1" : L"0") + L" " +
            text(h));
        // A dialog's controls and their captions.
        if (className(h) == L"#32770")
            for (HWND c : children(h))
                out(L"child " + std::to_wstring(GetDlgCtrlID(c)) + L" " + text(c));
    }
}

// The control `id` of the book's dialog that has one (the companion window open now).
HWND dialogItem(int id) {
    for (HWND h : topWindows())
        if (className(h) == L"#32770")
            if (HWND item = GetDlgItem(h, id))
                return item;
    return nullptr;
}

// The message boxes of the book: dialogs holding the static text control 0xFFFF.
std::vector<HWND> messageBoxes() {
    std::vector<HWND> found;
    for (HWND h : topWindows())
        if (className(h) == L"#32770" && GetDlgItem(h, 0xFFFF))
            found.push_back(h);
    return found;
}

HWND waitForWindow(const std::wstring& caption) {
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND h : topWindows())
            if (text(h) == caption)
                found = h;
        return found != nullptr;
    });
    return found;
}

// Waits until every message posted to the book so far has been dispatched. The book's window
// thread takes posted messages in the order they came, in its own loop or in the loop of a
// modal window it opened, so a marker posted last is dispatched last: the marker is a new page
// size for the player's progress bar (which no one pages while nothing plays), read back with
// a sent message, which the thread answers inside any of its loops.
void settle() {
    static LPARAM marker = 1000;
    ++marker;
    HWND bar = child(112);
    PostMessageW(bar, TBM_SETPAGESIZE, 0, marker);
    const bool taken = waitUntil([&] {
        DWORD_PTR size = 0;
        SendMessageTimeoutW(bar, TBM_GETPAGESIZE, 0, 0, SMTO_NORMAL, WaitBoundMs, &size);
        return static_cast<LPARAM>(size) == marker;
    });
    if (!taken)
        out(L"error the book did not take what it was sent");
}

// Waits until the book shows a window that `wanted` accepts.
void await(const wchar_t* what, bool (*wanted)(HWND, const std::wstring&),
           const std::wstring& argument = L"") {
    const bool shown = waitUntil([&] {
        for (HWND h : topWindows())
            if (h != g_form && wanted(h, argument))
                return true;
        return false;
    });
    if (!shown)
        out(L"error no " + std::wstring(what) + L" " + argument);
}

void setClipboard(const std::wstring& value, bool empty) {
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    if (!empty) {
        const std::size_t bytes = (value.size() + 1) * sizeof(wchar_t);
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            std::memcpy(GlobalLock(memory), value.c_str(), bytes);
            GlobalUnlock(memory);
            SetClipboardData(CF_UNICODETEXT, memory);
        }
    }
    CloseClipboard();
}

std::wstring clipboardText() {
    std::wstring value;
    if (!OpenClipboard(nullptr))
        return value;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        value = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return value;
}

// Types NAME into the save dialog's file name box and presses its OK button.
void saveDialog(const std::wstring& name) {
    HWND dialog = waitForWindow(L"保存文件");
    if (!dialog) {
        out(L"error no save dialog");
        return;
    }
    for (int id : {1148, 1152}) { // the name box: a combo box, or an edit box
        if (HWND box = GetDlgItem(dialog, id)) {
            SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
            break;
        }
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    settle();
}

// Types a chord ("Ctrl+Shift+F", "F3", "Return", "Esc") into the book as the keyboard would, so
// that the book sees the modifier keys held.
void keys(const std::wstring& chord) {
    // To the book's window in front (full screen, a companion), else to the reading window.
    DWORD pid = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &pid);
    if (pid != g_pid) {
        SetForegroundWindow(g_form);
        waitUntil([] { return GetForegroundWindow() == g_form; });
    }
    std::vector<WORD> down;
    std::wstring rest = chord;
    for (auto [name, key] :
         {std::pair{L"Ctrl+", VK_CONTROL}, {L"Shift+", VK_SHIFT}, {L"Alt+", VK_MENU}}) {
        if (rest.starts_with(name)) {
            down.push_back(static_cast<WORD>(key));
            rest = rest.substr(std::wcslen(name));
        }
    }
    WORD key = rest.size() == 1    ? static_cast<WORD>(rest[0])
               : rest == L"Return" ? VK_RETURN
               : rest == L"Esc"    ? VK_ESCAPE
               : rest == L"PgDown" ? VK_NEXT
               : rest == L"PgUp"   ? VK_PRIOR
               : rest[0] == L'F'
                   ? static_cast<WORD>(VK_F1 - 1 + std::wcstol(rest.c_str() + 1, nullptr, 10))
                   : 0;
    down.push_back(key);
    std::vector<INPUT> inputs;
    for (WORD k : down) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        inputs.push_back(in);
    }
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = *it;
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    settle();
}

// The control holding the book's keyboard.
HWND focused() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(g_form, nullptr), &info);
    return info.hwndFocus;
}

void press(HWND toolbar, int command) {
    // Posted: a command that opens a modal window must not hold the probe.
    PostMessageW(g_form, WM_COMMAND, MAKEWPARAM(command, 0), reinterpret_cast<LPARAM>(toolbar));
    settle();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY); // lines end in "\n" alone, for the tests
    if (argc < 2) {
        out(L"usage: probe BOOK.exe COMMAND...");
        return 2;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    LARGE_INTEGER frequency, started, shown;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        out(L"error cannot start the book");
        return 1;
    }
    g_pid = pi.dwProcessId;
    g_process = pi.hProcess;
    WaitForInputIdle(pi.hProcess, WaitBoundMs);
    // Shown (topWindows() lists visible windows only) at the end of its start-up.
    waitUntil([] {
        for (HWND h : topWindows())
            if (className(h) == L"FrmEBook" && !text(h).empty())
                g_form = h;
        return g_form != nullptr;
    });
    if (!g_form) {
        out(L"error no reading window");
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    QueryPerformanceCounter(&shown);
    out(L"caption " + text(g_form));
    // From the book's process start to its reading window shown, for the start-up benchmark.
    out(L"shown " +
        std::to_wstring((shown.QuadPart - started.QuadPart) * 1000000 / frequency.QuadPart) +
        L" us");
    bool closed = false;
    for (int i = 2; i < argc; ++i) {
        const std::wstring c = argv[i];
        auto number = [&]() { return i + 1 < argc ? std::wcstol(argv[++i], nullptr, 10) : 0; };
        if (c == L"controls")
            controls();
        else if (c == L"toolbar1")
            press(child(101), Toolbar1Base + static_cast<int>(number()));
        else if (c == L"toolbar2")
            press(child(102), Toolbar2Base + static_cast<int>(number()));
        else if (c == L"zoom")
            out(L"zoom " +
                std::to_wstring(reinterpret_cast<INT_PTR>(GetPropW(g_form, L"ZoomLevel"))));
        else if (c == L"panes")
            panes();
        else if (c == L"drag") {
            // Presses the splitter bar at its left edge and lets go X pixels away from it.
            HWND bar = child(105);
            const int x = static_cast<int>(number());
            PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 10));
            PostMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(x), 10));
            settle();
        } else if (c == L"windows")
            windows();
        else if (c == L"await" && i + 1 < argc)
            await(
                L"window", [](HWND h, const std::wstring& cls) { return className(h) == cls; },
                argv[++i]);
        else if (c == L"awaittop")
            await(L"window kept on top", [](HWND h, const std::wstring&) {
                return (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            });
        else if (c == L"awaitbox") {
            if (!waitUntil([] { return !messageBoxes().empty(); }))
                out(L"error no message box");
        } else if (c == L"wait")
            Sleep(static_cast<DWORD>(number()));
        else if (c == L"dismiss") {
            // Closes every other window of the book (a modal companion ends its loop).
            for (HWND h : topWindows())
                if (h != g_form)
                    PostMessageW(h, WM_CLOSE, 0, 0);
            settle();
        } else if (c == L"clip" && i + 1 < argc)
            setClipboard(argv[++i], false);
        else if (c == L"clipempty")
            setClipboard(L"", true);
        else if (c == L"clipboard")
            out(L"clipboard [" + clipboardText() + L"]");
        else if (c == L"savedialog" && i + 1 < argc)
            saveDialog(argv[++i]);
        else if (c == L"boxes") {
            for (HWND h : messageBoxes())
                out(L"box " + text(h) + L"|" + text(GetDlgItem(h, 0xFFFF)));
        } else if (c == L"answer") {
            const int answer = static_cast<int>(number());
            for (HWND h : messageBoxes())
                PostMessageW(h, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
            settle();
        } else if (c == L"keys" && i + 1 < argc) {
            keys(argv[++i]);
        } else if (c == L"focus") {
            out(L"focus " + std::to_wstring(GetDlgCtrlID(focused())));
        } else if (c == L"type" && i + 1 < argc) {
            SendMessageW(focused(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[++i]));
            settle();
        } else if (c == L"list") {
            HWND list = child(static_cast<int>(number()));
            const LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
            out(L"list " + std::to_wstring(GetDlgCtrlID(list)) + L" visible=" +
                (IsWindowVisible(list) ? L"1" : L"0") + L" count=" + std::to_wstring(n));
            for (LRESULT k = 0; k < n; ++k) {
                wchar_t line[1024] = {};
                if (SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(k), 0) < 1024)
                    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(k),
                                 reinterpret_cast<LPARAM>(line));
                out(L"item " + std::wstring(line));
            }
        } else if (c == L"choose" && i + 2 < argc) {
            // Picks a list box's line as a click would: the selection, then its notice.
            HWND list = child(static_cast<int>(number()));
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(number()), 0);
            PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK),
                         reinterpret_cast<LPARAM>(list));
            settle();
        } else if (c == L"pick" && i + 2 < argc) {
            // Picks a drop-down list's entry in the open dialog, with the notice a choice sends.
            HWND list = dialogItem(static_cast<int>(number()));
            SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(number()), 0);
            PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list));
            settle();
        } else if (c == L"click" && i + 1 < argc) {
            // Clicks a button of the open dialog; a check box changes its mark first, as a
            // click would.
            HWND button = dialogItem(static_cast<int>(number()));
            if ((GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                SendMessageW(button, BM_SETCHECK,
                             SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED
                                                                                    : BST_CHECKED,
                             0);
            PostMessageW(GetParent(button), WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            settle();
        } else if (c == L"text") {
            HWND h = child(static_cast<int>(number()));
            out(L"text " + std::to_wstring(GetDlgCtrlID(h)) + L" " + text(h));
        } else if (c == L"close") {
            PostMessageW(g_form, WM_CLOSE, 0, 0);
            closed = true;
        } else
            out(L"error unknown command " + c);
    }
    // Every command has been taken: a book not told to close has nothing left to do.
    if (!closed || WaitForSingleObject(pi.hProcess, WaitBoundMs) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
