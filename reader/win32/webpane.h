// A browser pane of the reading window: the embedded WebBrowser control when the system has a
// working one (the control and an HTML engine behind it), otherwise a plain child window, so
// the reader still starts without it and can say why no page shows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
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
    // The plain fallback shows `notice` (why no page shows) above the address or the text it
    // was given; the browser control has no use for it.
    virtual void setNotice(const std::wstring&) {}
    // Offers a keyboard message to the pane (the browser's own keys: Tab, arrows, copy);
    // true when the pane used it.
    virtual bool translateAccelerator(MSG*) { return false; }

    // Called before the pane navigates to an address (a link, a script, a navigate call);
    // returning true cancels that navigation.
    using BeforeNavigate = std::function<bool(const std::wstring& url)>;
    virtual void setBeforeNavigate(BeforeNavigate) {}
    // Called when an address of the pane's own document cannot be loaded; returning true
    // keeps the browser's error page away (the caller shows a page of its own).
    using NavigateError = std::function<bool(const std::wstring& url)>;
    virtual void setNavigateError(NavigateError) {}

    // The pane's own commands; the plain pane has none of them.
    virtual void goBack() {}
    virtual void goForward() {}
    virtual void refresh() {}
    virtual void stop() {}
    // Runs a browser command (OLECMDID_*: 12 copy, 32 find) with its default options.
    virtual bool exec(int) { return false; }
    // Runs `script` as JScript in the window of the document shown now; false when the pane
    // holds no document.
    virtual bool runScript(const std::wstring&) { return false; }
    // Runs `script` like runScript, then reads the window's property `property` as text: how a
    // script answers, as the browser's script call gives no value back. Nullopt when the pane
    // holds no document or the property is not set.
    virtual std::optional<std::wstring> evaluate(const std::wstring&, const std::wstring&) {
        return std::nullopt;
    }
    // The address of the document shown (or being loaded).
    virtual std::wstring locationUrl() const = 0;
    // Script-error dialogs off (true) or on.
    virtual void setSilent(bool) {}
    // Right-clicking the document shown now opens no menu.
    virtual void suppressContextMenu() {}
    virtual void focus() {}
    // The text selected in the document shown now.
    virtual std::wstring selectedText() const { return {}; }
    virtual HWND window() const = 0;

    // The pane's document has completed; a download has begun.
    using Event = std::function<void()>;
    virtual void setDocumentComplete(Event) {}
    virtual void setDownloadBegin(Event) {}
};

// The plain fallback alone (used when the browser control cannot be created).
std::unique_ptr<WebPane> createPlainPane(HWND parent, const wchar_t* name);
// The readable text of a simple page, as the plain pane shows it: the body without its tags,
// a line break for each <br> and each closed block.
std::wstring plainTextOf(const std::wstring& html);

} // namespace folio::win32
