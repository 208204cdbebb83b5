// MSFlexGrid1's model: the contents list seen as a table, headings from its format string,
// the data rows and the trailing blank row (so that it can be clicked, as the grid allows).
#pragma once

#include "maker/generators/contentslist.h"

#include <QAbstractTableModel>

namespace folio::maker {

class ContentsGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ContentsGridModel(folio::generators::ContentsList& list, QObject* parent = nullptr);

    // Model row r is list row r + 1: the headings are the header, not a row.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static int listRow(int modelRow) { return modelRow + 1; }
    static int modelRow(int listRow) { return listRow - 1; }

    // The list was changed by a routine: the view reads it afresh.
    void reload();

    // A column's width in characters, from the heading format's blanks.
    static int columnChars(int column);

  signals:
    // A parent number was typed that names no entry above the row; the cell kept its text.
    void parentRefused(int listRow, const QString& sid);

  private:
    folio::generators::ContentsList& m_list;
};

} // namespace folio::maker
