// Helpers shared by the maker's companion windows (see companionsupport.h).
#include "maker/ui/companionsupport.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QItemSelectionModel>
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

QString qtFileFilter(const QString& systemFilter) {
    const QStringList parts = systemFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString given = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
        // Names on this system are matched with their case: "*.ICO" alone would hide
        // "book.ico", so each pattern also comes in lower and upper case.
        QStringList patterns;
        for (const QString& p : given.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            for (const QString& form : {p.trimmed(), p.trimmed().toLower(), p.trimmed().toUpper()})
                if (!form.isEmpty() && !patterns.contains(form))
                    patterns << form;
        }
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace folio::maker
