// The workbench's page list: List2 (the open project's files, whose selection the compile
// takes), its commands "全选", "反选" and "刷新" (Command5, Command6, Command8), and the option
// group Frame1 that says which tab a double-clicked page brings to the front.
#pragma once

#include "maker/project/workbench.h"

#include <QWidget>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class QRadioButton;

namespace folio::maker {

class PageListPanel : public QWidget {
    Q_OBJECT
  public:
    explicit PageListPanel(QWidget* parent = nullptr);

    QListWidget* list() const { return m_list2; }
    // Command5, Command6 or Command8; the window runs them.
    QPushButton* command(int number) const;

    void showPages(const std::vector<std::string>& pages);
    folio::project::PageSelection selection() const;
    // Flags parallel to the pages shown.
    void select(const std::vector<bool>& selected);
    void selectAll();
    void invertSelection();

    // The name of entry `row`; "" when there is none.
    QString entryName(int row) const;
    // The tab a double-clicked page brings to the front: 4 (Option1, the code), 2 (Option2, the
    // preview) or 0 (Option3, none).
    int tabAfterOpening() const;

  signals:
    void entryOpened(int row);

  private:
    QListWidget* m_list2 = nullptr;
    QPushButton* m_command5 = nullptr;
    QPushButton* m_command6 = nullptr;
    QPushButton* m_command8 = nullptr;
    QRadioButton* m_option[4] = {};
};

} // namespace folio::maker
