// The explorer (see explorerpanel.h): the tree's folder listed into List1, kept in step with
// the disk.
#include "maker/ui/explorerpanel.h"

#include "core/fileio.h"
#include "maker/project/explorer.h"
#include "maker/ui/companionsupport.h"
#include "maker/ui/drivetree.h"

#include <QDir>
#include <QListWidget>
#include <QSet>

namespace folio::maker {

ExplorerPanel::ExplorerPanel(folio::Observer& observer, const QString& caption, QWidget* parent)
    : QSplitter(Qt::Vertical, parent), m_observer(observer) {
    markSplitter(this, "Pic1");
    m_treeView1 = new DriveTree(observer, caption);
    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list1->setUniformItemSizes(true);
    addWidget(m_treeView1);
    addWidget(m_list1);

    connect(m_treeView1, &DriveTree::folderChosen, this, &ExplorerPanel::folderChosen);
    // What appears on the disk appears in the list: a folder written by another program, or
    // pages that a command wrote into the listed folder.
    connect(m_treeView1, &DriveTree::folderChanged, this, [this](const QString& folder) {
        if (QDir::cleanPath(folder) == QDir::cleanPath(m_file1)) {
            emit folderChanged();
        }
    });
    connect(m_list1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit entryOpened(m_list1->row(item)); });
}

void ExplorerPanel::showFolder(const QString& folder) {
    auto names = folio::project::listFolderFiles(utf8(folder), m_observer);
    if (!names) {
        return;
    }
    QSet<QString> selected;
    if (QDir::cleanPath(folder) == QDir::cleanPath(m_file1)) {
        for (const QListWidgetItem* item : m_list1->selectedItems()) {
            selected.insert(item->text());
        }
    }
    m_file1 = folder;
    m_treeView1->watchFolder(folder);
    QStringList items;
    items.reserve(static_cast<qsizetype>(names->size()));
    for (const std::string& n : *names) {
        items.push_back(qs(n));
    }
    // Thousands of names: one batch, the view paints once.
    m_list1->setUpdatesEnabled(false);
    m_list1->clear();
    m_list1->addItems(items);
    for (int i = 0; !selected.isEmpty() && i < m_list1->count(); ++i) {
        m_list1->item(i)->setSelected(selected.contains(m_list1->item(i)->text()));
    }
    m_list1->setUpdatesEnabled(true);
}

folio::generators::ExplorerList ExplorerPanel::explorerList() const {
    return explorerListOf(m_list1, m_file1);
}

QString ExplorerPanel::entryPath(int row) const {
    if (row < 0 || row >= m_list1->count() || m_file1.isEmpty()) {
        return {};
    }
    return qs(FixPath(utf8(m_file1))) + m_list1->item(row)->text();
}

} // namespace folio::maker
