// Win32 helpers of the companion windows (see companions.h).
#include "reader/win32/companions.h"

#include "core/text.h"
#include "core/twips.h"

#include <shlobj.h>

#include <vector>

namespace folio::win32 {

std::wstring wide(std::string_view utf8Text) {
    const std::u16string units = utf8ToUtf16(utf8Text);
    return std::wstring(units.begin(), units.end());
}

std::string utf8(std::wstring_view text) {
    return utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string coreFolder(const std::wstring& folder) {
    std::wstring trimmed = folder;
    while (trimmed.size() > 1 && (trimmed.back() == L'\\' || trimmed.back() == L'/'))
        trimmed.pop_back();
    return utf8(trimmed);
}

int screenDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int d = screen ? GetDeviceCaps(screen, LOGPIXELSX) : StandardDpi;
        if (screen)
            ReleaseDC(nullptr, screen);
        return d > 0 ? d : StandardDpi;
    }();
    return dpi;
}

std::wstring windowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n > 0 ? n : 0) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

HWND addControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                int left, int top, int width, int height, DWORD exStyle) {
    HWND control = CreateWindowExW(
        exStyle, className, text, WS_CHILD | WS_VISIBLE | style, twipsToPixels(left, screenDpi()),
        twipsToPixels(top, screenDpi()), twipsToPixels(width, screenDpi()),
        twipsToPixels(height, screenDpi()), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(companionFont()), FALSE);
    return control;
}

HFONT companionFont() {
    // The system's message font, asked for with the Chinese character set: the captions are
    // Chinese whatever the system's own language, and a face without those characters would
    // show boxes. Made once, kept for the life of the program.
    static const HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        LOGFONTW face{};
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            face = metrics.lfMessageFont;
        else
            face.lfHeight = -12;
        if (GetACP() != 936) {
            face.lfCharSet = GB2312_CHARSET;
            face.lfFaceName[0] = L'\0';
        }
        return CreateFontIndirectW(&face);
    }();
    return font;
}

void setClientTwips(HWND hwnd, int width, int height) {
    RECT r{0, 0, twipsToPixels(width, screenDpi()), twipsToPixels(height, screenDpi())};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool registerCompanionClass(const wchar_t* name, WNDPROC proc, int background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    const HINSTANCE self = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(self, name, &wc))
        return true;
    wc.lpfnWndProc = proc;
    wc.hInstance = self;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

void centreOnOwner(HWND hwnd) {
    RECT area{};
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT self{};
    GetWindowRect(hwnd, &self);
    const int w = self.right - self.left, h = self.bottom - self.top;
    SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

void appendWord(std::vector<WORD>& out, WORD w) {
    out.push_back(w);
}

void appendText(std::vector<WORD>& out, const wchar_t* text) {
    for (; *text; ++text)
        out.push_back(static_cast<WORD>(*text));
    out.push_back(0);
}

} // namespace

INT_PTR runDialog(HWND owner, const wchar_t* caption, DLGPROC proc, LPARAM param) {
    // DLGTEMPLATE, no controls: the size is set in code from twips once the font is known.
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(t.data());
    header->style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header->cdit = 0;
    appendWord(t, 0); // no menu
    appendWord(t, 0); // the dialog class
    appendText(t, caption);
    appendWord(t, 9);
    appendText(t, L"MS Shell Dlg");
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                   reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner, proc,
                                   param);
}

std::wstring BrowseForFolder(HWND owner) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = L"选择这个文件夹：";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return {};
    std::wstring path(MAX_PATH + 1, L'\0');
    const bool ok = SHGetPathFromIDListW(chosen, path.data());
    CoTaskMemFree(chosen);
    if (!ok)
        return {};
    path.resize(wcslen(path.c_str()));
    return path;
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring programVersion() {
    // VS_FIXEDFILEINFO found by its signature inside the version resource: no version.dll.
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    HGLOBAL handle = res ? LoadResource(self, res) : nullptr;
    const auto* data = handle ? static_cast<const BYTE*>(LockResource(handle)) : nullptr;
    const DWORD size = res ? SizeofResource(self, res) : 0;
    if (data) {
        for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
            VS_FIXEDFILEINFO info;
            memcpy(&info, data + at, sizeof info);
            if (info.dwSignature != 0xFEEF04BD)
                continue;
            return std::to_wstring(HIWORD(info.dwFileVersionMS)) + L"." +
                   std::to_wstring(LOWORD(info.dwFileVersionMS)) + L"." +
                   std::to_wstring(LOWORD(info.dwFileVersionLS));
        }
    }
    return L"1.0.0";
}

COLORREF colourOf(std::string_view hex) {
    unsigned rgb[3] = {};
    if (hex.size() != 7 || hex[0] != '#')
        return RGB(0, 0, 0);
    for (int i = 0; i < 6; ++i) {
        const char c = hex[1 + i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return RGB(0, 0, 0);
        rgb[i / 2] = rgb[i / 2] * 16 + static_cast<unsigned>(digit);
    }
    return RGB(rgb[0], rgb[1], rgb[2]);
}

ThemePaint::~ThemePaint() {
    if (m_brush)
        DeleteObject(m_brush);
}

void ThemePaint::set(std::string_view foreground, std::string_view background) {
    if (m_brush)
        DeleteObject(m_brush);
    m_brush = nullptr;
    if (foreground.empty() || background.empty())
        return;
    m_text = colourOf(foreground);
    m_back = colourOf(background);
    m_brush = CreateSolidBrush(m_back);
}

HBRUSH ThemePaint::paint(HDC dc) const {
    if (!m_brush)
        return nullptr;
    SetTextColor(dc, m_text);
    SetBkColor(dc, m_back);
    return m_brush;
}

} // namespace folio::win32
