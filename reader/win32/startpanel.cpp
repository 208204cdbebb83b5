// The start panel of the Windows reader (see startpanel.h).
#include "reader/win32/startpanel.h"

#include "reader/core/recentbooks.h"
#include "reader/win32/companions.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace folio::win32 {
namespace {

constexpr const wchar_t* StartPanelClass = L"FolioStartPanel";

struct Panel {
    HWND why = nullptr, open = nullptr, label = nullptr, recent = nullptr;
    std::vector<std::string> paths; // of the recent list's lines
};

HMENU asMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

void openBook(HWND panel, const std::wstring& path) {
    // A Book image is a reader of its own: it starts as a program.
    auto title = folio::reader::readBookTitle(utf8(path));
    if (!title) {
        MessageBoxW(panel, (L"不能打开这本书：" + wide(title.error().message)).c_str(),
                    L"folioPage", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::wstring command = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        MessageBoxW(panel, (L"不能打开这本书：" + path).c_str(), L"folioPage",
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void chooseBook(HWND panel) {
    wchar_t file[MAX_PATH * 4] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetAncestor(panel, GA_ROOT);
    ofn.lpstrFilter = L"电子书 (*.exe)\0*.exe\0全部文件 (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(std::size(file));
    ofn.lpstrTitle = L"打开";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&ofn))
        openBook(panel, file);
}

void layout(HWND hwnd, Panel& p) {
    RECT r;
    GetClientRect(hwnd, &r);
    const int width = std::max(0, static_cast<int>(r.right) - 24);
    MoveWindow(p.why, 12, 12, width, 60, TRUE);
    MoveWindow(p.open, 12, 80, 100, 28, TRUE);
    MoveWindow(p.label, 12, 120, width, 22, TRUE);
    MoveWindow(p.recent, 12, 146, width, std::max(0, static_cast<int>(r.bottom) - 158), TRUE);
}

LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* p = reinterpret_cast<Panel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!p)
        return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_SIZE:
        layout(hwnd, *p);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == IdStartOpen && HIWORD(wp) == BN_CLICKED)
            chooseBook(hwnd);
        else if (LOWORD(wp) == IdStartRecent && HIWORD(wp) == LBN_DBLCLK) {
            const LRESULT i = SendMessageW(p->recent, LB_GETCURSEL, 0, 0);
            if (i != LB_ERR && static_cast<std::size_t>(i) < p->paths.size())
                openBook(hwnd, wide(p->paths[static_cast<std::size_t>(i)]));
        }
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete p;
        return DefWindowProcW(hwnd, msg, wp, lp);
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

} // namespace

HWND createStartPanel(HWND parent, HFONT font, const std::wstring& why) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, StartPanelClass, &wc)) {
        wc.cbSize = sizeof wc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpfnWndProc = proc;
        wc.lpszClassName = StartPanelClass;
        RegisterClassExW(&wc);
    }
    HWND hwnd =
        CreateWindowExW(0, StartPanelClass, L"StartPanel", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                        0, 0, 10, 10, parent, asMenu(IdStartPanel), instance, nullptr);
    if (!hwnd)
        return nullptr;
    auto* p = new Panel;
    auto control = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int id) {
        HWND h = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                 hwnd, asMenu(id), instance, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return h;
    };
    p->why =
        control(L"STATIC",
                L"这本书无法读取：" + why + L"\r\n按“打开”选一本电子书，或从最近打开的书中选一本。",
                SS_LEFT, IdStartWhy);
    p->open = control(L"BUTTON", L"打开", BS_PUSHBUTTON | WS_TABSTOP, IdStartOpen);
    const folio::reader::RecentBooks recent;
    const auto books = recent.list();
    p->label = control(L"STATIC", books.empty() ? L"还没有打开过书。" : L"最近打开的书", SS_LEFT,
                       IdStartRecentLabel);
    p->recent = control(L"LISTBOX", L"ListRecent",
                        LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
                        IdStartRecent);
    for (const folio::reader::RecentBook& book : books) {
        const std::wstring line = wide(book.title) + L"  " + wide(book.path);
        SendMessageW(p->recent, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        p->paths.push_back(book.path);
    }
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
    layout(hwnd, *p);
    return hwnd;
}

} // namespace folio::win32
