// The Windows reader's page confinement (see pagesecurity.h).
#include "reader/win32/pagesecurity.h"

#include "core/text.h"

#include <mshtmdid.h>
#include <oleauto.h>
#include <urlmon.h>

#include <cstring>
#include <utility>

namespace folio::win32 {

namespace {

folio::reader::PageRule& theRule() {
    static folio::reader::PageRule rule;
    return rule;
}

// Refused to every page, the book's own too: code that runs with the reader's rights (ActiveX,
// Java, binary behaviours, .NET controls), data read across sites or frames steered across
// them, and files moved, run, saved or named from a page.
bool alwaysRefused(DWORD action) {
    if ((action >= URLACTION_DOWNLOAD_MIN && action <= URLACTION_DOWNLOAD_MAX) ||
        (action >= URLACTION_ACTIVEX_MIN && action <= URLACTION_ACTIVEX_MAX) ||
        (action >= URLACTION_JAVA_MIN && action <= URLACTION_JAVA_MAX))
        return true;
    switch (action) {
    case URLACTION_SCRIPT_JAVA_USE:
    case URLACTION_SCRIPT_SAFE_ACTIVEX:
    case URLACTION_HTML_JAVA_RUN:
    case URLACTION_CROSS_DOMAIN_DATA:
    case URLACTION_HTML_SUBFRAME_NAVIGATE:
    case URLACTION_HTML_INCLUDE_FILE_PATH:
    case URLACTION_SHELL_INSTALL_DTITEMS:
    case URLACTION_SHELL_MOVE_OR_COPY:
    case URLACTION_SHELL_FILE_DOWNLOAD:
    case URLACTION_SHELL_VERB:
    case URLACTION_SHELL_WEBVIEW_VERB:
    case URLACTION_SHELL_EXECUTE_HIGHRISK:
    case URLACTION_SHELL_EXECUTE_MODRISK:
    case URLACTION_SHELL_EXECUTE_LOWRISK:
    case URLACTION_BEHAVIOR_RUN:
    case URLACTION_DOTNET_USERCONTROLS:
    case URLACTION_ALLOW_RESTRICTEDPROTOCOLS:
        return true;
    default:
        return false;
    }
}

// Actions whose "allow" switches a protection on (the script filter, the pop-up blocker,
// protected mode): refusing them would lower it, so they stay the system's for every address.
bool protectsWhenAllowed(DWORD action) {
    return action == URLACTION_SCRIPT_XSSFILTER || action == URLACTION_SHELL_POPUPMGR ||
           action == URLACTION_LOWRIGHTS;
}

// A real reference count: the control may hold these objects after their pane has gone.
template <typename Self> class Counted {
  protected:
    ULONG addRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG release() {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0)
            delete static_cast<Self*>(this);
        return static_cast<ULONG>(left);
    }

  private:
    LONG m_refs = 1;
};

class PageSecurityManager final : public IInternetSecurityManager,
                                  private Counted<PageSecurityManager> {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IInternetSecurityManager))
            return E_NOINTERFACE;
        *out = static_cast<IInternetSecurityManager*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
    STDMETHODIMP_(ULONG) Release() override { return release(); }

    // Zones, sites and their mappings stay the system's: only the actions are decided here.
    STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite*) override {
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite** site) override {
        if (site)
            *site = nullptr;
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP MapUrlToZone(LPCWSTR, DWORD*, DWORD) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override {
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE*,
                                  DWORD, DWORD, DWORD) override {
        const bool refused = !protectsWhenAllowed(action) &&
                             (alwaysRefused(action) || (url && !bookPageAllows(url)));
        if (!refused)
            return INET_E_DEFAULT_ACTION;
        if (policy && policySize >= sizeof(DWORD)) {
            const DWORD disallow = URLPOLICY_DISALLOW;
            std::memcpy(policy, &disallow, sizeof disallow);
        }
        return S_FALSE; // what the caller reads as "disallowed"
    }
    STDMETHODIMP QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD* size, BYTE*, DWORD,
                                   DWORD) override {
        if (policy)
            *policy = nullptr;
        if (size)
            *size = 0;
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetZoneMappings(DWORD, IEnumString** mappings, DWORD) override {
        if (mappings)
            *mappings = nullptr;
        return INET_E_DEFAULT_ACTION;
    }

  private:
    friend class Counted<PageSecurityManager>;
    ~PageSecurityManager() = default;
};

class PageHostServices final : public IServiceProvider,
                               public IDispatch,
                               private Counted<PageHostServices> {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IServiceProvider))
            *out = static_cast<IServiceProvider*>(this);
        else if (IsEqualIID(riid, IID_IDispatch))
            *out = static_cast<IDispatch*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
    STDMETHODIMP_(ULONG) Release() override { return release(); }

    // IServiceProvider: the security manager; every other service is the control's own.
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualGUID(service, SID_SInternetSecurityManager))
            return E_NOINTERFACE;
        return m_manager->QueryInterface(riid, out);
    }

    // IDispatch: the ambient properties; the control takes its defaults for those not named.
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n)
            *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != DISPID_AMBIENT_DLCONTROL)
            return DISP_E_MEMBERNOTFOUND;
        if (!result)
            return E_POINTER;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(pageDownloadControl());
        return S_OK;
    }

  private:
    friend class Counted<PageHostServices>;
    ~PageHostServices() { m_manager->Release(); }
    IInternetSecurityManager* m_manager = new PageSecurityManager;
};

} // namespace

void setBookPageRule(folio::reader::PageRule rule) {
    theRule() = std::move(rule);
}

const folio::reader::PageRule& bookPageRule() {
    return theRule();
}

bool bookPageAllows(std::wstring_view url) {
    return theRule().allows(utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(url.data()), url.size())));
}

DWORD pageDownloadControl() {
    // Scripts stay on: a book's contents tree and its pages' own scripts need them.
    return DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_NO_RUNACTIVEXCTLS |
           DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_JAVA | DLCTL_NO_BEHAVIORS | DLCTL_SILENT;
}

IServiceProvider* createPageHostServices() {
    return new PageHostServices;
}

} // namespace folio::win32
