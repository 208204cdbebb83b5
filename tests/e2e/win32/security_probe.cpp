// Windows side of the page confinement test, run under Wine, where no browser engine runs: sets
// the rule of a fake book, asks the panes' host services for their security manager and their
// download control as the browser control does, and prints one line per check:
//   NAME POLICY HRESULT   the policy the manager gave for an action (3 is refused), or
//   NAME default          the action left to the system
//   dlcontrol 0xFLAGS     the ambient download control
//   navigate-NAME cancel|open   what the panes' navigation check does with an address
// Exits 0 once every check has been asked.
#include "reader/win32/pagesecurity.h"

#include <mshtmdid.h>
#include <oleauto.h>
#include <urlmon.h>

#include <cstdio>
#include <utility>

int main() {
    folio::reader::PageRule rule;
    rule.setBookPrefix("res://C:\\books\\hostile.exe/");
    folio::win32::setBookPageRule(std::move(rule));

    IServiceProvider* services = folio::win32::createPageHostServices();
    IInternetSecurityManager* manager = nullptr;
    if (FAILED(services->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager,
                                      reinterpret_cast<void**>(&manager))) ||
        !manager) {
        std::printf("no security manager\n");
        return 1;
    }
    const wchar_t* const page = L"res://C:\\books\\hostile.exe/PAGE.HTM";
    struct Check {
        const char* name;
        const wchar_t* url;
        DWORD action;
    };
    for (const Check& c :
         {Check{"activex-run", page, URLACTION_ACTIVEX_RUN},
          Check{"activex-download", page, URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX},
          Check{"java", page, URLACTION_JAVA_PERMISSIONS},
          Check{"file", L"file:///C:/windows/win.ini", URLACTION_SCRIPT_RUN},
          Check{"loopback", L"http://127.0.0.1:8080/", URLACTION_CROSS_DOMAIN_DATA},
          Check{"own-script", page, URLACTION_SCRIPT_RUN}}) {
        DWORD policy = URLPOLICY_ALLOW;
        const HRESULT hr =
            manager->ProcessUrlAction(c.url, c.action, reinterpret_cast<BYTE*>(&policy),
                                      sizeof policy, nullptr, 0, PUAF_DEFAULT, 0);
        if (hr == INET_E_DEFAULT_ACTION)
            std::printf("%s default\n", c.name);
        else
            std::printf("%s %lu 0x%08lx\n", c.name, policy, static_cast<unsigned long>(hr));
    }
    manager->Release();

    IDispatch* ambient = nullptr;
    VARIANT value;
    VariantInit(&value);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (SUCCEEDED(services->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) &&
        ambient &&
        SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT,
                                  DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr)) &&
        value.vt == VT_I4)
        std::printf("dlcontrol 0x%08lx\n", static_cast<unsigned long>(value.lVal));
    else
        std::printf("dlcontrol missing\n");
    if (ambient)
        ambient->Release();
    services->Release();

    for (const auto& [name, url] : {std::pair{"file", L"file:///C:/windows/win.ini"},
                                    std::pair{"loopback", L"http://127.0.0.1:8080/"},
                                    std::pair{"own", L"RES://c:\\BOOKS\\hostile.exe/TREE.HTM"}})
        std::printf("navigate-%s %s\n", name,
                    folio::win32::bookPageAllows(url) ? "open" : "cancel");
    return 0;
}
