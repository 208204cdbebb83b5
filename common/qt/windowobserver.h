// The Qt face of folio::Observer, the one every window uses: message boxes and dialogs parented
// to the window (or handed to another observer, as tests do), the caption as the window title,
// progress on a QProgressBar and pending events handled by the Qt event loop.
#pragma once

#include "core/observer.h"

#include <QPointer>
#include <QString>

#include <optional>
#include <string>

class QProgressBar;
class QWidget;

namespace folio::qt {

class WindowObserver : public folio::Observer {
  public:
    // `window` parents the boxes and dialogs and takes the caption; `progress` (may be null)
    // shows the progress. `dialogs` null means the real boxes and dialogs; otherwise every box,
    // question and dialog goes to it instead (a test's recording observer), while the caption,
    // the progress and the event pumps stay the window's.
    explicit WindowObserver(QWidget* window, QProgressBar* progress = nullptr,
                            folio::Observer* dialogs = nullptr);
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
    void setDialogs(folio::Observer* dialogs);

  private:
    QPointer<QWidget> m_window;
    QPointer<QProgressBar> m_progress;
    folio::Observer* m_dialogs = nullptr;
};

// The system's file filter in Qt's form: "ICO图标文件( *.ICO)|*.ICO|全部文件(*.*)|*.*" gives
// "ICO图标文件( *.ICO) (*.ICO *.ico);;全部文件(*.*) (*)". Patterns separated by ";" become
// Qt's blank-separated list, each also in lower and upper case, since names here are matched
// with their case; "*.*", which on the system matches every name, becomes Qt's "*".
QString qtFileFilter(const QString& systemFilter);

} // namespace folio::qt
