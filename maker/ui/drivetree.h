// TreeView1: the explorer's drive and folder tree. It lists a folder's sub-folders when its node
// is first expanded, and keeps every listed folder in step with the disk, so folders made after
// the maker started appear (and deleted ones go) without a restart.
#pragma once

#include "core/observer.h"

#include <QTreeWidget>

class QFileSystemWatcher;

namespace folio::maker {

class DriveTree : public QTreeWidget {
    Q_OBJECT
  public:
    static constexpr int KeyRole = Qt::UserRole + 1;   // the folder's path, ending in "/"
    static constexpr int ImageRole = Qt::UserRole + 2; // the explorer's image number

    DriveTree(folio::Observer& observer, const QString& caption, QWidget* parent = nullptr);

    // The drives as top nodes, each with a placeholder child so that it can be expanded.
    void loadDrives();
    // Reports the folder's changes too (the explorer list's folder, shown in the tree or not).
    void watchFolder(const QString& folder) { watch(folder); }

  signals:
    // A node became current, by a click or the keyboard: its folder is to be listed.
    void folderChosen(const QString& folder);
    // A folder shown in the tree gained or lost an entry.
    void folderChanged(const QString& folder);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void expandNode(QTreeWidgetItem* item);
    void syncNode(QTreeWidgetItem* item);
    void addFolderNode(QTreeWidgetItem* parent, const std::string& name, const std::string& key,
                       bool hasSubFolders, int at);
    void watch(const QString& key);
    void changed(const QString& path);

    folio::Observer& m_observer;
    QString m_caption;
    QFileSystemWatcher* m_watcher = nullptr;
};

} // namespace folio::maker
