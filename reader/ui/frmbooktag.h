// The bookmarks window: the named page addresses kept in BookTag.ini beside the reader.
#pragma once

#include "qt/windowobserver.h"
#include "reader/core/bookmarks.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace folio::readerui {

class FrmBookTag : public QDialog {
    Q_OBJECT
  public:
    // Reads BookTag.ini in `programFolder` (none yet: no bookmarks) and puts
    // `currentAddress` into the address box. `navigate` shows an address in the reading
    // window's page pane. `dialogs` null means the real message boxes (see WindowObserver).
    // `bookPrefix`, the reading window's resource prefix, keeps the bookmarks of other books
    // in the same file out of the list (they stay in the file).
    FrmBookTag(QWidget* parent, QString programFolder, QString currentAddress,
               std::function<void(QString)> navigate, folio::Observer* dialogs = nullptr,
               QString bookPrefix = {});
    ~FrmBookTag() override;

    // The address box Text2 (the reading window fills it before showing the window).
    void setAddress(const QString& address);
    // What the add button does: the address box under the offered name, selected.
    void addCurrent();

    const folio::reader::BookmarkList& bookmarks() const { return m_list; }

    // Every way of closing ends here: the list is written back to the file.
    void done(int result) override;

  private:
    QString nextName() const;
    void add();
    void remove();
    void open(QListWidgetItem* item);
    void save();

    QString m_programFolder;
    std::function<void(QString)> m_navigate;
    folio::qt::WindowObserver m_observer;
    folio::reader::BookmarkList m_list;
    std::vector<int> m_rows; // the entry of m_list each row of List1 shows

    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QListWidget* m_list1 = nullptr;
    QListWidget* m_list2 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
};

} // namespace folio::readerui
