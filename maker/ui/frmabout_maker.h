// The workbench's about box: program title, version and what the maker is for.
#pragma once

#include <QDialog>

class QLabel;

namespace folio::maker {

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    // `version` is "major.minor.revision"; shown without being modal.
    frmAbout(QWidget* parent, const QString& appTitle, const QString& version);

    QLabel* title() const { return m_title; }
    QLabel* version() const { return m_version; }

  private:
    QLabel* m_title = nullptr;
    QLabel* m_version = nullptr;
};

} // namespace folio::maker
