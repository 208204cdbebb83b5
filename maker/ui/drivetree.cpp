// The explorer's drive tree: lazy expansion and folders kept in step with the disk.
#include "maker/ui/drivetree.h"

#include "maker/project/drives.h"
#include "qt/uitext.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <QHash>
#include <QKeyEvent>
#include <QStyle>
#include <QTreeWidgetItemIterator>

namespace folio::maker {

using folio::qt::qs;
using folio::qt::utf8;

namespace {

bool isPlaceholder(const QTreeWidgetItem* item) {
    return item->childCount() == 1 && item->child(0)->text(0).isEmpty() &&
           item->child(0)->data(0, DriveTree::KeyRole).toString().isEmpty();
}

// The watcher reports paths without the final "/" the keys carry.
QString normal(const QString& path) {
    return QDir::cleanPath(path);
}

} // namespace

DriveTree::DriveTree(folio::Observer& observer, const QString& caption, QWidget* parent)
    : QTreeWidget(parent), m_observer(observer), m_caption(caption),
      m_watcher(new QFileSystemWatcher(this)) {
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    connect(this, &QTreeWidget::itemExpanded, this, &DriveTree::expandNode);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        emit folderChosen(item->data(0, KeyRole).toString());
    });
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &DriveTree::changed);
}

void DriveTree::keyPressEvent(QKeyEvent* event) {
    // The keyboard moves the current node as a click does, and the file list follows it. Only
    // a key does: the tree making its first node current when it gets the focus lists nothing.
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (currentItem() && currentItem() != before)
        emit folderChosen(currentItem()->data(0, KeyRole).toString());
}

void DriveTree::loadDrives() {
    clear();
    for (const project::Drive& d : project::listDrives()) {
        auto* node = new QTreeWidgetItem(this, {qs(d.text).toUpper()});
        node->setData(0, KeyRole, qs(d.key));
        node->setData(0, ImageRole, project::driveImage(d.kind));
        node->setIcon(0, style()->standardIcon(
                             d.kind == project::DriveKind::CdRom       ? QStyle::SP_DriveCDIcon
                             : d.kind == project::DriveKind::Removable ? QStyle::SP_DriveFDIcon
                                                                       : QStyle::SP_DriveHDIcon));
        new QTreeWidgetItem(node, {QString()}); // a placeholder, so that it can be expanded
    }
}

void DriveTree::expandNode(QTreeWidgetItem* item) {
    if (!item || !isPlaceholder(item)) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto folders = project::expandFolder(utf8(item->data(0, KeyRole).toString()));
    if (folders) {
        delete item->takeChild(0);
        for (const project::SubFolder& f : *folders) {
            addFolderNode(item, f.name, f.key, f.hasSubFolders, item->childCount());
        }
        watch(item->data(0, KeyRole).toString());
    }
    QApplication::restoreOverrideCursor();
    if (!folders && folders.error().code == project::DeviceUnavailableError) {
        m_observer.messageBox(project::DeviceUnavailableMessage, utf8(m_caption),
                              folio::MessageIcon::Critical);
    }
}

void DriveTree::addFolderNode(QTreeWidgetItem* parent, const std::string& name,
                              const std::string& key, bool hasSubFolders, int at) {
    auto* child = new QTreeWidgetItem({qs(name)});
    parent->insertChild(at, child);
    child->setData(0, KeyRole, qs(key));
    child->setData(0, ImageRole, project::FolderImage);
    child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    if (hasSubFolders) {
        child->setData(0, ImageRole, project::FolderExpandedImage);
        new QTreeWidgetItem(child, {QString()});
    }
    // A folder shown in the tree learns of its first sub-folder, and a listed one of each.
    watch(qs(key));
}

void DriveTree::watch(const QString& key) {
    const QString path = normal(key);
    if (!m_watcher->directories().contains(path)) {
        m_watcher->addPath(path);
    }
}

void DriveTree::changed(const QString& path) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (normal((*it)->data(0, KeyRole).toString()) == normal(path)) {
            syncNode(*it);
        }
    }
    emit folderChanged(path);
}

void DriveTree::syncNode(QTreeWidgetItem* item) {
    const std::string key = utf8(item->data(0, KeyRole).toString());
    auto folders = project::expandFolder(key);
    if (!folders) {
        return; // a folder that went away is dropped by its parent's change
    }
    if (isPlaceholder(item) || item->childCount() == 0) {
        // Not listed yet: only whether it can be expanded changes.
        if (folders->empty() && isPlaceholder(item)) {
            delete item->takeChild(0);
        } else if (!folders->empty() && item->childCount() == 0) {
            new QTreeWidgetItem(item, {QString()});
        }
        if (!item->isExpanded() || folders->empty()) {
            return;
        }
        delete item->takeChild(0); // expanded while its placeholder was shown: list it now
    }
    // Listed: the nodes of folders still there stay (with what was expanded below them), in
    // the listing's order; new folders get nodes, gone ones lose theirs.
    QHash<QString, QTreeWidgetItem*> kept;
    for (QTreeWidgetItem* child : item->takeChildren()) {
        kept.insert(child->data(0, KeyRole).toString(), child);
    }
    for (const project::SubFolder& f : *folders) {
        if (QTreeWidgetItem* old = kept.take(qs(f.key))) {
            item->addChild(old);
        } else {
            addFolderNode(item, f.name, f.key, f.hasSubFolders, item->childCount());
        }
    }
    for (QTreeWidgetItem* gone : kept) {
        m_watcher->removePath(normal(gone->data(0, KeyRole).toString()));
        delete gone;
    }
}

} // namespace folio::maker
