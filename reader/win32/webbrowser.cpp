// The browser pane: the system's WebBrowser control hosted in a child window.
//
// There is no ATL here, so the container side is written out: a client site that is also the
// in-place site and the in-place frame, each method doing the least the control needs to
// activate in place inside our window. When the control cannot be created or activated (no
// browser engine installed), the pane falls back to the plain text pane. The site's services
// and ambient properties are the page confinement's (pagesecurity.h).
#include "reader/win32/webpane.h"

#include "reader/win32/pagesecurity.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleidl.h>

#include <utility>

namespace folio::win32 {
namespace {

constexpr const wchar_t* HostClass = L"FolioWebHost";
constexpr DWORD DocumentWaitMs = 2000;
// The HTML document object of the system's browser engine (mshtml), which the import
// libraries here do not name.
constexpr CLSID HtmlDocumentClass = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// Whether the system's browser engine can make an HTML document. Without one (Wine without its
// engine, a Windows whose browser component was removed) the WebBrowser control is still
// created but never shows a page, so the pane would stay blank with no word.
bool htmlEngineWorks() {
    static const bool works = [] {
        IUnknown* document = nullptr;
        const bool made =
            SUCCEEDED(CoCreateInstance(HtmlDocumentClass, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IUnknown, reinterpret_cast<void**>(&document))) &&
            document;
        if (document)
            document->Release();
        return made;
    }();
    return works;
}

// A BSTR owned for the length of one call.
class Bstr {
  public:
    explicit Bstr(const std::wstring& s)
        : m_bstr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~Bstr() { SysFreeString(m_bstr); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return m_bstr; }

  private:
    BSTR m_bstr;
};

template <typename T> void release(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}

class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  public:
    explicit Site(HWND host) : m_host(host) {}
    ~Site() { m_services->Release(); }
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;
    void setInPlace(IOleInPlaceObject* o) { m_inPlace = o; }

    // IUnknown: the site lives as long as its pane, which outlives the control.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceFrame) ||
                 IsEqualIID(riid, IID_IOleInPlaceUIWindow))
            *out = static_cast<IOleInPlaceFrame*>(this);
        else if (IsEqualIID(riid, IID_IServiceProvider) || IsEqualIID(riid, IID_IDispatch))
            return m_services->QueryInterface(riid, out); // the security manager, the ambients
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return m_refs > 1 ? --m_refs : 1; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
        if (m)
            *m = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        if (c)
            *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        if (!hwnd)
            return E_POINTER;
        *hwnd = m_host;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !pos || !clip || !info)
            return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *doc = nullptr;
        GetClientRect(m_host, pos);
        GetClientRect(m_host, clip);
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(m_host, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        m_inPlace = nullptr;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
        if (m_inPlace && rect)
            m_inPlace->SetObjectRects(rect, rect);
        return S_OK;
    }

    // IOleInPlaceUIWindow / IOleInPlaceFrame: no toolbars or menus are negotiated.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  private:
    HWND m_host;
    IOleInPlaceObject* m_inPlace = nullptr; // not owned
    IServiceProvider* m_services = createPageHostServices();
    ULONG m_refs = 1;
};

// The IDispatch of an object that lives as long as its pane and is only ever called: no type
// information, no names; `extra` is one more interface id it answers to (IID_IDispatch when
// none).
class CalledDispatch : public IDispatch {
  public:
    explicit CalledDispatch(const IID& extra) : m_extra(extra) {}
    virtual ~CalledDispatch() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, m_extra)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return m_refs > 1 ? --m_refs : 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n)
            *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }

  private:
    IID m_extra;
    ULONG m_refs = 1;
};

// Answers false when called: set as a document's context-menu handler, no menu opens.
class ContextBlocker final : public CalledDispatch {
  public:
    ContextBlocker() : CalledDispatch(IID_IDispatch) {}
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (result) {
            VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_FALSE;
        }
        return S_OK;
    }
};

// Receives the control's DWebBrowserEvents2: BeforeNavigate2 goes to the pane's handler,
// DocumentComplete (of the pane's own document, not of a frame) and DownloadBegin to theirs.
class EventSink final : public CalledDispatch {
  public:
    EventSink() : CalledDispatch(DIID_DWebBrowserEvents2) {}

    WebPane::BeforeNavigate handler;
    WebPane::NavigateError navigateError;
    WebPane::Event documentComplete;
    WebPane::Event downloadBegin;
    IUnknown* browser = nullptr; // the pane's control, to tell its document from a frame's

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (id == DISPID_DOWNLOADBEGIN) {
            if (downloadBegin)
                downloadBegin();
            return S_OK;
        }
        if (id == DISPID_NAVIGATEERROR) {
            // NavigateError(pDisp, URL, TargetFrameName, StatusCode, Cancel), last first.
            if (!navigateError || !params || params->cArgs != 5 || !isTop(params->rgvarg[4]))
                return S_OK;
            const VARIANT& url = params->rgvarg[3];
            const VARIANT& cancel = params->rgvarg[0];
            const VARIANT* text = url.vt == (VT_BYREF | VT_VARIANT) ? url.pvarVal : &url;
            if (!text || text->vt != VT_BSTR || cancel.vt != (VT_BYREF | VT_BOOL) ||
                !cancel.pboolVal)
                return S_OK;
            const std::wstring address(text->bstrVal ? text->bstrVal : L"",
                                       text->bstrVal ? SysStringLen(text->bstrVal) : 0);
            if (navigateError(address))
                *cancel.pboolVal = VARIANT_TRUE;
            return S_OK;
        }
        if (id == DISPID_DOCUMENTCOMPLETE) {
            // DocumentComplete(pDisp, URL): pDisp is the control itself for the top document.
            if (documentComplete && params && params->cArgs == 2 && isTop(params->rgvarg[1]))
                documentComplete();
            return S_OK;
        }
        if (id == DISPID_NEWWINDOW2 || id == DISPID_NEWWINDOW3) {
            // A page's window.open or target="_blank" would open a browser window of the
            // system's, outside this host and its security manager: pages open none.
            // NewWindow2(ppDisp, Cancel), NewWindow3(ppDisp, Cancel, ...): Cancel is second.
            if (params && params->cArgs >= 2) {
                VARIANT& cancel = params->rgvarg[params->cArgs - 2];
                if (cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal)
                    *cancel.pboolVal = VARIANT_TRUE;
            }
            return S_OK;
        }
        // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel):
        // the arguments arrive last first.
        if (id != DISPID_BEFORENAVIGATE2 || !params || params->cArgs != 7)
            return S_OK;
        const VARIANT& url = params->rgvarg[5];
        const VARIANT& cancel = params->rgvarg[0];
        const VARIANT* text = url.vt == (VT_BYREF | VT_VARIANT) ? url.pvarVal : &url;
        if (!text || text->vt != VT_BSTR || cancel.vt != (VT_BYREF | VT_BOOL) || !cancel.pboolVal)
            return S_OK;
        const std::wstring address(text->bstrVal ? text->bstrVal : L"",
                                   text->bstrVal ? SysStringLen(text->bstrVal) : 0);
        // The book's rule before the pane's own handler, in frames as in the top document:
        // whatever the handler would make of it, a page never leaves for an address refused.
        // The reader's own address of the chapter keys goes nowhere: only the handler hears it.
        if (address.starts_with(L"folio-reader:")) {
            *cancel.pboolVal = VARIANT_TRUE;
            if (handler && isTop(params->rgvarg[6]))
                handler(address);
            return S_OK;
        }
        if (!bookPageAllows(address) || (handler && handler(address)))
            *cancel.pboolVal = VARIANT_TRUE;
        return S_OK;
    }

  private:
    bool isTop(const VARIANT& disp) const {
        if (disp.vt != VT_DISPATCH || !disp.pdispVal || !browser)
            return true;
        IUnknown* unknown = nullptr;
        if (FAILED(disp.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))))
            return true;
        const bool top = unknown == browser;
        unknown->Release();
        return top;
    }
};

void registerHostClass() {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = HostClass;
    registered = RegisterClassExW(&wc) != 0;
}

class BrowserPane final : public WebPane {
  public:
    // Creates the control inside a new host window; false when any step fails, leaving the
    // object safe to destroy.
    bool init(HWND parent, const wchar_t* name) {
        if (!htmlEngineWorks())
            return false;
        registerHostClass();
        m_host = CreateWindowExW(0, HostClass, name, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                 10, 10, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!m_host)
            return false;
        m_site = std::make_unique<Site>(m_host);
        if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(&m_ole))) ||
            !m_ole)
            return false;
        if (FAILED(m_ole->SetClientSite(static_cast<IOleClientSite*>(m_site.get()))))
            return false;
        // The download control is read now, before the first document, rather than whenever
        // the control would come to ask for it.
        IOleControl* control = nullptr;
        if (SUCCEEDED(m_ole->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control))) &&
            control) {
            control->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL);
            control->Release();
        }
        OleSetContainedObject(m_ole, TRUE);
        RECT rc;
        GetClientRect(m_host, &rc);
        if (FAILED(m_ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                 static_cast<IOleClientSite*>(m_site.get()), 0, m_host, &rc)))
            return false;
        if (FAILED(m_ole->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser))) ||
            !m_browser)
            return false;
        if (SUCCEEDED(
                m_ole->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace))))
            m_site->setInPlace(m_inPlace);
        m_browser->put_Silent(VARIANT_TRUE); // script errors must not stop the reader
        m_browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_identity));
        m_sink.browser = m_identity;
        adviseEvents();
        return true;
    }

    void setBeforeNavigate(BeforeNavigate handler) override { m_sink.handler = std::move(handler); }
    void setNavigateError(NavigateError handler) override {
        m_sink.navigateError = std::move(handler);
    }
    void setDocumentComplete(Event e) override { m_sink.documentComplete = std::move(e); }
    void setDownloadBegin(Event e) override { m_sink.downloadBegin = std::move(e); }

    void goBack() override {
        if (m_browser)
            m_browser->GoBack();
    }
    void goForward() override {
        if (m_browser)
            m_browser->GoForward();
    }
    void refresh() override {
        if (m_browser)
            m_browser->Refresh();
    }
    void stop() override {
        if (m_browser)
            m_browser->Stop();
    }
    bool exec(int command) override {
        return m_browser && SUCCEEDED(m_browser->ExecWB(static_cast<OLECMDID>(command),
                                                        OLECMDEXECOPT_DODEFAULT, nullptr, nullptr));
    }
    bool runScript(const std::wstring& script) override {
        IHTMLDocument2* doc = currentDocument();
        if (!doc)
            return false;
        IHTMLWindow2* window = nullptr;
        bool ran = false;
        if (SUCCEEDED(doc->get_parentWindow(&window)) && window) {
            Bstr code(script);
            Bstr language(L"JScript");
            VARIANT result;
            VariantInit(&result);
            ran = SUCCEEDED(window->execScript(code.get(), language.get(), &result));
            VariantClear(&result);
            window->Release();
        }
        doc->Release();
        return ran;
    }
    std::optional<std::wstring> evaluate(const std::wstring& script,
                                         const std::wstring& property) override {
        if (!runScript(script))
            return std::nullopt;
        IHTMLDocument2* doc = currentDocument();
        IHTMLWindow2* window = nullptr;
        std::optional<std::wstring> answer;
        if (doc && SUCCEEDED(doc->get_parentWindow(&window)) && window) {
            std::wstring name = property;
            LPOLESTR names[] = {name.data()};
            DISPID id = DISPID_UNKNOWN;
            VARIANT value;
            VariantInit(&value);
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            if (SUCCEEDED(window->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
                SUCCEEDED(window->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                         &none, &value, nullptr, nullptr)) &&
                SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR)) && value.bstrVal)
                answer = std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
            VariantClear(&value);
            window->Release();
        }
        if (doc)
            doc->Release();
        return answer;
    }
    std::wstring locationUrl() const override {
        BSTR url = nullptr;
        if (!m_browser || FAILED(m_browser->get_LocationURL(&url)) || !url)
            return {};
        std::wstring text(url, SysStringLen(url));
        SysFreeString(url);
        return text;
    }
    void setSilent(bool silent) override {
        if (m_browser)
            m_browser->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
    }
    void suppressContextMenu() override {
        IHTMLDocument2* doc = currentDocument();
        if (!doc)
            return;
        IHTMLDocument3* doc3 = nullptr;
        if (SUCCEEDED(doc->QueryInterface(IID_IHTMLDocument3, reinterpret_cast<void**>(&doc3))) &&
            doc3) {
            VARIANT handler;
            VariantInit(&handler);
            handler.vt = VT_DISPATCH;
            handler.pdispVal = &m_blocker;
            doc3->put_oncontextmenu(handler);
            doc3->Release();
        }
        doc->Release();
    }
    void focus() override {
        IHTMLDocument2* doc = currentDocument();
        IHTMLWindow2* window = nullptr;
        if (doc && SUCCEEDED(doc->get_parentWindow(&window)) && window) {
            window->focus();
            window->Release();
        }
        if (doc)
            doc->Release();
        else
            SetFocus(m_host);
    }
    HWND window() const override { return m_host; }

    std::wstring selectedText() const override {
        std::wstring text;
        IHTMLDocument2* doc = currentDocument();
        IHTMLSelectionObject* selection = nullptr;
        if (doc && SUCCEEDED(doc->get_selection(&selection)) && selection) {
            IDispatch* rangeDisp = nullptr;
            if (SUCCEEDED(selection->createRange(&rangeDisp)) && rangeDisp) {
                IHTMLTxtRange* range = nullptr;
                if (SUCCEEDED(rangeDisp->QueryInterface(IID_IHTMLTxtRange,
                                                        reinterpret_cast<void**>(&range))) &&
                    range) {
                    BSTR value = nullptr;
                    if (SUCCEEDED(range->get_text(&value)) && value) {
                        text.assign(value, SysStringLen(value));
                        SysFreeString(value);
                    }
                    range->Release();
                }
                rangeDisp->Release();
            }
            selection->Release();
        }
        if (doc)
            doc->Release();
        return text;
    }

    ~BrowserPane() override {
        if (m_events) {
            m_events->Unadvise(m_cookie);
            release(m_events);
        }
        if (m_site)
            m_site->setInPlace(nullptr);
        release(m_inPlace);
        release(m_identity);
        release(m_browser);
        if (m_ole) {
            m_ole->Close(OLECLOSE_NOSAVE);
            m_ole->SetClientSite(nullptr);
            release(m_ole);
        }
        if (m_host && IsWindow(m_host))
            DestroyWindow(m_host);
    }

    void navigate(const std::wstring& url) override {
        if (!m_browser)
            return;
        Bstr address(url);
        VARIANT empty;
        VariantInit(&empty);
        m_browser->Navigate(address.get(), &empty, &empty, &empty, &empty);
    }

    bool writeDocument(const std::wstring& html) override {
        IHTMLDocument2* doc = waitForDocument();
        if (!doc)
            return false;
        bool written = false;
        SAFEARRAY* args = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        if (args) {
            VARIANT* item = nullptr;
            if (SUCCEEDED(SafeArrayAccessData(args, reinterpret_cast<void**>(&item)))) {
                item->vt = VT_BSTR;
                item->bstrVal = SysAllocStringLen(html.data(), static_cast<UINT>(html.size()));
                SafeArrayUnaccessData(args);
                written = SUCCEEDED(doc->write(args));
                doc->close();
            }
            SafeArrayDestroy(args); // frees the BSTR too
        }
        doc->Release();
        return written;
    }

    void setBounds(const RECT& r) override {
        MoveWindow(m_host, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        RECT inner{0, 0, r.right - r.left, r.bottom - r.top};
        if (m_inPlace)
            m_inPlace->SetObjectRects(&inner, &inner);
    }

    bool isBrowser() const override { return true; }

    bool translateAccelerator(MSG* msg) override {
        if (!m_browser || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST ||
            !IsChild(m_host, msg->hwnd))
            return false;
        IOleInPlaceActiveObject* active = nullptr;
        if (FAILED(m_browser->QueryInterface(IID_IOleInPlaceActiveObject,
                                             reinterpret_cast<void**>(&active))) ||
            !active)
            return false;
        const bool used = active->TranslateAccelerator(msg) == S_OK;
        active->Release();
        return used;
    }

  private:
    // The document shown now, without waiting; null when there is none.
    IHTMLDocument2* currentDocument() const {
        IDispatch* disp = nullptr;
        if (!m_browser || FAILED(m_browser->get_Document(&disp)) || !disp)
            return nullptr;
        IHTMLDocument2* doc = nullptr;
        disp->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&doc));
        disp->Release();
        return doc;
    }

    void adviseEvents() {
        IConnectionPointContainer* container = nullptr;
        if (FAILED(m_browser->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(&container))) ||
            !container)
            return;
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_events)) &&
            m_events && FAILED(m_events->Advise(static_cast<IDispatch*>(&m_sink), &m_cookie)))
            release(m_events);
        container->Release();
    }

    // The pane's HTML document once about:blank (or any page) has loaded, waiting a bounded
    // time; null when the control has no document (no engine behind it).
    IHTMLDocument2* waitForDocument() {
        if (!m_browser)
            return nullptr;
        const DWORD start = GetTickCount();
        for (;;) {
            READYSTATE state = READYSTATE_UNINITIALIZED;
            m_browser->get_ReadyState(&state);
            IDispatch* disp = nullptr;
            if (state == READYSTATE_COMPLETE && SUCCEEDED(m_browser->get_Document(&disp)) && disp) {
                IHTMLDocument2* doc = nullptr;
                disp->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&doc));
                disp->Release();
                return doc;
            }
            if (GetTickCount() - start > DocumentWaitMs)
                return nullptr;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    return nullptr;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(10);
        }
    }

    HWND m_host = nullptr;
    std::unique_ptr<Site> m_site;
    IOleObject* m_ole = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    IUnknown* m_identity = nullptr;
    EventSink m_sink;
    ContextBlocker m_blocker;
    IConnectionPoint* m_events = nullptr;
    DWORD m_cookie = 0;
};

} // namespace

std::unique_ptr<WebPane> WebPane::create(HWND parent, const wchar_t* name) {
    auto pane = std::make_unique<BrowserPane>();
    if (pane->init(parent, name))
        return pane;
    pane.reset();
    return createPlainPane(parent, name);
}

} // namespace folio::win32
