// Entry point of the Windows reader (the reader template folioPage.dat and every Book image).
#include "reader/win32/frmebook.h"

#include <objbase.h>

#include <cstddef>

// The names of types in the message of an uncaught exception stay mangled: the standard
// library's demangler (some 50 KB) would otherwise come into every book for that message alone.
extern "C" char* __cxa_demangle(const char*, char*, std::size_t*, int* status) {
    if (status)
        *status = -2; // "not a valid mangled name": the handler prints the name as it is
    return nullptr;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // The browser control is apartment-threaded: the window thread must be an STA.
    const HRESULT com = OleInitialize(nullptr);
    int code = 0;
    {
        auto form = folio::win32::FrmEBook::create(instance, show);
        if (form) {
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (form->translateAccelerator(&msg))
                    continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            code = static_cast<int>(msg.wParam);
        } else {
            code = 1;
        }
    }
    if (SUCCEEDED(com))
        OleUninitialize();
    return code;
}
