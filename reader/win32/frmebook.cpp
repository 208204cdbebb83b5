// The reading window: start-up of a Book image on Windows.
#include "reader/win32/frmebook.h"

#include "reader/win32/descriptor.h"
#include "skin/skinloader.h"

namespace folio::win32 {
namespace {

// The reading window's layout in twips (15 twips = 1 pixel at 96 DPI): a contents pane 3000
// wide, a 100-wide bar, the page pane in the rest.
constexpr int TwipsPerPixel = 15;
constexpr int TreeWidthTwips = 3000;
constexpr int BarWidthTwips = 100;

// The descriptor resource (CUSTOM/101) of the running program, as raw ANSI bytes.
std::optional<std::string> ownDescriptor() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(101), L"CUSTOM");
    if (!res)
        return std::nullopt;
    HGLOBAL handle = LoadResource(self, res);
    const DWORD size = SizeofResource(self, res);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data)
        return std::nullopt;
    return std::string(static_cast<const char*>(data), size);
}

std::string toAnsi(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

} // namespace

std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring programFolder() {
    std::wstring path = programPath();
    const std::size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
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

std::unique_ptr<FrmEBook> FrmEBook::create(HINSTANCE instance, int show) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FrmEBook::windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExW(&wc);

    std::unique_ptr<FrmEBook> form(new FrmEBook);
    form->m_programPath = programPath();
    // No caption until LoadHtml has chosen one, so that "folioPage" always means it ran.
    form->m_hwnd = CreateWindowExW(0, ClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 900, 650, nullptr, nullptr, instance, form.get());
    if (!form->m_hwnd)
        return nullptr;
    form->onLoad();
    ShowWindow(form->m_hwnd, show);
    UpdateWindow(form->m_hwnd);
    return form;
}

FrmEBook::~FrmEBook() {
    m_webTree.reset();
    m_webBook.reset();
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    if (m_background)
        DeleteObject(m_background);
}

void FrmEBook::onLoad() {
    attachSkin();
    m_webTree = WebPane::create(m_hwnd, L"WebTree");
    m_webBook = WebPane::create(m_hwnd, L"WebBook");
    // The contents pane keeps its tree page and runs its scripts; every other link it is
    // asked to follow opens in the page pane.
    m_webTree->setBeforeNavigate([this](const std::wstring& url) {
        if (!contentsLinkGoesToPagePane(url) || !m_webBook)
            return false;
        m_webBook->navigate(url);
        return true;
    });
    layout();
    LoadHtml();
}

void FrmEBook::attachSkin() {
    // Only a skin file beside the program turns the skin on; a missing library is no error.
    const std::wstring skin = programFolder() + L"aero.she";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(skin.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    if (found.cFileName[0] == L'\0')
        return;
    if (!folio::skin::attachSkin(folio::skin::LibraryName, toAnsi(skin), m_hwnd))
        return;
    // The skin's window colour shows between and around the panes.
    if (const auto palette = folio::skin::attachedPalette(folio::skin::LibraryName)) {
        const unsigned c = palette->window;
        m_background = CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        SetClassLongPtrW(m_hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(m_background));
        InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

void FrmEBook::LoadHtml() {
    const std::optional<std::string> raw = ownDescriptor();
    const std::optional<BookStart> start =
        raw ? bookStart(fromAnsi(*raw), resourcePrefix(m_programPath)) : std::nullopt;
    if (start) {
        SetWindowTextW(m_hwnd, start->caption.c_str());
        m_webTree->navigate(start->contentsUrl);
        m_homeAddress = start->homeUrl;
        m_webBook->navigate(m_homeAddress);
        pumpMessages();
        return;
    }
    m_webTree->navigate(L"about:blank");
    m_webBook->navigate(L"about:blank");
    pumpMessages();
    writeAbout(m_webTree, L"WebTree");
    writeAbout(m_webBook, L"WebBook");
    SetWindowTextW(m_hwnd, L"folioPage");
}

void FrmEBook::writeAbout(std::unique_ptr<WebPane>& pane, const wchar_t* name) {
    if (pane->writeDocument(AboutHtml()))
        return;
    // A browser control without a working engine never gives a document: show the about
    // text in a plain pane instead of leaving the pane blank.
    pane = createPlainPane(m_hwnd, name);
    layout();
    pane->writeDocument(AboutHtml());
}

std::wstring FrmEBook::AboutHtml() {
    return L"<!DOCTYPE html PUBLIC '-//W3C//DTD XHTML 1.0 Transitional//EN' "
           L"'http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd'>"
           L"<html xmlns='http://www.w3.org/1999/xhtml'>"
           L"<head><meta http-equiv='Content-Type' content='text/html; charset=gb2312' />"
           L"<title>Mirelo电子书</title></head><body>"
           L"<div align='center'><a href='https://folio.example.org/' "
           L"target='_blank'>Mirelo电子书</a></div>"
           L"<div align='center'>联系我们：folio@example.org</div>"
           L"<div align='center'>把一个文件夹的HTML网页制作成一个电子书程序<br />"
           L"一个文件，随处打开阅读</div>"
           L"</body></html>";
}

bool FrmEBook::translateAccelerator(MSG* msg) {
    return (m_webTree && m_webTree->translateAccelerator(msg)) ||
           (m_webBook && m_webBook->translateAccelerator(msg));
}

void FrmEBook::layout() {
    if (!m_webTree || !m_webBook)
        return;
    RECT client;
    GetClientRect(m_hwnd, &client);
    const LONG tree = TreeWidthTwips / TwipsPerPixel;
    const LONG book = tree + BarWidthTwips / TwipsPerPixel;
    m_webTree->setBounds(RECT{0, 0, tree, client.bottom});
    m_webBook->setBounds(RECT{book, 0, client.right > book ? client.right : book, client.bottom});
}

LRESULT CALLBACK FrmEBook::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<FrmEBook*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_SIZE:
        if (self)
            self->layout();
        return 0;
    case WM_DESTROY:
        if (self) {
            // The panes' windows die with this one; drop them before the handles go stale.
            self->m_webTree.reset();
            self->m_webBook.reset();
            self->m_hwnd = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

} // namespace folio::win32
