// The Win32 observer (see windowobserver.h).
#include "reader/win32/windowobserver.h"

#include "reader/win32/companions.h"

#include <commdlg.h>

#include <iterator>

namespace folio::win32 {

namespace {

UINT iconStyle(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::Question:
        return MB_ICONQUESTION;
    case MessageIcon::Exclamation:
        return MB_ICONEXCLAMATION;
    case MessageIcon::Critical:
        return MB_ICONERROR;
    case MessageIcon::None:
        break;
    }
    return 0;
}

} // namespace

Answer WindowObserver::messageBox(const std::string& text, const std::string& title,
                                  MessageIcon icon, MessageButtons buttons, Answer defaultAnswer) {
    UINT style = iconStyle(icon);
    if (buttons == MessageButtons::YesNo) {
        style |= MB_YESNO | (defaultAnswer == Answer::No ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
        return MessageBoxW(m_window, wide(text).c_str(), wide(title).c_str(), style) == IDYES
                   ? Answer::Yes
                   : Answer::No;
    }
    MessageBoxW(m_window, wide(text).c_str(), wide(title).c_str(), style | MB_OK);
    return Answer::Ok;
}

std::optional<std::string> WindowObserver::askSaveFileName(const std::string& title,
                                                           const std::string& folder,
                                                           const std::string& filter) {
    // The dialog takes its filter as descriptions and patterns each ended by a NUL, the list by
    // a second NUL, where the system's form separates them by "|".
    std::wstring filters = wide(filter);
    for (wchar_t& c : filters)
        if (c == L'|')
            c = L'\0';
    filters.append(2, L'\0');
    const std::wstring caption = wide(title);
    const std::wstring start = wide(folder);
    wchar_t file[MAX_PATH * 4] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_window;
    ofn.lpstrFilter = filters.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(std::size(file));
    ofn.lpstrInitialDir = start.c_str();
    ofn.lpstrTitle = caption.c_str();
    // The question about an existing file is the caller's own, in its own words.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&ofn))
        return std::nullopt;
    return utf8(file);
}

void WindowObserver::setCaption(const std::string& caption) {
    SetWindowTextW(m_window, wide(caption).c_str());
}

void WindowObserver::processEvents() {
    pumpMessages();
}

} // namespace folio::win32
