// The Win32 face of folio::Observer: message boxes and the save dialog owned by a window, the
// caption as its window text, pending events handled by the window's message loop. Every box
// of the Windows reader goes through it.
#pragma once

#include "core/observer.h"

#include <windows.h>

#include <optional>
#include <string>

namespace folio::win32 {

class WindowObserver : public folio::Observer {
  public:
    // `window` owns the boxes and dialogs and takes the caption.
    explicit WindowObserver(HWND window) : m_window(window) {}

    Answer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                      MessageButtons buttons = MessageButtons::Ok,
                      Answer defaultAnswer = Answer::Yes) override;
    std::optional<std::string> askSaveFileName(const std::string& title, const std::string& folder,
                                               const std::string& filter) override;
    void setCaption(const std::string& caption) override;
    void processEvents() override;

  private:
    HWND m_window;
};

} // namespace folio::win32
