// The workbench's explorer: the drive tree TreeView1 over the file list List1 (the splitter
// Pic1). List1 shows any folder's files, File1 being that folder; the generators and the copy
// work on its selection.
#pragma once

#include "core/observer.h"
#include "maker/generators/convert.h"

#include <QSplitter>

class QListWidget;

namespace folio::maker {

class DriveTree;

class ExplorerPanel : public QSplitter {
    Q_OBJECT
  public:
    // `caption` titles the tree's messages.
    ExplorerPanel(folio::Observer& observer, const QString& caption, QWidget* parent = nullptr);

    DriveTree* tree() const { return m_treeView1; }
    QListWidget* list() const { return m_list1; }

    // File1: the folder List1 shows ("" before any).
    const QString& folder() const { return m_file1; }
    // Lists `folder`'s files into List1 and watches it; the same folder listed again keeps what
    // was selected in it. A folder that cannot be listed (shown by the observer) changes
    // nothing.
    void showFolder(const QString& folder);
    // List1 as the generators are given it.
    folio::generators::ExplorerList explorerList() const;
    // The full name of List1's entry `row`; "" when there is none.
    QString entryPath(int row) const;

  signals:
    // A tree node became current: its folder is to be listed.
    void folderChosen(const QString& folder);
    // The listed folder gained or lost an entry on the disk.
    void folderChanged();
    // An entry of List1 was double-clicked.
    void entryOpened(int row);

  private:
    folio::Observer& m_observer;
    DriveTree* m_treeView1 = nullptr;
    QListWidget* m_list1 = nullptr;
    QString m_file1;
};

} // namespace folio::maker
