// Helpers shared by the maker's companion windows (see companionsupport.h).
#include "maker/ui/companionsupport.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QStringList>

namespace folio::maker {

folio::generators::ExplorerList explorerListOf(const QAbstractItemView* view,
                                               const QString& folder) {
    folio::generators::ExplorerList list;
    list.folder = utf8(folder);
    if (!view || !view->model())
        return list;
    const QAbstractItemModel* model = view->model();
    const QItemSelectionModel* selection = view->selectionModel();
    const int rows = model->rowCount(view->rootIndex());
    list.names.reserve(static_cast<std::size_t>(rows));
    list.selected.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const QModelIndex index = model->index(r, 0, view->rootIndex());
        list.names.push_back(utf8(index.data().toString()));
        list.selected.push_back(selection && selection->isSelected(index));
    }
    return list;
}

FileChooser defaultFileChooser() {
    return [](QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, folder, qtFileFilter(filter));
    };
}

void markSplitter(QSplitter* splitter, const char* name) {
    splitter->setObjectName(QString::fromLatin1(name));
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle:pressed { background: black; }"));
    splitter->setChildrenCollapsible(false);
}

} // namespace folio::maker
