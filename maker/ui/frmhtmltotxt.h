// FrmHtmlToTxt: turns the selected .html pages of the explorer into plain-text chapters beside
// them (title, then the body cut out between two markers).
#pragma once

#include "core/observer.h"
#include "maker/generators/convert.h"
#include "maker/ui/companionsupport.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace folio::maker {

class FrmHtmlToTxt : public QWidget {
    Q_OBJECT
  public:
    FrmHtmlToTxt(QWidget* parent, ExplorerSource explorer, folio::Observer& observer);

    // What a run would be given now.
    folio::generators::PagesToTextInputs inputs() const;

    // "转换" as a click would run it; the window hides itself afterwards.
    void convert();

    const std::vector<std::string>& lastWritten() const { return m_written; }

  signals:
    // Text files were written into the explorer folder.
    void filesWritten();

  private:
    ExplorerSource m_explorer;
    folio::Observer& m_observer;
    std::vector<std::string> m_written;
    bool m_running = false;

    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QPlainTextEdit* m_text3 = nullptr;
    QPushButton* m_command1 = nullptr;
};

} // namespace folio::maker
