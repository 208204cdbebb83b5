// FrmSel, "选择文件": selects the explorer's files whose names end like a pattern, the
// patterns offered from the maker's Ext.ini.
#pragma once

#include <QAbstractItemView>
#include <QDialog>
#include <QPointer>

#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace folio::maker {

class FrmSel : public QDialog {
    Q_OBJECT
  public:
    // `list1` is the explorer list whose selection grows.
    FrmSel(QWidget* parent, const std::string& makerFolder, QAbstractItemView* list1);

    void setExplorer(QAbstractItemView* list1) { m_list1 = list1; }

    // "选择" as a click would run it; returns how many entries became selected.
    int selectFiles();
    // A click on pattern `row` of the list: it becomes the pattern, "选择" runs, the window
    // closes.
    void choosePattern(int row);

  private:
    QPointer<QAbstractItemView> m_list1;

    QListWidget* m_list = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
};

} // namespace folio::maker
