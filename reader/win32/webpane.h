// A browser pane of the reading window: the embedded WebBrowser control when the system has a
// working one, otherwise a plain child window, so the reader still starts without it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace folio::win32 {

class WebPane {
  public:
    // `name` is the pane's control name (WebTree, WebBook), kept as its window text.
    static std::unique_ptr<WebPane> create(HWND parent, const wchar_t* name);
    virtual ~WebPane() = default;

    virtual void navigate(const std::wstring& url) = 0;
    // Replaces the pane's document by `html`, once the pane's current page (about:blank) has
    // loaded. False when no document came within a short wait (no working browser engine).
    virtual bool writeDocument(const std::wstring& html) = 0;
    virtual void setBounds(const RECT& r) = 0;
    // True when the pane is the browser control rather than the plain fallback.
    virtual bool isBrowser() const = 0;
    // Offers a keyboard message to the pane (the browser's own keys: Tab, arrows, copy);
    // true when the pane used it.
    virtual bool translateAccelerator(MSG*) { return false; }

    // Called before the pane navigates to an address (a link, a script, a navigate call);
    // returning true cancels that navigation.
    using BeforeNavigate = std::function<bool(const std::wstring& url)>;
    virtual void setBeforeNavigate(BeforeNavigate) {}
};

// The plain fallback alone (used when the browser control cannot be created).
std::unique_ptr<WebPane> createPlainPane(HWND parent, const wchar_t* name);

} // namespace folio::win32
