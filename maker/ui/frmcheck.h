// FrmCheck, "检查": the findings of the project check in a list (severity, file, line,
// message); double-clicking one asks the workbench to show that file at that line.
#pragma once

#include "maker/check/checkproject.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

namespace folio::maker {

class FrmCheck : public QWidget {
    Q_OBJECT
  public:
    explicit FrmCheck(QWidget* parent = nullptr);

    // The report of the project in `folder`, replacing the one shown.
    void showReport(const folio::check::CheckReport& report, const QString& folder);

    QTreeWidget* list() const { return m_list; }

  signals:
    // A finding was double-clicked: its file (a path) and line.
    void openAt(const QString& path, int line);

  private:
    QTreeWidget* m_list = nullptr;
    QLabel* m_summary = nullptr;
    QString m_folder;
};

} // namespace folio::maker
