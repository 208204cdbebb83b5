// The contents list as a table model for the workbench's grid.
#include "maker/ui/contentsgridmodel.h"

#include "maker/generators/contentsedit.h"

namespace folio::maker {

using folio::generators::ColID;
using folio::generators::ColSID;
using folio::generators::ContentsColumns;
using folio::generators::contentsHeadings;

ContentsGridModel::ContentsGridModel(folio::generators::ContentsList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list) {}

int ContentsGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.rowCount() - 1;
}

int ContentsGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ContentsColumns;
}

QVariant ContentsGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return QString::fromStdString(m_list.cell(listRow(index.row()), index.column()));
    }
    if (role == Qt::TextAlignmentRole && contentsHeadings()[index.column()].centred) {
        return int(Qt::AlignCenter);
    }
    return {};
}

QVariant ContentsGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    if (section < 0 || section >= ContentsColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromStdString(contentsHeadings()[section].text);
    }
    if (role == Qt::ToolTipRole && section == ColID) {
        return QStringLiteral("编号由程序管理：一行一个，删除或移动后重新排好，不能输入");
    }
    if (role == Qt::ToolTipRole && section == ColSID) {
        return QStringLiteral("上级目录项的编号：-1、0 或上面某一目录项的编号");
    }
    return {};
}

bool ContentsGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    // The blank row stays blank: entries are added by the entry makers, above it.
    const int row = listRow(index.row());
    if (row >= m_list.rowCount() - 1) {
        return false;
    }
    // A TAB or a line break would split the row when the list is saved and read again.
    QString text = value.toString();
    text.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Numbers are the list's own: the entry's is not typed, and a parent must stand above.
    if (index.column() == ColID) {
        return false;
    }
    if (index.column() == ColSID) {
        text = text.trimmed();
        if (!folio::generators::isParentAllowed(m_list, row, text.toStdString())) {
            emit parentRefused(row, text);
            return false;
        }
    }
    if (!m_list.setCell(row, index.column(), text.toStdString())) {
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags ContentsGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (listRow(index.row()) < m_list.rowCount() - 1 && index.column() > ColID) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

void ContentsGridModel::reload() {
    beginResetModel();
    endResetModel();
}

int ContentsGridModel::columnChars(int column) {
    if (column < 0 || column >= ContentsColumns) {
        return 0;
    }
    return contentsHeadings()[column].width;
}

} // namespace folio::maker
