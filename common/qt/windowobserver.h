// The Qt face of folio::Observer, shared by every window: message boxes through a
// MessageService (so tests can answer them), the caption as the window title, progress on a
// QProgressBar and pending events handled by the Qt event loop.
#pragma once

#include "core/observer.h"
#include "qt/messageservice.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class QProgressBar;
class QWidget;

namespace folio::qt {

class WindowObserver : public folio::Observer {
  public:
    // `window` parents the boxes and takes the caption; `progress` (may be null) shows the
    // progress; `messages` null means the real message boxes.
    explicit WindowObserver(QWidget* window, QProgressBar* progress = nullptr,
                            MessageService* messages = nullptr);
    ~WindowObserver() override;

    Answer messageBox(const std::string& text, const std::string& title, folio::MessageIcon icon,
                      MessageButtons buttons = MessageButtons::Ok,
                      Answer defaultAnswer = Answer::Yes) override;
    std::optional<std::string> askSaveFileName(const std::string& title, const std::string& folder,
                                               const std::string& filter) override;
    std::optional<std::string> askText(const std::string& title, const std::string& label) override;
    void setCaption(const std::string& caption) override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void processEvents() override;

    void setProgressBar(QProgressBar* progress);
    void setMessageService(MessageService* messages);
    MessageService& messages();

  private:
    QPointer<QWidget> m_window;
    QPointer<QProgressBar> m_progress;
    MessageService* m_messages = nullptr;
};

// The observer's icon as the message service's icon (the two enumerations name the same boxes).
MessageIcon toServiceIcon(folio::MessageIcon icon);

// The system's file filter in Qt's form: "ICO图标文件( *.ICO)|*.ICO|全部文件(*.*)|*.*" gives
// "ICO图标文件( *.ICO) (*.ICO *.ico);;全部文件(*.*) (*)". Patterns separated by ";" become
// Qt's blank-separated list, each also in lower and upper case, since names here are matched
// with their case; "*.*", which on the system matches every name, becomes Qt's "*".
QString qtFileFilter(const QString& systemFilter);

} // namespace folio::qt
