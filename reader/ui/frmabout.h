// The about box: application title, version and a short description.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace folio::readerui {

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    // `version` is "major.minor.revision".
    frmAbout(QWidget* parent, const QString& appTitle, const QString& version);

    QLabel* title() const { return m_title; }
    QLabel* version() const { return m_version; }

  private:
    QLabel* m_title = nullptr;
    QLabel* m_version = nullptr;
};

} // namespace folio::readerui
