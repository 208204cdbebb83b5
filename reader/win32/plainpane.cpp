// The fallback pane: a read-only text box showing the address or the page source, used when
// no browser control can be created.
#include "reader/win32/webpane.h"

#include "reader/win32/companions.h"

namespace folio::win32 {
std::wstring plainTextOf(const std::wstring& html) {
    std::size_t pos = html.find(L"<body");
    pos = pos == std::wstring::npos ? 0 : html.find(L'>', pos);
    pos = pos == std::wstring::npos ? 0 : pos + 1;
    std::wstring out;
    while (pos < html.size()) {
        if (html[pos] != L'<') {
            out += html[pos++];
            continue;
        }
        const std::size_t end = html.find(L'>', pos);
        if (end == std::wstring::npos)
            break;
        const std::wstring tag = html.substr(pos + 1, end - pos - 1);
        if (tag.starts_with(L"br") || tag == L"/div" || tag == L"/p")
            out += L"\r\n";
        pos = end + 1;
    }
    return out;
}

namespace {

class PlainPane final : public WebPane {
  public:
    PlainPane(HWND parent, const wchar_t* name) {
        m_hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", name,
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                     ES_AUTOVSCROLL,
                                 0, 0, 10, 10, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        // A face with the Chinese characters: the notice and the pages' text are mostly Chinese.
        SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(companionFont()), FALSE);
    }
    ~PlainPane() override {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }
    void navigate(const std::wstring& url) override {
        m_url = url;
        show(url);
    }
    std::wstring locationUrl() const override { return m_url; }
    HWND window() const override { return m_hwnd; }
    bool writeDocument(const std::wstring& html) override { return show(plainTextOf(html)); }
    void setNotice(const std::wstring& notice) override {
        m_notice = notice;
        show(m_content);
    }
    void setBounds(const RECT& r) override {
        MoveWindow(m_hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    bool isBrowser() const override { return false; }

  private:
    bool show(const std::wstring& content) {
        m_content = content;
        const std::wstring text = m_notice.empty() ? content : m_notice + L"\r\n\r\n" + content;
        return SetWindowTextW(m_hwnd, text.c_str()) != FALSE;
    }

    HWND m_hwnd = nullptr;
    std::wstring m_url;
    std::wstring m_notice;
    std::wstring m_content; // the address or the text, shown below the notice
};

} // namespace

std::unique_ptr<WebPane> createPlainPane(HWND parent, const wchar_t* name) {
    return std::make_unique<PlainPane>(parent, name);
}

} // namespace folio::win32
