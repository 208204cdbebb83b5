// The about box both workbench and reader show: program title, version, what the program is for
// and an OK button.
#pragma once

#include <QDialog>
#include <QSize>

class QLabel;

namespace folio::qt {

class AboutBox : public QDialog {
    Q_OBJECT
  public:
    // `version` is "major.minor.revision"; `description` says what the program is for.
    AboutBox(QWidget* parent, const QString& appTitle, const QString& version,
             const QString& description, QSize size);

    QLabel* title() const { return m_title; }
    QLabel* version() const { return m_version; }

  private:
    QLabel* m_title = nullptr;
    QLabel* m_version = nullptr;
};

} // namespace folio::qt
