// The workbench's right side: the tab strip TabStrip1 over the panes its six tabs bring to the
// front (the contents grid, the preview twice, the code view, the address panel, the settings).
#pragma once

#include <QWidget>

class QStackedWidget;
class QTabBar;

namespace folio::maker {

class WorkbenchTabs : public QWidget {
    Q_OBJECT
  public:
    // The panes in stack order; the tabs bring them to the front as the table in the .cpp says.
    WorkbenchTabs(QWidget* grid, QWidget* preview, QWidget* code, QWidget* address,
                  QWidget* settings, QWidget* parent = nullptr);

    // Tabs are counted from 1; a number outside 1 to 6 changes nothing.
    void select(int tab);
    int current() const;

  signals:
    // A tab was clicked (1 to 6).
    void tabClicked(int tab);

  private:
    QTabBar* m_tabStrip1 = nullptr;
    QStackedWidget* m_panes = nullptr;
};

} // namespace folio::maker
