// The about box (see frmabout.h).
#include "reader/win32/frmabout.h"

#include "reader/win32/companions.h"
#include "reader/win32/language.h"

namespace folio::win32 {
namespace {

using namespace about;

// The title and the version are the program's own, so the about box's texts follow the
// language one by one rather than by the caption walk.
constexpr reader::ReaderText Description{
    "AboutDescription", "把一个文件夹的网页制作成一个电子书程序，并阅读这样的电子书：目录、翻页、"
                        "缩放、查找、书签、全屏阅读和语音朗读。"};
constexpr reader::ReaderText Version{"AboutVersion", "版本 %1"};
constexpr reader::ReaderText Ok{"cmdOK", "确定"};

std::wstring say(const reader::ReaderText& text) {
    return wide(readerTexts()(text));
}

struct AboutWindow {
    std::wstring title;
    HFONT bold = nullptr;
};

INT_PTR CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto* self = reinterpret_cast<AboutWindow*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        setClientTwips(hwnd, 5700, 3000);
        centreOnOwner(hwnd);
        HWND title = addControl(hwnd, L"STATIC", self->title.c_str(), SS_LEFT, LblTitle, 240, 240,
                                5220, 480);
        // The title in a larger bold face of the controls' font.
        LOGFONTW face{};
        if (HFONT font = companionFont(); font && GetObjectW(font, sizeof face, &face)) {
            face.lfHeight = face.lfHeight * 3 / 2;
            face.lfWeight = FW_BOLD;
            self->bold = CreateFontIndirectW(&face);
            SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(self->bold), FALSE);
        }
        std::wstring version = say(Version);
        if (const auto at = version.find(L"%1"); at != std::wstring::npos)
            version.replace(at, 2, programVersion());
        addControl(hwnd, L"STATIC", version.c_str(), SS_LEFT, LblVersion, 240, 840, 5220, 300);
        addControl(hwnd, L"STATIC", say(Description).c_str(), SS_LEFT, LblDescription, 240, 1260,
                   5220, 900);
        addControl(hwnd, L"BUTTON", say(Ok).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON, CmdOK, 4260,
                   2400, 1200, 390);
        SetFocus(GetDlgItem(hwnd, CmdOK));
        return FALSE; // the focus was set here
    }
    case WM_COMMAND:
        if (LOWORD(wp) == CmdOK || LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(hwnd, IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(hwnd, IDOK);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void ShowFrmAbout(HWND owner, const std::wstring& appTitle) {
    AboutWindow window{appTitle};
    runDialog(owner, (L"关于 " + appTitle).c_str(), dialogProc, reinterpret_cast<LPARAM>(&window));
    if (window.bold)
        DeleteObject(window.bold);
}

} // namespace folio::win32
