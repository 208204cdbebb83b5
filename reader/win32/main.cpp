// Entry point of the Windows reader (the reader template folioPage.dat and every Book image).
#include "reader/win32/frmebook.h"

#include <objbase.h>

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
